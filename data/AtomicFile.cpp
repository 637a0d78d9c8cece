#include "data/AtomicFile.h"

#include "data/Path.h"
#include "data/SystemReason.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace data {

namespace {

std::optional<WriteStep> g_failingStep;

#ifdef _WIN32
int openForWriting(const fs::path &path)
{
    return ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int openForReading(const fs::path &path)
{
    return ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY);
}
long long writeSome(int fd, const char *data, std::size_t size)
{
    const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    return ::_write(fd, data, chunk);
}
long long readSome(int fd, char *data, std::size_t size)
{
    const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    return ::_read(fd, data, chunk);
}
int flushToDisk(int fd)
{
    return ::_commit(fd);
}
int closeFile(int fd)
{
    return ::_close(fd);
}
int processId()
{
    return ::_getpid();
}
long long regularFileSize(int fd)
{
    struct _stat64 info;
    return ::_fstat64(fd, &info) == 0 && (info.st_mode & _S_IFREG) ? info.st_size : -1;
}
void makeBlocking(int) {}
#else
int openForWriting(const fs::path &path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
int openForReading(const fs::path &path)
{
    // A named pipe without a writer would block the open for ever; nothing is read before the
    // file is known to be a regular one.
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}
long long writeSome(int fd, const char *data, std::size_t size)
{
    return ::write(fd, data, size);
}
long long readSome(int fd, char *data, std::size_t size)
{
    return ::read(fd, data, size);
}
int flushToDisk(int fd)
{
    return ::fsync(fd);
}
int closeFile(int fd)
{
    return ::close(fd);
}
int processId()
{
    return static_cast<int>(::getpid());
}
// -1 for anything but a regular file: a pipe, a device, a folder.
long long regularFileSize(int fd)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size)
                                                            : -1;
}
void makeBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}
#endif

// Far beyond any list a clerk types; reading more would only exhaust the memory.
constexpr long long maxReadSize = 1LL << 30;

// What a failing step reports while the test seam is set.
const char *const injectedReason = "umjetna greška (test)";

bool stepFails(WriteStep step)
{
    return g_failingStep && *g_failingStep == step;
}

// The file a write replaces: a symbolic link is followed to the file it names, even when that
// file does not exist yet.
fs::path resolveTarget(const std::string &fileName)
{
    fs::path path = pathFromUtf8(fileName);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return path;
        fs::path next = fs::read_symlink(path, ec);
        if (ec)
            return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// The temporary file: created anew beside the target, so the rename stays within one file system.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path &target)
    {
        static std::atomic<unsigned> counter{0};
        const fs::path folder = target.parent_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path name = ".";
            name += target.filename();
            name += ".tmp" + std::to_string(processId()) + "-" + std::to_string(counter++);
            fs::path candidate = folder / name;
            m_fd = openForWriting(candidate);
            if (m_fd >= 0) {
                m_path = std::move(candidate);
                return;
            }
            m_error = errno;
            if (m_error != EEXIST)
                break;
        }
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            closeFile(m_fd);
        if (!m_path.empty()) {
            std::error_code ec;
            fs::remove(m_path, ec);
        }
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    int fd() const { return m_fd; }
    // Why opening failed.
    int error() const { return m_error; }
    const fs::path &path() const { return m_path; }
    int close()
    {
        const int result = closeFile(m_fd);
        m_fd = -1;
        return result;
    }
    // After a successful rename there is nothing left to remove.
    void release() { m_path.clear(); }

private:
    int m_fd = -1;
    int m_error = 0;
    fs::path m_path;
};

void writeAll(int fd, std::string_view contents, const std::string &fileName)
{
    if (stepFails(WriteStep::Write))
        throw WriteError(fileName, injectedReason);
    while (!contents.empty()) {
        const long long written = writeSome(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw WriteError(fileName, systemReason(errno));
        }
        if (written == 0)
            throw WriteError(fileName, systemReason(ENOSPC));
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Gives the new file the old one's permission bits (and owner, where allowed).
void copyAttributes(int fd, const fs::path &target)
{
#ifdef _WIN32
    (void)fd;
    (void)target;
#else
    struct stat old;
    if (::stat(target.c_str(), &old) != 0)
        return;
    struct stat fresh;
    if (::fstat(fd, &fresh) == 0 && (fresh.st_uid != old.st_uid || fresh.st_gid != old.st_gid)) {
        // Only root may give a file away; anyone else keeps owning the file they wrote.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ::fchmod(fd, old.st_mode & 07777);
#endif
}

// Makes the rename itself durable; a failure here no longer endangers the old contents.
void flushFolder([[maybe_unused]] const fs::path &folder)
{
#ifndef _WIN32
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

} // namespace

WriteError::WriteError(const std::string &fileName, const std::string &reason)
    : Error("Datoteku „" + absoluteName(fileName) + "” nije moguće spremiti: " + afterColon(reason))
    , m_reason(afterColon(reason))
{
}

void setWriteFailureForTesting(std::optional<WriteStep> step)
{
    g_failingStep = step;
}

void writeFileAtomically(const std::string &fileName, std::string_view contents)
{
    const fs::path target = resolveTarget(fileName);
    if (stepFails(WriteStep::Open))
        throw WriteError(fileName, injectedReason);

    TemporaryFile temp(target);
    if (temp.fd() < 0)
        throw WriteError(fileName, systemReason(temp.error()));
    copyAttributes(temp.fd(), target);
    writeAll(temp.fd(), contents, fileName);

    if (stepFails(WriteStep::Flush))
        throw WriteError(fileName, injectedReason);
    if (flushToDisk(temp.fd()) != 0)
        throw WriteError(fileName, systemReason(errno));
    if (temp.close() != 0)
        throw WriteError(fileName, systemReason(errno));

    if (stepFails(WriteStep::Rename))
        throw WriteError(fileName, injectedReason);
    std::error_code ec;
    fs::rename(temp.path(), target, ec);
    if (ec)
        throw WriteError(fileName, systemReason(ec));
    temp.release();
    flushFolder(target.parent_path());
}

std::string readWholeFile(const std::string &fileName)
{
    auto fail = [&fileName](const std::string &reason) {
        return Error("Datoteku „" + absoluteName(fileName) +
                     "” nije moguće pročitati: " + afterColon(reason));
    };
    const auto tooLarge = [&] {
        return fail("datoteka je prevelika (najviše " + std::to_string(maxReadSize >> 20) + " MB)");
    };
    const int fd = openForReading(pathFromUtf8(fileName));
    if (fd < 0)
        throw fail(systemReason(errno));

    const long long size = regularFileSize(fd);
    if (size < 0 || size > maxReadSize) {
        closeFile(fd);
        throw size < 0 ? fail("to nije obična datoteka") : tooLarge();
    }
    makeBlocking(fd);
    std::string contents;
    std::size_t used = 0;
    // One byte more than the size, so that reaching the end needs no second growth.
    if (size > 0)
        contents.resize(static_cast<std::size_t>(size) + 1);
    for (;;) {
        if (used == contents.size())
            contents.resize(contents.size() < 4096 ? 4096 : contents.size() * 2);
        const long long got = readSome(fd, contents.data() + used, contents.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            closeFile(fd);
            throw fail(systemReason(error));
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
        // A file that grows while it is read is held to the same limit.
        if (used > static_cast<std::size_t>(maxReadSize)) {
            closeFile(fd);
            throw tooLarge();
        }
    }
    closeFile(fd);
    contents.resize(used);
    return contents;
}

} // namespace data

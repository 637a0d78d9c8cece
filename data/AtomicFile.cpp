#include "data/AtomicFile.h"

#include "data/Path.h"
#include "data/Process.h"
#include "data/SystemReason.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace data {

namespace {

std::optional<WriteStep> g_failingStep;
std::function<void(const std::string &)> g_hold;
bool g_namedOnly = false;

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

#if defined(__linux__) && defined(O_TMPFILE)
// An unnamed file in `folder`: a process killed while it writes leaves nothing behind. -1 where
// the file system has none (FAT, many network shares).
int openUnnamed(const fs::path &folder)
{
    return ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}
// Gives the unnamed file `fd` the name `path`, which must not exist; false with errno set.
bool linkUnnamed(int fd, const fs::path &path)
{
    // AT_EMPTY_PATH would need a privilege; the link in /proc needs none.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}
#else
int openUnnamed(const fs::path &)
{
    return -1;
}
bool linkUnnamed(int, const fs::path &)
{
    errno = EINVAL;
    return false;
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

// ".<target>.tmp-<computer>-<process>-<n>": the computer and the process tell a later start
// whether the file is a leftover it may remove.
fs::path temporaryPath(const fs::path &target)
{
    static std::atomic<unsigned> counter{0};
    fs::path name = ".";
    name += target.filename();
    name += ".tmp-" + computerName() + "-" + std::to_string(currentProcessId()) + "-" +
            std::to_string(counter++);
    return target.parent_path() / name;
}

// Who wrote the file `name` if it is one of temporaryPath()'s from `computer`.
std::optional<long long> temporaryWriter(std::string_view name, std::string_view computer)
{
    const auto takeNumber = [&name]() -> std::optional<long long> {
        const std::size_t dash = name.find_last_of('-');
        long long number = 0;
        if (dash == std::string_view::npos || dash + 1 == name.size())
            return std::nullopt;
        const char *end = name.data() + name.size();
        const auto [at, error] = std::from_chars(name.data() + dash + 1, end, number);
        if (error != std::errc() || at != end)
            return std::nullopt;
        name.remove_suffix(name.size() - dash);
        return number;
    };
    if (!takeNumber())
        return std::nullopt;
    const std::optional<long long> process = takeNumber();
    const std::string tail = ".tmp-" + std::string(computer);
    if (!process || !name.starts_with('.') || name.size() <= tail.size() + 1 ||
        !name.ends_with(tail))
        return std::nullopt;
    return process;
}

// The file the new contents go to, beside the target so that the rename stays within one file
// system. It gets a name only once it is whole where the file system allows that; elsewhere
// it is named from the start.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path &target)
        : m_target(target)
    {
        if (!g_namedOnly)
            m_fd = openUnnamed(target.parent_path());
        if (m_fd >= 0)
            return;
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path candidate = temporaryPath(target);
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
    // Names an unnamed file, for the rename. Until the rename, moments later, a killed process
    // leaves this name behind, for a later start to remove. 0 or the error number.
    int giveName()
    {
        for (int attempt = 0; m_path.empty() && attempt < 100; ++attempt) {
            fs::path candidate = temporaryPath(m_target);
            if (linkUnnamed(m_fd, candidate))
                m_path = std::move(candidate);
            else if (errno != EEXIST)
                return errno;
        }
        return m_path.empty() ? EEXIST : 0;
    }
    int close()
    {
        const int result = closeFile(m_fd);
        m_fd = -1;
        return result;
    }
    // After a successful rename there is nothing left to remove.
    void release() { m_path.clear(); }

private:
    fs::path m_target;
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

void setWriteHoldForTesting(std::function<void(const std::string &fileName)> hold)
{
    g_hold = std::move(hold);
}

void setNamedTemporaryForTesting(bool named)
{
    g_namedOnly = named;
}

void removeLeftoverTemporaries(const std::string &fileName)
{
    const fs::path folder = resolveTarget(fileName).parent_path();
    const std::string computer = computerName();
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::u8string name = it->path().filename().u8string();
        const std::optional<long long> writer = temporaryWriter(
            std::string_view(reinterpret_cast<const char *>(name.data()), name.size()), computer);
        std::error_code statusError;
        if (writer && !isProcessRunning(*writer) &&
            fs::is_regular_file(it->symlink_status(statusError))) {
            std::error_code removeError;
            fs::remove(it->path(), removeError);
        }
    }
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
    if (g_hold)
        g_hold(fileName);

    if (stepFails(WriteStep::Flush))
        throw WriteError(fileName, injectedReason);
    if (flushToDisk(temp.fd()) != 0)
        throw WriteError(fileName, systemReason(errno));
    if (const int error = temp.giveName())
        throw WriteError(fileName, systemReason(error));
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

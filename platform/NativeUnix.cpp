#include "platform/NativeFile.h"
#include "platform/NativeMemory.h"
#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace data {

namespace native {

namespace {

int fdOf(Handle file)
{
    return static_cast<int>(file);
}

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

} // namespace

Handle createNew(const fs::path &path, std::error_code &error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        error = lastError();
    return fd;
}

#if defined(__linux__) && defined(O_TMPFILE)
Handle createUnnamed(const fs::path &folder)
{
    return ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

bool nameUnnamed(Handle file, const fs::path &path, std::error_code &error)
{
    // AT_EMPTY_PATH would need a privilege; the link in /proc needs none.
    const std::string self = "/proc/self/fd/" + std::to_string(fdOf(file));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    error = lastError();
    return false;
}
#else
Handle createUnnamed(const fs::path &)
{
    return noHandle;
}

bool nameUnnamed(Handle, const fs::path &, std::error_code &error)
{
    error = std::make_error_code(std::errc::invalid_argument);
    return false;
}
#endif

Handle openForReading(const fs::path &path, std::error_code &error)
{
    // A named pipe without a writer would block the open for ever; nothing is read before the
    // file is known to be a regular one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = lastError();
        return noHandle;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

long long regularFileSize(Handle file)
{
    struct stat info;
    return ::fstat(fdOf(file), &info) == 0 && S_ISREG(info.st_mode)
               ? static_cast<long long>(info.st_size)
               : -1;
}

long long writeSome(Handle file, const char *data, std::size_t size, std::error_code &error)
{
    for (;;) {
        const ssize_t done = ::write(fdOf(file), data, size);
        if (done >= 0)
            return done;
        if (errno != EINTR) {
            error = lastError();
            return -1;
        }
    }
}

long long readSome(Handle file, char *data, std::size_t size, std::error_code &error)
{
    for (;;) {
        const ssize_t done = ::read(fdOf(file), data, size);
        if (done >= 0)
            return done;
        if (errno != EINTR) {
            error = lastError();
            return -1;
        }
    }
}

bool flush(Handle file, std::error_code &error)
{
    if (::fsync(fdOf(file)) == 0)
        return true;
    error = lastError();
    return false;
}

void startFlush([[maybe_unused]] Handle file, [[maybe_unused]] long long offset,
                [[maybe_unused]] long long size)
{
#ifdef __linux__
    ::sync_file_range(fdOf(file), offset, size, SYNC_FILE_RANGE_WRITE);
#endif
}

bool close(Handle file, std::error_code &error)
{
    if (::close(fdOf(file)) == 0)
        return true;
    error = lastError();
    return false;
}

void copyAttributes(Handle file, const fs::path &old)
{
    struct stat before;
    if (::stat(old.c_str(), &before) != 0)
        return;
    struct stat fresh;
    if (::fstat(fdOf(file), &fresh) == 0 &&
        (fresh.st_uid != before.st_uid || fresh.st_gid != before.st_gid)) {
        // Only root may give a file away; anyone else keeps owning the file they wrote.
        [[maybe_unused]] const int ignored = ::fchown(fdOf(file), before.st_uid, before.st_gid);
    }
    ::fchmod(fdOf(file), before.st_mode & 07777);
}

bool replace(const fs::path &source, const fs::path &target, std::error_code &error)
{
    if (::rename(source.c_str(), target.c_str()) == 0)
        return true;
    error = lastError();
    return false;
}

void flushFolder(const fs::path &folder)
{
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        name[0] = '\0';
    return name;
}

namespace {

constexpr std::size_t hugePage = std::size_t(2) << 20;
// Below this, a huge page would mostly stay empty.
constexpr std::size_t mappedFrom = std::size_t(1) << 20;

} // namespace

char *allocateLarge(std::size_t size, std::size_t &mapped)
{
    mapped = 0;
    if (size < mappedFrom)
        return static_cast<char *>(std::malloc(size));
    // Huge pages need aligned ranges: map one huge page more and trim to the alignment.
    const std::size_t length = (size + hugePage - 1) / hugePage * hugePage;
    void *raw = ::mmap(nullptr, length + hugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    char *start = static_cast<char *>(raw);
    const std::size_t head =
        (hugePage - reinterpret_cast<std::uintptr_t>(start) % hugePage) % hugePage;
    if (head > 0)
        ::munmap(start, head);
    ::munmap(start + head + length, hugePage - head);
#ifdef MADV_HUGEPAGE
    ::madvise(start + head, length, MADV_HUGEPAGE);
#endif
    mapped = length;
    return start + head;
}

void freeLarge(char *data, std::size_t mapped)
{
    if (mapped > 0)
        ::munmap(data, mapped);
    else
        std::free(data);
}

void prepareForWriting([[maybe_unused]] char *data, std::size_t mapped, std::size_t offset,
                       std::size_t size)
{
#ifdef MADV_POPULATE_WRITE
    constexpr std::size_t pageSize = 4096;
    if (mapped == 0 || offset >= mapped)
        return;
    const std::size_t start = offset / pageSize * pageSize;
    const std::size_t end = std::min(offset + size, mapped);
    ::madvise(data + start, end - start, MADV_POPULATE_WRITE);
#else
    (void)mapped;
    (void)offset;
    (void)size;
#endif
}

void adviseLargeUse([[maybe_unused]] const void *data, [[maybe_unused]] std::size_t size)
{
#ifdef MADV_HUGEPAGE
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t start = (begin + hugePage - 1) / hugePage * hugePage;
    const std::uintptr_t end = (begin + size) / hugePage * hugePage;
    if (start < end)
        ::madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
#endif
}

} // namespace native

long long currentProcessId()
{
    return static_cast<long long>(::getpid());
}

bool isProcessRunning(long long pid)
{
    if (pid <= 0)
        return false; // kill() would mean a whole group
    // EPERM: another user's process, but a live one.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace data

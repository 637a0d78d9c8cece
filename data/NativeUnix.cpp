#include "data/NativeFile.h"
#include "data/Process.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <signal.h>
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

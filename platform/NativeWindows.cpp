#include "platform/NativeFile.h"
#include "platform/NativeMemory.h"
#include "platform/Process.h"

#include <cstdlib>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Every path reaches the system as UTF-16 (std::filesystem::path is wide here), so a folder such
// as C:\Users\Đurđa\Dokumenti works whatever the code page.

namespace fs = std::filesystem;

namespace data {

namespace native {

namespace {

HANDLE handleOf(Handle file)
{
    return reinterpret_cast<HANDLE>(file);
}

Handle toHandle(HANDLE handle, std::error_code &error)
{
    if (handle == INVALID_HANDLE_VALUE) {
        error = {static_cast<int>(::GetLastError()), std::system_category()};
        return noHandle;
    }
    return reinterpret_cast<Handle>(handle);
}

bool fails(std::error_code &error)
{
    error = {static_cast<int>(::GetLastError()), std::system_category()};
    return false;
}

// A scanner or a backup program holds a file for a moment: what meets such a file is tried again
// for about two seconds before it fails.
bool heldByAnother(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED || error == ERROR_USER_MAPPED_FILE;
}

template <typename Attempt> auto retryWhileHeld(Attempt attempt)
{
    for (int waited = 0;; waited += 100) {
        auto result = attempt();
        if (result || waited >= 2000 || !heldByAnother(::GetLastError()))
            return result;
        ::Sleep(100);
    }
}

// Far below Windows' own limit of a single call.
DWORD chunk(std::size_t size)
{
    return size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
}

} // namespace

Handle createNew(const fs::path &path, std::error_code &error)
{
    return toHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr),
                    error);
}

Handle createUnnamed(const fs::path &)
{
    return noHandle;
}

bool nameUnnamed(Handle, const fs::path &, std::error_code &error)
{
    error = {ERROR_NOT_SUPPORTED, std::system_category()};
    return false;
}

Handle openForReading(const fs::path &path, std::error_code &error)
{
    // Others may go on reading, writing or renaming it; a folder opens too, to be told apart.
    const HANDLE file = retryWhileHeld([&] {
        const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        return h == INVALID_HANDLE_VALUE ? nullptr : h;
    });
    return toHandle(file ? file : INVALID_HANDLE_VALUE, error);
}

long long regularFileSize(Handle file)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileType(handleOf(file)) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(handleOf(file), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return static_cast<long long>((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) |
                                  info.nFileSizeLow);
}

long long writeSome(Handle file, const char *data, std::size_t size, std::error_code &error)
{
    DWORD done = 0;
    if (!::WriteFile(handleOf(file), data, chunk(size), &done, nullptr)) {
        fails(error);
        return -1;
    }
    return done;
}

long long readSome(Handle file, char *data, std::size_t size, std::error_code &error)
{
    DWORD done = 0;
    if (!::ReadFile(handleOf(file), data, chunk(size), &done, nullptr)) {
        fails(error);
        return -1;
    }
    return done;
}

bool flush(Handle file, std::error_code &error)
{
    return ::FlushFileBuffers(handleOf(file)) || fails(error);
}

void startFlush(Handle, long long, long long) {}

bool close(Handle file, std::error_code &error)
{
    return ::CloseHandle(handleOf(file)) || fails(error);
}

void copyAttributes(Handle, const fs::path &)
{
    // The new file takes the folder's permissions, as the old one did.
}

namespace {

// Whether another program has `file` open without letting it be replaced.
bool heldOpen(const fs::path &file)
{
    const HANDLE h =
        ::CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(h);
    return false;
}

} // namespace

bool replace(const fs::path &source, const fs::path &target, std::error_code &error)
{
    if (retryWhileHeld([&] {
            return ::MoveFileExW(source.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        }))
        return true;
    DWORD reason = ::GetLastError();
    // Replacing a file that another program holds is refused as access denied: say who.
    if (reason == ERROR_ACCESS_DENIED && heldOpen(target))
        reason = ERROR_SHARING_VIOLATION;
    error = {static_cast<int>(reason), std::system_category()};
    return false;
}

void flushFolder(const fs::path &)
{
    // MOVEFILE_WRITE_THROUGH has made the rename durable.
}

std::string hostName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return ::GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

char *allocateLarge(std::size_t size, std::size_t &mapped)
{
    mapped = 0;
    return static_cast<char *>(std::malloc(size));
}

void freeLarge(char *data, std::size_t)
{
    std::free(data);
}

void prepareForWriting(char *, std::size_t, std::size_t, std::size_t) {}

void adviseLargeUse(const void *, std::size_t) {}

} // namespace native

long long currentProcessId()
{
    return static_cast<long long>(::GetCurrentProcessId());
}

bool isProcessRunning(long long pid)
{
    if (pid <= 0)
        return false;
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return ::GetLastError() == ERROR_ACCESS_DENIED; // someone else's, but there
    DWORD exitCode = 0;
    const bool running = ::GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

} // namespace data

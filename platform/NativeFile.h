#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

// The few system calls the core makes itself, with each platform's side in a file of its
// own (NativeUnix.cpp, NativeWindows.cpp). A failure sets `error` to the system's own number:
// errno on Unix, GetLastError() on Windows.
namespace data::native {

// A descriptor on Unix, a HANDLE on Windows.
using Handle = std::intptr_t;
inline constexpr Handle noHandle = -1;

// A new file for writing, which must not exist yet.
Handle createNew(const std::filesystem::path &path, std::error_code &error);
// An unnamed file in `folder`, so that a process killed while it writes leaves nothing behind;
// noHandle where the file system has none (FAT, many network shares, Windows).
Handle createUnnamed(const std::filesystem::path &folder);
// Gives an unnamed file the name `path`, which must not exist.
bool nameUnnamed(Handle file, const std::filesystem::path &path, std::error_code &error);
// An existing file for reading; a pipe without a writer does not block the open.
Handle openForReading(const std::filesystem::path &path, std::error_code &error);
// The size of a regular file; -1 for anything else (a pipe, a device, a folder).
long long regularFileSize(Handle file);
// Some of the bytes; the number done, or -1. An interrupted call is tried again.
long long writeSome(Handle file, const char *data, std::size_t size, std::error_code &error);
long long readSome(Handle file, char *data, std::size_t size, std::error_code &error);
// Down to the disk.
bool flush(Handle file, std::error_code &error);
// Starts writing the bytes [offset, offset + size) to the disk without waiting for them, so that
// a later flush has less to wait for; a hint, where the system takes one.
void startFlush(Handle file, long long offset, long long size);
bool close(Handle file, std::error_code &error);
// Closes a file that is only read on every path out of a scope: such a close loses nothing.
struct ReadingClosed {
    Handle file;
    ~ReadingClosed()
    {
        std::error_code ignored;
        close(file, ignored);
    }
};
// The old file's permission bits and owner, where the system keeps them and allows it.
void copyAttributes(Handle file, const std::filesystem::path &old);
// Puts `source` in the place of `target` in one step: the old target stays whole until then.
bool replace(const std::filesystem::path &source, const std::filesystem::path &target,
             std::error_code &error);
// Makes a rename in `folder` durable, where the system needs a step of its own for that.
void flushFolder(const std::filesystem::path &folder);

// The computer's name as the system gives it; empty when it gives none.
std::string hostName();

} // namespace data::native

#include "data/Process.h"

#include <cerrno>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <process.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace data {

namespace {

std::string fileNameSafe(std::string name)
{
    for (char &c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!plain)
            c = '_';
    }
    return name.empty() ? std::string("nepoznato") : name;
}

} // namespace

#ifdef _WIN32
long long currentProcessId()
{
    return ::_getpid();
}

bool isProcessRunning(long long pid)
{
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return ::GetLastError() == ERROR_ACCESS_DENIED; // someone else's, but there
    DWORD exitCode = 0;
    const bool running = ::GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

std::string computerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return fileNameSafe(::GetComputerNameA(name, &size) ? std::string(name, size) : std::string());
}
#else
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

std::string computerName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        name[0] = '\0';
    return fileNameSafe(name);
}
#endif

} // namespace data

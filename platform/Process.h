#pragma once

#include <string>

namespace data {

long long currentProcessId();

// Whether a process with this id runs on this computer, also one of another user.
bool isProcessRunning(long long pid);

// This computer's name as a file name may carry it: letters, digits, '-' and '.' stay, any
// other byte becomes '_'; "nepoznato" when the system gives none.
std::string computerName();

} // namespace data

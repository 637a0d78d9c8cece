#pragma once

#include <exception>
#include <string>
#include <system_error>

namespace data {

// The Croatian reason for a system error number (errno). Errors without a wording of our own
// get a Croatian lead-in and the system's text: "sustavska greška 123: <text>".
std::string systemReason(int errorNumber);
std::string systemReason(const std::error_code &error);

// A reason as it continues a sentence after a colon: "…nije spremljena: pristup je odbijen".
std::string afterColon(std::string reason);

// The text of any exception as a clerk should read it: the core's own messages as they are,
// system failures with their Croatian reason.
std::string exceptionMessage(const std::exception &e);

} // namespace data

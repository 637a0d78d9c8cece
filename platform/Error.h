#pragma once

#include <stdexcept>
#include <string>

namespace data {

// The one failure the core reports: its message is Croatian UTF-8 text a clerk can read.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string &message)
        : std::runtime_error(message)
    {
    }
};

} // namespace data

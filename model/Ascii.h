#pragma once

namespace data {

// The ASCII digits only: std::isdigit depends on the C locale and takes no plain char.
constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace data

#pragma once

#include <cstddef>
#include <string>

namespace data {

// "1 znak", "3 znaka", "12 znakova": the number with the form of "znak" it asks for.
inline std::string characterCount(std::size_t n)
{
    const std::size_t last = n % 10;
    const std::size_t lastTwo = n % 100;
    const char *word = "znakova";
    if (last == 1 && lastTwo != 11)
        word = "znak";
    else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        word = "znaka";
    return std::to_string(n) + " " + word;
}

} // namespace data

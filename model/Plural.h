#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace data {

// The form of a Croatian noun that agrees with the number `n` before it: `one` after 1, 21,
// 101 (not 11), `few` after 2 to 4, 22 to 24 (not 12 to 14), `many` after the rest.
constexpr std::string_view pluralForm(std::size_t n, std::string_view one, std::string_view few,
                                      std::string_view many)
{
    const std::size_t last = n % 10;
    const std::size_t lastTwo = n % 100;
    if (last == 1 && lastTwo != 11)
        return one;
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        return few;
    return many;
}

// "1 znak", "3 znaka", "12 znakova".
inline std::string characterCount(std::size_t n)
{
    return std::to_string(n) + " " + std::string(pluralForm(n, "znak", "znaka", "znakova"));
}

} // namespace data

#include "data/NumberText.h"

#include "data/Error.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace data {

namespace {

// Long enough for any finite double in fixed notation (DBL_MAX has 309 digits, the smallest
// subnormal 324 decimals).
constexpr std::size_t numberBufferSize = 400;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::optional<double> parseWhole(std::string_view text, std::chars_format format)
{
    double value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, format);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::string storedNumberText(double value)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0)
        value = 0; // no "-0"
    char buffer[numberBufferSize];
    const auto [ptr, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (ec != std::errc())
        return {};
    return std::string(buffer, ptr);
}

std::string displayNumberText(std::string_view storedText)
{
    std::string text(storedText);
    for (char &c : text) {
        if (c == '.')
            c = ',';
    }
    return text;
}

std::optional<double> parseTypedNumber(std::string_view typed)
{
    std::string_view text = typed;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;

    // Sign, digits, at most one separator; rewritten for from_chars, which knows no '+' or ','.
    std::string plain;
    plain.reserve(text.size());
    std::size_t i = 0;
    if (text[0] == '+' || text[0] == '-') {
        if (text[0] == '-')
            plain.push_back('-');
        ++i;
    }
    bool separator = false;
    bool digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            digits = true;
            plain.push_back(c);
        } else if ((c == '.' || c == ',') && !separator) {
            separator = true;
            plain.push_back('.');
        } else {
            digits = false;
            break;
        }
    }
    std::optional<double> value;
    if (digits)
        value = parseWhole(plain, std::chars_format::fixed);
    if (!value)
        throw Error("„" + std::string(typed) + "” nije ispravan broj.");
    return value;
}

std::optional<double> parseFileNumber(std::string_view text)
{
    return parseWhole(text, std::chars_format::general);
}

std::optional<double> storedNumberValue(std::string_view storedText)
{
    if (storedText.empty())
        return std::nullopt;
    return parseWhole(storedText, std::chars_format::general);
}

} // namespace data

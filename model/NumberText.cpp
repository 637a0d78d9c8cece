#include "model/NumberText.h"

#include "model/Ascii.h"
#include "model/Encoding.h"
#include "platform/Error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

namespace data {

namespace {

// Long enough for any finite double in fixed notation (DBL_MAX has 309 digits, the smallest
// subnormal 324 decimals).
constexpr std::size_t numberBufferSize = 400;

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

namespace {

// A number's text cut at its marks: the groups of digits, and between them '.', ',' or ' '
// (any kind of space).
struct Groups {
    bool negative = false;
    std::vector<std::string_view> digits;
    std::string marks;

    std::size_t count(char mark) const
    {
        return static_cast<std::size_t>(std::count(marks.begin(), marks.end(), mark));
    }
    // Whether digits[0..end] group thousands: one to three digits, then threes.
    bool groupsThousands(std::size_t end) const
    {
        if (end == 0)
            return true;
        if (digits[0].empty() || digits[0].size() > 3)
            return false;
        for (std::size_t k = 1; k <= end; ++k) {
            if (digits[k].size() != 3)
                return false;
        }
        return std::all_of(marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(end),
                           [&](char m) { return m == marks[0]; });
    }
    bool hasDigits() const
    {
        return std::any_of(digits.begin(), digits.end(),
                           [](std::string_view d) { return !d.empty(); });
    }
};

std::optional<Groups> cut(std::string_view text)
{
    Groups g;
    std::size_t i = 0;
    if (text[0] == '+' || text[0] == '-') {
        g.negative = text[0] == '-';
        ++i;
    }
    for (;;) {
        const std::size_t start = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        g.digits.push_back(text.substr(start, i - start));
        if (i == text.size())
            return g;
        if (text[i] == '.' || text[i] == ',') {
            g.marks.push_back(text[i]);
            ++i;
        } else if (const std::size_t n = spaceLengthAt(text, i)) {
            g.marks.push_back(' ');
            i += n;
        } else {
            return std::nullopt;
        }
    }
}

// The number of digits[0..integerEnd] as the integer part and, when `decimal`, the last group
// as its fraction.
std::optional<double> valueOf(const Groups &g, std::size_t integerEnd, bool decimal)
{
    std::string plain = g.negative ? "-" : "";
    for (std::size_t k = 0; k <= integerEnd; ++k)
        plain.append(g.digits[k]);
    if (decimal)
        plain.append(".").append(g.digits.back());
    if (plain.empty() || plain == "-" || plain == "." || plain == "-.")
        return std::nullopt;
    return parseWhole(plain, std::chars_format::fixed);
}

std::string quoted(std::string_view text)
{
    return "„" + sanitizeText(text) + "”";
}

NumberReading ambiguous(std::string_view text, const Groups &g)
{
    const std::string thousands = storedNumberText(valueOf(g, 1, false).value_or(0));
    const std::string decimal =
        displayNumberText(storedNumberText(valueOf(g, 0, true).value_or(0)));
    const std::string both = thousands + " ili " + decimal;
    return {NumberReading::Form::Ambiguous, 0,
            quoted(text) + " može biti " + both + ": upišite " + both + "."};
}

NumberReading invalid(std::string_view text, NumberSource source)
{
    switch (source) {
    case NumberSource::Typed:
        return {NumberReading::Form::Invalid, 0,
                quoted(text) + " nije ispravan broj: upišite npr. 1234,5 ili 1.234,5."};
    case NumberSource::List:
        return {NumberReading::Form::Invalid, 0,
                quoted(text) + " nije broj: prima se npr. 1234,56, 1.234,56 ili 1 234,56."};
    case NumberSource::Export:
        break;
    }
    return {NumberReading::Form::Invalid, 0,
            quoted(text) + " nije broj: izvoz ga piše kao 1234,56."};
}

// Typed: a comma is always the decimal mark; see NumberSource.
NumberReading readTyped(std::string_view text, const Groups &g)
{
    const std::size_t marks = g.marks.size();
    const std::size_t commas = g.count(',');
    std::optional<double> value;
    if (commas == 1 && g.marks.back() == ',') {
        if (g.groupsThousands(marks - 1) && (marks == 1 || g.marks[0] != ','))
            value = valueOf(g, marks - 1, true);
    } else if (commas == 0 && g.count('.') == 1 && marks == 1) {
        // One dot: a decimal point, unless it may as well group thousands.
        const std::string_view whole = g.digits[0];
        if (g.digits[1].size() == 3 && !whole.empty() && whole.size() <= 3 && whole[0] != '0')
            return ambiguous(text, g);
        value = valueOf(g, 0, true);
    } else if (commas == 0 && g.groupsThousands(marks)) {
        value = valueOf(g, marks, false);
    }
    if (!value || !g.hasDigits())
        return invalid(text, NumberSource::Typed);
    return {NumberReading::Form::Number, *value, {}};
}

// A supplier's list; see NumberSource.
NumberReading readList(std::string_view text, const Groups &g)
{
    // A '.' or ',' that appears once is the decimal mark; what comes before it groups
    // thousands, all in one kind. A mark that repeats ("1.234.567") can only group.
    const std::size_t marks = g.marks.size();
    const std::size_t last = g.marks.find_last_of(".,");
    const bool decimal = last != std::string::npos && g.count(g.marks[last]) == 1;
    if (decimal && last != marks - 1)
        return invalid(text, NumberSource::List);
    const std::size_t groupingEnd = decimal ? last : marks;
    if (!g.groupsThousands(groupingEnd) || !g.hasDigits() ||
        (groupingEnd > 0 && decimal && g.digits.back().empty()))
        return invalid(text, NumberSource::List);
    // "1.234" may be 1234 or 1,234; a leading zero ("0,125") settles it.
    const std::string_view whole = g.digits[0];
    if (decimal && groupingEnd == 0 && g.digits.back().size() == 3 && !whole.empty() &&
        whole.size() <= 3 && whole[0] != '0')
        return ambiguous(text, g);
    const std::optional<double> value = valueOf(g, groupingEnd, decimal);
    if (!value)
        return invalid(text, NumberSource::List);
    return {NumberReading::Form::Number, *value, {}};
}

// The export's own form: a sign, digits and at most one mark.
NumberReading readExport(std::string_view text, const Groups &g)
{
    const std::optional<double> value = g.marks.size() <= 1 && g.count(' ') == 0 && g.hasDigits()
                                            ? valueOf(g, 0, g.marks.size() == 1)
                                            : std::nullopt;
    if (!value)
        return invalid(text, NumberSource::Export);
    return {NumberReading::Form::Number, *value, {}};
}

} // namespace

NumberReading readNumber(std::string_view text, NumberSource source)
{
    const std::string_view trimmed = trimSpaces(text);
    if (trimmed.empty())
        return {};
    const std::optional<Groups> groups = cut(trimmed);
    if (!groups)
        return invalid(trimmed, source);
    switch (source) {
    case NumberSource::Typed:
        return readTyped(trimmed, *groups);
    case NumberSource::List:
        return readList(trimmed, *groups);
    case NumberSource::Export:
        break;
    }
    return readExport(trimmed, *groups);
}

std::optional<double> parseTypedNumber(std::string_view typed)
{
    NumberReading reading = readNumber(typed, NumberSource::Typed);
    switch (reading.form) {
    case NumberReading::Form::Empty:
        return std::nullopt;
    case NumberReading::Form::Number:
        return reading.value;
    case NumberReading::Form::Ambiguous:
    case NumberReading::Form::Invalid:
        break;
    }
    throw Error(std::move(reading.problem));
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

#include "import/RecordImport.h"

#include "data/CharacterCount.h"
#include "data/Encoding.h"
#include "data/Error.h"
#include "data/Find.h"
#include "data/NumberText.h"
#include "data/ProductSchema.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>

namespace textimport {

namespace {

using data::ProductFieldCount;

constexpr std::array<std::string_view, ProductFieldCount> captions = {
    "Tarifni broj", "Naziv",          "Kataloški broj", "ATK",    "Proizvođač", "Dobavljač",
    "Korisnik",     "Jedinica mjere", "Količina",       "Valuta", "Cijena",     "Protokol",
};

// A heading reduced to what tells it apart: folded as a search folds it, single spaces, without
// the colons and spaces the form's captions carry around them.
std::u32string foldHeading(std::string_view text)
{
    std::u32string out;
    const auto *at = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = at + text.size();
    while (at < end) {
        const char32_t c = data::FindText::fold(data::decodeUtf8(at, end));
        if (c == U' ' || c == U'\t' || c == U':') {
            if (!out.empty() && out.back() != U' ')
                out.push_back(U' ');
        } else if (c != 0) {
            out.push_back(c);
        }
    }
    if (!out.empty() && out.back() == U' ')
        out.pop_back();
    return out;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of a space that groups digits at `i`: ' ', U+00A0 or U+202F; 0 for anything else.
std::size_t groupSpaceLength(std::string_view s, std::size_t i)
{
    if (s[i] == ' ')
        return 1;
    if (s.substr(i).starts_with("\xC2\xA0"))
        return 2;
    if (s.substr(i).starts_with("\xE2\x80\xAF"))
        return 3;
    return 0;
}

std::string_view trimSpaces(std::string_view s)
{
    while (!s.empty()) {
        const std::size_t n = s.front() == '\t' ? 1 : groupSpaceLength(s, 0);
        if (n == 0)
            break;
        s.remove_prefix(n);
    }
    while (!s.empty()) {
        if (s.back() == ' ' || s.back() == '\t')
            s.remove_suffix(1);
        else if (s.ends_with("\xC2\xA0"))
            s.remove_suffix(2);
        else if (s.ends_with("\xE2\x80\xAF"))
            s.remove_suffix(3);
        else
            break;
    }
    return s;
}

ImportedNumber numberFrom(const std::string &plain)
{
    double value = 0;
    const char *end = plain.data() + plain.size();
    const auto [ptr, ec] = std::from_chars(plain.data(), end, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return {NumberForm::Invalid};
    return {NumberForm::Number, value};
}

std::size_t codePoints(std::string_view utf8)
{
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The two readings of an ambiguous number: "1234 ili 1,234".
std::string readings(std::string_view ambiguous)
{
    std::string thousands;
    std::string decimals;
    for (char c : trimSpaces(ambiguous)) {
        const bool mark = c == '.' || c == ',';
        if (!mark)
            thousands.push_back(c);
        decimals.push_back(mark ? ',' : c);
    }
    return thousands + " ili " + decimals;
}

std::string quoted(std::string_view text)
{
    return "„" + data::sanitizeText(text) + "”";
}

} // namespace

std::string_view fieldCaption(std::size_t field)
{
    return captions.at(field);
}

std::optional<std::size_t> fieldForHeading(std::string_view cell)
{
    const std::u32string heading = foldHeading(cell);
    if (heading.empty())
        return std::nullopt;
    const data::Schema &schema = data::productSchema();
    for (std::size_t field = 0; field < ProductFieldCount; ++field) {
        if (heading == foldHeading(captions[field]) || heading == foldHeading(schema[field].name))
            return field;
    }
    return std::nullopt;
}

MappingGuess guessMapping(const Source &source, const Mapping &lastUsed)
{
    const std::size_t columns = source.columnCount;
    if (!source.rows.empty()) {
        // A header when at least half its cells name fields, none of them twice.
        Mapping mapping(columns);
        std::size_t named = 0;
        std::size_t filled = 0;
        bool twice = false;
        const std::vector<std::string> &cells = source.rows.front().cells;
        for (std::size_t column = 0; column < cells.size(); ++column) {
            if (trimSpaces(cells[column]).empty())
                continue;
            ++filled;
            if (const auto field = fieldForHeading(cells[column])) {
                twice = twice || std::find(mapping.begin(), mapping.end(), field) != mapping.end();
                mapping[column] = field;
                ++named;
            }
        }
        if (named > 0 && 2 * named >= filled && !twice)
            return {mapping, true};
    }
    Mapping mapping(columns);
    if (columns == ProductFieldCount) {
        for (std::size_t column = 0; column < columns; ++column)
            mapping[column] = column;
    } else {
        std::copy_n(lastUsed.begin(), std::min(columns, lastUsed.size()), mapping.begin());
    }
    return {mapping, false};
}

std::optional<std::size_t> fieldChosenTwice(const Mapping &mapping)
{
    std::array<bool, ProductFieldCount> chosen{};
    for (const auto &field : mapping) {
        if (!field)
            continue;
        if (chosen.at(*field))
            return field;
        chosen[*field] = true;
    }
    return std::nullopt;
}

ImportedNumber readNumber(std::string_view text, bool exportForm)
{
    const std::string_view trimmed = trimSpaces(text);
    if (trimmed.empty())
        return {NumberForm::Empty};
    if (exportForm) {
        try {
            const auto value = data::parseTypedNumber(trimmed);
            return {NumberForm::Number, value.value_or(0)};
        } catch (const data::Error &) {
            return {NumberForm::Invalid};
        }
    }

    // Digit groups and the separators between them.
    std::string plain;
    std::size_t i = 0;
    if (trimmed[0] == '+' || trimmed[0] == '-') {
        if (trimmed[0] == '-')
            plain.push_back('-');
        ++i;
    }
    std::vector<std::string_view> groups;
    std::string separators; // ' ' stands for every kind of space
    while (true) {
        const std::size_t start = i;
        while (i < trimmed.size() && isDigit(trimmed[i]))
            ++i;
        groups.push_back(trimmed.substr(start, i - start));
        if (i == trimmed.size())
            break;
        if (trimmed[i] == '.' || trimmed[i] == ',') {
            separators.push_back(trimmed[i]);
            ++i;
        } else if (const std::size_t n = groupSpaceLength(trimmed, i)) {
            separators.push_back(' ');
            i += n;
        } else {
            return {NumberForm::Invalid};
        }
    }

    // A '.' or ',' that appears once is the decimal separator; what comes before it groups
    // thousands, all in one kind. A mark that repeats ("1.234.567") can only group.
    std::optional<std::size_t> decimal;
    const std::size_t lastMark = separators.find_last_of(".,");
    if (lastMark != std::string::npos &&
        std::count(separators.begin(), separators.end(), separators[lastMark]) == 1)
        decimal = lastMark;
    if (decimal && *decimal != separators.size() - 1)
        return {NumberForm::Invalid};
    const std::size_t groupingEnd = decimal ? *decimal : separators.size();
    for (std::size_t k = 1; k < groupingEnd; ++k) {
        if (separators[k] != separators[0])
            return {NumberForm::Invalid};
    }
    // Grouped digits: one to three first, then threes.
    if (groupingEnd > 0 && (groups[0].empty() || groups[0].size() > 3))
        return {NumberForm::Invalid};
    for (std::size_t k = 1; k <= groupingEnd; ++k) {
        if (groups[k].size() != 3)
            return {NumberForm::Invalid};
    }
    const std::string_view fraction = decimal ? groups.back() : std::string_view();
    const bool noDigits =
        std::all_of(groups.begin(), groups.end(), [](std::string_view g) { return g.empty(); });
    if (noDigits || (groupingEnd > 0 && decimal && fraction.empty()))
        return {NumberForm::Invalid};
    // "1.234" may be 1234 or 1.234; a leading zero ("0,125") settles it.
    if (decimal && groupingEnd == 0 && fraction.size() == 3 && !groups[0].empty() &&
        groups[0].size() <= 3 && groups[0].front() != '0')
        return {NumberForm::Ambiguous};
    for (std::size_t k = 0; k <= groupingEnd; ++k)
        plain.append(groups[k]);
    if (decimal) {
        plain.push_back('.');
        plain.append(fraction);
    }
    return numberFrom(plain);
}

std::string chosenTwiceReason(std::size_t field)
{
    return "Polje „" + std::string(fieldCaption(field)) + "” odabrano je dvaput.";
}

ImportResult convert(const Source &source, const Mapping &mapping, bool headerRow)
{
    if (const auto field = fieldChosenTwice(mapping))
        throw data::Error(chosenTwiceReason(*field));
    const data::Schema &schema = data::productSchema();
    ImportResult result;
    std::vector<Problem> rowProblems;
    result.records.reserve(source.rows.size());
    std::array<std::string, ProductFieldCount> values;
    std::array<std::string_view, ProductFieldCount> views;
    std::string reasons;
    const auto addReason = [&](std::size_t field, const std::string &reason) {
        if (!reasons.empty())
            reasons += "; ";
        reasons += std::string(fieldCaption(field)) + ": " + reason;
    };

    for (std::size_t r = headerRow ? 1 : 0; r < source.rows.size(); ++r) {
        const SourceRow &row = source.rows[r];
        for (std::string &v : values)
            v.clear();
        reasons.clear();
        for (std::size_t column = 0; column < mapping.size(); ++column) {
            if (!mapping[column])
                continue;
            const std::size_t field = *mapping[column];
            const std::string_view cell =
                column < row.cells.size() ? std::string_view(row.cells[column]) : "";
            if (schema[field].isNumber()) {
                const ImportedNumber number = readNumber(cell, source.exportForm);
                if (number.form == NumberForm::Number)
                    values[field] = data::storedNumberText(number.value);
                else if (number.form == NumberForm::Ambiguous)
                    addReason(field, quoted(cell) + " može biti " + readings(cell));
                else if (number.form == NumberForm::Invalid)
                    addReason(field, quoted(cell) + " nije broj");
                continue;
            }
            values[field] = data::isCleanText(cell) ? std::string(cell) : data::sanitizeText(cell);
            const std::size_t length = codePoints(values[field]);
            if (length > schema[field].maxLength)
                addReason(field, data::characterCount(length) + ", a dopušteno je najviše " +
                                     data::characterCount(schema[field].maxLength));
        }
        if (values[data::Naziv].empty() && reasons.empty())
            reasons = "nema naziva (zapis bez naziva ne sprema se)";
        if (!reasons.empty()) {
            rowProblems.push_back({row.line, reasons});
            continue;
        }
        std::copy(values.begin(), values.end(), views.begin());
        result.records.emplace_back(views);
    }
    std::merge(source.problems.begin(), source.problems.end(), rowProblems.begin(),
               rowProblems.end(), std::back_inserter(result.problems),
               [](const Problem &a, const Problem &b) { return a.line < b.line; });
    return result;
}

} // namespace textimport

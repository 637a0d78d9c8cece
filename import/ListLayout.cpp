#include "import/ListLayout.h"

#include "model/CurrencyCodes.h"
#include "model/Encoding.h"
#include "model/Find.h"
#include "model/NumberText.h"
#include "model/ProductSchema.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace textimport {

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A byte of a word: letters and digits; bytes of other letters ("č") too, so that "KOLIČINA"
// stays one word and no part of it reads as a currency code.
bool isWordByte(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= 0x80;
}

std::string lowered(std::string_view word)
{
    std::string s(word);
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool isEuroWord(std::string_view word)
{
    constexpr std::array<std::string_view, 7> forms = {"eur",  "euro",  "eura",  "euru",
                                                       "eure", "eurom", "eurima"};
    return std::ranges::find(forms, lowered(word)) != forms.end();
}

bool isCapitalCode(std::string_view word)
{
    return word.size() == 3 &&
           std::ranges::all_of(word, [](char c) { return c >= 'A' && c <= 'Z'; }) &&
           data::isCurrentCurrencyCode(word);
}

// Whether a name is a total's wording: its first word, whatever the case and diacritics
// ("UKUPNO", "Ukupno:", "Međuzbroj").
bool isTotalWording(std::string_view name)
{
    constexpr std::array<std::u32string_view, 8> wordings = {
        U"ukupno", U"sveukupno", U"meduzbroj", U"medjuzbroj",
        U"zbroj",  U"total",     U"subtotal",  U"iznos"};
    constexpr std::size_t longest = 10;
    std::u32string word;
    const auto *at = reinterpret_cast<const unsigned char *>(name.data());
    const auto *end = at + name.size();
    while (at < end && word.size() <= longest) {
        const char32_t c = data::FindText::fold(data::decodeUtf8(at, end));
        if (c == 0)
            continue; // a combining mark
        if (!((c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c >= 0xC0))
            break;
        word.push_back(c);
    }
    return std::ranges::find(wordings, word) != wordings.end();
}

// A cell's number for the sums; nothing for text, which most cells are, without reading it.
std::optional<double> numberIn(std::string_view cell)
{
    const std::size_t first = cell.find_first_not_of(" \t");
    if (first == std::string_view::npos ||
        std::string_view("0123456789+-.,").find(cell[first]) == std::string_view::npos)
        return std::nullopt;
    const data::NumberReading reading = data::readNumber(cell, data::NumberSource::List);
    if (reading.form != data::NumberReading::Form::Number)
        return std::nullopt;
    return reading.value;
}

} // namespace

MappingMemory::MappingMemory(std::vector<Entry> entries)
{
    for (Entry &entry : entries) {
        const bool fits = !entry.mapping.empty() &&
                          (entry.headings.empty() || entry.headings.size() == entry.mapping.size());
        if (fits && m_entries.size() < capacity && !find(entry.headings, entry.mapping.size()))
            m_entries.push_back(std::move(entry));
    }
}

const Mapping *MappingMemory::find(const std::vector<std::string> &headings,
                                   std::size_t columns) const
{
    for (const Entry &entry : m_entries) {
        if (entry.headings == headings && entry.mapping.size() == columns)
            return &entry.mapping;
    }
    return nullptr;
}

void MappingMemory::remember(std::vector<std::string> headings, Mapping mapping)
{
    forget(headings, mapping.size());
    m_entries.insert(m_entries.begin(), {std::move(headings), std::move(mapping)});
    if (m_entries.size() > capacity)
        m_entries.pop_back();
}

void MappingMemory::forget(const std::vector<std::string> &headings, std::size_t columns)
{
    std::erase_if(m_entries, [&](const Entry &entry) {
        return entry.headings == headings && entry.mapping.size() == columns;
    });
}

std::string currencyOfHeading(std::string_view heading)
{
    std::string found;
    bool two = false;
    const auto take = [&](std::string_view code) {
        two = two || (!found.empty() && found != code);
        found = code;
    };
    if (heading.find("€") != std::string_view::npos)
        take("EUR");
    for (auto at = heading.begin(); at != heading.end();) {
        at = std::find_if(at, heading.end(), isWordByte);
        const auto end = std::find_if_not(at, heading.end(), isWordByte);
        const std::string_view word(at, end);
        if (isCapitalCode(word))
            take(word);
        else if (isEuroWord(word))
            take("EUR");
        at = end;
    }
    return two ? std::string() : found;
}

std::optional<HeadingCurrency> currencyOfHeadings(const std::vector<std::string> &headings,
                                                  const Mapping &mapping)
{
    const auto price =
        static_cast<std::size_t>(std::ranges::find(mapping, data::Price) - mapping.begin());
    if (price < headings.size()) {
        if (std::string code = currencyOfHeading(headings[price]); !code.empty())
            return HeadingCurrency{std::move(code), price};
    }
    std::optional<HeadingCurrency> other;
    for (std::size_t column = 0; column < headings.size(); ++column) {
        std::string code = currencyOfHeading(headings[column]);
        if (column == price || code.empty())
            continue;
        if (other && other->code != code)
            return std::nullopt;
        if (!other)
            other = HeadingCurrency{std::move(code), column};
    }
    return other;
}

TotalRows::TotalRows(const Source &source, std::size_t firstRow)
    : m_source(source)
    , m_summed(firstRow)
    , m_sinceTotal(source.columnCount)
    , m_all(source.columnCount)
{
}

bool TotalRows::isTotal(std::size_t row, std::string_view name, bool identified)
{
    bool total = false;
    if (name.empty()) {
        sumUpTo(row);
        total = isSumAbove(row);
    } else {
        total = !identified && isTotalWording(name);
    }
    if (total)
        m_totals.push_back(row);
    return total;
}

void TotalRows::sumUpTo(std::size_t row)
{
    for (; m_summed < row; ++m_summed) {
        if (m_nextTotal < m_totals.size() && m_totals[m_nextTotal] == m_summed) {
            ++m_nextTotal;
            std::ranges::fill(m_sinceTotal, Sum{});
            continue;
        }
        const std::vector<std::string> &cells = m_source.rows[m_summed].cells;
        for (std::size_t column = 0; column < cells.size(); ++column) {
            if (const auto value = numberIn(cells[column])) {
                for (Sum *sum : {&m_sinceTotal[column], &m_all[column]}) {
                    sum->value += *value;
                    ++sum->count;
                }
            }
        }
    }
}

bool TotalRows::isSumAbove(std::size_t row) const
{
    // One number is no sum: a lone product above would make any copy of it a total.
    const auto isSum = [](double value, const Sum &sum) {
        return sum.count >= 2 && std::abs(value - sum.value) <= 0.01 + 1e-9 * std::abs(sum.value);
    };
    const std::vector<std::string> &cells = m_source.rows[row].cells;
    for (std::size_t column = 0; column < cells.size(); ++column) {
        const auto value = numberIn(cells[column]);
        if (value && *value != 0 &&
            (isSum(*value, m_sinceTotal[column]) || isSum(*value, m_all[column])))
            return true;
    }
    return false;
}

} // namespace textimport

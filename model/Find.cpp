#include "model/Find.h"

#include "model/Encoding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace data {

namespace {

// U+00C0 to U+017F without diacritics and in lower case; a letter without a plain base letter
// (æ, þ, ß, ĳ, ĸ, ŋ, œ) and the signs × and ÷ only in lower case.
constexpr std::u16string_view latinLetters = u"aaaaaaæceeeeiiii"
                                             u"dnooooo×ouuuuyþß"
                                             u"aaaaaaæceeeeiiii"
                                             u"dnooooo÷ouuuuyþy"
                                             u"aaaaaaccccccccdd"
                                             u"ddeeeeeeeeeegggg"
                                             u"gggghhhhiiiiiiii"
                                             u"iiĳĳjjkkĸlllllll"
                                             u"lllnnnnnnnŋŋoooo"
                                             u"ooœœrrrrrrssssss"
                                             u"ssttttttuuuuuuuu"
                                             u"uuuuwwyyyzzzzzzs";
static_assert(latinLetters.size() == 0x180 - 0xC0);

constexpr std::uint64_t everyByte = 0x0101010101010101;
constexpr std::uint64_t highBits = 0x8080808080808080;

// True when one of the eight bytes in `word` is the byte repeated in `pattern`.
bool holdsByte(std::uint64_t word, std::uint64_t pattern)
{
    const std::uint64_t v = word ^ pattern;
    return ((v - everyByte) & ~v & highBits) != 0;
}

// A number field is shown with a decimal comma: its stored point reads as one.
char32_t foldIn(char32_t c, bool isNumber)
{
    c = FindText::fold(c);
    return isNumber && c == U'.' ? U',' : c;
}

} // namespace

char32_t FindText::fold(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + (U'a' - U'A');
    if (c >= 0xC0 && c < 0x180)
        return latinLetters[c - 0xC0];
    if (c >= 0x300 && c < 0x370)
        return 0;
    return c;
}

FindText::FindText(std::string_view utf8)
{
    for (bool isNumber : {false, true}) {
        std::u32string &text = m_text[isNumber];
        const auto *at = reinterpret_cast<const unsigned char *>(utf8.data());
        const auto *end = at + utf8.size();
        while (at < end) {
            // Stored text holds no control character, so none can ever match.
            if (const char32_t c = foldIn(decodeUtf8(at, end), isNumber); c >= U' ')
                text.push_back(c);
        }
        // Any letter may be written with a diacritic, so a match may begin at every lead byte.
        auto &start = m_start[isNumber];
        auto &firstBytes = m_firstBytes[isNumber];
        firstBytes.fill(highBits); // a lead byte, which the high bits find anyway
        std::size_t plain = 0;
        for (unsigned b = 0; b < start.size(); ++b) {
            start[b] = !text.empty() && (b >= 0xC0 || foldIn(b, isNumber) == text[0]);
            // At most two plain bytes fold to one: a letter's two cases, a number's , and .
            if (start[b] && b < 0x80 && plain < firstBytes.size())
                firstBytes[plain++] = b * everyByte;
        }
    }
}

bool FindText::isIn(std::string_view value, bool isNumber) const
{
    if (value.size() < m_text[isNumber].size() || isEmpty())
        return false;
    const auto &start = m_start[isNumber];
    const auto &firstBytes = m_firstBytes[isNumber];
    const auto *at = reinterpret_cast<const unsigned char *>(value.data());
    const auto *end = at + value.size();
    while (at < end) {
        const std::ptrdiff_t chunk = std::min<std::ptrdiff_t>(8, end - at);
        // Eight bytes at a time past those at which no match can begin.
        if (chunk == 8) {
            std::uint64_t word;
            std::memcpy(&word, at, 8);
            if (!(word & highBits) && !holdsByte(word, firstBytes[0]) &&
                !holdsByte(word, firstBytes[1])) {
                at += 8;
                continue;
            }
        }
        for (const auto *stop = at + chunk; at < stop; ++at) {
            if (start[*at] && matchesAt(at, end, isNumber))
                return true;
        }
    }
    return false;
}

bool FindText::matchesAt(const unsigned char *at, const unsigned char *end, bool isNumber) const
{
    const std::u32string &text = m_text[isNumber];
    for (std::size_t matched = 0; matched < text.size();) {
        if (at == end)
            return false;
        const char32_t c = foldIn(decodeUtf8(at, end), isNumber);
        if (c == 0)
            continue;
        if (c != text[matched++])
            return false;
    }
    return true;
}

std::optional<std::size_t> findRecord(const Table &table, const FindText &text, std::size_t start,
                                      bool forward)
{
    const std::size_t rows = table.rowCount();
    if (!table.isActive() || rows == 0 || text.isEmpty())
        return std::nullopt;
    std::vector<bool> isNumber;
    for (const FieldDef &field : table.schema())
        isNumber.push_back(field.isNumber());
    // No match spans the NUL between two values, so a record is looked at in one go. A number
    // is shown as stored but for its comma: only a text with a comma needs the fields one by one,
    // and only where reading every point as a comma finds it.
    const auto isIn = [&](const Record &record) {
        if (!text.hasComma())
            return text.isIn(record.values(), false);
        if (!text.isIn(record.values(), true))
            return false;
        bool found = false;
        record.forEachValue([&](std::size_t field, std::string_view value) {
            found = found || text.isIn(value, isNumber[field]);
        });
        return found;
    };
    std::size_t row = start % rows;
    for (std::size_t i = 0; i < rows; ++i) {
        if (!table.isBegunRow(row) && isIn(table.rows()[row]))
            return row;
        row = forward ? (row + 1 < rows ? row + 1 : 0) : (row > 0 ? row - 1 : rows - 1);
    }
    return std::nullopt;
}

} // namespace data

#pragma once

#include "model/Table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace data {

// What a clerk looks for, matched the way a clerk reads: letters without regard to case or
// diacritics ("cakovec" finds "Čakovec", "ČAKOVEC" finds "čakovec"; Croatian and the other
// Latin letters of Latin-1 and Latin Extended-A), numbers as shown, with a decimal comma; a
// decimal point typed for a number finds it too.
class FindText {
public:
    explicit FindText(std::string_view utf8);

    bool isEmpty() const { return m_text[0].empty(); }
    bool hasComma() const { return m_text[0].find(U',') != std::u32string::npos; }
    // True when `value` (stored form; a number field's stored form when `isNumber`) contains the
    // text. Nothing is copied or converted: a wrap through a large table must stay fast.
    bool isIn(std::string_view value, bool isNumber) const;

    // A letter without case and diacritics; 0 for a combining mark, which is skipped.
    static char32_t fold(char32_t c);

private:
    bool matchesAt(const unsigned char *at, const unsigned char *end, bool isNumber) const;

    std::array<std::u32string, 2> m_text;         // folded, for text and for number fields
    std::array<std::array<bool, 256>, 2> m_start; // bytes at which a match may begin
    // The plain bytes among them, each repeated eight times, to look at eight bytes at once.
    std::array<std::array<std::uint64_t, 2>, 2> m_firstBytes;
};

// The first stored record from `start` on, going forward or backward and wrapping, of which any
// field contains `text`; a begun record is never found. Nothing when no record matches.
std::optional<std::size_t> findRecord(const Table &table, const FindText &text, std::size_t start,
                                      bool forward);

} // namespace data

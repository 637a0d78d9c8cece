#pragma once

#include <string>
#include <string_view>

namespace data {

// Decodes the code point at `at` and moves past it; a malformed byte reads as U+FFFD. Inline:
// a search runs it over every byte of a large table.
inline char32_t decodeUtf8(const unsigned char *&at, const unsigned char *end)
{
    const unsigned char lead = *at++;
    if (lead < 0x80)
        return lead;
    const int length = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (length < 0 || end - at < length)
        return U'\uFFFD';
    char32_t c = lead & (0x3F >> length);
    for (int i = 0; i < length; ++i)
        c = (c << 6) | (*at++ & 0x3F);
    return c;
}

// Offset of the first byte that is not well-formed UTF-8, or std::string_view::npos.
std::size_t invalidUtf8Offset(std::string_view bytes);

// Converts Windows-1250 bytes to UTF-8; the five undefined bytes become U+FFFD.
std::string windows1250ToUtf8(std::string_view bytes);

// A text field never stores a control character: tab, CR and LF become a space, every other
// C0 or C1 control character and DEL are dropped, and so are U+FFFE and U+FFFF, which no XML
// file may hold. `utf8` must be valid UTF-8.
std::string sanitizeText(std::string_view utf8);

// The length of a space at `i` that may group digits or pad a value: ' ', U+00A0 or U+202F; 0
// for anything else.
std::size_t spaceLengthAt(std::string_view utf8, std::size_t i);
// `utf8` without the spaces, tabs and no-break spaces at its ends.
std::string_view trimSpaces(std::string_view utf8);

// The characters of valid UTF-8, as a field's length counts them.
std::size_t codePointCount(std::string_view utf8);

// True when sanitizeText would change nothing (the common case, checked without allocating).
bool isCleanText(std::string_view utf8);

} // namespace data

#pragma once

#include <string>
#include <string_view>

namespace data {

// Offset of the first byte that is not well-formed UTF-8, or std::string_view::npos.
std::size_t invalidUtf8Offset(std::string_view bytes);

// Converts Windows-1250 bytes to UTF-8; the five undefined bytes become U+FFFD.
std::string windows1250ToUtf8(std::string_view bytes);

// A text field never stores a control character: tab, CR and LF become a space, every other
// C0 or C1 control character and DEL are dropped, and so are U+FFFE and U+FFFF, which no XML
// file may hold. `utf8` must be valid UTF-8.
std::string sanitizeText(std::string_view utf8);

// True when sanitizeText would change nothing (the common case, checked without allocating).
bool isCleanText(std::string_view utf8);

} // namespace data

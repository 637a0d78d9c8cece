#include "model/Encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace data {

namespace {

// Code points of the bytes 0x80..0xFF; the five undefined bytes map to U+FFFD.
constexpr std::array<char16_t, 128> windows1250Upper = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, //
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, //
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, //
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, //
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, //
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, //
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, //
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, //
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, //
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, //
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, //
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, //
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, //
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, //
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, //
};

unsigned char byteAt(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// A C0 control, DEL, or the lead byte of a C1 control (U+0080..U+009F is 0xC2 0x80..0x9F).
bool startsControl(std::string_view s, std::size_t i)
{
    const unsigned char c = byteAt(s, i);
    if (c < 0x20 || c == 0x7F)
        return true;
    return c == 0xC2 && i + 1 < s.size() && byteAt(s, i + 1) < 0xA0;
}

// U+FFFE or U+FFFF (0xEF 0xBF 0xBE/0xBF): not characters at all, and no XML file may hold them.
bool startsNoncharacter(std::string_view s, std::size_t i)
{
    return byteAt(s, i) == 0xEF && i + 2 < s.size() && byteAt(s, i + 1) == 0xBF &&
           (byteAt(s, i + 2) == 0xBE || byteAt(s, i + 2) == 0xBF);
}

} // namespace

std::size_t invalidUtf8Offset(std::string_view bytes)
{
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        // Plain ASCII is by far the most common: skip it eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char c = byteAt(bytes, i);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80; // allowed range of the second byte
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0; // overlong
            else if (c == 0xED)
                high = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90; // overlong
            else if (c == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return i;
        }
        if (i + length > n)
            return i;
        const unsigned char second = byteAt(bytes, i + 1);
        if (second < low || second > high)
            return i;
        for (std::size_t k = 2; k < length; ++k) {
            if (!isContinuation(byteAt(bytes, i + k)))
                return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

std::string windows1250ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
            continue;
        }
        const char16_t u = windows1250Upper[c - 0x80];
        if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

bool isCleanText(std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (startsControl(utf8, i) || startsNoncharacter(utf8, i))
            return false;
    }
    return true;
}

std::string sanitizeText(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (startsNoncharacter(utf8, i)) {
            i += 2;
            continue;
        }
        if (!startsControl(utf8, i)) {
            out.push_back(utf8[i]);
            continue;
        }
        const char c = utf8[i];
        if (c == '\t' || c == '\r' || c == '\n')
            out.push_back(' ');
        else if (byteAt(utf8, i) == 0xC2)
            ++i; // a C1 control is two bytes
    }
    return out;
}

std::size_t codePointCount(std::string_view utf8)
{
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::size_t spaceLengthAt(std::string_view utf8, std::size_t i)
{
    if (utf8[i] == ' ')
        return 1;
    if (utf8.substr(i).starts_with("\xC2\xA0"))
        return 2;
    if (utf8.substr(i).starts_with("\xE2\x80\xAF"))
        return 3;
    return 0;
}

std::string_view trimSpaces(std::string_view utf8)
{
    while (!utf8.empty()) {
        const std::size_t n = utf8.front() == '\t' ? 1 : spaceLengthAt(utf8, 0);
        if (n == 0)
            break;
        utf8.remove_prefix(n);
    }
    while (!utf8.empty()) {
        if (utf8.back() == ' ' || utf8.back() == '\t')
            utf8.remove_suffix(1);
        else if (utf8.ends_with("\xC2\xA0"))
            utf8.remove_suffix(2);
        else if (utf8.ends_with("\xE2\x80\xAF"))
            utf8.remove_suffix(3);
        else
            break;
    }
    return utf8;
}

} // namespace data

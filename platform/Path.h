#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace data {

// File names travel as UTF-8; this keeps them intact on systems whose narrow encoding is not.
inline std::filesystem::path pathFromUtf8(const std::string &utf8)
{
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t *>(utf8.data()), utf8.size()));
}

// The full path of a file, as UTF-8, for messages: a clerk should see where it is. Not
// normalised, since ".." after a symbolic link is not what it looks like. A name that cannot be
// made absolute stays as given.
inline std::string absoluteName(const std::string &utf8)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(pathFromUtf8(utf8), ec);
    if (ec)
        return utf8;
    const std::u8string text = absolute.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace data

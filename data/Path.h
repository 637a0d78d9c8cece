#pragma once

#include <filesystem>
#include <string>

namespace data {

// File names travel as UTF-8; this keeps them intact on systems whose narrow encoding is not.
inline std::filesystem::path pathFromUtf8(const std::string &utf8)
{
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t *>(utf8.data()), utf8.size()));
}

} // namespace data

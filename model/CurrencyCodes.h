#pragma once

#include <string_view>

namespace data {

// Whether `code` is a current ISO 4217 alphabetic code, written as ISO writes it (upper case).
bool isCurrentCurrencyCode(std::string_view code);

} // namespace data

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace data {

// The digits of a tariff number that a clerk grouped with single spaces or dots between digits
// ("3004 90 00 00", "3004.90.00"); nullopt when `value` holds anything else or is empty.
std::optional<std::string> ungroupedTariffNumber(std::string_view value);

} // namespace data

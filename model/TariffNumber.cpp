#include "model/TariffNumber.h"

#include "model/Ascii.h"

namespace data {

std::optional<std::string> ungroupedTariffNumber(std::string_view value)
{
    std::string digits;
    digits.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (isDigit(value[i])) {
            digits += value[i];
            continue;
        }
        const bool grouping = (value[i] == ' ' || value[i] == '.') && i > 0 &&
                              i + 1 < value.size() && isDigit(value[i - 1]) &&
                              isDigit(value[i + 1]);
        if (!grouping)
            return std::nullopt;
    }
    if (digits.empty())
        return std::nullopt;
    return digits;
}

} // namespace data

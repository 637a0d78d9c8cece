#include "model/CurrencyCodes.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace data {

namespace {

// The current codes of ISO 4217 (currencies, funds and precious metals). Left out as no
// longer current: HRK (euro since 1 January 2023), BGN (euro since 1 January 2026), ANG
// (replaced by XCG), CUC, SLL and ZWL (replaced by ZWG). Left out as never a price's currency:
// XTS (for testing) and XXX (no currency).
constexpr std::array<std::string_view, 175> currentCodes = {
    "AED", "AFN", "ALL", "AMD", "AOA", "ARS", "AUD", "AWG", "AZN", "BAM", "BBD", "BDT", "BHD",
    "BIF", "BMD", "BND", "BOB", "BOV", "BRL", "BSD", "BTN", "BWP", "BYN", "BZD", "CAD", "CDF",
    "CHE", "CHF", "CHW", "CLF", "CLP", "CNY", "COP", "COU", "CRC", "CUP", "CVE", "CZK", "DJF",
    "DKK", "DOP", "DZD", "EGP", "ERN", "ETB", "EUR", "FJD", "FKP", "GBP", "GEL", "GHS", "GIP",
    "GMD", "GNF", "GTQ", "GYD", "HKD", "HNL", "HTG", "HUF", "IDR", "ILS", "INR", "IQD", "IRR",
    "ISK", "JMD", "JOD", "JPY", "KES", "KGS", "KHR", "KMF", "KPW", "KRW", "KWD", "KYD", "KZT",
    "LAK", "LBP", "LKR", "LRD", "LSL", "LYD", "MAD", "MDL", "MGA", "MKD", "MMK", "MNT", "MOP",
    "MRU", "MUR", "MVR", "MWK", "MXN", "MXV", "MYR", "MZN", "NAD", "NGN", "NIO", "NOK", "NPR",
    "NZD", "OMR", "PAB", "PEN", "PGK", "PHP", "PKR", "PLN", "PYG", "QAR", "RON", "RSD", "RUB",
    "RWF", "SAR", "SBD", "SCR", "SDG", "SEK", "SGD", "SHP", "SLE", "SOS", "SRD", "SSP", "STN",
    "SVC", "SYP", "SZL", "THB", "TJS", "TMT", "TND", "TOP", "TRY", "TTD", "TWD", "TZS", "UAH",
    "UGX", "USD", "USN", "UYI", "UYU", "UYW", "UZS", "VED", "VES", "VND", "VUV", "WST", "XAF",
    "XAG", "XAU", "XBA", "XBB", "XBC", "XBD", "XCD", "XCG", "XDR", "XOF", "XPD", "XPF", "XPT",
    "XSU", "XUA", "YER", "ZAR", "ZMW", "ZWG",
};

constexpr bool isCode(std::string_view code)
{
    return code.size() == 3 &&
           std::ranges::all_of(code, [](char c) { return c >= 'A' && c <= 'Z'; });
}

constexpr std::size_t codeNumber(std::string_view code)
{
    return static_cast<std::size_t>((code[0] - 'A') * 26 * 26 + (code[1] - 'A') * 26 +
                                    (code[2] - 'A'));
}

// One bit per possible code: every record's currency is looked up at each load.
constexpr auto currentBits = [] {
    std::array<std::uint64_t, (26 * 26 * 26 + 63) / 64> bits{};
    for (std::string_view code : currentCodes)
        bits[codeNumber(code) / 64] |= std::uint64_t(1) << (codeNumber(code) % 64);
    return bits;
}();

static_assert(std::ranges::all_of(currentCodes, isCode));

} // namespace

bool isCurrentCurrencyCode(std::string_view code)
{
    return isCode(code) && (currentBits[codeNumber(code) / 64] >> (codeNumber(code) % 64) & 1);
}

} // namespace data

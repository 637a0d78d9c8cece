#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace data {

struct CurrencyTotal {
    std::string currency; // as written, in capitals; empty for records without a currency
    std::string amount;   // the sum of the records' amounts, as they are printed: "-1.234,50"
};

struct Totals {
    std::vector<CurrencyTotal> currencies; // by currency, the empty one last
    std::size_t withoutAmount = 0;         // records without a quantity or a price
    std::size_t records = 0;
};

// Adds up records one at a time. Each record's amount, quantity × price, is rounded to cents (half
// away from zero) as it is printed, and a currency's total is the sum of those cents: the office
// that adds up the printed amounts gets the printed total. The product is exact in decimal, and
// cents are kept as decimal digits, so that no amount drifts and no sum overflows.
class TotalsBuilder {
public:
    TotalsBuilder();
    ~TotalsBuilder();
    TotalsBuilder(const TotalsBuilder &) = delete;
    TotalsBuilder &operator=(const TotalsBuilder &) = delete;

    // Values in their stored form (numbers with a dot, empty when not given). Returns the
    // record's amount as printed, or an empty text when it has no quantity or no price.
    std::string add(std::string_view currency, std::string_view quantity, std::string_view price);
    Totals result() const;

private:
    struct Sums;
    std::unique_ptr<Sums> m_sums;
    std::size_t m_withoutAmount = 0;
    std::size_t m_records = 0;
};

} // namespace data

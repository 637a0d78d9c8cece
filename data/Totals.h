#pragma once

#include "data/Table.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace data {

struct CurrencyTotal {
    std::string currency; // as written, in capitals; empty for records without a currency
    std::string amount;   // the sum of quantity × price to two decimals, with a comma: "-12,50"
};

struct Totals {
    std::vector<CurrencyTotal> currencies; // by currency, the empty one last
    std::size_t withoutAmount = 0;         // records without a quantity or a price
    std::size_t records = 0;
};

// Adds up records one at a time, exactly: the amounts are decimal, so a sum of many prices does
// not drift, and only the total is rounded (half away from zero).
class TotalsBuilder {
public:
    TotalsBuilder();
    ~TotalsBuilder();
    TotalsBuilder(const TotalsBuilder &) = delete;
    TotalsBuilder &operator=(const TotalsBuilder &) = delete;

    // Values in their stored form (numbers with a dot, empty when not given).
    void add(std::string_view currency, std::string_view quantity, std::string_view price);
    Totals result() const;

private:
    struct Sums;
    std::unique_ptr<Sums> m_sums;
    std::size_t m_withoutAmount = 0;
    std::size_t m_records = 0;
};

// The totals of the records a printed list holds: the stored records with a name.
Totals listTotals(const Table &table);

} // namespace data

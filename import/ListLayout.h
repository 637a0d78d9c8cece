#pragma once

#include "import/TextImport.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a supplier's list holds besides its products, and what the clerk chose for lists before.
namespace textimport {

// For every column of a source, the product field it fills, or nothing for a skipped column.
using Mapping = std::vector<std::optional<std::size_t>>;

// The mappings a clerk used, most recent first: a list with headings under those headings, one
// without under its number of columns. Suppliers' layouts differ, so one list's mapping is never
// offered for another's headings.
class MappingMemory {
public:
    struct Entry {
        std::vector<std::string> headings; // one per column; empty for a list without them
        Mapping mapping;

        bool operator==(const Entry &) const = default;
    };
    static constexpr std::size_t capacity = 50;

    MappingMemory() = default;
    // Entries as kept: the first of each key counts, and one whose headings and mapping differ in
    // width is dropped.
    explicit MappingMemory(std::vector<Entry> entries);

    // The mapping used for these headings (one per column), or with no headings for a list of
    // `columns` columns; nothing when none was kept.
    const Mapping *find(const std::vector<std::string> &headings, std::size_t columns) const;
    void remember(std::vector<std::string> headings, Mapping mapping);
    void forget(const std::vector<std::string> &headings, std::size_t columns);

    const std::vector<Entry> &entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

// The currency a column's heading names: a current ISO 4217 code in capitals ("Cijena EUR",
// "Iznos (USD)"), "€", or the euro in words ("Cijena u eurima"); "" for none, or for two.
std::string currencyOfHeading(std::string_view heading);

struct HeadingCurrency {
    std::string code;
    std::size_t column = 0; // whose heading names it
};

// The currency of rows that name none: the one the price column's heading names; else the one
// the other headings name ("Iznos u EUR"), when they agree.
std::optional<HeadingCurrency> currencyOfHeadings(const std::vector<std::string> &headings,
                                                  const Mapping &mapping);

// Tells a list's total rows from its products, asked about each row in order from `firstRow`.
// A total is a row whose name begins with "Ukupno", "Sveukupno", "Međuzbroj", "Zbroj", "Total"
// or "Iznos" and that
// has no tariff number, catalogue number or ATK to make it a product ("Total Care"), or a row
// without a name one of whose numbers is, within a cent, the sum of its column over the rows
// above since the last total or over all of them. Sums are taken only when a row without a
// name asks for them, so a list whose rows all have names costs nothing more.
class TotalRows {
public:
    TotalRows(const Source &source, std::size_t firstRow);

    // `identified`: the row has a tariff number, catalogue number or ATK.
    bool isTotal(std::size_t row, std::string_view name, bool identified);

private:
    struct Sum {
        double value = 0;
        std::size_t count = 0;
    };

    void sumUpTo(std::size_t row);
    bool isSumAbove(std::size_t row) const;

    const Source &m_source;
    std::size_t m_summed;              // rows before it are in the sums
    std::vector<std::size_t> m_totals; // in order
    std::size_t m_nextTotal = 0;       // the first of m_totals not yet passed by the sums
    std::vector<Sum> m_sinceTotal;
    std::vector<Sum> m_all;
};

} // namespace textimport

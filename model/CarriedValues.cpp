#include "model/CarriedValues.h"

#include "model/ProductSchema.h"

#include <algorithm>

namespace data {

namespace {

constexpr std::array<ProductField, 5> carriedFields{Supplier, Importer, Manufacturer, Currency,
                                                    Unit};

} // namespace

void CarriedValues::clear()
{
    for (std::string &value : m_values)
        value.clear();
}

void CarriedValues::beforeCommit(const Table &table)
{
    for (std::size_t i = 0; i < carriedFields.size(); ++i)
        m_values[i] = table.text(carriedFields[i]);
}

void CarriedValues::recordBegun(Table &table)
{
    for (std::size_t i = 0; i < carriedFields.size(); ++i)
        table.setText(carriedFields[i], m_values[i]);
}

std::vector<std::string> CarriedValues::keptValues() const
{
    return {m_values.begin(), m_values.end()};
}

void CarriedValues::restoreKeptValues(const std::vector<std::string> &values)
{
    if (values.size() == m_values.size())
        std::copy(values.begin(), values.end(), m_values.begin());
}

} // namespace data

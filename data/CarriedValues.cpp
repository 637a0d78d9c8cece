#include "data/CarriedValues.h"

#include "data/ProductSchema.h"

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

} // namespace data

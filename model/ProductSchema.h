#pragma once

#include "model/Schema.h"

namespace data {

// Positions of the product fields, in stored (file and export) order.
enum ProductField : std::size_t {
    TariffNumber,
    Name,
    CatalogueNumber,
    ClassificationCode,
    Manufacturer,
    Supplier,
    Importer,
    Unit,
    Quantity,
    Currency,
    Price,
    Protocol,
    ProductFieldCount
};

// The twelve fields of a product record (stored name, caption, kind, length), defined once for
// the whole program.
const Schema &productSchema();

} // namespace data

#pragma once

#include "data/Schema.h"

namespace data {

// Positions of the product fields, in stored (file and export) order.
enum ProductField : std::size_t {
    Tar_br,
    Naziv,
    Gen_ime,
    ATK,
    Proizvodjac,
    Dobavljac,
    Uvoznik,
    Jed_mjere,
    Kolicina,
    Valuta,
    Cijena,
    Protokol,
    ProductFieldCount
};

// The twelve fields of a product record, defined once for the whole program.
const Schema &productSchema();

} // namespace data

#include "data/ProductSchema.h"

namespace data {

const Schema &productSchema()
{
    static const Schema schema({
        {"Tar_br", FieldKind::Text, 10},
        {"Naziv", FieldKind::Text, 100},
        {"Gen_ime", FieldKind::Text, 150},
        {"ATK", FieldKind::Text, 10},
        {"Proizvodjac", FieldKind::Text, 150},
        {"Dobavljac", FieldKind::Text, 100},
        {"Uvoznik", FieldKind::Text, 100},
        {"Jed_mjere", FieldKind::Text, 10},
        {"Kolicina", FieldKind::Float, 0},
        {"Valuta", FieldKind::Text, 3},
        {"Cijena", FieldKind::Money, 0},
        {"Protokol", FieldKind::Text, 100},
    });
    return schema;
}

} // namespace data

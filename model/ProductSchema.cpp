#include "model/ProductSchema.h"

namespace data {

const Schema &productSchema()
{
    static const Schema schema({
        {"Tar_br", "Tarifni broj", FieldKind::Text, 10},
        {"Naziv", "Naziv", FieldKind::Text, 100},
        {"Gen_ime", "Kataloški broj", FieldKind::Text, 150},
        {"ATK", "ATK", FieldKind::Text, 10},
        {"Proizvodjac", "Proizvođač", FieldKind::Text, 150},
        {"Dobavljac", "Dobavljač", FieldKind::Text, 100},
        {"Uvoznik", "Korisnik", FieldKind::Text, 100},
        {"Jed_mjere", "Jedinica mjere", FieldKind::Text, 10},
        {"Kolicina", "Količina", FieldKind::Float, 0},
        {"Valuta", "Valuta", FieldKind::Text, 3},
        {"Cijena", "Cijena", FieldKind::Money, 0},
        {"Protokol", "Protokol", FieldKind::Text, 100},
    });
    return schema;
}

} // namespace data

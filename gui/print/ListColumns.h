#pragma once

// The columns of the printed list, shared by the files that lay it out and draw it.

#include "gui/print/ListDocument.h"
#include "model/ProductSchema.h"

#include <QString>

#include <array>
#include <cstddef>
#include <string_view>

namespace gui::listcolumns {

constexpr std::size_t columnCount = ListDocument::columnCount;
constexpr std::size_t numberColumn = 0;
constexpr std::size_t amountColumn = data::Price + 2;
constexpr int noField = -1;
// The field of each column: the export's order, with the amount after the price.
constexpr std::array<int, columnCount> columnField = {noField,
                                                      data::TariffNumber,
                                                      data::Name,
                                                      data::CatalogueNumber,
                                                      data::ClassificationCode,
                                                      data::Manufacturer,
                                                      data::Supplier,
                                                      data::Importer,
                                                      data::Unit,
                                                      data::Quantity,
                                                      data::Currency,
                                                      data::Price,
                                                      noField,
                                                      data::Protocol};

inline QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline bool alignedRight(std::size_t column)
{
    return column == numberColumn || column == amountColumn ||
           (columnField[column] != noField &&
            data::productSchema()[static_cast<std::size_t>(columnField[column])].isNumber());
}

inline QString columnCaption(std::size_t column)
{
    if (column == numberColumn)
        return QStringLiteral("Rb.");
    if (column == amountColumn)
        return QStringLiteral("Iznos");
    return printCaption(static_cast<std::size_t>(columnField[column]));
}

} // namespace gui::listcolumns

#include "gui/print/ListDocument.h"

#include "gui/print/ListColumns.h"
#include "gui/print/PrintLook.h"
#include "gui/print/TextWidths.h"
#include "model/Checks.h"
#include "model/Encoding.h"
#include "model/NumberText.h"
#include "model/Table.h"

namespace gui {

using namespace listcolumns;
using data::ProductFieldCount;
using printlook::listFont;

ListDocument::~ListDocument() = default;

QString printCaption(std::size_t field)
{
    return fromUtf8(data::productSchema()[field].caption);
}

QString croatianDate(QDate date)
{
    return QStringLiteral("%1. %2. %3.").arg(date.day()).arg(date.month()).arg(date.year());
}

QString croatianCount(std::size_t n)
{
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u'.');
    return digits;
}

ListDocument::ListDocument(const data::Table &table, const data::Checks *checks, QDate date,
                           PrintChoices choices)
    : m_date(date)
    , m_choices(std::move(choices))
    , m_font(listFont(7.5, false))
    , m_bold(listFont(7.5, true))
    , m_title(listFont(14, true))
    , m_sub(listFont(9, false))
    , m_subBold(listFont(9, true))
{
    m_choices.line = m_choices.line.simplified();
    if (!m_choices.warnings)
        checks = nullptr;
    std::string_view importer;
    bool oneImporter = true;
    m_rows.reserve(table.rowCount());
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        // A record without a name is not saved, and a begun one is not stored yet.
        if (table.isBegunRow(r) || table.storedValue(r, data::Name).empty())
            continue;
        // Only the stored record is copied here; its texts are made while laying out, in slices.
        Row row;
        row.number = static_cast<int>(m_rows.size() + 1);
        row.record = table.rows()[r];
        const std::string_view own = data::trimSpaces(table.storedValue(r, data::Importer));
        oneImporter = oneImporter && (m_rows.empty() || own == importer);
        importer = own;
        if (checks && checks->hasWarning(r))
            noteWarnings(row, *checks, r, table.storedValue(r, data::Name));
        m_rows.push_back(std::move(row));
    }
    if (oneImporter)
        m_importer = fromUtf8(importer);
}

void ListDocument::decode(Row &row)
{
    const data::Schema &schema = data::productSchema();
    row.values[numberColumn] = QString::number(row.number);
    std::array<std::string_view, ProductFieldCount> stored{};
    row.record.forEachValue([&](std::size_t f, std::string_view value) { stored[f] = value; });
    for (std::size_t c = 1; c < columnCount; ++c) {
        if (columnField[c] == noField)
            continue;
        const auto f = static_cast<std::size_t>(columnField[c]);
        row.values[c] = schema[f].isNumber() ? fromUtf8(data::displayNumberText(stored[f]))
                                             : fromUtf8(stored[f]);
    }
    row.values[amountColumn] =
        fromUtf8(m_totals.add(stored[data::Currency], stored[data::Quantity], stored[data::Price]));
}

ListDocument::Result ListDocument::print(QPagedPaintDevice &device, const Progress &progress)
{
    return layOut(device, progress) ? paint(device, progress) : Result::Stopped;
}

QString ListDocument::importerText() const
{
    return m_importer.isEmpty() ? QString() : QStringLiteral("Uvoznik: ") + m_importer;
}

} // namespace gui

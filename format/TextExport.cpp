#include "format/TextExport.h"

#include "platform/AtomicFile.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace textexport {

namespace {

constexpr std::string_view separator = "\";\"";
constexpr std::string_view lineEnd = "\r\n";

// Builds lines straight from the stored text: the display form of a number differs from its
// stored form only in the decimal comma, so no value needs a string of its own.
class LineWriter {
public:
    explicit LineWriter(const data::Table &table)
        : m_table(table)
        , m_fieldCount(table.fieldCount())
    {
        m_isNumber.reserve(m_fieldCount);
        for (const auto &field : table.schema())
            m_isNumber.push_back(field.isNumber());
        if (table.state() == data::TableState::Insert)
            m_begunRow = table.currentRow();
    }

    bool isExported(std::size_t row) const { return row != m_begunRow; }

    // Writes the line of `row` with its end where there is room for it; returns the end.
    char *writeLine(char *out, std::size_t row) const
    {
        *out++ = '"';
        m_table.rows()[row].forEachValue([&](std::size_t field, std::string_view value) {
            if (field > 0)
                out = std::copy(separator.begin(), separator.end(), out);
            if (m_isNumber[field])
                out = std::replace_copy(value.begin(), value.end(), out, '.', ',');
            else
                out = std::copy(value.begin(), value.end(), out);
        });
        *out++ = '"';
        return std::copy(lineEnd.begin(), lineEnd.end(), out);
    }

    // The exact size of the line of `row` with its end: a separator stands where the stored
    // text has a NUL between two values.
    std::size_t lineSize(std::size_t row) const
    {
        return 2 + m_table.rows()[row].values().size() +
               (separator.size() - 1) * (m_fieldCount > 0 ? m_fieldCount - 1 : 0) + lineEnd.size();
    }

private:
    const data::Table &m_table;
    std::size_t m_fieldCount;
    std::vector<bool> m_isNumber;
    std::optional<std::size_t> m_begunRow;
};

} // namespace

std::string exportText(const data::Table &table)
{
    const LineWriter writer(table);
    std::size_t size = 0;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        if (writer.isExported(row))
            size += writer.lineSize(row);
    }
    std::string text(size, '\0');
    char *out = text.data();
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        if (writer.isExported(row))
            out = writer.writeLine(out, row);
    }
    return text;
}

void writeExportFile(const std::string &fileName, const data::Table &table)
{
    // A piece at a time, as the database file is written.
    data::writeFileAtomically(fileName, [&](const data::PieceWriter &write) {
        data::PieceBuffer pieces(write);
        const LineWriter writer(table);
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            if (writer.isExported(row))
                pieces.take(writer.writeLine(pieces.room(writer.lineSize(row)), row));
        }
        pieces.finish();
    });
}

} // namespace textexport

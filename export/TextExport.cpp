#include "export/TextExport.h"

#include "data/AtomicFile.h"

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

    void appendLine(std::string &out, std::size_t row) const
    {
        out.push_back('"');
        m_table.rows()[row].forEachValue([&](std::size_t field, std::string_view value) {
            if (field > 0)
                out.append(separator);
            appendValue(out, field, value);
        });
        out.push_back('"');
    }

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

    // A guess at the size of the whole export, so the text is rarely moved while it grows.
    std::size_t estimatedSize() const
    {
        return m_table.rowCount() * (2 + 3 * m_fieldCount + 16 * m_fieldCount + lineEnd.size());
    }

private:
    void appendValue(std::string &out, std::size_t field, std::string_view value) const
    {
        const std::size_t start = out.size();
        out.append(value);
        if (m_isNumber[field])
            std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '.', ',');
    }

    const data::Table &m_table;
    std::size_t m_fieldCount;
    std::vector<bool> m_isNumber;
    std::optional<std::size_t> m_begunRow;
};

} // namespace

std::string exportText(const data::Table &table)
{
    std::string text;
    const LineWriter writer(table);
    text.reserve(writer.estimatedSize());
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        if (!writer.isExported(row))
            continue;
        writer.appendLine(text, row);
        text.append(lineEnd);
    }
    return text;
}

void writeExportFile(const std::string &fileName, const data::Table &table)
{
    // A piece at a time, as the database file is written.
    data::writeFileAtomically(fileName, [&](const data::PieceWriter &write) {
        data::PieceBuffer pieces(write);
        const LineWriter writer(table);
        const std::size_t lineRoom = 2 + separator.size() * table.fieldCount() + lineEnd.size();
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            if (writer.isExported(row)) {
                const std::size_t room = lineRoom + table.rows()[row].values().size();
                pieces.take(writer.writeLine(pieces.room(room), row));
            }
        }
        pieces.finish();
    });
}

} // namespace textexport

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
    data::writeFileAtomically(fileName, exportText(table));
}

} // namespace textexport

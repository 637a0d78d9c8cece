#include "import/TextImport.h"

#include "model/Encoding.h"
#include "model/Plural.h"
#include "model/ProductSchema.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/Path.h"

#include <algorithm>
#include <array>
#include <map>

namespace textimport {

namespace {

constexpr std::string_view utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view exportSeparator = "\";\"";
// Enough lines to tell the separator, without splitting a large file three times.
constexpr std::size_t separatorSampleSize = 64 * 1024;

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// CR LF, LF, and a lone CR (old Mac files) each end one line.
std::size_t lineEndLength(std::string_view text, std::size_t pos)
{
    return text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
}

std::size_t countLineEnds(std::string_view text)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++n;
    }
    return n;
}

bool isBlank(std::string_view text)
{
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// Splits text into rows the way spreadsheets write and read CSV.
class RowReader {
public:
    RowReader(std::string_view text, char separator)
        : m_text(text)
        , m_separator(separator)
    {
    }

    void readAll(Source &source)
    {
        while (m_pos < m_text.size()) {
            if (skipBlankLine())
                continue;
            const std::size_t startPos = m_pos;
            const std::size_t startLine = m_line;
            SourceRow row{startLine, {}};
            if (readRow(row.cells)) {
                // A spreadsheet writes an empty row as its separators (";;;;").
                if (!std::ranges::all_of(row.cells, isBlank))
                    source.rows.push_back(std::move(row));
                continue;
            }
            // A quote that never closes would swallow the rest of the text: only its line is
            // lost, and reading goes on after it.
            source.problems.push_back({startLine, "navodnici nisu zatvoreni"});
            m_pos = startPos;
            m_line = startLine;
            while (m_pos < m_text.size() && !isLineEnd(m_text[m_pos]))
                ++m_pos;
            endLine();
        }
    }

private:
    bool skipBlankLine()
    {
        std::size_t pos = m_pos;
        while (pos < m_text.size() && (m_text[pos] == ' ' || m_text[pos] == '\t'))
            ++pos;
        if (pos < m_text.size() && !isLineEnd(m_text[pos]))
            return false;
        m_pos = pos;
        endLine();
        return true;
    }

    void endLine()
    {
        if (m_pos < m_text.size())
            m_pos += lineEndLength(m_text, m_pos);
        ++m_line;
    }

    bool readRow(std::vector<std::string> &cells)
    {
        while (true) {
            std::string cell;
            if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                if (!readQuoted(cell))
                    return false;
            } else {
                readPlain(cell);
            }
            cells.push_back(std::move(cell));
            if (m_pos < m_text.size() && m_text[m_pos] == m_separator) {
                ++m_pos;
                continue;
            }
            endLine();
            return true;
        }
    }

    void readPlain(std::string &cell)
    {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != m_separator && !isLineEnd(m_text[m_pos]))
            ++m_pos;
        cell.assign(m_text.substr(start, m_pos - start));
    }

    // Leaves m_pos on what follows the closing quote; false when no quote closes the value.
    bool readQuoted(std::string &cell)
    {
        ++m_pos;
        while (true) {
            const std::size_t quote = m_text.find('"', m_pos);
            if (quote == std::string_view::npos)
                return false;
            const std::string_view part = m_text.substr(m_pos, quote - m_pos);
            cell.append(part);
            m_line += countLineEnds(part);
            m_pos = quote + 1;
            if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                cell.push_back('"');
                ++m_pos;
                continue;
            }
            std::size_t after = m_pos;
            while (after < m_text.size() && m_text[after] == ' ')
                ++after;
            if (after == m_text.size() || m_text[after] == m_separator ||
                isLineEnd(m_text[after])) {
                m_pos = after;
                return true;
            }
            cell.push_back('"'); // a quote that ends nothing belongs to the value
        }
    }

    std::string_view m_text;
    char m_separator;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
};

// Calls f(line number, line) for every line, without its line end.
template <typename F> void forEachLine(std::string_view text, F &&f)
{
    std::size_t line = 1;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view content = text.substr(0, end);
        if (content.ends_with('\r'))
            content.remove_suffix(1);
        f(line++, content);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
}

bool isQuotedLine(std::string_view line)
{
    return line.size() >= 2 && line.front() == '"' && line.back() == '"';
}

std::size_t exportValueCount(std::string_view line)
{
    std::size_t count = 1;
    const std::string_view inner = line.substr(1, line.size() - 2);
    for (std::size_t pos = inner.find(exportSeparator); pos != std::string_view::npos;
         pos = inner.find(exportSeparator, pos + exportSeparator.size()))
        ++count;
    return count;
}

// The export quotes every value and doubles no quote, so RFC 4180 would misread a value with a
// quote in it. Its lines are recognised as a whole: every line quoted from end to end, and most
// of them holding exactly a record's values.
bool isExportForm(std::string_view text)
{
    std::size_t lines = 0;
    std::size_t fullLines = 0;
    bool quoted = true;
    forEachLine(text, [&](std::size_t, std::string_view line) {
        if (!quoted || isBlank(line))
            return;
        quoted = isQuotedLine(line);
        ++lines;
        if (quoted && exportValueCount(line) == data::ProductFieldCount)
            ++fullLines;
    });
    return quoted && lines > 0 && 2 * fullLines >= lines;
}

void readExportForm(std::string_view text, Source &source)
{
    forEachLine(text, [&](std::size_t line, std::string_view content) {
        if (isBlank(content))
            return;
        const std::size_t count = exportValueCount(content);
        if (count != data::ProductFieldCount) {
            // A value holding `";"` cannot be told from the separator: the format's one gap.
            source.problems.push_back(
                {line, std::to_string(count) + " " +
                           std::string(data::pluralForm(count, "vrijednost", "vrijednosti",
                                                        "vrijednosti")) +
                           " umjesto " + std::to_string(data::ProductFieldCount) +
                           " (vrijednost sadrži \";\"?)"});
            return;
        }
        SourceRow row{line, {}};
        row.cells.reserve(count);
        std::string_view rest = content.substr(1, content.size() - 2);
        while (true) {
            const std::size_t end = rest.find(exportSeparator);
            row.cells.emplace_back(rest.substr(0, end));
            if (end == std::string_view::npos)
                break;
            rest.remove_prefix(end + exportSeparator.size());
        }
        source.rows.push_back(std::move(row));
    });
}

void countColumns(Source &source)
{
    source.columnCount = 0;
    for (const SourceRow &row : source.rows)
        source.columnCount = std::max(source.columnCount, row.cells.size());
}

Source read(std::string_view utf8, char separator, bool exportForm)
{
    Source source;
    source.separator = separator;
    source.exportForm = exportForm;
    if (exportForm)
        readExportForm(utf8, source);
    else
        RowReader(utf8, separator).readAll(source);
    countColumns(source);
    return source;
}

} // namespace

std::string decodeText(std::string_view bytes)
{
    const std::size_t invalid = data::invalidUtf8Offset(bytes);
    const bool bom = bytes.starts_with(utf8Bom);
    if (invalid == std::string_view::npos)
        return std::string(bom ? bytes.substr(utf8Bom.size()) : bytes);
    if (bom) {
        const std::size_t line = countLineEnds(bytes.substr(0, invalid)) + 1;
        throw data::Error("Tekst nije ispravno kodiran (UTF-8), redak " + std::to_string(line) +
                          ".");
    }
    return data::windows1250ToUtf8(bytes);
}

char detectSeparator(std::string_view utf8)
{
    std::string_view sample = utf8;
    if (sample.size() > separatorSampleSize) {
        const std::size_t cut = sample.rfind('\n', separatorSampleSize);
        sample = sample.substr(0, cut == std::string_view::npos ? separatorSampleSize : cut);
    }
    char best = '\t';
    std::pair<std::size_t, std::size_t> bestScore; // rows of the usual width, that width
    for (char separator : {'\t', ';', ','}) {
        Source source;
        RowReader(sample, separator).readAll(source);
        std::map<std::size_t, std::size_t> rowsByWidth;
        for (const SourceRow &row : source.rows)
            ++rowsByWidth[row.cells.size()];
        std::pair<std::size_t, std::size_t> score;
        for (const auto &[width, rows] : rowsByWidth) {
            if (width > 1 && std::pair(rows, width) > score)
                score = {rows, width};
        }
        if (score > bestScore) {
            bestScore = score;
            best = separator;
        }
    }
    return best;
}

Source readText(std::string_view utf8, char separator)
{
    return read(utf8, separator, separator == ';' && isExportForm(utf8));
}

Source readBytes(std::string_view bytes)
{
    const std::string text = decodeText(bytes);
    if (isExportForm(text))
        return read(text, ';', true);
    return readText(text, detectSeparator(text));
}

Source readFile(const std::string &fileName)
{
    const std::string bytes = data::readWholeFile(fileName);
    try {
        return readBytes(bytes);
    } catch (const data::Error &e) {
        throw data::Error("Datoteka „" + data::absoluteName(fileName) + "”: " + e.what());
    }
}

Source readPasted(std::string_view utf8)
{
    return readText(utf8, '\t');
}

bool isRowBlock(std::string_view utf8)
{
    if (utf8.find('\t') != std::string_view::npos)
        return true;
    std::size_t lines = 0;
    forEachLine(utf8, [&](std::size_t, std::string_view line) {
        if (!isBlank(line))
            ++lines;
    });
    return lines > 1;
}

} // namespace textimport

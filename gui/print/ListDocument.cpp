#include "gui/print/ListDocument.h"

#include "gui/widgets/WarningLook.h"
#include "model/Checks.h"
#include "model/NumberText.h"
#include "model/Plural.h"
#include "model/ProductSchema.h"
#include "model/Table.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>
#include <numeric>

namespace gui {

namespace {

using namespace Qt::StringLiterals;
using data::ProductFieldCount;

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
// Shares of the page's width after the number column, of a list without values.
constexpr std::array<qreal, columnCount> columnShares = {0,  7.5, 14, 10,  5.5, 11,  10,
                                                         10, 5,   6,  4.5, 7,   8.5, 9.5};
// A slice of work between two reports of progress.
constexpr qint64 sliceMs = 40;
const QColor ruleColour(120, 120, 120);

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

QFont listFont(qreal points, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    // Advances in whole dots of the 600 dpi the list is made at, which a printer keeps to
    // anyway: a glyph's place in the PDF is then a short whole number, and the pages take a
    // third less to write and compress.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

qreal millimetres(const QPaintDevice &device, qreal mm)
{
    return mm * device.logicalDpiY() / 25.4;
}

bool alignedRight(std::size_t column)
{
    return column == numberColumn || column == amountColumn ||
           (columnField[column] != noField &&
            data::productSchema()[static_cast<std::size_t>(columnField[column])].isNumber());
}

QString columnCaption(std::size_t column)
{
    if (column == numberColumn)
        return QStringLiteral("Rb.");
    if (column == amountColumn)
        return QStringLiteral("Iznos");
    return printCaption(static_cast<std::size_t>(columnField[column]));
}

// Columns of codes and numbers, which are read whole: as wide as their widest value.
constexpr std::array<bool, columnCount> unbroken = {true,  true, false, false, true, false, false,
                                                    false, true, true,  true,  true, true,  false};

// Tells `progress` at the end of a slice, and always when `now`.
class Reporter {
public:
    explicit Reporter(const ListDocument::Progress &progress)
        : m_progress(progress)
    {
        m_slice.start();
    }
    bool operator()(int done, int total, bool now = false)
    {
        if (!now && m_slice.elapsed() < sliceMs)
            return true;
        m_slice.restart();
        return m_progress(done, total);
    }

private:
    const ListDocument::Progress &m_progress;
    QElapsedTimer m_slice;
};

} // namespace

// A text's width from its characters' advances, without shaping it. In the list's fonts kerning
// narrows Latin text far more often than it widens it, and then by less than a thousandth, while
// the digits and marks of a number have none: for a number it is its width.
class ListDocument::TextWidths {
public:
    explicit TextWidths(const QFontMetricsF &metrics)
        : m_metrics(metrics)
    {
        m_advances.fill(-1);
    }

    // Negative when the text holds a character beyond the Latin letters. With `longestWord`,
    // also the width of its longest word, when that is wider.
    qreal of(const QString &text, qreal *longestWord = nullptr)
    {
        qreal width = 0;
        qreal word = 0;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u >= m_advances.size() || u < 0x20)
                return -1;
            if (m_advances[u] < 0)
                m_advances[u] = static_cast<float>(m_metrics.horizontalAdvance(c));
            width += m_advances[u];
            word = u == ' ' ? 0 : word + m_advances[u];
            if (longestWord && word > *longestWord)
                *longestWord = word;
        }
        return width;
    }

private:
    QFontMetricsF m_metrics;
    std::array<float, 0x300> m_advances; // up to the combining marks, which need shaping
};

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
        const std::string_view own = trimmed(table.storedValue(r, data::Importer));
        oneImporter = oneImporter && (m_rows.empty() || own == importer);
        importer = own;
        if (checks && checks->hasWarning(r)) {
            QStringList reasons;
            for (std::size_t c = 1; c < columnCount; ++c) {
                if (columnField[c] == noField)
                    continue;
                if (const char *reason =
                        checks->warning(r, static_cast<std::size_t>(columnField[c]))) {
                    row.warned |= 1u << c;
                    reasons << QString::fromUtf8(reason);
                }
            }
            m_warnings.push_back(QStringLiteral("%1. %2: %3.")
                                     .arg(row.number)
                                     .arg(fromUtf8(table.storedValue(r, data::Name)),
                                          reasons.join(QStringLiteral("; "))));
        }
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

void ListDocument::buildLines()
{
    const data::Totals totals = m_totals.result();
    for (const data::CurrencyTotal &t : totals.currencies) {
        const QString currency = t.currency.empty() ? u"bez valute"_s : fromUtf8(t.currency);
        m_lines.push_back({u"Ukupno "_s + currency, fromUtf8(t.amount), true, true});
    }
    if (totals.withoutAmount > 0) {
        m_lines.push_back({u"Zapisi bez količine ili cijene (nisu zbrojeni)"_s,
                           croatianCount(totals.withoutAmount)});
    }
    m_lines.push_back({u"Broj zapisa"_s, croatianCount(totals.records), true});
    if (!m_warnings.empty()) {
        const std::size_t n = m_warnings.size();
        m_lines.push_back({u"Upozorenja: %1 %2"_s.arg(croatianCount(n))
                               .arg(fromUtf8(data::pluralForm(n, "zapis", "zapisa", "zapisa"))),
                           {},
                           true,
                           false,
                           true});
        for (const QString &w : m_warnings)
            m_lines.push_back({w, {}});
    }
}

std::uint32_t ListDocument::shape(const QString &text, const QFont &font,
                                  const QFontMetricsF &metrics, qreal width,
                                  const QPaintDevice &device, TextWidths *widths)
{
    if (text.isEmpty())
        return 0;
    Shape s;
    // Most values fit with room to spare: they are shaped once, when they are drawn.
    if (widths) {
        const qreal estimate = widths->of(text);
        if (estimate >= 0 && estimate * 1.01 <= width) {
            s.advance = static_cast<float>(estimate);
            m_shapes.push_back(s);
            return static_cast<std::uint32_t>(m_shapes.size() - 1);
        }
    }
    s.advance = static_cast<float>(metrics.horizontalAdvance(text));
    // Most values fit on one line: only those that do not are laid out.
    if (s.advance > width) {
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        QTextLayout layout(text, font, &device);
        layout.setTextOption(option);
        s.breaks = static_cast<std::uint32_t>(m_breaks.size());
        s.lines = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (s.lines++ > 0)
                m_breaks.push_back(static_cast<std::uint32_t>(line.textStart()));
        }
        layout.endLayout();
        s.lines = std::max<std::uint32_t>(s.lines, 1);
    }
    m_shapes.push_back(s);
    return static_cast<std::uint32_t>(m_shapes.size() - 1);
}

QString ListDocument::lineText(const QString &text, const Shape &shape, std::uint32_t line) const
{
    const qsizetype start = line == 0 ? 0 : m_breaks[shape.breaks + line - 1];
    qsizetype end = line + 1 < shape.lines ? m_breaks[shape.breaks + line] : text.size();
    while (end > start && text.at(end - 1).isSpace())
        --end;
    return text.mid(start, end - start);
}

void ListDocument::measureColumns(const QPaintDevice &device)
{
    m_g = {};
    m_g.width = device.width();
    m_g.height = device.height();
    m_g.padding = millimetres(device, 0.8);
    const QFontMetricsF metrics(m_font, &device);
    const QFontMetricsF bold(m_bold, &device);
    m_g.lineHeight = metrics.lineSpacing();
    m_g.ascent = metrics.ascent();
    m_g.boldLineHeight = bold.lineSpacing();
    const qreal pad = 2 * m_g.padding + 1;
    // A column is at least as wide as the longest word of its caption, which then never breaks
    // inside a word on any printer, and a column of codes or numbers as its widest value, within
    // reason; the others share what is left.
    std::array<qreal, columnCount> least{};
    for (std::size_t c = 0; c < columnCount; ++c) {
        for (const QString &word : columnCaption(c).split(u' '))
            least[c] = std::max(least[c], bold.horizontalAdvance(word) + pad);
    }
    // The other columns share the rest by how much they hold, each at least as wide as its
    // longest word and no wider than its longest value: a column the clerk leaves empty gives
    // its room to the long names and protocols, which then take fewer lines.
    std::array<qreal, columnCount> widest{};
    std::array<qreal, columnCount> most{};
    std::array<qreal, columnCount> held{};
    const qreal average = metrics.averageCharWidth();
    for (const Row &row : m_rows) {
        for (std::size_t c = 0; c < columnCount; ++c) {
            const qreal width = m_widths->of(row.values[c], unbroken[c] ? nullptr : &widest[c]);
            // A text beyond the Latin letters is not measured here: it is given room enough.
            const qreal known = width >= 0 ? width : row.values[c].size() * 2 * average;
            qreal &longest = unbroken[c] ? widest[c] : most[c];
            longest = std::max(longest, known);
            held[c] += known;
        }
    }
    const bool empty = std::all_of(held.begin(), held.end(), [](qreal h) { return h == 0; });
    std::array<bool, columnCount> fixed{};
    for (std::size_t c = 0; c < columnCount; ++c) {
        least[c] = std::max(least[c],
                            std::min(widest[c] * 1.01 + pad, m_g.width / (unbroken[c] ? 8 : 12)));
        most[c] = std::max(least[c], most[c] * 1.01 + pad);
        fixed[c] = c == numberColumn || (!empty && unbroken[c]);
        m_g.columnWidth[c] = least[c];
    }
    // Codes too long for any page break after all, rather than run off it.
    const qreal needed = std::accumulate(least.begin(), least.end(), qreal(0));
    if (needed > m_g.width) {
        for (std::size_t c = 0; c < columnCount; ++c)
            m_g.columnWidth[c] = least[c] *= m_g.width / needed;
        fixed.fill(true);
    }
    const auto &shares = empty ? columnShares : held;
    for (bool changed = true; changed;) {
        qreal rest = m_g.width;
        qreal total = 0;
        for (std::size_t c = 0; c < columnCount; ++c) {
            rest -= fixed[c] ? m_g.columnWidth[c] : 0;
            total += fixed[c] ? 0 : shares[c];
        }
        // Those that would fall short are held at their least first, then those that would
        // have room to spare at their most.
        changed = false;
        for (const bool shortOnes : {true, false}) {
            for (std::size_t c = 0; c < columnCount && !changed; ++c) {
                if (fixed[c])
                    continue;
                const qreal width = total > 0 ? rest * shares[c] / total : 0;
                if (shortOnes ? width < least[c] : width > most[c] && !empty) {
                    m_g.columnWidth[c] = shortOnes ? least[c] : most[c];
                    changed = fixed[c] = true;
                } else if (!shortOnes) {
                    m_g.columnWidth[c] = width;
                }
            }
            if (changed)
                break;
        }
        if (!changed && rest > 0 &&
            std::all_of(fixed.begin(), fixed.end(), [](bool f) { return f; })) {
            // Every value fits with room left: the names and other texts take it.
            qreal spread = 0;
            for (std::size_t c = 0; c < columnCount; ++c)
                spread += unbroken[c] ? 0 : columnShares[c];
            for (std::size_t c = 0; c < columnCount; ++c)
                m_g.columnWidth[c] += unbroken[c] ? 0 : rest * columnShares[c] / spread;
        }
    }
    qreal x = 0;
    std::uint32_t captionLines = 1;
    for (std::size_t c = 0; c < columnCount; ++c) {
        m_g.columnX[c] = x;
        x += m_g.columnWidth[c];
        m_g.captions[c] =
            shape(columnCaption(c), m_bold, bold, m_g.columnWidth[c] - 2 * m_g.padding, device);
        m_shapes[m_g.captions[c]].uses = 2; // on every page
        captionLines = std::max(captionLines, m_shapes[m_g.captions[c]].lines);
    }
    m_g.headerHeight = captionLines * m_g.boldLineHeight + 2 * m_g.padding;
    m_g.totalsLeft = m_g.columnX[amountColumn];
    for (const Line &line : m_lines) {
        const qreal left = m_g.columnX[amountColumn] + m_g.columnWidth[amountColumn] -
                           bold.horizontalAdvance(line.right) - 2 * m_g.padding;
        if (!line.right.isEmpty())
            m_g.totalsLeft = std::min(m_g.totalsLeft, left);
    }
    m_g.footerHeight = m_g.lineHeight + millimetres(device, 4);
    m_g.gap = millimetres(device, 4);
}

bool ListDocument::layOut(const QPagedPaintDevice &device, const Progress &progress)
{
    const int rows = static_cast<int>(m_rows.size());
    const int total = 3 * rows + 2;
    Reporter report(progress);
    // The texts once, in slices so that the window keeps answering.
    for (; m_decoded < m_rows.size(); ++m_decoded) {
        decode(m_rows[m_decoded]);
        if (!report(static_cast<int>(m_decoded), total))
            return false;
    }
    if (m_lines.empty())
        buildLines();

    m_shapes.assign(1, Shape{});
    m_breaks.clear();
    m_runs.clear();
    for (auto &known : m_known)
        known.clear();
    m_widths = std::make_unique<TextWidths>(QFontMetricsF(m_font, &device));
    measureColumns(device);
    const QFontMetricsF metrics(m_font, &device);
    m_items.clear();
    m_pages.clear();

    const QFontMetricsF title(m_title, &device);
    const QFontMetricsF subBold(m_subBold, &device);
    const QFontMetricsF sub(m_sub, &device);
    m_headingHeight = title.lineSpacing() + m_g.lineHeight + millimetres(device, 3);
    m_lineShape = shape(m_choices.line, m_subBold, subBold, m_g.width, device);
    if (!m_choices.line.isEmpty())
        m_headingHeight += m_shapes[m_lineShape].lines * subBold.lineSpacing();
    m_importerShape = shape(importerText(), m_sub, sub, m_g.width, device);
    if (!m_importer.isEmpty())
        m_headingHeight += m_shapes[m_importerShape].lines * sub.lineSpacing();
    m_items.push_back({Kind::Heading, 0, m_headingHeight});

    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        Row &row = m_rows[i];
        row.lines = 1;
        for (std::size_t c = 0; c < columnCount; ++c) {
            const QString &text = row.values[c];
            // Suppliers, units, currencies and prices repeat from record to record: each is
            // shaped once.
            auto known = m_known[c].constFind(text);
            if (known == m_known[c].cend()) {
                known = m_known[c].insert(text, shape(text, m_font, metrics,
                                                      m_g.columnWidth[c] - 2 * m_g.padding, device,
                                                      m_widths.get()));
            }
            row.shapes[c] = *known;
            ++m_shapes[*known].uses;
            row.lines = std::max(row.lines, m_shapes[*known].lines);
        }
        m_items.push_back({Kind::Row, i, row.lines * m_g.lineHeight + 2 * m_g.padding});
        if (!report(rows + static_cast<int>(i), total))
            return false;
    }
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        Line &line = m_lines[i];
        qreal height = line.bold ? m_g.boldLineHeight : m_g.lineHeight;
        if (line.right.isEmpty()) {
            line.shape =
                shape(line.left, line.bold ? m_bold : m_font,
                      line.bold ? QFontMetricsF(m_bold, &device) : metrics, m_g.width, device);
            height *= m_shapes[line.shape].lines;
        } else {
            height += 2 * m_g.padding; // as high as a row, whose amounts it adds up
        }
        if (line.gapBefore)
            height += m_g.gap;
        m_items.push_back({Kind::Line, i, height});
    }

    // Pages: the column headings come before the first row of each page.
    const qreal bodyHeight = m_g.height - m_g.footerHeight;
    qreal y = 0;
    bool headings = false;
    m_pages.push_back({});
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const Item &item = m_items[i];
        const auto needed = [&] {
            return item.height + (item.kind == Kind::Row && !headings ? m_g.headerHeight : 0);
        };
        if (y + needed() > bodyHeight && m_pages.back().end > m_pages.back().first) {
            m_pages.push_back({i, i});
            y = 0;
            headings = false;
        }
        y += needed();
        headings = headings || item.kind == Kind::Row;
        m_pages.back().end = i + 1;
    }
    // Always asked once, so that a stop is heard even in a list that takes no time.
    return report(2 * rows, total, true);
}

ListDocument::Result ListDocument::paint(QPagedPaintDevice &device, const Progress &progress)
{
    const int rows = static_cast<int>(m_rows.size());
    const int total = 3 * rows + 2;
    Reporter report(progress);
    QPainter painter;
    if (!painter.begin(&device))
        return Result::DeviceFailed;
    auto *printer = dynamic_cast<QPrinter *>(&device);
    const auto stop = [&] {
        if (printer)
            printer->abort();
        painter.end();
        return Result::Stopped;
    };
    for (std::size_t page = 0; page < m_pages.size(); ++page) {
        if (page > 0 && !device.newPage()) {
            painter.end();
            return Result::DeviceFailed;
        }
        paintPage(painter, page);
        const std::size_t end = m_pages[page].end;
        const int done = end > 1 ? static_cast<int>(std::min(end - 1, m_rows.size())) : 0;
        if (!report(2 * rows + done, total))
            return stop();
    }
    // As in layOut(): the last word before the pages are handed over.
    if (!report(total, total, true))
        return stop();
    if (!painter.end() || (printer && printer->printerState() == QPrinter::Error))
        return Result::DeviceFailed;
    return Result::Done;
}

ListDocument::Result ListDocument::print(QPagedPaintDevice &device, const Progress &progress)
{
    return layOut(device, progress) ? paint(device, progress) : Result::Stopped;
}

QString ListDocument::importerText() const
{
    return m_importer.isEmpty() ? QString() : QStringLiteral("Uvoznik: ") + m_importer;
}

void ListDocument::drawShaped(QPainter &p, const QString &text, std::uint32_t shape, qreal left,
                              qreal right, qreal top, qreal ascent, qreal lineHeight,
                              bool alignRight) const
{
    if (text.isEmpty())
        return;
    const Shape &s = m_shapes[shape];
    if (s.uses > 1 && (s.lines == 1 || !alignRight)) {
        QList<QGlyphRun> &runs = m_runs[shape];
        if (runs.isEmpty()) {
            for (std::uint32_t line = 0; line < s.lines; ++line) {
                QTextLayout layout(s.lines == 1 ? text : lineText(text, s, line), p.font(),
                                   p.device());
                layout.beginLayout();
                layout.createLine().setPosition(QPointF(0, line * lineHeight));
                layout.endLayout();
                runs.append(layout.glyphRuns());
            }
        }
        const QPointF at(alignRight ? right - s.advance : left, top);
        for (const QGlyphRun &run : runs)
            p.drawGlyphRun(at, run);
        return;
    }
    if (s.lines == 1) {
        p.drawText(QPointF(alignRight ? right - s.advance : left, top + ascent), text);
        return;
    }
    const QFontMetricsF metrics(p.font(), p.device());
    for (std::uint32_t line = 0; line < s.lines; ++line) {
        const QString part = lineText(text, s, line);
        const qreal x = alignRight ? right - metrics.horizontalAdvance(part) : left;
        p.drawText(QPointF(x, top + ascent + line * lineHeight), part);
    }
}

void ListDocument::paintPage(QPainter &p, std::size_t page) const
{
    const Page &range = m_pages[page];
    // Where the rows of this page go; the table's headings are above the first.
    qreal y = 0;
    qreal tableTop = -1;
    std::vector<std::pair<const Row *, qreal>> rows;
    std::vector<std::pair<const Line *, qreal>> lines;
    for (std::size_t i = range.first; i < range.end; ++i) {
        const Item &item = m_items[i];
        switch (item.kind) {
        case Kind::Heading:
            paintHeading(p, y);
            break;
        case Kind::Row:
            if (tableTop < 0) {
                tableTop = y;
                y = paintColumnHeadings(p, y);
            }
            rows.emplace_back(&m_rows[item.index], y);
            break;
        case Kind::Line:
            lines.emplace_back(&m_lines[item.index], y);
            break;
        }
        y += item.height;
    }
    // Marks under the text, the text in one colour and font, the rules in another: the page's
    // stream switches between them a few times, not at every row.
    if (m_choices.warnings) {
        for (const auto &[row, top] : rows) {
            if (row->warned)
                paintRowMarks(p, *row, top, row->lines * m_g.lineHeight + 2 * m_g.padding);
        }
    }
    p.setPen(Qt::black);
    p.setFont(m_font);
    std::vector<qreal> bottoms;
    bottoms.reserve(rows.size());
    for (const auto &[row, top] : rows) {
        paintRow(p, *row, top);
        bottoms.push_back(top + row->lines * m_g.lineHeight + 2 * m_g.padding);
    }
    if (!rows.empty())
        tableLines(p, tableTop, bottoms);
    for (const auto &[line, top] : lines)
        paintLine(p, *line, top + (line->gapBefore ? m_g.gap : 0));

    const QString foot = QStringLiteral("Stranica %1 od %2").arg(page + 1).arg(m_pages.size());
    const QFontMetricsF metrics(m_font, p.device());
    p.setFont(m_font);
    p.setPen(Qt::black);
    p.drawText(
        QPointF((m_g.width - metrics.horizontalAdvance(foot)) / 2, m_g.height - metrics.descent()),
        foot);
}

void ListDocument::tableLines(QPainter &p, qreal top, const std::vector<qreal> &rowBottoms) const
{
    const qreal bottom = rowBottoms.back();
    QList<QLineF> lines;
    lines.reserve(static_cast<qsizetype>(rowBottoms.size() + columnCount + 1));
    for (qreal y : rowBottoms)
        lines.append(QLineF(0, y, m_g.width, y));
    for (std::size_t c = 0; c < columnCount; ++c)
        lines.append(QLineF(m_g.columnX[c], top, m_g.columnX[c], bottom));
    lines.append(QLineF(m_g.width, top, m_g.width, bottom));
    p.setPen(QPen(ruleColour, 0));
    p.drawLines(lines);
}

void ListDocument::paintHeading(QPainter &p, qreal y) const
{
    const QFontMetricsF title(m_title, p.device());
    p.setPen(Qt::black);
    p.setFont(m_title);
    p.drawText(QPointF(0, y + title.ascent()), QStringLiteral("Popis medicinskih proizvoda"));
    y += title.lineSpacing();
    if (!m_choices.line.isEmpty()) {
        const QFontMetricsF metrics(m_subBold, p.device());
        p.setFont(m_subBold);
        drawShaped(p, m_choices.line, m_lineShape, 0, m_g.width, y, metrics.ascent(),
                   metrics.lineSpacing(), false);
        y += m_shapes[m_lineShape].lines * metrics.lineSpacing();
    }
    if (!m_importer.isEmpty()) {
        const QFontMetricsF metrics(m_sub, p.device());
        p.setFont(m_sub);
        drawShaped(p, importerText(), m_importerShape, 0, m_g.width, y, metrics.ascent(),
                   metrics.lineSpacing(), false);
        y += m_shapes[m_importerShape].lines * metrics.lineSpacing();
    }
    p.setFont(m_font);
    p.drawText(QPointF(0, y + m_g.ascent), QStringLiteral("Datum: %1    Broj zapisa: %2")
                                               .arg(croatianDate(m_date))
                                               .arg(croatianCount(m_rows.size())));
}

qreal ListDocument::paintColumnHeadings(QPainter &p, qreal y) const
{
    const QRectF band(0, y, m_g.width, m_g.headerHeight);
    p.fillRect(band, QColor(225, 225, 225));
    p.setPen(QPen(ruleColour, 0));
    p.drawRect(band);
    p.setPen(Qt::black);
    p.setFont(m_bold);
    const qreal pad = m_g.padding;
    const qreal ascent = QFontMetricsF(m_bold, p.device()).ascent();
    for (std::size_t c = 0; c < columnCount; ++c) {
        drawShaped(p, columnCaption(c), m_g.captions[c], m_g.columnX[c] + pad,
                   m_g.columnX[c] + m_g.columnWidth[c] - pad, y + pad, ascent, m_g.boldLineHeight,
                   c == numberColumn || c == amountColumn);
    }
    return y + m_g.headerHeight;
}

void ListDocument::paintRowMarks(QPainter &p, const Row &row, qreal y, qreal height) const
{
    for (std::size_t c = 1; c < columnCount; ++c) {
        if (row.warned & (1u << c))
            p.fillRect(QRectF(m_g.columnX[c], y, m_g.columnWidth[c], height), warningTint());
    }
    // A mark that does not rely on colour, for a printer without it.
    const qreal size = m_g.lineHeight * 0.7;
    const QPointF at(m_g.padding, y + m_g.padding + (m_g.lineHeight - size) / 2);
    QPainterPath triangle;
    triangle.moveTo(at + QPointF(size / 2, 0));
    triangle.lineTo(at + QPointF(size, size));
    triangle.lineTo(at + QPointF(0, size));
    triangle.closeSubpath();
    p.fillPath(triangle, QColor(232, 160, 0));
}

void ListDocument::paintRow(QPainter &p, const Row &row, qreal y) const
{
    const qreal pad = m_g.padding;
    for (std::size_t c = 0; c < columnCount; ++c) {
        drawShaped(p, row.values[c], row.shapes[c], m_g.columnX[c] + pad,
                   m_g.columnX[c] + m_g.columnWidth[c] - pad, y + pad, m_g.ascent, m_g.lineHeight,
                   alignedRight(c));
    }
}

void ListDocument::paintLine(QPainter &p, const Line &line, qreal y) const
{
    const QFont &font = line.bold ? m_bold : m_font;
    const QFontMetricsF metrics(font, p.device());
    const qreal lineHeight = line.bold ? m_g.boldLineHeight : m_g.lineHeight;
    p.setPen(Qt::black);
    p.setFont(font);
    if (line.right.isEmpty()) {
        drawShaped(p, line.left, line.shape, 0, m_g.width, y, metrics.ascent(), lineHeight, false);
        return;
    }
    // The totals under the amounts, each currency's in a cell of the amounts' column, all as
    // wide as the widest total.
    const qreal pad = m_g.padding;
    const qreal right = m_g.columnX[amountColumn] + m_g.columnWidth[amountColumn];
    if (line.boxed) {
        p.setPen(QPen(ruleColour, 0));
        p.drawRect(QRectF(m_g.totalsLeft, y, right - m_g.totalsLeft, lineHeight + 2 * pad));
        p.setPen(Qt::black);
    }
    const qreal baseline = y + pad + metrics.ascent();
    p.drawText(QPointF(right - pad - metrics.horizontalAdvance(line.right), baseline), line.right);
    p.drawText(QPointF(m_g.totalsLeft - pad - metrics.horizontalAdvance(line.left), baseline),
               line.left);
}

} // namespace gui

#include "gui/print/ListDocument.h"

#include "data/Checks.h"
#include "data/NumberText.h"
#include "data/Plural.h"
#include "data/ProductSchema.h"
#include "data/Table.h"
#include "gui/widgets/WarningLook.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QTextLayout>

namespace gui {

namespace {

using data::ProductFieldCount;

constexpr std::size_t columnCount = ProductFieldCount + 1; // the row number first
// Shares of the page's width after the number column, the fields in stored order.
constexpr std::array<qreal, ProductFieldCount> fieldShares = {7.5,  15, 10, 6, 11, 10.5,
                                                              10.5, 5,  6,  5, 7,  12.5};
// A slice of work between two reports of progress.
constexpr qint64 sliceMs = 40;
const QColor ruleColour(120, 120, 120);

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont listFont(qreal points, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

qreal millimetres(const QPaintDevice &device, qreal mm)
{
    return mm * device.logicalDpiY() / 25.4;
}

QTextOption wrapOption(Qt::Alignment alignment)
{
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// Lays `text` out in lines of `width`; returns their height.
qreal layOut(QTextLayout &layout, qreal width)
{
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

} // namespace

QString printCaption(std::size_t field)
{
    return fromUtf8(data::productSchema()[field].caption);
}

QString croatianDate(QDate date)
{
    return QStringLiteral("%1. %2. %3.").arg(date.day()).arg(date.month()).arg(date.year());
}

ListDocument::ListDocument(const data::Table &table, const data::Checks *checks, QDate date)
    : m_date(date)
    , m_font(listFont(7.5, false))
    , m_bold(listFont(7.5, true))
    , m_title(listFont(14, true))
{
    m_rows.reserve(table.rowCount());
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        // A record without a name is not saved, and a begun one is not stored yet.
        if (table.isBegunRow(r) || table.storedValue(r, data::Name).empty())
            continue;
        // Only the stored record is copied here; its texts are made while measuring, in slices.
        Row row;
        row.number = static_cast<int>(m_rows.size() + 1);
        row.record = table.rows()[r];
        if (checks && checks->hasWarning(r)) {
            QStringList reasons;
            for (std::size_t f = 0; f < ProductFieldCount; ++f) {
                if (const char *reason = checks->warning(r, f)) {
                    row.warned |= 1u << f;
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
}

void ListDocument::buildLines()
{
    const data::Totals totals = m_totals.result();

    m_lines.push_back({QStringLiteral("Ukupno (količina × cijena)"), {}, true, true});
    for (const data::CurrencyTotal &t : totals.currencies) {
        m_lines.push_back({t.currency.empty() ? QStringLiteral("bez valute") : fromUtf8(t.currency),
                           fromUtf8(t.amount)});
    }
    if (totals.withoutAmount > 0) {
        m_lines.push_back({QStringLiteral("Zapisi bez količine ili cijene (nisu zbrojeni)"),
                           QString::number(totals.withoutAmount)});
    }
    m_lines.push_back({QStringLiteral("Broj zapisa"), QString::number(totals.records), true});
    if (!m_warnings.empty()) {
        const std::size_t n = m_warnings.size();
        m_lines.push_back({QStringLiteral("Upozorenja: %1 %2")
                               .arg(n)
                               .arg(fromUtf8(data::pluralForm(n, "zapis", "zapisa", "zapisa"))),
                           {},
                           true,
                           true});
        for (const QString &w : m_warnings)
            m_lines.push_back({w, {}});
    }
}

qreal ListDocument::textHeight(const QString &text, const QFont &font, qreal width,
                               const QPaintDevice &device) const
{
    if (text.isEmpty() || QFontMetricsF(font, &device).horizontalAdvance(text) <= width)
        return m_g.lineHeight;
    QTextLayout layout(text, font, &device);
    layout.setTextOption(wrapOption(Qt::AlignLeft));
    return layOut(layout, width);
}

qreal ListDocument::measureRow(Row &row, Advances &advances, const QPaintDevice &device)
{
    if (!row.decoded) {
        const data::Schema &schema = data::productSchema();
        row.record.forEachValue([&](std::size_t f, std::string_view value) {
            row.values[f] =
                schema[f].isNumber() ? fromUtf8(data::displayNumberText(value)) : fromUtf8(value);
        });
        row.decoded = true;
        m_totals.add(row.record.value(data::Currency), row.record.value(data::Quantity),
                     row.record.value(data::Price));
    }
    row.advance[0] =
        static_cast<float>(advances.metrics.horizontalAdvance(QString::number(row.number)));
    qreal height = m_g.lineHeight;
    for (std::size_t f = 0; f < ProductFieldCount; ++f) {
        const QString &text = row.values[f];
        qreal advance = 0;
        if (!text.isEmpty()) {
            // Suppliers, units and currencies repeat from record to record: each is shaped once.
            const auto known = advances.cache.constFind(text);
            advance =
                known != advances.cache.cend() ? *known : advances.metrics.horizontalAdvance(text);
            if (known == advances.cache.cend())
                advances.cache.insert(text, advance);
        }
        row.advance[f + 1] = static_cast<float>(advance);
        // Most values fit on one line: only those that do not are laid out.
        const qreal width = m_g.columnWidth[f + 1] - 2 * m_g.padding;
        if (advance > width)
            height = std::max(height, textHeight(text, m_font, width, device));
    }
    return height + 2 * m_g.padding;
}

void ListDocument::measure(const QPagedPaintDevice &device)
{
    m_g = {};
    m_g.width = device.width();
    m_g.height = device.height();
    m_g.padding = millimetres(device, 0.8);
    m_g.lineHeight = QFontMetricsF(m_font, &device).lineSpacing();
    m_g.ascent = QFontMetricsF(m_font, &device).ascent();
    // The number column as wide as the largest number; the fields share the rest.
    m_g.columnWidth[0] =
        std::max(QFontMetricsF(m_font, &device).horizontalAdvance(QString::number(m_rows.size())),
                 QFontMetricsF(m_bold, &device).horizontalAdvance(QStringLiteral("Rb."))) +
        2 * m_g.padding + 1;
    // A column is at least as wide as the longest word of its caption, which then never breaks
    // inside a word on any printer; the others share what is left.
    const QFontMetricsF bold(m_bold, &device);
    std::array<qreal, ProductFieldCount> least{};
    for (std::size_t f = 0; f < ProductFieldCount; ++f) {
        for (const QString &word : printCaption(f).split(u' '))
            least[f] = std::max(least[f], bold.horizontalAdvance(word) + 2 * m_g.padding + 1);
    }
    std::array<bool, ProductFieldCount> atLeast{};
    for (bool changed = true; changed;) {
        changed = false;
        qreal rest = m_g.width - m_g.columnWidth[0];
        qreal shares = 0;
        for (std::size_t f = 0; f < ProductFieldCount; ++f) {
            rest -= atLeast[f] ? least[f] : 0;
            shares += atLeast[f] ? 0 : fieldShares[f];
        }
        for (std::size_t f = 0; f < ProductFieldCount; ++f) {
            m_g.columnWidth[f + 1] = atLeast[f] ? least[f] : rest * fieldShares[f] / shares;
            if (!atLeast[f] && m_g.columnWidth[f + 1] < least[f])
                changed = atLeast[f] = true;
        }
    }
    qreal x = m_g.columnWidth[0];
    for (std::size_t f = 0; f < ProductFieldCount; ++f) {
        m_g.columnX[f + 1] = x;
        x += m_g.columnWidth[f + 1];
    }
    qreal header = m_g.lineHeight;
    for (std::size_t f = 0; f < ProductFieldCount; ++f) {
        header = std::max(header, textHeight(printCaption(f), m_bold,
                                             m_g.columnWidth[f + 1] - 2 * m_g.padding, device));
    }
    m_g.headerHeight = header + 2 * m_g.padding;
    m_g.footerHeight = m_g.lineHeight + millimetres(device, 4);
    m_g.gap = millimetres(device, 4);
    m_g.amountWidth = millimetres(device, 100);
}

ListDocument::Result ListDocument::print(QPagedPaintDevice &device, const Progress &progress)
{
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
    measure(device);

    // The items in order, measured in slices so that the window keeps answering.
    m_items.clear();
    m_pages.clear();
    const QFontMetricsF titleMetrics(m_title, &device);
    m_items.push_back(
        {Kind::Heading, 0, titleMetrics.lineSpacing() + m_g.lineHeight + millimetres(device, 3)});
    const int total = static_cast<int>(2 * (m_rows.size() + m_lines.size()) + 2);
    QElapsedTimer slice;
    slice.start();
    Advances advances{QFontMetricsF(m_font, &device), {}};
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_items.push_back({Kind::Row, i, measureRow(m_rows[i], advances, device)});
        if (slice.elapsed() >= sliceMs) {
            if (!progress(static_cast<int>(i), total))
                return stop();
            slice.restart();
        }
    }
    if (m_lines.empty())
        buildLines();
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines[i];
        const qreal width = line.right.isEmpty() ? m_g.width : m_g.amountWidth;
        qreal height = textHeight(line.left, line.bold ? m_bold : m_font, width, device);
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
    const int measured = total / 2;
    if (!progress(measured, total))
        return stop();
    for (std::size_t page = 0; page < m_pages.size(); ++page) {
        if (page > 0 && !device.newPage()) {
            painter.end();
            return Result::DeviceFailed;
        }
        paintPage(painter, page);
        if (slice.elapsed() >= sliceMs) {
            if (!progress(measured + static_cast<int>(m_pages[page].end), total))
                return stop();
            slice.restart();
        }
    }
    if (!painter.end() || (printer && printer->printerState() == QPrinter::Error))
        return Result::DeviceFailed;
    return Result::Done;
}

void ListDocument::drawText(QPainter &p, const QRectF &cell, const QString &text, const QFont &font,
                            Qt::Alignment alignment) const
{
    if (text.isEmpty())
        return;
    const QFontMetricsF metrics(font, p.device());
    const qreal advance = metrics.horizontalAdvance(text);
    if (advance <= cell.width()) {
        const qreal x = alignment & Qt::AlignRight ? cell.right() - advance : cell.left();
        p.setFont(font);
        p.drawText(QPointF(x, cell.top() + metrics.ascent()), text);
        return;
    }
    QTextLayout layout(text, font, p.device());
    layout.setTextOption(wrapOption(alignment));
    layOut(layout, cell.width());
    layout.draw(&p, cell.topLeft());
}

void ListDocument::drawValue(QPainter &p, const QRectF &cell, const QString &text, qreal advance,
                             Qt::Alignment alignment) const
{
    if (text.isEmpty())
        return;
    if (advance > cell.width()) {
        QTextLayout layout(text, m_font, p.device());
        layout.setTextOption(wrapOption(alignment));
        layOut(layout, cell.width());
        layout.draw(&p, cell.topLeft());
        return;
    }
    const qreal x = alignment & Qt::AlignRight ? cell.right() - advance : cell.left();
    p.drawText(QPointF(x, cell.top() + m_g.ascent), text);
}

void ListDocument::paintPage(QPainter &p, std::size_t page) const
{
    const Page &range = m_pages[page];
    qreal y = 0;
    qreal tableTop = -1;
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
            paintRow(p, m_rows[item.index], y, item.height);
            break;
        case Kind::Line:
            if (tableTop >= 0) {
                columnLines(p, tableTop, y);
                tableTop = -2; // the table ended on this page
            }
            paintLine(p, m_lines[item.index], y + (m_lines[item.index].gapBefore ? m_g.gap : 0));
            break;
        }
        y += item.height;
    }
    if (tableTop >= 0)
        columnLines(p, tableTop, y);
    const QString foot = QStringLiteral("Stranica %1 od %2").arg(page + 1).arg(m_pages.size());
    const QFontMetricsF metrics(m_font, p.device());
    p.setFont(m_font);
    p.setPen(Qt::black);
    p.drawText(
        QPointF((m_g.width - metrics.horizontalAdvance(foot)) / 2, m_g.height - metrics.descent()),
        foot);
}

void ListDocument::columnLines(QPainter &p, qreal top, qreal bottom) const
{
    p.setPen(QPen(ruleColour, 0));
    for (std::size_t c = 0; c < columnCount; ++c)
        p.drawLine(QPointF(m_g.columnX[c], top), QPointF(m_g.columnX[c], bottom));
    p.drawLine(QPointF(m_g.width, top), QPointF(m_g.width, bottom));
}

void ListDocument::paintHeading(QPainter &p, qreal y) const
{
    const QFontMetricsF title(m_title, p.device());
    p.setPen(Qt::black);
    p.setFont(m_title);
    p.drawText(QPointF(0, y + title.ascent()), QStringLiteral("Popis medicinskih proizvoda"));
    const QFontMetricsF metrics(m_font, p.device());
    p.setFont(m_font);
    p.drawText(QPointF(0, y + title.lineSpacing() + metrics.ascent()),
               QStringLiteral("Datum: %1    Broj zapisa: %2")
                   .arg(croatianDate(m_date))
                   .arg(m_rows.size()));
}

qreal ListDocument::paintColumnHeadings(QPainter &p, qreal y) const
{
    const QRectF band(0, y, m_g.width, m_g.headerHeight);
    p.fillRect(band, QColor(225, 225, 225));
    p.setPen(QPen(ruleColour, 0));
    p.drawRect(band);
    p.setPen(Qt::black);
    const qreal pad = m_g.padding;
    drawText(p, QRectF(pad, y + pad, m_g.columnWidth[0] - 2 * pad, m_g.lineHeight),
             QStringLiteral("Rb."), m_bold, Qt::AlignRight);
    for (std::size_t f = 0; f < ProductFieldCount; ++f) {
        const QRectF cell(m_g.columnX[f + 1] + pad, y + pad, m_g.columnWidth[f + 1] - 2 * pad,
                          m_g.headerHeight - 2 * pad);
        drawText(p, cell, printCaption(f), m_bold, Qt::AlignLeft);
    }
    return y + m_g.headerHeight;
}

void ListDocument::paintRow(QPainter &p, const Row &row, qreal y, qreal height) const
{
    const qreal pad = m_g.padding;
    if (row.warned) {
        for (std::size_t f = 0; f < ProductFieldCount; ++f) {
            if (row.warned & (1u << f)) {
                p.fillRect(QRectF(m_g.columnX[f + 1], y, m_g.columnWidth[f + 1], height),
                           warningTint());
            }
        }
        // A mark that does not rely on colour, for a printer without it.
        const qreal size = m_g.lineHeight * 0.7;
        const QPointF at(pad, y + pad + (m_g.lineHeight - size) / 2);
        QPainterPath triangle;
        triangle.moveTo(at + QPointF(size / 2, 0));
        triangle.lineTo(at + QPointF(size, size));
        triangle.lineTo(at + QPointF(0, size));
        triangle.closeSubpath();
        p.fillPath(triangle, QColor(232, 160, 0));
    }
    p.setPen(Qt::black);
    p.setFont(m_font);
    drawValue(p, QRectF(pad, y + pad, m_g.columnWidth[0] - 2 * pad, m_g.lineHeight),
              QString::number(row.number), row.advance[0], Qt::AlignRight);
    const data::Schema &schema = data::productSchema();
    for (std::size_t f = 0; f < ProductFieldCount; ++f) {
        const QRectF cell(m_g.columnX[f + 1] + pad, y + pad, m_g.columnWidth[f + 1] - 2 * pad,
                          height - 2 * pad);
        drawValue(p, cell, row.values[f], row.advance[f + 1],
                  schema[f].isNumber() ? Qt::AlignRight : Qt::AlignLeft);
    }
    p.setPen(QPen(ruleColour, 0));
    p.drawLine(QPointF(0, y + height), QPointF(m_g.width, y + height));
}

void ListDocument::paintLine(QPainter &p, const Line &line, qreal y) const
{
    const QFont &font = line.bold ? m_bold : m_font;
    p.setPen(Qt::black);
    const qreal width = line.right.isEmpty() ? m_g.width : m_g.amountWidth;
    drawText(p, QRectF(0, y, width, m_g.height), line.left, font, Qt::AlignLeft);
    drawText(p, QRectF(0, y, width, m_g.lineHeight), line.right, font, Qt::AlignRight);
}

} // namespace gui

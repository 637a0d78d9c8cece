#include "gui/print/ListDocument.h"

#include "gui/print/ListColumns.h"
#include "gui/print/PrintLook.h"
#include "gui/print/SliceReporter.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace gui {

using namespace listcolumns;
using printlook::ruleColour;

ListDocument::Result ListDocument::paint(QPagedPaintDevice &device, const Progress &progress)
{
    const int rows = static_cast<int>(m_rows.size());
    const int total = 3 * rows + 2;
    SliceReporter report(progress);
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

void ListDocument::paintRow(QPainter &p, const Row &row, qreal y) const
{
    const qreal pad = m_g.padding;
    for (std::size_t c = 0; c < columnCount; ++c) {
        drawShaped(p, row.values[c], row.shapes[c], m_g.columnX[c] + pad,
                   m_g.columnX[c] + m_g.columnWidth[c] - pad, y + pad, m_g.ascent, m_g.lineHeight,
                   alignedRight(c));
    }
}

} // namespace gui

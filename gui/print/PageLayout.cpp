#include "gui/print/ListDocument.h"

#include "gui/print/ListColumns.h"
#include "gui/print/PrintLook.h"
#include "gui/print/SliceReporter.h"
#include "gui/print/TextWidths.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>

#include <algorithm>
#include <memory>

namespace gui {

using namespace listcolumns;
using printlook::millimetres;

bool ListDocument::layOut(const QPagedPaintDevice &device, const Progress &progress)
{
    const int rows = static_cast<int>(m_rows.size());
    const int total = 3 * rows + 2;
    SliceReporter report(progress);
    // The texts once, in slices so that the window keeps answering.
    // A stopped layout resumes after the last row decoded: none is counted twice.
    while (m_decoded < m_rows.size()) {
        decode(m_rows[m_decoded++]);
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

    m_items.push_back({Kind::Heading, 0, layOutHeading(device)});
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_items.push_back({Kind::Row, i, layOutRow(m_rows[i], metrics, device)});
        if (!report(rows + static_cast<int>(i), total))
            return false;
    }
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        m_items.push_back({Kind::Line, i, layOutLine(m_lines[i], metrics, device)});
    breakPages();
    // Always asked once, so that a stop is heard even in a list that takes no time.
    return report(2 * rows, total, true);
}

qreal ListDocument::layOutHeading(const QPaintDevice &device)
{
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
    return m_headingHeight;
}

qreal ListDocument::layOutRow(Row &row, const QFontMetricsF &metrics, const QPaintDevice &device)
{
    row.lines = 1;
    for (std::size_t c = 0; c < columnCount; ++c) {
        const QString &text = row.values[c];
        // Suppliers, units, currencies and prices repeat from record to record: each is shaped
        // once.
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
    return row.lines * m_g.lineHeight + 2 * m_g.padding;
}

qreal ListDocument::layOutLine(Line &line, const QFontMetricsF &metrics, const QPaintDevice &device)
{
    qreal height = line.bold ? m_g.boldLineHeight : m_g.lineHeight;
    if (line.right.isEmpty()) {
        line.shape = shape(line.left, line.bold ? m_bold : m_font,
                           line.bold ? QFontMetricsF(m_bold, &device) : metrics, m_g.width, device);
        height *= m_shapes[line.shape].lines;
    } else {
        height += 2 * m_g.padding; // as high as a row, whose amounts it adds up
    }
    if (line.gapBefore)
        height += m_g.gap;
    return height;
}

void ListDocument::breakPages()
{
    // The column headings come before the first row of each page.
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
}

} // namespace gui

#include "gui/print/ListDocument.h"

#include "gui/print/TextWidths.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace gui {

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

} // namespace gui

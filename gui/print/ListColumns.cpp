#include "gui/print/ListDocument.h"

#include "gui/print/ListColumns.h"
#include "gui/print/PrintLook.h"
#include "gui/print/TextWidths.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QStringList>

#include <algorithm>
#include <numeric>

namespace gui {

using namespace listcolumns;
using printlook::millimetres;

namespace {

// Shares of the page's width after the number column, of a list without values.
constexpr std::array<qreal, columnCount> columnShares = {0,  7.5, 14, 10,  5.5, 11,  10,
                                                         10, 5,   6,  4.5, 7,   8.5, 9.5};

// Columns of codes and numbers, which are read whole: as wide as their widest value.
constexpr std::array<bool, columnCount> unbroken = {true,  true, false, false, true, false, false,
                                                    false, true, true,  true,  true, true,  false};

} // namespace

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

} // namespace gui

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

using PerColumn = std::array<qreal, columnCount>;

// How wide each column may be. A column is at least as wide as the longest word of its caption,
// which then never breaks inside a word on any printer, and a column of codes or numbers as its
// widest value, within reason. The other columns share the rest by how much they hold, each at
// least as wide as its longest word and no wider than its longest value: a column the clerk
// leaves empty gives its room to the long names and protocols, which then take fewer lines.
class ColumnRoom {
public:
    // `pad` is what a cell adds to its text; `pageWidth` the room of all the columns.
    ColumnRoom(const QFontMetricsF &bold, qreal pad, qreal pageWidth)
        : m_pad(pad)
        , m_pageWidth(pageWidth)
    {
        for (std::size_t c = 0; c < columnCount; ++c) {
            for (const QString &word : columnCaption(c).split(u' '))
                m_least[c] = std::max(m_least[c], bold.horizontalAdvance(word) + pad);
        }
    }

    // One row's values; `average` the width of a character that is not measured.
    void add(const std::array<QString, columnCount> &values, TextWidths &widths, qreal average)
    {
        for (std::size_t c = 0; c < columnCount; ++c) {
            const qreal width = widths.of(values[c], unbroken[c] ? nullptr : &m_widest[c]);
            // A text beyond the Latin letters is not measured here: it is given room enough.
            const qreal known = width >= 0 ? width : values[c].size() * 2 * average;
            qreal &longest = unbroken[c] ? m_widest[c] : m_most[c];
            longest = std::max(longest, known);
            m_held[c] += known;
        }
    }

    // The columns' widths, which fill the page; asked once.
    PerColumn widths();

private:
    using Fixed = std::array<bool, columnCount>; // held at their widths

    void share(PerColumn &width, Fixed &fixed, const PerColumn &shares, bool empty) const;
    bool holdOne(PerColumn &width, Fixed &fixed, const PerColumn &shares, qreal rest, qreal total,
                 bool empty) const;

    qreal m_pad;
    qreal m_pageWidth;
    PerColumn m_least{};
    PerColumn m_widest{}; // of a column's values, or of its words
    PerColumn m_most{};
    PerColumn m_held{}; // all its values together
};

PerColumn ColumnRoom::widths()
{
    const bool empty = std::all_of(m_held.begin(), m_held.end(), [](qreal h) { return h == 0; });
    Fixed fixed{};
    PerColumn width{};
    for (std::size_t c = 0; c < columnCount; ++c) {
        m_least[c] = std::max(
            m_least[c], std::min(m_widest[c] * 1.01 + m_pad, m_pageWidth / (unbroken[c] ? 8 : 12)));
        m_most[c] = std::max(m_least[c], m_most[c] * 1.01 + m_pad);
        fixed[c] = c == numberColumn || (!empty && unbroken[c]);
        width[c] = m_least[c];
    }
    // Codes too long for any page break after all, rather than run off it.
    const qreal needed = std::accumulate(m_least.begin(), m_least.end(), qreal(0));
    if (needed > m_pageWidth) {
        for (std::size_t c = 0; c < columnCount; ++c)
            width[c] = m_least[c] *= m_pageWidth / needed;
        fixed.fill(true);
    }
    share(width, fixed, empty ? columnShares : m_held, empty);
    return width;
}

// What the fixed columns leave goes to the others by their shares, until no column's share is
// beyond its limits.
void ColumnRoom::share(PerColumn &width, Fixed &fixed, const PerColumn &shares, bool empty) const
{
    for (bool changed = true; changed;) {
        qreal rest = m_pageWidth;
        qreal total = 0;
        for (std::size_t c = 0; c < columnCount; ++c) {
            rest -= fixed[c] ? width[c] : 0;
            total += fixed[c] ? 0 : shares[c];
        }
        changed = holdOne(width, fixed, shares, rest, total, empty);
        if (!changed && rest > 0 &&
            std::all_of(fixed.begin(), fixed.end(), [](bool f) { return f; })) {
            // Every value fits with room left: the names and other texts take it.
            qreal spread = 0;
            for (std::size_t c = 0; c < columnCount; ++c)
                spread += unbroken[c] ? 0 : columnShares[c];
            for (std::size_t c = 0; c < columnCount; ++c)
                width[c] += unbroken[c] ? 0 : rest * columnShares[c] / spread;
        }
    }
}

// Gives the columns not yet fixed their shares of `rest`, until one would fall short, which is
// then held at its least; failing that, until one would have room to spare, held at its most.
// False when none is held.
bool ColumnRoom::holdOne(PerColumn &width, Fixed &fixed, const PerColumn &shares, qreal rest,
                         qreal total, bool empty) const
{
    for (const bool shortOnes : {true, false}) {
        for (std::size_t c = 0; c < columnCount; ++c) {
            if (fixed[c])
                continue;
            const qreal part = total > 0 ? rest * shares[c] / total : 0;
            if (shortOnes ? part < m_least[c] : part > m_most[c] && !empty) {
                width[c] = shortOnes ? m_least[c] : m_most[c];
                fixed[c] = true;
                return true;
            }
            if (!shortOnes)
                width[c] = part;
        }
    }
    return false;
}

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
    ColumnRoom room(bold, 2 * m_g.padding + 1, m_g.width);
    const qreal average = metrics.averageCharWidth();
    for (const Row &row : m_rows)
        room.add(row.values, *m_widths, average);
    m_g.columnWidth = room.widths();
    placeColumns(device, bold);
    m_g.footerHeight = m_g.lineHeight + millimetres(device, 4);
    m_g.gap = millimetres(device, 4);
}

void ListDocument::placeColumns(const QPaintDevice &device, const QFontMetricsF &bold)
{
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
}

} // namespace gui

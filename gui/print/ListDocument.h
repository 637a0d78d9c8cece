#pragma once

#include "data/Record.h"
#include "data/Totals.h"

#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace data {
class Checks;
class Table;
} // namespace data

namespace gui {

// The caption a field is printed under: the one its edit box shows, without the colon.
QString printCaption(std::size_t field);
// A date the Croatian way: "7. 12. 2026."
QString croatianDate(QDate date);

// The product list as it goes on paper: a heading, one row per stored record with a name, the
// column headings on every page, the totals and the warnings' reasons at the end, and
// "Stranica N od M" at the foot of each page. It holds a copy of what it prints, so the table
// may change while it is printed. Pages are drawn with QPainter: QTextDocument lays out a table
// of thousands of rows far too slowly, and has no page footer.
class ListDocument {
public:
    ListDocument(const data::Table &table, const data::Checks *checks, QDate date);

    std::size_t recordCount() const { return m_rows.size(); }

    // Told how far the work is (done of total) between slices of a few tens of milliseconds;
    // returning false stops it.
    using Progress = std::function<bool(int done, int total)>;
    enum class Result { Done, Stopped, DeviceFailed };
    // Lays the list out on the pages of `device`, as it is set up now, and paints them all.
    Result print(QPagedPaintDevice &device, const Progress &progress);
    // Pages of the last print().
    int pageCount() const { return static_cast<int>(m_pages.size()); }

private:
    struct Row {
        int number = 0;
        data::Record record;
        std::array<QString, 12> values; // as the window shows them, once decoded
        bool decoded = false;
        unsigned warned = 0; // a bit per field
        // Of the number and each value on one line, as measured for the last print(): a value
        // is shaped once to measure and once to draw, never a third time.
        std::array<float, 13> advance{};
    };
    // A line after the table: text on the left (wrapped), an amount on the right.
    struct Line {
        QString left;
        QString right;
        bool bold = false;
        bool gapBefore = false;
    };
    enum class Kind { Heading, Row, Line };
    struct Item {
        Kind kind;
        std::size_t index;
        qreal height;
    };
    struct Page {
        std::size_t first = 0;
        std::size_t end = 0;
    };
    struct Geometry {
        qreal width = 0;
        qreal height = 0;
        qreal padding = 0;
        qreal lineHeight = 0;
        qreal ascent = 0;
        qreal headerHeight = 0;
        qreal footerHeight = 0;
        qreal gap = 0;                   // before a block of lines
        qreal amountWidth = 0;           // of a line with an amount
        std::array<qreal, 13> columnX{}; // the number column's and the twelve fields' left edges
        std::array<qreal, 13> columnWidth{};
    };

    // The totals and the warnings' reasons, once.
    void buildLines();
    void measure(const QPagedPaintDevice &device);
    struct Advances {
        QFontMetricsF metrics;
        QHash<QString, qreal> cache;
    };
    qreal measureRow(Row &row, Advances &advances, const QPaintDevice &device);
    // Draws a value of a row, as measured, with the painter's font.
    void drawValue(QPainter &p, const QRectF &cell, const QString &text, qreal advance,
                   Qt::Alignment alignment) const;
    // Height of `text` wrapped to `width`: one line when it fits, otherwise laid out.
    qreal textHeight(const QString &text, const QFont &font, qreal width,
                     const QPaintDevice &device) const;
    void drawText(QPainter &p, const QRectF &cell, const QString &text, const QFont &font,
                  Qt::Alignment alignment) const;
    void paintPage(QPainter &p, std::size_t page) const;
    // The table's column lines, from the headings down to its last row on the page.
    void columnLines(QPainter &p, qreal top, qreal bottom) const;
    void paintHeading(QPainter &p, qreal y) const;
    qreal paintColumnHeadings(QPainter &p, qreal y) const;
    void paintRow(QPainter &p, const Row &row, qreal y, qreal height) const;
    void paintLine(QPainter &p, const Line &line, qreal y) const;

    QDate m_date;
    std::vector<Row> m_rows;
    std::vector<QString> m_warnings; // "3. <name>: <reasons>."
    std::vector<Line> m_lines;
    data::TotalsBuilder m_totals; // each row added when it is first measured
    QFont m_font;
    QFont m_bold;
    QFont m_title;
    Geometry m_g;
    std::vector<Item> m_items;
    std::vector<Page> m_pages;
};

} // namespace gui

#pragma once

#include "model/Record.h"
#include "model/Totals.h"

#include <QDate>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class QFontMetricsF;
class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

namespace data {
class Checks;
class Table;
} // namespace data

namespace gui {

class TextWidths;

// The caption a field is printed under: the one its edit box shows, without the colon.
QString printCaption(std::size_t field);
// A date the Croatian way: "7. 12. 2026."
QString croatianDate(QDate date);
// A count the Croatian way: "10.000".
QString croatianCount(std::size_t n);

// What the clerk chose for a printed list. Nothing of it is stored with the records.
struct PrintChoices {
    QString line;          // above the list, e.g. the application's number
    bool warnings = false; // the checks' marks and reasons, for the clerk's own copy
};

// The product list as it goes on paper: a heading, one row per stored record with a name and its
// amount, the column headings on every page, the totals under the amounts, the warnings' reasons
// when asked for, and "Stranica N od M" at the foot of each page. It holds a copy of what it
// prints, so the table may change while it is printed. Pages are drawn with QPainter:
// QTextDocument lays out a table of thousands of rows far too slowly, and has no page footer.
class ListDocument {
public:
    ListDocument(const data::Table &table, const data::Checks *checks, QDate date,
                 PrintChoices choices = {});
    ~ListDocument();
    ListDocument(const ListDocument &) = delete;
    ListDocument &operator=(const ListDocument &) = delete;

    std::size_t recordCount() const { return m_rows.size(); }
    // The importer of every record when they all have the same one; empty otherwise.
    const QString &importer() const { return m_importer; }

    // Told how far the work is (done of total) between slices of a few tens of milliseconds;
    // returning false stops it.
    using Progress = std::function<bool(int done, int total)>;
    // Lays the list out on the pages of `device`, as it is set up now, without painting on it,
    // so that a stop leaves the device untouched. False when `progress` stopped it.
    bool layOut(const QPagedPaintDevice &device, const Progress &progress);
    enum class Result { Done, Stopped, DeviceFailed };
    // Paints the pages of the last layOut() on `device`, set up as it was then.
    Result paint(QPagedPaintDevice &device, const Progress &progress);
    // Both.
    Result print(QPagedPaintDevice &device, const Progress &progress);
    // Pages of the last layOut().
    int pageCount() const { return static_cast<int>(m_pages.size()); }

    // The number column, the twelve fields in stored order and the amount after the price.
    static constexpr std::size_t columnCount = 14;

private:
    // A text as it fits its width: its advance on one line, or where its lines begin.
    struct Shape {
        float advance = 0;
        std::uint32_t lines = 1;
        std::uint32_t breaks = 0; // where the second line's start is in m_breaks
        std::uint32_t uses = 0;   // drawn more than once, it keeps its glyphs (m_runs)
    };
    struct Row {
        int number = 0;
        data::Record record;                             // until it is decoded
        std::array<QString, columnCount> values;         // as the window shows them
        std::array<std::uint32_t, columnCount> shapes{}; // in m_shapes; 0 for an empty text
        unsigned warned = 0;                             // a bit per column
        std::uint32_t lines = 1;
    };
    // A line after the table: in the totals, the text before the amounts' column and the
    // amount in it, a currency's total in a cell of its own; otherwise the text alone, across
    // the page.
    struct Line {
        QString left;
        QString right;
        bool bold = false;
        bool boxed = false;
        bool gapBefore = false;
        std::uint32_t shape = 0; // of `left`, when it has no amount
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
        qreal boldLineHeight = 0;
        qreal headerHeight = 0;
        qreal footerHeight = 0;
        qreal gap = 0;        // before a block of lines
        qreal totalsLeft = 0; // of the totals' cells, wider than the amounts' column if need be
        std::array<qreal, columnCount> columnX{};
        std::array<qreal, columnCount> columnWidth{};
        std::array<std::uint32_t, columnCount> captions{}; // shapes, in bold
    };

    // The values of one row, its amount added to the totals.
    void decode(Row &row);
    // "Uvoznik: …", or nothing.
    QString importerText() const;

    // TotalsAndWarnings.cpp: what follows the table, and the marks of the fields warned about.
    // The row's warned columns, and its reasons kept for the list's end.
    void noteWarnings(Row &row, const data::Checks &checks, std::size_t r, std::string_view name);
    // The totals and the warnings' reasons, once all rows are decoded.
    void buildLines();
    void paintLine(QPainter &p, const Line &line, qreal y) const;
    void paintRowMarks(QPainter &p, const Row &row, qreal y, qreal height) const;

    // ListColumns.cpp: the columns' widths and places, the heights of headings and footer.
    void measureColumns(const QPaintDevice &device);
    // The columns' places and captions, and where the totals' cells begin.
    void placeColumns(const QPaintDevice &device, const QFontMetricsF &bold);

    // TextShapes.cpp: texts broken to their width, and drawn.
    // The shape of `text` in `width`; `widths`, for the list's own font, spares shaping a text
    // that fits with room to spare.
    std::uint32_t shape(const QString &text, const QFont &font, const QFontMetricsF &metrics,
                        qreal width, const QPaintDevice &device, TextWidths *widths = nullptr);
    // The text of a shape's line `line`, without the spaces it broke at.
    QString lineText(const QString &text, const Shape &shape, std::uint32_t line) const;
    // Draws a shaped text from (left, top), right-aligned at `right` when `alignRight`.
    void drawShaped(QPainter &p, const QString &text, std::uint32_t shape, qreal left, qreal right,
                    qreal top, qreal ascent, qreal lineHeight, bool alignRight) const;

    // PageLayout.cpp: the heights of the heading, a row and a line after the table, their texts
    // shaped, and the items parted into pages.
    qreal layOutHeading(const QPaintDevice &device);
    qreal layOutRow(Row &row, const QFontMetricsF &metrics, const QPaintDevice &device);
    qreal layOutLine(Line &line, const QFontMetricsF &metrics, const QPaintDevice &device);
    void breakPages();

    // PagePainting.cpp: one page of the last layOut().
    void paintPage(QPainter &p, std::size_t page) const;
    // The table's lines: the rules under the rows and the columns' lines from the headings down.
    void tableLines(QPainter &p, qreal top, const std::vector<qreal> &rowBottoms) const;
    void paintHeading(QPainter &p, qreal y) const;
    qreal paintColumnHeadings(QPainter &p, qreal y) const;
    void paintRow(QPainter &p, const Row &row, qreal y) const;

    QDate m_date;
    PrintChoices m_choices;
    QString m_importer;
    std::vector<Row> m_rows;
    std::size_t m_decoded = 0;       // rows decoded so far
    std::vector<QString> m_warnings; // "3. <name>: <reasons>."
    std::vector<Line> m_lines;
    data::TotalsBuilder m_totals;
    QFont m_font;
    QFont m_bold;
    QFont m_title;
    QFont m_sub;
    QFont m_subBold;
    Geometry m_g;
    std::vector<Shape> m_shapes;
    std::vector<std::uint32_t> m_breaks;
    std::vector<Item> m_items;
    std::vector<Page> m_pages;
    qreal m_headingHeight = 0;
    std::array<QHash<QString, std::uint32_t>, columnCount> m_known; // shapes by column and text
    std::uint32_t m_lineShape = 0;                                  // of the clerk's line
    std::uint32_t m_importerShape = 0;
    std::unique_ptr<TextWidths> m_widths; // of m_font, while laying out
    // Of the shapes that rows share, once they are drawn: drawn again, they are not shaped again.
    mutable QHash<std::uint32_t, QList<QGlyphRun>> m_runs;
};

} // namespace gui

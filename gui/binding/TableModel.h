#pragma once

#include "model/Table.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>

#include <cstdint>

#include <cstddef>
#include <vector>

namespace gui {

class DataSource;

struct GridColumn {
    std::size_t field;
    QString title;
    int width = -1; // -1: the view's default width
};

// The table as a grid: one row per table row (the begun record included, at its place), the
// columns in the grid's own order. It follows the table's specific notifications and does no
// work proportional to the number of records on any of them but a reset. A cell with a warning
// of the data source's checks is tinted and marked, with the reason as its tooltip and its
// accessible description; its text stays the value.
class TableModel : public QAbstractTableModel, private data::TableObserver {
    Q_OBJECT

public:
    TableModel(DataSource &source, std::vector<GridColumn> columns, QObject *parent = nullptr);
    ~TableModel() override;

    const std::vector<GridColumn> &columns() const { return m_columns; }
    std::size_t fieldAt(int column) const
    {
        return m_columns[static_cast<std::size_t>(column)].field;
    }
    DataSource &dataSource() const { return m_source; }
    // True from just before rows are inserted, removed or reset until the views were told.
    bool isChangingRows() const { return m_changingRows; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Writes a typed cell value into the table, moving the cursor to its row first. A refused
    // value is reported once control is back in the event loop, and false returned.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    void valueChanged(std::size_t row, std::size_t field) override;
    void rowAboutToBeInserted(std::size_t row) override;
    void rowInserted(std::size_t row) override;
    void rowAboutToBeRemoved(std::size_t row) override;
    void rowRemoved(std::size_t row) override;
    void aboutToReset() override;
    void reset() override;
    void currentChanged() override { updateMarker(); }
    void stateChanged() override { updateMarker(); }
    void updateMarker();
    void repaintWarnings();
    const char *warningAt(const QModelIndex &index) const;

    DataSource &m_source;
    std::vector<GridColumn> m_columns;
    int m_markedRow = -1;        // the row whose header shows the cursor
    bool m_changingRows = false; // see isChangingRows()
    QIcon m_warningMark;
    std::uint64_t m_shownRevision = 0; // of the checks
};

} // namespace gui

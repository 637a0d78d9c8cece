#pragma once

#include "gui/widgets/CellEditor.h"
#include "model/Table.h"

#include <QPointer>

#include <QStyledItemDelegate>
#include <QTableView>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace gui {

class DataSource;
class TableModel;

// Edits a cell: limits text to its field's length and refuses a number that does not parse
// before the editor is let go.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit GridDelegate(TableModel &model, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;

    CellEditor *openEditor() const { return m_editor; }

signals:
    // A typed text was refused as the editor closed; the grid reopens it.
    void refused(const QModelIndex &index, const QString &text, const QString &message) const;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    TableModel &m_model;
    mutable QPointer<CellEditor> m_editor;
};

// The grid of all records: the current row is always the table's current record, and choosing
// another row moves the table's cursor.
class RecordGrid : public QTableView, public data::TypedInput {
    Q_OBJECT

public:
    RecordGrid(TableModel &model, QWidget *parent = nullptr);
    ~RecordGrid() override;

    TableModel &tableModel() const { return m_model; }

    bool hasPendingInput() const override;
    void handOver() override;
    // Closes a cell's editor; what it held must have been handed over.
    void closeOpenEditor();
    // Makes the current record's cell of `field` the current cell, in sight.
    void showField(std::size_t field);

    struct ColumnCells {
        std::size_t field = 0;
        std::vector<std::size_t> rows; // ascending
    };
    // The selected cells when they lie in one column; nothing otherwise.
    std::optional<ColumnCells> selectedColumn() const;

    // The widths the clerk gave columns by hand, by field. Those columns keep them; the others
    // share what the grid has beyond their own widths.
    const std::map<std::size_t, int> &handWidths() const { return m_handWidths; }
    void setHandWidths(std::map<std::size_t, int> widths);

signals:
    // Ctrl+V while no cell is being edited: a value for the selected cells, or rows pasted.
    void pasteRequested();
    // Ctrl+D while no cell is being edited: the selected cells take the first one's value.
    void fillRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class CursorFollower;

    void followCursor();
    // Gives every column not sized by hand its own width and a share of the room beyond.
    void fitColumns();
    void reopen(const QModelIndex &index, const QString &text, const QString &message);

    TableModel &m_model;
    GridDelegate *m_delegate;
    std::map<std::size_t, int> m_handWidths;
    bool m_fitting = false;
    bool m_following = false;
    bool m_refusedEdit = false;
    std::unique_ptr<CursorFollower> m_cursorFollower;
};

} // namespace gui

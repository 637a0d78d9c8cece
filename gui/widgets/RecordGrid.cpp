#include "gui/widgets/RecordGrid.h"

#include "gui/widgets/CellEditor.h"

#include "gui/binding/DataSource.h"
#include "gui/binding/TableModel.h"
#include "gui/dialogs/Dialogs.h"
#include "gui/dialogs/ExceptionBox.h"
#include "gui/widgets/Completion.h"
#include "gui/widgets/TextLimit.h"
#include "model/NumberText.h"
#include "model/ProductSchema.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace gui {

GridDelegate::GridDelegate(TableModel &model, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_model(model)
{
}

QWidget *GridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                    const QModelIndex &index) const
{
    const std::size_t field = m_model.fieldAt(index.column());
    data::Table &table = m_model.dataSource().table();
    const auto &def = table.schema()[field];
    auto *editor = new CellEditor(def.isNumber(), parent);
    editor->setFrame(false);
    editor->setValidator(new TextLimit(editor, static_cast<int>(def.maxLength),
                                       field == data::TariffNumber ? TextLimit::TariffNumber
                                                                   : TextLimit::Options()));
    // Typing puts the record in Edit at once, so a commit from elsewhere asks for the text.
    connect(editor, &QLineEdit::textEdited, editor, [&source = m_model.dataSource()] {
        try {
            source.beginTyping();
        } catch (const std::exception &e) {
            showExceptionLater(nullptr, e);
        }
    });
    Completion::attach(*editor, m_model.dataSource(), field);
    m_editor = editor;
    return editor;
}

void GridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *limit = qobject_cast<TextLimit *>(
            const_cast<QValidator *>(static_cast<CellEditor *>(editor)->validator())))
        limit->allowFor(index.data(Qt::EditRole).toString());
    QStyledItemDelegate::setEditorData(editor, index);
}

void GridDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    if (editor == m_editor)
        m_editor = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
}

void GridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                const QModelIndex &index) const
{
    auto *cell = static_cast<CellEditor *>(editor);
    try {
        cell->check();
    } catch (const std::exception &e) {
        emit refused(index, cell->text(), exceptionText(e));
        return;
    }
    if (cell->isModified())
        model->setData(index, cell->text(), Qt::EditRole);
}

bool GridDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *cell = dynamic_cast<CellEditor *>(object);
    if (!cell)
        return QStyledItemDelegate::eventFilter(object, event);
    bool leaving = event->type() == QEvent::FocusOut;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Escape) {
            // The typed text is dropped: the record is as untouched as before the first key.
            cell->setModified(false);
            const bool handled = QStyledItemDelegate::eventFilter(object, event);
            m_model.dataSource().cancelUntouchedEdit();
            return handled;
        }
        leaving = key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
                  key == Qt::Key_Enter;
    }
    if (leaving) {
        try {
            cell->check();
        } catch (const std::exception &e) {
            // Losing the focus inside the grid ends in a row or column change, which reopens
            // the editor and reports; a click elsewhere never gets here (see InputGuard).
            if (event->type() != QEvent::FocusOut)
                showExceptionLater(cell, e);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

// Follows the table's cursor, which moves without the grid too.
class RecordGrid::CursorFollower : public data::TableObserver {
public:
    explicit CursorFollower(RecordGrid &grid)
        : m_grid(grid)
    {
    }

    void currentChanged() override { m_grid.followCursor(); }
    void reset() override { m_grid.followCursor(); }

private:
    RecordGrid &m_grid;
};

RecordGrid::RecordGrid(TableModel &model, QWidget *parent)
    : QTableView(parent)
    , m_model(model)
    , m_delegate(new GridDelegate(model, this))
    , m_cursorFollower(std::make_unique<CursorFollower>(*this))
{
    setModel(&model);
    setItemDelegate(m_delegate);
    // Several cells of a column may be chosen, with Shift or the mouse, to fill them at once.
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultSectionSize(64); // a column without a width of its own
    fitColumns();
    // A column the clerk widens or narrows keeps that width.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
                if (!m_fitting)
                    m_handWidths[m_model.fieldAt(column)] = width;
            });

    DataSource &source = model.dataSource();
    source.addControl(this);
    source.attach(m_cursorFollower.get());
    connect(m_delegate, &GridDelegate::refused, this,
            [this](const QModelIndex &index, const QString &text, const QString &message) {
                if (m_model.isChangingRows())
                    return; // the record goes, and the text with it
                m_refusedEdit = true;
                const QPersistentModelIndex cell(index);
                QTimer::singleShot(0, this,
                                   [this, cell, text, message] { reopen(cell, text, message); });
            });
    followCursor();
}

RecordGrid::~RecordGrid()
{
    m_model.dataSource().table().removeObserver(m_cursorFollower.get());
    m_model.dataSource().removeControl(this);
}

bool RecordGrid::hasPendingInput() const
{
    const CellEditor *editor = m_delegate->openEditor();
    return editor && editor->isModified();
}

void RecordGrid::handOver()
{
    CellEditor *editor = m_delegate->openEditor();
    if (!editor || !editor->isModified())
        return;
    editor->check();
    data::Table &table = m_model.dataSource().table();
    const QModelIndex index = currentIndex();
    if (!index.isValid() || static_cast<std::size_t>(index.row()) != table.currentRow())
        return;
    if (table.state() == data::TableState::Browse)
        table.edit();
    table.setText(m_model.fieldAt(index.column()), editor->text().toStdString());
    editor->setModified(false);
}

void RecordGrid::closeOpenEditor()
{
    if (CellEditor *editor = m_delegate->openEditor())
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void RecordGrid::showField(std::size_t field)
{
    const data::Table &table = m_model.dataSource().table();
    for (int c = 0; c < m_model.columnCount(); ++c) {
        if (m_model.fieldAt(c) != field || table.rowCount() == 0)
            continue;
        m_following = true;
        const QModelIndex cell = m_model.index(static_cast<int>(table.currentRow()), c);
        selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
        scrollTo(cell);
        m_following = false;
    }
}

std::optional<RecordGrid::ColumnCells> RecordGrid::selectedColumn() const
{
    const QModelIndexList cells = selectionModel()->selectedIndexes();
    if (cells.isEmpty())
        return std::nullopt;
    ColumnCells column{m_model.fieldAt(cells.front().column()), {}};
    for (const QModelIndex &cell : cells) {
        if (cell.column() != cells.front().column())
            return std::nullopt;
        column.rows.push_back(static_cast<std::size_t>(cell.row()));
    }
    std::sort(column.rows.begin(), column.rows.end());
    column.rows.erase(std::unique(column.rows.begin(), column.rows.end()), column.rows.end());
    return column;
}

void RecordGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste) && state() != EditingState) {
        emit pasteRequested();
        return;
    }
    if (event->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_D) &&
        state() != EditingState) {
        emit fillRequested();
        return;
    }
    QTableView::keyPressEvent(event);
}

void RecordGrid::mousePressEvent(QMouseEvent *event)
{
    // The click gave the grid the focus, and leaving the control it came from moved the focus on
    // (leaving the price box begins a record): the click has done its part.
    QWidget *focus = QApplication::focusWidget();
    if (focus != this && !isAncestorOf(focus)) {
        event->ignore();
        return;
    }
    QTableView::mousePressEvent(event);
}

void RecordGrid::setHandWidths(std::map<std::size_t, int> widths)
{
    m_handWidths = std::move(widths);
    fitColumns();
}

void RecordGrid::fitColumns()
{
    const int columns = m_model.columnCount();
    const auto ownWidth = [&](int c) {
        const int width = m_model.columns()[static_cast<std::size_t>(c)].width;
        return width > 0 ? width : horizontalHeader()->defaultSectionSize();
    };
    int room = viewport()->width();
    int shared = 0;
    for (int c = 0; c < columns; ++c) {
        const auto hand = m_handWidths.find(m_model.fieldAt(c));
        if (hand != m_handWidths.end()) {
            room -= hand->second;
        } else {
            room -= ownWidth(c);
            ++shared;
        }
    }
    // The room beyond the columns' own widths, in equal parts: a narrow column gains the most.
    const int extra = shared > 0 && room > 0 ? room / shared : 0;
    int left = shared > 0 && room > 0 ? room % shared : 0;
    m_fitting = true;
    for (int c = 0; c < columns; ++c) {
        const auto hand = m_handWidths.find(m_model.fieldAt(c));
        int width = hand != m_handWidths.end() ? hand->second : ownWidth(c) + extra;
        if (hand == m_handWidths.end() && left > 0) {
            ++width;
            --left;
        }
        horizontalHeader()->resizeSection(c, width);
    }
    m_fitting = false;
}

void RecordGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fitColumns();
    // A grid made shorter (the find bar opening below it) keeps the current record in sight.
    if (event->size().height() < event->oldSize().height() && currentIndex().isValid())
        scrollTo(currentIndex());
}

void RecordGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous); // commits and closes an open editor
    // A refused cell is reopened and the cursor stays. While rows come and go the selection
    // model moves the current index by itself; the table sets its own cursor and the grid
    // follows it afterwards.
    const bool refused = std::exchange(m_refusedEdit, false);
    if (refused || m_following || !current.isValid() || m_model.isChangingRows())
        return;
    data::Table &table = m_model.dataSource().table();
    if (!table.isActive() || static_cast<std::size_t>(current.row()) == table.currentRow())
        return;
    try {
        table.moveTo(static_cast<std::size_t>(current.row()));
    } catch (const std::exception &e) {
        showExceptionLater(this, e);
        QTimer::singleShot(0, this, &RecordGrid::followCursor);
    }
}

void RecordGrid::followCursor()
{
    const data::Table &table = m_model.dataSource().table();
    const int row =
        table.isActive() && table.rowCount() > 0 ? static_cast<int>(table.currentRow()) : -1;
    const QModelIndex now = currentIndex();
    if (row < 0 || row >= m_model.rowCount()) {
        return;
    }
    if (now.isValid() && now.row() == row)
        return;
    m_following = true;
    const QModelIndex target = m_model.index(row, now.isValid() ? now.column() : 0);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
    m_following = false;
}

void RecordGrid::reopen(const QModelIndex &index, const QString &text, const QString &message)
{
    if (!index.isValid())
        return;
    m_following = true;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_following = false;
    edit(index);
    if (CellEditor *editor = m_delegate->openEditor()) {
        editor->setText(text);
        editor->setModified(true);
    }
    Dialogs::error(this, message);
}

} // namespace gui

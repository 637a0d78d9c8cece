#include "gui/binding/TableModel.h"

#include "gui/binding/DataSource.h"
#include "gui/dialogs/ExceptionBox.h"
#include "gui/widgets/WarningLook.h"
#include "model/Checks.h"

#include <QPersistentModelIndex>

namespace gui {

TableModel::TableModel(DataSource &source, std::vector<GridColumn> columns, QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(source)
    , m_columns(std::move(columns))
{
    source.attach(this);
    if (source.checks()) {
        m_warningMark = warningMark();
        connect(&source, &DataSource::changed, this, &TableModel::repaintWarnings);
    }
}

TableModel::~TableModel()
{
    m_source.table().removeObserver(this);
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_source.table().rowCount());
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const data::Table &table = m_source.table();
    const std::size_t field = fieldAt(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(table.text(static_cast<std::size_t>(index.row()), field));
    case Qt::TextAlignmentRole:
        if (table.schema()[field].isNumber())
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::BackgroundRole:
        return warningAt(index) ? QVariant(warningTint()) : QVariant();
    case Qt::DecorationRole:
        return warningAt(index) ? QVariant(m_warningMark) : QVariant();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: // what a screen reader reads of a cell after its value
        if (const char *reason = warningAt(index))
            return QString::fromUtf8(reason);
        return {};
    default:
        return {};
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        return m_columns[static_cast<std::size_t>(section)].title;
    }
    // The row marker: the cursor, and a star on a begun record.
    if (section != m_markedRow)
        return QString();
    return m_source.table().isBegunRow(static_cast<std::size_t>(section)) ? QStringLiteral("*")
                                                                          : QStringLiteral("▶");
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_source.table().isActive())
        f |= Qt::ItemIsEditable;
    return f;
}

bool TableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    data::Table &table = m_source.table();
    try {
        QPersistentModelIndex cell(index);
        if (static_cast<std::size_t>(index.row()) != table.currentRow())
            table.moveTo(static_cast<std::size_t>(index.row()));
        if (!cell.isValid() || static_cast<std::size_t>(cell.row()) != table.currentRow())
            return false;
        const std::size_t field = fieldAt(cell.column());
        const std::string text = value.toString().toStdString();
        if (table.state() == data::TableState::Browse && table.text(field) == text)
            return true; // nothing typed: leave the record untouched
        m_source.writeTyped(field, text);
        return true;
    } catch (const std::exception &e) {
        showExceptionLater(nullptr, e);
        return false;
    }
}

void TableModel::valueChanged(std::size_t row, std::size_t field)
{
    const int r = static_cast<int>(row);
    for (int c = 0; c < columnCount(); ++c) {
        if (fieldAt(c) == field)
            emit dataChanged(index(r, c), index(r, c), {Qt::DisplayRole, Qt::EditRole});
    }
}

void TableModel::rowAboutToBeInserted(std::size_t row)
{
    m_changingRows = true;
    beginInsertRows({}, static_cast<int>(row), static_cast<int>(row));
}

void TableModel::rowInserted(std::size_t row)
{
    if (m_markedRow >= static_cast<int>(row))
        ++m_markedRow;
    endInsertRows();
    m_changingRows = false;
}

void TableModel::rowAboutToBeRemoved(std::size_t row)
{
    m_changingRows = true;
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
}

void TableModel::rowRemoved(std::size_t row)
{
    const int r = static_cast<int>(row);
    if (m_markedRow == r)
        m_markedRow = -1;
    else if (m_markedRow > r)
        --m_markedRow;
    endRemoveRows();
    m_changingRows = false;
}

void TableModel::aboutToReset()
{
    m_changingRows = true;
    beginResetModel();
}

void TableModel::reset()
{
    m_markedRow = -1;
    endResetModel();
    m_changingRows = false;
    updateMarker();
}

const char *TableModel::warningAt(const QModelIndex &index) const
{
    const data::Checks *checks = m_source.checks();
    return checks ? checks->warning(static_cast<std::size_t>(index.row()), fieldAt(index.column()))
                  : nullptr;
}

void TableModel::repaintWarnings()
{
    // One commit can change the warnings of rows far from it (a duplicate's twin): the views
    // repaint what they show, which costs the same for one row as for all.
    const std::uint64_t revision = m_source.checks()->revision();
    if (revision == m_shownRevision || m_changingRows || rowCount() == 0)
        return;
    m_shownRevision = revision;
    emit dataChanged(
        index(0, 0), index(rowCount() - 1, columnCount() - 1),
        {Qt::BackgroundRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
}

void TableModel::updateMarker()
{
    const data::Table &table = m_source.table();
    const int row = table.rowCount() > 0 ? static_cast<int>(table.currentRow()) : -1;
    const int old = m_markedRow;
    m_markedRow = row;
    if (old >= 0 && old < rowCount())
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0)
        emit headerDataChanged(Qt::Vertical, row, row);
}

} // namespace gui

#include "gui/widgets/Completion.h"

#include "gui/binding/ColumnValues.h"
#include "gui/binding/DataSource.h"
#include "gui/widgets/TextLimit.h"
#include "model/ProductSchema.h"

#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>

#include <algorithm>

namespace gui {

namespace {

constexpr int shownEntries = 8;

// Finds the values that begin with what was typed, by halves of the sorted list.
class FoldedCompleter : public QCompleter {
public:
    using QCompleter::QCompleter;

    // What was typed is matched as the values' FoldedRole holds them.
    QStringList splitPath(const QString &path) const override { return {ColumnValues::fold(path)}; }
    // The value itself, not its folded form.
    QString pathFromIndex(const QModelIndex &index) const override
    {
        return index.data(Qt::DisplayRole).toString();
    }
};

} // namespace

Completion *Completion::attach(QLineEdit &edit, DataSource &source, std::size_t field)
{
    using namespace data;
    static constexpr std::size_t repeating[] = {
        Name, CatalogueNumber, Manufacturer, Supplier, Importer, Unit, Protocol};
    if (std::find(std::begin(repeating), std::end(repeating), field) == std::end(repeating))
        return nullptr;
    auto *completion = new Completion(edit, ColumnValues::of(source, field));
    // The list belongs to the text being typed: a change of the table (the text handed over by
    // F8, a take-back, another record) closes it.
    connect(&source, &DataSource::changed, completion, &Completion::close);
    return completion;
}

Completion::Completion(QLineEdit &edit, ColumnValues &values)
    : QObject(&edit)
    , m_edit(edit)
    , m_values(values)
    , m_completer(new FoldedCompleter(this))
{
    m_completer->setModel(&values);
    m_completer->setCompletionRole(ColumnValues::FoldedRole);
    // Folded on both sides, so that the sorted values are searched by halves.
    m_completer->setCaseSensitivity(Qt::CaseSensitive);
    m_completer->setModelSorting(QCompleter::CaseSensitivelySortedModel);
    connect(&edit, &QLineEdit::textEdited, this, &Completion::offer);
}

Completion::~Completion()
{
    delete m_list; // a child of the window, which may outlive the edit
}

void Completion::close()
{
    if (m_list && m_list->isVisible())
        m_list->hide();
}

void Completion::offer(const QString &typed)
{
    if (m_taking)
        return;
    if (typed.isEmpty() || m_edit.isReadOnly())
        return close();
    m_values.ensureRead();
    m_completer->setCompletionPrefix(typed);
    const int count = m_completer->completionCount();
    // A list of only what was typed offers nothing.
    if (count == 0 ||
        (count == 1 && m_completer->setCurrentRow(0) && m_completer->currentCompletion() == typed))
        return close();
    if (!m_list) {
        // Made when first needed, in the window the edit has by then.
        m_list = new QListView(m_edit.window());
        m_list->setObjectName(QStringLiteral("completionList"));
        m_list->setAccessibleName(QStringLiteral("Prijedlozi"));
        m_list->setModel(m_completer->completionModel());
        m_list->setFocusPolicy(Qt::NoFocus); // the keys stay with the edit
        m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_list->setSelectionMode(QAbstractItemView::SingleSelection);
        m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_list->setUniformItemSizes(true); // tens of thousands of values are laid out at once
        m_list->hide();
        connect(m_list, &QListView::clicked, this, &Completion::take);
    }
    m_list->selectionModel()->clear(); // nothing is chosen before the clerk chooses
    place(count);
    if (!m_list->isVisible()) {
        // First among the edit's filters (the grid's delegate closes a cell on Esc).
        m_edit.installEventFilter(this);
        m_list->show();
        m_list->raise();
    }
}

void Completion::place(int entries)
{
    if (m_rowHeight == 0)
        m_rowHeight = m_list->sizeHintForRow(0);
    const QWidget *window = m_list->parentWidget();
    const int height = m_rowHeight * std::min(entries, shownEntries) + 2 * m_list->frameWidth();
    // A narrow box or cell still gets a list wide enough to read.
    const int width = std::max(m_edit.width(), m_edit.fontMetrics().averageCharWidth() * 32);
    const QPoint box = m_edit.mapTo(window, QPoint(0, 0));
    int y = box.y() + m_edit.height();
    // Under the box where the window has room for it, else above.
    if (y + height > window->height() && box.y() >= height)
        y = box.y() - height;
    const int x = std::max(0, std::min(box.x(), window->width() - width));
    m_list->setGeometry(x, y, width, height);
}

void Completion::choose(int step)
{
    const int rows = m_list->model()->rowCount();
    const QModelIndex now = m_list->currentIndex();
    int row = now.isValid() ? now.row() + step : step > 0 ? 0 : rows - 1;
    // Past either end the choice goes, and what was typed stands again.
    if (now.isValid() && (row < 0 || row >= rows))
        row = (now.row() == 0 && step < 0) || (now.row() == rows - 1 && step > 0)
                  ? -1
                  : std::clamp(row, 0, rows - 1);
    const QModelIndex chosen = m_list->model()->index(row, 0);
    m_list->selectionModel()->setCurrentIndex(chosen, QItemSelectionModel::ClearAndSelect);
    if (chosen.isValid())
        m_list->scrollTo(chosen);
}

void Completion::take(const QModelIndex &entry)
{
    const QString value = entry.data(Qt::DisplayRole).toString();
    close();
    if (auto *limit = qobject_cast<TextLimit *>(const_cast<QValidator *>(m_edit.validator())))
        limit->allowFor(value); // a value from an old file may be longer than the field allows
    // As typed text: modified, undoable, and handed over like any other.
    m_taking = true;
    m_edit.selectAll();
    m_edit.insert(value);
    m_taking = false;
}

bool Completion::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_edit || !m_list || !m_list->isVisible())
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain =
            key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
        switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
            if (!plain)
                return false;
            choose(key->key() == Qt::Key_Down ? 1 : -1);
            return true;
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            if (!plain)
                return false;
            choose(key->key() == Qt::Key_PageDown ? shownEntries : -shownEntries);
            return true;
        case Qt::Key_Escape:
            close();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Taken, and the key goes on: in a cell, the one Enter commits it too.
            if (const QModelIndex chosen = m_list->currentIndex(); chosen.isValid())
                take(chosen);
            close();
            return false;
        default:
            return false;
        }
    }
    // The list stands under the box where the clerk types, and nowhere else.
    case QEvent::FocusOut:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
        close();
        return false;
    default:
        return false;
    }
}

} // namespace gui

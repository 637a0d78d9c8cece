#include "gui/widgets/FieldEdit.h"

#include "gui/binding/DataSource.h"
#include "gui/dialogs/ExceptionBox.h"
#include "gui/widgets/Completion.h"
#include "gui/widgets/TextLimit.h"
#include "gui/widgets/UndoKeys.h"
#include "gui/widgets/WarningLook.h"
#include "model/Checks.h"
#include "model/ProductSchema.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPointer>
#include <QTimer>

namespace gui {

FieldEdit::FieldEdit(DataSource &source, std::size_t field, QWidget *parent)
    : QLineEdit(parent)
    , m_source(source)
    , m_field(field)
{
    setUpperCase(false);
    Completion::attach(*this, source, field);
    source.addControl(this);
    connect(&source, &DataSource::changed, this, &FieldEdit::refresh);
    source.attach(this);
    connect(this, &QLineEdit::textEdited, this, &FieldEdit::onTextEdited);
    if (source.checks()) {
        m_warningMark = addAction(warningMark(), QLineEdit::TrailingPosition);
        m_warningMark->setVisible(false);
    }
    refresh();
}

FieldEdit::~FieldEdit()
{
    m_source.table().removeObserver(this);
    m_source.removeControl(this);
}

void FieldEdit::rowAboutToBeRemoved(std::size_t row)
{
    if (row == m_source.table().currentRow())
        m_dirty = false;
}

void FieldEdit::currentChanged()
{
    // Undo belongs to the typing in this record: another record starts with none.
    if (!m_dirty)
        setText(text());
}

void FieldEdit::setUpperCase(bool upper)
{
    const auto &def = m_source.table().schema()[m_field];
    TextLimit::Options options;
    if (upper)
        options |= TextLimit::UpperCase;
    if (m_field == data::TariffNumber)
        options |= TextLimit::TariffNumber;
    delete m_limit;
    m_limit = new TextLimit(this, static_cast<int>(def.maxLength), options);
    setValidator(m_limit);
}

void FieldEdit::refresh()
{
    const data::Table &table = m_source.table();
    setReadOnly(!table.isActive());
    showWarning();
    if (m_dirty)
        return;
    const QString value = table.isActive() && table.rowCount() > 0
                              ? QString::fromStdString(table.text(m_field))
                              : QString();
    if (value != text()) {
        m_limit->allowFor(value);
        setText(value);
    }
}

void FieldEdit::showWarning()
{
    const data::Checks *checks = m_source.checks();
    const data::Table &table = m_source.table();
    const char *reason = checks && table.isActive() && table.rowCount() > 0
                             ? checks->warning(table.currentRow(), m_field)
                             : nullptr;
    if (reason == m_shownWarning)
        return;
    m_shownWarning = reason;
    const QString text = reason ? QString::fromUtf8(reason) : QString();
    setToolTip(text);
    setAccessibleDescription(text);
    m_warningMark->setToolTip(text);
    m_warningMark->setVisible(reason);
    QPalette tinted;
    if (reason)
        tinted.setColor(QPalette::Base, warningTint());
    setPalette(tinted);
}

void FieldEdit::handOver()
{
    if (!m_dirty)
        return;
    m_source.writeTyped(m_field, text().toStdString());
    m_dirty = false;
    refresh();
}

bool FieldEdit::beginEdit()
{
    return guarded(this, [this] { m_source.beginTyping(); });
}

void FieldEdit::onTextEdited()
{
    // A change that did not come through a key press (a drop, the context menu).
    // The box holds typed text before the record changes state, so the refresh keeps it.
    if (!m_dirty) {
        m_dirty = true;
        try {
            m_source.beginTyping();
        } catch (const std::exception &e) {
            showExceptionLater(this, e);
        }
    }
    m_dirty = true;
}

bool FieldEdit::changesText(QKeyEvent *event)
{
    static const QKeySequence::StandardKey editing[] = {
        QKeySequence::Paste,
        QKeySequence::Cut,
        QKeySequence::Undo,
        QKeySequence::Redo,
        QKeySequence::DeleteEndOfWord,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfLine,
        QKeySequence::DeleteCompleteLine,
    };
    for (auto key : editing) {
        if (event->matches(key))
            return true;
    }
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return true;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}

bool FieldEdit::event(QEvent *event)
{
    if (const std::optional<bool> own = takesUndoKey(*this, event, m_dirty))
        return *own;
    return QLineEdit::event(event);
}

void FieldEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_dirty) {
        m_dirty = false;
        refresh();
        m_source.cancelUntouchedEdit();
        return;
    }
    if (!isReadOnly() && changesText(event) && !beginEdit())
        return;
    if (undoKeyPressed(*this, event))
        return;
    if (!isReadOnly() && event->matches(QKeySequence::Paste)) {
        m_limit->paste();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FieldEdit::focusOutEvent(QFocusEvent *event)
{
    m_lastFocusOutReason = event->reason();
    QLineEdit::focusOutEvent(event);
    // Another window taking the focus is not leaving the box.
    if (!m_dirty || event->reason() == Qt::ActiveWindowFocusReason ||
        event->reason() == Qt::PopupFocusReason)
        return;
    try {
        handOver();
    } catch (const std::exception &e) {
        showExceptionLater(this, e);
        QPointer<FieldEdit> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self)
                self->setFocus(Qt::OtherFocusReason);
        });
    }
}

} // namespace gui

#include "gui/widgets/TextLimit.h"

#include "model/Plural.h"
#include "model/TariffNumber.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace gui {

TextLimit::TextLimit(QLineEdit *edit, int maxCodePoints, Options options)
    : QValidator(edit)
    , m_edit(edit)
    , m_max(maxCodePoints)
    , m_allowed(std::max<qsizetype>(maxCodePoints, codePoints(edit->text())))
    , m_options(options)
{
    edit->installEventFilter(this);
}

qsizetype TextLimit::codePoints(const QString &text)
{
    qsizetype n = 0;
    for (QChar c : text) {
        if (!c.isLowSurrogate())
            ++n;
    }
    return n;
}

TextLimit::Fitted TextLimit::fit(QString text, qsizetype room) const
{
    // A copied spreadsheet cell ends in a line break that is no part of its value.
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    const qsizetype length = codePoints(text);
    if (m_max <= 0 || length <= room)
        return {text, {}};
    if (m_options & TariffNumber) {
        const std::optional<std::string> digits =
            data::ungroupedTariffNumber(text.trimmed().toStdString());
        if (digits && static_cast<qsizetype>(digits->size()) <= room)
            return {QString::fromStdString(*digits),
                    u"Tarifni broj upisan je bez razmaka i točaka"_s};
    }
    room = std::max<qsizetype>(room, 0);
    qsizetype units = 0;
    for (qsizetype taken = 0; taken < room; ++taken)
        units += text.at(units).isHighSurrogate() ? 2 : 1;
    const QString note = u"Izostavljeno: %1; polje prima najviše %2"_s.arg(
        QString::fromStdString(data::characterCount(static_cast<std::size_t>(length - room))),
        QString::fromStdString(data::characterCount(static_cast<std::size_t>(m_max))));
    return {text.left(units), note};
}

void TextLimit::insert(const Fitted &fitted) const
{
    m_edit->insert(fitted.text);
    if (fitted.note.isEmpty())
        return;
    QToolTip::showText(m_edit->mapToGlobal(QPoint(0, m_edit->height() / 2)), fitted.note, m_edit);
    emit noted(fitted.note);
}

void TextLimit::paste(QClipboard::Mode mode) const
{
    const qsizetype room =
        m_allowed - codePoints(m_edit->text()) + codePoints(m_edit->selectedText());
    insert(fit(QGuiApplication::clipboard()->text(mode), room));
}

bool TextLimit::eventFilter(QObject *object, QEvent *event)
{
    // Only these events may touch the edit: others come while it is being destroyed too.
    const QEvent::Type type = event->type();
    if (object != m_edit ||
        (type != QEvent::ContextMenu && type != QEvent::Drop &&
         type != QEvent::MouseButtonRelease) ||
        m_edit->isReadOnly())
        return false;
    switch (type) {
    case QEvent::ContextMenu: {
        // The menu's own Paste refuses a text that does not fit as a whole, without a word.
        QMenu *menu = m_edit->createStandardContextMenu();
        const QString pasteText = QLineEdit::tr("&Paste");
        for (QAction *action : menu->actions()) {
            if (action->text().startsWith(pasteText)) { // its shortcut follows
                disconnect(action, &QAction::triggered, nullptr, nullptr);
                connect(action, &QAction::triggered, this, [this] { paste(); });
            }
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QString text = drop->mimeData()->text();
        if (drop->source() == m_edit || text.isNull()) // text moved within the box
            return false;
        const Fitted fitted = fit(text, m_allowed - codePoints(m_edit->text()));
        if (fitted.text == text)
            return false;
        m_edit->deselect();
        m_edit->setCursorPosition(m_edit->cursorPositionAt(drop->position().toPoint()));
        drop->acceptProposedAction();
        insert(fitted);
        return true;
    }
    case QEvent::MouseButtonRelease:
        // X11 pastes the selection with the middle button.
        if (static_cast<QMouseEvent *>(event)->button() != Qt::MiddleButton ||
            !QGuiApplication::clipboard()->supportsSelection())
            return false;
        m_edit->deselect();
        paste(QClipboard::Selection);
        return true;
    default:
        return false;
    }
}

void TextLimit::allowFor(const QString &text)
{
    m_allowed = std::max<qsizetype>(m_max, codePoints(text));
}

QValidator::State TextLimit::validate(QString &input, int &pos) const
{
    if (m_options & UpperCase) {
        const QString upper = input.toUpper();
        if (upper.size() != input.size()) // a letter such as ß became two
            pos = static_cast<int>(upper.size());
        input = upper;
    }
    if (m_max <= 0)
        return Acceptable;
    const qsizetype n = codePoints(input);
    if (n > m_allowed)
        return Invalid;
    m_allowed = std::max<qsizetype>(m_max, n); // what was shortened stays short
    return Acceptable;
}

} // namespace gui

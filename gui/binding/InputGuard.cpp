#include "gui/binding/InputGuard.h"

#include "gui/dialogs/ExceptionBox.h"
#include "model/Table.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace gui {

InputGuard::InputGuard(QObject *parent)
    : QObject(parent)
{
}

namespace {

// The widget a click on `window` is for.
QWidget *widgetUnder(QWindow *window, QEvent *event)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() == window) {
            QWidget *child = top->childAt(static_cast<QMouseEvent *>(event)->position().toPoint());
            return child ? child : top;
        }
    }
    return nullptr;
}

// The widget that holds the typed text `event` would take the focus from, or nullptr.
QWidget *leftBy(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        QWidget *focus = QApplication::focusWidget();
        return watched == focus && (key == Qt::Key_Tab || key == Qt::Key_Backtab) ? focus : nullptr;
    }
    // Qt gives the focus to the clicked widget before any event filter of a widget sees the
    // click, so the click is caught where it enters the window.
    auto *window = qobject_cast<QWindow *>(watched);
    QWidget *target = window ? widgetUnder(window, event) : nullptr;
    // The widget the click would give the focus to, as Qt finds it.
    while (target && !(target->isEnabled() && (target->focusPolicy() & Qt::ClickFocus)))
        target = target->isWindow() ? nullptr : target->parentWidget();
    if (!target)
        return nullptr;
    // The window's own focus widget: a click may land on a window that is not active.
    QWidget *focus = target->window()->focusWidget();
    if (!focus || target == focus || target->isAncestorOf(focus) || focus->isAncestorOf(target))
        return nullptr;
    return focus;
}

} // namespace

bool InputGuard::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::KeyPress)
        return false;
    QWidget *focus = leftBy(watched, event);
    auto *input = dynamic_cast<data::TypedInput *>(focus);
    if (!input || !input->hasPendingInput())
        return false;
    try {
        input->handOver();
        return false;
    } catch (const std::exception &e) {
        showExceptionLater(focus, e);
        return true;
    }
}

} // namespace gui

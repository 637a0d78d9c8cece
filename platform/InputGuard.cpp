#include "platform/InputGuard.h"

#include "platform/Guard.h"
#include "platform/PendingInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace platform {

InputGuard::InputGuard(QObject *parent)
    : QObject(parent)
{
}

bool InputGuard::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::KeyPress)
        return false;
    QWidget *focus = QApplication::focusWidget();
    auto *input = dynamic_cast<PendingInput *>(focus);
    if (!input || !input->hasPendingInput())
        return false;

    if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (watched != focus || (key != Qt::Key_Tab && key != Qt::Key_Backtab))
            return false;
    } else {
        // Qt gives the focus to the clicked widget before any event filter of a widget sees
        // the click, so the click is caught where it enters the window.
        auto *window = qobject_cast<QWindow *>(watched);
        if (!window)
            return false;
        QWidget *target = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->windowHandle() == window) {
                const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
                target = top->childAt(at);
                if (!target)
                    target = top;
                break;
            }
        }
        // The widget the click would give the focus to, as Qt finds it.
        while (target && !(target->isEnabled() && (target->focusPolicy() & Qt::ClickFocus)))
            target = target->isWindow() ? nullptr : target->parentWidget();
        if (!target || target == focus || target->isAncestorOf(focus) ||
            focus->isAncestorOf(target) || target->window() != focus->window())
            return false;
    }
    try {
        input->handOver();
        return false;
    } catch (const std::exception &e) {
        showExceptionLater(focus, e);
        return true;
    }
}

} // namespace platform

#include "platform/InputGuard.h"

#include "platform/Guard.h"
#include "platform/PendingInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace platform {

InputGuard::InputGuard(QObject *parent)
    : QObject(parent) {}

bool InputGuard::eventFilter(QObject *watched, QEvent *event) {
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
        // The widget the click would give the focus to, as Qt finds it.
        auto *target = qobject_cast<QWidget *>(watched);
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

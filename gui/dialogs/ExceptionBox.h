#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace gui {

// The text of an exception as the clerk should read it (the core's messages are UTF-8).
QString exceptionText(const std::exception &e);

// Shows an exception in the standard exception box.
void showException(QWidget *parent, const std::exception &e);

// The same once control is back in the event loop: a modal box must not open inside a
// focus-out event or a model write.
void showExceptionLater(QWidget *parent, const std::exception &e);

// Runs a handler and shows whatever escapes it, so no exception unwinds through Qt's event
// loop. Returns false when the handler threw.
template <typename F> bool guarded(QWidget *parent, F &&handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception &e) {
        showException(parent, e);
        return false;
    }
}

} // namespace gui

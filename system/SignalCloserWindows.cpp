#include "system/SignalCloser.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QWindow>

#include <atomic>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace os {

namespace {

SignalCloser *g_closer = nullptr;
std::atomic<bool> g_closeDone{false};

bool anyWindowShown()
{
    for (const QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible())
            return true;
    }
    return false;
}

// Windows ends the process soon after the end of a session is announced: the close runs to its
// end before the answer, as far as the system waits.
void closeNow(int waitMs)
{
    emit g_closer->closeRequested();
    const QDeadlineTimer deadline(waitMs);
    while (anyWindowShown() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

class EndOfSession : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray &, void *message, qintptr *) override
    {
        const auto *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_QUERYENDSESSION && g_closer && !m_closing) {
            m_closing = true;
            closeNow(15000);
        }
        return false; // Qt's own handling follows
    }

private:
    bool m_closing = false;
};

EndOfSession g_endOfSession;

// Runs on a thread of the system's: the close is handed to the event loop, and a closing console
// or session waits for it, since the process ends when this returns.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (!g_closer)
        return FALSE;
    QMetaObject::invokeMethod(g_closer, &SignalCloser::closeRequested, Qt::QueuedConnection);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        for (int waited = 0; waited < 4500 && !g_closeDone; waited += 50)
            ::Sleep(50);
    }
    return TRUE;
}

} // namespace

SignalCloser::SignalCloser(QObject *parent)
    : QObject(parent)
{
    if (g_closer)
        return; // one at a time per process
    g_closer = this;
    g_closeDone = false;
    QCoreApplication::instance()->installNativeEventFilter(&g_endOfSession);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

SignalCloser::~SignalCloser()
{
    if (g_closer != this)
        return;
    g_closeDone = true;
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    QCoreApplication::instance()->removeNativeEventFilter(&g_endOfSession);
    g_closer = nullptr;
}

void SignalCloser::onReadable() {}

} // namespace os

#pragma once

#include <QObject>

class QSocketNotifier;

namespace os {

// Turns the system's request to end the program into a signal on the event loop, so that a
// logout or a shutdown closes it in order instead of killing it: SIGTERM, SIGHUP and SIGINT on
// Unix; the end of the session and a console's Ctrl+C or closing on Windows. One at a time per
// process; what was there before comes back when it goes.
class SignalCloser : public QObject {
    Q_OBJECT

public:
    explicit SignalCloser(QObject *parent = nullptr);
    ~SignalCloser() override;

signals:
    void closeRequested();

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace os

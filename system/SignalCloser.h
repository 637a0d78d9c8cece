#pragma once

#include <QObject>

class QSocketNotifier;

namespace os {

// Turns SIGTERM, SIGHUP and SIGINT into a signal on the event loop, so that a logout or a
// shutdown closes the program in order instead of killing it. One at a time per process; the
// handlers that were there before come back when it goes. Unix only: elsewhere it never fires.
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

#include "system/SignalCloser.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace os {

namespace {

constexpr std::array handledSignals{SIGTERM, SIGHUP, SIGINT};

int g_sockets[2] = {-1, -1};
std::array<struct sigaction, handledSignals.size()> g_previous;

extern "C" void onUnixSignal(int)
{
    // Only what is safe in a signal handler: one byte to the event loop.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_sockets[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

SignalCloser::SignalCloser(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_sockets) != 0)
        return;
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalCloser::onReadable);

    struct sigaction action = {};
    action.sa_handler = onUnixSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &action, &g_previous[i]);
}

SignalCloser::~SignalCloser()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_sockets[0]);
    ::close(g_sockets[1]);
    g_sockets[0] = g_sockets[1] = -1;
}

void SignalCloser::onReadable()
{
    char bytes[16];
    while (::read(g_sockets[1], bytes, sizeof bytes) > 0) {
    }
    emit closeRequested();
}

} // namespace os

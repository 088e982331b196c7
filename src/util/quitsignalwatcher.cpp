// SPDX-License-Identifier: GPL-3.0-or-later
#include "quitsignalwatcher.h"

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

// The handler may only do async-signal-safe work: it writes one byte that
// the event loop then reads.
int s_pipe[2] = {-1, -1};

constexpr int watchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

} // namespace

QuitSignalWatcher::QuitSignalWatcher(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(s_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignalWatcher::readSignal);

    struct sigaction action {};
    action.sa_handler = &QuitSignalWatcher::handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : watchedSignals)
        ::sigaction(signal, &action, nullptr);
}

QuitSignalWatcher::~QuitSignalWatcher()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : watchedSignals)
        ::sigaction(signal, &action, nullptr);
    for (int &end : s_pipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void QuitSignalWatcher::handleSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[0], &byte, 1);
}

void QuitSignalWatcher::readSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t read = ::read(s_pipe[1], &byte, 1);
    emit quitRequested(static_cast<unsigned char>(byte));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit on the event loop,
// so a logout or a Ctrl+C in the terminal still stops a running encoder,
// removes its unfinished file and empties the temporary folder.
class QuitSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignalWatcher(QObject *parent = nullptr);
    ~QuitSignalWatcher() override;

signals:
    // `signal` is the one that asked, for an exit status of 128 and its number.
    void quitRequested(int signal);

private:
    static void handleSignal(int signal);
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

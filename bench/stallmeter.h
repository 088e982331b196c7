// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The longest time the event loop did not run: a timer asks to fire every
// few milliseconds, and a tick can only come late while the loop is busy
// elsewhere, so the largest lateness is the longest the window could not
// have answered the user, painted or moved a knob.
class StallMeter : public QObject
{
public:
    static constexpr int intervalMs = 10;

    StallMeter();

    // Forgets the longest stall so far and starts ticking.
    void start();
    void stop();
    // The largest gap between two ticks, the one still open included, less
    // the interval.
    double longestMs() const;

private:
    void tick();
    qint64 openGapNs() const;

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = 0;
    qint64 m_longestNs = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "stallmeter.h"

#include <algorithm>

namespace {

constexpr qint64 intervalNs = qint64(StallMeter::intervalMs) * 1000 * 1000;

} // namespace

StallMeter::StallMeter()
{
    // A coarse timer may be moved by up to 5 % to save wake-ups; that
    // lateness would be the timer's, not the app's.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &StallMeter::tick);
}

void StallMeter::start()
{
    m_longestNs = 0;
    m_lastTickNs = 0;
    m_clock.start();
    m_timer.start();
}

void StallMeter::stop()
{
    m_longestNs = std::max(m_longestNs, openGapNs());
    m_timer.stop();
}

double StallMeter::longestMs() const
{
    const qint64 longest = m_timer.isActive() ? std::max(m_longestNs, openGapNs()) : m_longestNs;
    return static_cast<double>(longest) / 1.0e6;
}

void StallMeter::tick()
{
    m_longestNs = std::max(m_longestNs, openGapNs());
    m_lastTickNs = m_clock.nsecsElapsed();
}

qint64 StallMeter::openGapNs() const
{
    return std::max<qint64>(0, m_clock.nsecsElapsed() - m_lastTickNs - intervalNs);
}

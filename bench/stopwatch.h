// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>

#include <QElapsedTimer>

// What one measured action cost: its wall time and the CPU time this
// process spent meanwhile.
struct Cost {
    double wallMs = 0.0;
    double ownCpuMs = 0.0;
};

// Starts on construction; elapsed() may be read any number of times.
class Stopwatch
{
public:
    Stopwatch();

    void restart();
    Cost elapsed() const;

    // The cost of `action`, or none when it failed.
    static std::optional<Cost> timed(const std::function<bool()> &action);

private:
    QElapsedTimer m_wall;
    double m_ownCpuAtStart = 0.0;
};

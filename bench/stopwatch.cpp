// SPDX-License-Identifier: GPL-3.0-or-later
#include "stopwatch.h"

#include "resourceusage.h"

Stopwatch::Stopwatch()
{
    restart();
}

void Stopwatch::restart()
{
    m_ownCpuAtStart = ResourceUsage::cpuMs(ResourceUsage::Whose::Self);
    m_wall.start();
}

Cost Stopwatch::elapsed() const
{
    Cost cost;
    cost.wallMs = static_cast<double>(m_wall.nsecsElapsed()) / 1.0e6;
    cost.ownCpuMs = ResourceUsage::cpuMs(ResourceUsage::Whose::Self) - m_ownCpuAtStart;
    return cost;
}

std::optional<Cost> Stopwatch::timed(const std::function<bool()> &action)
{
    const Stopwatch watch;
    if (!action())
        return std::nullopt;
    return watch.elapsed();
}

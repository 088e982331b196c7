// SPDX-License-Identifier: GPL-3.0-or-later
#include "samples.h"

#include <algorithm>

void Samples::add(const Cost &cost)
{
    m_wallMs.append(cost.wallMs);
    m_ownCpuMs.append(cost.ownCpuMs);
}

void Samples::add(const std::optional<Cost> &cost)
{
    if (cost)
        add(*cost);
    else
        addFailure();
}

void Samples::addFailure()
{
    ++m_failures;
}

int Samples::count() const
{
    return static_cast<int>(m_wallMs.size());
}

int Samples::failures() const
{
    return m_failures;
}

double Samples::medianWallMs() const
{
    return median(m_wallMs);
}

double Samples::medianOwnCpuMs() const
{
    return median(m_ownCpuMs);
}

double Samples::median(QList<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 == 1 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2.0;
}

double Samples::largest(const QList<double> &values)
{
    return values.isEmpty() ? 0.0 : *std::max_element(values.cbegin(), values.cend());
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>

#include "stopwatch.h"

// The repeated costs of one action, summarised by their medians.
class Samples
{
public:
    void add(const Cost &cost);
    void addFailure();
    // A cost, or a failure where there is none.
    void add(const std::optional<Cost> &cost);

    int count() const;
    int failures() const;
    double medianWallMs() const;
    double medianOwnCpuMs() const;

    static double median(QList<double> values);
    // 0 for no values.
    static double largest(const QList<double> &values);

private:

    QList<double> m_wallMs;
    QList<double> m_ownCpuMs;
    int m_failures = 0;
};

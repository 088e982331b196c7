// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include "stopwatch.h"

// The repeated costs of one action, summarised by their medians.
class Samples
{
public:
    void add(const Cost &cost);
    void addFailure();

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

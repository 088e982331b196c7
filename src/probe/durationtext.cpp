// SPDX-License-Identifier: GPL-3.0-or-later
#include "durationtext.h"

#include <cmath>

namespace {

QString twoDigits(qint64 value)
{
    return value < 10 ? QLatin1Char('0') + QString::number(value) : QString::number(value);
}

} // namespace

QString durationText(double seconds)
{
    // Largest double below 2^63, so the whole seconds fit a qint64.
    constexpr double largest = 9223372036854774784.0;
    if (!(seconds > 0))
        seconds = 0;
    if (seconds > largest)
        seconds = largest;

    const qint64 whole = static_cast<qint64>(seconds);
    // 'f' with two decimals renders with a point whatever the locale.
    const QString rendered = QString::number(seconds, 'f', 2);
    const QString hundredths = rendered.mid(rendered.lastIndexOf(QLatin1Char('.')) + 1);

    const qint64 hours = whole / 3600;
    const QString hoursText = whole < 36000 ? QLatin1Char('0') + QString::number(hours) : QString::number(hours);
    return hoursText + QLatin1Char(':') + twoDigits((whole / 60) % 60) + QLatin1Char(':')
           + twoDigits(whole % 60) + QLatin1Char('.') + hundredths;
}

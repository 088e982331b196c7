// SPDX-License-Identifier: GPL-3.0-or-later
#include "timetext.h"

#include <cmath>
#include <cstdint>

namespace {

// Beyond this many milliseconds the count no longer fits a 64-bit integer.
constexpr double largestMilliseconds = 9.0e18;

QString positionalText(std::int64_t milliseconds)
{
    const std::int64_t wholeSeconds = milliseconds / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(wholeSeconds / 3600)
        .arg(wholeSeconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(wholeSeconds % 60, 2, 10, QLatin1Char('0'))
        .arg(milliseconds % 1000, 3, 10, QLatin1Char('0'));
}

}

QString timeTextFromSeconds(double seconds)
{
    if (!std::isfinite(seconds))
        return {};
    const double magnitude = std::round(std::fabs(seconds) * 1000.0);
    if (magnitude >= largestMilliseconds)
        return {};
    const auto milliseconds = static_cast<std::int64_t>(magnitude);
    const QString text = positionalText(milliseconds);
    return seconds < 0 && milliseconds > 0 ? QLatin1Char('-') + text : text;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "timetext.h"

#include <cmath>
#include <cstdint>

#include <QRegularExpression>

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

std::optional<double> secondsFromTimeText(const QString &text)
{
    // Hours and minutes are bounded in length so that the sum stays exact to the millisecond.
    static const QRegularExpression shape(QStringLiteral(
        "^(?:(?:([0-9]{1,6}):)?([0-9]{1,2}):)?([0-9]{1,9})(?:[.,]([0-9]{0,9}))?$"));
    const QRegularExpressionMatch match = shape.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const bool hasMinutes = match.capturedLength(2) > 0;
    const bool hasHours = match.capturedLength(1) > 0;
    const int minutes = match.captured(2).toInt();
    const double seconds = (match.captured(3) + QLatin1Char('.') + match.captured(4) + QLatin1Char('0')).toDouble();
    if ((hasMinutes && seconds >= 60.0) || (hasHours && minutes >= 60))
        return std::nullopt;
    return match.captured(1).toDouble() * 3600.0 + minutes * 60.0 + seconds;
}

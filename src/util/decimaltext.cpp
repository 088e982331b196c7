// SPDX-License-Identifier: GPL-3.0-or-later
#include "decimaltext.h"

#include <charconv>
#include <cmath>

namespace {

constexpr double smallestPlainMagnitude = 1e-4;
// From 2^53 on, not every integer is a double: exponent form says so.
constexpr double largestPlainMagnitude = 9007199254740992.0;

QString shortestText(double value, std::chars_format format)
{
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

}

QString decimalText(double value)
{
    if (!std::isfinite(value))
        return shortestText(value, std::chars_format::general);
    const double magnitude = std::fabs(value);
    if (magnitude != 0.0 && (magnitude < smallestPlainMagnitude || magnitude >= largestPlainMagnitude))
        return shortestText(value, std::chars_format::scientific);
    QString text = shortestText(value, std::chars_format::fixed);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QString secondsArgument(double seconds)
{
    // Adding 0.0 turns a negative zero into zero.
    QString text = QString::number(std::round(seconds * 1e6) / 1e6 + 0.0, 'f', 6);
    while (text.endsWith(QLatin1Char('0')) && text.at(text.size() - 2) != QLatin1Char('.'))
        text.chop(1);
    return text;
}

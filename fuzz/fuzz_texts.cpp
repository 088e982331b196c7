// SPDX-License-Identifier: GPL-3.0-or-later
// Checks the number and time texts on arbitrary doubles: every eight bytes of
// the input as a raw double, and the whole input read as a decimal number,
// which reaches the values people type more often than raw bits do.
//
// - decimalText reads back as the same double with std::strtod and with
//   QLocale::c(), and always has a point or an exponent (the encoder reads it
//   as seconds);
// - timeTextFromSeconds gives -?H+:MM:SS.mmm within a rounding of the value,
//   or the empty text for a value it cannot count in milliseconds;
// - durationText gives HH:MM:SS.hh for anything;
// - secondsFromTimeText, on the whole input as typed text, gives a finite
//   time of 0 or more, or none, and reads its own time text back to within
//   a rounding of it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <QByteArray>
#include <QLocale>
#include <QRegularExpression>
#include <QString>

#include "decimaltext.h"
#include "durationtext.h"
#include "timetext.h"

namespace {

// The largest magnitude the time text counts in milliseconds; beyond it the
// text is empty.
constexpr double largestTimeTextSeconds = 9.0e15;

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void checkDecimalText(double value)
{
    const QString text = decimalText(value);
    if (!std::isfinite(value))
        return;
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        __builtin_trap();
    const QByteArray bytes = text.toLatin1();
    char *end = nullptr;
    const double parsed = std::strtod(bytes.constData(), &end);
    if (end != bytes.constData() + bytes.size() || !sameBits(parsed, value))
        __builtin_trap();
    bool ok = false;
    const double localeParsed = QLocale::c().toDouble(text, &ok);
    if (!ok || localeParsed != value)
        __builtin_trap();
}

void checkTimeText(double seconds)
{
    static const QRegularExpression shape(QStringLiteral("^(-?)(\\d+):([0-5]\\d):([0-5]\\d)\\.(\\d{3})$"));
    const QString text = timeTextFromSeconds(seconds);
    if (!std::isfinite(seconds)) {
        if (!text.isEmpty())
            __builtin_trap();
        return;
    }
    const double magnitude = std::fabs(seconds);
    if (magnitude >= largestTimeTextSeconds)
        return;
    const QRegularExpressionMatch match = shape.match(text);
    if (!match.hasMatch())
        __builtin_trap();
    // The sign shows exactly when the value rounds to a negative millisecond
    // count; right at half a millisecond either way is fine.
    const bool negative = !match.captured(1).isEmpty();
    const bool roundsToZero = magnitude < 0.0005 * (1.0 - 1e-12);
    const bool roundsAwayFromZero = magnitude > 0.0005 * (1.0 + 1e-12);
    if ((negative && (seconds > 0.0 || roundsToZero)) || (!negative && seconds < 0.0 && roundsAwayFromZero))
        __builtin_trap();
    const double read = ((match.captured(2).toDouble() * 60.0 + match.captured(3).toDouble()) * 60.0
                         + match.captured(4).toDouble())
        + match.captured(5).toDouble() / 1000.0;
    // Half a millisecond of rounding, plus the error of counting in doubles.
    if (std::fabs(read - magnitude) > 0.0005 + magnitude * 1e-15 + 1e-12)
        __builtin_trap();
}

void checkDurationText(double seconds)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{2,}:\\d{2}:\\d{2}\\.\\d{2}$"));
    if (!shape.match(durationText(seconds)).hasMatch())
        __builtin_trap();
}

void checkAll(double value)
{
    checkDecimalText(value);
    checkTimeText(value);
    checkDurationText(value);
}

void checkTypedTime(const QString &typed)
{
    const std::optional<double> seconds = secondsFromTimeText(typed);
    if (!seconds)
        return;
    if (!std::isfinite(*seconds) || *seconds < 0.0)
        __builtin_trap();
    // In the last hour it reads, rounding may carry into one it does not.
    if (*seconds >= 999999.0 * 3600.0)
        return;
    const std::optional<double> again = secondsFromTimeText(timeTextFromSeconds(*seconds));
    if (!again || std::fabs(*again - *seconds) > 0.0005 + *seconds * 1e-15)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (std::size_t offset = 0; offset + sizeof(double) <= size; offset += sizeof(double)) {
        double value = 0.0;
        std::memcpy(&value, data + offset, sizeof value);
        checkAll(value);
    }
    const std::string typed(reinterpret_cast<const char *>(data), size);
    checkAll(std::strtod(typed.c_str(), nullptr));
    checkTypedTime(QString::fromUtf8(typed.data(), static_cast<qsizetype>(typed.size())));
    return 0;
}

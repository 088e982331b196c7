// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the encoder's progress reader as if they were its
// error stream, cut into chunks. Whatever arrives, a bar value must be a
// finite percentage from 0 to 100, and a time code the pattern matched must
// convert to a clock reading the pattern's digits allow.
//
// Input layout: the first byte picks the output duration (one of a few
// telling values, or the next eight bytes as a raw double); the rest is the
// stream, cut into chunks at every 0xFF byte, which is never part of UTF-8.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "diagnosticlog.h"
#include "encoderprogress.h"
#include "utils.h"

namespace {

const QString timeCodePattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");
// 99:99:99.99, the largest reading two digits per field allow.
constexpr double largestTimeCode = 99 * 3600.0 + 99 * 60.0 + 99.99;

constexpr double telling[] = {
    20.0, 0.0, -1.0, -0.0, 7.5, 0.01, 1e-300, 5e-324, 1e300,
    std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
};
constexpr std::size_t tellingCount = sizeof telling / sizeof telling[0];

double outputDuration(const uint8_t *&data, std::size_t &size)
{
    const std::size_t choice = data[0] % (tellingCount + 1);
    ++data;
    --size;
    if (choice < tellingCount || size < sizeof(double))
        return telling[choice % tellingCount];
    double raw = 0.0;
    std::memcpy(&raw, data, sizeof raw);
    data += sizeof raw;
    size -= sizeof raw;
    return raw;
}

QList<QByteArray> chunks(const uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)).split('\xff');
}

void checkBarValue(const std::optional<double> &percent)
{
    if (!percent)
        return;
    if (!std::isfinite(*percent) || *percent < 0.0 || *percent > 100.0)
        __builtin_trap();
    const long bar = std::lround(*percent);
    if (bar < 0 || bar > 100)
        __builtin_trap();
}

int digitsAt(const QString &text, qsizetype position)
{
    return text.at(position).digitValue() * 10 + text.at(position + 1).digitValue();
}

// Every match is HH:MM:SS?CC. With a point in the separator's place the
// reading is exact; with anything else it may be refused, but a value given
// must still lie within what the digits allow.
void checkTimeCodes(const QString &text)
{
    const QStringList matches = Utils::regexMatches(timeCodePattern, text);
    for (const QString &match : matches) {
        if (match.size() != 11)
            __builtin_trap();
        const std::optional<double> seconds = Utils::secondsFromTimeCode(match);
        if (seconds && (!std::isfinite(*seconds) || *seconds < 0.0 || *seconds > largestTimeCode))
            __builtin_trap();
        if (match.at(8) != QLatin1Char('.'))
            continue;
        const double expected = digitsAt(match, 0) * 3600.0
            + (digitsAt(match, 3) * 60.0 + (digitsAt(match, 9) / 100.0 + digitsAt(match, 6)));
        if (!seconds || *seconds != expected)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // An invalid pattern below prints its diagnostic; keep it off the output.
    DiagnosticLog::Capture quiet;
    const double duration = outputDuration(data, size);

    EncoderProgress progress(duration);
    const QList<QByteArray> pieces = chunks(data, size);
    for (const QByteArray &chunk : pieces)
        checkBarValue(progress.feed(chunk));
    checkTimeCodes(QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    (void)progress.errorTail();
    (void)progress.errorTail(-1);

    // Arbitrary text as a pattern: an invalid one is reported, never fatal.
    if (!pieces.isEmpty())
        (void)Utils::regexMatches(QString::fromUtf8(pieces.first()), QString::fromUtf8(pieces.last()));
    (void)Utils::secondsFromTimeCode(QString::fromUtf8(pieces.last()));
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "utils.h"

#include <charconv>
#include <cmath>

#include <QRegularExpression>

#include "diagnosticlog.h"

namespace {

// A plain decimal number with a point, whatever the locale: the whole piece
// must be consumed, and white space, signs other than a leading minus,
// infinities and NaN are refused.
std::optional<double> numberFromPiece(const QString &piece)
{
    const QByteArray bytes = piece.toUtf8();
    const char *const begin = bytes.constData();
    const char *const end = begin + bytes.size();
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(begin, end, value, std::chars_format::fixed);
    if (bytes.isEmpty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}

QStringList Utils::regexMatches(const QString &pattern, const QString &text)
{
    const QRegularExpression expression(pattern);
    if (!expression.isValid()) {
        DiagnosticLog::print(QStringLiteral("invalid regex: ") + expression.errorString());
        return {};
    }
    QStringList matches;
    QRegularExpressionMatchIterator it = expression.globalMatch(text);
    while (it.hasNext())
        matches.append(it.next().captured(0));
    return matches;
}

std::optional<double> Utils::secondsFromTimeCode(const QString &timeCode)
{
    const QStringList pointPieces = timeCode.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (pointPieces.size() < 2)
        return std::nullopt;
    const QStringList clockPieces = pointPieces.first().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (clockPieces.size() < 2)
        return std::nullopt;

    const std::optional<double> hours = numberFromPiece(clockPieces.at(0));
    const std::optional<double> minutes = numberFromPiece(clockPieces.at(1));
    const std::optional<double> seconds = numberFromPiece(clockPieces.last());
    const std::optional<double> hundredths = numberFromPiece(pointPieces.last());
    if (!hours || !minutes || !seconds || !hundredths)
        return std::nullopt;
    return *hours * 3600.0 + (*minutes * 60.0 + (*hundredths / 100.0 + *seconds));
}

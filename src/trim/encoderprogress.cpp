// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoderprogress.h"

#include <algorithm>
#include <cmath>

#include <QStringDecoder>

#include "utils.h"

namespace {

const QString timeMarker = QStringLiteral("time=");
const QString timeCodePattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");

// Enough for any failure message; older lines are dropped.
constexpr qsizetype keptLineCount = 64;
// An encoder that never ends a line must not make the carried text grow
// without bound.
constexpr qsizetype longestIncompleteLine = 64 * 1024;

std::optional<QString> decodedUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

qsizetype lastLineBreak(const QByteArray &bytes)
{
    return std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
}

// "frame=  25 fps=0.0 ... time=00:00:01.00 bitrate=... speed=...": progress, which says nothing of a failure.
bool isStatusLine(const QString &line)
{
    return line.contains(timeMarker) && line.contains(QLatin1String("speed="));
}

bool hasLineBreakAfter(const QString &text, qsizetype position)
{
    return text.indexOf(QLatin1Char('\n'), position) >= 0
        || text.indexOf(QLatin1Char('\r'), position) >= 0;
}

}

EncoderProgress::EncoderProgress(double outputDuration)
    : m_outputDuration(outputDuration)
{
}

std::optional<double> EncoderProgress::feed(const QByteArray &chunk)
{
    // A status line cut in two by the chunking is read again together with
    // its end, unless its time code has already been read.
    const QByteArray pending = m_incompleteLine + chunk;
    const QByteArray examined = m_incompleteLineRead ? chunk : pending;
    keepLines(pending);

    const std::optional<QString> text = decodedUtf8(examined);
    const qsizetype marker = text ? text->indexOf(timeMarker) : -1;
    const std::optional<double> percent = marker >= 0 ? percentAfter(*text, marker) : std::nullopt;
    if (percent && !hasLineBreakAfter(*text, marker))
        m_incompleteLineRead = true;
    else if (lastLineBreak(chunk) >= 0)
        m_incompleteLineRead = false;
    return percent;
}

std::optional<double> EncoderProgress::percentAfter(const QString &text, qsizetype marker) const
{
    if (!std::isfinite(m_outputDuration) || m_outputDuration <= 0.0)
        return std::nullopt;
    const QString afterMarker = text.mid(marker + timeMarker.size());
    const QStringList timeCodes = Utils::regexMatches(timeCodePattern, afterMarker);
    if (timeCodes.isEmpty() || !afterMarker.startsWith(timeCodes.first()))
        return std::nullopt;
    const std::optional<double> seconds = Utils::secondsFromTimeCode(timeCodes.first());
    if (!seconds)
        return std::nullopt;
    return std::clamp(*seconds / m_outputDuration * 100.0, 0.0, 100.0);
}

// `pending` is the unfinished line carried over followed by the new chunk.
void EncoderProgress::keepLines(QByteArray pending)
{
    const qsizetype lastBreak = lastLineBreak(pending);
    if (lastBreak >= 0) {
        const QString complete =
            QString::fromUtf8(pending.left(lastBreak)).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        const QStringList lines = complete.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            const QString trimmed = line.trimmed();
            if (!trimmed.isEmpty() && !isStatusLine(trimmed))
                m_lines.append(trimmed);
        }
        if (m_lines.size() > keptLineCount)
            m_lines.remove(0, m_lines.size() - keptLineCount);
        pending.remove(0, lastBreak + 1);
    }
    if (pending.size() > longestIncompleteLine)
        pending.remove(0, pending.size() - longestIncompleteLine);
    m_incompleteLine = pending;
}

QString EncoderProgress::errorTail(int lineCount) const
{
    QStringList lines = m_lines;
    const QString incomplete = QString::fromUtf8(m_incompleteLine).trimmed();
    if (!incomplete.isEmpty() && !isStatusLine(incomplete))
        lines.append(incomplete);
    const qsizetype first = std::max<qsizetype>(0, lines.size() - std::max(lineCount, 0));
    return lines.mid(first).join(QLatin1Char('\n'));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "trimcommand.h"

#include "decimaltext.h"
#include "diagnosticlog.h"
#include "timetext.h"
#include "trackmap.h"

namespace {

// A copy runs from where it enters the input, a re-encode from the output seek on: either ends at the end,
// a copy a tolerance before it, so that a packet decoded just at the end, after the sum's rounding, stays out.
// Without a seek of its own the input is entered at the start, written to the millisecond, from which the
// length counts. The clipped subtitles are inputs of their own, with no seek, before any output option.
QStringList segmentArguments(const TrimParameters &parameters, const TrackMap &tracks)
{
    const Timeline::Seek seek = parameters.seek.value_or(Timeline::Seek{parameters.startSeconds(), 0.0});
    const QString entry = parameters.seek ? secondsArgument(seek.input) : timeTextFromSeconds(seek.input);
    const double entered = parameters.seek ? seek.input : secondsFromTimeText(entry).value_or(0.0);
    QStringList arguments = QStringList{QStringLiteral("-ss"), entry, QStringLiteral("-i"), parameters.inputPath}
        + tracks.clipInputArguments();
    if (seek.output > 0)
        arguments << QStringLiteral("-ss") << secondsArgument(seek.output);
    const double from = parameters.forceEncode ? entered + seek.output : entered;
    const double to = parameters.forceEncode ? parameters.endSeconds() : parameters.endSeconds() - Timeline::tolerance;
    return arguments << QStringLiteral("-t") << secondsArgument(to - from);
}

QStringList streamCopyArguments()
{
    return {QStringLiteral("-c"), QStringLiteral("copy")};
}

bool mapsTracks(const TrimParameters &parameters)
{
    return parameters.videoStream >= 0;
}

QStringList reencodeArguments(const TrimParameters &parameters)
{
    // Each frame once, at its own time: MP4 makes the encoder keep a constant rate, which repeats the first
    // frame where the start lies between two, and drops or repeats frames of a variable rate.
    QStringList arguments{QStringLiteral("-sn"), QStringLiteral("-dn"),
                          QStringLiteral("-map_chapters"), QStringLiteral("-1"),
                          QStringLiteral("-map_metadata"), QStringLiteral("-1"),
                          QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                          QStringLiteral("-fps_mode"), QStringLiteral("passthrough")};
    // With maps each track is down-mixed by itself: "-ac 2" would make a mono track stereo.
    if (!mapsTracks(parameters) && parameters.hasAudioTrack && parameters.hasAudioTrackWhichHasMoreThanTwoChannels)
        arguments << QStringLiteral("-ac") << QStringLiteral("2");
    return arguments;
}

// The video, then the tracks kept; nothing when the encoder is to choose.
QStringList mapArguments(const TrimParameters &parameters, const TrackMap &tracks)
{
    if (!mapsTracks(parameters))
        return {};
    return QStringList{QStringLiteral("-map"), QStringLiteral("0:%1").arg(parameters.videoStream)}
        + tracks.mapArguments();
}

QStringList outputArguments(const TrimParameters &parameters)
{
    return {QStringLiteral("-avoid_negative_ts"), QStringLiteral("1"),
            QStringLiteral("-y"), parameters.outputPath};
}

QString escapedCharacter(QChar c)
{
    switch (c.unicode()) {
    case u'"':
        return QStringLiteral("\\\"");
    case u'\\':
        return QStringLiteral("\\\\");
    case u'\n':
        return QStringLiteral("\\n");
    case u'\t':
        return QStringLiteral("\\t");
    case u'\r':
        return QStringLiteral("\\r");
    default:
        break;
    }
    if (c.category() == QChar::Other_Control)
        return QStringLiteral("\\u{") + QString::number(c.unicode(), 16).toUpper() + QLatin1Char('}');
    return QString(c);
}

QString quoted(const QString &argument)
{
    QString text = QStringLiteral("\"");
    for (const QChar c : argument)
        text += escapedCharacter(c);
    return text + QLatin1Char('"');
}

}

QStringList TrimCommand::trimArguments(const TrimParameters &parameters)
{
    const TrackMap tracks(parameters.keptTracks, parameters.outputSuffix,
                          parameters.forceEncode ? TrackMap::Mode::Reencode : TrackMap::Mode::Copy,
                          mapsTracks(parameters) ? parameters.subtitleFolder : QString());
    const QString videoMap = QStringLiteral("0:%1").arg(parameters.videoStream);
    return segmentArguments(parameters, tracks) + mapArguments(parameters, tracks)
        + (parameters.forceEncode ? reencodeArguments(parameters) : streamCopyArguments())
        + (mapsTracks(parameters) ? tracks.streamSettings(0, videoMap) : QStringList()) + outputArguments(parameters);
}

// An input seek counts from the file's start, and puts the time it seeks to at zero, where the input is
// entered before the start too.
double TrimCommand::timeZero(const TrimParameters &parameters)
{
    return parameters.startTime + (parameters.seek ? parameters.seek->input : parameters.startSeconds());
}

QString TrimCommand::diagnosticLine(const QStringList &arguments)
{
    QStringList quotedArguments;
    quotedArguments.reserve(arguments.size());
    for (const QString &argument : arguments)
        quotedArguments.append(quoted(argument));
    return QLatin1Char('[') + quotedArguments.join(QStringLiteral(", ")) + QLatin1Char(']');
}

void TrimCommand::print(const QString &tool, const QStringList &arguments)
{
    DiagnosticLog::print(tool + QLatin1Char(' ') + diagnosticLine(arguments));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "trimjob.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>

#include "containersuffix.h"
#include "diagnosticlog.h"
#include "encoderrun.h"
#include "fileprobe.h"
#include "json.h"
#include "streamcopyrun.h"
#include "trimcommand.h"

ExactCutRun::Source TrimJob::exactCutSource() const
{
    return {input->fileFullPath().value_or(QString()), input->formatName(),
            input->trackDictionaries(QStringLiteral("Video")).value(0).dictionaryObject().value_or(QJsonObject()),
            keptTracks, timeline.toStream(timeline.videoEnd())};
}

// A name without an extension says nothing of the format: keep the input's. Each call names another file.
QString TrimJob::partialPath() const
{
    const QString fallbackSuffix =
        containerSuffix(kind == Kind::Reencode ? QStringLiteral("mp4") : input->formatName());
    return EncoderRun::partialPathFor(outputPath, fallbackSuffix);
}

TrimParameters TrimJob::parameters(const QString &writtenPath) const
{
    const double duration = input->duration();
    TrimParameters parameters;
    parameters.duration = duration;
    parameters.selectionStart = duration > 0 ? start / duration : 0.0;
    parameters.selectionEnd = duration > 0 ? end / duration : 1.0;
    parameters.forceEncode = kind == Kind::Reencode;
    parameters.hasAudioTrack = input->hasAudioTrack();
    parameters.hasAudioTrackWhichHasMoreThanTwoChannels = input->hasAudioTrackWhichHasMoreThanTwoChannels();
    parameters.inputPath = input->fileFullPath().value_or(QString());
    parameters.outputPath = writtenPath;
    parameters.videoStream = input->firstVideoIndex();
    parameters.keptTracks = keptTracks;
    parameters.outputSuffix = QFileInfo(writtenPath).suffix();
    parameters.seek = inputSeek();
    parameters.videoEnd = input->videoEndTime();
    parameters.startTime = timeline.start();
    return parameters;
}

QStringList TrimJob::reencodeArguments(const QString &writtenPath) const
{
    return TrimCommand::trimArguments(parameters(writtenPath));
}

// A re-encode seeks its first frame exactly; a copy enters the input before its keyframe only where the
// demuxer's own seek would pass that keyframe.
std::optional<Timeline::Seek> TrimJob::inputSeek() const
{
    if (kind == Kind::Reencode)
        return timeline.exactSeek(start);
    const double entry = timeline.copyEntry(start);
    return entry != start ? std::optional(Timeline::Seek{entry, 0.0}) : std::nullopt;
}

TrimRun *TrimJob::startRun(const ToolLocator &tools, const QString &workFolder, QObject *parent,
                        const std::function<void(TrimRun *)> &follow) const
{
    switch (kind) {
    case Kind::Exact: {
        auto *run = new ExactCutRun(tools, workFolder, parent);
        run->setSideBySide(sideBySide);
        follow(run);
        run->start(exactCutSource(), timeline.toStream(start), timeline.toStream(end), outputPath);
        return run;
    }
    case Kind::Copy: {
        auto *run = new StreamCopyRun(tools, workFolder, parent);
        follow(run);
        run->start(parameters(partialPath()), outputPath);
        return run;
    }
    case Kind::Reencode:
        break;
    }
    auto *run = new EncoderRun(tools, parent);
    follow(run);
    const QString written = partialPath();
    const QStringList arguments = reencodeArguments(written);
    DiagnosticLog::print(TrimCommand::diagnosticLine(arguments));
    run->start(arguments, written, outputPath, end - start);
    return run;
}

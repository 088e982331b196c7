// SPDX-License-Identifier: GPL-3.0-or-later
#include "streamcopyrun.h"

#include <algorithm>

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include "subtitleclip.h"
#include "trackmap.h"
#include "trimcommand.h"

StreamCopyRun::StreamCopyRun(const ToolLocator &tools, const QString &workFolder, QObject *parent)
    : TrimRun(parent)
    , m_workFolder(workFolder)
    , m_encoder(new EncoderRun(tools, this))
{
    connect(m_encoder, &EncoderRun::progressChanged, this, [this](double percent) {
        if (m_copying)
            emit progressChanged(percent);
    });
    connect(m_encoder, &EncoderRun::finished, this, &StreamCopyRun::onEncoderFinished);
}

StreamCopyRun::~StreamCopyRun()
{
    // The encoder stops, and removes its partial file, before the folder it reads from goes.
    delete m_encoder;
}

void StreamCopyRun::start(TrimParameters parameters, const QString &outputPath)
{
    if (m_active)
        return;
    m_active = true;
    m_copying = m_cancelled = false;
    m_outputPath = outputPath;
    m_folder = std::make_unique<QTemporaryDir>(QDir(m_workFolder).filePath(QStringLiteral("copy-XXXXXX")));
    parameters.subtitleFolder = m_folder->path();
    m_subtitles = TrackMap(parameters.keptTracks, parameters.outputSuffix, TrackMap::Mode::Copy,
                           parameters.subtitleFolder).clippedSubtitles();
    m_parameters = parameters;
    if (!m_folder->isValid()
        && std::any_of(parameters.keptTracks.cbegin(), parameters.keptTracks.cend(), SubtitleClip::isClippable))
        return failLater(tr("The subtitles could not be cut: %1").arg(m_folder->errorString()));
    if (m_subtitles.isEmpty())
        return copy();
    emit stepChanged(tr("Extracting the subtitles"));
    const QStringList arguments =
        SubtitleClip::extractionArguments(parameters.inputPath, m_subtitles, parameters.subtitleFolder);
    TrimCommand::print(ToolLocator::creator, arguments);
    const QString last = QDir(parameters.subtitleFolder).filePath(SubtitleClip::extractedFileName(m_subtitles.last()));
    m_encoder->start(arguments, last, last, 0.0);
}

void StreamCopyRun::cancel()
{
    m_cancelled = m_active;
    m_encoder->cancel();
}

void StreamCopyRun::copy()
{
    m_copying = true;
    emit stepChanged(tr("Copying the selection"));
    // A receiver of the step may have cancelled.
    if (m_cancelled)
        return complete(Outcome::Cancelled, {});
    const QStringList arguments = TrimCommand::trimArguments(m_parameters);
    TrimCommand::print(ToolLocator::creator, arguments);
    m_encoder->start(arguments, m_parameters.outputPath, m_outputPath, m_parameters.outputDuration());
}

void StreamCopyRun::onEncoderFinished(TrimRun::Outcome outcome, const QString &details)
{
    if (m_copying || outcome != Outcome::Succeeded) {
        const bool extracting = !m_copying && outcome == Outcome::Failed;
        return complete(outcome, extracting ? tr("The subtitles could not be extracted: %1").arg(details) : details);
    }
    QString failure;
    const double start = m_parameters.startTime;
    if (!SubtitleClip::clipFiles(m_subtitles, m_folder->path(), start + m_parameters.startSeconds(),
                                 start + m_parameters.subtitleEnd(), TrimCommand::timeZero(m_parameters), &failure))
        return complete(Outcome::Failed, failure);
    copy();
}

// Reported from the event loop: a failure found within start() must not be reported from within it.
void StreamCopyRun::failLater(const QString &details)
{
    QTimer::singleShot(0, this, [this, details] { complete(Outcome::Failed, details); });
}

void StreamCopyRun::complete(TrimRun::Outcome outcome, const QString &details)
{
    if (!m_active)
        return;
    m_active = false;
    m_folder.reset();
    const bool cancelled = m_cancelled && outcome != Outcome::Succeeded;
    emit finished(cancelled ? Outcome::Cancelled : outcome, cancelled ? QString() : details);
}

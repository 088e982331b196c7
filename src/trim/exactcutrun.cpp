// SPDX-License-Identifier: GPL-3.0-or-later
#include "exactcutrun.h"

#include <algorithm>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "containersuffix.h"
#include "exactcutcost.h"
#include "diagnosticlog.h"
#include "packetlist.h"
#include "subtitleclip.h"
#include "trackmap.h"
#include "trimcommand.h"

namespace {

// The prober and the encoder list are quick; one that lingers is killed at once.
constexpr int toolWaitMilliseconds = 2000;

using Outcome = TrimRun::Outcome;

} // namespace

// The prober names MP4, MOV and M4V by one family that also holds 3GP, M4A and Motion JPEG 2000; only the
// name tells those apart.
QString ExactCutRun::whyNot(const Source &source)
{
    // Members of the QuickTime family that are not video files.
    static const QStringList otherMembers{QStringLiteral("3gp"), QStringLiteral("3g2"), QStringLiteral("m4a"),
                                         QStringLiteral("mj2")};
    if (otherMembers.contains(QFileInfo(source.path).suffix().toLower()))
        return ExactCutCommand::whyNot(QString(), source.videoTrack);
    return ExactCutCommand::whyNot(source.formatName, source.videoTrack);
}

ExactCutRun::ExactCutRun(const ToolLocator &tools, const QString &workFolder, QObject *parent)
    : TrimRun(parent)
    , m_tools(tools)
    , m_workFolder(workFolder)
{
    for (Lane &lane : m_lanes) {
        lane.encoder = std::make_unique<EncoderRun>(tools);
        connect(lane.encoder.get(), &EncoderRun::progressChanged, this, [this, &lane](double percent) {
            lane.percent = std::clamp(percent, 0.0, 100.0);
            reportProgress();
        });
        connect(lane.encoder.get(), &EncoderRun::finished, this,
                [this, &lane](Outcome outcome, const QString &details) { onStepFinished(lane, outcome, details); });
    }
}

ExactCutRun::~ExactCutRun()
{
    // The encoders go first: they stop their processes before the parts they write are removed.
    for (Lane &lane : m_lanes)
        lane.encoder.reset();
    stopTool();
    removeEverything();
}

void ExactCutRun::start(const Source &source, double start, double end, const QString &outputPath)
{
    if (m_active)
        return;
    m_active = true;
    m_cancelled = false;
    ++m_generation;
    m_start = start;
    m_end = end;
    m_outputPath = outputPath;
    m_partialPath = EncoderRun::partialPathFor(outputPath, containerSuffix(source.formatName));
    m_command.emplace(source.path, source.formatName, source.videoTrack, source.keptTracks);
    m_source = source;
    m_subtitles.clear();
    m_plan = {};
    for (Lane &lane : m_lanes)
        lane.steps.clear();
    m_join.reset();
    m_failure.clear();
    m_costDone = m_costOfAllSteps = 0.0;
    m_lastPercent = -1.0;
    m_parts = std::make_unique<QTemporaryDir>(QDir(m_workFolder).filePath(QStringLiteral("exact-cut-XXXXXX")));
    if (!m_parts->isValid())
        return failLater(tr("The exact cut could not make a folder for its parts: %1").arg(m_parts->errorString()));
    if (m_command->encoder().isEmpty())
        return failLater(tr("The exact cut handles H.264, HEVC, VP9, AV1 and MPEG-2 video only."));
    m_subtitles = TrackMap(source.keptTracks, QFileInfo(m_partialPath).suffix(), TrackMap::Mode::Copy, m_parts->path())
                      .clippedSubtitles();
    emit stepChanged(tr("Listing the frames"));
    runTool(ToolLocator::sniffer, m_command->scanArguments(m_start, m_end), &ExactCutRun::planFromPackets);
}

void ExactCutRun::cancel()
{
    if (!m_active || m_cancelled)
        return;
    m_cancelled = true;
    cancelRunningLanes();
    if (m_tool && m_tool->state() != QProcess::NotRunning)
        m_tool->kill();
}

void ExactCutRun::runTool(const QString &tool, const QStringList &arguments, OutputHandler handler)
{
    TrimCommand::print(tool, arguments);
    const QString program = m_tools.pathForResource(tool);
    if (program.isEmpty()) {
        return failLater(tr("The tool \u201c%1\u201d was not found in the folder %2.")
                             .arg(tool, QDir::toNativeSeparators(m_tools.resourceFolder())));
    }
    stopTool();
    m_tool = new QProcess(this);
    m_tool->setStandardInputFile(QProcess::nullDevice());
    connect(m_tool, &QProcess::finished, this, [this, tool, handler](int exitCode, QProcess::ExitStatus exitStatus) {
        onToolFinished(tool, exitCode, exitStatus, handler);
    });
    // A failed start is not followed by finished().
    connect(m_tool, &QProcess::errorOccurred, this, [this, tool](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failLater(tr("The tool \u201c%1\u201d could not be started: %2").arg(tool, m_tool->errorString()));
    });
    m_tool->start(program, arguments);
}

void ExactCutRun::onToolFinished(const QString &tool, int exitCode, QProcess::ExitStatus exitStatus,
                                 OutputHandler handler)
{
    const QByteArray output = m_tool->readAllStandardOutput();
    const QString errors = QString::fromUtf8(m_tool->readAllStandardError()).trimmed();
    if (m_cancelled)
        return complete(Outcome::Cancelled, {});
    if (exitStatus != QProcess::NormalExit || exitCode != 0) {
        const QString reason = errors.isEmpty() ? tr("exit code %1").arg(exitCode) : errors;
        return complete(Outcome::Failed, tr("The exact cut failed in \u201c%1\u201d: %2").arg(tool, reason));
    }
    (this->*handler)(output);
}

void ExactCutRun::planFromPackets(const QByteArray &listing)
{
    m_plan = ExactCutPlan::make(PacketList::parse(listing).packets(), m_start, m_end);
    DiagnosticLog::print(QStringLiteral("Exact cut: ") + m_plan.description());
    if (m_plan.isEmpty())
        return complete(Outcome::Failed, tr("The selection holds no video frame."));
    if (!m_plan.needsEncoding())
        return startSteps();
    runTool(ToolLocator::creator, ExactCutCommand::encoderListArguments(), &ExactCutRun::checkEncoder);
}

void ExactCutRun::checkEncoder(const QByteArray &listing)
{
    if (ExactCutCommand::listsEncoder(listing, m_command->encoder()))
        return startSteps();
    complete(Outcome::Failed, tr("The exact cut needs the encoder %1 for the frames at its edges, and "
                                 "\u201c%2\u201d does not have it.")
                                  .arg(m_command->encoder(), ToolLocator::creator));
}

void ExactCutRun::startSteps()
{
    QString details;
    if (!prepareSteps(&details))
        return complete(Outcome::Failed, details);
    for (const Lane &lane : m_lanes) {
        for (const Step &step : lane.steps)
            m_costOfAllSteps += step.cost;
    }
    m_costOfAllSteps += m_join->cost;
    bool started = false;
    for (Lane &lane : m_lanes)
        started = startNextStep(lane) || started;
    if (!started)
        settleLanes();
}

bool ExactCutRun::prepareSteps(QString *details)
{
    using Segment = ExactCutCommand::Segment;
    using Work = ExactCutCost::Work;
    const ExactCutCommand &command = *m_command;
    const QString encoder = command.encoder();
    const auto costed = [&encoder](const QString &activity, const QStringList &arguments, const QString &path,
                               qsizetype frames, Work work) {
        return Step{activity, arguments, path, frames, ExactCutCost::of(work, frames, encoder),
                    ExactCutCost::name(work, frames)};
    };
    const auto encode = [&](Segment segment, const ExactCutPlan::Section &section, const QString &activity) {
        const QString path = workFilePath(command.segmentFileName(segment));
        if (section.isEmpty())
            return std::optional<Step>();
        const Work work = segment == Segment::Head ? Work::EncodeHead : Work::EncodeTail;
        return std::optional<Step>(
            costed(activity, command.encodeArguments(section, path), path, section.frames, work));
    };
    QList<Step> &headLane = m_lanes[0].steps;
    QList<Step> &copyLane = m_lanes[1].steps;
    if (const auto head = encode(Segment::Head, m_plan.head(), tr("re-encoding the first frames")))
        headLane.append(*head);
    if (const ExactCutPlan::Section &middle = m_plan.middle(); !middle.isEmpty()) {
        const QString copyList = command.copyList(middle);
        if (!copyList.isEmpty() && !writeList(ExactCutCommand::copyListFileName(), copyList, details))
            return false;
        const QString path = workFilePath(command.segmentFileName(Segment::Middle));
        const QString list = workFilePath(ExactCutCommand::copyListFileName());
        const QStringList arguments = command.copyArguments(middle, list, path);
        copyLane.append(costed(tr("copying the frames between"), arguments, path, middle.frames, Work::Copy));
    }
    if (const auto tail = encode(Segment::Tail, m_plan.tail(), tr("re-encoding the last frames")))
        copyLane.append(*tail);
    // It reads the whole source, beside the head's encode rather than the copy, which reads it too.
    if (!m_subtitles.isEmpty()) {
        const QString last = workFilePath(SubtitleClip::extractedFileName(m_subtitles.last()));
        headLane.append(costed(tr("extracting the subtitles"),
                               SubtitleClip::extractionArguments(m_source.path, m_subtitles, m_parts->path()), last, 0,
                               Work::ExtractSubtitles));
    }
    if (!m_sideBySide)
        headLane.append(std::exchange(copyLane, {}));
    if (!writeList(ExactCutCommand::joinListFileName(), command.joinList(m_plan), details))
        return false;
    const QString joinList = workFilePath(ExactCutCommand::joinListFileName());
    m_join = costed(tr("joining the parts"), command.joinArguments(m_plan, joinList, m_partialPath, m_parts->path()),
                    m_partialPath, m_plan.frameCount(), Work::Join);
    return true;
}

bool ExactCutRun::writeList(const QString &fileName, const QString &list, QString *details) const
{
    DiagnosticLog::print(fileName + QStringLiteral(": ") + TrimCommand::diagnosticLine(list.split(u'\n')));
    QFile file(workFilePath(fileName));
    const QByteArray bytes = list.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush())
        return true;
    *details = tr("The exact cut could not write its list of parts: %1").arg(file.errorString());
    return false;
}

bool ExactCutRun::startNextStep(Lane &lane)
{
    if (lane.steps.isEmpty())
        return false;
    lane.step = lane.steps.takeFirst();
    lane.percent = 0.0;
    TrimCommand::print(ToolLocator::creator, lane.step.arguments);
    lane.encoder->start(lane.step.arguments, lane.step.path, lane.step.path,
                        lane.step.frames * m_command->frameDuration());
    reportSteps();
    return true;
}

// Side by side, both lanes' steps are named.
void ExactCutRun::reportSteps()
{
    QStringList running;
    for (const Lane &lane : m_lanes) {
        if (!lane.step.name.isEmpty())
            running << lane.step.name;
    }
    if (!running.isEmpty())
        emit stepChanged(running.join(QLatin1Char('\n')));
}

void ExactCutRun::reportProgress()
{
    if (m_costOfAllSteps <= 0)
        return;
    double done = m_costDone;
    for (const Lane &lane : m_lanes)
        done += lane.step.cost * lane.percent / 100.0;
    const double overall = 100.0 * done / m_costOfAllSteps;
    if (overall <= m_lastPercent)
        return;
    m_lastPercent = overall;
    emit progressChanged(overall);
}

void ExactCutRun::onStepFinished(Lane &lane, TrimRun::Outcome outcome, const QString &details)
{
    if (outcome == Outcome::Succeeded) {
        m_costDone += lane.step.cost;
        lane.step = {};
        lane.percent = 0.0;
        reportProgress();
        reportSteps();
        // A receiver of the progress may have cancelled between two steps.
        if (!m_cancelled && m_failure.isEmpty() && startNextStep(lane))
            return;
    } else if (outcome == Outcome::Failed && !m_cancelled && m_failure.isEmpty()) {
        m_failure = tr("The exact cut failed while %1: %2").arg(lane.step.activity, details);
        cancelRunningLanes();
    }
    settleLanes();
}

// Once no lane runs: the end of a stopped cut, the join, or the count of its frames.
void ExactCutRun::settleLanes()
{
    if (isAnyLaneRunning() || !m_active)
        return;
    if (m_cancelled)
        return complete(Outcome::Cancelled, {});
    if (!m_failure.isEmpty())
        return complete(Outcome::Failed, m_failure);
    if (m_join) {
        if (QString details; !clipSubtitles(&details))
            return complete(Outcome::Failed, tr("The exact cut could not cut its subtitles: %1").arg(details));
        m_lanes[0].steps.append(*std::exchange(m_join, std::nullopt));
        startNextStep(m_lanes[0]);
        return;
    }
    runTool(ToolLocator::sniffer, ExactCutCommand::packetCountArguments(m_partialPath), &ExactCutRun::checkFrameCount);
}

// To the frames kept, whose first is the join's time zero.
bool ExactCutRun::clipSubtitles(QString *details) const
{
    const double end = m_plan.firstExcluded().value_or(m_end);
    const double videoEnd = m_source.videoEnd.value_or(end);
    return SubtitleClip::clipFiles(m_subtitles, m_parts->path(), m_plan.firstKept(), std::min(end, videoEnd),
                                   m_plan.firstKept(), details);
}

bool ExactCutRun::isAnyLaneRunning() const
{
    return std::any_of(m_lanes.cbegin(), m_lanes.cend(), [](const Lane &lane) { return lane.encoder->isRunning(); });
}

void ExactCutRun::cancelRunningLanes()
{
    for (Lane &lane : m_lanes) {
        if (lane.encoder->isRunning())
            lane.encoder->cancel();
    }
}

void ExactCutRun::checkFrameCount(const QByteArray &output)
{
    bool ok = false;
    const qsizetype frames = output.trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || frames != m_plan.frameCount()) {
        return complete(Outcome::Failed, tr("The exact cut came out with %1 video frames where %2 were selected.")
                                             .arg(ok ? QString::number(frames) : tr("an unknown number of"))
                                             .arg(m_plan.frameCount()));
    }
    QString details;
    const bool saved = EncoderRun::replaceOutput(m_partialPath, m_outputPath, &details);
    complete(saved ? Outcome::Succeeded : Outcome::Failed, details);
}

// Reported from the event loop: a failure found within start() must not be reported from within it.
void ExactCutRun::failLater(const QString &details)
{
    QTimer::singleShot(0, this, [this, details, generation = m_generation] {
        if (m_active && generation == m_generation)
            complete(Outcome::Failed, details);
    });
}

void ExactCutRun::complete(TrimRun::Outcome outcome, const QString &details)
{
    if (!m_active)
        return;
    m_active = false;
    if (m_cancelled && outcome == Outcome::Failed)
        outcome = Outcome::Cancelled;
    if (outcome != Outcome::Succeeded)
        QFile::remove(m_partialPath);
    for (Lane &lane : m_lanes)
        lane.steps.clear();
    m_join.reset();
    m_parts.reset();
    // The output as the person chose it, not the hidden name the join writes.
    emit finished(outcome, outcome == Outcome::Cancelled ? QString() : QString(details).replace(m_partialPath, m_outputPath));
}

void ExactCutRun::stopTool()
{
    if (!m_tool)
        return;
    m_tool->disconnect(this);
    if (m_tool->state() != QProcess::NotRunning) {
        m_tool->kill();
        m_tool->waitForFinished(toolWaitMilliseconds);
    }
    // This may run from a slot of the process's own signal: let it go once control has left it.
    m_tool->setParent(nullptr);
    m_tool->deleteLater();
    m_tool = nullptr;
}

void ExactCutRun::removeEverything()
{
    if (m_active)
        QFile::remove(m_partialPath);
    m_parts.reset();
}

QString ExactCutRun::workFilePath(const QString &fileName) const
{
    return QDir(m_parts->path()).filePath(fileName);
}

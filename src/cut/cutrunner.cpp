// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutrunner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>

#include "exactcutcommand.h"
#include "exactcutplan.h"
#include "exactcutrun.h"
#include "outputcheck.h"
#include "refusal.h"
#include "timetext.h"
#include "trackmap.h"
#include "trimcommand.h"

namespace {

const char *const kindNames[] = {"copy", "exact", "reencode"};

// Seconds of frames listed on both sides of a selection's ends: enough to settle them on frames. The prober's
// seek starts each stretch at the keyframe before it, where a copy enters; an exact cut lists its own frames.
constexpr double listedAroundEnds = 2.0;

QList<MediaTrack> wantedTracks(const FileProbe &probe, const CutOptions &options)
{
    QList<MediaTrack> wanted;
    for (const MediaTrack &track : probe.mediaTracks()) {
        if (options.tracks == CutOptions::Tracks::All
            || (options.tracks == CutOptions::Tracks::Listed && options.keptTracks.contains(track.index)))
            wanted.append(track);
    }
    return wanted;
}

// A word as a POSIX shell reads it back: a plan's command lines can be pasted into a terminal.
QString shellWord(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=,+@%^-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    return QLatin1Char('\'') + QString(word).replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}

QString shellLine(const QString &program, const QStringList &arguments)
{
    QStringList words{shellWord(program)};
    for (const QString &argument : arguments)
        words.append(shellWord(argument));
    return words.join(QLatin1Char(' '));
}

CutProgress::Style progressStyle(const CutOptions &options, int terminalWidth)
{
    if (options.quiet)
        return CutProgress::Style::None;
    if (terminalWidth > 0)
        return CutProgress::Style::Terminal;
    return options.progress ? CutProgress::Style::Lines : CutProgress::Style::None;
}

} // namespace

CutRunner::CutRunner(const ToolLocator &tools, const CutOptions &options, QTextStream &out, QTextStream &err,
                     int terminalWidth, QObject *parent)
    : QObject(parent)
    , m_tools(tools)
    , m_options(options)
    , m_out(out)
    , m_err(err)
    , m_progress(err, progressStyle(options, terminalWidth), terminalWidth)
{
}

CutRunner::~CutRunner() = default;

QString CutRunner::outputFor(const QString &input, const CutOptions &options, const QString &suffix)
{
    if (!options.output.isEmpty())
        return QFileInfo(options.output).absoluteFilePath();
    const QFileInfo file(input);
    const QString folder = options.outputFolder.isEmpty() ? file.absolutePath() : options.outputFolder;
    const QString name = options.inputs.size() > 1 ? tr("%1 Trimmed").arg(file.completeBaseName()) : tr("Trimmed");
    return QDir(folder).absoluteFilePath(suffix.isEmpty() ? name : name + QLatin1Char('.') + suffix);
}

int CutRunner::run()
{
    QEventLoop loop;
    m_loop = &loop;
    startMore();
    if (!m_running.empty())
        loop.exec();
    m_loop = nullptr;
    if (m_stoppedBy)
        return 128 + m_stoppedBy;
    summarize();
    const bool allCut = m_outcomes.value(QStringLiteral("failed")) + m_outcomes.value(QStringLiteral("skipped")) == 0;
    return allCut ? 0 : 1;
}

// A batch ends with its count; one input says all in its own line.
void CutRunner::summarize()
{
    if (m_options.inputs.size() < 2 || m_options.quiet)
        return;
    const int done = m_outcomes.value(QStringLiteral("done")) + m_outcomes.value(QStringLiteral("planned"));
    m_err << tr("kestrel cut: %1 of %2 cut, %3 failed, %4 skipped")
                 .arg(done)
                 .arg(m_options.inputs.size())
                 .arg(m_outcomes.value(QStringLiteral("failed")))
                 .arg(m_outcomes.value(QStringLiteral("skipped")))
          << '\n';
    m_err.flush();
}

void CutRunner::stop(int signal)
{
    m_stoppedBy = signal;
    // Copies first: removing a listed cut changes the list.
    std::vector<Cut *> running;
    for (const auto &cut : m_running)
        running.push_back(cut.get());
    for (Cut *cut : running) {
        if (cut->run)
            cut->run->cancel();
        else
            remove(cut);
    }
}

// Up to --jobs inputs at a time: each is probed and listed as its turn comes, and the next begins as one ends.
void CutRunner::startMore()
{
    while (!m_stoppedBy && qsizetype(m_running.size()) < m_options.jobs && m_next < m_options.inputs.size()) {
        auto cut = std::make_unique<Cut>();
        cut->input = m_options.inputs.at(m_next++);
        if (!begin(*cut)) {
            finish(*cut);
            continue;
        }
        m_running.push_back(std::move(cut));
    }
    if (m_running.empty() && m_loop)
        m_loop->quit();
}

// The probe, then the frames around the selection's ends listed in the background: a long listing keeps the
// others' progress, and a signal, answered. A plan waits for every frame, to count them.
bool CutRunner::begin(Cut &cut)
{
    cut.clock.start();
    cut.result = {{QStringLiteral("input"), cut.input}, {QStringLiteral("outcome"), QStringLiteral("failed")}};
    // A file that cannot be read is said so, not called "not a video".
    if (QFile file(cut.input); QFileInfo(cut.input).isDir() || !file.open(QIODevice::ReadOnly)) {
        cut.result.insert(QStringLiteral("error"), QFileInfo(cut.input).isDir()
                                                       ? QString::fromLocal8Bit(std::strerror(EISDIR))
                                                       : file.errorString());
        return false;
    }
    cut.probe = FileProbe::create(QFileInfo(cut.input).absoluteFilePath(), m_tools);
    if (const Refusal refusal(*cut.probe); refusal.reason() != Refusal::Reason::none) {
        cut.result.insert(QStringLiteral("error"), refusal.sentence());
        return false;
    }
    Cut *const listing = &cut;
    // An exact cut lists the frames of its selection itself, and keeps those shown from its start up to its end,
    // as the window settles them; a listing here would only repeat its work. A plan counts every frame.
    if (!m_options.dryRun && cutsExactly(*cut.probe)) {
        QMetaObject::invokeMethod(this, [this, listing] { listed(listing); }, Qt::QueuedConnection);
        return true;
    }
    cut.scan = std::make_unique<KeyframeScan>(m_tools, nullptr, BackgroundProcess::Priority::Normal);
    connect(cut.scan.get(), &KeyframeScan::packetsChanged, this, [this, listing] {
        if (!m_options.dryRun || listing->scan->isComplete())
            listed(listing);
    });
    connect(cut.scan.get(), &KeyframeScan::ended, this, [this, listing] { listed(listing); });
    const double duration = cut.probe->duration();
    const double to = requestedEnd(duration);
    const QList<double> around = m_options.dryRun ? QList<double>() : QList<double>{m_options.from, to};
    cut.scan->start(*cut.probe->fileFullPath(), around, duration, Timeline::of(*cut.probe).start(), listedAroundEnds);
    return true;
}

// --to, or --from and --duration, or the end of a file lasting `duration`.
double CutRunner::requestedEnd(double duration) const
{
    return m_options.to.value_or(m_options.duration ? m_options.from + *m_options.duration : duration);
}

bool CutRunner::cutsExactly(const FileProbe &probe) const
{
    TrimJob job;
    job.input = &probe;
    return m_options.kind != CutOptions::Kind::Copy && m_options.kind != CutOptions::Kind::Reencode
        && job.canCutExactly();
}

void CutRunner::listed(Cut *cut)
{
    // A signal may have ended it while the call was queued.
    if (running(cut) == m_running.end())
        return;
    if (cut->scan) {
        cut->scan->disconnect(this);
        cut->frames = cut->scan->packets();
        cut->scan->stop();
        // It is within its own signal.
        cut->scan.release()->deleteLater();
    }
    if (settle(*cut) && !m_options.dryRun)
        return startRun(cut);
    finish(*cut);
    remove(cut);
    startMore();
}

// The selection settled on the listed frames, the kind and the tracks chosen and the output checked, as the
// window does before a trim. False when the cut cannot start, or is only planned.
bool CutRunner::settle(Cut &cut)
{
    QJsonObject &result = cut.result;
    const auto fail = [&result](const QString &error, const QString &outcome = QStringLiteral("failed")) {
        result.insert(QStringLiteral("error"), error);
        result.insert(QStringLiteral("outcome"), outcome);
        return false;
    };
    const Timeline timeline = Timeline::of(*cut.probe, &cut.frames);
    TrimJob &job = cut.job;
    job.input = cut.probe.get();
    job.timeline = timeline;
    const double duration = cut.probe->duration();
    const double to = requestedEnd(duration);
    // Unlisted, as an exact cut's are, the times stand as asked: the cut keeps the frames shown from one to the other.
    const double from = std::min(m_options.from, duration);
    job.start = cut.frames.isEmpty() ? from : timeline.settledStart(from);
    job.end = cut.frames.isEmpty() ? std::min(to, duration) : timeline.settledEnd(std::min(to, duration));
    if (job.end <= job.start)
        return fail(tr("The selection is empty: %1 lasts %2.")
                        .arg(QFileInfo(cut.input).fileName(), timeTextFromSeconds(duration)));

    job.kind = m_options.kind == CutOptions::Kind::Reencode ? TrimJob::Kind::Reencode
             : m_options.kind == CutOptions::Kind::Copy     ? TrimJob::Kind::Copy
                                                            : TrimJob::Kind::Exact;
    const QString suffix =
        job.kind == TrimJob::Kind::Reencode ? QStringLiteral("mp4") : QFileInfo(cut.input).suffix();
    job.outputPath = outputFor(cut.input, m_options, suffix);
    const TrackMap::Mode mode = job.kind == TrimJob::Kind::Reencode ? TrackMap::Mode::Reencode : TrackMap::Mode::Copy;
    job.keptTracks = TrackMap::heldOf(wantedTracks(*cut.probe, m_options), QFileInfo(job.outputPath).suffix(), mode);
    if (job.kind == TrimJob::Kind::Exact && !job.canCutExactly()) {
        if (m_options.kind == CutOptions::Kind::Exact)
            return fail(job.whyNotExactly());
        job.kind = TrimJob::Kind::Copy;
    }
    plan(cut);

    if (const auto problem = OutputCheck::problem(cut.input, job.outputPath))
        return fail(problem->text + QLatin1Char(' ') + problem->informativeText);
    // An existing file is never replaced unasked.
    if (QFileInfo::exists(job.outputPath) && !m_options.force)
        return fail(OutputCheck::existsSentence(job.outputPath) + QLatin1Char(' ') + tr("--force replaces it."),
                    QStringLiteral("skipped"));
    if (m_options.dryRun) {
        result.insert(QStringLiteral("commands"), QJsonArray::fromStringList(plannedCommands(cut)));
        result.insert(QStringLiteral("outcome"), QStringLiteral("planned"));
        return false;
    }
    return true;
}

// What the result tells before the cut: the output, the kind, the selection and its frames, the tracks kept.
void CutRunner::plan(Cut &cut)
{
    const TrimJob &job = cut.job;
    QJsonObject &result = cut.result;
    result.insert(QStringLiteral("output"), job.outputPath);
    result.insert(QStringLiteral("kind"), QLatin1String(kindNames[int(job.kind)]));
    result.insert(QStringLiteral("start"), job.start);
    result.insert(QStringLiteral("end"), job.end);
    result.insert(QStringLiteral("duration"), job.end - job.start);
    const double start = job.timeline.toStream(job.start);
    const double end = job.timeline.toStream(job.end);
    // Counted where the frames are listed; where they are not, on the frame rate, until an exact cut counts them.
    const std::optional<qsizetype> listed = cut.frames.framesBetween(start, end);
    const qsizetype last = job.timeline.frameNumber(job.timeline.lastFrameBefore(job.end));
    result.insert(QStringLiteral("frames"), qint64(listed.value_or(last - job.timeline.frameNumber(job.start) + 1)));
    if (job.kind == TrimJob::Kind::Exact && listed) {
        cut.exactPlan = ExactCutPlan::make(cut.frames.packets(), start, end);
        countExactly(result, cut.exactPlan);
    }
    QJsonArray tracks;
    for (const MediaTrack &track : job.keptTracks)
        tracks.append(track.index);
    result.insert(QStringLiteral("tracks"), tracks);
}

// The creator's command lines of the cut, as it would run them; an exact cut's parts in a folder of their own.
QStringList CutRunner::plannedCommands(const Cut &cut) const
{
    const TrimJob &job = cut.job;
    const QString creator = m_tools.pathForResource(ToolLocator::creator);
    if (job.kind != TrimJob::Kind::Exact)
        return {shellLine(creator, TrimCommand::trimArguments(job.parameters(job.outputPath)))};
    const ExactCutRun::Source source = job.exactCutSource();
    const ExactCutCommand command(source.path, source.formatName, source.videoTrack, source.keptTracks);
    const ExactCutPlan &plan = cut.exactPlan;
    const QDir parts(QFileInfo(job.outputPath).dir().filePath(QStringLiteral("exact-cut-parts")));
    using Segment = ExactCutCommand::Segment;
    QStringList commands;
    if (!plan.head().isEmpty())
        commands << shellLine(creator, command.encodeArguments(plan.head(), parts.filePath(
                                                                   command.segmentFileName(Segment::Head))));
    if (!plan.middle().isEmpty())
        commands << shellLine(creator, command.copyArguments(plan.middle(),
                                                             parts.filePath(ExactCutCommand::copyListFileName()),
                                                             parts.filePath(command.segmentFileName(
                                                                 Segment::Middle))));
    if (!plan.tail().isEmpty())
        commands << shellLine(creator, command.encodeArguments(plan.tail(), parts.filePath(
                                                                   command.segmentFileName(Segment::Tail))));
    commands << shellLine(creator, command.joinArguments(plan, parts.filePath(ExactCutCommand::joinListFileName()),
                                                         job.outputPath));
    return commands;
}

void CutRunner::countExactly(QJsonObject &result, const ExactCutPlan &plan)
{
    result.insert(QStringLiteral("frames"), qint64(plan.frameCount()));
    result.insert(QStringLiteral("reencoded"), qint64(plan.encodedFrameCount()));
    result.insert(QStringLiteral("copied"), qint64(plan.middle().frames));
}

// The selection as the exact cut kept it, on the frames it listed.
void CutRunner::settleOnCut(Cut &cut, const ExactCutPlan &plan)
{
    countExactly(cut.result, plan);
    const Timeline &timeline = cut.job.timeline;
    const double start = timeline.fromStream(plan.firstKept());
    const double end = plan.firstExcluded() ? timeline.fromStream(*plan.firstExcluded()) : cut.job.end;
    cut.result.insert(QStringLiteral("start"), start);
    cut.result.insert(QStringLiteral("end"), end);
    cut.result.insert(QStringLiteral("duration"), end - start);
}

void CutRunner::startRun(Cut *cut)
{
    // An exact cut runs two tools side by side only where two cores are free of the other cuts'.
    cut->lanes = cut->job.kind == TrimJob::Kind::Exact && QThread::idealThreadCount() - lanesInUse(cut) >= 2 ? 2 : 1;
    cut->job.sideBySide = cut->lanes == 2;
    m_progress.begin(cut, cut->input);
    cut->run = cut->job.startRun(m_tools, cut->work.path(), this, [this, cut](TrimRun *run) {
        connect(run, &TrimRun::progressChanged, this, [this, cut](double percent) { m_progress.update(cut, percent); });
        connect(run, &TrimRun::finished, this, [this, cut, run](TrimRun::Outcome outcome, const QString &why) {
            run->deleteLater();
            ended(cut, outcome, why);
        });
    });
}

// Of the cuts besides one: one being listed takes a core, as does each lane of a running one.
int CutRunner::lanesInUse(const Cut *besides) const
{
    int lanes = 0;
    for (const auto &cut : m_running) {
        if (cut.get() != besides)
            lanes += cut->run ? cut->lanes : 1;
    }
    return lanes;
}

void CutRunner::ended(Cut *cut, TrimRun::Outcome outcome, const QString &details)
{
    m_progress.end(cut);
    if (outcome == TrimRun::Outcome::Succeeded) {
        cut->result.insert(QStringLiteral("outcome"), QStringLiteral("done"));
        if (const auto *exact = qobject_cast<const ExactCutRun *>(cut->run.data()))
            settleOnCut(*cut, exact->plan());
    } else {
        cut->result.insert(QStringLiteral("error"),
                           details.isEmpty() ? tr("The video could not be trimmed.") : details);
    }
    if (!m_stoppedBy)
        finish(*cut);
    remove(cut);
    startMore();
}

std::vector<std::unique_ptr<CutRunner::Cut>>::iterator CutRunner::running(const Cut *cut)
{
    return std::find_if(m_running.begin(), m_running.end(),
                        [cut](const std::unique_ptr<Cut> &running) { return running.get() == cut; });
}

void CutRunner::remove(Cut *cut)
{
    if (const auto found = running(cut); found != m_running.end())
        m_running.erase(found);
    if (m_running.empty() && m_loop && m_stoppedBy)
        m_loop->quit();
}

void CutRunner::finish(Cut &cut)
{
    cut.result.insert(QStringLiteral("seconds"), double(cut.clock.elapsed()) / 1000.0);
    report(cut.result);
    ++m_outcomes[cut.result.value(QStringLiteral("outcome")).toString()];
}

void CutRunner::report(const QJsonObject &result)
{
    m_progress.hide();
    const QString outcome = result.value(QStringLiteral("outcome")).toString();
    if (m_options.json) {
        m_out << QJsonDocument(result).toJson(QJsonDocument::Compact) << '\n';
    } else if (outcome == QLatin1String("failed") || outcome == QLatin1String("skipped")) {
        m_err << "kestrel: " << result.value(QStringLiteral("input")).toString() << ": "
              << result.value(QStringLiteral("error")).toString() << '\n';
    } else {
        m_out << result.value(QStringLiteral("output")).toString() << '\t'
              << result.value(QStringLiteral("kind")).toString() << '\t'
              << timeTextFromSeconds(result.value(QStringLiteral("start")).toDouble()) << '\t'
              << timeTextFromSeconds(result.value(QStringLiteral("end")).toDouble()) << '\t'
              << tr("%n frames", nullptr, result.value(QStringLiteral("frames")).toInt());
        if (result.contains(QStringLiteral("copied")))
            m_out << tr(" (%1 re-encoded, %2 copied)")
                         .arg(result.value(QStringLiteral("reencoded")).toInteger())
                         .arg(result.value(QStringLiteral("copied")).toInteger());
        for (const QJsonValue &command : result.value(QStringLiteral("commands")).toArray())
            m_out << '\t' << command.toString();
        m_out << '\n';
    }
    m_out.flush();
    m_err.flush();
    m_progress.show();
}

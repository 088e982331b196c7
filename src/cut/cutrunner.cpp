// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QProcess>
#include <QTextStream>

#include "fileprobe.h"
#include "packetlist.h"
#include "refusal.h"
#include "samefile.h"
#include "timetext.h"
#include "trackmap.h"
#include "trimcommand.h"
#include "trimjob.h"
#include "trimrun.h"
#include "writablefolder.h"

namespace {

const char *const kindNames[] = {"copy", "exact", "reencode"};

// Every packet of the video: the frames a selection is settled on, and the keyframes a copy and an exact cut
// start from.
PacketList listFrames(const ToolLocator &tools, const QString &path)
{
    QProcess sniffer;
    sniffer.setStandardInputFile(QProcess::nullDevice());
    sniffer.start(tools.pathForResource(ToolLocator::sniffer), PacketList::snifferArguments(path));
    if (!sniffer.waitForFinished(-1) || sniffer.exitStatus() != QProcess::NormalExit || sniffer.exitCode() != 0)
        return PacketList();
    return PacketList::parse(sniffer.readAllStandardOutput());
}

QList<MediaTrack> keptTracks(const FileProbe &probe, const CutOptions &options, const QString &suffix,
                             TrimJob::Kind kind)
{
    const TrackMap::Mode mode = kind == TrimJob::Kind::Reencode ? TrackMap::Mode::Reencode : TrackMap::Mode::Copy;
    QList<MediaTrack> kept;
    for (const MediaTrack &track : probe.mediaTracks()) {
        const bool wanted = track.kind != MediaTrack::Kind::Data
                         && (options.tracks == CutOptions::Tracks::All
                             || (options.tracks == CutOptions::Tracks::Listed && options.keptTracks.contains(track.index)));
        if (wanted && TrackMap::unavailableReason(track, suffix, mode).isEmpty())
            kept.append(track);
    }
    return kept;
}

} // namespace

CutRunner::CutRunner(const ToolLocator &tools, const CutOptions &options, QTextStream &out, QTextStream &err,
                     QObject *parent)
    : QObject(parent)
    , m_tools(tools)
    , m_options(options)
    , m_out(out)
    , m_err(err)
{
}

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
    const int failed = m_outcomes.value(QStringLiteral("failed"));
    // A batch ends with its count; one input says all in its own line.
    if (m_options.inputs.size() > 1 && !m_options.quiet) {
        const int done = m_outcomes.value(QStringLiteral("done")) + m_outcomes.value(QStringLiteral("planned"));
        m_err << tr("kestrel cut: %1 of %2 cut, %3 failed").arg(done).arg(m_options.inputs.size()).arg(failed)
              << '\n';
        m_err.flush();
    }
    return failed > 0 ? 1 : 0;
}

void CutRunner::stop(int signal)
{
    m_stoppedBy = signal;
    for (const auto &cut : m_running) {
        if (cut->run)
            cut->run->cancel();
    }
}

// Up to --jobs inputs at a time: each is prepared as its turn comes, and the next starts as one ends.
void CutRunner::startMore()
{
    while (!m_stoppedBy && qsizetype(m_running.size()) < m_options.jobs && m_next < m_options.inputs.size()) {
        std::unique_ptr<Cut> cut = prepare(m_options.inputs.at(m_next++));
        if (!cut->job.input || m_options.dryRun) {
            finish(*cut);
            continue;
        }
        Cut *const started = cut.get();
        m_running.push_back(std::move(cut));
        started->run = started->job.startRun(m_tools, started->work.path(), this, [this, started](TrimRun *run) {
            connect(run, &TrimRun::finished, this, [this, started, run](TrimRun::Outcome outcome, const QString &why) {
                run->deleteLater();
                ended(started, outcome, why);
            });
        });
    }
    if (m_running.empty() && m_loop)
        m_loop->quit();
}

void CutRunner::ended(Cut *cut, TrimRun::Outcome outcome, const QString &details)
{
    if (outcome == TrimRun::Outcome::Succeeded) {
        cut->result.insert(QStringLiteral("outcome"), QStringLiteral("done"));
    } else {
        cut->result.insert(QStringLiteral("error"),
                           details.isEmpty() ? tr("The video could not be trimmed.") : details);
    }
    if (!m_stoppedBy)
        finish(*cut);
    const auto found = std::find_if(m_running.begin(), m_running.end(),
                                    [cut](const std::unique_ptr<Cut> &running) { return running.get() == cut; });
    if (found != m_running.end())
        m_running.erase(found);
    startMore();
}

void CutRunner::finish(Cut &cut)
{
    cut.result.insert(QStringLiteral("seconds"), double(cut.clock.elapsed()) / 1000.0);
    report(cut.result);
    ++m_outcomes[cut.result.value(QStringLiteral("outcome")).toString()];
}

// Everything up to the run: a cut that cannot start, or is only planned, comes back without an input.
std::unique_ptr<CutRunner::Cut> CutRunner::prepare(const QString &input)
{
    auto cut = std::make_unique<Cut>();
    cut->clock.start();
    QJsonObject &result = cut->result;
    result = {{QStringLiteral("input"), input}, {QStringLiteral("outcome"), QStringLiteral("failed")}};
    const auto fail = [&](const QString &error) {
        result.insert(QStringLiteral("error"), error);
        cut->job.input = nullptr;
        return std::move(cut);
    };
    cut->probe = FileProbe::create(QFileInfo(input).absoluteFilePath(), m_tools);
    if (const Refusal refusal(*cut->probe); refusal.reason() != Refusal::Reason::none)
        return fail(refusal.sentence());
    cut->frames = listFrames(m_tools, *cut->probe->fileFullPath());
    const Timeline timeline = Timeline::of(*cut->probe, &cut->frames);

    TrimJob &job = cut->job;
    job.input = cut->probe.get();
    job.timeline = timeline;
    const double duration = cut->probe->duration();
    const double to = m_options.to.value_or(m_options.duration ? m_options.from + *m_options.duration : duration);
    job.start = timeline.settledStart(std::min(m_options.from, duration));
    job.end = timeline.settledEnd(std::min(to, duration));
    if (job.end <= job.start)
        return fail(tr("The selection is empty: %1 lasts %2.").arg(QFileInfo(input).fileName(), timeTextFromSeconds(duration)));

    job.kind = m_options.kind == CutOptions::Kind::Reencode ? TrimJob::Kind::Reencode
             : m_options.kind == CutOptions::Kind::Copy     ? TrimJob::Kind::Copy
                                                            : TrimJob::Kind::Exact;
    const QString suffix = job.kind == TrimJob::Kind::Reencode ? QStringLiteral("mp4") : QFileInfo(input).suffix();
    job.outputPath = outputFor(input, m_options, suffix);
    job.keptTracks = keptTracks(*cut->probe, m_options, QFileInfo(job.outputPath).suffix(), job.kind);
    if (job.kind == TrimJob::Kind::Exact && !job.canCutExactly()) {
        if (m_options.kind == CutOptions::Kind::Exact)
            return fail(TrimJob::whyNotExactly());
        job.kind = TrimJob::Kind::Copy;
    }
    result.insert(QStringLiteral("output"), job.outputPath);
    result.insert(QStringLiteral("kind"), QLatin1String(kindNames[int(job.kind)]));
    result.insert(QStringLiteral("start"), job.start);
    result.insert(QStringLiteral("end"), job.end);
    result.insert(QStringLiteral("duration"), job.end - job.start);
    const qsizetype last = timeline.frameNumber(timeline.lastFrameBefore(job.end));
    result.insert(QStringLiteral("frames"), qint64(last - timeline.frameNumber(job.start) + 1));
    QJsonArray tracks;
    for (const MediaTrack &track : job.keptTracks)
        tracks.append(track.index);
    result.insert(QStringLiteral("tracks"), tracks);

    // The window's checks, in its words; an existing file is never replaced unasked.
    if (isSameFile(input, job.outputPath))
        return fail(tr("Input file name is same as the output file name!"));
    const QString folder = QFileInfo(job.outputPath).absolutePath();
    if (const auto reason = WritableFolder::whyNot(folder))
        return fail(tr("The trimmed video cannot be saved in %1. %2.").arg(QDir::toNativeSeparators(folder), *reason));
    if (QFileInfo::exists(job.outputPath) && !m_options.force)
        return fail(tr("%1 already exists; --force replaces it.").arg(job.outputPath));
    if (m_options.dryRun) {
        if (job.kind != TrimJob::Kind::Exact)
            result.insert(QStringLiteral("command"),
                          TrimCommand::diagnosticLine(TrimCommand::trimArguments(job.parameters(job.outputPath))));
        result.insert(QStringLiteral("outcome"), QStringLiteral("planned"));
    }
    return cut;
}

void CutRunner::report(const QJsonObject &result)
{
    if (m_options.json) {
        m_out << QJsonDocument(result).toJson(QJsonDocument::Compact) << '\n';
    } else if (result.value(QStringLiteral("outcome")).toString() == QLatin1String("failed")) {
        m_err << "kestrel: " << result.value(QStringLiteral("input")).toString() << ": "
              << result.value(QStringLiteral("error")).toString() << '\n';
    } else {
        m_out << result.value(QStringLiteral("output")).toString() << '\t'
              << result.value(QStringLiteral("kind")).toString() << '\t'
              << timeTextFromSeconds(result.value(QStringLiteral("start")).toDouble()) << '\t'
              << timeTextFromSeconds(result.value(QStringLiteral("end")).toDouble()) << '\t'
              << result.value(QStringLiteral("frames")).toInteger() << " frames";
        if (result.contains(QStringLiteral("command")))
            m_out << '\t' << result.value(QStringLiteral("command")).toString();
        m_out << '\n';
    }
    m_out.flush();
    m_err.flush();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "exactcutbench.h"

#include <cmath>
#include <functional>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include "progress.h"
#include "exactcutcommand.h"
#include "exactcutrun.h"
#include "fileprobe.h"
#include "json.h"
#include "mediafactory.h"
#include "resultstable.h"
#include "samples.h"
#include "trimcommand.h"

namespace {

// Far beyond any cut of the benchmark: only a hung tool reaches it.
constexpr int cutTimeoutMs = 15 * 60 * 1000;

const QString cutName = QStringLiteral("exact-cut.mp4");
const QString copyName = QStringLiteral("floor-copy.mp4");
const QString headName = QStringLiteral("floor-head.mp4");
const QString tailName = QStringLiteral("floor-tail.mp4");
const QString reencodeName = QStringLiteral("reencode.mp4");
const QString partsFolderName = QStringLiteral("exact-cut-parts");

// A trim of [start, end) as the app would run it.
QStringList trimArguments(const FileProbe &probe, const QString &input, double start, double end, bool encode,
                          const QString &output)
{
    TrimParameters parameters;
    parameters.duration = probe.duration();
    parameters.selectionStart = start / probe.duration();
    parameters.selectionEnd = end / probe.duration();
    parameters.forceEncode = encode;
    parameters.hasAudioTrack = probe.hasAudioTrack();
    parameters.hasAudioTrackWhichHasMoreThanTwoChannels = probe.hasAudioTrackWhichHasMoreThanTwoChannels();
    parameters.inputPath = input;
    parameters.outputPath = output;
    return TrimCommand::trimArguments(parameters);
}

} // namespace

ExactCutBench::ExactCutBench(const QString &workFolder, ResultsTable &table)
    : m_workFolder(workFolder)
    , m_table(table)
    , m_tools(MediaFactory::toolsFolder())
    , m_direct(m_tools)
{
    QDir().mkpath(workPath(partsFolderName));
}

void ExactCutBench::measure(const BenchClip &clip, double seconds, int repetitions, int reencodeRepetitions,
                            double floorGoal, double reencodeGoal)
{
    progress(QStringLiteral("exact cut, %1 s: %2").arg(seconds).arg(clip.label));
    const auto probe = FileProbe::create(clip.path, m_tools);
    const QList<JSON> videoTracks = probe->trackDictionaries(QStringLiteral("Video"));
    if (videoTracks.isEmpty() || !(probe->duration() > seconds))
        return;
    m_formatName = probe->formatName();
    m_videoTrack = videoTracks.first().dictionaryObject().value_or(QJsonObject());
    // Off keyframes, so that both edges are re-encoded.
    const double start = std::floor((probe->duration() - seconds) / 2) + 1.0 / 3;
    const double end = start + seconds;

    Samples exact;
    Samples floor;
    for (int i = 0; i < repetitions; ++i) {
        removeWorkFiles();
        // The floor runs the cut's own edge encodes, known once it has planned; then they take turns.
        const auto floorRun = [&] {
            floor.add(Stopwatch::timed([&] { return runFloor(clip.path, start, end, *probe); }));
        };
        if (i % 2 == 1)
            floorRun();
        exact.add(cut(clip.path, start, end));
        if (i % 2 == 0)
            floorRun();
    }
    Samples reencode;
    const QString codec = m_videoTrack.value(QStringLiteral("codec_name")).toString();
    const bool sameEncoder = codec != QLatin1String("h264");
    ExactCutPlan::Section whole{m_plan.firstKept(), m_plan.firstExcluded(), m_plan.frameCount(),
                                m_plan.head().isEmpty() ? m_plan.firstKept() - 0.001 : m_plan.head().entry};
    const QStringList reencodeArguments =
        sameEncoder ? ExactCutCommand(clip.path, m_formatName, m_videoTrack).encodeArguments(whole, workPath(reencodeName))
                    : trimArguments(*probe, clip.path, start, end, true, workPath(reencodeName));
    for (int i = 0; i < reencodeRepetitions; ++i)
        reencode.add(Stopwatch::timed([&] { return m_direct.encode(reencodeArguments); }));
    removeWorkFiles();

    const QString action = QStringLiteral("exact cut, %1 s, %2 (%3 + %4 frames re-encoded, %5 copied)")
                               .arg(seconds)
                               .arg(clip.label)
                               .arg(m_plan.head().frames)
                               .arg(m_plan.tail().frames)
                               .arg(m_plan.middle().frames);
    progress(QStringLiteral("  %1: %2, floor %3, re-encode %4")
                 .arg(action, ResultsTable::durationText(exact.medianWallMs()),
                      ResultsTable::durationText(floor.medianWallMs()),
                      ResultsTable::durationText(reencode.medianWallMs())));
    addRow(action, exact, floor, QStringLiteral("ffmpeg: stream copy of the selection, then the cut's two edge "
                                                "encodes alone"), floorGoal);
    addRow(action, exact, reencode,
           sameEncoder ? QStringLiteral("ffmpeg: the whole selection re-encoded as the edges are")
                       : QStringLiteral("ffmpeg: the trim's forced re-encode"),
           reencodeGoal);
}

std::optional<Cost> ExactCutBench::cut(const QString &path, double start, double end)
{
    ExactCutRun run(m_tools, workPath(partsFolderName));
    QEventLoop loop;
    bool succeeded = false;
    QObject::connect(&run, &ExactCutRun::finished, &loop,
                     [&](EncoderRun::Outcome outcome, const QString &details) {
                         succeeded = outcome == EncoderRun::Outcome::Succeeded;
                         if (!succeeded)
                             progress(QStringLiteral("  exact cut failed: ") + details);
                         loop.quit();
                     });
    QTimer::singleShot(cutTimeoutMs, &loop, &QEventLoop::quit);
    const Stopwatch watch;
    run.start({path, m_formatName, m_videoTrack}, start, end, workPath(cutName));
    loop.exec();
    const Cost cost = watch.elapsed();
    if (!succeeded)
        return std::nullopt;
    m_plan = run.plan();
    return cost;
}

bool ExactCutBench::runFloor(const QString &path, double start, double end, const FileProbe &probe) const
{
    const ExactCutCommand command(path, m_formatName, m_videoTrack);
    bool ok = m_direct.encode(trimArguments(probe, path, start, end, false, workPath(copyName)));
    if (!m_plan.head().isEmpty())
        ok = ok && m_direct.encode(command.encodeArguments(m_plan.head(), workPath(headName)));
    if (!m_plan.tail().isEmpty())
        ok = ok && m_direct.encode(command.encodeArguments(m_plan.tail(), workPath(tailName)));
    return ok;
}

void ExactCutBench::addRow(const QString &action, const Samples &cut, const Samples &baseline,
                           const QString &baselineIs, double goalRatio) const
{
    const bool complete = cut.count() > 0 && cut.failures() == 0 && baseline.count() > 0 && baseline.failures() == 0;
    const bool met = complete && cut.medianWallMs() <= goalRatio * baseline.medianWallMs();
    m_table.addRow({action, ResultsTable::runsText(cut), ResultsTable::durationText(cut.medianWallMs()),
                    ResultsTable::durationText(baseline.medianWallMs()),
                    ResultsTable::ratioText(cut.medianWallMs(), baseline.medianWallMs()), baselineIs,
                    ResultsTable::durationText(cut.medianOwnCpuMs()), QStringLiteral("–"),
                    QStringLiteral("≤ %1× baseline: %2")
                        .arg(goalRatio, 0, 'f', 2)
                        .arg(ResultsTable::goalText(met))});
}

QString ExactCutBench::workPath(const QString &name) const
{
    return QDir(m_workFolder).filePath(name);
}

void ExactCutBench::removeWorkFiles() const
{
    for (const QString &name : {cutName, copyName, headName, tailName, reencodeName})
        QFile::remove(workPath(name));
}

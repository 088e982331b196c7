// SPDX-License-Identifier: GPL-3.0-or-later
// `make bench`: measures what the app adds to the work of its tools, by
// driving the real controller offscreen beside the same tool commands run
// directly, on clips generated once and kept in a cache folder.
//
// KESTREL_BENCH_CLIPS, when set, keeps only the clips whose file name holds
// one of its comma-separated words (such as "gop10s,720p"), for a shorter
// run; by default every clip is measured, and with none only start-up is.
// KESTREL_BENCH_ACTIONS likewise keeps only some kinds of action, of
// "open", "nudge", "drag", "player", "keyframes", "overview", "trim", "exact", "cut" and "startup".
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "progress.h"
#include "benchclips.h"
#include "benchsession.h"
#include "childbench.h"
#include "childmode.h"
#include "cutcommandbench.h"
#include "exactcutbench.h"
#include "resultstable.h"

namespace {

// Fewer runs where one extraction of the HEVC clip takes seconds.
constexpr int repetitions = 9;
// A start-up takes tens of milliseconds, and its spread is wide beside that.
constexpr int startupRepetitions = 21;
constexpr int slowRepetitions = 5;
constexpr int trimRepetitions = 7;
constexpr int reencodeRepetitions = 5;
constexpr double streamCopySeconds = 60.0;
constexpr double reencodeSeconds = 10.0;
constexpr int exactCutRepetitions = 5;
// A minute of 1080p takes minutes to re-encode on a small machine.
constexpr int exactCutReencodeRepetitions = 1;
constexpr double exactCutSeconds = 60.0;
// VP9 and AV1: their cut's parts alone, and a whole re-encode by the edges' encoder.
constexpr double newCodecFloorGoal = 1.05;
constexpr double newCodecReencodeGoal = 0.3;
// `kestrel cut`: one exact cut, a batch of copies of the 720p clip and one of exact cuts.
constexpr int cutCommandRepetitions = 3;
constexpr int copyBatchInputs = 20;
constexpr double copyBatchSeconds = 30.0;
constexpr int exactBatchInputs = 4;
constexpr double exactBatchSeconds = 20.0;
// Ten seconds played in a fresh process each time, the app and then mpv.
constexpr double playingSeconds = 10.0;
constexpr int playingRepetitions = 3;

int repetitionsFor(BenchClips::Kind kind)
{
    return kind == BenchClips::Kind::UltraHdHevc ? slowRepetitions : repetitions;
}

QString cpuModel()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (!cpuinfo.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown CPU");
    // Files under /proc report a size of 0, so read until the end of data.
    const QList<QByteArray> lines = cpuinfo.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("model name"))
            return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
    }
    return QStringLiteral("unknown CPU");
}

QString clipList(const BenchClips &clips)
{
    QStringList lines;
    for (const QString &label : clips.missing())
        lines.append(QStringLiteral("- %1: could not be generated, left out").arg(label));
    for (const BenchClip &clip : clips.all()) {
        const double mebibytes = static_cast<double>(QFileInfo(clip.path).size()) / (1024.0 * 1024.0);
        lines.append(QStringLiteral("- %1: %2 MiB, %3")
                         .arg(clip.label)
                         .arg(mebibytes, 0, 'f', 0)
                         .arg(clip.generationSeconds > 0
                                  ? QStringLiteral("generated in %1 s").arg(clip.generationSeconds, 0, 'f', 0)
                                  : QStringLiteral("from the cache")));
    }
    return lines.join(QLatin1Char('\n'));
}

bool isMade(const BenchClip &clip)
{
    return !clip.path.isEmpty();
}

bool isWanted(const char *action)
{
    const QStringList only =
        qEnvironmentVariable("KESTREL_BENCH_ACTIONS").split(QLatin1Char(','), Qt::SkipEmptyParts);
    return only.isEmpty() || only.contains(QLatin1String(action));
}

void measureInProcess(const BenchClips &clips, const QString &workFolder, ResultsTable &table)
{
    BenchSession session(workFolder, table);
    const QList<BenchClips::Kind> kinds{BenchClips::Kind::FullHd, BenchClips::Kind::HdSurround,
                                        BenchClips::Kind::UltraHdHevc, BenchClips::Kind::FullHdSparseKeyframes};
    using Measure = void (BenchSession::*)(const BenchClip &, int);
    const std::pair<const char *, Measure> measures[] = {{"open", &BenchSession::measureOpen},
                                                         {"nudge", &BenchSession::measureNudges},
                                                         {"drag", &BenchSession::measureDrag},
                                                         {"player", &BenchSession::measurePlayback},
                                                         {"keyframes", &BenchSession::measureKeyframeIndex},
                                                         {"overview", &BenchSession::measureOverview}};
    // One kind of action on every clip before the next kind.
    for (const auto &[name, measure] : measures) {
        for (const BenchClips::Kind kind : kinds) {
            if (isWanted(name) && isMade(clips.clip(kind)))
                (session.*measure)(clips.clip(kind), repetitionsFor(kind));
        }
    }
    const BenchClip fullHd = clips.clip(BenchClips::Kind::FullHd);
    const BenchClip surround = clips.clip(BenchClips::Kind::HdSurround);
    for (const BenchClip &clip : {fullHd, surround}) {
        if (isWanted("trim") && isMade(clip))
            session.measureStreamCopy(clip, streamCopySeconds, trimRepetitions);
    }
    if (isWanted("trim") && isMade(fullHd))
        session.measureReencode(fullHd, reencodeSeconds, reencodeRepetitions);
    ExactCutBench exactCut(workFolder, table);
    for (const BenchClip &clip : {fullHd, surround}) {
        if (isWanted("exact") && isMade(clip))
            exactCut.measure(clip, exactCutSeconds, exactCutRepetitions, exactCutReencodeRepetitions);
    }
    for (const BenchClips::Kind kind : {BenchClips::Kind::FullHdVp9, BenchClips::Kind::FullHdAv1}) {
        if (isWanted("exact") && isMade(clips.clip(kind)))
            exactCut.measure(clips.clip(kind), exactCutSeconds, exactCutRepetitions, exactCutReencodeRepetitions,
                             newCodecFloorGoal, newCodecReencodeGoal);
    }
}

// Two warnings that say nothing about the app: the offscreen platform has no
// window manager to pass size hints to, and a session without a login
// manager has no XDG_RUNTIME_DIR.
void dropPlatformNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints"))
        || message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char *argv[])
{
    // The app's window is drawn, but nowhere to be seen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropPlatformNoise);
    if (ChildMode::isRequested(argc, argv))
        return ChildMode::run(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kestrel"));
    const QString folder = QCoreApplication::arguments().value(1, QStringLiteral("kestrel-bench"));
    QElapsedTimer total;
    total.start();
    progress(QStringLiteral("machine: %1 cores, %2").arg(QThread::idealThreadCount()).arg(cpuModel()));

    const QStringList only =
        qEnvironmentVariable("KESTREL_BENCH_CLIPS").split(QLatin1Char(','), Qt::SkipEmptyParts);
    BenchClips clips(QDir(folder).filePath(QStringLiteral("clips")), only);
    // Start-up needs no clip: KESTREL_BENCH_CLIPS=none measures it alone.
    if (!clips.prepare())
        progress(QStringLiteral("no clip to measure: start-up only"));
    const QString workFolder = QDir(folder).filePath(QStringLiteral("work"));
    QDir(workFolder).removeRecursively();
    QDir().mkpath(workFolder);

    ResultsTable table;
    measureInProcess(clips, workFolder, table);
    if (isWanted("cut")) {
        CutCommandBench command(workFolder, table);
        command.measureStartup(startupRepetitions);
        const BenchClip fullHd = clips.clip(BenchClips::Kind::FullHd);
        const BenchClip surround = clips.clip(BenchClips::Kind::HdSurround);
        if (isMade(fullHd))
            command.measureExactCut(fullHd, exactCutSeconds, cutCommandRepetitions);
        if (isMade(surround))
            command.measureCopyBatch(surround, copyBatchInputs, copyBatchSeconds, cutCommandRepetitions);
        if (isMade(fullHd))
            command.measureExactBatch(fullHd, exactBatchInputs, exactBatchSeconds);
    }
    ChildBench children(workFolder, table);
    if (isWanted("startup"))
        children.measureStartup(startupRepetitions);
    if (isWanted("startup") && isMade(clips.clip(BenchClips::Kind::FullHd)))
        children.measureMemory(clips.clip(BenchClips::Kind::FullHd));
    for (const BenchClips::Kind kind : {BenchClips::Kind::FullHd, BenchClips::Kind::UltraHdHevc}) {
        if (isWanted("playing") && isMade(clips.clip(kind)))
            children.measurePlayback(clips.clip(kind), playingSeconds, playingRepetitions);
    }
    QDir(workFolder).removeRecursively();

    progress(QString());
    progress(QStringLiteral("Clips:"));
    progress(clipList(clips));
    progress(QString());
    progress(table.markdown());
    progress(QStringLiteral("whole run: %1 min").arg(static_cast<double>(total.elapsed()) / 60000.0, 0, 'f', 1));
    return 0;
}

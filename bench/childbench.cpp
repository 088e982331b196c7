// SPDX-License-Identifier: GPL-3.0-or-later
#include "childbench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "progress.h"
#include "childmode.h"
#include "resourceusage.h"
#include "resultstable.h"
#include "samples.h"

namespace {

// Start-up may take this much longer than for an empty window.
constexpr double startupGoalRatio = 1.3;
// A child that has not shown its window or finished its trim by then hangs.
constexpr int childTimeoutMs = 5 * 60 * 1000;
// Playing may cost this much more CPU time than mpv alone, and this much
// more memory.
constexpr double playbackCpuGoalRatio = 1.1;
// A frame at 20 per second: beyond it the window is seen to hang while playing.
constexpr double playingStallGoalMs = 50.0;
constexpr double playbackMemoryGoalKiB = 40.0 * 1024.0;

} // namespace

ChildBench::ChildBench(const QString &workFolder, ResultsTable &table)
    : m_workFolder(workFolder)
    , m_table(table)
{
}

ChildBench::Report ChildBench::run(const QStringList &arguments, const QString &platform)
{
    return runProgram(QCoreApplication::applicationFilePath(), QStringList{ChildMode::flag} + arguments, platform);
}

ChildBench::Report ChildBench::runProgram(const QString &program, const QStringList &arguments,
                                          const QString &platform)
{
    Report report;
    QProcess child;
    if (!platform.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        child.setProcessEnvironment(environment);
    }
    child.setProgram(program);
    child.setArguments(arguments);
    child.setStandardInputFile(QProcess::nullDevice());
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);

    const double childCpuBefore = ResourceUsage::cpuMs(ResourceUsage::Whose::Children);
    QElapsedTimer clock;
    clock.start();
    child.start();
    while (child.waitForReadyRead(childTimeoutMs) || child.bytesAvailable() > 0) {
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("shown") && report.shownMs < 0)
                report.shownMs = static_cast<double>(clock.nsecsElapsed()) / 1.0e6;
            readMilestones(line, report);
        }
        if (child.state() == QProcess::NotRunning)
            break;
    }
    // waitForFinished() answers false for a child that has already ended.
    if (child.state() != QProcess::NotRunning && !child.waitForFinished(childTimeoutMs)) {
        child.kill();
        child.waitForFinished();
        return report;
    }
    report.cpuMs = ResourceUsage::cpuMs(ResourceUsage::Whose::Children) - childCpuBefore;
    report.succeeded = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    return report;
}

void ChildBench::readMilestones(const QByteArray &line, Report &report)
{
    const QList<QByteArray> words = line.split(' ');
    if (words.size() < 2)
        return;
    QList<qint64> figures;
    for (qsizetype i = 1; i < words.size(); ++i)
        figures.append(words.at(i).toLongLong());
    report.milestones.insert(QString::fromLatin1(words.first()), figures);
}

void ChildBench::measureStartup(int repetitions)
{
    measureStartupOn(QStringLiteral("offscreen"), QStringLiteral("start-up: process start to window shown"),
                     repetitions);
    // Offscreen has no display server and no icon theme, which a desktop has.
    if (qEnvironmentVariableIsSet("DISPLAY"))
        measureStartupOn(QStringLiteral("xcb"), QStringLiteral("start-up on an X server"), repetitions);
}

void ChildBench::measureStartupOn(const QString &platform, const QString &action, int repetitions)
{
    progress(QStringLiteral("%1 (%2): %3 fresh processes each").arg(action, platform).arg(repetitions));
    // The app first, then two baselines: a window that draws nothing, and one
    // that draws a line of text, which is the least any window with words
    // pays (loading the font system and drawing its first glyphs).
    const QString baseline = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kestrel_bench_window"));
    const QList<std::pair<QString, QStringList>> kinds{
        {QCoreApplication::applicationFilePath(), {ChildMode::flag, ChildMode::appWindow, m_workFolder}},
        {baseline, {QStringLiteral("empty")}},
        {baseline, {QStringLiteral("text")}}};
    QList<Samples> times(kinds.size());
    QList<QList<double>> peaks(kinds.size());
    for (int i = 0; i < repetitions; ++i) {
        // Each round starts with another kind, so none always runs first.
        for (qsizetype k = 0; k < kinds.size(); ++k) {
            const qsizetype kind = (i + k) % kinds.size();
            const Report report = runProgram(kinds.at(kind).first, kinds.at(kind).second, platform);
            if (!report.succeeded || report.shownMs < 0) {
                times[kind].addFailure();
                continue;
            }
            times[kind].add({report.shownMs, report.cpuMs});
            peaks[kind].append(static_cast<double>(report.milestones.value(QStringLiteral("shown")).value(0)));
        }
    }
    progress(QStringLiteral("  Kestrel %1, empty window %2, window with a line of text %3")
                 .arg(ResultsTable::durationText(times.at(0).medianWallMs()),
                      ResultsTable::durationText(times.at(1).medianWallMs()),
                      ResultsTable::durationText(times.at(2).medianWallMs())));
    const QString empty = QStringLiteral("an empty Qt main window of the same size");
    m_table.addTimes(action, times.at(0), times.at(1), empty, startupGoalRatio);
    m_table.addTimes(QStringLiteral("the same"), times.at(0), times.at(2),
                     QStringLiteral("a Qt main window of the same size showing one line of text"));
    if (platform != QLatin1String("offscreen"))
        return;
    const double appPeak = Samples::median(peaks.at(0));
    const double emptyPeak = Samples::median(peaks.at(1));
    m_table.addRow({QStringLiteral("peak RSS, window shown"), ResultsTable::runsText(times.at(0)),
                    ResultsTable::mebibytesText(appPeak), ResultsTable::mebibytesText(emptyPeak),
                    ResultsTable::ratioText(appPeak, emptyPeak), empty, QString(), QString(), QString()});
}

void ChildBench::measureMemory(const BenchClip &clip)
{
    progress(QStringLiteral("memory: open and trim %1 in a fresh process").arg(clip.label));
    const QString output = QDir(m_workFolder).filePath(QStringLiteral("memory-trim.mp4"));
    QFile::remove(output);
    const Report report = run({ChildMode::appWindow, m_workFolder, clip.path, output});
    QFile::remove(output);
    const QList<qint64> opened = report.milestones.value(QStringLiteral("opened"));
    const QList<qint64> trimmed = report.milestones.value(QStringLiteral("trimmed"));
    if (!report.succeeded || opened.size() < 2 || trimmed.size() < 3) {
        progress(QStringLiteral("  the memory run failed"));
        return;
    }
    const auto addPeaks = [this](const QString &action, qint64 app, qint64 tool) {
        m_table.addRow({action, QStringLiteral("1"), ResultsTable::mebibytesText(static_cast<double>(app)),
                        ResultsTable::mebibytesText(static_cast<double>(tool)),
                        ResultsTable::ratioText(static_cast<double>(app), static_cast<double>(tool)),
                        QStringLiteral("the largest tool process it ran"), QString(), QString(),
                        QString()});
    };
    addPeaks(QStringLiteral("peak RSS after opening %1").arg(clip.label), opened.at(0), opened.at(1));
    addPeaks(QStringLiteral("peak RSS after opening it and a stream copy of the centred selection"), trimmed.at(0),
             trimmed.at(1));
    progress(QStringLiteral("  peak RSS: %1 after opening, %2 after trimming")
                 .arg(ResultsTable::mebibytesText(static_cast<double>(opened.at(0))),
                      ResultsTable::mebibytesText(static_cast<double>(trimmed.at(0)))));
}

// mpv tells nothing on its way out, so a script of its own reports its
// dropped frames and its peak memory as the file unloads, in the form of a
// child's milestone: "mpv <peak KiB> <frames dropped>".
QString ChildBench::writeMpvReportScript() const
{
    const QString path = QDir(m_workFolder).filePath(QStringLiteral("report.lua"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    script.write(R"lua(mp.add_hook("on_unload", 50, function()
    local dropped = mp.get_property_number("frame-drop-count", 0)
        + mp.get_property_number("decoder-frame-drop-count", 0)
    local peak = 0
    for line in io.lines("/proc/self/status") do
        peak = line:match("^VmHWM:%s+(%d+)") or peak
    end
    io.stdout:write(string.format("mpv %s %d\n", peak, dropped))
    io.stdout:flush()
end)
)lua");
    return path;
}

void ChildBench::measurePlayback(const BenchClip &clip, double seconds, int repetitions)
{
    const QString mpv = QStandardPaths::findExecutable(QStringLiteral("mpv"));
    if (!qEnvironmentVariableIsSet("DISPLAY") || mpv.isEmpty()) {
        progress(QStringLiteral("playing %1: needs a display and mpv (./scripts/setup.sh mpv)").arg(clip.label));
        return;
    }
    progress(QStringLiteral("playing %1 s of %2 on X, beside mpv alone").arg(seconds).arg(clip.label));
    const QString script = writeMpvReportScript();
    Samples app, alone;
    QList<double> appDropped, aloneDropped, appPeaks, alonePeaks, stalls;
    QString videoOutput;
    for (int i = 0; i < repetitions; ++i) {
        const Report played = run({ChildMode::playWindow, m_workFolder, clip.path, QString::number(seconds)},
                                  QStringLiteral("xcb"));
        const QList<qint64> figures = played.milestones.value(QStringLiteral("played"));
        if (!played.succeeded || figures.size() < 7) {
            app.addFailure();
            continue;
        }
        // mpv's own window as large as the app's video, drawn the same way:
        // its OpenGL output (even on a software OpenGL), or its software
        // scaling into an X image.
        const bool openGl = figures.at(5) == 1;
        videoOutput = openGl ? QStringLiteral("--vo=gpu --gpu-sw=yes") : QStringLiteral("--vo=x11");
        const Report baseline = runProgram(
            mpv, QStringList{QStringLiteral("--no-config"), QStringLiteral("--ao=null"),
                  QStringLiteral("--really-quiet"), QStringLiteral("--start=0"),
                  QStringLiteral("--length=%1").arg(seconds),
                  QStringLiteral("--geometry=%1x%2").arg(figures.at(3)).arg(figures.at(4)),
                  QStringLiteral("--script=%1").arg(script), clip.path}
                + videoOutput.split(QLatin1Char(' ')));
        const QList<qint64> mpvFigures = baseline.milestones.value(QStringLiteral("mpv"));
        if (!baseline.succeeded || mpvFigures.size() < 2) {
            alone.addFailure();
            continue;
        }
        app.add(Cost{static_cast<double>(figures.at(1)), static_cast<double>(figures.at(1))});
        alone.add(Cost{baseline.cpuMs, baseline.cpuMs});
        appPeaks.append(static_cast<double>(figures.at(0)));
        alonePeaks.append(static_cast<double>(mpvFigures.at(0)));
        appDropped.append(static_cast<double>(figures.at(2)));
        stalls.append(static_cast<double>(figures.at(6)));
        aloneDropped.append(static_cast<double>(mpvFigures.at(1)));
    }
    if (app.count() == 0 || alone.count() == 0) {
        progress(QStringLiteral("  the playing runs failed"));
        return;
    }
    const QString mpvAlone =
        QStringLiteral("mpv --no-config %1 --ao=null, its own window of the same size").arg(videoOutput);
    const QString action = QStringLiteral("playing %1 s of %2 on X").arg(seconds).arg(clip.label);
    const double appCpu = app.medianWallMs();
    const double aloneCpu = alone.medianWallMs();
    m_table.addRow({action + QStringLiteral(": CPU time"), ResultsTable::runsText(app),
                    ResultsTable::durationText(appCpu), ResultsTable::durationText(aloneCpu),
                    ResultsTable::ratioText(appCpu, aloneCpu), mpvAlone, QString(), QString(),
                    QStringLiteral("≤ %1×: %2")
                        .arg(playbackCpuGoalRatio, 0, 'f', 1)
                        .arg(ResultsTable::goalText(appCpu <= playbackCpuGoalRatio * aloneCpu))});
    const double dropped = Samples::largest(appDropped);
    const double droppedAlone = Samples::largest(aloneDropped);
    m_table.addRow({QStringLiteral("the same: frames dropped, the most in a run"), ResultsTable::runsText(app),
                    QString::number(dropped), QString::number(droppedAlone), QString(), mpvAlone, QString(),
                    QString(),
                    QStringLiteral("no more: %1").arg(ResultsTable::goalText(dropped <= droppedAlone))});
    const double stall = Samples::largest(stalls);
    m_table.addRow({QStringLiteral("the same: the window's longest stall"), ResultsTable::runsText(app),
                    ResultsTable::durationText(stall), QString(), QString(), QString(), QString(), QString(),
                    QStringLiteral("≤ %1 ms: %2").arg(playingStallGoalMs).arg(ResultsTable::goalText(stall <= playingStallGoalMs))});
    const double peak = Samples::median(appPeaks);
    const double peakAlone = Samples::median(alonePeaks);
    m_table.addRow({QStringLiteral("the same: peak RSS"), ResultsTable::runsText(app),
                    ResultsTable::mebibytesText(peak), ResultsTable::mebibytesText(peakAlone),
                    ResultsTable::ratioText(peak, peakAlone), mpvAlone, QString(), QString(),
                    QStringLiteral("≤ mpv + 40 MiB: %1")
                        .arg(ResultsTable::goalText(peak <= peakAlone + playbackMemoryGoalKiB))});
    progress(QStringLiteral("  CPU %1 against %2, dropped %3 against %4, peak %5 against %6")
                 .arg(ResultsTable::durationText(appCpu), ResultsTable::durationText(aloneCpu))
                 .arg(dropped)
                 .arg(droppedAlone)
                 .arg(ResultsTable::mebibytesText(peak), ResultsTable::mebibytesText(peakAlone)));
}

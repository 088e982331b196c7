// SPDX-License-Identifier: GPL-3.0-or-later
#include "childbench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

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

} // namespace

ChildBench::ChildBench(const QString &workFolder, ResultsTable &table)
    : m_workFolder(workFolder)
    , m_table(table)
{
}

ChildBench::Report ChildBench::run(const QStringList &arguments, const QString &platform)
{
    Report report;
    QProcess child;
    if (!platform.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        child.setProcessEnvironment(environment);
    }
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments(QStringList{ChildMode::flag} + arguments);
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
    const QList<QStringList> kinds{{ChildMode::appWindow, m_workFolder}, {ChildMode::emptyWindow},
                                   {ChildMode::textWindow}};
    QList<Samples> times(kinds.size());
    QList<QList<double>> peaks(kinds.size());
    for (int i = 0; i < repetitions; ++i) {
        // Each round starts with another kind, so none always runs first.
        for (qsizetype k = 0; k < kinds.size(); ++k) {
            const qsizetype kind = (i + k) % kinds.size();
            const Report report = run(kinds.at(kind), platform);
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

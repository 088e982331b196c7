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

// A child that has not shown its window or finished its trim by then hangs.
constexpr int childTimeoutMs = 5 * 60 * 1000;

} // namespace

ChildBench::ChildBench(const QString &workFolder, ResultsTable &table)
    : m_workFolder(workFolder)
    , m_table(table)
{
}

ChildBench::Report ChildBench::run(const QStringList &arguments)
{
    Report report;
    QProcess child;
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
    progress(QStringLiteral("start-up: %1 fresh processes each").arg(repetitions));
    Samples app;
    Samples empty;
    QList<double> appPeaks;
    QList<double> emptyPeaks;
    const QStringList appArguments{ChildMode::appWindow, m_workFolder};
    const QStringList emptyArguments{ChildMode::emptyWindow};
    for (int i = 0; i < repetitions; ++i) {
        for (const bool isApp : {i % 2 == 0, i % 2 != 0}) {
            const Report report = run(isApp ? appArguments : emptyArguments);
            Samples &samples = isApp ? app : empty;
            if (!report.succeeded || report.shownMs < 0) {
                samples.addFailure();
                continue;
            }
            samples.add({report.shownMs, report.cpuMs});
            const qint64 peak = report.milestones.value(QStringLiteral("shown")).value(0);
            (isApp ? appPeaks : emptyPeaks).append(static_cast<double>(peak));
        }
    }
    progress(QStringLiteral("  start-up: Kestrel %1, empty window %2")
                 .arg(ResultsTable::durationText(app.medianWallMs()),
                      ResultsTable::durationText(empty.medianWallMs())));
    m_table.addTimes(QStringLiteral("start-up: process start to window shown"), app, empty,
                     QStringLiteral("an empty Qt main window of the same size"));
    const double appPeak = Samples::median(appPeaks);
    const double emptyPeak = Samples::median(emptyPeaks);
    m_table.addRow({QStringLiteral("peak RSS, window shown"), ResultsTable::runsText(app),
                    ResultsTable::mebibytesText(appPeak), ResultsTable::mebibytesText(emptyPeak),
                    ResultsTable::ratioText(appPeak, emptyPeak),
                    QStringLiteral("an empty Qt main window of the same size"),
                    QString(), QString(), QString()});
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

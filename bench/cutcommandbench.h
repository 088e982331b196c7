// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "benchclips.h"
#include "diagnosticlog.h"
#include "toollocator.h"

class ResultsTable;
class Samples;

// `kestrel cut`, run as a person runs it, in fresh processes: its start-up
// and memory beside the prober's, one exact cut beside the same cut made by
// the window's own run, a batch of stream copies beside the creator's own
// copies run as many at a time, and a batch of exact cuts side by side beside
// one after the other.
class CutCommandBench
{
public:
    static constexpr double startupGoalRatio = 0.5;
    static constexpr double exactCutGoalRatio = 1.02;
    static constexpr double batchGoalRatio = 1.1;

    CutCommandBench(const QString &workFolder, ResultsTable &table);

    void measureStartup(int repetitions);
    void measureExactCut(const BenchClip &clip, double seconds, int repetitions);
    void measureCopyBatch(const BenchClip &clip, int inputs, double seconds, int repetitions);
    void measureExactBatch(const BenchClip &clip, int inputs, double seconds);

    // A fresh process run to its end: its wall time and, where it is read
    // while it runs, the peak resident memory of the process alone.
    struct Run
    {
        bool succeeded = false;
        double wallMs = 0.0;
        long peakKiB = 0;
    };
    enum class Peak { None, Polled, PolledSlowly };
    static Run run(const QString &program, const QStringList &arguments, Peak peak = Peak::None);
    // Each command line a process of its own, `atOnce` of them at a time.
    static bool runPool(const QList<QStringList> &commands, int atOnce);

private:
    QStringList linkedInputs(const BenchClip &clip, int count) const;
    QString cutProgram() const;
    void addRow(const QString &action, const Samples &command, const Samples &baseline, const QString &baselineIs,
                const QString &goal, bool met) const;

    const QString m_workFolder;
    ResultsTable &m_table;
    const ToolLocator m_tools;
    // Keeps the window's run's diagnostic lines off the benchmark's output.
    DiagnosticLog::Capture m_diagnostics;
};

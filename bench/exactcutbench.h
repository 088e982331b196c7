// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QJsonObject>
#include <QString>

#include "benchclips.h"
#include "diagnosticlog.h"
#include "directtools.h"
#include "exactcutplan.h"
#include "stopwatch.h"
#include "toollocator.h"

class FileProbe;
class ResultsTable;
class Samples;

// Times the exact cut of a selection, run by the app's ExactCutRun on the
// event loop, against (a) a stream copy of the same selection plus the two
// edge encodes run alone with the cut's own arguments, its floor, and (b) a
// forced re-encode of the selection, what it replaces. The selection starts
// and ends off keyframes, a third of a second into a second, so both edges
// are re-encoded.
class ExactCutBench
{
public:
    // The cut may take this much longer than its floor, and this share of
    // a re-encode.
    static constexpr double floorGoalRatio = 1.1;
    static constexpr double reencodeGoalRatio = 0.4;

    ExactCutBench(const QString &workFolder, ResultsTable &table);

    // For codecs the app does not re-encode to, the whole selection is re-encoded as the edges are, and the
    // goals are the ones given.
    void measure(const BenchClip &clip, double seconds, int repetitions, int reencodeRepetitions,
                 double floorGoal = floorGoalRatio, double reencodeGoal = reencodeGoalRatio);

private:
    std::optional<Cost> cut(const QString &path, double start, double end);
    bool runFloor(const QString &path, double start, double end, const FileProbe &probe) const;
    void addRow(const QString &action, const Samples &cut, const Samples &baseline, const QString &baselineIs,
                double goalRatio) const;
    QString workPath(const QString &name) const;
    void removeWorkFiles() const;

    const QString m_workFolder;
    ResultsTable &m_table;
    const ToolLocator m_tools;
    const DirectTools m_direct;
    // Keeps the cut's diagnostic lines off the benchmark's output.
    DiagnosticLog::Capture m_diagnostics;
    ExactCutPlan m_plan;
    QString m_formatName;
    QJsonObject m_videoTrack;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "benchclips.h"

class ResultsTable;

// Start-up time and peak memory, measured on fresh child processes (the
// benchmark program in its child mode): the app's controller and window
// beside two baseline windows (an empty one, one with a line of text), and
// the app opening and trimming a clip.
class ChildBench
{
public:
    ChildBench(const QString &workFolder, ResultsTable &table);

    // Offscreen, and on the X server of DISPLAY when there is one.
    void measureStartup(int repetitions);
    void measureMemory(const BenchClip &clip);
    // On the X server of DISPLAY only, beside mpv's own window.
    void measurePlayback(const BenchClip &clip, double seconds, int repetitions);

private:
    void measureStartupOn(const QString &platform, const QString &action, int repetitions);

    struct Report {
        bool succeeded = false;
        double shownMs = -1.0;     // from starting the process to its "shown" line
        double cpuMs = 0.0;        // the child's CPU time, its own children included
        QMap<QString, QList<qint64>> milestones;
    };

    // `platform`, when given, is the child's Qt platform plugin.
    static Report run(const QStringList &arguments, const QString &platform = QString());
    static Report runProgram(const QString &program, const QStringList &arguments,
                             const QString &platform = QString());
    QString writeMpvReportScript() const;
    static void readMilestones(const QByteArray &line, Report &report);

    const QString m_workFolder;
    ResultsTable &m_table;
};

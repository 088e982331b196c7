// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QString>

class Samples;

// The one Markdown table the benchmark prints at the end: each action of
// the app beside a baseline doing the same work without it, and for the
// actions that end with a poster frame, the goals it must meet.
class ResultsTable
{
public:
    // The window must answer within this, whatever it is doing, and within
    // half of it while it opens a file.
    static constexpr double stallGoalMs = 100.0;
    static constexpr double openStallGoalMs = 50.0;
    // The exact poster may take this much longer than its tool alone.
    static constexpr double posterGoalRatio = 1.05;

    struct Row {
        QString action;
        QString runs;
        QString app;
        QString baseline;
        QString ratio;
        QString baselineIs;
        QString appOwnCpu;
        QString longestStall;
        QString goals;
    };

    void addRow(const Row &row);
    // Two timed medians, their ratio and the app's own CPU time; with a
    // goal ratio, whether the app's median stays within it.
    void addTimes(const QString &action, const Samples &app, const Samples &baseline,
                  const QString &baselineIs, std::optional<double> goalRatio = std::nullopt);
    // The same for an action timed until the exact poster is shown, against
    // the tool alone, with the longest stall of the event loop in any run
    // and whether both goals are met.
    // `result` names what the action waits for in the goal.
    void addPosterTimes(const QString &action, const Samples &app, const Samples &toolAlone,
                        const QString &baselineIs, const QList<double> &stallsMs,
                        const QString &result = QStringLiteral("poster"), double stallGoal = stallGoalMs,
                        double ratioGoal = posterGoalRatio);

    QString markdown() const;

    static QString durationText(double ms);
    static QString ratioText(double numerator, double denominator);
    static QString mebibytesText(double kibibytes);
    static QString runsText(const Samples &samples);
    static QString goalText(bool met);

private:
    QList<Row> m_rows;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "resultstable.h"

#include <QStringList>

#include "samples.h"

void ResultsTable::addRow(const Row &row)
{
    m_rows.append(row);
}

void ResultsTable::addTimes(const QString &action, const Samples &app, const Samples &baseline,
                            const QString &baselineIs, std::optional<double> goalRatio)
{
    QString goal;
    if (goalRatio) {
        const bool complete = app.count() > 0 && app.failures() == 0 && baseline.count() > 0;
        const bool met = complete && app.medianWallMs() <= *goalRatio * baseline.medianWallMs();
        goal = QStringLiteral("≤ %1×: %2").arg(*goalRatio, 0, 'f', 1).arg(goalText(met));
    }
    addRow({action, runsText(app), durationText(app.medianWallMs()), durationText(baseline.medianWallMs()),
            ratioText(app.medianWallMs(), baseline.medianWallMs()), baselineIs,
            durationText(app.medianOwnCpuMs()), QString(), goal});
}

void ResultsTable::addPosterTimes(const QString &action, const Samples &app, const Samples &toolAlone,
                                  const QString &baselineIs, const QList<double> &stallsMs,
                                  const QString &result, double stallGoal, double ratioGoal)
{
    // A run that showed no poster meets no goal.
    const bool complete = app.count() > 0 && app.failures() == 0 && toolAlone.count() > 0;
    const double longestStall = Samples::largest(stallsMs);
    const bool stallMet = complete && longestStall <= stallGoal;
    const bool posterMet = complete && app.medianWallMs() <= ratioGoal * toolAlone.medianWallMs();
    const QString goals = QStringLiteral("stall ≤ %1 ms: %2; %3 ≤ %4× tool: %5")
                              .arg(stallGoal, 0, 'f', 0)
                              .arg(goalText(stallMet), result)
                              .arg(ratioGoal, 0, 'f', 2)
                              .arg(goalText(posterMet));
    addRow({action, runsText(app), durationText(app.medianWallMs()), durationText(toolAlone.medianWallMs()),
            ratioText(app.medianWallMs(), toolAlone.medianWallMs()), baselineIs,
            durationText(app.medianOwnCpuMs()), stallsMs.isEmpty() ? QStringLiteral("–") : durationText(longestStall),
            goals});
}

QString ResultsTable::markdown() const
{
    QStringList lines{
        QStringLiteral("| action | runs | Kestrel (median) | baseline (median) | Kestrel ÷ baseline "
                       "| baseline | Kestrel's own CPU (median) | longest stall (any run) | goals |"),
        QStringLiteral("|---|---:|---:|---:|---:|---|---:|---:|---|")};
    for (const Row &row : m_rows) {
        lines.append(QStringList{row.action, row.runs, row.app, row.baseline, row.ratio, row.baselineIs,
                                 row.appOwnCpu, row.longestStall, row.goals}
                         .join(QStringLiteral(" | "))
                         .prepend(QStringLiteral("| "))
                         .append(QStringLiteral(" |")));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString ResultsTable::durationText(double ms)
{
    if (ms < 1000.0)
        return QStringLiteral("%1 ms").arg(ms, 0, 'f', 0);
    return QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', 2);
}

QString ResultsTable::ratioText(double numerator, double denominator)
{
    if (denominator <= 0.0)
        return QStringLiteral("–");
    return QStringLiteral("%1×").arg(numerator / denominator, 0, 'f', 2);
}

QString ResultsTable::mebibytesText(double kibibytes)
{
    return QStringLiteral("%1 MiB").arg(kibibytes / 1024.0, 0, 'f', 1);
}

QString ResultsTable::runsText(const Samples &samples)
{
    QString text = QString::number(samples.count());
    if (samples.failures() > 0)
        text += QStringLiteral(" (%1 failed)").arg(samples.failures());
    return text;
}

QString ResultsTable::goalText(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("not met");
}

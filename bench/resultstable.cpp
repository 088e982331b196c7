#include "resultstable.h"

#include <QStringList>

#include "samples.h"

void ResultsTable::addRow(const Row &row)
{
    m_rows.append(row);
}

void ResultsTable::addTimes(const QString &action, const Samples &app, const Samples &baseline,
                            const QString &baselineIs)
{
    addRow({action, runsText(app), durationText(app.medianWallMs()), durationText(baseline.medianWallMs()),
            ratioText(app.medianWallMs(), baseline.medianWallMs()), baselineIs,
            durationText(app.medianOwnCpuMs())});
}

QString ResultsTable::markdown() const
{
    QStringList lines{
        QStringLiteral("| action | runs | Kestrel (median) | baseline (median) | Kestrel ÷ baseline "
                       "| baseline | Kestrel's own CPU (median) |"),
        QStringLiteral("|---|---:|---:|---:|---:|---|---:|")};
    for (const Row &row : m_rows) {
        lines.append(QStringList{row.action, row.runs, row.app, row.baseline, row.ratio, row.baselineIs,
                                 row.appOwnCpu}
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

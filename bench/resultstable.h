#pragma once

#include <QList>
#include <QString>

class Samples;

// The one Markdown table the benchmark prints at the end: each action of
// the app beside a baseline doing the same work without it.
class ResultsTable
{
public:
    struct Row {
        QString action;
        QString runs;
        QString app;
        QString baseline;
        QString ratio;
        QString baselineIs;
        QString appOwnCpu;
    };

    void addRow(const Row &row);
    // Two timed medians, their ratio and the app's own CPU time.
    void addTimes(const QString &action, const Samples &app, const Samples &baseline,
                  const QString &baselineIs);

    QString markdown() const;

    static QString durationText(double ms);
    static QString ratioText(double numerator, double denominator);
    static QString mebibytesText(double kibibytes);
    static QString runsText(const Samples &samples);

private:
    QList<Row> m_rows;
};

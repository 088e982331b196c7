// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// A trim being written, whichever way it is made, as the window follows it:
// progress, a cancel, and one end. A run never throws and never ends twice:
// each start is answered by exactly one finished().
class TrimRun : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Succeeded, Failed, Cancelled };
    Q_ENUM(Outcome)

    using QObject::QObject;

    // Stops what runs and removes what it wrote; the run then ends in
    // Cancelled. Harmless when nothing runs.
    virtual void cancel() = 0;
    virtual bool isRunning() const = 0;

signals:
    // 0 to 100.
    void progressChanged(double percent);
    // What runs now, for a person, one step a line; a run of one step may name none.
    void stepChanged(const QString &step);
    // `details` says why a run failed. Receivers must not delete the run
    // directly from this signal (deleteLater is fine).
    void finished(TrimRun::Outcome outcome, const QString &details);
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class Selection;
class TimeField;

// Times typed into the start, end and output duration fields move the
// selection's knobs, as a drag to that time would; an output duration moves
// the end. What is not a time, lies outside the input, or would empty the
// selection or turn it inside out is refused, and the field says why.
class TimeEntry : public QObject
{
    Q_OBJECT

public:
    struct Fields
    {
        TimeField *start = nullptr;
        TimeField *end = nullptr;
        TimeField *outputDuration = nullptr;
    };

    TimeEntry(Selection *selection, const Fields &fields, QObject *parent = nullptr);

    // Empty when `typed` may move the knob of `field`, else why not.
    QString problem(const TimeField *field, const QString &typed) const;
    // Empty when `typed` is a time within a video of `duration`, else why not.
    static QString problemWithin(const QString &typed, double duration);

private:
    void apply(TimeField *field, const QString &typed);

    Selection *const m_selection;
    const Fields m_fields;
};

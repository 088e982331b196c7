// SPDX-License-Identifier: GPL-3.0-or-later
#include "timeentry.h"

#include "selection.h"
#include "timefield.h"
#include "timetext.h"

TimeEntry::TimeEntry(Selection *selection, const Fields &fields, QObject *parent)
    : QObject(parent)
    , m_selection(selection)
    , m_fields(fields)
{
    for (TimeField *field : {fields.start, fields.end, fields.outputDuration})
        connect(field, &TimeField::timeTyped, this, [this, field](const QString &typed) { apply(field, typed); });
}

QString TimeEntry::problem(const TimeField *field, const QString &typed) const
{
    const std::optional<double> seconds = secondsFromTimeText(typed);
    if (!seconds)
        return problemWithin(typed, 0.0);
    const double duration = m_selection->duration();
    const double start = m_selection->startSeconds();
    const double end = field == m_fields.outputDuration ? start + *seconds : *seconds;
    const QString length = timeTextFromSeconds(duration);
    if (field == m_fields.start) {
        if (*seconds > duration)
            return problemWithin(typed, duration);
        if (*seconds >= m_selection->endSeconds())
            return tr("The start must come before the end, %1.").arg(timeTextFromSeconds(m_selection->endSeconds()));
        return {};
    }
    if (end > duration)
        return field == m_fields.end ? tr("The video is %1 long.").arg(length)
                                     : tr("The video ends %1 after the start.")
                                           .arg(timeTextFromSeconds(duration - start));
    if (end <= start)
        return field == m_fields.end ? tr("The end must come after the start, %1.").arg(timeTextFromSeconds(start))
                                     : tr("The output must last longer than no time.");
    return {};
}

QString TimeEntry::problemWithin(const QString &typed, double duration)
{
    const std::optional<double> seconds = secondsFromTimeText(typed);
    if (!seconds)
        return tr("\"%1\" is not a time. Type it as 1:02:03.500, 2:05 or 90.5.").arg(typed);
    if (*seconds > duration)
        return tr("The video is %1 long.").arg(timeTextFromSeconds(duration));
    return {};
}

void TimeEntry::apply(TimeField *field, const QString &typed)
{
    const QString refusal = problem(field, typed);
    if (!refusal.isEmpty()) {
        field->refuse(refusal);
        return;
    }
    const double seconds = *secondsFromTimeText(typed);
    if (field == m_fields.start)
        m_selection->moveTo(Selection::Knob::Start, seconds);
    else
        m_selection->moveTo(Selection::Knob::End,
                            field == m_fields.end ? seconds : m_selection->startSeconds() + seconds);
}

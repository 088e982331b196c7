// SPDX-License-Identifier: GPL-3.0-or-later
#include "selection.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double slack = Timeline::tolerance;

} // namespace

const QList<double> Selection::presetSeconds = {10, 15, 30, 45, 60, 120, 300, 600, 900, 1800, 2700, 3600};

const QStringList Selection::presetTitles = {
    QStringLiteral("10 sec"), QStringLiteral("15 sec"), QStringLiteral("30 sec"), QStringLiteral("45 sec"),
    QStringLiteral("1 min"),  QStringLiteral("2 min"),  QStringLiteral("5 min"),  QStringLiteral("10 min"),
    QStringLiteral("15 min"), QStringLiteral("30 min"), QStringLiteral("45 min"), QStringLiteral("1 hr")};

Selection::Selection(QObject *parent)
    : QObject(parent)
{
}

void Selection::setInput(double duration, const Timeline &timeline)
{
    m_duration = duration;
    m_timeline = timeline;
}

// Past the first or the last frame, a frame's nudge goes to the input's edge.
void Selection::nudge(Knob knob, Step step, int direction)
{
    const double from = seconds(knob);
    const std::optional<double> frame = m_timeline.frameBeside(from, direction);
    const double moved = step == Step::Second ? from + direction : frame.value_or(direction < 0 ? 0.0 : m_duration);
    moveTo(knob, direction < 0 ? std::max(0.0, moved) : std::min(m_duration, moved));
}

// An input without a known duration has no scale to move a knob on.
void Selection::moveTo(Knob knob, double seconds)
{
    if (m_duration > 0)
        setFraction(knob, settled(knob, seconds) / m_duration);
}

double Selection::settled(Knob knob, double seconds) const
{
    const double frame = knob == Knob::Start ? m_timeline.settledStart(seconds) : m_timeline.settledEnd(seconds);
    return std::clamp(frame, 0.0, m_duration);
}

void Selection::follow(double start, double end, Knob moved)
{
    if (start == m_start && end == m_end)
        return;
    m_start = start;
    m_end = end;
    emit changed(moved);
}

// Only a knob off its frame is set, the one dragged last, so that it stays the one a view marks.
bool Selection::settle(Knob dragged)
{
    bool moved = false;
    for (const Knob knob : {dragged == Knob::Start ? Knob::End : Knob::Start, dragged}) {
        if (m_duration > 0 && std::abs(settled(knob, seconds(knob)) - seconds(knob)) > 1e-9) {
            moveTo(knob, seconds(knob));
            moved = true;
        }
    }
    return moved;
}

qsizetype Selection::fittingPresetCount() const
{
    return std::count_if(presetSeconds.cbegin(), presetSeconds.cend(),
                         [this](double preset) { return preset < m_duration; });
}

void Selection::choosePreset(qsizetype index)
{
    if (index < 0 || index >= presetSeconds.size())
        return;
    const double preset = presetSeconds.at(index);
    const double start = std::max(0.0, std::min(startSeconds(), m_duration - preset));
    moveTo(Knob::Start, start);
    moveTo(Knob::End, std::min(m_duration, startSeconds() + preset));
}

// Ends settle on frames, so a preset's length may come out longer, by less than a frame.
std::optional<qsizetype> Selection::presetIndex() const
{
    const double frame = 1.0 / m_timeline.frameRate();
    for (qsizetype i = 0; i < fittingPresetCount(); ++i) {
        const double over = outputDuration() - presetSeconds.at(i);
        if (over > -Timeline::tolerance && over < frame - Timeline::tolerance)
            return i;
    }
    return std::nullopt;
}

void Selection::selectCentred()
{
    const qsizetype index = fittingPresetCount() - 1;
    // Without a video, the knobs go to the slider's ends.
    if (m_duration <= 0) {
        setFraction(Knob::End, 1.0);
        setFraction(Knob::Start, 0.0);
        return;
    }
    if (index < 0) {
        moveTo(Knob::End, m_duration);
        moveTo(Knob::Start, 0.0);
        return;
    }
    const double preset = presetSeconds.at(index);
    moveTo(Knob::End, preset + (m_duration - preset) * 0.5);
    moveTo(Knob::Start, (m_duration - preset) * 0.5);
}

std::optional<double> Selection::keyframeBeforeStart() const
{
    return m_duration > 0 ? m_timeline.keyframeAtOrBefore(startSeconds() - 2 * slack) : std::nullopt;
}

// Past the end the start would turn the selection inside out.
std::optional<double> Selection::keyframeAfterStart() const
{
    const std::optional<double> keyframe = m_duration > 0 ? m_timeline.keyframeAfter(startSeconds()) : std::nullopt;
    return keyframe && *keyframe < endSeconds() ? keyframe : std::nullopt;
}

void Selection::moveStartToKeyframe(int direction)
{
    if (const std::optional<double> keyframe = direction < 0 ? keyframeBeforeStart() : keyframeAfterStart())
        moveTo(Knob::Start, *keyframe);
}

double Selection::endFrameSeconds() const
{
    return m_timeline.lastFrameBefore(endSeconds());
}

std::optional<double> Selection::streamCopyStart() const
{
    const std::optional<double> keyframe = m_timeline.keyframeAtOrBefore(startSeconds());
    return m_duration > 0 && keyframe && startSeconds() - *keyframe >= slack ? keyframe : std::nullopt;
}

std::optional<double> Selection::streamCopyEnd() const
{
    const std::optional<double> end = m_duration > 0 ? m_timeline.copyEnd(startSeconds(), endSeconds()) : std::nullopt;
    return end && *end - endSeconds() >= slack ? end : std::nullopt;
}

void Selection::setFraction(Knob knob, double fraction)
{
    double &stored = knob == Knob::Start ? m_start : m_end;
    const bool moved = stored != fraction;
    stored = fraction;
    emit knobSet(knob);
    if (moved)
        emit changed(knob);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "selection.h"

#include <algorithm>

#include "packetlist.h"

namespace {

// Half a millisecond: times shown have no finer digits, so a start this close
// counts as on its keyframe, and a frame this close to the end as past it.
constexpr double slack = 0.0005;

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

void Selection::setInput(double duration, std::optional<double> frameRate)
{
    m_duration = duration;
    if (frameRate)
        m_frameRate = *frameRate;
}

void Selection::nudge(Knob knob, Step step, int direction)
{
    const double moved = seconds(knob) + direction * (step == Step::Frame ? 1.0 / m_frameRate : 1.0);
    moveTo(knob, direction < 0 ? std::max(0.0, moved) : std::min(m_duration, moved));
}

// An input without a known duration has no scale to move a knob on.
void Selection::moveTo(Knob knob, double seconds)
{
    if (m_duration > 0)
        setFraction(knob, seconds / m_duration);
}

void Selection::follow(double start, double end, Knob moved)
{
    if (start == m_start && end == m_end)
        return;
    m_start = start;
    m_end = end;
    emit changed(moved);
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
    const double start = startSeconds();
    moveTo(Knob::Start, start);
    moveTo(Knob::End, std::min(m_duration, start + presetSeconds.at(index)));
}

void Selection::selectCentred()
{
    const qsizetype index = fittingPresetCount() - 1;
    if (index < 0) {
        setFraction(Knob::End, 1.0);
        setFraction(Knob::Start, 0.0);
        return;
    }
    const double preset = presetSeconds.at(index);
    setFraction(Knob::End, (preset + (m_duration - preset) * 0.5) / m_duration);
    setFraction(Knob::Start, ((m_duration - preset) * 0.5) / m_duration);
}

std::optional<double> Selection::keyframeBeforeStart(const PacketList &packets) const
{
    return m_duration > 0 ? packets.keyframeAtOrBefore(startSeconds() - 2 * slack) : std::nullopt;
}

// Past the end the start would turn the selection inside out.
std::optional<double> Selection::keyframeAfterStart(const PacketList &packets) const
{
    const std::optional<double> keyframe = m_duration > 0 ? packets.keyframeAfter(startSeconds()) : std::nullopt;
    return keyframe && *keyframe < endSeconds() ? keyframe : std::nullopt;
}

void Selection::moveStartToKeyframe(const PacketList &packets, int direction)
{
    if (const std::optional<double> keyframe = direction < 0 ? keyframeBeforeStart(packets)
                                                              : keyframeAfterStart(packets))
        moveTo(Knob::Start, *keyframe);
}

double Selection::endFrameSeconds(const PacketList &packets, double timelineStart,
                                  std::optional<double> videoEnd) const
{
    const double end = endSeconds();
    if (const std::optional<double> frame = packets.lastFrameBefore(end + timelineStart))
        return std::max(0.0, *frame - timelineStart - slack);
    const double held = videoEnd ? std::min(end, *videoEnd) : end;
    return std::max(0.0, held - slack - 1.0 / m_frameRate);
}

std::optional<double> Selection::streamCopyStart(const PacketList &packets) const
{
    const std::optional<double> keyframe = packets.keyframeAtOrBefore(startSeconds());
    return m_duration > 0 && keyframe && startSeconds() - *keyframe >= slack ? keyframe : std::nullopt;
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

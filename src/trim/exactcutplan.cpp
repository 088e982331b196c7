// SPDX-License-Identifier: GPL-3.0-or-later
#include "exactcutplan.h"

#include <algorithm>

#include <QStringList>

#include "timeline.h"

namespace {

constexpr double tolerance = Timeline::tolerance;

std::optional<double> firstTimeAtOrAfter(const QList<double> &sortedTimes, double seconds)
{
    const auto found = std::lower_bound(sortedTimes.cbegin(), sortedTimes.cend(), seconds - tolerance);
    if (found == sortedTimes.cend())
        return std::nullopt;
    return *found;
}

qsizetype framesIn(const QList<Packet> &packets, double from, std::optional<double> to)
{
    return std::count_if(packets.cbegin(), packets.cend(),
                         [&](const Packet &packet) { return packet.pts >= from && (!to || packet.pts < *to); });
}

// The decoding-order index of the keyframe showing first among those `accepts` takes, or -1.
template<typename Predicate>
qsizetype earliestKeyframe(const QList<Packet> &packets, Predicate accepts)
{
    qsizetype best = -1;
    for (qsizetype i = 0; i < packets.size(); ++i) {
        const Packet &packet = packets.at(i);
        if (packet.keyframe && accepts(packet.pts) && (best < 0 || packet.pts < packets.at(best).pts))
            best = i;
    }
    return best;
}

qsizetype lastKeyframeAtOrBefore(const QList<Packet> &packets, double seconds)
{
    qsizetype best = -1;
    for (qsizetype i = 0; i < packets.size(); ++i) {
        const Packet &packet = packets.at(i);
        if (packet.keyframe && packet.pts <= seconds && (best < 0 || packet.pts > packets.at(best).pts))
            best = i;
    }
    return best;
}

std::optional<double> keyframeAtOrBefore(const QList<Packet> &packets, double seconds)
{
    const qsizetype index = lastKeyframeAtOrBefore(packets, seconds);
    return index < 0 ? std::nullopt : std::optional(packets.at(index).pts);
}

// What a copy from the keyframe at `first` up to the packet at `last` (decoding order) keeps: the keyframe's
// leading frames refer to the group before it, which the copy does not have, so they are dropped.
qsizetype copiedFrames(const QList<Packet> &packets, qsizetype first, qsizetype last)
{
    const double keyframe = packets.at(first).pts;
    return std::count_if(packets.cbegin() + first, packets.cbegin() + last,
                         [keyframe](const Packet &packet) { return packet.pts >= keyframe; });
}

// The earliest frame shown from the packet at `index` on: the keyframe there, or its first leading frame.
double earliestShownFrom(const QList<Packet> &packets, qsizetype index)
{
    return std::min_element(packets.cbegin() + index, packets.cend(),
                            [](const Packet &a, const Packet &b) { return a.pts < b.pts; })->pts;
}

// Before the stream's first frame any earlier time will do: half a millisecond is shorter than any frame.
double entryBefore(const QList<double> &sortedTimes, double first)
{
    const auto at = std::lower_bound(sortedTimes.cbegin(), sortedTimes.cend(), first);
    return at == sortedTimes.cbegin() ? first - tolerance : (*std::prev(at) + first) / 2;
}

// A recording cut from a broadcast starts in the middle of a group: the frames before its first keyframe, in
// decoding order, and that keyframe's leading frames refer to pictures it does not have, and no decoder shows
// them. A listing from within a file starts at a keyframe, where the same holds of frames before the selection.
QList<Packet> decodable(const QList<Packet> &packets)
{
    const auto first = std::find_if(packets.cbegin(), packets.cend(), [](const Packet &packet) {
        return packet.keyframe;
    });
    if (first == packets.cend())
        return {};
    QList<Packet> kept;
    kept.reserve(packets.cend() - first);
    std::copy_if(first, packets.cend(), std::back_inserter(kept),
                 [keyframe = first->pts](const Packet &packet) { return packet.pts >= keyframe; });
    return kept;
}

QString timeText(std::optional<double> seconds)
{
    return seconds ? QString::number(*seconds, 'g', 12) : QStringLiteral("end");
}

} // namespace

std::optional<double> ExactCutPlan::Section::duration() const
{
    if (!to)
        return std::nullopt;
    return *to - from;
}

ExactCutPlan ExactCutPlan::make(const QList<Packet> &listed, double start, double end)
{
    const QList<Packet> packets = decodable(listed);
    QList<double> times;
    times.reserve(packets.size());
    for (const Packet &packet : packets)
        times.append(packet.pts);
    std::sort(times.begin(), times.end());

    ExactCutPlan plan;
    const std::optional<double> firstKept = firstTimeAtOrAfter(times, start);
    const std::optional<double> firstExcluded = firstTimeAtOrAfter(times, end);
    if (!firstKept || (firstExcluded && *firstExcluded <= *firstKept))
        return plan;
    const double s = *firstKept;
    plan.m_firstExcluded = firstExcluded;
    const double headEntry = entryBefore(times, s);
    const std::optional<double> headKeyframe = keyframeAtOrBefore(packets, s);
    const auto wholeSelectionEncoded = [&] {
        plan.m_head = {s, firstExcluded, framesIn(packets, s, firstExcluded), headEntry, headKeyframe};
        return plan;
    };

    const qsizetype k1 = earliestKeyframe(packets, [s](double pts) { return pts >= s; });
    // A keyframe at or after the selection's end leaves the tail's group starting before the head ends, below.
    if (k1 < 0)
        return wholeSelectionEncoded();
    const double keyframe1 = packets.at(k1).pts;
    plan.m_head = {s, keyframe1, framesIn(packets, s, keyframe1), headEntry, headKeyframe};
    if (!firstExcluded) {
        plan.m_middle = {keyframe1, std::nullopt, copiedFrames(packets, k1, packets.size()),
                         entryBefore(times, keyframe1), keyframe1};
        return plan;
    }

    const qsizetype k2 = lastKeyframeAtOrBefore(packets, *firstExcluded);
    const double tailStart = earliestShownFrom(packets, k2);
    if (tailStart <= keyframe1)
        return wholeSelectionEncoded();
    plan.m_middle = {keyframe1, tailStart, copiedFrames(packets, k1, k2), entryBefore(times, keyframe1), keyframe1};
    plan.m_tail = {tailStart, firstExcluded, framesIn(packets, tailStart, firstExcluded),
                   entryBefore(times, tailStart), keyframeAtOrBefore(packets, tailStart)};
    return plan;
}

QString ExactCutPlan::description() const
{
    QStringList parts;
    const auto describe = [&parts](const char *name, const Section &section) {
        if (!section.isEmpty())
            parts << QStringLiteral("%1 %2-%3 (%4)")
                         .arg(QLatin1String(name), timeText(section.from), timeText(section.to))
                         .arg(section.frames);
    };
    describe("head", m_head);
    describe("middle", m_middle);
    describe("tail", m_tail);
    return parts.isEmpty() ? QStringLiteral("nothing") : parts.join(QStringLiteral(", "));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "packetlist.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QLocale>

#include "timeline.h"

namespace {

constexpr double tolerance = Timeline::tolerance;

std::optional<double> timeIn(QByteArrayView field)
{
    bool ok = false;
    const double seconds = QLocale::c().toDouble(QLatin1StringView(field.trimmed()), &ok);
    return ok && std::isfinite(seconds) ? std::optional(seconds) : std::nullopt;
}

// The flags follow the decoding time where the line has one ("N/A" included), else the presentation time.
std::optional<Packet> parseLine(QByteArrayView line, double previousDts)
{
    const qsizetype comma = line.indexOf(',');
    const std::optional<double> pts = comma > 0 ? timeIn(line.first(comma)) : std::nullopt;
    if (!pts)
        return std::nullopt;
    const qsizetype second = line.indexOf(',', comma + 1);
    const QByteArrayView field = line.sliced(comma + 1, (second < 0 ? line.size() : second) - comma - 1);
    const std::optional<double> dts = timeIn(field);
    const bool hasDts = dts || field.trimmed() == "N/A";
    const qsizetype flags = hasDts ? second : comma;
    return Packet{*pts, flags >= 0 && line.indexOf('K', flags + 1) >= 0, dts.value_or(previousDts)};
}

} // namespace

PacketList PacketList::parse(QByteArrayView listing, const QList<Stretch> &read)
{
    PacketList list(read);
    list.append(listing);
    return list;
}

void PacketList::append(QByteArrayView listing)
{
    const qsizetype keyframesBefore = m_keyframes.size();
    qsizetype from = 0;
    while (from < listing.size()) {
        qsizetype end = listing.indexOf('\n', from);
        if (end < 0)
            end = listing.size();
        const double previousDts = m_packets.isEmpty() ? std::numeric_limits<double>::lowest() : m_packets.last().dts;
        if (const auto packet = parseLine(listing.sliced(from, end - from), previousDts)) {
            m_packets.append(*packet);
            if (packet->keyframe)
                m_keyframes.append(packet->pts);
        }
        from = end + 1;
    }
    if (m_keyframes.size() == keyframesBefore)
        return;
    std::sort(m_keyframes.begin(), m_keyframes.end());
    m_keyframes.erase(std::unique(m_keyframes.begin(), m_keyframes.end()), m_keyframes.end());
}

QStringList PacketList::snifferArguments(const QString &path, const QList<Stretch> &read)
{
    // MPEG-PS stores no presentation time for some frames; the demuxer then works it out from the decoding times.
    QStringList arguments{QStringLiteral("-v"),           QStringLiteral("error"),
                          QStringLiteral("-fflags"),      QStringLiteral("+genpts"),
                          QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                          QStringLiteral("-show_entries"), QStringLiteral("packet=pts_time,dts_time,flags"),
                          QStringLiteral("-of"),           QStringLiteral("csv=p=0")};
    QStringList intervals;
    for (const Stretch &stretch : read)
        intervals << QStringLiteral("%1%%2").arg(stretch.from, 0, 'f', 3).arg(stretch.to, 0, 'f', 3);
    if (!intervals.isEmpty())
        arguments << QStringLiteral("-read_intervals") << intervals.join(QLatin1Char(','));
    return arguments << path;
}

QList<Stretch> PacketList::stretchesAround(QList<double> times, double margin)
{
    std::sort(times.begin(), times.end());
    QList<Stretch> stretches;
    for (const double time : std::as_const(times)) {
        const Stretch around{std::max(0.0, time - margin), time + margin};
        if (!stretches.isEmpty() && around.from <= stretches.last().to)
            stretches.last().to = around.to;
        else
            stretches.append(around);
    }
    return stretches;
}

std::optional<Stretch> PacketList::stretchHolding(double seconds) const
{
    if (m_read.isEmpty())
        return Stretch{-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    for (const Stretch &stretch : m_read) {
        if (seconds >= stretch.from && seconds <= stretch.to)
            return stretch;
    }
    return std::nullopt;
}

std::optional<double> PacketList::keyframeAtOrBefore(double seconds) const
{
    const auto after = std::upper_bound(m_keyframes.cbegin(), m_keyframes.cend(), seconds + tolerance);
    // The prober starts a stretch at the keyframe before it, so the one
    // found is right even when it lies before the stretch.
    if (!stretchHolding(seconds) || after == m_keyframes.cbegin())
        return std::nullopt;
    return *std::prev(after);
}

std::optional<double> PacketList::keyframeAfter(double seconds) const
{
    const auto after = std::upper_bound(m_keyframes.cbegin(), m_keyframes.cend(), seconds + tolerance);
    const std::optional<Stretch> stretch = stretchHolding(seconds);
    if (!stretch || after == m_keyframes.cend() || *after > stretch->to)
        return std::nullopt;
    return *after;
}

std::optional<qsizetype> PacketList::framesBetween(double from, double to) const
{
    const std::optional<Stretch> first = stretchHolding(from);
    const std::optional<Stretch> last = stretchHolding(to);
    if (isEmpty() || !first || !last || first->from != last->from)
        return std::nullopt;
    return std::count_if(m_packets.cbegin(), m_packets.cend(), [&](const Packet &packet) {
        return packet.pts >= from - tolerance && packet.pts < to - tolerance;
    });
}

std::optional<double> PacketList::lastFrameBefore(double seconds) const
{
    if (!stretchHolding(seconds))
        return std::nullopt;
    std::optional<double> last;
    for (const Packet &packet : m_packets) {
        if (packet.pts < seconds - tolerance && (!last || packet.pts > *last))
            last = packet.pts;
    }
    return last;
}

std::optional<double> PacketList::frameBeside(double seconds, int direction) const
{
    if (!stretchHolding(seconds))
        return std::nullopt;
    std::optional<double> nearest;
    for (const Packet &packet : m_packets) {
        const double away = (packet.pts - seconds) * direction;
        if (away >= tolerance && (!nearest || away < (*nearest - seconds) * direction))
            nearest = packet.pts;
    }
    return nearest;
}

std::optional<double> PacketList::lastFrameCopied(double keyframe, double end) const
{
    const auto first = std::find_if(m_packets.cbegin(), m_packets.cend(), [keyframe](const Packet &packet) {
        return packet.keyframe && std::abs(packet.pts - keyframe) < tolerance;
    });
    if (first == m_packets.cend() || !stretchHolding(end))
        return std::nullopt;
    std::optional<double> last;
    for (auto packet = first; packet != m_packets.cend() && packet->dts < end - tolerance; ++packet)
        last = std::max(last.value_or(packet->pts), packet->pts);
    return last;
}

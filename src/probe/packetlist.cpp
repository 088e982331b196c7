// SPDX-License-Identifier: GPL-3.0-or-later
#include "packetlist.h"

#include <algorithm>
#include <cmath>

#include <QLocale>

namespace {

// Half a millisecond: the slack a time given in display precision needs.
constexpr double tolerance = 0.0005;

std::optional<Packet> parseLine(const QByteArray &line)
{
    const qsizetype comma = line.indexOf(',');
    if (comma <= 0)
        return std::nullopt;
    bool ok = false;
    const double pts = QLocale::c().toDouble(QLatin1StringView(line.left(comma).trimmed()), &ok);
    if (!ok || !std::isfinite(pts))
        return std::nullopt;
    return Packet{pts, line.indexOf('K', comma + 1) >= 0};
}

} // namespace

PacketList PacketList::parse(const QByteArray &listing)
{
    PacketList list;
    for (const QByteArray &line : listing.split('\n')) {
        if (const auto packet = parseLine(line)) {
            list.m_packets.append(*packet);
            if (packet->keyframe)
                list.m_keyframes.append(packet->pts);
        }
    }
    std::sort(list.m_keyframes.begin(), list.m_keyframes.end());
    list.m_keyframes.erase(std::unique(list.m_keyframes.begin(), list.m_keyframes.end()), list.m_keyframes.end());
    return list;
}

QStringList PacketList::snifferArguments(const QString &path, const QString &intervals)
{
    QStringList arguments{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                          QStringLiteral("v:0"), QStringLiteral("-show_entries"), QStringLiteral("packet=pts_time,flags"),
                          QStringLiteral("-of"), QStringLiteral("csv=p=0")};
    if (!intervals.isEmpty())
        arguments << QStringLiteral("-read_intervals") << intervals;
    return arguments << path;
}

QString PacketList::intervalsAround(const QList<double> &times, double margin)
{
    QStringList intervals;
    for (const double time : times) {
        const double from = std::max(0.0, time - margin);
        intervals << QStringLiteral("%1%+%2").arg(from, 0, 'f', 3).arg(time + margin - from, 0, 'f', 3);
    }
    return intervals.join(QLatin1Char(','));
}

std::optional<double> PacketList::keyframeAtOrBefore(double seconds) const
{
    const auto after = std::upper_bound(m_keyframes.cbegin(), m_keyframes.cend(), seconds + tolerance);
    if (after == m_keyframes.cbegin())
        return std::nullopt;
    return *std::prev(after);
}

std::optional<double> PacketList::keyframeAfter(double seconds) const
{
    const auto after = std::upper_bound(m_keyframes.cbegin(), m_keyframes.cend(), seconds + tolerance);
    if (after == m_keyframes.cend())
        return std::nullopt;
    return *after;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QStringList>

// One packet of a video track as the prober lists it.
struct Packet
{
    double pts = 0.0; // presentation time in seconds
    bool keyframe = false;
};

// The packets of a video track, in decoding order, and the keyframe times
// derived from them, in presentation order. The prober prints one packet a
// line as "pts_time,flags" ("2.000000,K_"); a 'K' among the flags marks a
// keyframe. Lines it cannot read (no time, "N/A", garbage) are skipped, so a
// damaged listing still gives whatever it held.
class PacketList
{
public:
    PacketList() = default;
    static PacketList parse(const QByteArray &listing);

    // The prober's command line listing the first video track's packets of
    // `path`; with `intervals` (its -read_intervals syntax, "10%+60,...") only
    // those stretches are read.
    static QStringList snifferArguments(const QString &path, const QString &intervals = {});
    // Read intervals covering `margin` seconds on both sides of each time.
    static QString intervalsAround(const QList<double> &times, double margin);

    const QList<Packet> &packets() const { return m_packets; }
    // Sorted, without repeats.
    const QList<double> &keyframes() const { return m_keyframes; }
    bool isEmpty() const { return m_packets.isEmpty(); }

    // The keyframe at or before `seconds`, and the first one after it. Times
    // are compared to the millisecond, so a time rounded for display still
    // lands on its keyframe.
    std::optional<double> keyframeAtOrBefore(double seconds) const;
    std::optional<double> keyframeAfter(double seconds) const;

private:
    QList<Packet> m_packets;
    QList<double> m_keyframes;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArrayView>
#include <QList>
#include <QStringList>

// One packet of a video track as the prober lists it.
struct Packet
{
    double pts = 0.0; // presentation time in seconds
    bool keyframe = false;
    // Decoding time in seconds; Matroska leaves some out (N/A), and they
    // count as the one before.
    double dts = 0.0;
};

// A stretch of a file's timeline, in seconds.
struct Stretch
{
    double from = 0.0;
    double to = 0.0;
};

// The packets of a video track, in decoding order, and the keyframe times
// derived from them, in presentation order. The prober prints one packet a
// line as "pts_time,dts_time,flags" ("2.000000,1.920000,K_"; the decoding
// time may be missing); a 'K' among the flags marks a keyframe. Lines it
// cannot read (no time, "N/A", garbage) are skipped, so a damaged listing
// still gives whatever it held.
class PacketList
{
public:
    // An empty list of the whole track, or of the `read` stretches only.
    explicit PacketList(const QList<Stretch> &read = {}) : m_read(read) {}
    // With `read` stretches the listing holds only those (the prober's
    // -read_intervals), and lookups answer only inside them; without, it is
    // the whole track.
    static PacketList parse(QByteArrayView listing, const QList<Stretch> &read = {});
    // Adds the packets of more of the listing, which should end with a whole
    // line: a long listing can then be read as it comes, a piece at a time.
    void append(QByteArrayView listing);

    // The prober's command line listing the first video track's packets of
    // `path`, all of them or only those of the `read` stretches.
    static QStringList snifferArguments(const QString &path, const QList<Stretch> &read = {});
    // Stretches covering `margin` seconds on both sides of each time, merged
    // where they overlap.
    static QList<Stretch> stretchesAround(QList<double> times, double margin);

    const QList<Packet> &packets() const { return m_packets; }
    // Sorted, without repeats.
    const QList<double> &keyframes() const { return m_keyframes; }
    bool isEmpty() const { return m_packets.isEmpty(); }
    // Whether the list holds the whole track, and whether it holds the
    // packets around `seconds`.
    bool isWhole() const { return m_read.isEmpty() && !isEmpty(); }
    bool covers(double seconds) const { return !isEmpty() && stretchHolding(seconds).has_value(); }

    // The keyframe at or before `seconds`, and the first one after it. Times
    // are compared to the millisecond, so a time rounded for display still
    // lands on its keyframe. Outside the stretches read there is no answer,
    // as there is none that could be trusted.
    std::optional<double> keyframeAtOrBefore(double seconds) const;
    std::optional<double> keyframeAfter(double seconds) const;
    // The time of the last frame shown before `seconds`, half a millisecond
    // or more before it, as a cut ending there keeps it.
    std::optional<double> lastFrameBefore(double seconds) const;
    // The frame just after `seconds` (`direction` 1) or just before it (-1),
    // half a millisecond or more away: a step by one frame, whatever the
    // frame rate, variable ones included.
    std::optional<double> frameBeside(double seconds, int direction) const;
    // The last frame a stream copy from the keyframe at `keyframe` writes
    // when it stops at the first packet decoded at `end` or later, as the
    // creator's copy does: with B-frames, frames shown after the end may be
    // decoded before it.
    std::optional<double> lastFrameCopied(double keyframe, double end) const;
    // How many frames are shown from `from` up to `to`, each time half a
    // millisecond early as above; none where no one stretch read holds both.
    std::optional<qsizetype> framesBetween(double from, double to) const;

private:
    std::optional<Stretch> stretchHolding(double seconds) const;

    QList<Packet> m_packets;
    QList<Stretch> m_read;
    QList<double> m_keyframes;
};

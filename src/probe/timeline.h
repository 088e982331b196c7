// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QString>

class FileProbe;
class PacketList;

// The open video's one timeline, and the only place where it is translated.
//
// Every time the window shows, takes typed, moves a knob to or hands to the
// creator's "-ss" counts from the file's start: 0 is the prober's format
// start_time, whichever stream begins there. The prober's packet times, mpv
// (run with rebase-start-time=no) and "-seek_timestamp 1" count in stream
// time, the file's own timestamps: stream time = file time + start. So an
// MPEG-TS file starting at 11.4 s has its first frame at file time 0, and a
// Matroska file whose video starts 21 ms after its audio has its first frame
// at 0.021 (Matroska counts in milliseconds: the reorder delay of B-frames
// is rounded into its timestamps).
//
// Frames are the listed ones (the video's packets, from the keyframe scan)
// wherever the list reaches; elsewhere, and before it is known, a grid of
// the nominal frame rate from the video's first frame stands in. Two times
// within `tolerance` of each other are the same frame's: times are shown to
// the millisecond, and the prober prints them rounded to the microsecond.
//
// A frame "at" a time is the first one shown at or after it, less the
// tolerance, as an exact seek there lands on it. A selection's start is its
// first frame's time; its end is the end of its last frame, which is the
// next frame's time, or the video's end after the last frame.
class Timeline
{
public:
    static constexpr double tolerance = 0.0005;
    // Where a video tells no frame rate of its own.
    static constexpr double defaultFrameRate = 24.0;

    // An exact seek for the creator: "-ss input -i FILE", then "-ss output"
    // after the input for what must be decoded, when it is above 0.
    struct Seek
    {
        double input = 0.0;
        double output = 0.0;
    };

    Timeline() = default;
    // A video whose first frame lies at file time `videoStart`, `frameRate`
    // the nominal rate, on a file whose stream time begins at `start`.
    // `seekLead`: how far before the time asked the creator's input seek
    // looks for a keyframe (seekLeadOf()).
    Timeline(const PacketList *frames, double start, double videoStart, double videoEnd, double frameRate,
             bool seeksBlindly = false, bool mayHaveOpenGops = false, double seekLead = 0.0);
    // `frames` is the keyframe scan's list, read at each lookup, so that it
    // may grow while the file is open; it must outlive the timeline.
    static Timeline of(const FileProbe &probe, const PacketList *frames = nullptr);

    // Stream time from file time, and back.
    double toStream(double seconds) const { return seconds + m_start; }
    double fromStream(double streamSeconds) const { return streamSeconds - m_start; }
    double start() const { return m_start; }
    double frameRate() const { return m_frameRate; }
    // The video's end, where the report tells it, else the file's duration.
    double videoEnd() const { return m_videoEnd; }

    // The frame shown at `seconds`; none past the last one.
    std::optional<double> frameAt(double seconds) const;
    // The frame after (`direction` 1) or before (-1) the one shown at `seconds`.
    std::optional<double> frameBeside(double seconds, int direction) const;
    double nearestFrame(double seconds) const;
    // Whether every frame is listed, none stood in for by the grid.
    bool listsEveryFrame() const;
    // The number of the frame shown at `seconds`, the first being 0: counted
    // in the list once it is whole, on the grid before.
    qsizetype frameNumber(double seconds) const;
    // A selection's start and end settled on frames, as above.
    double settledStart(double seconds) const;
    double settledEnd(double seconds) const;
    // The last frame a selection ending at `end` holds.
    double lastFrameBefore(double end) const;

    // The listed keyframes, in file time: at or before `seconds` (to the
    // tolerance) and the first after it.
    std::optional<double> keyframeAtOrBefore(double seconds) const;
    std::optional<double> keyframeAfter(double seconds) const;
    QList<double> keyframes() const;

    // Where the creator must enter the input for the frame at `seconds` to
    // be the first it decodes and keeps, and where a stream copy from the
    // keyframe before `seconds` must enter it.
    Seek exactSeek(double seconds) const;
    double copyEntry(double seconds) const;
    // Where a stream copy of [start, end) really ends: the end of the last
    // frame it writes, which B-frames may place after `end`; none before the
    // frames there are listed.
    std::optional<double> copyEnd(double start, double end) const;
    // Containers whose input seek lands where it likes: the creator finds a
    // position by timestamps alone and decodes from the next keyframe, which
    // may lie after the time asked for.
    static bool seeksBlindly(const QString &formatName);
    bool entersBlindly() const { return m_seeksBlindly; }
    // Where timestamps are not the presentation's (every container but the
    // QuickTime family) and the video has B-frames, the creator's input seek
    // looks for the keyframe 3/23 s before the time asked, as its decoding
    // time may lie that much earlier; a keyframe just at the time is missed.
    static double seekLeadOf(const QString &formatName, int reorderDepth);
    double seekLead() const { return m_seekLead; }

private:
    std::optional<double> listedFrameAt(double seconds) const;
    std::optional<double> gridFrameAt(double seconds) const;
    double gridStep() const { return 1.0 / m_frameRate; }

    const PacketList *m_frames = nullptr;
    double m_start = 0.0;
    double m_videoStart = 0.0;
    double m_videoEnd = 0.0;
    double m_frameRate = defaultFrameRate;
    bool m_seeksBlindly = false;
    bool m_mayHaveOpenGops = false;
    double m_seekLead = 0.0;
};

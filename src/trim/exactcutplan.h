// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "packetlist.h"

// Which frames of a selection of a video track can be copied as they are and
// which must be re-encoded for the cut to start and end on the exact frames.
//
// A copy can only start on a keyframe, and must stop before a keyframe whose
// group of pictures it would otherwise leave incomplete. So the frames before
// the selection's first keyframe (the head) and those of its last, unfinished
// group (the tail) are re-encoded; the groups between (the middle) are copied.
// In an open GOP, the "leading" frames that follow a keyframe in decoding
// order but show before it refer to the group before: the copy drops those of
// its first keyframe (the head holds them), and the tail starts at the first
// leading frame of its keyframe, since copying them without their reference
// is not possible. When the middle would be empty, the whole selection is one
// head. Pure: the plan is derived from the packet listing alone.
class ExactCutPlan
{
public:
    // A stretch of presentation time [from, to) and how many frames it holds;
    // without `to` it runs to the end of the stream.
    struct Section
    {
        double from = 0.0;
        std::optional<double> to;
        qsizetype frames = 0;
        // Halfway from the frame before to the first: a seek there keeps the
        // first frame and no other, whatever the spacing of frames around it.
        double entry = 0.0;
        // The listed keyframe at or before `from` that its decoding starts
        // from: a file whose seeks land blindly is entered before it.
        std::optional<double> keyframe;

        bool isEmpty() const { return frames == 0; }
        std::optional<double> duration() const;
    };

    ExactCutPlan() = default;

    // `packets` in decoding order, the selection [start, end) in seconds. A
    // time within half a millisecond before a frame counts as that frame's, so
    // a time rounded for display still finds it. Frames that no listed
    // keyframe leads to are not decoded, so neither kept nor counted.
    static ExactCutPlan make(const QList<Packet> &packets, double start, double end);

    bool isEmpty() const { return frameCount() == 0; }
    // The first frame kept and the first one excluded; without the latter the
    // selection runs to the end of the stream.
    double firstKept() const { return m_head.isEmpty() ? m_middle.from : m_head.from; }
    std::optional<double> firstExcluded() const { return m_firstExcluded; }

    const Section &head() const { return m_head; }
    const Section &middle() const { return m_middle; }
    const Section &tail() const { return m_tail; }
    qsizetype frameCount() const { return m_head.frames + m_middle.frames + m_tail.frames; }
    qsizetype encodedFrameCount() const { return m_head.frames + m_tail.frames; }
    bool needsEncoding() const { return encodedFrameCount() > 0; }

    // One line for the diagnostics: "head 0.5-1 (12), middle 1-end (250)".
    QString description() const;

private:
    Section m_head;
    Section m_middle;
    Section m_tail;
    std::optional<double> m_firstExcluded;
};

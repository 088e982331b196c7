// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QObject>
#include <QStringList>

class PacketList;

// The part of the open video that a trim will write: its start and end as
// fractions of the input's duration, as the range slider shows them, and
// every rule that moves them. A time in seconds is its fraction times the
// duration, so a knob moved to a time reads back as that fraction allows.
//
// At the edges:
// - Without a duration (nothing open yet) no move is made.
// - A nudge by a second or by a frame (1 / frameRate()) stops at 0 going
//   down and at the duration going up. It does not look at the other knob:
//   the start may pass the end and the end the start, and the selection is
//   then inside out. moveTo() neither bounds nor compares.
// - Presets: those shorter than the input fit. Choosing one sets the start
//   to its own time again and the end that far after it, at most at the
//   input's end. The centred selection is the longest fitting preset in the
//   middle of the input, the end set first; with none fitting, the whole input.
// - Keyframes: the start moves to the keyframe before it (one less than a
//   millisecond before counts as where it stands, so the move goes a keyframe
//   further) or to the one after it, which must lie before the end.
//   A stream copy starts at the keyframe at or before the start.
// - The end knob shows the last frame before the end, not the first one
//   after the selection, which at the input's end does not exist.
// - Only a selection whose end lies after its start can be trimmed.
//
// Every move sets a knob: knobSet() tells it even when the knob stood there
// already, so that a view can mark the knob moved last; changed() follows
// only when a fraction changed, and names the knob that moved.
class Selection : public QObject
{
    Q_OBJECT

public:
    enum class Knob { Start, End };
    Q_ENUM(Knob)
    enum class Step { Frame, Second };

    // In seconds, ascending, and the pop-up's titles for them.
    static const QList<double> presetSeconds;
    static const QStringList presetTitles;
    static constexpr double defaultFrameRate = 24.0;

    explicit Selection(QObject *parent = nullptr);

    // A new input; the selection keeps its fractions until moved. A video
    // that tells no frame rate keeps the one before.
    void setInput(double duration, std::optional<double> frameRate);
    double duration() const { return m_duration; }
    double frameRate() const { return m_frameRate; }

    double startFraction() const { return m_start; }
    double endFraction() const { return m_end; }
    double startSeconds() const { return m_start * m_duration; }
    double endSeconds() const { return m_end * m_duration; }
    double outputDuration() const { return endSeconds() - startSeconds(); }
    bool isTrimmable() const { return outputDuration() > 0; }
    double seconds(Knob knob) const { return knob == Knob::Start ? startSeconds() : endSeconds(); }

    // `direction` -1 moves the knob earlier, 1 later.
    void nudge(Knob knob, Step step, int direction);
    void moveTo(Knob knob, double seconds);
    // Fractions a view has taken already, as a drag of `moved` does.
    void follow(double start, double end, Knob moved);

    qsizetype fittingPresetCount() const;
    void choosePreset(qsizetype index);
    void selectCentred();

    // The keyframes of `packets` the start may move to; none outside what the
    // list holds or without a duration.
    std::optional<double> keyframeBeforeStart(const PacketList &packets) const;
    std::optional<double> keyframeAfterStart(const PacketList &packets) const;
    void moveStartToKeyframe(const PacketList &packets, int direction);
    // A time an exact seek lands on the last frame the selection holds, the
    // last one a trim writes: the frame of `packets` before the end where
    // they cover it (their times run on the file's timeline, which begins at
    // `timelineStart`), else one frame step before the end, or before the
    // video's own end where that comes first. Never past the last frame.
    double endFrameSeconds(const PacketList &packets, double timelineStart, std::optional<double> videoEnd) const;
    // Where a stream copy of the selection really starts: the keyframe before
    // the start, when it lies a millisecond or more before it.
    std::optional<double> streamCopyStart(const PacketList &packets) const;

signals:
    void knobSet(Selection::Knob knob);
    void changed(Selection::Knob knob);

private:
    void setFraction(Knob knob, double fraction);

    double m_duration = 0.0;
    double m_frameRate = defaultFrameRate;
    double m_start = 0.0;
    double m_end = 1.0;
};

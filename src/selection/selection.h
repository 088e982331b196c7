// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QObject>
#include <QStringList>

#include "timeline.h"

// The part of the open video that a trim will write: its start and end as
// fractions of the input's duration, as the range slider shows them, and
// every rule that moves them. A time in seconds is its fraction times the
// duration, on the open video's Timeline.
//
// Times settle on frames, so that the time shown is the time written: the
// start on its first frame's time, the end at the end of its last frame
// (the next frame's time), after every move but a drag, which settles when
// it ends (settle()).
//
// At the edges:
// - Without a duration (nothing open yet) no move is made.
// - A nudge by a frame goes to the frame beside, by a second a second away;
//   either stops at 0 going down and at the duration going up. It does not
//   look at the other knob: the start may pass the end and the end the
//   start, and the selection is then inside out. moveTo() neither bounds
//   nor compares.
// - Presets: those shorter than the input fit. Choosing one sets the start
//   to its own time again and the end that far after it; where that would
//   pass the input's end, the start moves back so that the preset fits. The centred selection is the longest fitting preset in the
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

    explicit Selection(QObject *parent = nullptr);

    // A new input; the selection keeps its fractions until moved.
    void setInput(double duration, const Timeline &timeline);
    double duration() const { return m_duration; }
    const Timeline &timeline() const { return m_timeline; }
    double frameRate() const { return m_timeline.frameRate(); }

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
    // Both ends on frames, once a drag of `dragged` has ended; whether one moved.
    bool settle(Knob dragged);

    qsizetype fittingPresetCount() const;
    // The preset the selection lasts, to within a frame; none for another length.
    std::optional<qsizetype> presetIndex() const;
    void choosePreset(qsizetype index);
    void selectCentred();

    // The keyframes the start may move to; none outside what the list
    // holds or without a duration.
    std::optional<double> keyframeBeforeStart() const;
    std::optional<double> keyframeAfterStart() const;
    void moveStartToKeyframe(int direction);
    // The last frame the selection holds, the last one a trim writes.
    double endFrameSeconds() const;
    // Where a stream copy of the selection really starts: the keyframe before
    // the start, when it lies a millisecond or more before it.
    std::optional<double> streamCopyStart() const;
    // Where it really ends: the end of the last frame it writes, when that
    // lies a millisecond or more after the end.
    std::optional<double> streamCopyEnd() const;

signals:
    void knobSet(Selection::Knob knob);
    void changed(Selection::Knob knob);

private:
    void setFraction(Knob knob, double fraction);
    double settled(Knob knob, double seconds) const;

    double m_duration = 0.0;
    Timeline m_timeline;
    double m_start = 0.0;
    double m_end = 1.0;
};

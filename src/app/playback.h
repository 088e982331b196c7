// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QObject>
#include <QPointer>
#include <QString>

#include "videoview.h"

#include "timeline.h"

class DecodedGroup;
class MpvPlayer;
class TemporaryDirectory;
class ToolLocator;
class QAction;
class QStackedWidget;
class RangeSlider;
class Selection;
class TimeField;


// The player in the poster's place, made at the first Play or step and
// never before, so that a person who never plays pays nothing for it.
// There is one playhead: before anything plays it is the knob moved last,
// whose frame the poster shows; once the player shows, it is the player's
// position, and a knob moved pauses the playback and puts the playhead on
// that knob's frame. Set Start or End at the playhead makes its frame the
// selection's first or last; where that would empty the selection or turn
// it inside out, the other end moves to the input's edge instead.
class Playback : public QObject
{
    Q_OBJECT

public:
    struct Controls
    {
        QStackedWidget *videoArea = nullptr;
        RangeSlider *slider = nullptr;
        QAction *playPause = nullptr;
        QAction *playSelection = nullptr;
        QAction *frameBack = nullptr;
        QAction *frameForward = nullptr;
        QAction *secondBack = nullptr;
        QAction *secondForward = nullptr;
        QAction *setStart = nullptr;
        QAction *setEnd = nullptr;
        // The playhead's time and frame, and a time typed there to go to.
        TimeField *playheadField = nullptr;
    };

    // "null" for `audioOutput` plays silently; empty lets mpv choose. The
    // creator of `tools` decodes the frames a step back goes through, into
    // `workFolder`.
    Playback(Selection *selection, const Controls &controls, const ToolLocator &tools,
             const TemporaryDirectory &workFolder, const QString &audioOutput = QString(),
             QObject *parent = nullptr);
    // The player goes, after its view if that is still there.
    ~Playback() override;

    // The accepted video, or none: a player made for the one before goes,
    // and the poster shows again. Steps go from frame to frame of the
    // video's `timeline`, on which the playhead counts. `colours` is the
    // matrix its frames are converted to RGB with, where the player's
    // are drawn from decoded pictures.
    void setVideo(const QString &path, const Timeline &timeline = {}, const QString &colours = QString());
    void pause();
    // A knob moved onto the frame at `seconds`.
    void followKnob(double seconds);

    bool isShowing() const { return m_player != nullptr; }
    // From a step, seek or Play asked for until the playhead's frame is in view.
    bool isFindingFrame() const;
    double playhead() const { return m_playhead; }
    MpvPlayer *player() const { return m_player.get(); }
    VideoView *view() const { return m_view; }

signals:
    void playheadChanged(double seconds);
    // The playhead's frame has come into view after a step or seek.
    void frameFound();

private:
    bool showPlayer();
    void playOrPause();
    void playSelection();
    void seekTo(double seconds);
    void stepFrames(int direction);
    bool isAtRestOn(double frame) const;
    bool isAtRestOnPlayhead() const;
    void catchUp();
    bool showFromGroup(double frame);
    bool decodeGroupBefore(double frame);
    void takeGroup(bool decoded);
    void clearStill();
    void showBusyLater();
    QSize stillSize() const;
    void jump(double seconds);
    void setStartHere();
    void setEndHere();
    void setActionsEnabled(bool enabled);
    void namePlayPause(bool paused);
    void movePlayhead(double seconds);
    double playerTime(double seconds) const;
    void seekPlayer(double seconds);
    double seekLead(double seconds) const;
    QString playheadText(double seconds) const;
    void showPlayheadTime();
    void goToTyped(const QString &typed);

    Selection *const m_selection;
    const Controls m_controls;
    const QString m_audioOutput;
    QString m_path;
    Timeline m_timeline;
    std::unique_ptr<MpvPlayer> m_player;
    DecodedGroup *const m_group;
    const TemporaryDirectory &m_workFolder;
    QString m_colours;
    // A step back's frame, while the group it is decoded with is coming.
    std::optional<double> m_awaitedStill;
    QPointer<VideoView> m_view; // the video area's, which may go first
    // Moved at once by every key, so that keys pressed in a burst add up.
    double m_playhead = 0.0;
    // Keys have moved the playhead during a step.
    bool m_catchUp = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QObject>

class QAction;
class QMenu;
class QScrollBar;
class RangeSlider;

// Zooming the slider in on a part of the video, down to a few pixels a
// frame, so that a long video can be cut to the frame by mouse too: Ctrl and
// the wheel around the pointer, the View menu's Zoom In and Out around the
// playhead, Zoom to Selection and Zoom to Fit. A scroll bar under the slider
// moves the part shown while zoomed; everything drawn on and under the
// slider follows it.
class SliderZoom : public QObject
{
    Q_OBJECT

public:
    struct Video
    {
        double duration = 0.0;
        double frameDuration = 0.0;
    };

    // `playhead` tells where the playhead stands, in seconds.
    SliderZoom(RangeSlider *slider, QScrollBar *scrollBar, QMenu *menu, std::function<double()> playhead,
               QObject *parent = nullptr);

    // Another video, or none (a duration of 0): shown whole.
    void setVideo(const Video &video);

private:
    void limitToFrames();
    void zoomAround(double factor, double seconds);
    void zoomToSelection();
    void showScrollBar();
    QAction *addAction(QMenu *menu, const QString &name, const QString &text, const QKeySequence &keys);

    RangeSlider *const m_slider;
    QScrollBar *const m_scrollBar;
    const std::function<double()> m_playhead;
    Video m_video;
    QList<QAction *> m_actions;
};

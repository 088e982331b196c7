// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include "keyframescan.h"

class MediaCache;
class QAction;
class QLabel;
class RangeSlider;
class Selection;

// Shows where the open video's keyframes lie, because a stream copy can only
// start on one: ticks along the slider, a mark and a line of text where a
// copy of the selection really starts, and two actions that move the start
// onto the keyframe before or after it. The keyframes come from a scan in the
// background, or from the cache when the file was scanned whole before;
// until they are known, nothing is shown and the actions are off. It
// follows the selection by itself.
class KeyframeGuide : public QObject
{
    Q_OBJECT

public:
    struct Controls
    {
        RangeSlider *slider = nullptr;
        QLabel *copyStartLine = nullptr;
        QAction *previousKeyframe = nullptr;
        QAction *nextKeyframe = nullptr;
    };

    KeyframeGuide(const ToolLocator &tools, Selection *selection, MediaCache *cache, const Controls &controls,
                  QObject *parent = nullptr);

    // Scans `path`, the stretches around the selection first.
    void start(const QString &path);
    // Another file or none: the scan stops and everything shown goes.
    void stop();
    // False while re-encoding, which starts where asked.
    void setStreamCopy(bool streamCopy);
    // While cutting exactly, the frames re-encoded at either edge are drawn
    // on the slider, and its tooltip counts them.
    void setExactCut(bool exact);

    const KeyframeScan &scan() const { return m_scan; }
    // The line shown for a copy starting at `keyframe` rather than at `startSeconds`.
    static QString copyStartText(double keyframe, double startSeconds);
    // The line shown for a copy whose last frame ends at `copyEnd`, after `endSeconds`.
    static QString copyEndText(double copyEnd, double endSeconds);

private:
    void showMarks();
    void showCopyStart();
    void showExactSpans();

    KeyframeScan m_scan;
    Selection *const m_selection;
    MediaCache *const m_cache;
    QString m_path;
    const Controls m_controls;
    double m_duration = 0.0; // of the file scanned, 0 for none
    bool m_streamCopy = true;
    bool m_exactCut = false;
};

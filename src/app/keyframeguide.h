// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QObject>
#include <QString>

#include "keyframescan.h"

class QAction;
class QLabel;
class RangeSlider;

// Shows where the open video's keyframes lie, because a stream copy can only
// start on one: ticks along the slider, a mark and a line of text where a
// copy of the selection really starts, and two actions that move the start
// onto the keyframe before or after it. The keyframes come from a scan in the
// background; until it has answered, nothing is shown and the actions are
// off.
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

    KeyframeGuide(const ToolLocator &tools, const Controls &controls, QObject *parent = nullptr);

    // Scans `path`, the stretches around the selection first.
    void start(const QString &path, double duration, double startSeconds, double endSeconds);
    // Another file or none: the scan stops and everything shown goes.
    void stop();
    // Follows the selection; `streamCopy` is false while re-encoding, which
    // starts where asked.
    void setSelection(double startSeconds, double endSeconds, bool streamCopy);

    const KeyframeScan &scan() const { return m_scan; }
    // The line shown for a copy starting at `keyframe` rather than at `startSeconds`.
    static QString copyStartText(double keyframe, double startSeconds);

signals:
    // The user asked for the start to move onto a keyframe.
    void startSnapRequested(double seconds);

private:
    void showMarks();
    void showCopyStart();
    std::optional<double> previousKeyframe() const;
    std::optional<double> nextKeyframe() const;

    KeyframeScan m_scan;
    const Controls m_controls;
    double m_duration = 0.0;
    double m_start = 0.0;
    double m_end = 0.0;
    bool m_streamCopy = true;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QPoint>
#include <QString>
#include <QUrl>

#include "benchclips.h"
#include "diagnosticlog.h"
#include "directtools.h"
#include "stallmeter.h"
#include "stopwatch.h"
#include "toollocator.h"

class AppDelegate;
class KeyframeScan;
class PosterWatch;
class QCheckBox;
class RangeSlider;
class ResultsTable;

// Drives the real controller, with its window shown offscreen, through
// opening, nudging, dragging and trimming, and runs the same tool commands
// directly beside each action. App and baseline alternate which goes first
// where the baseline's work is known beforehand, so that both see the same
// state of the page cache and of the machine's load.
//
// The poster frame comes in the background: an action on it is timed until
// the app shows the exact frame of the knob that moved, and the longest stall
// of the event loop meanwhile is measured too.
class BenchSession
{
public:
    BenchSession(const QString &workFolder, ResultsTable &table);
    ~BenchSession();

    // Opening through to the start's exact poster shown, against the prober
    // and one extraction of that frame run directly; opening the same file
    // again, unchanged, against the extraction alone; and the first look at
    // each knob right after an open: the end knob pressed, where the
    // selection ends at the clip's end, and the start nudged, each against
    // one extraction of its frame.
    void measureOpen(const BenchClip &clip, int repetitions);
    // One nudge at the start, the middle and the end of the clip through to
    // the exact poster shown, against one extraction of that frame.
    void measureNudges(const BenchClip &clip, int repetitions);
    // A knob dragged by the mouse for a second, through to the exact poster
    // of where it was let go, against one extraction of that frame.
    void measureDrag(const BenchClip &clip, int repetitions);
    // Once the player shows: Play to the first new frame, and a step
    // forward and a step back to the exact frame shown, against one poster
    // extraction of that frame.
    void measurePlayback(const BenchClip &clip, int repetitions);
    // Opening through to the first keyframe ticks, and through to the index
    // of the whole file, against the prober's runs for the same, one after
    // another, with the longest stall while the index is built.
    void measureKeyframeIndex(const BenchClip &clip, int repetitions);
    void measureOverview(const BenchClip &clip, int repetitions);
    // A stream copy of `seconds` from the save panel's confirmation to the
    // result alert, against the encoder alone and against `cp`.
    void measureStreamCopy(const BenchClip &clip, double seconds, int repetitions);
    // The same with a forced re-encode, and its speed.
    void measureReencode(const BenchClip &clip, double seconds, int repetitions);

private:
    enum class Position { Start, Middle, End };
    using Nudge = void (AppDelegate::*)();
    struct PosterRun {
        std::optional<Cost> poster; // from the action to the exact frame shown
        double longestStallMs = 0.0;
    };

    struct ScanRun {
        std::optional<Cost> ticks; // to the first list
        std::optional<Cost> whole; // to the whole file's list
        double longestStallMs = 0.0;
    };

    ScanRun scanRun(KeyframeScan &scan, const std::function<void()> &begin);
    // Timed until the exact frame at `seconds` is shown; without `seconds`,
    // that of the knob the action moved.
    PosterRun posterRun(const std::function<void()> &lead, const std::function<void()> &action,
                        std::optional<double> seconds = std::nullopt);
    double knobSeconds() const;
    bool waitForPosters() const;
    bool open(const BenchClip &clip);
    bool waitForOpen() const;
    std::optional<Cost> playerRun(const QString &actionName);
    bool goToPlayhead(double seconds);
    void openVideo(const BenchClip &clip) const;
    void forgetOpenedFiles() const;
    void measureFirstLooks(const BenchClip &clip, int repetitions);
    void measureNudgesAt(const BenchClip &clip, Position position, int repetitions);
    void drag(QPoint from, QPoint to) const;
    bool selectLength(double seconds);
    std::optional<Cost> trimThroughApp(const QString &outputPath);
    QString workPath(const QString &name) const;
    void removeWorkFiles() const;
    double duration() const;

    const QString m_workFolder;
    ResultsTable &m_table;
    const ToolLocator m_tools;
    const DirectTools m_direct;
    // Keeps the app's diagnostic lines off the benchmark's output.
    DiagnosticLog::Capture m_diagnostics;
    std::unique_ptr<AppDelegate> m_delegate;
    // Declared after the app, whose extraction it listens to, so it goes first.
    std::unique_ptr<PosterWatch> m_posters;
    StallMeter m_stalls;
    RangeSlider *m_slider = nullptr;
    KeyframeScan *m_keyframes = nullptr;
    QCheckBox *m_forceEncode = nullptr;
};

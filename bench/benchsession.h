#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QString>
#include <QUrl>

#include "benchclips.h"
#include "diagnosticlog.h"
#include "directtools.h"
#include "stopwatch.h"
#include "toollocator.h"

class AppDelegate;
class QCheckBox;
class RangeSlider;
class ResultsTable;

// Drives the real controller, with its window shown offscreen, through
// opening, nudging and trimming, and runs the same tool commands directly
// beside each action. App and baseline alternate which goes first, so that
// both see the same state of the page cache and of the machine's load.
class BenchSession
{
public:
    BenchSession(const QString &workFolder, ResultsTable &table);
    ~BenchSession();

    // Opening through to the poster shown, against the prober and the two
    // poster extractions run directly.
    bool measureOpen(const BenchClip &clip, int repetitions);
    // One nudge at the start, the middle and the end of the clip through to
    // the poster shown, against one extraction at the same time.
    void measureNudges(const BenchClip &clip, int repetitions);
    // A stream copy of `seconds` from the save panel's confirmation to the
    // result alert, against the encoder alone and against `cp`.
    void measureStreamCopy(const BenchClip &clip, double seconds, int repetitions);
    // The same with a forced re-encode, and its speed.
    void measureReencode(const BenchClip &clip, double seconds, int repetitions);

private:
    enum class Position { Start, Middle, End };
    using Nudge = void (AppDelegate::*)();

    bool open(const BenchClip &clip);
    Cost timedOpen(const QString &path);
    void moveSelectionAway();
    void measureNudgesAt(const BenchClip &clip, Position position, int repetitions);
    bool selectLength(double seconds);
    std::optional<Cost> trimThroughApp(const QString &outputPath);
    static std::optional<Cost> timed(const std::function<bool()> &action);
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
    RangeSlider *m_slider = nullptr;
    QCheckBox *m_forceEncode = nullptr;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QObject>

#include "posterextraction.h"
#include "stopwatch.h"

// Tells when the app shows the exact poster frame of a time, however its
// request was answered: by an extraction that finishes later, or at once
// from the frames the app remembers, within the very call that asked. So it
// listens from arm() on, before the action, and misses neither.
class PosterWatch : public QObject
{
public:
    explicit PosterWatch(PosterExtraction *extraction);

    // Forgets what was shown and restarts the clock: just before an action.
    void arm();
    // Runs the event loop until the exact frame at `seconds` is announced.
    // The cost from arm() to that moment, or nothing when the frame was not
    // shown or did not come within `timeoutMs`.
    std::optional<Cost> waitForExact(double seconds, int timeoutMs);
    // Runs the event loop until no extraction runs or waits, so that none
    // competes with what is measured next.
    bool waitUntilIdle(int timeoutMs) const;

private:
    struct Announcement {
        double seconds = 0.0;
        bool shown = false;
        Cost cost;
    };

    void note(double seconds, PosterExtraction::Accuracy accuracy, bool shown);
    std::optional<Announcement> exactAt(double seconds) const;

    PosterExtraction *const m_extraction;
    Stopwatch m_watch;
    QList<Announcement> m_exact;
};

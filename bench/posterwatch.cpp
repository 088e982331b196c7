// SPDX-License-Identifier: GPL-3.0-or-later
#include "posterwatch.h"

#include <cmath>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

// The app and the benchmark both take the knob's fraction times the
// duration; a half millisecond leaves room for rounding and none for the
// next frame.
constexpr double sameTimeSeconds = 0.0005;
constexpr int idlePollMs = 5;

} // namespace

PosterWatch::PosterWatch(PosterExtraction *extraction)
    : m_extraction(extraction)
{
    connect(m_extraction, &PosterExtraction::extracted, this, &PosterWatch::note);
}

void PosterWatch::arm()
{
    m_exact.clear();
    m_watch.restart();
}

void PosterWatch::note(double seconds, PosterExtraction::Accuracy accuracy, bool shown)
{
    if (accuracy == PosterExtraction::Accuracy::Exact)
        m_exact.append({seconds, shown, m_watch.elapsed()});
}

std::optional<PosterWatch::Announcement> PosterWatch::exactAt(double seconds) const
{
    for (const Announcement &announcement : m_exact) {
        if (std::abs(announcement.seconds - seconds) < sameTimeSeconds)
            return announcement;
    }
    return std::nullopt;
}

std::optional<Cost> PosterWatch::waitForExact(double seconds, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    std::optional<Announcement> found = exactAt(seconds);
    while (!found && waited.elapsed() < timeoutMs) {
        QEventLoop loop;
        connect(m_extraction, &PosterExtraction::extracted, &loop, &QEventLoop::quit);
        QTimer::singleShot(static_cast<int>(timeoutMs - waited.elapsed()), &loop, &QEventLoop::quit);
        loop.exec();
        found = exactAt(seconds);
    }
    if (!found || !found->shown)
        return std::nullopt;
    return found->cost;
}

// Polled: an extraction overtaken by a newer request ends without a word.
bool PosterWatch::waitUntilIdle(int timeoutMs) const
{
    if (m_extraction->isIdle())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(idlePollMs);
    connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (m_extraction->isIdle())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return m_extraction->isIdle();
}

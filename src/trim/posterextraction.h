// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "timeline.h"
#include "toollocator.h"

class QProcess;

// Poster frames extracted by `creator` in the background, one at a time, so
// the window keeps answering however long a seek takes. A request made while
// one runs waits, replacing any request already waiting: a burst of requests
// ends in the newest one. Only a keyframe preview gives way at once to an
// exact frame. Each extraction writes its own file in the poster
// folder; a frame that is shown has been renamed to "out.jpg" there. Exact
// frames are remembered, as JPEG bytes, for the last `cacheSize` times. A
// frame fetched ahead is only remembered: it waits until nothing else runs,
// and gives way to any request but one for that very frame, which it then
// becomes.
class PosterExtraction : public QObject
{
    Q_OBJECT

public:
    enum class Accuracy {
        Exact,    // the frame at the time asked for
        Keyframe, // the keyframe at or before it: several times faster to find
    };
    Q_ENUM(Accuracy)

    static constexpr qsizetype cacheSize = 64;

    PosterExtraction(const ToolLocator &tools, const QString &posterFolder, QObject *parent = nullptr);
    // For an owner whose folder is made only when a file is opened: nothing
    // may be requested before it is set.
    void setFolder(const QString &posterFolder);
    // Kills what still runs and waits for it: no child outlives the owner.
    ~PosterExtraction() override;

    // The frame is sought as `seek` says (Timeline::exactSeek() for an
    // exact one, an input seek alone for a keyframe), or by a plain input
    // seek to `seconds` without one.
    static QStringList arguments(const QString &inputPath, double seconds, const QString &outputPath,
                                 Accuracy accuracy, std::optional<Timeline::Seek> seek = std::nullopt);
    // The open file's timeline, whose keyframes are read as each extraction starts.
    void setTimeline(const Timeline &timeline) { m_timeline = timeline; }
    QString shownFilePath() const;

    void request(const QString &inputPath, double seconds, Accuracy accuracy);
    // The exact frame at `seconds`, remembered for a request that may come.
    void prefetch(const QString &inputPath, double seconds);
    // For another file: stops the running extraction (terminate, then kill),
    // drops the waiting one and forgets the remembered frames. Nothing asked
    // for before is announced after.
    void reset();
    bool isIdle() const { return !m_process && !m_waiting && !m_ahead; }

signals:
    // The newest frame so far is in shownFilePath(); `shown` is false when
    // the tool gave none, and the file is then left as it was.
    void extracted(double seconds, PosterExtraction::Accuracy accuracy, bool shown);

private:
    struct Job
    {
        QString inputPath;
        double seconds = 0;
        Accuracy accuracy = Accuracy::Exact;
        quint64 id = 0;
        bool shown = true; // false for a frame fetched ahead
        QString file = {};  // what the running extraction writes
    };

    void start(const Job &job);
    void startNext();
    void finishRunning(bool succeeded);
    void stopRunning();
    void announce(const Job &job, bool shown);
    bool showBytes(const QByteArray &jpeg) const;
    void remember(double seconds, const QByteArray &jpeg);
    QString jobFilePath(const Job &job) const;
    static qint64 cacheKey(double seconds);

    const ToolLocator m_tools;
    QString m_folder;
    Timeline m_timeline;
    QProcess *m_process = nullptr;
    Job m_running;
    std::optional<Job> m_waiting;
    std::optional<Job> m_ahead;
    QTimer m_watchdog;
    quint64 m_lastId = 0;
    quint64 m_announcedId = 0;
    QHash<qint64, QByteArray> m_cache;
    QList<qint64> m_cacheOrder; // oldest first
};

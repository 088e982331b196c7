// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "mediacache.h"
#include "toollocator.h"

class FileProbe;
class QProcess;

// Pictures of a video's keyframes for a timeline's overview, made by one run
// of `creator` in the background at low priority: it decodes the keyframes
// alone, scales each to the height asked for and writes it as a JPEG to its
// output. Each picture is announced as soon as its last byte arrives, with
// its time from the file's start, then the end of the run. A newer start, or
// a stop, ends the run before (terminate, then kill); nothing of it is
// announced after.
class Filmstrip : public QObject
{
    Q_OBJECT

public:
    explicit Filmstrip(const ToolLocator &tools, QObject *parent = nullptr);
    // Kills what still runs and waits for it: no child outlives the owner.
    ~Filmstrip() override;

    // The keyframes of stream `videoStream` (as the prober numbers streams),
    // `height` pixels high and as wide as the picture is shown.
    static QStringList arguments(const QString &path, int videoStream, int height);
    // The length of the JPEG image at the start of `bytes`, 0 while its end
    // is still to come.
    static qsizetype imageLength(QByteArrayView bytes);

    // The file's first video track; nothing runs without one.
    void start(const FileProbe &file, int height);
    void stop();

    // Those announced so far.
    const QList<Thumbnail> &thumbnails() const { return m_thumbnails; }
    bool isRunning() const { return m_process != nullptr; }

signals:
    void thumbnailAdded(double seconds, const QImage &image);
    // `complete` when the creator went through the whole file.
    void finished(bool complete);

private:
    void takeImages(const QByteArray &bytes);
    void takeTimes(const QByteArray &log);
    void pair();
    void finishRun(bool succeeded);

    const ToolLocator m_tools;
    QProcess *m_process = nullptr;
    quint64 m_run = 0; // counts the runs stopped
    // Where the file's timeline begins in the streams' time.
    double m_start = 0.0;
    double m_timeBase = 0.0;
    // Images and their times come on two channels, each in the order of the
    // pictures: each waits here for the other.
    QByteArray m_unfinishedImage;
    QList<QByteArray> m_images;
    QByteArray m_unfinishedLine;
    QList<std::optional<double>> m_times;
    bool m_damaged = false; // bytes that are no JPEG came
    QList<Thumbnail> m_thumbnails;
};

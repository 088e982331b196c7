// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include "timeline.h"
#include "toollocator.h"

class FileProbe;
class QFile;
class QProcess;

// The frames before the one in view, decoded once by `creator` so that a
// step back among them costs no decoding: the player's own step back
// decodes the group again from its keyframe, each time. One run decodes
// from the keyframe up to the last frame asked for, as an exact seek does,
// and writes the frames asked for, fitted into the view, as raw pictures
// into a file, from which each is read when shown. They count
// only once all of them have come, as each is known by its place among
// them. A newer start, or a stop, ends the run before; nothing of it is
// announced after.
class DecodedGroup : public QObject
{
    Q_OBJECT

public:
    explicit DecodedGroup(const ToolLocator &tools, QObject *parent = nullptr);
    // Kills what still runs and waits for it: no child outlives the owner.
    ~DecodedGroup() override;

    // How the first frame is reached: by an exact seek, or by entering
    // just after a keyframe, which the creator then decodes first. An exact
    // seek must come a tolerance early, and so misses a keyframe just at
    // its time and decodes the whole group before it.
    struct Entry
    {
        Timeline::Seek seek;
        bool atKeyframe = false;
    };

    // `count` frames of the first video track from the frame `entry`
    // reaches, each `size` pixels, in presentation order, into `output`.
    // `colours` is the scaler's input matrix.
    static QStringList arguments(const QString &path, const Entry &entry, qsizetype count, QSize size,
                                 const QString &colours, const QString &output);
    // The scaler's input matrix that draws the file's frames as the player does.
    static QString colourMatrix(const FileProbe &file);

    // The frames at `times` (file time, in order, one after another as the
    // timeline lists them), entered as `entry` says for the first, into a
    // file of `folder`, the app's private one.
    void start(const QString &path, const Entry &entry, const QList<double> &times, QSize size,
               const QString &colours, const QString &folder);
    // Stops a run and forgets the frames.
    void stop();

    bool isRunning() const { return m_process != nullptr; }
    // Whether the frame at `seconds` is kept, or is coming in the run.
    bool holds(double seconds) const;
    bool isComing(double seconds) const;
    std::optional<QImage> frame(double seconds) const;

signals:
    // The frames have come, or the run failed (`decoded` false) and none is kept.
    void finished(bool decoded);

private:
    static QString fitted(QSize size, const QString &colours);
    static std::optional<qsizetype> indexIn(const QList<double> &times, double seconds);
    qint64 pictureBytes() const { return qint64(m_size.width()) * m_size.height() * 4; }
    void finishRun(bool succeeded);
    void forget();

    const ToolLocator m_tools;
    QProcess *m_process = nullptr;
    quint64 m_run = 0;
    QList<double> m_coming;
    QList<double> m_times;
    QSize m_size;
    std::unique_ptr<QFile> m_pictures;
    const uchar *m_mapped = nullptr;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "mediacache.h"
#include "toollocator.h"

class FileProbe;
class QProcess;

// The loudness of an audio track along a file, for a timeline's overview:
// one run of `creator` in the background at low priority decodes the track
// to one channel at a low rate and writes the samples to its output, which
// are reduced as they arrive to one value, 0 to 1, for each `interval` from
// the file's start. The values are announced a piece at a time, then the end
// of the run. A newer start, or a stop, ends the run before (terminate, then
// kill); nothing of it is announced after.
class Waveform : public QObject
{
    Q_OBJECT

public:
    // Up to 4 kHz stays, which carries speech and most of what is heard as
    // loud, for a sixth of a 48 kHz track's samples; the decoding, which no
    // rate saves, is the most of the cost.
    static constexpr int sampleRate = 8000;
    static constexpr double interval = 0.05;
    static constexpr int samplesPerValue = 400; // sampleRate * interval
    // About -60 dBFS: no value below it shows in a drawing a few hundred
    // pixels high, and a lossy codec's silence is not always exact zeros.
    static constexpr float silence = 1.0F / 1024;

    explicit Waveform(const ToolLocator &tools, QObject *parent = nullptr);
    // Kills what still runs and waits for it: no child outlives the owner.
    ~Waveform() override;

    // Stream `audioStream` (as the prober numbers streams) of a file whose
    // timeline begins at `start` in the streams' time.
    static QStringList arguments(const QString &path, int audioStream, double start);

    // The file's first audio track when `audioStream` is -1. A file without
    // one gives nothing: no run, no announcement.
    void start(const FileProbe &file, int audioStream = -1);
    // As the prober numbers streams; -1 without one.
    static int firstAudioStream(const FileProbe &file);
    void stop();

    // The values so far.
    const WaveformPeaks &peaks() const { return m_peaks; }
    // No value so far rises above `silence`: there is nothing to draw.
    bool isSilent() const;
    bool isRunning() const { return m_process != nullptr; }

signals:
    // `values` follow the first `first` ones.
    void valuesAdded(qsizetype first, const QList<float> &values);
    // `complete` when the creator went through the whole track.
    void finished(bool complete);

private:
    void takeSamples(const QByteArray &bytes);
    float takePeak();
    void announce(QList<float> values);
    void finishRun(bool succeeded);

    const ToolLocator m_tools;
    QProcess *m_process = nullptr;
    quint64 m_run = 0; // counts the runs stopped
    WaveformPeaks m_peaks{-1, interval, {}};
    qsizetype m_valueCount = -1; // the file's duration's, when it tells one
    QByteArray m_unfinishedSample;
    // The loudest sample of the interval being read, and how many of its samples are in.
    int m_loudest = 0;
    int m_counted = 0;
};

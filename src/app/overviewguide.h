// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "filmstrip.h"
#include "waveform.h"

class FileProbe;
class MediaCache;
class OverviewStrip;

// Fills the strip under the slider for the open video: its keyframes'
// pictures and its first audio track's loudness, each made in the background
// after the video is open, or taken from the cache when the file was seen
// whole before, and remembered there once made whole.
class OverviewGuide : public QObject
{
    Q_OBJECT

public:
    OverviewGuide(const ToolLocator &tools, MediaCache *cache, OverviewStrip *strip, QObject *parent = nullptr);

    void start(std::shared_ptr<const FileProbe> file);
    // Another file or none: the runs stop and the strip goes.
    void stop();
    // While a trim runs, which wants the processor, what is unfinished
    // waits, and starts again after it.
    void pause();
    void resume();

    const Filmstrip &filmstrip() const { return m_filmstrip; }
    const Waveform &waveform() const { return m_waveform; }

private:
    void startFilmstrip();
    void startWaveform();
    bool isRunning() const { return m_filmstrip.isRunning() || m_waveform.isRunning(); }

    Filmstrip m_filmstrip;
    Waveform m_waveform;
    MediaCache *const m_cache;
    OverviewStrip *const m_strip;
    std::shared_ptr<const FileProbe> m_file;
    QString m_path;
    bool m_paused = false;
};

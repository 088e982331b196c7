// SPDX-License-Identifier: GPL-3.0-or-later
#include "overviewguide.h"

#include "fileprobe.h"
#include "mediacache.h"
#include "overviewstrip.h"

OverviewGuide::OverviewGuide(const ToolLocator &tools, MediaCache *cache, OverviewStrip *strip, QObject *parent)
    : QObject(parent)
    , m_filmstrip(tools)
    , m_waveform(tools)
    , m_cache(cache)
    , m_strip(strip)
{
    connect(&m_filmstrip, &Filmstrip::thumbnailAdded, m_strip, &OverviewStrip::addPicture);
    connect(&m_filmstrip, &Filmstrip::finished, this, [this](bool complete) {
        if (complete)
            m_cache->rememberFilmstrip(m_path, m_filmstrip.thumbnails());
    });
    connect(&m_waveform, &Waveform::valuesAdded, this, [this](qsizetype first, const QList<float> &values) {
        m_strip->addLoudness(Waveform::interval, first, values);
    });
    connect(&m_waveform, &Waveform::finished, this, [this](bool complete) {
        if (complete)
            m_cache->rememberWaveform(m_path, m_waveform.peaks());
    });
    m_strip->hide();
}

void OverviewGuide::start(std::shared_ptr<const FileProbe> file)
{
    stop();
    m_file = std::move(file);
    m_path = m_file->fileFullPath().value_or(QString());
    m_strip->reset(m_file->duration());
    m_strip->show();
    startFilmstrip();
    startWaveform();
}

void OverviewGuide::stop()
{
    m_filmstrip.stop();
    m_waveform.stop();
    m_file.reset();
    m_paused = false;
    m_strip->reset(0.0);
    m_strip->hide();
}

void OverviewGuide::pause()
{
    m_paused = isRunning();
    m_filmstrip.stop();
    m_waveform.stop();
}

// Again from the start: what was finished comes from the cache at once.
void OverviewGuide::resume()
{
    if (std::exchange(m_paused, false) && m_file)
        start(m_file);
}

void OverviewGuide::startFilmstrip()
{
    if (const std::optional<QList<Thumbnail>> known = m_cache->filmstrip(m_path)) {
        for (const Thumbnail &thumbnail : *known)
            m_strip->addPicture(thumbnail.seconds, QImage::fromData(thumbnail.jpeg, "JPEG"));
        return;
    }
    m_filmstrip.start(*m_file, OverviewStrip::pictureHeight);
}

void OverviewGuide::startWaveform()
{
    const int audio = Waveform::firstAudioStream(*m_file);
    if (audio < 0)
        return;
    if (const std::optional<WaveformPeaks> known = m_cache->waveform(m_path, audio)) {
        m_strip->addLoudness(known->interval, 0, known->values);
        return;
    }
    m_waveform.start(*m_file, audio);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "waveform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include <QProcess>
#include <QtEndian>

#include "backgroundprocess.h"
#include "decimaltext.h"
#include "fileprobe.h"

namespace {

constexpr float fullScale = 32768.0F;

static_assert(Waveform::samplesPerValue == static_cast<int>(Waveform::sampleRate * Waveform::interval));

} // namespace

Waveform::Waveform(const ToolLocator &tools, QObject *parent)
    : QObject(parent)
    , m_tools(tools)
{
}

Waveform::~Waveform()
{
    BackgroundProcess::killAll(this);
}

QStringList Waveform::arguments(const QString &path, int audioStream, double start)
{
    // The stream times are kept (-copyts) and moved to the file's start
    // here: the creator's own shift to zero counts, in MPEG-TS, from the
    // first of the streams it reads, and a track starting after the video
    // would be drawn early. The resampler then fills the time before the
    // track's first sample, and any gap in it, with silence, so the values
    // lie on the file's timeline. Half a second a write, where a codec's
    // frame would be a few hundred bytes, spares most of the wake-ups of
    // both ends of the pipe. Mixed down to one channel first, the resampler
    // has a sixth of a 5.1 track to filter, with a short filter: a peak
    // needs no fidelity, and the default one cost half as much again as the
    // decoding itself.
    const QString filters = QStringLiteral("aformat=channel_layouts=mono,asetpts=PTS-(%1)/TB,"
                                           "aresample=%2:async=1:first_pts=0:filter_size=8:phase_shift=6,"
                                           "asetnsamples=n=%3:p=0")
                                .arg(secondsArgument(start), QString::number(sampleRate),
                                     QString::number(sampleRate / 2));
    return {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-nostdin"), QStringLiteral("-copyts"),
            QStringLiteral("-i"), path, QStringLiteral("-map"), QStringLiteral("0:%1").arg(audioStream),
            QStringLiteral("-af"), filters, QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")};
}

int Waveform::firstAudioStream(const FileProbe &file)
{
    const QList<MediaTrack> tracks = file.mediaTracks();
    const auto audio = std::ranges::find(tracks, MediaTrack::Kind::Audio, &MediaTrack::kind);
    return audio == tracks.end() ? -1 : audio->index;
}

void Waveform::start(const FileProbe &file, int audioStream)
{
    stop();
    if (audioStream < 0)
        audioStream = firstAudioStream(file);
    if (audioStream < 0 || !file.fileFullPath())
        return;
    const QString program = m_tools.pathForResource(ToolLocator::creator);
    if (program.isEmpty()) {
        emit finished(false);
        return;
    }
    m_peaks.stream = audioStream;
    m_valueCount = file.duration() > 0 ? qsizetype(std::ceil(file.duration() * sampleRate / samplesPerValue)) : -1;
    m_process = BackgroundProcess::make(this, program, arguments(*file.fileFullPath(), audioStream, file.startTime()),
                                        [this](bool succeeded) { finishRun(succeeded); });
    connect(m_process, &QProcess::readyReadStandardOutput, this,
            [this] { takeSamples(m_process->readAllStandardOutput()); });
    m_process->start();
}

void Waveform::stop()
{
    ++m_run;
    m_peaks = WaveformPeaks{-1, interval, {}};
    m_unfinishedSample.clear();
    m_loudest = 0;
    m_counted = 0;
    BackgroundProcess::dismiss(std::exchange(m_process, nullptr), this);
}

bool Waveform::isSilent() const
{
    return std::ranges::none_of(m_peaks.values, [](float value) { return value >= silence; });
}

// The peak of each interval, not its mean power: a cut is placed at a
// sound's onset, a clap or a word, which the peak keeps and an average over
// a twentieth of a second flattens.
void Waveform::takeSamples(const QByteArray &bytes)
{
    const QByteArray samples = std::exchange(m_unfinishedSample, QByteArray()) + bytes;
    const qsizetype whole = samples.size() - samples.size() % 2;
    QList<float> added;
    for (qsizetype at = 0; at < whole; at += 2) {
        m_loudest = std::max(m_loudest, std::abs(int(qFromLittleEndian<qint16>(samples.constData() + at))));
        if (++m_counted == samplesPerValue)
            added.append(takePeak());
    }
    m_unfinishedSample = samples.sliced(whole);
    announce(added);
}

float Waveform::takePeak()
{
    const float peak = static_cast<float>(m_loudest) / fullScale;
    m_loudest = 0;
    m_counted = 0;
    return peak;
}

// A lossy track decodes to whole frames of the codec, so it may run on
// past the file's duration with its padding, where the timeline ends.
void Waveform::announce(QList<float> values)
{
    if (m_valueCount >= 0)
        values.resize(std::clamp(m_valueCount - m_peaks.values.size(), qsizetype(0), values.size()));
    if (values.isEmpty())
        return;
    const qsizetype first = m_peaks.values.size();
    m_peaks.values.append(values);
    emit valuesAdded(first, values);
}

void Waveform::finishRun(bool succeeded)
{
    QProcess *const process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    process->deleteLater();
    // A receiver of the values may stop this run, or start another.
    const quint64 run = m_run;
    takeSamples(process->readAllStandardOutput());
    if (run != m_run)
        return;
    // The track's last interval, however short.
    if (m_counted > 0)
        announce({takePeak()});
    if (run == m_run)
        emit finished(succeeded);
}

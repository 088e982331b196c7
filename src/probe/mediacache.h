// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include "fileprobe.h"
#include "packetlist.h"

// A keyframe's picture in a timeline's overview, as the creator encoded it
// (JPEG): bytes keep Qt Gui out of the probe, and hold a fraction of what
// the decoded image would.
struct Thumbnail
{
    double seconds = 0.0; // from the file's start
    QByteArray jpeg;
};

// The loudness of one audio track along a file: one value, 0 to 1, for each
// `interval` from the file's start.
struct WaveformPeaks
{
    int stream = -1; // as the prober numbers streams
    double interval = 0.0;
    QList<float> values;
};

// What was learnt of the files opened in this run of the app, so that a file
// opened again is neither probed nor scanned again, nor its overview made again. An entry holds only as
// long as its file keeps the path, size and modification time it had when
// it was learnt; the oldest entries go first.
class MediaCache
{
public:
    static constexpr qsizetype capacity = 16;

    // The file as it is now: what an entry is checked against.
    struct Identity
    {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        static Identity of(const QString &path);
        bool operator==(const Identity &) const = default;
    };

    // The report learnt of the file as `identity` finds it now.
    std::shared_ptr<const FileProbe> probe(const Identity &identity) const;
    // `identity` as the file was when the prober started on it.
    void rememberProbe(const Identity &identity, std::shared_ptr<const FileProbe> probe);
    // A whole-file list only.
    std::optional<PacketList> packets(const QString &path) const;
    void rememberPackets(const QString &path, const PacketList &packets);
    // Whole runs only, as the packets.
    std::optional<QList<Thumbnail>> filmstrip(const QString &path) const;
    void rememberFilmstrip(const QString &path, const QList<Thumbnail> &thumbnails);
    std::optional<WaveformPeaks> waveform(const QString &path, int stream) const;
    void rememberWaveform(const QString &path, const WaveformPeaks &peaks);
    void clear() { m_entries.clear(); }

private:
    struct Entry
    {
        Identity identity;
        std::shared_ptr<const FileProbe> probe;
        std::optional<PacketList> packets;
        std::optional<QList<Thumbnail>> filmstrip;
        QHash<int, WaveformPeaks> waveforms; // by stream
    };

    const Entry *find(const Identity &now) const;
    Entry *findNow(const QString &path);

    QList<Entry> m_entries; // newest last
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "mediacache.h"

#include <QFileInfo>

MediaCache::Identity MediaCache::Identity::of(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {path, -1, QDateTime()};
    return {path, info.size(), info.lastModified()};
}

const MediaCache::Entry *MediaCache::find(const Identity &now) const
{
    if (now.size < 0)
        return nullptr;
    for (const Entry &entry : m_entries) {
        if (entry.identity == now)
            return &entry;
    }
    return nullptr;
}

std::shared_ptr<const FileProbe> MediaCache::probe(const Identity &identity) const
{
    const Entry *entry = find(identity);
    return entry ? entry->probe : nullptr;
}

void MediaCache::rememberProbe(const Identity &identity, std::shared_ptr<const FileProbe> probe)
{
    if (identity.size < 0)
        return;
    // What else was learnt of the file stays for as long as it is unchanged.
    const Entry *const known = find(identity);
    Entry entry = known ? *known : Entry();
    entry.identity = identity;
    entry.probe = std::move(probe);
    m_entries.removeIf([&identity](const Entry &other) { return other.identity.path == identity.path; });
    m_entries.append(std::move(entry));
    if (m_entries.size() > capacity)
        m_entries.removeFirst();
}

// Facts learnt by a run are remembered against the file as it is when the
// run ends: a file changed meanwhile finds no entry.
MediaCache::Entry *MediaCache::findNow(const QString &path)
{
    const Identity now = Identity::of(path);
    for (Entry &entry : m_entries) {
        if (now.size >= 0 && entry.identity == now)
            return &entry;
    }
    return nullptr;
}

std::optional<PacketList> MediaCache::packets(const QString &path) const
{
    const Entry *entry = find(Identity::of(path));
    return entry ? entry->packets : std::nullopt;
}

void MediaCache::rememberPackets(const QString &path, const PacketList &packets)
{
    if (Entry *entry = findNow(path))
        entry->packets = packets;
}

std::optional<QList<Thumbnail>> MediaCache::filmstrip(const QString &path) const
{
    const Entry *entry = find(Identity::of(path));
    return entry ? entry->filmstrip : std::nullopt;
}

void MediaCache::rememberFilmstrip(const QString &path, const QList<Thumbnail> &thumbnails)
{
    if (Entry *entry = findNow(path))
        entry->filmstrip = thumbnails;
}

std::optional<WaveformPeaks> MediaCache::waveform(const QString &path, int stream) const
{
    const Entry *entry = find(Identity::of(path));
    if (!entry || !entry->waveforms.contains(stream))
        return std::nullopt;
    return entry->waveforms.value(stream);
}

void MediaCache::rememberWaveform(const QString &path, const WaveformPeaks &peaks)
{
    if (Entry *entry = findNow(path))
        entry->waveforms.insert(peaks.stream, peaks);
}

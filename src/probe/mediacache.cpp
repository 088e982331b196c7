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
    // The file's keyframes stay for as long as it is unchanged.
    std::optional<PacketList> packets;
    for (const Entry &entry : std::as_const(m_entries)) {
        if (entry.identity == identity)
            packets = entry.packets;
    }
    m_entries.removeIf([&identity](const Entry &entry) { return entry.identity.path == identity.path; });
    m_entries.append({identity, std::move(probe), std::move(packets)});
    if (m_entries.size() > capacity)
        m_entries.removeFirst();
}

std::optional<PacketList> MediaCache::packets(const QString &path) const
{
    const Entry *entry = find(Identity::of(path));
    return entry ? entry->packets : std::nullopt;
}

void MediaCache::rememberPackets(const QString &path, const PacketList &packets)
{
    const Identity now = Identity::of(path);
    for (Entry &entry : m_entries) {
        if (entry.identity == now)
            entry.packets = packets;
    }
}

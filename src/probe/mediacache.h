// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QString>

#include "fileprobe.h"
#include "packetlist.h"

// What was learnt of the files opened in this run of the app, so that a file
// opened again is neither probed nor scanned again. An entry holds only as
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
    void clear() { m_entries.clear(); }

private:
    struct Entry
    {
        Identity identity;
        std::shared_ptr<const FileProbe> probe;
        std::optional<PacketList> packets;
    };

    const Entry *find(const Identity &now) const;

    QList<Entry> m_entries; // newest last
};

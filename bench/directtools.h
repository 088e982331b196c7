// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include "packetlist.h"
#include "toollocator.h"

// The app's tools run directly, with the same argument lists the app uses,
// as the baseline the app's actions are compared with.
class DirectTools
{
public:
    explicit DirectTools(const ToolLocator &tools);

    // The prober's report of `path`, as the app asks for it.
    bool probe(const QString &path) const;
    // The exact poster frame at `seconds`, with the app's own arguments for it.
    bool extractPoster(const QString &path, double seconds, const QString &outputPath) const;
    // The packet listing of the first video track, all of it or `read`.
    bool listPackets(const QString &path, const QList<Stretch> &read = {}) const;
    // The encoder with a full argument list, such as a trim's.
    bool encode(const QStringList &arguments) const;
    // `cp`: the same bytes written without any media work.
    bool copy(const QString &from, const QString &to) const;

private:
    enum class Output { Read, Discarded };
    static bool run(const QString &program, const QStringList &arguments, Output output);

    const QString m_sniffer;
    const QString m_creator;
    const QString m_cp;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

class FileProbe;

// Why a file cannot be trimmed, told so that a person knows what to try next:
// a damaged recording may be copied again, an audio file needs no trimmer of
// video. The prober's report says what it read; where it read nothing, the
// file's first bytes tell a broken video from something that never was one.
class Refusal
{
    Q_DECLARE_TR_FUNCTIONS(Refusal)

public:
    enum class Reason { none, notVideo, noVideoTrack, damaged, encrypted, stillImage };

    explicit Refusal(const FileProbe &probe);

    Reason reason() const { return m_reason; }
    // One sentence naming the file and the reason; empty for a file that can be trimmed.
    QString sentence() const;

private:
    static Reason reasonFor(const FileProbe &probe);

    Reason m_reason;
    QString m_fileName;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "refusal.h"

#include <QFileInfo>
#include <QMimeDatabase>

#include "fileprobe.h"

Refusal::Refusal(const FileProbe &probe)
    : m_reason(reasonFor(probe))
    , m_fileName(QFileInfo(probe.fileFullPath().value_or(QString())).fileName())
{
}

Refusal::Reason Refusal::reasonFor(const FileProbe &probe)
{
    if (probe.isTrimmableVideo())
        return Reason::none;
    const QString path = probe.fileFullPath().value_or(QString());
    // By content alone: a name says nothing of a PNG renamed .mp4.
    const QString type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchContent).name();
    if (type.startsWith(QLatin1String("image/")))
        return Reason::stillImage;
    if (probe.isEncrypted())
        return Reason::encrypted;
    if (probe.isValidMediaFile() && !probe.hasVideoTrack())
        return Reason::noVideoTrack;
    if (probe.hasSingleFrameVideo())
        return Reason::stillImage;
    if (probe.hasVideoTrack() || type.startsWith(QLatin1String("video/")))
        return Reason::damaged;
    return Reason::notVideo;
}

QString Refusal::sentence() const
{
    switch (m_reason) {
    case Reason::none:
        return {};
    case Reason::notVideo:
        return tr("“%1” is not a video file.").arg(m_fileName);
    case Reason::noVideoTrack:
        return tr("“%1” has no video track.").arg(m_fileName);
    case Reason::damaged:
        return tr("“%1” seems to be damaged or cut short.").arg(m_fileName);
    case Reason::encrypted:
        return tr("“%1” is encrypted, so its frames cannot be read.").arg(m_fileName);
    case Reason::stillImage:
        return tr("“%1” is a still image, not a video.").arg(m_fileName);
    }
    return {};
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "exactcutnote.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "fileprobe.h"
#include "json.h"

bool ExactCutNote::isHevcInQuickTime(const FileProbe &input)
{
    const JSON codec = input.trackDictionaries(QStringLiteral("Video")).value(0)[QStringLiteral("codec_name")];
    const QString suffix = QFileInfo(input.fileFullPath().value_or(QString())).suffix().toLower();
    return codec == JSON(QStringLiteral("hevc"))
        && (suffix == u"mp4" || suffix == u"mov" || suffix == u"m4v");
}

QString ExactCutNote::of(const FileProbe &input)
{
    if (!isHevcInQuickTime(input))
        return {};
    return QCoreApplication::translate("ExactCutNote",
                                       "An exact cut of HEVC into MP4 or MOV is tagged hev1, which Apple's players "
                                       "do not open. A Matroska (.mkv) output, offered in the save dialog, keeps "
                                       "the stream as it is and plays in most other players.");
}

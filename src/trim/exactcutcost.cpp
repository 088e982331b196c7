// SPDX-License-Identifier: GPL-3.0-or-later
#include "exactcutcost.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

constexpr double toolStart = 0.15;
constexpr double copiedFrame = 0.00009;
constexpr double encodedH264Frame = 0.028;
constexpr double encodedHevcFrame = 0.28;
constexpr double encodedVp9Frame = 0.019;
constexpr double encodedAv1Frame = 0.037;
// At a fixed quantiser of 2, a third of x264's time at 1080p.
constexpr double encodedMpeg2Frame = 0.010;

double encodedFrame(const QString &encoder)
{
    if (encoder == u"libx265")
        return encodedHevcFrame;
    if (encoder == u"libsvtav1")
        return encodedAv1Frame;
    if (encoder == u"mpeg2video")
        return encodedMpeg2Frame;
    return encoder == u"libvpx-vp9" ? encodedVp9Frame : encodedH264Frame;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("ExactCutCost", text);
}

} // namespace

double ExactCutCost::of(Work work, qsizetype frames, const QString &encoder)
{
    const bool encodes = work == Work::EncodeHead || work == Work::EncodeTail;
    const double perFrame = encodes ? encodedFrame(encoder) : copiedFrame;
    return toolStart + static_cast<double>(frames) * perFrame;
}

QString ExactCutCost::name(Work work, qsizetype frames)
{
    const QString count = QLocale().toString(static_cast<qlonglong>(frames));
    const bool one = frames == 1;
    switch (work) {
    case Work::EncodeHead:
        return one ? tr("Re-encoding the first frame") : tr("Re-encoding the first %1 frames").arg(count);
    case Work::Copy:
        return one ? tr("Copying 1 frame") : tr("Copying %1 frames").arg(count);
    case Work::EncodeTail:
        return one ? tr("Re-encoding the last frame") : tr("Re-encoding the last %1 frames").arg(count);
    case Work::ExtractSubtitles:
        return tr("Extracting the subtitles");
    case Work::Join:
        break;
    }
    return tr("Joining the parts");
}

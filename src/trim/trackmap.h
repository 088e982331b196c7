// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "mediatrack.h"

// The tracks a trim keeps, and the encoder's arguments that keep exactly
// those, in the file's order, with their languages and titles. Without maps
// the encoder would keep one track of each kind, its own choice.
//
// What an output holds: audio always (a re-encode encodes each track for
// MP4, a copy keeps the file's own format); subtitles never in a re-encode;
// in Matroska any subtitle, in MP4 and QuickTime text subtitles only (as
// their own timed text), in WebM WebVTT only, in MPEG-TS DVB subtitles only,
// elsewhere none. Data tracks (a camera's timecode or GPS) are never kept.
class TrackMap
{
public:
    enum class Mode { Copy, Reencode };

    // Why `track` cannot be written into a file of `suffix` ("mp4", "mkv")
    // by a trim of `mode`; empty when it can.
    static QString unavailableReason(const MediaTrack &track, const QString &suffix, Mode mode);

    // `kept` in the file's order; of them, those the output cannot hold are left out.
    TrackMap(const QList<MediaTrack> &kept, const QString &suffix, Mode mode);

    // "-map" for each kept track of input number `input`.
    QStringList mapArguments(int input = 0) const;
    // The settings of the kept tracks that a copy or a re-encode of them
    // needs; they follow the codec arguments. `input` as above.
    QStringList streamSettings(int input = 0) const;

private:
    static QList<MediaTrack> heldOf(const QList<MediaTrack> &tracks, const QString &suffix, Mode mode);
    QString subtitleCodec(const MediaTrack &track) const;
    static QStringList reencodedAudioSettings(const MediaTrack &track, int output, int input);

    const QList<MediaTrack> m_kept;
    const QString m_suffix;
    const Mode m_mode;
};

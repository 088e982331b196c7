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
//
// A copy may read its text subtitles from files cut to the selection
// (SubtitleClip) rather than from the source, each an input of its own right
// after the source's, converted to the output's own text format. The tags of
// such a track are the source track's; and since naming one track's tags
// stops the encoder copying any other's, every track's are named then.
class TrackMap
{
public:
    enum class Mode { Copy, Reencode };

    // Why `track` cannot be written into a file of `suffix` ("mp4", "mkv")
    // by a trim of `mode`; empty when it can.
    static QString unavailableReason(const MediaTrack &track, const QString &suffix, Mode mode);

    // Why a subtitle track an output of `suffix` holds is not cut to the
    // selection as text is; empty when it is, or when it is not held.
    static QString unclippedReason(const MediaTrack &track, const QString &suffix, Mode mode);

    // `kept` in the file's order; of them, those the output cannot hold are
    // left out. With `clipFolder`, a copy reads the subtitles SubtitleClip
    // can cut from their clipped files there.
    TrackMap(const QList<MediaTrack> &kept, const QString &suffix, Mode mode, const QString &clipFolder = {});

    // The kept subtitle tracks read from clipped files, in the file's order.
    const QList<MediaTrack> &clippedSubtitles() const { return m_clipped; }
    // The input of each clipped file, to follow the source's.
    QStringList clipInputArguments() const;
    // "-map" for each kept track of input number `input`, the source; the
    // clipped files are the inputs after it.
    QStringList mapArguments(int input = 0) const;
    // The settings of the kept tracks that a copy or a re-encode of them
    // needs; they follow the codec arguments. `input` as above; `videoMap`,
    // the video's "-map" argument ("0:v:0"), whose tags are named with the
    // others' when there are clipped subtitles.
    QStringList streamSettings(int input = 0, const QString &videoMap = {}) const;

    // Of `tracks`, those an output of `suffix` written by a trim of `mode` can hold, in their order.
    static QList<MediaTrack> heldOf(const QList<MediaTrack> &tracks, const QString &suffix, Mode mode);

private:
    QString subtitleCodec(const MediaTrack &track) const;
    QStringList taggingSettings(int input, const QString &videoMap) const;
    static QStringList reencodedAudioSettings(const MediaTrack &track, int output, int input);

    const QList<MediaTrack> m_kept;
    const QString m_suffix;
    const Mode m_mode;
    const QString m_clipFolder;
    const QList<MediaTrack> m_clipped;
};

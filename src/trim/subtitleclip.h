// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "mediatrack.h"

// Text subtitles cut to a selection. The encoder's own cut of a subtitle
// track cannot be trusted: after a seek it keeps entries from before the
// start, stretches the one it starts in, lets the last one run past the end
// (and the file with it), and shifts the entries it converts. So each text
// track a trim keeps is extracted whole, without a seek, into the trim's own
// folder; its entries are cut here; and the cut file is an input of the
// trim's encoder (TrackMap), its times counted from where the encoder's seek
// puts its time zero, so that they fall on the video's frames.
//
// An entry wholly outside [from, to) is left out, one that spans an edge is
// clipped to it, and every one kept is counted from `zero`, at or before
// `from`; one that would last nothing in the format's unit is left out too. Tracks are cut as
// SubRip (milliseconds), or as ASS (hundredths) where they are ASS or SSA,
// whose styles SubRip would lose; everything but the times stays as the
// encoder wrote it, but SubRip's counters, which are renumbered. Times are
// seconds on the streams' own timeline, which the extraction keeps. Pure,
// but for clipFiles, which reads and writes the folder.
class SubtitleClip
{
public:
    enum class Format { SubRip, Ass };

    // Text only: subtitles drawn as pictures cannot be re-timed entry by entry.
    static bool isClippable(const MediaTrack &track) { return track.isTextSubtitle(); }
    static Format formatOf(const MediaTrack &track);
    // "subtitle-4.srt" and "subtitle-4.clipped.srt": the track extracted whole, and cut.
    static QString extractedFileName(const MediaTrack &track);
    static QString clippedFileName(const MediaTrack &track);
    // The encoder's input reading the clipped file of `track` in `folder`, in its format whatever the file
    // holds: a track with no entry left is an empty file, which the encoder could not otherwise tell.
    static QStringList inputArguments(const MediaTrack &track, const QString &folder);
    // One run of the encoder extracting each of `tracks` from `sourcePath` into its file in `folder`.
    static QStringList extractionArguments(const QString &sourcePath, const QList<MediaTrack> &tracks,
                                           const QString &folder);

    // `text` in `format` with its entries cut to [from, to) seconds and counted from `zero`.
    static QByteArray clipped(const QByteArray &text, Format format, double from, double to, double zero);
    // Cuts each extracted file of `tracks` in `folder` into its clipped file there, as clipped() does; false,
    // with the reason in `details`, when one cannot be read or written.
    static bool clipFiles(const QList<MediaTrack> &tracks, const QString &folder, double from, double to, double zero,
                          QString *details);
};

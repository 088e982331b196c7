// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "mediatrack.h"
#include "timeline.h"

// Everything one trim's command line is made from.
struct TrimParameters {
    double duration = 0.0;              // input duration D in seconds
    double minValue = 0.0, maxValue = 1.0;
    double selectionStart = 0.0, selectionEnd = 1.0;   // fractions of the slider's range
    bool forceEncode = false;
    bool hasAudioTrack = false;
    bool hasAudioTrackWhichHasMoreThanTwoChannels = false;
    QString inputPath;
    QString outputPath;                 // the path the encoder writes
    // The stream index of the video kept, and the other tracks kept, in the
    // file's order. Without a video index the encoder chooses the streams.
    int videoStream = -1;
    QList<MediaTrack> keptTracks;
    QString outputSuffix;               // the output's format, as its extension
    // Where the input is entered: for a re-encode, the exact seek of its
    // first frame; for a copy, its entry before the keyframe it starts at
    // (Timeline). Without, a plain input seek to the start.
    std::optional<Timeline::Seek> seek;
    // Where a copy reads its text subtitles cut to the selection (SubtitleClip);
    // without it the encoder cuts them itself.
    QString subtitleFolder;
    // Where the video ends, counted as the selection is: no subtitle is kept past it.
    std::optional<double> videoEnd;
    // Where the file's timeline begins on the streams' own (format start_time).
    double startTime = 0.0;

    // S = D × (min + (max − min) × start), E likewise with the end, T = E − S.
    double startSeconds() const;
    double endSeconds() const;
    double outputDuration() const;
    // The selection's end, or the video's where that comes first.
    double subtitleEnd() const;
};

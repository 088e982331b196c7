// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class JSON;

// An audio, subtitle or data track of a file, as the prober reports it: what
// a person chooses to keep, and what the trim's maps are made from.
struct MediaTrack
{
    enum class Kind { Audio, Subtitle, Data };

    int index = -1; // the stream's index in the file
    Kind kind = Kind::Data;
    QString codec;
    QString codecLongName; // as the prober names it: "AAC (Advanced Audio Coding)"
    QString language; // empty where the file says none, or "und"
    QString title;
    QString channelLayout;
    int channels = 0;

    // Subtitles drawn as pictures, which only some containers hold.
    bool isPictureSubtitle() const;
    // Subtitles as text, which a trim can re-time and convert to another text format.
    bool isTextSubtitle() const;
    // Language, title, codec and channels, as far as the file tells them.
    QString description() const;

    bool operator==(const MediaTrack &other) const = default;

    // The audio, subtitle and data tracks among the prober's streams, in
    // the file's order; video and attachments are not among them.
    static QList<MediaTrack> fromStreams(const QList<JSON> &streams);
};

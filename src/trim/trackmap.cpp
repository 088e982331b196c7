// SPDX-License-Identifier: GPL-3.0-or-later
#include "trackmap.h"

#include <algorithm>
#include <iterator>

#include <QObject>

#include "subtitleclip.h"

namespace {

enum class Family { Matroska, WebM, QuickTime, TransportStream, Other };

Family familyOf(const QString &suffix)
{
    const QString lower = suffix.toLower();
    if (lower == QLatin1String("mkv") || lower == QLatin1String("mka") || lower == QLatin1String("mk3d"))
        return Family::Matroska;
    if (lower == QLatin1String("webm"))
        return Family::WebM;
    static const QStringList quickTime{QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mov"),
                                       QStringLiteral("3gp"), QStringLiteral("3g2")};
    if (quickTime.contains(lower))
        return Family::QuickTime;
    if (lower == QLatin1String("ts") || lower == QLatin1String("m2ts") || lower == QLatin1String("mts"))
        return Family::TransportStream;
    return Family::Other;
}

QString subtitleReason(const MediaTrack &track, const QString &suffix)
{
    const QString format = suffix.toUpper();
    switch (familyOf(suffix)) {
    case Family::Matroska:
        return {};
    case Family::WebM:
        return track.codec == QLatin1String("webvtt") ? QString()
                                                      : QObject::tr("WebM files hold WebVTT subtitles only.");
    case Family::QuickTime:
        if (track.isPictureSubtitle())
            return QObject::tr("%1 files cannot hold subtitles drawn as pictures (%2).").arg(format, track.codec);
        return track.isTextSubtitle()
            ? QString()
            : QObject::tr("%1 files cannot hold %2 subtitles.").arg(format, track.codec);
    case Family::TransportStream:
        return track.codec.startsWith(QLatin1String("dvb_"))
            ? QString()
            : QObject::tr("MPEG-TS files hold DVB subtitles only.");
    case Family::Other:
        break;
    }
    return suffix.isEmpty() ? QObject::tr("This file's format cannot hold subtitles.")
                            : QObject::tr("%1 files cannot hold subtitles.").arg(format);
}

QList<MediaTrack> clippedOf(const QList<MediaTrack> &kept, TrackMap::Mode mode, const QString &clipFolder)
{
    QList<MediaTrack> clipped;
    if (mode == TrackMap::Mode::Copy && !clipFolder.isEmpty())
        std::copy_if(kept.cbegin(), kept.cend(), std::back_inserter(clipped), SubtitleClip::isClippable);
    return clipped;
}

} // namespace

QString TrackMap::unavailableReason(const MediaTrack &track, const QString &suffix, Mode mode)
{
    switch (track.kind) {
    case MediaTrack::Kind::Audio:
        return {};
    case MediaTrack::Kind::Data:
        return QObject::tr("a trim keeps no data tracks.");
    case MediaTrack::Kind::Subtitle:
        break;
    }
    if (mode == Mode::Reencode)
        return QObject::tr("A re-encode keeps no subtitles.");
    return subtitleReason(track, suffix);
}

QString TrackMap::unclippedReason(const MediaTrack &track, const QString &suffix, Mode mode)
{
    if (track.kind != MediaTrack::Kind::Subtitle || SubtitleClip::isClippable(track)
        || !unavailableReason(track, suffix, mode).isEmpty())
        return {};
    const QString edges = QObject::tr("at its edges the encoder keeps an entry whole or drops it.");
    return track.isPictureSubtitle()
        ? QObject::tr("Subtitles drawn as pictures (%1) cannot be clipped to the selection: %2").arg(track.codec, edges)
        : QObject::tr("%1 subtitles cannot be clipped to the selection: %2").arg(track.codec, edges);
}

TrackMap::TrackMap(const QList<MediaTrack> &kept, const QString &suffix, Mode mode, const QString &clipFolder)
    : m_kept(heldOf(kept, suffix, mode))
    , m_suffix(suffix)
    , m_mode(mode)
    , m_clipFolder(clipFolder)
    , m_clipped(clippedOf(m_kept, mode, clipFolder))
{
}

QList<MediaTrack> TrackMap::heldOf(const QList<MediaTrack> &tracks, const QString &suffix, Mode mode)
{
    QList<MediaTrack> held;
    std::copy_if(tracks.cbegin(), tracks.cend(), std::back_inserter(held), [&](const MediaTrack &track) {
        return unavailableReason(track, suffix, mode).isEmpty();
    });
    return held;
}

QStringList TrackMap::clipInputArguments() const
{
    QStringList arguments;
    for (const MediaTrack &track : m_clipped)
        arguments << SubtitleClip::inputArguments(track, m_clipFolder);
    return arguments;
}

QStringList TrackMap::mapArguments(int input) const
{
    QStringList arguments;
    int clipInput = input;
    for (const MediaTrack &track : m_kept) {
        const QString source = m_clipped.contains(track) ? QStringLiteral("%1:0").arg(++clipInput)
                                                         : QStringLiteral("%1:%2").arg(input).arg(track.index);
        arguments << QStringLiteral("-map") << source;
    }
    return arguments;
}

// The output's own subtitle format where it holds the file's, or the clipped file's, only after a conversion.
QString TrackMap::subtitleCodec(const MediaTrack &track) const
{
    const bool ass = SubtitleClip::formatOf(track) == SubtitleClip::Format::Ass;
    const QString codec = !m_clipped.contains(track) ? track.codec
                          : ass                      ? QStringLiteral("ass")
                                                     : QStringLiteral("subrip");
    const Family family = familyOf(m_suffix);
    if (family == Family::QuickTime && codec != QLatin1String("mov_text"))
        return QStringLiteral("mov_text");
    if (family == Family::Matroska && codec == QLatin1String("mov_text"))
        return QStringLiteral("srt");
    if (family == Family::WebM && codec != QLatin1String("webvtt"))
        return QStringLiteral("webvtt");
    return {};
}

// A clipped track's tags are its source track's; naming them stops the encoder copying the others', so those are
// named too.
QStringList TrackMap::taggingSettings(int input, const QString &videoMap) const
{
    if (m_clipped.isEmpty())
        return {};
    QStringList settings;
    // "0:v:0" names the video's stream; "0:s:v:0" its tags.
    if (!videoMap.isEmpty()) {
        const QString file = videoMap.section(u':', 0, 0);
        settings << QStringLiteral("-map_metadata:s:v:0") << file + QStringLiteral(":s:") + videoMap.section(u':', 1);
    }
    int audio = 0;
    int subtitle = 0;
    for (const MediaTrack &track : m_kept) {
        const bool isAudio = track.kind == MediaTrack::Kind::Audio;
        const QString output = isAudio ? QStringLiteral("a:%1").arg(audio++) : QStringLiteral("s:%1").arg(subtitle++);
        settings << QStringLiteral("-map_metadata:s:") + output
                 << QStringLiteral("%1:s:%2").arg(input).arg(track.index);
    }
    return settings;
}

QStringList TrackMap::streamSettings(int input, const QString &videoMap) const
{
    QStringList settings;
    int audio = 0;
    int subtitle = 0;
    for (const MediaTrack &track : m_kept) {
        if (track.kind == MediaTrack::Kind::Subtitle) {
            const QString codec = subtitleCodec(track);
            if (!codec.isEmpty())
                settings << QStringLiteral("-c:s:%1").arg(subtitle) << codec;
            ++subtitle;
        } else if (track.kind == MediaTrack::Kind::Audio) {
            if (m_mode == Mode::Reencode)
                settings << reencodedAudioSettings(track, audio, input);
            ++audio;
        }
    }
    return settings + taggingSettings(input, videoMap);
}

QStringList TrackMap::reencodedAudioSettings(const MediaTrack &track, int output, int input)
{
    const QString stream = QStringLiteral("s:a:%1").arg(output);
    // A re-encode drops the file's metadata, the tracks' own included: each track takes its own back.
    QStringList settings{QStringLiteral("-map_metadata:") + stream,
                         QStringLiteral("%1:s:%2").arg(input).arg(track.index)};
    // MP4 keeps a track's title as its handler's name.
    if (!track.title.isEmpty())
        settings << QStringLiteral("-metadata:") + stream << QStringLiteral("handler_name=") + track.title;
    // Stereo down-mixed from more channels, each track by itself: a mono track stays mono.
    if (track.channels > 2)
        settings << QStringLiteral("-ac:a:%1").arg(output) << QStringLiteral("2");
    return settings;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "trackmap.h"

#include <algorithm>
#include <iterator>

#include <QObject>

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

TrackMap::TrackMap(const QList<MediaTrack> &kept, const QString &suffix, Mode mode)
    : m_kept(heldOf(kept, suffix, mode))
    , m_suffix(suffix)
    , m_mode(mode)
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

QStringList TrackMap::mapArguments(int input) const
{
    QStringList arguments;
    for (const MediaTrack &track : m_kept)
        arguments << QStringLiteral("-map") << QStringLiteral("%1:%2").arg(input).arg(track.index);
    return arguments;
}

// The output's own subtitle format where it holds the file's only after a conversion.
QString TrackMap::subtitleCodec(const MediaTrack &track) const
{
    const Family family = familyOf(m_suffix);
    if (family == Family::QuickTime && track.codec != QLatin1String("mov_text"))
        return QStringLiteral("mov_text");
    if (family == Family::Matroska && track.codec == QLatin1String("mov_text"))
        return QStringLiteral("srt");
    return {};
}

QStringList TrackMap::streamSettings(int input) const
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
    return settings;
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

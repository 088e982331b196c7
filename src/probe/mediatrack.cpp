// SPDX-License-Identifier: GPL-3.0-or-later
#include "mediatrack.h"

#include <QStringList>

#include "json.h"

namespace {

std::optional<MediaTrack::Kind> kindOf(const QString &codecType)
{
    if (codecType == QLatin1String("audio"))
        return MediaTrack::Kind::Audio;
    if (codecType == QLatin1String("subtitle"))
        return MediaTrack::Kind::Subtitle;
    if (codecType == QLatin1String("data"))
        return MediaTrack::Kind::Data;
    return std::nullopt;
}

QString channelsText(const MediaTrack &track)
{
    if (!track.channelLayout.isEmpty())
        return track.channelLayout;
    if (track.channels <= 0)
        return {};
    return track.channels == 1 ? QObject::tr("1 channel") : QObject::tr("%1 channels").arg(track.channels);
}

} // namespace

bool MediaTrack::isPictureSubtitle() const
{
    static const QStringList pictures{QStringLiteral("hdmv_pgs_subtitle"), QStringLiteral("dvd_subtitle"),
                                      QStringLiteral("dvb_subtitle"), QStringLiteral("xsub")};
    return kind == Kind::Subtitle && pictures.contains(codec);
}

bool MediaTrack::isTextSubtitle() const
{
    static const QStringList texts{QStringLiteral("mov_text"), QStringLiteral("subrip"), QStringLiteral("srt"),
                                   QStringLiteral("ass"),      QStringLiteral("ssa"),    QStringLiteral("webvtt"),
                                   QStringLiteral("text")};
    return kind == Kind::Subtitle && texts.contains(codec);
}

QString MediaTrack::description() const
{
    QStringList parts{language.isEmpty() ? QObject::tr("Unknown language") : language};
    if (!title.isEmpty())
        parts << title;
    parts << codec;
    if (kind == Kind::Audio)
        parts << channelsText(*this);
    parts.removeAll(QString());
    return parts.join(QStringLiteral(" · "));
}

namespace {

// MP4 keeps a track's title as the name of its handler, which muxers fill with a name of their own where
// there is no title: "SoundHandler", "Core Media Audio", "GPAC ISO Video Handler" and the like.
QString titleOf(const JSON &tags)
{
    const QString title = tags[QStringLiteral("title")].stringValue();
    if (!title.isEmpty())
        return title;
    const QString handler = tags[QStringLiteral("handler_name")].stringValue().trimmed();
    static const QStringList muxerNames{QStringLiteral("Core Media Audio"), QStringLiteral("Core Media Video"),
                                        QStringLiteral("Core Media Text"), QStringLiteral("Core Media Data"),
                                        QStringLiteral("ISO Media file produced by Google Inc.")};
    const bool muxerName = handler.endsWith(QLatin1String("Handler")) || muxerNames.contains(handler);
    return muxerName ? QString() : handler;
}

} // namespace

QList<MediaTrack> MediaTrack::fromStreams(const QList<JSON> &streams)
{
    QList<MediaTrack> tracks;
    for (const JSON &stream : streams) {
        const std::optional<Kind> kind = kindOf(stream[QStringLiteral("codec_type")].stringValue());
        if (!kind)
            continue;
        const JSON tags = stream[QStringLiteral("tags")];
        MediaTrack track;
        track.index = static_cast<int>(stream[QStringLiteral("index")].intValue());
        track.kind = *kind;
        track.codec = stream[QStringLiteral("codec_name")].stringValue();
        // A data track's format is often known by its tag alone ("tmcd", "gpmd").
        if (track.codec.isEmpty() || track.codec == QLatin1String("unknown"))
            track.codec = stream[QStringLiteral("codec_tag_string")].stringValue();
        track.codecLongName = stream[QStringLiteral("codec_long_name")].stringValue();
        track.language = tags[QStringLiteral("language")].stringValue();
        if (track.language == QLatin1String("und"))
            track.language.clear();
        track.title = titleOf(tags);
        track.channelLayout = stream[QStringLiteral("channel_layout")].stringValue();
        track.channels = static_cast<int>(stream[QStringLiteral("channels")].intValue());
        tracks.append(track);
    }
    return tracks;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileprobe.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QProcess>

#include "diagnosticlog.h"
#include "durationtext.h"
#include "filesize.h"
#include "framerate.h"
#include "json.h"
#include "toollocator.h"

namespace {

// Members of the prober's report that the description reads.
namespace Report {
constexpr QLatin1String error("error");
constexpr QLatin1String streams("streams");
constexpr QLatin1String startTime("start_time");
constexpr QLatin1String format("format");
constexpr QLatin1String tags("tags");
constexpr QLatin1String index("index");
constexpr QLatin1String codecType("codec_type");
constexpr QLatin1String codecName("codec_name");
constexpr QLatin1String codecTagString("codec_tag_string");
constexpr QLatin1String avgFrameRate("avg_frame_rate");
constexpr QLatin1String width("width");
constexpr QLatin1String height("height");
constexpr QLatin1String channels("channels");
constexpr QLatin1String channelLayout("channel_layout");
constexpr QLatin1String duration("duration");
constexpr QLatin1String bitRate("bit_rate");
constexpr QLatin1String formatName("format_name");
constexpr QLatin1String rotate("rotate");
constexpr QLatin1String language("language");
}

// Only a JSON text with exactly these characters matches; a number never
// equals a text.
bool equals(const JSON &value, const char *text)
{
    return value == JSON(QString::fromLatin1(text));
}

// Missing, or present with JSON null content.
bool isNull(const JSON &value)
{
    return value == JSON(QJsonValue(QJsonValue::Null));
}

bool isRotatedSideways(const JSON &stream)
{
    const JSON rotate = stream[Report::tags][Report::rotate];
    return equals(rotate, "90") || equals(rotate, "270");
}

// Streams are looked at in report order; the first that matches decides.
std::optional<JSON> firstStream(const JSON &streams, const std::function<bool(const JSON &)> &matches)
{
    for (qsizetype i = 0; i < streams.count(); ++i) {
        const JSON stream = streams[i];
        if (matches(stream))
            return stream;
    }
    return std::nullopt;
}

QByteArray runSniffer(const QString &program, const QString &path, std::chrono::milliseconds timeout)
{
    if (program.isEmpty())
        return {};
    QProcess sniffer;
    sniffer.setProgram(program);
    sniffer.setArguments(FileProbe::snifferArguments(path));
    // The prober never needs input; its complaints go where ours go, so the
    // only pipe to drain is standard output, which QProcess reads as it comes.
    sniffer.setStandardInputFile(QProcess::nullDevice());
    sniffer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QDeadlineTimer deadline(timeout);
    sniffer.start(QIODevice::ReadOnly);
    if (!sniffer.waitForStarted(static_cast<int>(deadline.remainingTime())))
        return {};
    sniffer.waitForFinished(static_cast<int>(deadline.remainingTime()));
    if (sniffer.state() != QProcess::NotRunning) {
        sniffer.kill();
        sniffer.waitForFinished(-1);
        return {};
    }
    return sniffer.readAllStandardOutput();
}

QVariantMap metadataEntry(const QString &key, const QString &value)
{
    return QVariantMap{{FileProbe::metadataKeyKey, key}, {FileProbe::metadataValueKey, value}};
}

} // namespace

QStringList FileProbe::snifferArguments(const QString &path)
{
    return QStringList{QStringLiteral("-v"),           QStringLiteral("quiet"),
                       QStringLiteral("-print_format"), QStringLiteral("json"),
                       QStringLiteral("-show_format"),  QStringLiteral("-show_streams"),
                       QStringLiteral("-show_chapters"), QStringLiteral("-show_error"),
                       path};
}

std::shared_ptr<const FileProbe> FileProbe::create(const QString &path, const ToolLocator &tools,
                                                   std::chrono::milliseconds timeout)
{
    const std::shared_ptr<FileProbe> probe = describeFile(path);
    probe->derive(path, runSniffer(tools.pathForResource(ToolLocator::sniffer), path, timeout));
    return probe;
}

std::shared_ptr<const FileProbe> FileProbe::fromReport(const QString &path, const QByteArray &report)
{
    const std::shared_ptr<FileProbe> probe = describeFile(path);
    probe->derive(path, report);
    return probe;
}

// What is known without the prober: size, path and URL.
std::shared_ptr<FileProbe> FileProbe::describeFile(const QString &path)
{
    std::shared_ptr<FileProbe> probe(new FileProbe);
    probe->m_fileSize = FileSize::fileSizeInBytes(path);
    probe->m_fileSizeHuman = FileSize::fileSizeText(path);
    probe->m_fileFullPath = path;
    probe->m_fileFullURL = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    return probe;
}

void FileProbe::derive(const QString &path, const QByteArray &reportBytes)
{
    QJsonParseError parseError;
    const std::optional<JSON> parsed = JSON::fromData(reportBytes, &parseError);
    if (!parsed) {
        DiagnosticLog::print(QStringLiteral("Error reading the media report: %1 at offset %2")
                                 .arg(parseError.errorString())
                                 .arg(parseError.offset));
        return;
    }
    const JSON &report = *parsed;
    // The prober could not open or read the file; streams it may still list
    // are not to be trusted.
    if (report[Report::error].exists()) {
        m_hasErrors = true;
        return;
    }
    if (!deriveValidity(path, report))
        return;

    const JSON streams = report[Report::streams];
    scanEncryption(streams);
    scanVideo(streams);
    scanAudio(streams);
    scanChannels(streams);
    scanSubtitles(streams);
    readFormat(report[Report::format]);
    buildMetadata(report[Report::format][Report::tags]);
    buildTracks(path, streams);
    // Asked for at every move of the end knob: read once.
    if (const std::optional<double> end = readVideoEnd()) {
        m_videoEndTime = *end - m_startTime;
        m_videoDuration = *end - trackDictionaries(QStringLiteral("Video")).value(0)[Report::startTime].doubleValue();
    }
}

// The prober happily reads plain text as a stream of "ANSI art", so a file
// named .txt is never a video whatever the report says.
bool FileProbe::deriveValidity(const QString &path, const JSON &report)
{
    const qsizetype streamCount = report[Report::streams].count();
    if (streamCount == 0)
        return false;
    m_numberOfStreams = streamCount;
    m_isValidMediaFile = QFileInfo(path).suffix().toLower() != QLatin1String("txt");
    return m_isValidMediaFile;
}

void FileProbe::scanEncryption(const JSON &streams)
{
    m_isEncrypted = firstStream(streams, [](const JSON &stream) {
                        return equals(stream[Report::codecType], "video") && isNull(stream[Report::codecName]);
                    }).has_value();
}

// The first video stream with a real frame rate: a still picture ("0/0")
// is no video.
void FileProbe::scanVideo(const JSON &streams)
{
    const std::optional<JSON> video = firstStream(streams, [](const JSON &stream) {
        return equals(stream[Report::codecType], "video") && !equals(stream[Report::avgFrameRate], "0/0");
    });
    if (!video)
        return;
    m_hasVideoTrack = true;
    m_tagRotateValue = (*video)[Report::tags][Report::rotate].intValue();
    const qint64 width = (*video)[Report::width].intValue();
    const qint64 height = (*video)[Report::height].intValue();
    if (isRotatedSideways(*video))
        setVideoSize(height, width);
    else
        setVideoSize(width, height);
}

void FileProbe::scanAudio(const JSON &streams)
{
    m_hasAudioTrack = firstStream(streams, [](const JSON &stream) {
                          return equals(stream[Report::codecType], "audio");
                      }).has_value();
}

// Any stream with a channel count counts, whatever its kind. A count that is
// not a number (a text, say) is taken as not more than two.
void FileProbe::scanChannels(const JSON &streams)
{
    m_hasAudioTrackWhichHasMoreThanTwoChannels = firstStream(streams, [](const JSON &stream) {
                                                     const JSON channels = stream[Report::channels];
                                                     return !isNull(channels) && channels.optionalInt().value_or(0) > 2;
                                                 }).has_value();
}

// QuickTime text tracks ("text") are chapter titles rather than subtitles.
void FileProbe::scanSubtitles(const JSON &streams)
{
    m_hasSubtitleTrack = firstStream(streams, [](const JSON &stream) {
                             return equals(stream[Report::codecType], "subtitle")
                                 && !equals(stream[Report::codecTagString], "text")
                                 && !isNull(stream[Report::codecName]);
                         }).has_value();
}

void FileProbe::readFormat(const JSON &format)
{
    m_duration = format[Report::duration].doubleValue();
    m_startTime = format[Report::startTime].doubleValue();
    m_bitRate = format[Report::bitRate].intValue();
    m_formatName = format[Report::formatName].stringValue();
}

void FileProbe::buildMetadata(const JSON &tags)
{
    const auto text = [&tags](const char *tag) { return tags[QLatin1String(tag)].stringValue(); };
    const auto number = [&tags](const char *tag) { return tags[QLatin1String(tag)].intValue(); };

    m_metadata = {
        metadataEntry(QStringLiteral("Title"), text("title")),
        metadataEntry(QStringLiteral("Tagline"), text("description")),
        metadataEntry(QStringLiteral("Synopsis"), text("synopsis")),
        metadataEntry(QStringLiteral("Release Date"), text("date")),
        metadataEntry(QStringLiteral("Genre"), text("genre")),
        metadataEntry(QStringLiteral("HD"), number("hd_video") == 1 ? QStringLiteral("Yes") : QStringLiteral("No")),
        metadataEntry(QStringLiteral("Media Kind"), number("media_type") == 9 ? QStringLiteral("Movie") : QString()),
        metadataEntry(QStringLiteral("Composer"), text("composer")),
        metadataEntry(QStringLiteral("Rating"), text("iTunEXTC")),
        metadataEntry(QStringLiteral("Encoder"), text("encoder")),
        metadataEntry(QStringLiteral("Copyright"), text("copyright")),
        metadataEntry(QStringLiteral("Comment"), text("comment")),
    };
}

void FileProbe::buildTracks(const QString &path, const JSON &streams)
{
    for (qsizetype i = 0; i < streams.count(); ++i) {
        const JSON stream = streams[i];
        const double seconds = stream[Report::duration].doubleValue();
        // Classifying may refresh the video size that a "Video" entry shows.
        const QString trackType = classifyTrack(stream);
        m_tracksInfo.append(QVariantMap{
            {trackTypeKey, trackType},
            {trackCodecKey, stream[Report::codecName].stringValue()},
            {trackIDKey, stream[Report::index].stringValue()},
            {trackPresentInfileKey, path},
            {trackSpecialInfoKey, specialInfo(trackType, stream)},
            {trackDurationKey, seconds},
            {trackDurationHumanKey, durationText(seconds)},
            {trackLanguageKey, stream[Report::tags][Report::language].stringValue()},
            {trackDictionaryKey, QVariant(stream.dictionaryObject().value_or(QJsonObject()))},
        });
    }
}

QString FileProbe::classifyTrack(const JSON &stream)
{
    const JSON codecType = stream[Report::codecType];
    const JSON codecName = stream[Report::codecName];
    const JSON codecTag = stream[Report::codecTagString];
    const bool isVideo = equals(codecType, "video");

    // Motion-JPEG tagged "jpeg" is a QuickTime photo track, not a video.
    if (isVideo && equals(codecName, "mjpeg") && equals(codecTag, "jpeg"))
        return QStringLiteral("Other");
    if (isVideo
        && (equals(codecName, "h264") || equals(codecName, "theora")
            || (equals(codecName, "wmv3") && equals(codecTag, "WMV3")))) {
        refreshVideo(stream);
        return QStringLiteral("Video");
    }
    if (isVideo && !equals(stream[Report::avgFrameRate], "0/0"))
        return QStringLiteral("Video");
    if (equals(codecType, "audio"))
        return QStringLiteral("Audio");
    if (equals(codecType, "subtitle") && !equals(codecTag, "text") && !isNull(codecName))
        return QStringLiteral("Subtitle");
    if (!isVideo)
        return QStringLiteral("Other");
    // A still picture: cover art carries no codec tag.
    if (!equals(codecTag, "[0][0][0][0]"))
        return QStringLiteral("Other");
    if (equals(codecName, "mjpeg") || equals(codecName, "png"))
        return QStringLiteral("Poster");
    return QStringLiteral("Other");
}

QList<JSON> FileProbe::trackDictionaries(const QString &trackType) const
{
    QList<JSON> found;
    for (const QVariantMap &track : m_tracksInfo) {
        if (track.value(trackTypeKey).toString() == trackType)
            found.append(JSON::fromObject(track.value(trackDictionaryKey)));
    }
    return found;
}

QList<MediaTrack> FileProbe::mediaTracks() const
{
    QList<JSON> streams;
    for (const QVariantMap &track : m_tracksInfo)
        streams.append(JSON::fromObject(track.value(trackDictionaryKey)));
    return MediaTrack::fromStreams(streams);
}

int FileProbe::firstVideoIndex() const
{
    const QList<JSON> videos = trackDictionaries(QStringLiteral("Video"));
    return videos.isEmpty() ? -1 : static_cast<int>(videos.first()[QStringLiteral("index")].intValue());
}

QString FileProbe::specialInfo(const QString &trackType, const JSON &stream) const
{
    if (trackType == QLatin1String("Video")) {
        return QString::number(m_videoWidth.value_or(0)) + QLatin1Char('x')
               + QString::number(m_videoHeight.value_or(0));
    }
    if (trackType == QLatin1String("Audio"))
        return stream[Report::channelLayout].stringValue();
    if (trackType == QLatin1String("Subtitle"))
        return stream[Report::tags][Report::language].stringValue();
    if (trackType == QLatin1String("Poster"))
        return stream[Report::width].stringValue() + QLatin1Char('x') + stream[Report::height].stringValue();
    return stream[Report::codecTagString].stringValue();
}

// The last stream of these codecs decides the size the description keeps. A
// width or height that is not a number leaves the previous size in place.
void FileProbe::refreshVideo(const JSON &stream)
{
    m_hasVideoTrack = true;
    const std::optional<qint64> width = stream[Report::width].optionalInt();
    const std::optional<qint64> height = stream[Report::height].optionalInt();
    if (!width || !height)
        return;
    if (isRotatedSideways(stream))
        setVideoSize(*height, *width);
    else
        setVideoSize(*width, *height);
}

// A height of 0 gives an infinite (or not-a-number) ratio; callers see it as
// it is.
void FileProbe::setVideoSize(qint64 width, qint64 height)
{
    m_videoWidth = width;
    m_videoHeight = height;
    m_videoRatio = static_cast<double>(width) / static_cast<double>(height);
}

bool FileProbe::hasSingleFrameVideo() const
{
    const QList<JSON> videos = trackDictionaries(QStringLiteral("Video"));
    return std::any_of(videos.cbegin(), videos.cend(), [](const JSON &stream) {
        return stream[QStringLiteral("nb_frames")] == JSON(QStringLiteral("1"));
    });
}

bool FileProbe::isTrimmableVideo() const
{
    return m_isValidMediaFile && !m_hasErrors && !m_isEncrypted && m_hasVideoTrack
        && (!m_videoWidth || *m_videoWidth != 0) && m_duration > 0 && !hasSingleFrameVideo();
}

std::optional<double> FileProbe::videoFrameRate() const
{
    std::optional<double> rate;
    for (const JSON &stream : trackDictionaries(QStringLiteral("Video"))) {
        const JSON ratio = stream[QStringLiteral("r_frame_rate")];
        if (!ratio.exists())
            continue;
        if (const std::optional<double> readable = frameRateFromRatio(ratio.stringValue()))
            rate = readable;
    }
    return rate;
}

// On the streams' own timeline.
std::optional<double> FileProbe::readVideoEnd() const
{
    const JSON video = trackDictionaries(QStringLiteral("Video")).value(0);
    const JSON duration = video[Report::duration];
    std::optional<double> end;
    if (duration.doubleValue() > 0) {
        end = video[Report::startTime].doubleValue() + duration.doubleValue();
    } else {
        // Matroska gives the track's end as a tag, "00:00:12.128000000".
        const QStringList parts = video[Report::tags][QStringLiteral("DURATION")].stringValue().split(QLatin1Char(':'));
        bool ok = parts.size() == 3;
        double seconds = 0.0;
        for (const QString &part : parts)
            seconds = ok ? seconds * 60.0 + part.toDouble(&ok) : 0.0;
        if (ok && seconds > 0)
            end = seconds;
    }
    return end;
}

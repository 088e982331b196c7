// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include "mediatrack.h"

class JSON;
class ToolLocator;

// The media description of one file: its size, the facts derived from the
// prober's JSON report, one entry per track and twelve metadata entries.
// All the work happens while it is created; afterwards it is only read, so
// holders share it through std::shared_ptr<const FileProbe>. Creation never
// fails: whatever goes wrong leaves the facts that depend on it at their
// defaults (an invalid file).
class FileProbe
{
public:
    // Keys of a track entry. "trackDictionary" holds the prober's own object
    // for the stream as a QJsonObject, "trackDuration" a double, the others
    // QStrings.
    static inline const QString trackTypeKey = QStringLiteral("trackType");
    static inline const QString trackCodecKey = QStringLiteral("trackCodec");
    static inline const QString trackIDKey = QStringLiteral("trackID");
    static inline const QString trackPresentInfileKey = QStringLiteral("trackPresentInfile");
    static inline const QString trackSpecialInfoKey = QStringLiteral("trackSpecialInfo");
    static inline const QString trackDurationKey = QStringLiteral("trackDuration");
    static inline const QString trackDurationHumanKey = QStringLiteral("trackDurationHuman");
    static inline const QString trackLanguageKey = QStringLiteral("trackLanguage");
    static inline const QString trackDictionaryKey = QStringLiteral("trackDictionary");

    // Keys of a metadata entry, both QStrings.
    static inline const QString metadataKeyKey = QStringLiteral("key");
    static inline const QString metadataValueKey = QStringLiteral("value");

    // How long the prober may run before it is killed and its run counts as
    // having printed nothing.
    static constexpr std::chrono::milliseconds defaultTimeout{60000};

    // Runs the prober `sniffer` on `path` and derives the description from
    // its report. Blocks until the prober has ended. A missing prober, one
    // that cannot start or one that outlives `timeout` gives the description
    // of an invalid file.
    static std::shared_ptr<const FileProbe> create(const QString &path, const ToolLocator &tools,
                                                   std::chrono::milliseconds timeout = defaultTimeout);

    // The derivation alone, from a report already in hand.
    static std::shared_ptr<const FileProbe> fromReport(const QString &path, const QByteArray &report);

    // The prober's command line for `path`: quiet, JSON, the format, streams,
    // chapters and error sections, then the path.
    static QStringList snifferArguments(const QString &path);

    bool hasErrors() const { return m_hasErrors; }
    bool isValidMediaFile() const { return m_isValidMediaFile; }
    bool isEncrypted() const { return m_isEncrypted; }
    qint64 numberOfStreams() const { return m_numberOfStreams; }
    bool hasVideoTrack() const { return m_hasVideoTrack; }
    bool hasAudioTrack() const { return m_hasAudioTrack; }
    bool hasSubtitleTrack() const { return m_hasSubtitleTrack; }
    bool hasAudioTrackWhichHasMoreThanTwoChannels() const { return m_hasAudioTrackWhichHasMoreThanTwoChannels; }
    double duration() const { return m_duration; }
    // Where the file's timeline begins, from which a selection's times count.
    double startTime() const { return m_startTime; }
    qint64 bitRate() const { return m_bitRate; }
    // The prober's names of the container format, comma-separated
    // ("mov,mp4,m4a,3gp,3g2,mj2"); empty when unknown.
    QString formatName() const { return m_formatName; }
    std::optional<qint64> videoWidth() const { return m_videoWidth; }
    std::optional<qint64> videoHeight() const { return m_videoHeight; }
    std::optional<double> videoRatio() const { return m_videoRatio; }
    qint64 tagRotateValue() const { return m_tagRotateValue; }
    const QList<QVariantMap> &tracksInfo() const { return m_tracksInfo; }
    // The prober's own description of each track of `trackType` ("Video",
    // "Audio", ...), in report order.
    QList<JSON> trackDictionaries(const QString &trackType) const;
    // The audio, subtitle and data tracks, in the file's order.
    QList<MediaTrack> mediaTracks() const;
    // The stream index of the first video track, the one shown and cut; -1
    // without one.
    int firstVideoIndex() const;
    // A video with a length to cut: readable without errors, unencrypted,
    // with a video track that is not 0 wide, a duration, and more than the one
    // frame of a still image, whatever the file's name says.
    bool isTrimmableVideo() const;
    // A video track of one frame: a still picture, whatever the container.
    bool hasSingleFrameVideo() const;
    // The frame rate of the last video track that gives a readable one.
    std::optional<double> videoFrameRate() const;
    // Where the first video track ends, counted from the file's start as a
    // selection is, when the report tells: a file's audio often runs on
    // after its last picture.
    std::optional<double> videoEndTime() const { return m_videoEndTime; }
    // How long the first video track lasts, when the report tells: a trim's
    // length, which a track running on past the video would overstate.
    std::optional<double> videoDuration() const { return m_videoDuration; }
    const QList<QVariantMap> &metadata() const { return m_metadata; }
    std::optional<quint64> fileSize() const { return m_fileSize; }
    std::optional<QString> fileSizeHuman() const { return m_fileSizeHuman; }
    std::optional<QString> fileFullPath() const { return m_fileFullPath; }
    std::optional<QUrl> fileFullURL() const { return m_fileFullURL; }

private:
    FileProbe() = default;

    static std::shared_ptr<FileProbe> describeFile(const QString &path);
    void derive(const QString &path, const QByteArray &reportBytes);
    bool deriveValidity(const QString &path, const JSON &report);
    void scanEncryption(const JSON &streams);
    void scanVideo(const JSON &streams);
    void scanAudio(const JSON &streams);
    void scanChannels(const JSON &streams);
    void scanSubtitles(const JSON &streams);
    void readFormat(const JSON &format);
    void buildMetadata(const JSON &tags);
    void buildTracks(const QString &path, const JSON &streams);
    QString classifyTrack(const JSON &stream);
    QString specialInfo(const QString &trackType, const JSON &stream) const;
    void refreshVideo(const JSON &stream);
    void setVideoSize(qint64 width, qint64 height);
    std::optional<double> readVideoEnd() const;

    bool m_hasErrors = false;
    bool m_isValidMediaFile = false;
    bool m_isEncrypted = false;
    qint64 m_numberOfStreams = 0;
    bool m_hasVideoTrack = false;
    bool m_hasAudioTrack = false;
    bool m_hasSubtitleTrack = false;
    bool m_hasAudioTrackWhichHasMoreThanTwoChannels = false;
    double m_duration = 0.0;
    double m_startTime = 0.0;
    qint64 m_bitRate = 0;
    QString m_formatName;
    std::optional<qint64> m_videoWidth;
    std::optional<qint64> m_videoHeight;
    std::optional<double> m_videoRatio;
    qint64 m_tagRotateValue = 0;
    QList<QVariantMap> m_tracksInfo;
    QList<QVariantMap> m_metadata;
    std::optional<quint64> m_fileSize;
    std::optional<QString> m_fileSizeHuman;
    std::optional<QString> m_fileFullPath;
    std::optional<QUrl> m_fileFullURL;
    std::optional<double> m_videoEndTime;
    std::optional<double> m_videoDuration;
};

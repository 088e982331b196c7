#include <sys/stat.h>

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "childprocesses.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "filesize.h"
#include "mediafactory.h"
#include "toollocator.h"

namespace {

// What a report, or a prober run on a file, leads to.
struct Description
{
    QString path;
    QByteArray report; // used when no tools are given
    QString tools;
    QString facts;
    int printedLines = 0;
    QString comment; // where the stand-ins hand back what they were given
};

QString lit(const char *text)
{
    return QString::fromLatin1(text);
}

// A prober report with the given stream objects and "format" object.
QByteArray report(const QByteArrayList &streams, const QByteArray &format = "{}")
{
    return "{\"streams\": [" + streams.join(", ") + "], \"format\": " + format + "}";
}

QByteArray video(const char *codec, const QByteArray &members = {})
{
    return R"({"codec_type": "video", "codec_name": ")" + QByteArray(codec) + "\"" + members + "}";
}

QByteArray sized(const char *codec, int width, int height, const char *rotate = "0")
{
    return video(codec, ", \"width\": " + QByteArray::number(width) + ", \"height\": " + QByteArray::number(height)
                            + R"(, "tags": {"rotate": )" + rotate + "}");
}

// A still picture: the prober gives it no frame rate.
QByteArray picture(const char *codec, const char *tag)
{
    return video(codec, R"(, "avg_frame_rate": "0/0", "width": 6, "height": 6, "codec_tag_string": ")" + QByteArray(tag)
                            + "\"");
}

QStringList column(const QList<QVariantMap> &entries, const QString &key)
{
    QStringList values;
    for (const QVariantMap &entry : entries)
        values << entry.value(key).toString();
    return values;
}

// What the report decides for the whole file, then each track as its kind and the detail shown beside it.
QString facts(const FileProbe &file)
{
    const auto fact = [](bool holds, const QString &text) { return holds ? text : QString(); };
    const auto size = QStringLiteral("%1x%2").arg(file.videoWidth().value_or(0)).arg(file.videoHeight().value_or(0));
    QStringList facts{file.isValidMediaFile() ? lit("valid") : lit("invalid"),
                      QString::number(file.numberOfStreams()) + lit(" streams"), fact(file.hasErrors(), lit("errors")),
                      fact(file.isEncrypted(), lit("encrypted")), fact(file.hasVideoTrack(), lit("video")),
                      fact(file.videoWidth() && file.videoHeight(), size),
                      fact(file.tagRotateValue() != 0, lit("rotate ") + QString::number(file.tagRotateValue())),
                      fact(file.hasAudioTrack(), lit("audio")),
                      fact(file.hasAudioTrackWhichHasMoreThanTwoChannels(), lit("surround")),
                      fact(file.hasSubtitleTrack(), lit("subtitles")),
                      fact(file.duration() != 0, QString::number(file.duration(), 'f', 1) + lit(" s"))};
    facts.removeAll(QString());
    QStringList tracks = column(file.tracksInfo(), FileProbe::trackTypeKey);
    for (qsizetype i = 0; i < tracks.size(); ++i)
        tracks[i] += QLatin1Char(' ') + column(file.tracksInfo(), FileProbe::trackSpecialInfoKey).at(i);
    return facts.join(lit(", ")) + lit(": ") + tracks.join(lit(", "));
}

} // namespace

Q_DECLARE_METATYPE(Description)

class TestProbe : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(!m_media.videoClip(lit("stereo.mp4"), 1.0, 2).isEmpty());
    }

    // Reports written by hand, for what the prober at hand does not write; the real prober on media made by the
    // real encoder; stand-ins for one that misbehaves, and none at all.
    void descriptions_data()
    {
        QTest::addColumn<Description>("row");
        const auto row = [this](const char *tag, const QByteArray &text, const char *facts, const char *file = "clip") {
            QTest::newRow(tag) << Description{m_media.writeFile(lit(file), "0123456789"), text, {}, lit(facts),
                                              QJsonDocument::fromJson(text).isNull() ? 1 : 0, {}};
        };
        const auto real = [this](const char *file, const char *facts, int printedLines) {
            QTest::newRow(file) << Description{m_media.path(lit(file)), {}, MediaFactory::toolsFolder(), lit(facts),
                                               printedLines, {}};
        };
        const auto fake = [this](const char *name, const char *facts, const QString &comment = {}) {
            QTest::newRow(name) << Description{m_media.writeFile(lit("clip"), "0123456789"), {},
                                               MediaFactory::fakeToolsFolder(lit("prober-") + lit(name)), lit(facts),
                                               comment.isEmpty() ? 1 : 0, comment};
        };
        const QByteArray ansi = report({sized("ansi", 640, 400)}, R"({"duration": "4.4"})");
        const auto audio = [](const char *count) {
            return R"({"codec_type": "audio", "channels": )" + QByteArray(count) + "}";
        };
        const char *cover = "[0][0][0][0]";

        // The prober could not read the file: the streams it lists do not count.
        row("error", R"({"error": {"code": -2}, "streams": [{}]})", "invalid, 0 streams, errors: ");
        row("error as JSON null", R"({"error": null, "streams": [{}]})", "invalid, 0 streams, errors: ");
        row("no streams", R"({"format": {"duration": "3.0"}})", "invalid, 0 streams: ");
        row("not JSON", "{\"streams\": [{\"codec_type\": \"vid", "invalid, 0 streams: ");
        // The prober reads any text as a video.
        row("TXT", ansi, "invalid, 1 streams: ", "notes.v2.TXT");
        row("txt before the last dot", ansi, "valid, 1 streams, video, 640x400, 4.4 s: Video 640x400", "notes.txt.mp4");
        row("no codec name", report({R"({"codec_type": "video"})"}),
            "valid, 1 streams, encrypted, video, 0x0: Video 0x0");
        row("rotate 270", report({sized("hevc", 16, 9, R"("270")")}),
            "valid, 1 streams, video, 9x16, rotate 270: Video 9x16");
        // Only the text turns the picture.
        row("rotate 90 as a number", report({sized("hevc", 16, 9, "90")}),
            "valid, 1 streams, video, 16x9, rotate 90: Video 16x9");
        // The last H.264, Theora or WMV3 stream sets the size, not the rotation; a track shows the size known then.
        row("sizes refreshed",
            report({sized("hevc", 2, 1, R"("180")"), sized("h264", 16, 9, R"("90")"), sized("theora", 4, 3),
                    picture("wmv3", "WMV3")}),
            "valid, 4 streams, video, 6x6, rotate 180: Video 2x1, Video 9x16, Video 4x3, Video 6x6");
        // Neither video nor subtitles; QuickTime text tracks are chapter titles.
        row("other kinds",
            report({picture("png", cover), picture("mjpeg", cover), picture("bmp", cover), picture("wmv3", "wmv3"),
                    R"({"codec_type": "subtitle", "codec_name": "mov_text", "codec_tag_string": "text"})",
                    R"({"codec_type": "subtitle", "codec_tag_string": "tx3g"})",
                    video("mjpeg", R"(, "codec_tag_string": "jpeg")")}),
            "valid, 7 streams, video, 0x0: Poster 6x6, Poster 6x6, Other [0][0][0][0], Other wmv3, Other text, "
            "Other tx3g, Other jpeg");
        // Any stream with a count above two, whatever its kind; a count that is not a number is none.
        row("channels",
            report({audio(R"("6")"), audio("2"), R"({"codec_type": "data", "channels": 3})",
                    R"({"codec_type": "subtitle", "codec_name": "mov_text", "tags": {"language": "fra"}})"}),
            "valid, 4 streams, audio, surround, subtitles: Audio , Audio , Other , Subtitle fra");
        row("channels as text", report({audio(R"("6")")}), "valid, 1 streams, audio: Audio ");
        real("stereo.mp4", "valid, 2 streams, video, 64x48, audio, 1.0 s: Video 64x48, Audio stereo", 0);
        real("nowhere.mp4", "invalid, 0 streams, errors: ", 2); // nor has it a size
        fake("echo", "valid, 1 streams: Other ", lit("-v quiet -print_format json -show_format -show_streams "
                                                     "-show_chapters -show_error ") + m_media.path(lit("clip")));
        fake("large", "valid, 1 streams, audio: Audio ", QString(1000000, QLatin1Char('a')));
        fake("garbage", "invalid, 0 streams: ");
        fake("hang", "invalid, 0 streams: ");
        fake("none", "invalid, 0 streams: ");
    }
    void descriptions()
    {
        QFETCH(Description, row);
        DiagnosticLog::Capture capture;
        // Short for the prober that hangs, long enough for the others on a busy machine.
        const std::chrono::milliseconds timeout(row.tools.endsWith(lit("hang")) ? 300 : 60000);
        const std::shared_ptr<const FileProbe> file = row.tools.isEmpty()
            ? FileProbe::fromReport(row.path, row.report)
            : FileProbe::create(row.path, ToolLocator(row.tools), timeout);
        // Every probe waits for its prober: none may be left running or unreaped.
        QCOMPARE(ChildProcesses::running() + ChildProcesses::zombies(), QList<qint64>());
        QCOMPARE(capture.lines().size(), row.printedLines);
        QCOMPARE(facts(*file), row.facts);
        QCOMPARE(column(file->metadata(), FileProbe::metadataValueKey).value(11), row.comment);
        QCOMPARE(file->metadata().size(), file->isValidMediaFile() ? 12 : 0);
        if (file->videoWidth())
            QCOMPARE(file->videoRatio().value_or(-1), double(*file->videoWidth()) / double(*file->videoHeight()));
        QCOMPARE(file->fileFullPath(), row.path);
        QCOMPARE(file->fileFullURL(), QUrl::fromLocalFile(row.path));
        QCOMPARE(file->fileSizeHuman(), FileSize::fileSizeText(row.path));
        const QStringList paths = column(file->tracksInfo(), FileProbe::trackPresentInfileKey);
        QCOMPARE(paths, QStringList(paths.size(), row.path));
    }

    // Entries of the information panels.
    void entries()
    {
        const QByteArray audio = R"({"index": 3, "codec_type": "audio", "codec_name": "aac", "duration": "3725.25",
                                     "channel_layout": "5.1", "tags": {"language": "eng"}})";
        const QByteArray format = R"({"bit_rate": "1234567", "tags": {"title": "Title", "description": "Tagline",
            "synopsis": "Synopsis", "date": "2011", "genre": "Drama", "hd_video": 1, "media_type": "9",
            "composer": "Composer", "iTunEXTC": "PG", "encoder": "Lavf59", "copyright": "(c) nobody",
            "comment": "Comment", "TITLE": "no"}})";
        const auto stream = [](const char *seconds) { return R"({"duration": )" + QByteArray(seconds) + "}"; };
        const QString path = m_media.path(lit("stereo.mp4"));
        const QByteArrayList streams{audio, stream("36000"), stream("59.999"), stream("-5")};
        const auto file = FileProbe::fromReport(path, report(streams, format));
        QCOMPARE(file->tracksInfo().value(0),
                 (QVariantMap{{FileProbe::trackTypeKey, lit("Audio")}, {FileProbe::trackCodecKey, lit("aac")},
                              {FileProbe::trackIDKey, lit("3")}, {FileProbe::trackPresentInfileKey, path},
                              {FileProbe::trackSpecialInfoKey, lit("5.1")}, {FileProbe::trackDurationKey, 3725.25},
                              {FileProbe::trackDurationHumanKey, lit("01:02:05.25")},
                              {FileProbe::trackLanguageKey, lit("eng")},
                              {FileProbe::trackDictionaryKey, QJsonDocument::fromJson(audio).object()}}));
        // The hundredths never carry into the seconds.
        QCOMPARE(column(file->tracksInfo(), FileProbe::trackDurationHumanKey).mid(1),
                 lit("10:00:00.00 00:00:59.00 00:00:00.00").split(QLatin1Char(' ')));
        QCOMPARE(column(file->metadata(), FileProbe::metadataValueKey).join(QLatin1Char('|')),
                 lit("Title|Tagline|Synopsis|2011|Drama|Yes|Movie|Composer|PG|Lavf59|(c) nobody|Comment"));
        QCOMPARE(file->bitRate(), 1234567);
        // Only 1 and 9, as numbers or texts, set the flags.
        const QByteArray flags = R"({"tags": {"hd_video": "2", "media_type": 10}})";
        const auto other = FileProbe::fromReport(path, report(streams, flags));
        QCOMPARE(column(other->metadata(), FileProbe::metadataValueKey).mid(5, 2), QStringList({lit("No"), QString()}));
    }

    void fileSizes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // printed by each reading
        const QString pipe = m_media.path(lit("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString megabytes = m_media.writeFile(lit("M"), QByteArray(2345678, '-'));
        QTest::newRow("megabytes") << megabytes << lit("2.35 MB") << QString();
        QTest::newRow("missing") << m_media.path(lit("missing")) << FileSize::unknownSizeText
                                 << lit("Failed to get file attributes for local path: %1 with error: No such file or "
                                        "directory");
        QTest::newRow("pipe") << pipe << FileSize::unknownSizeText
                              << lit("Failed to get a size attribute from path: %1");
    }
    void fileSizes()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QFETCH(QString, message);
        DiagnosticLog::Capture capture;
        QCOMPARE(FileSize::fileSizeInBytes(path), quint64(QFileInfo(path).size()));
        QCOMPARE(FileSize::fileSizeText(path), text);
        QCOMPARE(capture.lines(), message.isEmpty() ? QStringList() : QStringList(2, message.arg(path)));
    }

private:
    QTemporaryDir m_folder;
    const MediaFactory m_media{m_folder.path()};
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"

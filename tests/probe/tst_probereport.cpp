#include <cmath>

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "diagnosticlog.h"
#include "durationtext.h"
#include "fileprobe.h"
#include "mediafactory.h"

using Streams = QList<QByteArray>;

namespace {

QString lit(const char *text)
{
    return QString::fromLatin1(text);
}

// A prober report with the given stream objects and "format" object.
QByteArray report(const Streams &streams, const QByteArray &format = "{}")
{
    return "{\"streams\": [" + streams.join(", ") + "], \"format\": " + format + "}";
}

// A video stream of the given codec with further members.
QByteArray video(const QByteArray &codec, const QByteArray &members)
{
    return R"({"codec_type": "video", "codec_name": ")" + codec + R"(", )" + members + "}";
}

QStringList column(const FileProbe &probe, const QString &key)
{
    QStringList values;
    for (const QVariantMap &track : probe.tracksInfo())
        values.append(track.value(key).toString());
    return values;
}

// What a report decides for the whole file, in words.
QString facts(const FileProbe &file)
{
    return QStringLiteral("%1%2, %3 streams, %4, %5 s, %6 bit/s, %7 tracks, %8 metadata")
        .arg(file.hasErrors() ? lit("errors, ") : QString(), file.isValidMediaFile() ? lit("valid") : lit("invalid"))
        .arg(file.numberOfStreams())
        .arg(file.hasVideoTrack() ? lit("video") : lit("no video"))
        .arg(file.duration())
        .arg(file.bitRate())
        .arg(file.tracksInfo().size())
        .arg(file.metadata().size());
}

// The metadata entries in order, as "key: value".
QStringList metadataLines(const FileProbe &probe)
{
    QStringList lines;
    for (const QVariantMap &entry : probe.metadata())
        lines << entry.value(FileProbe::metadataKeyKey).toString() + lit(": ")
                     + entry.value(FileProbe::metadataValueKey).toString();
    return lines;
}

const QByteArray hevc1080 = video("hevc", R"("avg_frame_rate": "25/1", "width": 1920, "height": 1080)");

} // namespace

// The derivation from reports written by hand, for what the prober at hand
// does not write.
class TestProbeReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }
    void validity_data();
    void validity();
    void streamsThatAreNotObjects();
    void streamWithoutCodecNameIsEncrypted();
    void videoSize_data();
    void videoSize();
    void trackKinds_data();
    void trackKinds();
    void channelScan_data();
    void channelScan();
    void trackEntryFields();
    void metadataRows();
    void metadataFlags_data();
    void metadataFlags();
    void durationTexts_data();
    void durationTexts();

private:
    std::shared_ptr<const FileProbe> probe(const QByteArray &report, const QString &fileName = lit("clip.mp4")) const
    {
        return FileProbe::fromReport(MediaFactory(m_folder.path()).writeFile(fileName, "0123456789"), report);
    }

    QTemporaryDir m_folder;
};

void TestProbeReport::validity_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("printedLines");
    QTest::addColumn<QString>("expectedFacts");

    const QString clip = lit("clip.mp4");
    const QString nothing = lit("invalid, 0 streams, no video, 0 s, 0 bit/s, 0 tracks, 0 metadata");
    const QByteArray ansi = report({video("ansi", R"("avg_frame_rate": "25/1", "width": 640, "height": 400)")},
                                   R"({"duration": "4.4", "bit_rate": "1234567"})");
    const QString ansiRead = lit("valid, 1 streams, video, 4.4 s, 1234567 bit/s, 1 tracks, 12 metadata");
    const QString ansiRefused = lit("invalid, 1 streams, no video, 0 s, 0 bit/s, 0 tracks, 0 metadata");

    // The prober could not read the file: the streams it lists do not count.
    QTest::newRow("error with streams") << QByteArray(R"({"error": {"code": -2}, "streams": [{}], "format": {"duration": "5"}})")
                                        << clip << 0 << lit("errors, ") + nothing;
    QTest::newRow("error as JSON null") << QByteArray(R"({"error": null, "streams": [{}]})") << clip << 0
                                        << lit("errors, ") + nothing;
    QTest::newRow("no streams member") << QByteArray(R"({"format": {"duration": "3.0"}})") << clip << 0 << nothing;
    QTest::newRow("empty streams") << QByteArray(R"({"streams": [], "format": {"duration": "3.0"}})") << clip << 0
                                   << nothing;
    QTest::newRow("top-level array") << QByteArray(R"([{"streams": [{}]}])") << clip << 0 << nothing;
    QTest::newRow("empty report") << QByteArray() << clip << 1 << nothing;
    QTest::newRow("truncated report") << QByteArray(R"({"streams": [{"codec_type": "vid)") << clip << 1 << nothing;
    // The prober reads any text as a video.
    QTest::newRow("txt") << ansi << lit("notes.txt") << 0 << ansiRefused;
    QTest::newRow("TXT") << ansi << lit("notes.TXT") << 0 << ansiRefused;
    QTest::newRow("txt before the last dot") << ansi << lit("notes.txt.mp4") << 0 << ansiRead;
    QTest::newRow("no extension") << ansi << lit("notes") << 0 << ansiRead;
    // Counted whatever its kind, but no stream of a dictionary can be reached by index.
    QTest::newRow("streams as a dictionary") << QByteArray(R"({"streams": {"0": )" + hevc1080 + "}}") << clip << 0
                                             << lit("valid, 1 streams, no video, 0 s, 0 bit/s, 1 tracks, 12 metadata");
}

void TestProbeReport::validity()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, fileName);
    QFETCH(int, printedLines);
    QFETCH(QString, expectedFacts);

    DiagnosticLog::Capture capture;
    const std::shared_ptr<const FileProbe> file = probe(text, fileName);
    QCOMPARE(capture.lines().size(), printedLines);
    QCOMPARE(facts(*file), expectedFacts);
    // What is known without the report stays.
    QCOMPARE(file->fileSize(), std::optional<quint64>(10));
}

void TestProbeReport::streamsThatAreNotObjects()
{
    const std::shared_ptr<const FileProbe> file = probe(report({"5", R"("video")", "null", "[1, 2]", "true"}));
    QVERIFY(file->isValidMediaFile());
    QCOMPARE(column(*file, FileProbe::trackTypeKey), QStringList(5, lit("Other")));
    for (const QVariantMap &track : file->tracksInfo()) {
        QCOMPARE(track.size(), 9);
        QCOMPARE(track.value(FileProbe::trackDictionaryKey).toJsonObject(), QJsonObject());
    }
}

void TestProbeReport::streamWithoutCodecNameIsEncrypted()
{
    const std::shared_ptr<const FileProbe> file = probe(report(
        {R"({"codec_type": "video", "avg_frame_rate": "24/1", "width": 640, "height": 360})",
         R"({"codec_type": "audio", "codec_name": "aac", "channels": 2})"}));
    QVERIFY(file->isEncrypted());
    QVERIFY(file->isValidMediaFile());
    QCOMPARE(file->videoWidth(), 640);
    QVERIFY(file->hasAudioTrack());
    QCOMPARE(column(*file, FileProbe::trackTypeKey), (QStringList{lit("Video"), lit("Audio")}));

    QVERIFY(!probe(report({hevc1080}))->isEncrypted());
    QVERIFY(probe(report({R"({"codec_type": "video", "codec_name": null})"}))->isEncrypted());
}

void TestProbeReport::videoSize_data()
{
    QTest::addColumn<Streams>("streams");
    QTest::addColumn<bool>("hasVideo");
    QTest::addColumn<QString>("size"); // "none" when absent
    QTest::addColumn<int>("tagRotateValue");
    QTest::addColumn<QStringList>("special"); // of every track

    const auto hd = [](const char *codec, const char *tags) {
        return video(codec, R"("avg_frame_rate": "25/1", "width": 1920, "height": 1080, "tags": )" + QByteArray(tags));
    };
    const QByteArray theora = video("theora", R"("avg_frame_rate": "25/1", "width": 640, "height": 480)");
    const QByteArray still = R"("avg_frame_rate": "0/0", "width": 720, "height": 576)";
    const QStringList upright{lit("1920x1080")};
    const QStringList sideways{lit("1080x1920")};

    QTest::newRow("no rotate tag") << Streams{hd("hevc", "{}")} << true << upright[0] << 0 << upright;
    QTest::newRow("90") << Streams{hd("hevc", R"({"rotate": "90"})")} << true << sideways[0] << 90 << sideways;
    QTest::newRow("270") << Streams{hd("hevc", R"({"rotate": "270"})")} << true << sideways[0] << 270 << sideways;
    QTest::newRow("180") << Streams{hd("hevc", R"({"rotate": "180"})")} << true << upright[0] << 180 << upright;
    // Only the text turns the picture; a number does not equal "90".
    QTest::newRow("90 as a number") << Streams{hd("hevc", R"({"rotate": 90})")} << true << upright[0] << 90 << upright;
    QTest::newRow("90 on H.264") << Streams{hd("h264", R"({"rotate": "90"})")} << true << sideways[0] << 90 << sideways;
    // The refresh by the later H.264 stream sets the size, not the rotation value.
    QTest::newRow("refresh rotates") << Streams{video("hevc", R"("avg_frame_rate": "25/1", "width": 100, "height": 50,
        "tags": {"rotate": "180"})"), hd("h264", R"({"rotate": "270"})")} << true << sideways[0] << 180
                                     << QStringList{lit("100x50"), sideways[0]};
    // A track shows the size known when it is listed.
    QTest::newRow("theora after hevc") << Streams{hevc1080, theora} << true << lit("640x480") << 0
                                       << QStringList{upright[0], lit("640x480")};
    QTest::newRow("hevc after theora") << Streams{theora, hevc1080} << true << lit("640x480") << 0
                                       << QStringList{lit("640x480"), lit("640x480")};
    QTest::newRow("theora still picture") << Streams{video("theora", still)} << true << lit("720x576") << 0
                                          << QStringList{lit("720x576")};
    QTest::newRow("wmv3 tagged WMV3") << Streams{video("wmv3", R"("codec_tag_string": "WMV3", )" + still)} << true
                                      << lit("720x576") << 0 << QStringList{lit("720x576")};
    QTest::newRow("wmv3 tagged otherwise") << Streams{video("wmv3", R"("codec_tag_string": "wmv3", )" + still)} << false
                                           << lit("none") << 0 << QStringList{lit("wmv3")};
    QTest::newRow("refresh keeps the size when not numbers")
        << Streams{hevc1080, video("h264", R"("avg_frame_rate": "0/0", "width": "640", "height": 480)")} << true
        << upright[0] << 0 << QStringList{upright[0], upright[0]};
    QTest::newRow("refresh with no size before") << Streams{video("h264", R"("avg_frame_rate": "0/0")")} << true
                                                 << lit("none") << 0 << QStringList{lit("0x0")};
    QTest::newRow("poster is no video")
        << Streams{video("png", R"("codec_tag_string": "[0][0][0][0]", "avg_frame_rate": "0/0", "width": 600, "height": 600)")}
        << false << lit("none") << 0 << QStringList{lit("600x600")};
    // The ratio is not guarded against a height of 0.
    QTest::newRow("height 0") << Streams{video("hevc", R"("avg_frame_rate": "25/1", "width": 640, "height": 0)")} << true
                              << lit("640x0") << 0 << QStringList{lit("640x0")};
    QTest::newRow("size as texts") << Streams{video("hevc", R"("avg_frame_rate": "25/1", "width": "1280", "height": "720")")}
                                   << true << lit("1280x720") << 0 << QStringList{lit("1280x720")};
    QTest::newRow("no size given") << Streams{video("hevc", R"("avg_frame_rate": "25/1")")} << true << lit("0x0") << 0
                                   << QStringList{lit("0x0")};
}

void TestProbeReport::videoSize()
{
    QFETCH(Streams, streams);
    QFETCH(bool, hasVideo);
    QFETCH(QString, size);
    QFETCH(int, tagRotateValue);
    QFETCH(QStringList, special);

    const std::shared_ptr<const FileProbe> file = probe(report(streams));
    QCOMPARE(file->hasVideoTrack(), hasVideo);
    const std::optional<qint64> width = file->videoWidth();
    const std::optional<qint64> height = file->videoHeight();
    QCOMPARE(width && height ? QString::number(*width) + QLatin1Char('x') + QString::number(*height) : lit("none"), size);
    QCOMPARE(file->videoRatio().has_value(), width.has_value());
    if (width) // QCOMPARE takes infinities and NaNs as equal to themselves
        QCOMPARE(*file->videoRatio(), double(*width) / double(*height));
    QCOMPARE(file->tagRotateValue(), tagRotateValue);
    QCOMPARE(column(*file, FileProbe::trackSpecialInfoKey), special);
}

void TestProbeReport::trackKinds_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("special");

    const auto picture = [](const char *codec, const char *tag) {
        return video(codec, R"("codec_tag_string": ")" + QByteArray(tag)
                                + R"(", "avg_frame_rate": "0/0", "width": 600, "height": 600)");
    };
    QTest::newRow("motion JPEG photo") << video("mjpeg", R"("codec_tag_string": "jpeg", "avg_frame_rate": "25/1")")
                                       << lit("Other") << lit("jpeg");
    QTest::newRow("motion JPEG video")
        << video("mjpeg", R"("codec_tag_string": "mjpa", "avg_frame_rate": "25/1", "width": 8, "height": 6)")
        << lit("Video") << lit("8x6");
    QTest::newRow("PNG cover") << picture("png", "[0][0][0][0]") << lit("Poster") << lit("600x600");
    QTest::newRow("JPEG cover") << picture("mjpeg", "[0][0][0][0]") << lit("Poster") << lit("600x600");
    QTest::newRow("BMP cover") << picture("bmp", "[0][0][0][0]") << lit("Other") << lit("[0][0][0][0]");
    QTest::newRow("stereo audio") << QByteArray(R"({"codec_type": "audio", "channels": 2, "channel_layout": "stereo"})")
                                  << lit("Audio") << lit("stereo");
    QTest::newRow("subtitle") << QByteArray(R"({"codec_type": "subtitle", "codec_name": "mov_text",
        "codec_tag_string": "tx3g", "tags": {"language": "deu"}})") << lit("Subtitle") << lit("deu");
    QTest::newRow("QuickTime text")
        << QByteArray(R"({"codec_type": "subtitle", "codec_name": "mov_text", "codec_tag_string": "text"})")
        << lit("Other") << lit("text");
    QTest::newRow("subtitle without codec name") << QByteArray(R"({"codec_type": "subtitle", "codec_tag_string": "tx3g"})")
                                                 << lit("Other") << lit("tx3g");
}

void TestProbeReport::trackKinds()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, type);
    QFETCH(QString, special);

    const std::shared_ptr<const FileProbe> file = probe(report({stream}));
    QCOMPARE(column(*file, FileProbe::trackTypeKey), QStringList{type});
    QCOMPARE(column(*file, FileProbe::trackSpecialInfoKey), QStringList{special});
}

void TestProbeReport::channelScan_data()
{
    QTest::addColumn<Streams>("streams");
    QTest::addColumn<bool>("moreThanTwo");

    const auto channels = [](const char *count) { return R"({"codec_type": "audio", "channels": )" + QByteArray(count) + "}"; };
    QTest::newRow("stereo") << Streams{channels("2")} << false;
    QTest::newRow("three") << Streams{channels("3")} << true;
    QTest::newRow("six after stereo") << Streams{channels("2"), channels("6")} << true;
    // A count that is not a number is not more than two, and the scan goes on.
    QTest::newRow("six as text") << Streams{channels(R"("6")")} << false;
    QTest::newRow("text then six") << Streams{channels(R"("6")"), channels("6")} << true;
    QTest::newRow("channels on a data stream") << Streams{QByteArray(R"({"codec_type": "data", "channels": 8})")} << true;
}

void TestProbeReport::channelScan()
{
    QFETCH(Streams, streams);
    QFETCH(bool, moreThanTwo);
    QCOMPARE(probe(report(streams))->hasAudioTrackWhichHasMoreThanTwoChannels(), moreThanTwo);
}

void TestProbeReport::trackEntryFields()
{
    const QString path = MediaFactory(m_folder.path()).writeFile(lit("clip.mp4"), "0123456789");
    const std::shared_ptr<const FileProbe> file = FileProbe::fromReport(path, report(
        {R"({"index": 0, "codec_type": "audio", "codec_name": "aac", "duration": "3725.25", "tags": {"language": "eng"}})"}));
    const QVariantMap audio = file->tracksInfo().value(0);
    QCOMPARE(audio.value(FileProbe::trackCodecKey).toString(), lit("aac"));
    QCOMPARE(audio.value(FileProbe::trackIDKey).toString(), lit("0"));
    QCOMPARE(audio.value(FileProbe::trackPresentInfileKey).toString(), path);
    QCOMPARE(audio.value(FileProbe::trackDurationKey).typeId(), QMetaType::Double);
    QCOMPARE(audio.value(FileProbe::trackDurationKey).toDouble(), 3725.25);
    QCOMPARE(audio.value(FileProbe::trackDurationHumanKey).toString(), lit("01:02:05.25"));
    QCOMPARE(audio.value(FileProbe::trackLanguageKey).toString(), lit("eng"));
    QCOMPARE(audio.value(FileProbe::trackDictionaryKey).toJsonObject().value(lit("codec_name")).toString(), lit("aac"));
}

void TestProbeReport::metadataRows()
{
    const std::shared_ptr<const FileProbe> file = probe(report({hevc1080}, R"({"tags": {
        "title": "A Title", "description": "A tagline", "synopsis": "A synopsis", "date": "2011",
        "genre": "Drama", "hd_video": 1, "media_type": 9, "composer": "Someone", "iTunEXTC": "mpaa|PG|200|",
        "encoder": "Lavf59", "copyright": "(c) nobody", "comment": "A comment", "TITLE": "ignored"}})"));
    QCOMPARE(metadataLines(*file),
             (QStringList{lit("Title: A Title"), lit("Tagline: A tagline"), lit("Synopsis: A synopsis"),
                          lit("Release Date: 2011"), lit("Genre: Drama"), lit("HD: Yes"), lit("Media Kind: Movie"),
                          lit("Composer: Someone"), lit("Rating: mpaa|PG|200|"), lit("Encoder: Lavf59"),
                          lit("Copyright: (c) nobody"), lit("Comment: A comment")}));
}

void TestProbeReport::metadataFlags_data()
{
    QTest::addColumn<QByteArray>("tags");
    QTest::addColumn<QStringList>("flags"); // the HD and Media Kind entries

    const QStringList no{lit("HD: No"), lit("Media Kind: ")};
    const QStringList yes{lit("HD: Yes"), lit("Media Kind: Movie")};
    QTest::newRow("no tags") << QByteArray("{}") << no;
    QTest::newRow("numbers") << QByteArray(R"({"hd_video": 1, "media_type": 9})") << yes;
    QTest::newRow("texts") << QByteArray(R"({"hd_video": "1", "media_type": "9"})") << yes;
    QTest::newRow("other values") << QByteArray(R"({"hd_video": 2, "media_type": "10"})") << no;
    QTest::newRow("true is one") << QByteArray(R"({"hd_video": true})") << QStringList{yes[0], no[1]};
}

void TestProbeReport::metadataFlags()
{
    QFETCH(QByteArray, tags);
    QFETCH(QStringList, flags);

    const QStringList lines = metadataLines(*probe(report({hevc1080}, R"({"tags": )" + tags + "}")));
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines.mid(5, 2), flags);
    QCOMPARE(lines.first(), lit("Title: "));
}

void TestProbeReport::durationTexts_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << lit("00:00:00.00");
    QTest::newRow("1 h 2 min 5.25 s") << 3725.25 << lit("01:02:05.25");
    QTest::newRow("ten hours") << 36000.0 << lit("10:00:00.00");
    QTest::newRow("hundredths do not carry") << 59.999 << lit("00:00:59.00");
    QTest::newRow("negative") << -5.0 << lit("00:00:00.00");
    QTest::newRow("not a number") << std::nan("") << lit("00:00:00.00");
}

void TestProbeReport::durationTexts()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(durationText(seconds), text);
}

QTEST_GUILESS_MAIN(TestProbeReport)
#include "tst_probereport.moc"

#include <cmath>

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "diagnosticlog.h"
#include "durationtext.h"
#include "fileprobe.h"
#include "mediafactory.h"

namespace {

QString lit(const char *text)
{
    return QString::fromLatin1(text);
}

// A prober report with the given stream objects and "format" object.
QByteArray report(const QList<QByteArray> &streams, const QByteArray &format = "{}")
{
    return "{\"streams\": [" + streams.join(", ") + "], \"format\": " + format + "}";
}

QStringList column(const FileProbe &probe, const QString &key)
{
    QStringList values;
    for (const QVariantMap &track : probe.tracksInfo())
        values.append(track.value(key).toString());
    return values;
}

QString metadataValue(const FileProbe &probe, const QString &key)
{
    for (const QVariantMap &entry : probe.metadata()) {
        if (entry.value(FileProbe::metadataKeyKey).toString() == key)
            return entry.value(FileProbe::metadataValueKey).toString();
    }
    return lit("(no entry)");
}

const QByteArray hevc1080 = R"({"index": 0, "codec_type": "video", "codec_name": "hevc", "codec_tag_string": "hvc1",
    "avg_frame_rate": "25/1", "width": 1920, "height": 1080})";

} // namespace

// The derivation from reports written by hand, for what the prober at hand
// does not write.
class TestProbeReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rotation_data();
    void rotation();
    void streamWithoutCodecNameIsEncrypted();
    void errorMemberOutweighsStreams();
    void emptyReportPrintsTheParserError();
    void reportsWithoutStreams_data();
    void reportsWithoutStreams();
    void streamsAsDictionaryCountTheirEntries();
    void textExtensionIsNeverValid_data();
    void textExtensionIsNeverValid();
    void trackKinds_data();
    void trackKinds();
    void posterIsNoVideo();
    void refreshTakesTheLastRefreshedCodec_data();
    void refreshTakesTheLastRefreshedCodec();
    void refreshKeepsSizeWhenNotNumbers();
    void refreshAlsoRotates();
    void zeroHeightGivesUnguardedRatio();
    void channelScan_data();
    void channelScan();
    void numbersGivenAsTexts();
    void trackEntryFields();
    void streamsThatAreNotObjects();
    void metadataRows();
    void metadataWithoutTags();
    void metadataFlags_data();
    void metadataFlags();
    void durationTexts_data();
    void durationTexts();

private:
    std::shared_ptr<const FileProbe> probe(const QByteArray &report, const QString &fileName = lit("clip.mp4")) const;

    QTemporaryDir m_folder;
};

void TestProbeReport::initTestCase()
{
    QVERIFY(m_folder.isValid());
}

// The files exist, so only a bad report can make the derivation print.
std::shared_ptr<const FileProbe> TestProbeReport::probe(const QByteArray &report, const QString &fileName) const
{
    const QString path = MediaFactory(m_folder.path()).writeFile(fileName, "0123456789");
    DiagnosticLog::Capture capture;
    std::shared_ptr<const FileProbe> probe = FileProbe::fromReport(path, report);
    if (!capture.lines().isEmpty())
        qWarning() << "printed:" << capture.lines();
    return probe;
}

void TestProbeReport::rotation_data()
{
    QTest::addColumn<QByteArray>("rotate"); // the "tags" member of the stream
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<qint64>("tagRotateValue");

    QTest::newRow("no tag") << QByteArray("{}") << QByteArray("hevc") << qint64(1920) << qint64(1080) << qint64(0);
    QTest::newRow("90") << QByteArray(R"({"rotate": "90"})") << QByteArray("hevc") << qint64(1080) << qint64(1920) << qint64(90);
    QTest::newRow("270") << QByteArray(R"({"rotate": "270"})") << QByteArray("hevc") << qint64(1080) << qint64(1920) << qint64(270);
    QTest::newRow("180") << QByteArray(R"({"rotate": "180"})") << QByteArray("hevc") << qint64(1920) << qint64(1080) << qint64(180);
    QTest::newRow("-90") << QByteArray(R"({"rotate": "-90"})") << QByteArray("hevc") << qint64(1920) << qint64(1080) << qint64(-90);
    // Only the text matches; a number does not equal "90".
    QTest::newRow("number 90") << QByteArray(R"({"rotate": 90})") << QByteArray("hevc") << qint64(1920) << qint64(1080) << qint64(90);
    QTest::newRow("90 on H.264") << QByteArray(R"({"rotate": "90"})") << QByteArray("h264") << qint64(1080) << qint64(1920) << qint64(90);
    QTest::newRow("180 on H.264") << QByteArray(R"({"rotate": "180"})") << QByteArray("h264") << qint64(1920) << qint64(1080) << qint64(180);
}

void TestProbeReport::rotation()
{
    QFETCH(QByteArray, rotate);
    QFETCH(QByteArray, codec);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(qint64, tagRotateValue);

    const std::shared_ptr<const FileProbe> file = probe(report({R"({"codec_type": "video", "codec_name": ")" + codec
        + R"(", "avg_frame_rate": "30000/1001", "width": 1920, "height": 1080, "tags": )" + rotate + "}"}));
    QVERIFY(file->hasVideoTrack());
    QCOMPARE(file->videoWidth(), width);
    QCOMPARE(file->videoHeight(), height);
    QCOMPARE(file->videoRatio(), double(width) / double(height));
    QCOMPARE(file->tagRotateValue(), tagRotateValue);
    QCOMPARE(column(*file, FileProbe::trackSpecialInfoKey),
             QStringList{QString::number(width) + QLatin1Char('x') + QString::number(height)});
}

void TestProbeReport::streamWithoutCodecNameIsEncrypted()
{
    const std::shared_ptr<const FileProbe> file = probe(report(
        {R"({"codec_type": "video", "avg_frame_rate": "24/1", "width": 640, "height": 360})",
         R"({"codec_type": "audio", "codec_name": "aac", "channels": 2})"}));
    QVERIFY(file->isEncrypted());
    QVERIFY(file->isValidMediaFile());
    QVERIFY(file->hasVideoTrack());
    QCOMPARE(file->videoWidth(), 640);
    QCOMPARE(file->videoHeight(), 360);
    QVERIFY(file->hasAudioTrack());
    QCOMPARE(column(*file, FileProbe::trackTypeKey), (QStringList{lit("Video"), lit("Audio")}));

    QVERIFY(!probe(report({hevc1080}))->isEncrypted());
    // A codec name given as JSON null is no codec name either.
    QVERIFY(probe(report({R"({"codec_type": "video", "codec_name": null})"}))->isEncrypted());
}

void TestProbeReport::errorMemberOutweighsStreams()
{
    const std::shared_ptr<const FileProbe> file = probe(
        R"({"error": {"code": -2, "string": "No such file or directory"}, "streams": [)" + hevc1080
        + R"(], "format": {"duration": "5.0"}})");
    QVERIFY(file->hasErrors());
    QVERIFY(!file->isValidMediaFile());
    QCOMPARE(file->numberOfStreams(), 0);
    QVERIFY(!file->hasVideoTrack());
    QCOMPARE(file->duration(), 0.0);
    QVERIFY(file->tracksInfo().isEmpty());
    QVERIFY(file->metadata().isEmpty());

    // Any content counts, JSON null included.
    QVERIFY(probe(R"({"error": null, "streams": [{}]})")->hasErrors());
}

void TestProbeReport::emptyReportPrintsTheParserError()
{
    const QString path = MediaFactory(m_folder.path()).writeFile(lit("clip.mp4"), "0123456789");
    DiagnosticLog::Capture capture;
    const std::shared_ptr<const FileProbe> file = FileProbe::fromReport(path, QByteArray());
    QCOMPARE(capture.lines().size(), 1);
    QVERIFY(!file->isValidMediaFile());
    QVERIFY(!file->hasErrors());
    QCOMPARE(file->fileSize(), std::optional<quint64>(10));
    QVERIFY(file->fileSizeHuman().has_value());
    QCOMPARE(file->fileFullPath(), path);
    QCOMPARE(file->fileFullURL(), QUrl::fromLocalFile(path));
    QCOMPARE(file->numberOfStreams(), 0);
    QCOMPARE(file->videoWidth(), std::nullopt);
    QCOMPARE(file->duration(), 0.0);

    capture.clear();
    FileProbe::fromReport(path, R"({"streams": [{"codec_type": "vid)");
    QCOMPARE(capture.lines().size(), 1);
}

void TestProbeReport::reportsWithoutStreams_data()
{
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("no streams member") << QByteArray(R"({"format": {"duration": "3.0"}})");
    QTest::newRow("empty streams") << QByteArray(R"({"streams": [], "format": {"duration": "3.0"}})");
    QTest::newRow("top-level array") << QByteArray(R"([{"streams": [{}]}])");
    QTest::newRow("top-level number") << QByteArray("12");
    QTest::newRow("top-level null") << QByteArray("null");
}

void TestProbeReport::reportsWithoutStreams()
{
    QFETCH(QByteArray, text);
    const std::shared_ptr<const FileProbe> file = probe(text);
    QVERIFY(!file->isValidMediaFile());
    QVERIFY(!file->hasErrors());
    QCOMPARE(file->numberOfStreams(), 0);
    QCOMPARE(file->duration(), 0.0);
    QVERIFY(file->tracksInfo().isEmpty());
    QVERIFY(file->metadata().isEmpty());
}

// The count of "streams" is taken whatever its kind, but no stream can be
// reached by index in a dictionary.
void TestProbeReport::streamsAsDictionaryCountTheirEntries()
{
    const std::shared_ptr<const FileProbe> file = probe(R"({"streams": {"0": )" + hevc1080 + "}}");
    QVERIFY(file->isValidMediaFile());
    QCOMPARE(file->numberOfStreams(), 1);
    QVERIFY(!file->hasVideoTrack());
    QCOMPARE(column(*file, FileProbe::trackTypeKey), QStringList{lit("Other")});
}

void TestProbeReport::textExtensionIsNeverValid_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("valid");

    QTest::newRow("txt") << lit("notes.txt") << false;
    QTest::newRow("TXT") << lit("notes.TXT") << false;
    QTest::newRow("Txt") << lit("notes.Txt") << false;
    QTest::newRow("txt before the last dot") << lit("notes.txt.mp4") << true;
    QTest::newRow("no extension") << lit("notes") << true;
    QTest::newRow("text") << lit("notes.text") << true;
}

void TestProbeReport::textExtensionIsNeverValid()
{
    QFETCH(QString, fileName);
    QFETCH(bool, valid);

    const std::shared_ptr<const FileProbe> file = probe(
        report({R"({"codec_type": "video", "codec_name": "ansi", "avg_frame_rate": "25/1", "width": 640, "height": 400})"},
               R"({"duration": "4.4"})"),
        fileName);
    QCOMPARE(file->isValidMediaFile(), valid);
    QCOMPARE(file->numberOfStreams(), 1);
    QCOMPARE(file->hasVideoTrack(), valid);
    QCOMPARE(file->duration(), valid ? 4.4 : 0.0);
    QCOMPARE(file->tracksInfo().size(), valid ? 1 : 0);
    QCOMPARE(file->metadata().size(), valid ? 12 : 0);
}

void TestProbeReport::trackKinds_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("special");

    QTest::newRow("motion JPEG photo") << QByteArray(R"({"codec_type": "video", "codec_name": "mjpeg", "codec_tag_string": "jpeg", "avg_frame_rate": "25/1", "width": 8, "height": 8})")
        << lit("Other") << lit("jpeg");
    QTest::newRow("motion JPEG video") << QByteArray(R"({"codec_type": "video", "codec_name": "mjpeg", "codec_tag_string": "mjpa", "avg_frame_rate": "25/1", "width": 8, "height": 6})")
        << lit("Video") << lit("8x6");
    QTest::newRow("PNG cover") << QByteArray(R"({"codec_type": "video", "codec_name": "png", "codec_tag_string": "[0][0][0][0]", "avg_frame_rate": "0/0", "width": 600, "height": 600})")
        << lit("Poster") << lit("600x600");
    QTest::newRow("JPEG cover") << QByteArray(R"({"codec_type": "video", "codec_name": "mjpeg", "codec_tag_string": "[0][0][0][0]", "avg_frame_rate": "0/0", "width": 300, "height": 200})")
        << lit("Poster") << lit("300x200");
    QTest::newRow("BMP cover") << QByteArray(R"({"codec_type": "video", "codec_name": "bmp", "codec_tag_string": "[0][0][0][0]", "avg_frame_rate": "0/0", "width": 300, "height": 200})")
        << lit("Other") << lit("[0][0][0][0]");
    QTest::newRow("no frame rate, four-letter tag") << QByteArray(R"({"codec_type": "video", "codec_name": "png", "codec_tag_string": "png ", "avg_frame_rate": "0/0"})")
        << lit("Other") << lit("png ");
    QTest::newRow("stereo audio") << QByteArray(R"({"codec_type": "audio", "codec_name": "aac", "channels": 2, "channel_layout": "stereo"})")
        << lit("Audio") << lit("stereo");
    QTest::newRow("subtitle") << QByteArray(R"({"codec_type": "subtitle", "codec_name": "mov_text", "codec_tag_string": "tx3g", "tags": {"language": "deu"}})")
        << lit("Subtitle") << lit("deu");
    QTest::newRow("QuickTime text") << QByteArray(R"({"codec_type": "subtitle", "codec_name": "mov_text", "codec_tag_string": "text"})")
        << lit("Other") << lit("text");
    QTest::newRow("subtitle without codec name") << QByteArray(R"({"codec_type": "subtitle", "codec_tag_string": "tx3g"})")
        << lit("Other") << lit("tx3g");
    QTest::newRow("data stream") << QByteArray(R"({"codec_type": "data", "codec_tag_string": "tmcd"})")
        << lit("Other") << lit("tmcd");
    QTest::newRow("no codec type") << QByteArray(R"({"codec_tag_string": "abcd"})")
        << lit("Other") << lit("abcd");
    QTest::newRow("codec type as number") << QByteArray(R"({"codec_type": 1, "codec_name": "h264"})")
        << lit("Other") << QString();
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

void TestProbeReport::posterIsNoVideo()
{
    const std::shared_ptr<const FileProbe> file = probe(report(
        {R"({"codec_type": "audio", "codec_name": "aac", "channels": 2})",
         R"({"codec_type": "video", "codec_name": "png", "codec_tag_string": "[0][0][0][0]", "avg_frame_rate": "0/0", "width": 600, "height": 600})"}));
    QVERIFY(file->isValidMediaFile());
    QVERIFY(!file->hasVideoTrack());
    QCOMPARE(file->videoWidth(), std::nullopt);
    QCOMPARE(file->videoHeight(), std::nullopt);
    QCOMPARE(file->videoRatio(), std::nullopt);
    QCOMPARE(file->tagRotateValue(), 0);
    QCOMPARE(column(*file, FileProbe::trackTypeKey), (QStringList{lit("Audio"), lit("Poster")}));
}

void TestProbeReport::refreshTakesTheLastRefreshedCodec_data()
{
    QTest::addColumn<QList<QByteArray>>("streams");
    QTest::addColumn<bool>("video");
    QTest::addColumn<qint64>("width"); // -1: absent
    QTest::addColumn<qint64>("height");
    QTest::addColumn<QStringList>("special");

    const QByteArray theora = R"({"codec_type": "video", "codec_name": "theora", "avg_frame_rate": "25/1", "width": 640, "height": 480})";
    const QByteArray theoraStill = R"({"codec_type": "video", "codec_name": "theora", "avg_frame_rate": "0/0", "width": 320, "height": 240})";
    const QByteArray wmv3 = R"({"codec_type": "video", "codec_name": "wmv3", "codec_tag_string": "WMV3", "avg_frame_rate": "0/0", "width": 720, "height": 576})";
    const QByteArray wmv3OtherTag = R"({"codec_type": "video", "codec_name": "wmv3", "codec_tag_string": "wmv3", "avg_frame_rate": "0/0", "width": 720, "height": 576})";
    const QByteArray hevc = hevc1080;

    QTest::newRow("theora after hevc") << QList{hevc, theora} << true << qint64(640) << qint64(480)
        << QStringList{lit("1920x1080"), lit("640x480")};
    QTest::newRow("hevc after theora shows the record's size") << QList{theora, hevc} << true << qint64(640) << qint64(480)
        << QStringList{lit("640x480"), lit("640x480")};
    QTest::newRow("theora still picture") << QList{theoraStill} << true << qint64(320) << qint64(240)
        << QStringList{lit("320x240")};
    QTest::newRow("wmv3 tagged WMV3") << QList{wmv3} << true << qint64(720) << qint64(576)
        << QStringList{lit("720x576")};
    QTest::newRow("wmv3 tagged otherwise") << QList{wmv3OtherTag} << false << qint64(-1) << qint64(-1)
        << QStringList{lit("wmv3")};
}

void TestProbeReport::refreshTakesTheLastRefreshedCodec()
{
    QFETCH(QList<QByteArray>, streams);
    QFETCH(bool, video);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(QStringList, special);

    const std::shared_ptr<const FileProbe> file = probe(report(streams));
    QCOMPARE(file->hasVideoTrack(), video);
    QCOMPARE(file->videoWidth(), width < 0 ? std::nullopt : std::optional(width));
    QCOMPARE(file->videoHeight(), height < 0 ? std::nullopt : std::optional(height));
    QCOMPARE(column(*file, FileProbe::trackSpecialInfoKey), special);
}

void TestProbeReport::refreshKeepsSizeWhenNotNumbers()
{
    const std::shared_ptr<const FileProbe> file = probe(report(
        {hevc1080, R"({"codec_type": "video", "codec_name": "h264", "avg_frame_rate": "0/0", "width": "640", "height": 480})"}));
    QCOMPARE(file->videoWidth(), 1920);
    QCOMPARE(file->videoHeight(), 1080);
    QCOMPARE(column(*file, FileProbe::trackSpecialInfoKey), (QStringList{lit("1920x1080"), lit("1920x1080")}));

    // With nothing before it, the size stays absent.
    const std::shared_ptr<const FileProbe> alone = probe(report(
        {R"({"codec_type": "video", "codec_name": "h264", "avg_frame_rate": "0/0"})"}));
    QVERIFY(alone->hasVideoTrack());
    QCOMPARE(alone->videoWidth(), std::nullopt);
    QCOMPARE(alone->videoRatio(), std::nullopt);
    QCOMPARE(column(*alone, FileProbe::trackSpecialInfoKey), QStringList{lit("0x0")});
}

void TestProbeReport::refreshAlsoRotates()
{
    // The scan takes the first stream and its rotation; the refresh by the
    // later H.264 stream sets the size but leaves the rotation value alone.
    const std::shared_ptr<const FileProbe> file = probe(report(
        {R"({"codec_type": "video", "codec_name": "hevc", "avg_frame_rate": "25/1", "width": 100, "height": 50, "tags": {"rotate": "180"}})",
         R"({"codec_type": "video", "codec_name": "h264", "avg_frame_rate": "25/1", "width": 1920, "height": 1080, "tags": {"rotate": "270"}})"}));
    QCOMPARE(file->videoWidth(), 1080);
    QCOMPARE(file->videoHeight(), 1920);
    QCOMPARE(file->videoRatio(), 0.5625);
    QCOMPARE(file->tagRotateValue(), 180);
}

void TestProbeReport::zeroHeightGivesUnguardedRatio()
{
    const std::shared_ptr<const FileProbe> flat = probe(report(
        {R"({"codec_type": "video", "codec_name": "hevc", "avg_frame_rate": "25/1", "width": 640, "height": 0})"}));
    QVERIFY(flat->videoRatio().has_value());
    QVERIFY(std::isinf(*flat->videoRatio()));

    const std::shared_ptr<const FileProbe> empty = probe(report(
        {R"({"codec_type": "video", "codec_name": "hevc", "avg_frame_rate": "25/1"})"}));
    QCOMPARE(empty->videoWidth(), 0);
    QVERIFY(std::isnan(empty->videoRatio().value()));
}

void TestProbeReport::channelScan_data()
{
    QTest::addColumn<QList<QByteArray>>("streams");
    QTest::addColumn<bool>("moreThanTwo");

    const QByteArray stereo = R"({"codec_type": "audio", "channels": 2})";
    QTest::newRow("stereo") << QList{stereo} << false;
    QTest::newRow("six after stereo") << QList{stereo, QByteArray(R"({"codec_type": "audio", "channels": 6})")} << true;
    QTest::newRow("three") << QList{QByteArray(R"({"codec_type": "audio", "channels": 3})")} << true;
    QTest::newRow("no channels member") << QList{QByteArray(R"({"codec_type": "audio"})")} << false;
    QTest::newRow("null channels") << QList{QByteArray(R"({"codec_type": "audio", "channels": null})")} << false;
    QTest::newRow("six as text") << QList{QByteArray(R"({"codec_type": "audio", "channels": "6"})")} << false;
    QTest::newRow("text then six") << QList{QByteArray(R"({"channels": "6"})"), QByteArray(R"({"channels": 6})")} << true;
    QTest::newRow("channels on a data stream") << QList{QByteArray(R"({"codec_type": "data", "channels": 8})")} << true;
}

void TestProbeReport::channelScan()
{
    QFETCH(QList<QByteArray>, streams);
    QFETCH(bool, moreThanTwo);
    QCOMPARE(probe(report(streams))->hasAudioTrackWhichHasMoreThanTwoChannels(), moreThanTwo);
}

void TestProbeReport::numbersGivenAsTexts()
{
    const std::shared_ptr<const FileProbe> asTexts = probe(report(
        {R"({"codec_type": "video", "codec_name": "hevc", "avg_frame_rate": "25/1", "width": "1280", "height": "720", "duration": "2.500000"})"},
        R"({"duration": "12.480000", "bit_rate": "1234567"})"));
    QCOMPARE(asTexts->duration(), 12.48);
    QCOMPARE(asTexts->bitRate(), 1234567);
    QCOMPARE(asTexts->videoWidth(), 1280);
    QCOMPARE(asTexts->videoHeight(), 720);
    QCOMPARE(asTexts->tracksInfo().at(0).value(FileProbe::trackDurationKey).toDouble(), 2.5);

    const std::shared_ptr<const FileProbe> asNumbers = probe(report({hevc1080}, R"({"duration": 12.48, "bit_rate": 1234567})"));
    QCOMPARE(asNumbers->duration(), 12.48);
    QCOMPARE(asNumbers->bitRate(), 1234567);

    const std::shared_ptr<const FileProbe> unreadable = probe(report({hevc1080}, R"({"duration": "N/A", "bit_rate": "N/A"})"));
    QCOMPARE(unreadable->duration(), 0.0);
    QCOMPARE(unreadable->bitRate(), 0);
}

void TestProbeReport::trackEntryFields()
{
    const QString path = MediaFactory(m_folder.path()).writeFile(lit("clip.mp4"), "0123456789");
    const std::shared_ptr<const FileProbe> file = FileProbe::fromReport(path, report(
        {R"({"index": 0, "codec_type": "audio", "codec_name": "aac", "duration": "3725.25", "tags": {"language": "eng"}})",
         R"({"index": 1, "codec_type": "data"})"}));
    QCOMPARE(file->tracksInfo().size(), 2);

    const QVariantMap audio = file->tracksInfo().at(0);
    QCOMPARE(audio.keys().size(), 9);
    QCOMPARE(audio.value(FileProbe::trackCodecKey).toString(), lit("aac"));
    QCOMPARE(audio.value(FileProbe::trackIDKey).toString(), lit("0"));
    QCOMPARE(audio.value(FileProbe::trackPresentInfileKey).toString(), path);
    QCOMPARE(audio.value(FileProbe::trackDurationKey).typeId(), QMetaType::Double);
    QCOMPARE(audio.value(FileProbe::trackDurationKey).toDouble(), 3725.25);
    QCOMPARE(audio.value(FileProbe::trackDurationHumanKey).toString(), lit("01:02:05.25"));
    QCOMPARE(audio.value(FileProbe::trackLanguageKey).toString(), lit("eng"));
    QCOMPARE(audio.value(FileProbe::trackDictionaryKey).toJsonObject().value(lit("codec_name")).toString(), lit("aac"));

    const QVariantMap data = file->tracksInfo().at(1);
    QCOMPARE(data.keys().size(), 9);
    QCOMPARE(data.value(FileProbe::trackIDKey).toString(), lit("1"));
    QCOMPARE(data.value(FileProbe::trackCodecKey).toString(), QString());
    QCOMPARE(data.value(FileProbe::trackDurationKey).toDouble(), 0.0);
    QCOMPARE(data.value(FileProbe::trackDurationHumanKey).toString(), lit("00:00:00.00"));
    QCOMPARE(data.value(FileProbe::trackLanguageKey).toString(), QString());
}

void TestProbeReport::streamsThatAreNotObjects()
{
    const std::shared_ptr<const FileProbe> file = probe(report({"5", R"("video")", "null", "[1, 2]", "true"}));
    QVERIFY(file->isValidMediaFile());
    QCOMPARE(file->numberOfStreams(), 5);
    QVERIFY(!file->hasVideoTrack());
    QCOMPARE(column(*file, FileProbe::trackTypeKey), QStringList(5, lit("Other")));
    for (const QVariantMap &track : file->tracksInfo()) {
        QCOMPARE(track.size(), 9);
        QCOMPARE(track.value(FileProbe::trackDictionaryKey).toJsonObject(), QJsonObject());
    }
}

void TestProbeReport::metadataRows()
{
    const std::shared_ptr<const FileProbe> file = probe(report({hevc1080}, R"({"tags": {
        "title": "A Title", "description": "A tagline", "synopsis": "A synopsis", "date": "2011",
        "genre": "Drama", "hd_video": 1, "media_type": 9, "composer": "Someone", "iTunEXTC": "mpaa|PG|200|",
        "encoder": "Lavf59", "copyright": "(c) nobody", "comment": "A comment", "TITLE": "ignored"}})"));
    QStringList keys;
    QStringList values;
    for (const QVariantMap &entry : file->metadata()) {
        QCOMPARE(entry.size(), 2);
        keys.append(entry.value(FileProbe::metadataKeyKey).toString());
        values.append(entry.value(FileProbe::metadataValueKey).toString());
    }
    QCOMPARE(keys, (QStringList{lit("Title"), lit("Tagline"), lit("Synopsis"), lit("Release Date"), lit("Genre"),
                                lit("HD"), lit("Media Kind"), lit("Composer"), lit("Rating"), lit("Encoder"),
                                lit("Copyright"), lit("Comment")}));
    QCOMPARE(values, (QStringList{lit("A Title"), lit("A tagline"), lit("A synopsis"), lit("2011"), lit("Drama"),
                                  lit("Yes"), lit("Movie"), lit("Someone"), lit("mpaa|PG|200|"), lit("Lavf59"),
                                  lit("(c) nobody"), lit("A comment")}));
}

void TestProbeReport::metadataWithoutTags()
{
    const std::shared_ptr<const FileProbe> file = probe(report({hevc1080}));
    QCOMPARE(file->metadata().size(), 12);
    for (const QVariantMap &entry : file->metadata()) {
        const QString key = entry.value(FileProbe::metadataKeyKey).toString();
        QCOMPARE(entry.value(FileProbe::metadataValueKey).toString(), key == lit("HD") ? lit("No") : QString());
    }
}

void TestProbeReport::metadataFlags_data()
{
    QTest::addColumn<QByteArray>("tags");
    QTest::addColumn<QString>("hd");
    QTest::addColumn<QString>("mediaKind");

    QTest::newRow("numbers") << QByteArray(R"({"hd_video": 1, "media_type": 9})") << lit("Yes") << lit("Movie");
    QTest::newRow("texts") << QByteArray(R"({"hd_video": "1", "media_type": "9"})") << lit("Yes") << lit("Movie");
    QTest::newRow("other values") << QByteArray(R"({"hd_video": 2, "media_type": "10"})") << lit("No") << QString();
    QTest::newRow("words") << QByteArray(R"({"hd_video": "yes", "media_type": "Movie"})") << lit("No") << QString();
    QTest::newRow("true is one") << QByteArray(R"({"hd_video": true})") << lit("Yes") << QString();
}

void TestProbeReport::metadataFlags()
{
    QFETCH(QByteArray, tags);
    QFETCH(QString, hd);
    QFETCH(QString, mediaKind);

    const std::shared_ptr<const FileProbe> file = probe(report({hevc1080}, R"({"tags": )" + tags + "}"));
    QCOMPARE(metadataValue(*file, lit("HD")), hd);
    QCOMPARE(metadataValue(*file, lit("Media Kind")), mediaKind);
}

void TestProbeReport::durationTexts_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << lit("00:00:00.00");
    QTest::newRow("12.5") << 12.5 << lit("00:00:12.50");
    QTest::newRow("1 h 2 min 5.25 s") << 3725.25 << lit("01:02:05.25");
    QTest::newRow("ten hours") << 36000.0 << lit("10:00:00.00");
    QTest::newRow("just under ten hours") << 35999.0 << lit("09:59:59.00");
    QTest::newRow("a hundred hours") << 360000.0 << lit("100:00:00.00");
    QTest::newRow("hundredths do not carry") << 59.999 << lit("00:00:59.00");
    QTest::newRow("nor into the hour") << 3599.996 << lit("00:59:59.00");
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

#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "childprocesses.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "mediafactory.h"
#include "toollocator.h"

using namespace std::chrono_literals;

namespace {

QStringList trackTypes(const FileProbe &probe)
{
    QStringList types;
    for (const QVariantMap &track : probe.tracksInfo())
        types.append(track.value(FileProbe::trackTypeKey).toString());
    return types;
}

QString lit(const char *text)
{
    return QString::fromLatin1(text);
}

// Enough plain text for the prober to take it for a stream of "ANSI art".
QByteArray plainText()
{
    QByteArray text;
    for (int line = 0; line < 10; ++line)
        text += "A line of plain text, as in a note that someone kept.\n";
    return text;
}

} // namespace

// Media made with the real encoder, probed with the real prober.
class TestFileProbe : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void realFiles_data();
    void realFiles();
    void videoTrackDictionaryHoldsTheFrameRate();
    void trackDescriptions();
    void textFileIsNeverValid();
    void missingFileHasSizeMessagesAndErrors();
    void emptyFileIsAnError();
    void proberGetsTheNineArguments();
    void missingProberGivesAnInvalidFile();
    void garbageOutputGivesAnInvalidFile();
    void hangingProberIsKilled();
    void largeReportIsReadWhileTheProberRuns();

private:
    std::shared_ptr<const FileProbe> probe(const QString &fileName) const;

    QTemporaryDir m_folder;
    std::unique_ptr<MediaFactory> m_media;
};

// Every probe waits for its prober: none may be left running or unreaped.
void TestFileProbe::cleanup()
{
    QCOMPARE(ChildProcesses::running(), QList<qint64>());
    QCOMPARE(ChildProcesses::zombies(), QList<qint64>());
}

void TestFileProbe::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_media = std::make_unique<MediaFactory>(m_folder.path());
    const MediaFactory &media = *m_media;

    QVERIFY(!media.videoClip(lit("stereo.mp4"), 1.0, 2).isEmpty());
    QVERIFY(!media.videoClip(lit("surround.mp4"), 1.0, 6).isEmpty());
    QVERIFY(!media.videoClip(lit("silent.mkv"), 2.0, 0).isEmpty());
    const QString subtitles = media.writeFile(lit("subtitles.srt"), "1\n00:00:00,000 --> 00:00:01,000\nHello\n");
    QVERIFY(!media.generate(lit("subtitled.mp4"),
                            {lit("-f"), lit("lavfi"), lit("-i"), lit("testsrc2=size=64x48:rate=5:duration=1"),
                             lit("-i"), subtitles, lit("-map"), lit("0"), lit("-map"), lit("1"),
                             lit("-c:v"), lit("libx264"), lit("-preset"), lit("ultrafast"),
                             lit("-pix_fmt"), lit("yuv420p"), lit("-c:s"), lit("mov_text"),
                             lit("-metadata:s:s:0"), lit("language=fra")})
                  .isEmpty());
    QVERIFY(!media.generate(lit("tone.m4a"),
                            {lit("-f"), lit("lavfi"), lit("-i"), lit("sine=frequency=440:sample_rate=8000:duration=1"),
                             lit("-c:a"), lit("aac"), lit("-b:a"), lit("32k")})
                  .isEmpty());
    QVERIFY(!media.generate(lit("still.png"),
                            {lit("-f"), lit("lavfi"), lit("-i"), lit("color=c=red:size=64x48"),
                             lit("-frames:v"), lit("1")})
                  .isEmpty());
    QVERIFY(!media.writeFile(lit("notes.TXT"), plainText()).isEmpty());
    QVERIFY(!media.writeFile(lit("empty.mp4"), QByteArray()).isEmpty());
}

std::shared_ptr<const FileProbe> TestFileProbe::probe(const QString &fileName) const
{
    return FileProbe::create(m_media->path(fileName), ToolLocator(MediaFactory::toolsFolder()));
}

void TestFileProbe::realFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("video");
    QTest::addColumn<qint64>("width"); // -1: absent
    QTest::addColumn<qint64>("height");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<bool>("moreThanTwoChannels");
    QTest::addColumn<bool>("subtitles");
    QTest::addColumn<double>("duration"); // seconds, to a tenth
    QTest::addColumn<QStringList>("tracks");

    QTest::newRow("H.264 with stereo AAC in MP4") << lit("stereo.mp4") << true << true << qint64(64) << qint64(48)
        << true << false << false << 1.0 << QStringList{lit("Video"), lit("Audio")};
    QTest::newRow("5.1 audio") << lit("surround.mp4") << true << true << qint64(64) << qint64(48)
        << true << true << false << 1.0 << QStringList{lit("Video"), lit("Audio")};
    QTest::newRow("video only in Matroska") << lit("silent.mkv") << true << true << qint64(64) << qint64(48)
        << false << false << false << 2.0 << QStringList{lit("Video")};
    QTest::newRow("mov_text subtitles") << lit("subtitled.mp4") << true << true << qint64(64) << qint64(48)
        << false << false << true << 1.0 << QStringList{lit("Video"), lit("Subtitle")};
    QTest::newRow("audio only") << lit("tone.m4a") << true << false << qint64(-1) << qint64(-1)
        << true << false << false << 1.0 << QStringList{lit("Audio")};
    // A lone PNG reads as a one-frame video with a frame rate.
    QTest::newRow("still PNG") << lit("still.png") << true << true << qint64(64) << qint64(48)
        << false << false << false << 0.0 << QStringList{lit("Video")};
}

void TestFileProbe::realFiles()
{
    QFETCH(QString, fileName);
    QFETCH(bool, valid);
    QFETCH(bool, video);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(bool, audio);
    QFETCH(bool, moreThanTwoChannels);
    QFETCH(bool, subtitles);
    QFETCH(double, duration);
    QFETCH(QStringList, tracks);

    DiagnosticLog::Capture capture;
    const std::shared_ptr<const FileProbe> file = probe(fileName);
    QCOMPARE(capture.lines(), QStringList());

    QCOMPARE(file->isValidMediaFile(), valid);
    QVERIFY(!file->hasErrors());
    QVERIFY(!file->isEncrypted());
    QCOMPARE(file->numberOfStreams(), tracks.size());
    QCOMPARE(file->hasVideoTrack(), video);
    QCOMPARE(file->videoWidth(), width < 0 ? std::nullopt : std::optional(width));
    QCOMPARE(file->videoHeight(), height < 0 ? std::nullopt : std::optional(height));
    if (width > 0)
        QCOMPARE(file->videoRatio(), std::optional(double(width) / double(height)));
    QCOMPARE(file->hasAudioTrack(), audio);
    QCOMPARE(file->hasAudioTrackWhichHasMoreThanTwoChannels(), moreThanTwoChannels);
    QCOMPARE(file->hasSubtitleTrack(), subtitles);
    QVERIFY2(qAbs(file->duration() - duration) < 0.1, qPrintable(QString::number(file->duration())));
    QCOMPARE(trackTypes(*file), tracks);
    QCOMPARE(file->metadata().size(), 12);

    const QString path = m_media->path(fileName);
    QCOMPARE(file->fileFullPath(), path);
    QCOMPARE(file->fileFullURL(), QUrl::fromLocalFile(path));
    QCOMPARE(file->fileSize(), quint64(QFileInfo(path).size()));
    QVERIFY(file->fileSize() > 0u);
    for (const QVariantMap &track : file->tracksInfo()) {
        QCOMPARE(track.size(), 9);
        QCOMPARE(track.value(FileProbe::trackPresentInfileKey).toString(), path);
    }
}

void TestFileProbe::videoTrackDictionaryHoldsTheFrameRate()
{
    const std::shared_ptr<const FileProbe> file = probe(lit("stereo.mp4"));
    QVERIFY(!file->tracksInfo().isEmpty());
    const QVariantMap video = file->tracksInfo().first();
    QCOMPARE(video.value(FileProbe::trackTypeKey).toString(), lit("Video"));
    QCOMPARE(video.value(FileProbe::trackCodecKey).toString(), lit("h264"));
    QCOMPARE(video.value(FileProbe::trackIDKey).toString(), lit("0"));
    QCOMPARE(video.value(FileProbe::trackSpecialInfoKey).toString(), lit("64x48"));
    QCOMPARE(video.value(FileProbe::trackDurationHumanKey).toString(), lit("00:00:01.00"));
    const QJsonObject dictionary = video.value(FileProbe::trackDictionaryKey).toJsonObject();
    QCOMPARE(dictionary.value(lit("r_frame_rate")).toString(), lit("5/1"));
    QCOMPARE(dictionary.value(lit("codec_type")).toString(), lit("video"));
}

void TestFileProbe::trackDescriptions()
{
    const auto specialInfo = [this](const char *fileName) {
        return probe(lit(fileName))->tracksInfo().last().value(FileProbe::trackSpecialInfoKey).toString();
    };
    QCOMPARE(specialInfo("stereo.mp4"), lit("stereo"));
    QCOMPARE(specialInfo("surround.mp4"), lit("5.1"));
    QCOMPARE(specialInfo("subtitled.mp4"), lit("fra"));
    QCOMPARE(probe(lit("subtitled.mp4"))->tracksInfo().last().value(FileProbe::trackLanguageKey).toString(), lit("fra"));
}

void TestFileProbe::textFileIsNeverValid()
{
    const std::shared_ptr<const FileProbe> file = probe(lit("notes.TXT"));
    QVERIFY(!file->hasErrors());
    QCOMPARE(file->numberOfStreams(), 1); // the prober did find a stream
    QVERIFY(!file->isValidMediaFile());
    QVERIFY(!file->hasVideoTrack());
    QCOMPARE(file->duration(), 0.0);
    QVERIFY(file->tracksInfo().isEmpty());
    QVERIFY(file->metadata().isEmpty());
}

void TestFileProbe::missingFileHasSizeMessagesAndErrors()
{
    DiagnosticLog::Capture capture;
    const QString path = m_media->path(lit("nowhere.mp4"));
    const std::shared_ptr<const FileProbe> file = probe(lit("nowhere.mp4"));

    QVERIFY(file->hasErrors());
    QVERIFY(!file->isValidMediaFile());
    QCOMPARE(file->fileSize(), std::optional<quint64>(0));
    QCOMPARE(file->fileSizeHuman(), lit("Unknown File Size"));
    QCOMPARE(file->fileFullPath(), path);
    const QStringList lines = capture.lines();
    QCOMPARE(lines.size(), 2);
    for (const QString &line : lines)
        QVERIFY(line.startsWith(lit("Failed to get file attributes for local path: ") + path + lit(" with error: ")));
}

void TestFileProbe::emptyFileIsAnError()
{
    DiagnosticLog::Capture capture;
    const std::shared_ptr<const FileProbe> file = probe(lit("empty.mp4"));
    QVERIFY(file->hasErrors());
    QVERIFY(!file->isValidMediaFile());
    QCOMPARE(file->numberOfStreams(), 0);
    QCOMPARE(file->fileSize(), std::optional<quint64>(0));
    QVERIFY(file->fileSizeHuman() != lit("Unknown File Size"));
    QVERIFY(file->tracksInfo().isEmpty());
    QCOMPARE(capture.lines(), QStringList());
}

void TestFileProbe::proberGetsTheNineArguments()
{
    const QString path = m_media->path(lit("stereo.mp4"));
    const std::shared_ptr<const FileProbe> file
        = FileProbe::create(path, ToolLocator(MediaFactory::fakeToolsFolder(lit("prober-echo"))));
    QVERIFY(file->isValidMediaFile());
    QCOMPARE(file->metadata().at(11).value(FileProbe::metadataValueKey).toString(),
             FileProbe::snifferArguments(path).join(QLatin1Char(' ')));
    QCOMPARE(FileProbe::snifferArguments(path),
             (QStringList{lit("-v"), lit("quiet"), lit("-print_format"), lit("json"), lit("-show_format"),
                          lit("-show_streams"), lit("-show_chapters"), lit("-show_error"), path}));
}

void TestFileProbe::missingProberGivesAnInvalidFile()
{
    QTemporaryDir noTools;
    QVERIFY(noTools.isValid());
    DiagnosticLog::Capture capture;
    const std::shared_ptr<const FileProbe> file = FileProbe::create(m_media->path(lit("stereo.mp4")), ToolLocator(noTools.path()));
    QVERIFY(!file->isValidMediaFile());
    QVERIFY(!file->hasErrors());
    QVERIFY(!file->hasVideoTrack());
    QVERIFY(file->fileSize() > 0u);
    QCOMPARE(capture.lines().size(), 1); // the parser's complaint about no report
    QCOMPARE(ChildProcesses::running(), QList<qint64>());
}

void TestFileProbe::garbageOutputGivesAnInvalidFile()
{
    DiagnosticLog::Capture capture;
    const std::shared_ptr<const FileProbe> file = FileProbe::create(
        m_media->path(lit("stereo.mp4")), ToolLocator(MediaFactory::fakeToolsFolder(lit("prober-garbage"))));
    QVERIFY(!file->isValidMediaFile());
    QVERIFY(!file->hasErrors());
    QCOMPARE(file->numberOfStreams(), 0);
    QVERIFY(file->tracksInfo().isEmpty());
    QVERIFY(file->metadata().isEmpty());
    QCOMPARE(capture.lines().size(), 1);
    QCOMPARE(ChildProcesses::running(), QList<qint64>());
}

void TestFileProbe::hangingProberIsKilled()
{
    DiagnosticLog::Capture capture;
    const std::shared_ptr<const FileProbe> file = FileProbe::create(
        m_media->path(lit("stereo.mp4")), ToolLocator(MediaFactory::fakeToolsFolder(lit("prober-hang"))), 300ms);
    QVERIFY(!file->isValidMediaFile());
    QVERIFY(!file->hasVideoTrack());
    QCOMPARE(capture.lines().size(), 1);
    QCOMPARE(ChildProcesses::running(), QList<qint64>());
}

void TestFileProbe::largeReportIsReadWhileTheProberRuns()
{
    const std::shared_ptr<const FileProbe> file = FileProbe::create(
        m_media->path(lit("tone.m4a")), ToolLocator(MediaFactory::fakeToolsFolder(lit("prober-large"))));
    QVERIFY(file->isValidMediaFile());
    QVERIFY(file->hasAudioTrack());
    QCOMPARE(file->metadata().at(11).value(FileProbe::metadataValueKey).toString().size(), 1000000);
}

QTEST_GUILESS_MAIN(TestFileProbe)
#include "tst_fileprobe.moc"

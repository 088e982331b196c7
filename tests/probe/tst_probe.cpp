// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "testfiles.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "filesize.h"
#include "filmstrip.h"
#include "keyframescan.h"
#include "mediacache.h"
#include "mediafactory.h"
#include "packetlist.h"
#include "proberun.h"
#include "toollocator.h"
#include "waveform.h"

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

// A prober report with the given stream objects.
QByteArray report(const QByteArrayList &streams)
{
    return "{\"streams\": [" + streams.join(", ") + "], \"format\": {}}";
}

QByteArray video(const char *codec, int width, int height, const char *rotate)
{
    return R"({"codec_type": "video", "codec_name": ")" + QByteArray(codec) + R"(", "width": )"
        + QByteArray::number(width) + R"(, "height": )" + QByteArray::number(height) + R"(, "tags": {"rotate": ")"
        + rotate + "\"}}";
}

// What the app asks of a description, then the kind of each track.
QString facts(const FileProbe &file)
{
    const auto fact = [](bool holds, const QString &text) { return holds ? text : QString(); };
    const auto size = QStringLiteral("%1x%2").arg(file.videoWidth().value_or(0)).arg(file.videoHeight().value_or(0));
    QStringList facts{file.isValidMediaFile() ? lit("valid") : lit("invalid"), fact(file.hasErrors(), lit("errors")),
                      fact(file.isEncrypted(), lit("encrypted")), fact(file.hasVideoTrack(), lit("video ") + size),
                      fact(file.hasAudioTrack(), lit("audio")),
                      fact(file.hasAudioTrackWhichHasMoreThanTwoChannels(), lit("surround")),
                      fact(file.duration() != 0, QString::number(file.duration(), 'f', 1) + lit(" s")),
                      fact(file.videoFrameRate().has_value(), QString::number(file.videoFrameRate().value_or(0)) + lit("/s")),
                      fact(file.isTrimmableVideo(), lit("trimmable"))};
    facts.removeAll(QString());
    QStringList tracks;
    for (const QVariantMap &track : file.tracksInfo())
        tracks << track.value(FileProbe::trackTypeKey).toString();
    return facts.join(lit(", ")) + lit(": ") + tracks.join(QLatin1Char(' '));
}

} // namespace

Q_DECLARE_METATYPE(Description)
Q_DECLARE_METATYPE(Stretch)

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
            QTest::newRow(tag) << Description{m_media.writeFile(lit(file), "0123456789"), text, {}, lit(facts), 0, {}};
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
        const QByteArray audio = R"({"codec_type": "audio", "channels": 2})";

        // The prober could not read the file, even when it names no reason: the streams it lists do not count.
        row("error as JSON null", R"({"error": null, "streams": [{}]})", "invalid, errors: ");
        row("no streams", R"({"format": {"duration": "3.0"}})", "invalid: ");
        // The prober reads any text as a video.
        row("TXT", report({video("ansi", 640, 400, "0")}), "invalid: ", "notes.v2.TXT");
        row("no codec name", report({R"({"codec_type": "video"})"}), "valid, encrypted, video 0x0: Video");
        row("rotate 270", report({video("hevc", 16, 9, "270")}), "valid, video 9x16: Video");
        // An H.264, Theora or WMV3 stream sets the size a second time.
        row("rotate 90", report({video("h264", 16, 9, "90")}), "valid, video 9x16: Video");
        // Cover art is a still picture, no video.
        const QByteArray cover = R"({"codec_type": "video", "codec_name": "png", "avg_frame_rate": "0/0",
                                     "codec_tag_string": "[0][0][0][0]"})";
        row("cover art", report({audio, cover}), "valid, audio: Audio Poster");
        const QByteArray sixChannels = R"({"codec_type": "audio", "channels": 6})";
        row("surround", report({audio, sixChannels}), "valid, audio, surround: Audio Audio");
        // Only a video of some width and more than one frame can be trimmed; the last readable rate counts.
        const auto clip = [](const QByteArray &frames, int width, const QByteArrayList &rates) {
            QByteArrayList streams;
            for (const QByteArray &rate : rates)
                streams << "{\"codec_type\": \"video\", \"codec_name\": \"h264\", \"width\": " + QByteArray::number(width)
                               + ", \"height\": 48, \"nb_frames\": \"" + frames + "\", \"r_frame_rate\": \"" + rate + "\"}";
            return report(streams).replace("\"format\": {}", "\"format\": {\"duration\": \"12.0\"}");
        };
        row("rates of three tracks", clip("60", 64, {"25/1", "30000/1001", "0/0"}),
            "valid, video 64x48, 12.0 s, 29.97/s, trimmable: Video Video Video");
        row("width 0", clip("60", 0, {"5/1"}), "valid, video 0x48, 12.0 s, 5/s: Video");
        row("one frame", clip("1", 64, {"5/1"}), "valid, video 64x48, 12.0 s, 5/s: Video");
        real("stereo.mp4", "valid, video 64x48, audio, 1.0 s, 5/s, trimmable: Video Audio", 0);
        real("nowhere.mp4", "invalid, errors: ", 2); // nor has it a size
        fake("echo", "valid: Other", lit("-v quiet -print_format json -show_format -show_streams -show_chapters "
                                         "-show_error ") + m_media.path(lit("clip")));
        fake("large", "valid, audio: Audio", QString(1000000, QLatin1Char('a')));
        fake("garbage", "invalid: ");
        fake("hang", "invalid: ");
        fake("none", "invalid: ");
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
        QCOMPARE(file->metadata().value(11).value(FileProbe::metadataValueKey).toString(), row.comment);
        QCOMPARE(file->fileFullPath(), row.path);
        QCOMPARE(file->fileFullURL(), QUrl::fromLocalFile(row.path));
        QCOMPARE(file->fileSizeHuman(), FileSize::fileSizeText(row.path));
        if (row.tools.isEmpty())
            return;
        // The same in the background, as the window opens a file.
        ProbeRun run(ToolLocator(row.tools), row.path, timeout);
        QSignalSpy answered(&run, &ProbeRun::finished);
        run.start();
        QVERIFY(answered.wait(70000) && answered.size() == 1);
        QCOMPARE(facts(*answered.first().first().value<std::shared_ptr<const FileProbe>>()), row.facts);
        QCOMPARE(ChildProcesses::running() + ChildProcesses::zombies(), QList<qint64>());
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

    // A listing as the prober prints it, the stretches it was limited to, then its keyframes and lookups written
    // "time:at or before/after" ('-' for none).
    void packets_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QList<Stretch>>("read");
        QTest::addColumn<QString>("keyframes");
        QTest::addColumn<QString>("lookups"); // time:keyframe before/after[~frame before/after]
        // Decoding order with B-frames; a time shown rounded to the millisecond still finds its keyframe.
        QTest::newRow("unsorted") << QByteArray("4.000000,K_\n4.120000,__\n0.000000,K_\n2.000000,K__\n1.9,__\n")
                                  << QList<Stretch>() << lit("0 2 4")
                                  << lit("-1:-/0 0:0/2 1.9995:2/4~1.9/4 3.5:2/4 4:4/-~2/4.12 9:4/-");
        QTest::newRow("no keyframe") << QByteArray("0.0,__\n0.04,_D\n") << QList<Stretch>() << QString()
                                     << lit("0:-/-");
        QTest::newRow("garbage lines") << QByteArray("N/A,K_\n\n,K\nK\n1e999,K\n x ,K\n 3.5 ,K_\r\n3,K")
                                       << QList<Stretch>() << lit("3 3.5") << lit("3.2:3/3.5");
        // A stretch starts at the keyframe before it; past its end nothing is known.
        QTest::newRow("stretches") << QByteArray("8,K\n12,K\n18,K\n48,K\n51,K")
                                   << QList<Stretch>{{10, 20}, {50, 60}} << lit("8 12 18 48 51")
                                   << lit("11:8/12 19:18/- 30:-/- 50:48/51");
        QByteArray huge;
        for (int frame = 200000; frame-- > 0;)
            huge += QByteArray::number(frame * 0.04, 'f', 6) + (frame % 250 ? ",__\n" : ",K_\n");
        QTest::newRow("huge count") << huge << QList<Stretch>() << QString() << lit("7999.9:7990/- 4005:4000/4010");
    }
    void packets()
    {
        QFETCH(QByteArray, listing);
        QFETCH(QList<Stretch>, read);
        QFETCH(QString, keyframes);
        QFETCH(QString, lookups);
        const PacketList list = PacketList::parse(listing, read);
        // Read in two pieces, as a long listing comes, it gives the same.
        PacketList pieces = PacketList::parse(listing.first(listing.indexOf('\n') + 1), read);
        pieces.append(listing.sliced(listing.indexOf('\n') + 1));
        QVERIFY(pieces.keyframes() == list.keyframes() && pieces.packets().size() == list.packets().size());
        QStringList found;
        for (const double keyframe : list.keyframes())
            found << QString::number(keyframe);
        if (list.keyframes().size() < 100)
            QCOMPARE(found.join(QLatin1Char(' ')), keyframes);
        const auto text = [](std::optional<double> time) { return time ? QString::number(*time) : lit("-"); };
        for (const QString &lookup : lookups.split(QLatin1Char(' '))) {
            const double time = lookup.section(QLatin1Char(':'), 0, 0).toDouble();
            QString result = text(list.keyframeAtOrBefore(time)) + QLatin1Char('/') + text(list.keyframeAfter(time));
            if (lookup.contains(QLatin1Char('~')))
                result += QLatin1Char('~') + text(list.frameBeside(time, -1)) + QLatin1Char('/')
                          + text(list.frameBeside(time, 1));
            QCOMPARE(result, lookup.section(QLatin1Char(':'), 1));
        }
    }

    void keyframeScanReadsAListingInPieces()
    {
        KeyframeScan scan(ToolLocator(MediaFactory::fakeToolsFolder(lit("prober-split"))));
        QSignalSpy lists(&scan, &KeyframeScan::packetsChanged);
        scan.start(m_media.path(lit("clip")), {}, 0.0);
        QVERIFY(lists.wait(30000) && scan.isComplete());
        QCOMPARE(scan.packets().keyframes(), (QList<double>{0.0, 2.0}));
    }

    void overviewArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("filmstrip")
            << Filmstrip::arguments(lit("IN"), 2, 48)
            << lit("-hide_banner -nostdin -nostats -loglevel info -copyts -skip_frame nokey -i IN -map 0:2 -vf "
                   "scale=w=trunc(48*dar/2)*2:h=48,setsar=1,showinfo -fps_mode passthrough -c:v mjpeg -q:v 4 "
                   "-f image2pipe -");
        QTest::newRow("waveform") << Waveform::arguments(lit("IN"), 1, 1.4)
                                  << lit("-v quiet -nostdin -copyts -i IN -map 0:1 -af aformat=channel_layouts=mono,"
                                         "asetpts=PTS-(1.4)/TB,aresample=8000:async=1:first_pts=0:filter_size=8:"
                                         "phase_shift=6,asetnsamples=n=4000:p=0 -f s16le -");
    }
    void overviewArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QCOMPARE(arguments, expected.split(QLatin1Char(' ')));
    }

    // Keyframes every 2 s, a sine tone beside them: in Matroska and MPEG-TS the video starts 0.128 s after the
    // file, and in MPEG-TS the file 1.4 s into the streams' time.
    void filmstrip_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString &container : {lit("mp4"), lit("mkv"), lit("ts")}) {
            QTest::newRow(qPrintable(container)) << m_media.generate(
                lit("keyframes.") + container,
                lit("-f lavfi -i testsrc2=size=64x48:rate=10:duration=6 -f lavfi -i sine=sample_rate=8000:duration=6 "
                    "-c:v libx264 -preset ultrafast -g 20 -sc_threshold 0 -c:a aac").split(QLatin1Char(' ')));
        }
    }
    // One picture a keyframe the prober lists, at its time from the file's start, of the height asked for.
    void filmstrip()
    {
        QFETCH(QString, path);
        const ToolLocator tools(MediaFactory::toolsFolder());
        const std::shared_ptr<const FileProbe> file = FileProbe::create(path, tools);
        QList<double> keyframes;
        const PacketList listed =
            PacketList::parse(MediaFactory::toolOutput(ToolLocator::sniffer, PacketList::snifferArguments(path)));
        for (const double keyframe : listed.keyframes())
            keyframes << keyframe - file->startTime();
        QCOMPARE(keyframes.size(), 3);
        Filmstrip strip(tools);
        QSignalSpy pictures(&strip, &Filmstrip::thumbnailAdded);
        QSignalSpy finished(&strip, &Filmstrip::finished);
        strip.start(*file, 24);
        QVERIFY(finished.wait(60000) && finished.first().first().toBool());
        QCOMPARE(pictures.size(), keyframes.size());
        for (qsizetype at = 0; at < keyframes.size(); ++at) {
            QVERIFY2(std::abs(pictures.at(at).at(0).toDouble() - keyframes.at(at)) < 0.001,
                     qPrintable(QString::number(pictures.at(at).at(0).toDouble())));
            QCOMPARE(pictures.at(at).at(1).value<QImage>().size(), QSize(32, 24));
        }
        QCOMPARE(strip.thumbnails().size(), keyframes.size());
        // An image cut short anywhere waits for the rest.
        const QByteArray image = strip.thumbnails().first().jpeg;
        for (qsizetype length = 0; length < image.size(); ++length)
            QCOMPARE(Filmstrip::imageLength(image.first(length)), 0);
        QCOMPARE(Filmstrip::imageLength(image + image), image.size());
    }

    void waveform_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("count"); // -1 where nothing runs
        QTest::addColumn<bool>("silent");
        QTest::newRow("tone") << m_media.videoClip(lit("tone.mp4"), 3.0, 1) << 60 << false;
        QTest::newRow("silence") << m_media.generate(lit("silence.mp4"),
            lit("-f lavfi -i testsrc2=size=64x48:rate=5:duration=3 -f lavfi -i anullsrc=r=8000:cl=mono -t 3 "
                "-c:v libx264 -preset ultrafast -c:a aac").split(QLatin1Char(' '))) << 60 << true;
        QTest::newRow("no audio") << m_media.videoClip(lit("mute.mp4"), 3.0, 0) << -1 << true;
    }
    void waveform()
    {
        QFETCH(QString, path);
        QFETCH(int, count);
        QFETCH(bool, silent);
        const ToolLocator tools(MediaFactory::toolsFolder());
        Waveform waveform(tools);
        QSignalSpy added(&waveform, &Waveform::valuesAdded);
        QSignalSpy finished(&waveform, &Waveform::finished);
        waveform.start(*FileProbe::create(path, tools));
        if (count < 0) {
            QVERIFY(!waveform.isRunning() && finished.isEmpty());
            QCOMPARE(ChildProcesses::running(), QList<qint64>());
            return;
        }
        QVERIFY(finished.wait(60000) && finished.first().first().toBool());
        const QList<float> &values = waveform.peaks().values;
        QVERIFY2(std::abs(values.size() - count) <= 1, qPrintable(QString::number(values.size())));
        QCOMPARE(waveform.isSilent(), silent);
        // The sine source's amplitude is 1/8; the pieces announced add up to the whole.
        const float loudest = *std::ranges::max_element(values);
        QVERIFY2(silent ? loudest < Waveform::silence : loudest > 0.1F && loudest < 0.15F,
                 qPrintable(QString::number(loudest)));
        qsizetype announced = 0;
        for (const QList<QVariant> &piece : added)
            announced += piece.at(1).value<QList<float>>().size();
        QCOMPARE(announced, values.size());
    }

    // A newer start ends the run before, and a stop the last: nothing of them is announced after, and no creator
    // is left.
    void overviewRunsStop()
    {
        const ToolLocator tools(MediaFactory::toolsFolder());
        const std::shared_ptr<const FileProbe> file = FileProbe::create(m_media.path(lit("stereo.mp4")), tools);
        Filmstrip strip(tools);
        QSignalSpy finished(&strip, &Filmstrip::finished);
        strip.start(*file, 24);
        strip.start(*file, 24);
        QVERIFY(finished.wait(60000));
        QCOMPARE(strip.thumbnails().size(), 1);
        Waveform waveform(tools);
        QSignalSpy values(&waveform, &Waveform::valuesAdded);
        strip.start(*file, 24);
        strip.stop();
        waveform.start(*file);
        waveform.stop();
        QTRY_COMPARE_WITH_TIMEOUT(ChildProcesses::running() + ChildProcesses::zombies(), QList<qint64>(), 10000);
        QVERIFY(finished.size() == 1 && strip.thumbnails().isEmpty() && values.isEmpty());
    }

    // What was made of a file stays while it is unchanged, a new probe of it included, and goes when it changes.
    void cachedOverviews()
    {
        const QString path = m_media.writeFile(lit("cached"), "0123456789");
        MediaCache cache;
        cache.rememberProbe(MediaCache::Identity::of(path), FileProbe::fromReport(path, {}));
        cache.rememberFilmstrip(path, {{2.0, "picture"}});
        cache.rememberWaveform(path, {1, 0.05, {0.5F}});
        cache.rememberProbe(MediaCache::Identity::of(path), FileProbe::fromReport(path, {}));
        QCOMPARE(cache.filmstrip(path).value_or(QList<Thumbnail>()).value(0).jpeg, QByteArray("picture"));
        QCOMPARE(cache.waveform(path, 1).value_or(WaveformPeaks()).values, QList<float>{0.5F});
        QVERIFY(!cache.waveform(path, 2));
        QVERIFY(TestFiles::write(path, "0123456789A"));
        QVERIFY(!cache.filmstrip(path) && !cache.waveform(path, 1));
    }

private:
    QTemporaryDir m_folder;
    const MediaFactory m_media{m_folder.path()};
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"

#include <QtTest>

#include "testfiles.h"
#include "childprocesses.h"
#include "containersuffix.h"
#include "encoderprogress.h"
#include "encoderrun.h"
#include "mediafactory.h"
#include "trimcommand.h"

using Chunks = QList<QByteArray>;
using Values = QList<double>; // one per chunk; -1 stands for "no value"

namespace {

constexpr int encoderTimeout = 60000;
const QByteArray previousOutput = "the output of an earlier trim";

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// A trim of 100 seconds.
TrimParameters cut(double start, double end, bool encode, bool audio, bool many, double min = 0.0, double max = 1.0)
{
    return {.duration = 100.0, .minValue = min, .maxValue = max, .selectionStart = start, .selectionEnd = end,
            .forceEncode = encode, .hasAudioTrack = audio, .hasAudioTrackWhichHasMoreThanTwoChannels = many,
            .inputPath = {}, .outputPath = {}};
}

// Of the middle half unless told otherwise; IN and OUT stand for the paths.
QString command(const char *codecs = "-c copy", const char *start = "0:00:25.000", const char *duration = "50.0")
{
    return s("-ss %1 -i IN -t %2 %3 -avoid_negative_ts 1 -y OUT").arg(s(start), s(duration), s(codecs));
}

const char *const reencode = "-sn -dn -map_chapters -1 -map_metadata -1 -pix_fmt yuv420p";
const char *const downmix = "-sn -dn -map_chapters -1 -map_metadata -1 -pix_fmt yuv420p -ac 2";

// What a test does to a run once it has started (and reported progress, where the row says so).
enum class Act { None, Cancel, Kill, Destroy };

struct RunCase
{
    QString scenario;               // a fake encoder; the real one when empty
    bool waitForProgress;
    Act act;
    EncoderRun::Outcome outcome;
    QString details = {}; // a part of the reported details
    QString output = s("Trimmed.mp4");
};

} // namespace

class TestTrimEncoder : public QObject
{
    Q_OBJECT

private slots:
    // No tool may be left running or unreaped.
    void cleanup()
    {
        QTRY_VERIFY(ChildProcesses::running().isEmpty());
        QVERIFY(ChildProcesses::zombies().isEmpty());
    }

    void arguments_data()
    {
        QTest::addColumn<TrimParameters>("parameters");
        QTest::addColumn<QString>("expected");

        // A start after the end is not clamped.
        QTest::newRow("within the slider's range") << cut(1.0, 0.5, false, true, false, 0.2, 0.6)
                                                   << command("-c copy", "0:01:00.000", "-20.0");
        QTest::newRow("six channels copied") << cut(0.25, 0.75, false, true, true) << command();
        QTest::newRow("six channels re-encoded") << cut(0.25, 0.75, true, true, true) << command(downmix);
        QTest::newRow("stereo re-encoded") << cut(0.25, 0.75, true, true, false) << command(reencode);
        QTest::newRow("channel fact without audio track") << cut(0.25, 0.75, true, false, true) << command(reencode);
    }

    void arguments()
    {
        QFETCH(TrimParameters, parameters);
        QFETCH(QString, expected);
        // Blanks and quotes show that each path stays one argument.
        parameters.inputPath = s("/my videos/holiday \"best\" cut.mp4");
        parameters.outputPath = s("/my videos/.Trimmed copy.kestrel-partial-00ff00ff.mp4");
        QStringList arguments = expected.split(QLatin1Char(' '));
        arguments.replace(arguments.indexOf(s("IN")), parameters.inputPath);
        arguments.replace(arguments.indexOf(s("OUT")), parameters.outputPath);
        QCOMPARE(TrimCommand::trimArguments(parameters), arguments);
    }

    void diagnosticLine()
    {
        QCOMPARE(TrimCommand::diagnosticLine({s("-ss"), s("a \"b\"\\c\nd\te\rf\x1b" "g Vidéo 東京")}),
                 s("[\"-ss\", \"a \\\"b\\\"\\\\c\\nd\\te\\rf\\u{1B}g Vidéo 東京\"]"));
    }

    void containerSuffixes()
    {
        const std::pair<const char *, const char *> namesAndSuffixes[] = {
            {"mov,mp4,m4a,3gp,3g2,mj2", "mov"}, {"matroska,webm", "mkv"}, {"nut", "nut"}, {"", ""},
            {"../x", ""}, {"MOV2", ""}};
        for (const auto &[names, suffix] : namesAndSuffixes)
            QCOMPARE(containerSuffix(s(names)), s(suffix));
    }

    void progress_data()
    {
        QTest::addColumn<double>("outputDuration");
        QTest::addColumn<Chunks>("chunks");
        QTest::addColumn<Values>("values");

        QTest::newRow("hours to hundredths") << 7446.08 << Chunks{"frame=  50 q=-1.0 time=01:02:03.04 x\r"} << Values{50.0};
        QTest::newRow("the first time=") << 20.0 << Chunks{"Duration: 00:00:20.00\ntime=00:00:05.00\rtime=00:00:06.00\r"}
                                         << Values{25.0};
        QTest::newRow("time code further on") << 20.0 << Chunks{"time=N/A note 00:00:10.00\r"} << Values{-1};
        QTest::newRow("invalid UTF-8") << 20.0 << Chunks{"frame=1 \xff\xfe time=00:00:10.00 x\r"} << Values{-1};
        QTest::newRow("comma in place of the point") << 20.0 << Chunks{"time=00:00:10,00 x\r"} << Values{-1};
        QTest::newRow("no output duration") << 0.0 << Chunks{"time=00:00:10.00\r"} << Values{-1};
        QTest::newRow("negative output duration") << -5.0 << Chunks{"time=00:00:10.00\r"} << Values{-1};
        QTest::newRow("past the end is full") << 20.0 << Chunks{"time=00:00:30.00\r"} << Values{100.0};
        QTest::newRow("split in the time code") << 20.0 << Chunks{"time=00:00:1", "5.00 x\r"} << Values{-1, 75.0};
        QTest::newRow("read whole, not again") << 20.0 << Chunks{"time=00:00:05.00 x=", "y\rtime=00:00:06.00\r"} << Values{25, 30};
        QTest::newRow("split after one read") << 20.0 << Chunks{"time=00:00:05.00 x", "\rti", "me=00:00:06.00\r"} << Values{25, -1, 30};
        QTest::newRow("split after a whole one") << 20.0 << Chunks{"time=00:00:05.00\rtime=00:00:0", "6.00\r"} << Values{25, 30};
    }

    void progress()
    {
        QFETCH(double, outputDuration);
        QFETCH(Chunks, chunks);
        QFETCH(Values, values);
        EncoderProgress progress(outputDuration);
        for (qsizetype i = 0; i < chunks.size(); ++i)
            QCOMPARE(progress.feed(chunks.at(i)).value_or(-1), values.at(i));
    }

    void errorTail()
    {
        EncoderProgress progress(10.0);
        progress.feed("Input #0, mov,mp4, from 'in.mp4':\n \n  Duration: 00:00:10.00\r\n");
        progress.feed("frame=1 time=00:00:01.00\rframe=2 time=00:00:02.00\r[mp4 @ 0x1] Could not write hea");
        progress.feed("der\nConversion failed!\nlast words without an end");
        QCOMPARE(progress.errorTail(4), s("frame=2 time=00:00:02.00\n[mp4 @ 0x1] Could not write header\n"
                                          "Conversion failed!\nlast words without an end"));
        QCOMPARE(progress.errorTail(100).count(QLatin1Char('\n')), 6);
        QCOMPARE(progress.errorTail(0), QString());
    }

    void partialPath_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("fallbackSuffix");
        QTest::addColumn<QString>("partial"); // * stands for ".kestrel-partial-" and 8 random hex digits

        QTest::newRow("own extension first") << s("/v/Trimmed.mp4") << s("mkv") << s("/v/.Trimmed*.mp4");
        QTest::newRow("blanks, points, letter case") << s("/a b/c d.e.MOV") << QString() << s("/a b/.c d.e*.MOV");
        QTest::newRow("no extension") << s("/v/Trimmed") << QString() << s("/v/.Trimmed*");
        // The encoder picks the format from the extension.
        QTest::newRow("no extension, format given") << s("/v/Trimmed") << s("mov") << s("/v/.Trimmed*.mov");
        // Names may have 255 bytes: a long output name's base gives way, to exactly 255.
        QTest::newRow("255 bytes") << s("/v/") + QString(251, QLatin1Char('b')) + s(".mp4") << QString()
                                   << s("/v/.") + QString(225, QLatin1Char('b')) + s("*.mp4");
        // Cut between characters of two bytes each: 254 bytes.
        QTest::newRow("two-byte letters") << s("/v/") + QString(125, QChar(0xe9)) + s("a.mp4") << QString()
                                          << s("/v/.") + QString(112, QChar(0xe9)) + s("*.mp4");
    }

    void partialPath()
    {
        QFETCH(QString, output);
        QFETCH(QString, fallbackSuffix);
        QFETCH(QString, partial);
        const QString first = EncoderRun::partialPathFor(output, fallbackSuffix);
        QCOMPARE(QString(first).replace(QRegularExpression(s("\\.kestrel-partial-[0-9a-f]{8}")), s("*")), partial);
        QVERIFY(EncoderRun::partialPathFor(output, fallbackSuffix) != first);
    }

    void run_data()
    {
        QTest::addColumn<RunCase>("row");
        using O = EncoderRun::Outcome;

        QTest::newRow("real encoder trims") << RunCase{{}, false, Act::None, O::Succeeded};
        QTest::newRow("rename fails") << RunCase{{}, false, Act::None, O::Failed, s("gone/Trimmed.mp4"), s("gone/Trimmed.mp4")};
        QTest::newRow("non-zero exit") << RunCase{s("encoder-failing"), false, Act::None, O::Failed, s("trailer: Input/output error\nConversion failed!")};
        QTest::newRow("crash") << RunCase{s("encoder-stubborn"), true, Act::Kill, O::Failed, s("time=")};
        QTest::newRow("missing encoder")
            << RunCase{s("encoder-missing"), false, Act::None, O::Failed, MediaFactory::fakeToolsFolder(s("encoder-missing"))};
        QTest::newRow("not a program") << RunCase{s("encoder-unlaunchable"), false, Act::None, O::Failed, s("not be started")};
        // Asked to stop, the polite encoder ends with status 0: the cancel still wins.
        QTest::newRow("polite encoder cancelled") << RunCase{s("encoder-polite"), true, Act::Cancel, O::Cancelled};
        QTest::newRow("stubborn encoder cancelled") << RunCase{s("encoder-stubborn"), true, Act::Cancel, O::Cancelled};
        QTest::newRow("cancelled right after start") << RunCase{s("encoder-stubborn"), false, Act::Cancel, O::Cancelled};
        QTest::newRow("destroyed while running") << RunCase{s("encoder-stubborn"), true, Act::Destroy, O::Cancelled};
    }

    void run()
    {
        QFETCH(RunCase, row);
        const QTemporaryDir folderOwner;
        const MediaFactory folder(folderOwner.path());
        QVERIFY(!folder.writeFile(s("Trimmed.mp4"), previousOutput).isEmpty());
        TrimParameters parameters = cut(0.25, 0.75, true, true, true);
        parameters.duration = 1.0;
        parameters.inputPath = row.scenario.isEmpty() ? folder.videoClip(s("in.mp4"), 1.0, 6) : s("in.mp4");
        const QString partial = parameters.outputPath = EncoderRun::partialPathFor(folder.path(s("Trimmed.mp4")));
        auto run = std::make_unique<EncoderRun>(ToolLocator(
            row.scenario.isEmpty() ? MediaFactory::toolsFolder() : MediaFactory::fakeToolsFolder(row.scenario)));
        QSignalSpy progress(run.get(), &EncoderRun::progressChanged);
        QSignalSpy finished(run.get(), &EncoderRun::finished);
        bool runningAtFinish = true;
        connect(run.get(), &EncoderRun::finished, run.get(), [&] { runningAtFinish = run->isRunning(); });
        // The stubborn encoder ignores the request to stop: it is killed at once.
        const bool stubborn = row.scenario == s("encoder-stubborn");
        run->setKillDelay(std::chrono::milliseconds(stubborn ? 0 : 5000));

        // A run that has ended can start again.
        for (int started = 1; started <= (row.act == Act::None ? 2 : 1); ++started) {
            run->start(TrimCommand::trimArguments(parameters), partial, folder.path(row.output), 0.5);
            QCOMPARE(finished.count(), started - 1); // never reported from within start
            if (row.waitForProgress) {
                QVERIFY(progress.wait(encoderTimeout));
                QVERIFY(QFileInfo::exists(partial));
            }
            if (row.act == Act::Destroy) {
                run.reset();
                QVERIFY(ChildProcesses::running().isEmpty());
                break;
            }
            if (row.act == Act::Kill)
                run->process()->kill();
            if (row.act == Act::Cancel) {
                run->cancel();
                run->cancel(); // a second press changes nothing
            }
            QVERIFY(finished.wait(encoderTimeout));
            QCOMPARE(finished.count(), started);
            QCOMPARE(finished.last().at(0).value<EncoderRun::Outcome>(), row.outcome);
            const QString details = finished.last().at(1).toString();
            QVERIFY2(details.contains(row.details), qPrintable(details));
            QVERIFY(!runningAtFinish);
        }
        if (row.act == Act::Cancel)
            QCOMPARE(run->process()->exitStatus(), stubborn ? QProcess::CrashExit : QProcess::NormalExit);
        QCOMPARE(QDir(folderOwner.path()).entryList({s(".*kestrel-partial*")}, QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(TestFiles::contents(folder.path(s("Trimmed.mp4"))) == previousOutput,
                 row.outcome != EncoderRun::Outcome::Succeeded);
    }
};

QTEST_GUILESS_MAIN(TestTrimEncoder)
#include "tst_trimencoder.moc"

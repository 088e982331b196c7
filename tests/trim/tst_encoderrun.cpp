#include <QtTest>

#include "childprocesses.h"
#include "encoderrun.h"
#include "mediafactory.h"
#include "trimcommand.h"

namespace {

constexpr int encoderTimeout = 60000;
const QByteArray previousOutput = "the output of an earlier trim";

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString audioChannels(const QString &path)
{
    QProcess prober;
    prober.setProgram(QDir(MediaFactory::toolsFolder()).filePath(QStringLiteral("sniffer")));
    prober.setArguments({QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                         QStringLiteral("a"), QStringLiteral("-show_entries"), QStringLiteral("stream=channels"),
                         QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    prober.start();
    prober.waitForFinished(encoderTimeout);
    return QString::fromUtf8(prober.readAllStandardOutput()).trimmed();
}

// One run under test, with what it reports.
struct Harness {
    Harness(const QString &toolsFolder, const QString &outputPath)
        : run(ToolLocator(toolsFolder))
        , progress(&run, &EncoderRun::progressChanged)
        , finished(&run, &EncoderRun::finished)
        , partial(EncoderRun::partialPathFor(outputPath))
        , output(outputPath)
    {
        QObject::connect(&run, &EncoderRun::finished, &run, [this] { runningAtFinish = run.isRunning(); });
    }

    void start(double outputDuration)
    {
        const QStringList arguments{QStringLiteral("-i"), QStringLiteral("in.mp4"), QStringLiteral("-y"), partial};
        run.start(arguments, partial, output, outputDuration);
    }
    EncoderRun::Outcome outcome() const { return finished.at(0).at(0).value<EncoderRun::Outcome>(); }
    QString details() const { return finished.at(0).at(1).toString(); }
    bool partialExists() const { return QFileInfo::exists(partial); }

    EncoderRun run;
    QSignalSpy progress;
    QSignalSpy finished;
    const QString partial;
    const QString output;
    bool runningAtFinish = false;
};

} // namespace

class TestEncoderRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void partialPath_data();
    void partialPath();
    void realEncoderTrims_data();
    void realEncoderTrims();
    void cancel_data();
    void cancel();
    void failingEncoderLeavesTheOutputAlone();
    void encoderThatCannotStartFailsLater_data();
    void encoderThatCannotStartFailsLater();
    void destructionStopsTheRun();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString outputPath() const { return m_folder->filePath(QStringLiteral("Trimmed.mp4")); }
    void writePreviousOutput() const
    {
        QVERIFY(!MediaFactory(m_folder->path()).writeFile(QStringLiteral("Trimmed.mp4"), previousOutput).isEmpty());
    }
};

void TestEncoderRun::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

// No tool may be left running or unreaped.
void TestEncoderRun::cleanup()
{
    QTRY_VERIFY(ChildProcesses::running().isEmpty());
    QVERIFY(ChildProcesses::zombies().isEmpty());
    m_folder.reset();
}

void TestEncoderRun::partialPath_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("fallbackSuffix");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("mp4") << QStringLiteral("/videos/Trimmed.mp4") << QStringLiteral("mkv")
                         << QStringLiteral("^/videos/\\.Trimmed\\.kestrel-partial-[0-9a-f]{8}\\.mp4$");
    QTest::newRow("several points, letter case kept")
        << QStringLiteral("/videos/clip.final.MOV") << QString()
        << QStringLiteral("^/videos/\\.clip\\.final\\.kestrel-partial-[0-9a-f]{8}\\.MOV$");
    QTest::newRow("no extension") << QStringLiteral("/videos/Trimmed") << QString()
                                  << QStringLiteral("^/videos/\\.Trimmed\\.kestrel-partial-[0-9a-f]{8}$");
    QTest::newRow("blanks") << QStringLiteral("/my videos/a b.mkv") << QString()
                            << QStringLiteral("^/my videos/\\.a b\\.kestrel-partial-[0-9a-f]{8}\\.mkv$");
    // Without an extension of its own, the partial file carries the format's.
    QTest::newRow("no extension, format given") << QStringLiteral("/videos/Trimmed") << QStringLiteral("mov")
                                                << QStringLiteral("^/videos/\\.Trimmed\\.kestrel-partial-[0-9a-f]{8}\\.mov$");
    // A name already as long as the file system allows: the base gives way.
    QTest::newRow("255 bytes") << QStringLiteral("/v/") + QString(251, QLatin1Char('b')) + QStringLiteral(".mp4") << QString()
                               << QStringLiteral("^/v/\\.b{225}\\.kestrel-partial-[0-9a-f]{8}\\.mp4$");
    // Cut between characters, never inside one: 2 bytes each in UTF-8.
    QTest::newRow("255 bytes of two-byte letters")
        << QStringLiteral("/v/") + QString(125, QChar(0x00e9)) + QStringLiteral("a.mp4") << QString()
        << QStringLiteral("^/v/\\.\u00e9{112}\\.kestrel-partial-[0-9a-f]{8}\\.mp4$");
}

void TestEncoderRun::partialPath()
{
    QFETCH(QString, output);
    QFETCH(QString, fallbackSuffix);
    QFETCH(QString, pattern);
    const QString first = EncoderRun::partialPathFor(output, fallbackSuffix);
    QVERIFY2(QRegularExpression(pattern).match(first).hasMatch(), qPrintable(first));
    QVERIFY(QFile::encodeName(QFileInfo(first).fileName()).size() <= 255);
    QVERIFY(EncoderRun::partialPathFor(output, fallbackSuffix) != first);
}

void TestEncoderRun::realEncoderTrims_data()
{
    QTest::addColumn<bool>("forceEncode");
    QTest::addColumn<int>("channels");

    QTest::newRow("stream copy") << false << 2;
    QTest::newRow("re-encode with a down-mix") << true << 6;
}

void TestEncoderRun::realEncoderTrims()
{
    QFETCH(bool, forceEncode);
    QFETCH(int, channels);

    const QString input = MediaFactory(m_folder->path()).videoClip(QStringLiteral("in.mp4"), 2.0, channels);
    QVERIFY(!input.isEmpty());
    writePreviousOutput();
    Harness h(MediaFactory::toolsFolder(), outputPath());

    const TrimParameters parameters{.duration = 2.0, .selectionStart = 0.25, .selectionEnd = 0.75,
                                    .forceEncode = forceEncode, .hasAudioTrack = true,
                                    .hasAudioTrackWhichHasMoreThanTwoChannels = channels > 2,
                                    .inputPath = input, .outputPath = h.partial};
    h.run.start(TrimCommand::trimArguments(parameters), h.partial, h.output, parameters.outputDuration());
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.outcome(), EncoderRun::Outcome::Succeeded);
    QVERIFY(!h.runningAtFinish);
    QVERIFY(QFileInfo(outputPath()).size() > 0);
    QVERIFY(contents(outputPath()) != previousOutput);
    QCOMPARE(QDir(m_folder->path()).entryList({QStringLiteral("*kestrel-partial*")}, QDir::Files | QDir::Hidden),
             QStringList());
    QCOMPARE(audioChannels(outputPath()), QStringLiteral("2"));
}

void TestEncoderRun::cancel_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("waitForProgress");
    QTest::addColumn<QProcess::ExitStatus>("exitStatus"); // after a wait for progress

    // The polite encoder ends with status 0 when asked to stop: a cancel still wins.
    QTest::newRow("polite encoder") << QStringLiteral("encoder-polite") << true << QProcess::NormalExit;
    // The stubborn one ignores the request and is killed after the delay.
    QTest::newRow("lingering encoder") << QStringLiteral("encoder-stubborn") << true << QProcess::CrashExit;
    QTest::newRow("right after start") << QStringLiteral("encoder-stubborn") << false << QProcess::CrashExit;
}

void TestEncoderRun::cancel()
{
    QFETCH(QString, scenario);
    QFETCH(bool, waitForProgress);
    QFETCH(QProcess::ExitStatus, exitStatus);

    writePreviousOutput();
    Harness h(MediaFactory::fakeToolsFolder(scenario), outputPath());
    if (exitStatus == QProcess::CrashExit) // no need to wait long for a kill
        h.run.setKillDelay(std::chrono::milliseconds(200));
    h.start(60.0);
    if (waitForProgress) {
        QVERIFY(h.progress.wait(encoderTimeout));
        QVERIFY(h.partialExists());
    }
    h.run.cancel();
    h.run.cancel(); // a second press changes nothing
    QVERIFY(h.run.isCancelledByUser());
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.finished.count(), 1);
    QCOMPARE(h.outcome(), EncoderRun::Outcome::Cancelled);
    QVERIFY(!h.runningAtFinish);
    if (waitForProgress)
        QCOMPARE(h.run.process()->exitStatus(), exitStatus);
    QVERIFY(!h.partialExists());
    QCOMPARE(contents(outputPath()), previousOutput);
}

void TestEncoderRun::failingEncoderLeavesTheOutputAlone()
{
    writePreviousOutput();
    Harness h(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-failing")), outputPath());
    h.start(20.0);
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.outcome(), EncoderRun::Outcome::Failed);
    const QStringList detailLines = h.details().split(QLatin1Char('\n'));
    QCOMPARE(detailLines.last(), QStringLiteral("Conversion failed!"));
    QVERIFY(detailLines.contains(
        QStringLiteral("Error while decoding stream #0:0: Invalid data found when processing input")));
    QVERIFY(!h.partialExists());
    QCOMPARE(contents(outputPath()), previousOutput);
}

void TestEncoderRun::encoderThatCannotStartFailsLater_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("mentionsFolder");

    QTest::newRow("missing") << QStringLiteral("encoder-missing") << true;
    QTest::newRow("not a program") << QStringLiteral("encoder-unlaunchable") << false;
}

void TestEncoderRun::encoderThatCannotStartFailsLater()
{
    QFETCH(QString, scenario);
    QFETCH(bool, mentionsFolder);

    writePreviousOutput();
    const QString folder = MediaFactory::fakeToolsFolder(scenario);
    Harness h(folder, outputPath());
    h.start(20.0);
    QCOMPARE(h.finished.count(), 0);
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.outcome(), EncoderRun::Outcome::Failed);
    QVERIFY(!h.details().isEmpty());
    if (mentionsFolder)
        QVERIFY2(h.details().contains(folder), qPrintable(h.details()));
    QCOMPARE(contents(outputPath()), previousOutput);

    // The run is over and a new one can start.
    h.start(20.0);
    QVERIFY(h.finished.wait(encoderTimeout));
    QCOMPARE(h.finished.count(), 2);
}

void TestEncoderRun::destructionStopsTheRun()
{
    writePreviousOutput();
    auto h = std::make_unique<Harness>(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-polite")), outputPath());
    const QString partial = h->partial;
    h->start(60.0);
    QVERIFY(h->progress.wait(encoderTimeout));
    h.reset();

    QVERIFY(ChildProcesses::running().isEmpty());
    QVERIFY(!QFileInfo::exists(partial));
    QCOMPARE(contents(outputPath()), previousOutput);
}

QTEST_GUILESS_MAIN(TestEncoderRun)
#include "tst_encoderrun.moc"

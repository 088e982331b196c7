#include <QtTest>

#include "childprocesses.h"
#include "encoderrun.h"
#include "mediafactory.h"
#include "trimcommand.h"

namespace {

constexpr int encoderTimeout = 60000;
const QByteArray previousOutput = "the output of an earlier trim";

// What a run reported, and the state of its process at the moment it
// reported the end.
struct Report {
    QList<double> progress;
    QList<EncoderRun::Outcome> outcomes;
    QString details;
    bool processRunningAtFinish = false;
};

void record(EncoderRun &run, Report &report)
{
    QObject::connect(&run, &EncoderRun::progressChanged, &run,
                     [&report](double percent) { report.progress.append(percent); });
    QObject::connect(&run, &EncoderRun::finished, &run,
                     [&run, &report](EncoderRun::Outcome outcome, const QString &details) {
                         report.outcomes.append(outcome);
                         report.details = details;
                         report.processRunningAtFinish = run.isRunning();
                     });
}

QStringList partialFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*kestrel-partial*")}, QDir::Files | QDir::Hidden);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList fakeArguments(const QString &partialPath)
{
    return {QStringLiteral("-i"), QStringLiteral("in.mp4"), QStringLiteral("-y"), partialPath};
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
        record(run, report);
    }

    void start(double outputDuration) { run.start(fakeArguments(partial), partial, output, outputDuration); }

    EncoderRun run;
    Report report;
    QSignalSpy progress;
    QSignalSpy finished;
    const QString partial;
    const QString output;
};

QString audioChannels(const QString &path)
{
    QProcess prober;
    prober.setProgram(QDir(MediaFactory::toolsFolder()).filePath(QStringLiteral("sniffer")));
    prober.setArguments({QStringLiteral("-v"), QStringLiteral("error"),
                         QStringLiteral("-select_streams"), QStringLiteral("a"),
                         QStringLiteral("-show_entries"), QStringLiteral("stream=channels"),
                         QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    prober.start();
    prober.waitForFinished(encoderTimeout);
    return QString::fromUtf8(prober.readAllStandardOutput()).trimmed();
}

}

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
    void cancelStopsTheEncoder();
    void cancelKillsAnEncoderThatLingers();
    void cancelRightAfterStart();
    void failingEncoderLeavesTheOutputAlone();
    void missingEncoderFailsLater();
    void unlaunchableEncoderFails();
    void cancelWithoutARunIsHarmless();
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
    QTest::addColumn<QString>("outputChannels");

    QTest::newRow("stream copy") << false << 2 << QStringLiteral("2");
    QTest::newRow("re-encode with a down-mix") << true << 6 << QStringLiteral("2");
}

void TestEncoderRun::realEncoderTrims()
{
    QFETCH(bool, forceEncode);
    QFETCH(int, channels);
    QFETCH(QString, outputChannels);

    const MediaFactory media(m_folder->path());
    const QString input = media.videoClip(QStringLiteral("in.mp4"), 2.0, channels);
    QVERIFY(!input.isEmpty());
    writePreviousOutput();

    TrimParameters parameters;
    parameters.duration = 2.0;
    parameters.selectionStart = 0.25;
    parameters.selectionEnd = 0.75;
    parameters.forceEncode = forceEncode;
    parameters.hasAudioTrack = true;
    parameters.hasAudioTrackWhichHasMoreThanTwoChannels = channels > 2;
    parameters.inputPath = input;
    parameters.outputPath = EncoderRun::partialPathFor(outputPath());

    EncoderRun run{ToolLocator(MediaFactory::toolsFolder())};
    Report report;
    record(run, report);
    QSignalSpy finished(&run, &EncoderRun::finished);
    run.start(TrimCommand::trimArguments(parameters), parameters.outputPath, outputPath(),
              parameters.outputDuration());
    QVERIFY(finished.wait(encoderTimeout));

    QCOMPARE(report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Succeeded});
    QVERIFY(report.details.isEmpty());
    QVERIFY(!report.processRunningAtFinish);
    QVERIFY(QFileInfo(outputPath()).size() > 0);
    QVERIFY(contents(outputPath()) != previousOutput);
    QCOMPARE(partialFiles(m_folder->path()), QStringList());
    for (const double percent : std::as_const(report.progress))
        QVERIFY2(percent >= 0.0 && percent <= 100.0, qPrintable(QString::number(percent)));
    QCOMPARE(audioChannels(outputPath()), outputChannels);
}

void TestEncoderRun::cancelStopsTheEncoder()
{
    writePreviousOutput();
    Harness h(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-polite")), outputPath());
    h.start(60.0);
    QVERIFY(h.progress.wait(encoderTimeout));
    QVERIFY(h.run.isRunning());
    QVERIFY(QFileInfo::exists(h.partial));

    h.run.cancel();
    QVERIFY(h.run.isCancelledByUser());
    QVERIFY(h.finished.wait(encoderTimeout));

    // The fake ends with status 0 when asked to stop: a cancel still wins.
    QCOMPARE(h.report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Cancelled});
    QVERIFY(!h.report.processRunningAtFinish);
    QCOMPARE(h.run.process()->exitStatus(), QProcess::NormalExit);
    QCOMPARE(h.run.process()->exitCode(), 0);
    QVERIFY(!QFileInfo::exists(h.partial));
    QCOMPARE(contents(outputPath()), previousOutput);
    for (const double percent : std::as_const(h.report.progress))
        QVERIFY(percent >= 0.0 && percent <= 100.0);
}

void TestEncoderRun::cancelKillsAnEncoderThatLingers()
{
    Harness h(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-stubborn")), outputPath());
    h.run.setKillDelay(std::chrono::milliseconds(200));
    h.start(60.0);
    QVERIFY(h.progress.wait(encoderTimeout));

    h.run.cancel();
    h.run.cancel();   // a second press changes nothing
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Cancelled});
    QCOMPARE(h.run.process()->exitStatus(), QProcess::CrashExit);
    QVERIFY(!QFileInfo::exists(h.partial));
    QVERIFY(!QFileInfo::exists(outputPath()));
}

void TestEncoderRun::cancelRightAfterStart()
{
    Harness h(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-stubborn")), outputPath());
    h.run.setKillDelay(std::chrono::milliseconds(200));
    h.start(60.0);
    h.run.cancel();
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Cancelled});
    QVERIFY(!QFileInfo::exists(h.partial));
    QVERIFY(!QFileInfo::exists(outputPath()));
}

void TestEncoderRun::failingEncoderLeavesTheOutputAlone()
{
    writePreviousOutput();
    Harness h(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-failing")), outputPath());
    h.start(20.0);
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Failed});
    QVERIFY(!h.run.isCancelledByUser());
    const QStringList detailLines = h.report.details.split(QLatin1Char('\n'));
    QCOMPARE(detailLines.last(), QStringLiteral("Conversion failed!"));
    QVERIFY(detailLines.contains(
        QStringLiteral("Error while decoding stream #0:0: Invalid data found when processing input")));
    QCOMPARE(partialFiles(m_folder->path()), QStringList());
    QCOMPARE(contents(outputPath()), previousOutput);

    // Nothing runs any more: a late cancel changes nothing.
    h.run.cancel();
    QVERIFY(!h.run.isCancelledByUser());
    QTest::qWait(0);
    QCOMPARE(h.finished.count(), 1);
}

void TestEncoderRun::missingEncoderFailsLater()
{
    writePreviousOutput();
    const QString folder = MediaFactory::fakeToolsFolder(QStringLiteral("encoder-missing"));
    Harness h(folder, outputPath());
    h.start(20.0);
    QCOMPARE(h.finished.count(), 0);
    QVERIFY(!h.run.isRunning());
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Failed});
    QVERIFY2(h.report.details.contains(QStringLiteral("creator")), qPrintable(h.report.details));
    QVERIFY2(h.report.details.contains(folder), qPrintable(h.report.details));
    QCOMPARE(h.run.process(), nullptr);
    QCOMPARE(contents(outputPath()), previousOutput);
}

void TestEncoderRun::unlaunchableEncoderFails()
{
    writePreviousOutput();
    Harness h(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-unlaunchable")), outputPath());
    h.start(20.0);
    QCOMPARE(h.finished.count(), 0);
    QVERIFY(h.finished.wait(encoderTimeout));

    QCOMPARE(h.report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Failed});
    QVERIFY(!h.report.details.isEmpty());
    QCOMPARE(contents(outputPath()), previousOutput);

    // The run is over and a new one can start.
    QVERIFY(!h.run.isRunning());
    h.start(20.0);
    QVERIFY(h.finished.wait(encoderTimeout));
    QCOMPARE(h.finished.count(), 2);
}

void TestEncoderRun::cancelWithoutARunIsHarmless()
{
    Harness h(MediaFactory::toolsFolder(), outputPath());
    h.run.cancel();
    QVERIFY(!h.run.isRunning());
    QVERIFY(!h.run.isCancelledByUser());
    QCOMPARE(h.run.process(), nullptr);
    QTest::qWait(0);
    QCOMPARE(h.finished.count(), 0);
}

void TestEncoderRun::destructionStopsTheRun()
{
    writePreviousOutput();
    auto h = std::make_unique<Harness>(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-polite")), outputPath());
    const QString partial = h->partial;
    h->start(60.0);
    QVERIFY(h->progress.wait(encoderTimeout));
    QVERIFY(QFileInfo::exists(partial));
    h.reset();

    QVERIFY(ChildProcesses::running().isEmpty());
    QVERIFY(!QFileInfo::exists(partial));
    QCOMPARE(contents(outputPath()), previousOutput);
}

QTEST_GUILESS_MAIN(TestEncoderRun)
#include "tst_encoderrun.moc"

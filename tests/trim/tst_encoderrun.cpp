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
    m_folder.reset();
}

void TestEncoderRun::partialPath_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("mp4") << QStringLiteral("/videos/Trimmed.mp4")
                         << QStringLiteral("^/videos/\\.Trimmed\\.kestrel-partial-[0-9a-f]{8}\\.mp4$");
    QTest::newRow("several points, letter case kept")
        << QStringLiteral("/videos/clip.final.MOV")
        << QStringLiteral("^/videos/\\.clip\\.final\\.kestrel-partial-[0-9a-f]{8}\\.MOV$");
    QTest::newRow("no extension") << QStringLiteral("/videos/Trimmed")
                                  << QStringLiteral("^/videos/\\.Trimmed\\.kestrel-partial-[0-9a-f]{8}$");
    QTest::newRow("blanks") << QStringLiteral("/my videos/a b.mkv")
                            << QStringLiteral("^/my videos/\\.a b\\.kestrel-partial-[0-9a-f]{8}\\.mkv$");
}

void TestEncoderRun::partialPath()
{
    QFETCH(QString, output);
    QFETCH(QString, pattern);
    const QString first = EncoderRun::partialPathFor(output);
    QVERIFY2(QRegularExpression(pattern).match(first).hasMatch(), qPrintable(first));
    QVERIFY(EncoderRun::partialPathFor(output) != first);
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
    EncoderRun run{ToolLocator(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-polite")))};
    Report report;
    record(run, report);
    QSignalSpy progress(&run, &EncoderRun::progressChanged);
    QSignalSpy finished(&run, &EncoderRun::finished);
    const QString partial = EncoderRun::partialPathFor(outputPath());
    run.start(fakeArguments(partial), partial, outputPath(), 60.0);
    QVERIFY(progress.wait(encoderTimeout));
    QVERIFY(run.isRunning());
    QVERIFY(QFileInfo::exists(partial));

    run.cancel();
    QVERIFY(run.isCancelledByUser());
    QVERIFY(finished.wait(encoderTimeout));

    // The fake ends with status 0 when asked to stop: a cancel still wins.
    QCOMPARE(report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Cancelled});
    QVERIFY(!report.processRunningAtFinish);
    QCOMPARE(run.process()->exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process()->exitCode(), 0);
    QVERIFY(!QFileInfo::exists(partial));
    QCOMPARE(contents(outputPath()), previousOutput);
    for (const double percent : std::as_const(report.progress))
        QVERIFY(percent >= 0.0 && percent <= 100.0);
}

void TestEncoderRun::cancelKillsAnEncoderThatLingers()
{
    EncoderRun run{ToolLocator(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-stubborn")))};
    run.setKillDelay(std::chrono::milliseconds(200));
    Report report;
    record(run, report);
    QSignalSpy progress(&run, &EncoderRun::progressChanged);
    QSignalSpy finished(&run, &EncoderRun::finished);
    const QString partial = EncoderRun::partialPathFor(outputPath());
    run.start(fakeArguments(partial), partial, outputPath(), 60.0);
    QVERIFY(progress.wait(encoderTimeout));

    run.cancel();
    run.cancel();   // a second press changes nothing
    QVERIFY(finished.wait(encoderTimeout));

    QCOMPARE(report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Cancelled});
    QCOMPARE(run.process()->exitStatus(), QProcess::CrashExit);
    QVERIFY(!QFileInfo::exists(partial));
    QVERIFY(!QFileInfo::exists(outputPath()));
}

void TestEncoderRun::cancelRightAfterStart()
{
    EncoderRun run{ToolLocator(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-stubborn")))};
    run.setKillDelay(std::chrono::milliseconds(200));
    Report report;
    record(run, report);
    QSignalSpy finished(&run, &EncoderRun::finished);
    const QString partial = EncoderRun::partialPathFor(outputPath());
    run.start(fakeArguments(partial), partial, outputPath(), 60.0);
    run.cancel();
    QVERIFY(finished.wait(encoderTimeout));

    QCOMPARE(report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Cancelled});
    QVERIFY(!QFileInfo::exists(partial));
    QVERIFY(!QFileInfo::exists(outputPath()));
}

void TestEncoderRun::failingEncoderLeavesTheOutputAlone()
{
    writePreviousOutput();
    EncoderRun run{ToolLocator(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-failing")))};
    Report report;
    record(run, report);
    QSignalSpy finished(&run, &EncoderRun::finished);
    const QString partial = EncoderRun::partialPathFor(outputPath());
    run.start(fakeArguments(partial), partial, outputPath(), 20.0);
    QVERIFY(finished.wait(encoderTimeout));

    QCOMPARE(report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Failed});
    QVERIFY(!run.isCancelledByUser());
    const QStringList detailLines = report.details.split(QLatin1Char('\n'));
    QCOMPARE(detailLines.last(), QStringLiteral("Conversion failed!"));
    QVERIFY(detailLines.contains(
        QStringLiteral("Error while decoding stream #0:0: Invalid data found when processing input")));
    QVERIFY(!QFileInfo::exists(partial));
    QCOMPARE(partialFiles(m_folder->path()), QStringList());
    QCOMPARE(contents(outputPath()), previousOutput);

    // Nothing runs any more: a late cancel changes nothing.
    run.cancel();
    QVERIFY(!run.isCancelledByUser());
    QTest::qWait(0);
    QCOMPARE(finished.count(), 1);
}

void TestEncoderRun::missingEncoderFailsLater()
{
    writePreviousOutput();
    const QString folder = MediaFactory::fakeToolsFolder(QStringLiteral("encoder-missing"));
    EncoderRun run{ToolLocator(folder)};
    Report report;
    record(run, report);
    QSignalSpy finished(&run, &EncoderRun::finished);
    const QString partial = EncoderRun::partialPathFor(outputPath());
    run.start(fakeArguments(partial), partial, outputPath(), 20.0);
    QCOMPARE(finished.count(), 0);
    QVERIFY(!run.isRunning());
    QVERIFY(finished.wait(encoderTimeout));

    QCOMPARE(report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Failed});
    QVERIFY2(report.details.contains(QStringLiteral("creator")), qPrintable(report.details));
    QVERIFY2(report.details.contains(folder), qPrintable(report.details));
    QCOMPARE(run.process(), nullptr);
    QCOMPARE(contents(outputPath()), previousOutput);
}

void TestEncoderRun::unlaunchableEncoderFails()
{
    writePreviousOutput();
    EncoderRun run{ToolLocator(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-unlaunchable")))};
    Report report;
    record(run, report);
    QSignalSpy finished(&run, &EncoderRun::finished);
    const QString partial = EncoderRun::partialPathFor(outputPath());
    run.start(fakeArguments(partial), partial, outputPath(), 20.0);
    QCOMPARE(finished.count(), 0);
    QVERIFY(finished.wait(encoderTimeout));

    QCOMPARE(report.outcomes, QList<EncoderRun::Outcome>{EncoderRun::Outcome::Failed});
    QVERIFY(!report.details.isEmpty());
    QCOMPARE(contents(outputPath()), previousOutput);

    // The run is over and a new one can start.
    QVERIFY(!run.isRunning());
    run.start(fakeArguments(partial), partial, outputPath(), 20.0);
    QVERIFY(finished.wait(encoderTimeout));
    QCOMPARE(finished.count(), 2);
}

void TestEncoderRun::cancelWithoutARunIsHarmless()
{
    EncoderRun run{ToolLocator(MediaFactory::toolsFolder())};
    QSignalSpy finished(&run, &EncoderRun::finished);
    run.cancel();
    QVERIFY(!run.isRunning());
    QVERIFY(!run.isCancelledByUser());
    QCOMPARE(run.process(), nullptr);
    QTest::qWait(0);
    QCOMPARE(finished.count(), 0);
}

void TestEncoderRun::destructionStopsTheRun()
{
    writePreviousOutput();
    const QString partial = EncoderRun::partialPathFor(outputPath());
    {
        EncoderRun run{ToolLocator(MediaFactory::fakeToolsFolder(QStringLiteral("encoder-polite")))};
        QSignalSpy progress(&run, &EncoderRun::progressChanged);
        run.start(fakeArguments(partial), partial, outputPath(), 60.0);
        QVERIFY(progress.wait(encoderTimeout));
        QVERIFY(QFileInfo::exists(partial));
    }
    QVERIFY(ChildProcesses::running().isEmpty());
    QVERIFY(!QFileInfo::exists(partial));
    QCOMPARE(contents(outputPath()), previousOutput);
}

QTEST_GUILESS_MAIN(TestEncoderRun)
#include "tst_encoderrun.moc"

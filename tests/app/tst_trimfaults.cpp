// Things that go wrong while a trim runs, driven through the app controller:
// an output folder nobody may write, the input vanishing under the encoder,
// cancels at random moments, quitting mid-trim, and failed or cancelled
// trims over an existing file. After each, no child is left running or
// unreaped and no partial file remains.

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "appdelegate.h"
#include "appfixture.h"
#include "apptesting.h"
#include "trimrecorder.h"
#include "childprocesses.h"
#include "diagnosticlog.h"
#include "encoderrun.h"
#include "fileprobe.h"
#include "mediafactory.h"
#include "rangeslider.h"
#include "toollocator.h"

namespace {

constexpr int trimTimeoutMs = 120000;
constexpr int randomCancelCount = 20;

QStringList partialFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*kestrel-partial*")}, QDir::Files | QDir::Hidden);
}

bool probesAsVideo(const QString &path)
{
    const auto probe = FileProbe::create(path, ToolLocator(MediaFactory::toolsFolder()));
    return probe->isValidMediaFile() && probe->hasVideoTrack() && probe->duration() > 0;
}

// The real encoder, made to read its input at the input's own pace with its
// -re option, so a trim lasts about as long as the segment it writes and is
// surely still running when a test acts on it.
QByteArray pacedRealEncoder()
{
    return '\'' + QFile::encodeName(QDir(MediaFactory::toolsFolder()).filePath(ToolLocator::creator)) + "' -re";
}

QAbstractButton *buttonTitled(QMessageBox *box, const QString &title)
{
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *button : buttons) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

} // namespace

class TestTrimFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void unwritableOutputFolderFails();
    void outputNamingAFolderFails();
    void inputRemovedWhileEncoding();
    void randomCancelsLeaveNothingBehind();
    void quitWhileTrimming_data();
    void quitWhileTrimming();
    void failedTrimKeepsTheExistingOutput_data();
    void failedTrimKeepsTheExistingOutput();

private:
    std::unique_ptr<AppDelegate> launched(const QString &resourceFolder) const
    {
        return AppTesting::launchedDelegate(resourceFolder, m_temporaryBase.path());
    }
    // Starts a trim and returns once the encoder has reported progress.
    bool startAndAwaitProgress(AppDelegate &delegate, const QString &outputPath);

    QTemporaryDir m_media;
    QTemporaryDir m_temporaryBase;
    QString m_clip;
    QString m_denseClip;
};

void TestTrimFaults::initTestCase()
{
    const MediaFactory factory(m_media.path());
    m_clip = factory.videoClip(QStringLiteral("clip.mp4"), 3);
    // Enough frames that a re-encode takes a while on its own, so random
    // cancels land before, during and after the encoding.
    m_denseClip = factory.videoClip(QStringLiteral("dense.mp4"), 8, 2, 64, 48, QStringLiteral("25"));
    QVERIFY(!m_clip.isEmpty() && !m_denseClip.isEmpty());
}

void TestTrimFaults::cleanup()
{
    QTRY_VERIFY(ChildProcesses::running().isEmpty());
    QTRY_VERIFY(ChildProcesses::zombies().isEmpty());
}

bool TestTrimFaults::startAndAwaitProgress(AppDelegate &delegate, const QString &outputPath)
{
    delegate.savePanelFinished(outputPath);
    auto *run = delegate.findChild<EncoderRun *>();
    if (!run)
        return false;
    QSignalSpy progress(run, &EncoderRun::progressChanged);
    return progress.wait(trimTimeoutMs) && delegate.isTrimming();
}

void TestTrimFaults::unwritableOutputFolderFails()
{
    // The tests run as root, who may write anywhere on disk; /proc refuses
    // new files even to root, so it stands for a folder the user cannot write.
    const QString output = QStringLiteral("/proc/kestrel-trimmed.mp4");
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(QFile::copy(m_clip, input));
    const QStringList inputFolderBefore = AppTesting::folderListing(folder.path());
    const QStringList procBefore = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("*kestrel*")},
                                                                           QDir::AllEntries | QDir::Hidden);

    auto delegate = launched(MediaFactory::toolsFolder());
    delegate->openVideo(QUrl::fromLocalFile(input));
    const DiagnosticLog::Capture quiet;
    TrimRecorder trim(*delegate);
    QVERIFY(trim.trim(output));

    QCOMPARE(trim.outcome(), EncoderRun::Outcome::Failed);
    QCOMPARE(trim.alertCount(), 1);
    QCOMPARE(trim.lastAlert()->text(), AppTesting::failureMessage);
    QCOMPARE(trim.lastAlert()->icon(), QMessageBox::Warning);
    QVERIFY(!trim.lastAlert()->informativeText().isEmpty());
    QVERIFY(!QFile::exists(output));
    QCOMPARE(QDir(QStringLiteral("/proc")).entryList({QStringLiteral("*kestrel*")}, QDir::AllEntries | QDir::Hidden),
             procBefore);
    QCOMPARE(AppTesting::folderListing(folder.path()), inputFolderBefore);
    QVERIFY(!delegate->isTrimming());
}

// The encoder writes its partial file without trouble; only putting it in
// place fails, as a file cannot replace a folder.
void TestTrimFaults::outputNamingAFolderFails()
{
    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("taken.mp4"));
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("taken.mp4")));
    const QStringList before = AppTesting::folderListing(folder.path());

    auto delegate = launched(MediaFactory::toolsFolder());
    delegate->openVideo(QUrl::fromLocalFile(m_clip));
    const DiagnosticLog::Capture quiet;
    TrimRecorder trim(*delegate);
    QVERIFY(trim.trim(output));

    QCOMPARE(trim.outcome(), EncoderRun::Outcome::Failed);
    QCOMPARE(trim.alertCount(), 1);
    QCOMPARE(trim.lastAlert()->text(), AppTesting::failureMessage);
    QVERIFY(QFileInfo(output).isDir());
    QCOMPARE(AppTesting::folderListing(output), QStringList());
    QCOMPARE(AppTesting::folderListing(folder.path()), before);
}

// The encoder holds the input open, so it may well finish from its open
// descriptor; or it may fail. Either is fine as long as the alert says which.
void TestTrimFaults::inputRemovedWhileEncoding()
{
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("vanishing.mp4"));
    QVERIFY(QFile::copy(m_clip, input));
    auto delegate = launched(AppTesting::resourceFolderWith(folder.filePath(QStringLiteral("tools")), pacedRealEncoder()));
    delegate->openVideo(QUrl::fromLocalFile(input));
    delegate->window()->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"))->setChecked(true);
    const QString output = folder.filePath(QStringLiteral("out.mp4"));

    const DiagnosticLog::Capture quiet;
    TrimRecorder trim(*delegate);
    QVERIFY(startAndAwaitProgress(*delegate, output));
    QVERIFY(QFile::remove(input));
    QVERIFY(trim.waitForEnd());

    QCOMPARE(trim.alertCount(), 1);
    const bool reportedSuccess = trim.lastAlert()->text() == AppTesting::successMessage;
    qInfo("the encoder %s without its input", reportedSuccess ? "finished" : "failed");
    if (!reportedSuccess)
        QCOMPARE(trim.lastAlert()->text(), AppTesting::failureMessage);
    QCOMPARE(QFile::exists(output), reportedSuccess);
    if (reportedSuccess)
        QVERIFY(probesAsVideo(output));
    QCOMPARE(partialFiles(folder.path()), QStringList());
}

void TestTrimFaults::randomCancelsLeaveNothingBehind()
{
    QTemporaryDir folder;
    auto delegate = launched(MediaFactory::toolsFolder());
    delegate->openVideo(QUrl::fromLocalFile(m_denseClip));
    delegate->window()->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"))->setChecked(true);
    auto *trimButton = delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"));
    const QString output = folder.filePath(QStringLiteral("cancelled.mp4"));
    const DiagnosticLog::Capture quiet;
    QSignalSpy finished(delegate.get(), &AppDelegate::trimFinished);
    QSignalSpy alerts(delegate.get(), &AppDelegate::alertShown);

    // One whole run first, to learn how long the cancels may wait.
    QElapsedTimer clock;
    clock.start();
    delegate->savePanelFinished(output);
    QVERIFY(finished.wait(trimTimeoutMs));
    const int runLengthMs = static_cast<int>(clock.elapsed());
    QCOMPARE(finished.takeFirst().first().value<EncoderRun::Outcome>(), EncoderRun::Outcome::Succeeded);
    QVERIFY(QFile::remove(output));

    QRandomGenerator random(4711);
    QTimer cancelTimer;
    cancelTimer.setSingleShot(true);
    connect(&cancelTimer, &QTimer::timeout, delegate.get(), &AppDelegate::closeBTNInsideProgressWindowClicked);
    int cancelled = 0;
    for (int round = 0; round < randomCancelCount; ++round) {
        // Every fourth cancel comes before the event loop has run at all.
        const int delayMs = round % 4 == 0 ? -1 : static_cast<int>(random.bounded(runLengthMs + 1));
        alerts.clear();
        delegate->savePanelFinished(output);
        QVERIFY(delegate->isTrimming());
        if (delayMs < 0)
            delegate->closeBTNInsideProgressWindowClicked();
        else
            cancelTimer.start(delayMs);
        QVERIFY2(finished.wait(trimTimeoutMs), qPrintable(QStringLiteral("round %1").arg(round)));
        cancelTimer.stop();

        const auto outcome = finished.takeFirst().first().value<EncoderRun::Outcome>();
        const QString where = QStringLiteral("round %1, cancel after %2 ms").arg(round).arg(delayMs);
        // A cancel that came after the encoder had finished finds a complete
        // trim; anything else is a cancelled one, never a failure.
        if (outcome == EncoderRun::Outcome::Succeeded) {
            QVERIFY2(probesAsVideo(output), qPrintable(where));
            QCOMPARE(alerts.last().first().value<QMessageBox *>()->text(), AppTesting::successMessage);
            QVERIFY(QFile::remove(output));
        } else {
            QVERIFY2(outcome == EncoderRun::Outcome::Cancelled, qPrintable(where));
            QVERIFY2(!QFile::exists(output), qPrintable(where));
            QVERIFY2(alerts.isEmpty(), qPrintable(where));
            ++cancelled;
        }
        QVERIFY2(partialFiles(folder.path()).isEmpty(), qPrintable(where));
        QTRY_VERIFY2(ChildProcesses::running().isEmpty(), qPrintable(where));
        QTRY_VERIFY2(ChildProcesses::zombies().isEmpty(), qPrintable(where));
        QVERIFY(!delegate->isTrimming());
        QVERIFY(trimButton->isEnabled());
    }
    qInfo("%d of %d cancels stopped the encoder; a whole run took %d ms", cancelled, randomCancelCount, runLengthMs);
    QVERIFY2(cancelled > 0, "no round cancelled a running encoder");

    // Still usable: a trim after all that runs to its end.
    delegate->savePanelFinished(output);
    QVERIFY(finished.wait(trimTimeoutMs));
    QCOMPARE(finished.takeFirst().first().value<EncoderRun::Outcome>(), EncoderRun::Outcome::Succeeded);
    QVERIFY(probesAsVideo(output));
}

void TestTrimFaults::quitWhileTrimming_data()
{
    QTest::addColumn<bool>("byClosingTheWindow");
    QTest::addColumn<bool>("stop");

    QTest::newRow("quit, keep trimming") << false << false;
    QTest::newRow("quit, stop and quit") << false << true;
    QTest::newRow("close the window, keep trimming") << true << false;
    QTest::newRow("close the window, stop and quit") << true << true;
}

void TestTrimFaults::quitWhileTrimming()
{
    QFETCH(bool, byClosingTheWindow);
    QFETCH(bool, stop);
    QTemporaryDir folder;
    auto delegate = launched(AppTesting::resourceFolderWith(folder.filePath(QStringLiteral("tools")), pacedRealEncoder()));
    delegate->openVideo(QUrl::fromLocalFile(m_clip));
    const DiagnosticLog::Capture quiet;
    auto *slider = delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    slider->setEnd(0.9);
    slider->setStart(0.1);
    const QString output = folder.filePath(QStringLiteral("out.mp4"));
    TrimRecorder trim(*delegate);
    QVERIFY(startAndAwaitProgress(*delegate, output));

    const bool mayQuit = byClosingTheWindow ? delegate->window()->close() : delegate->confirmQuit();
    QVERIFY(!mayQuit);
    QVERIFY(delegate->window()->isVisible());
    QVERIFY(delegate->isTrimming());
    QCOMPARE(trim.alertCount(), 1);
    QMessageBox *question = trim.lastAlert();
    QCOMPARE(question->icon(), QMessageBox::Question);
    QCOMPARE(question->windowModality(), Qt::WindowModal);
    QAbstractButton *stopAndQuit = buttonTitled(question, QStringLiteral("Stop and Quit"));
    QAbstractButton *keepTrimming = buttonTitled(question, QStringLiteral("Keep Trimming"));
    QVERIFY(stopAndQuit && keepTrimming);
    QCOMPARE(question->buttons().size(), 2);

    if (!stop) {
        keepTrimming->click();
        QVERIFY(delegate->isTrimming());
        QVERIFY(trim.waitForEnd());
        QCOMPARE(trim.outcome(), EncoderRun::Outcome::Succeeded);
        QVERIFY(delegate->window()->isVisible());
        QVERIFY(probesAsVideo(output));
        QCOMPARE(trim.lastAlert()->text(), AppTesting::successMessage);
        return;
    }

    stopAndQuit->click();
    QVERIFY(trim.waitForEnd());
    QCOMPARE(trim.outcome(), EncoderRun::Outcome::Cancelled);
    QTRY_VERIFY(!delegate->window()->isVisible());
    QVERIFY(!QFile::exists(output));
    QCOMPARE(partialFiles(folder.path()), QStringList());
    QCOMPARE(trim.alertCount(), 1);
}

void TestTrimFaults::failedTrimKeepsTheExistingOutput_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("encoder fails") << false;
    QTest::newRow("user cancels") << true;
}

// The user agreed to replace the file; a trim that does not succeed must
// still not take it away.
void TestTrimFaults::failedTrimKeepsTheExistingOutput()
{
    QFETCH(bool, cancel);
    QTemporaryDir folder;
    const QByteArray trimCommand = cancel ? pacedRealEncoder() : AppTesting::fakeEncoderCommand(QStringLiteral("encoder-failing"));
    auto delegate = launched(AppTesting::resourceFolderWith(folder.filePath(QStringLiteral("tools")), trimCommand));
    delegate->openVideo(QUrl::fromLocalFile(m_clip));
    const QString output = folder.filePath(QStringLiteral("precious.mp4"));
    QVERIFY(QFile::copy(m_denseClip, output));
    const QByteArray before = AppTesting::fileContents(output);
    const QStringList listingBefore = AppTesting::folderListing(folder.path());

    const DiagnosticLog::Capture quiet;
    TrimRecorder trim(*delegate);
    if (cancel) {
        QVERIFY(startAndAwaitProgress(*delegate, output));
        delegate->closeBTNInsideProgressWindowClicked();
    } else {
        delegate->savePanelFinished(output);
    }
    QVERIFY(trim.waitForEnd());

    QCOMPARE(trim.outcome(),
             cancel ? EncoderRun::Outcome::Cancelled : EncoderRun::Outcome::Failed);
    QCOMPARE(trim.alertCount(), cancel ? 0 : 1);
    if (!cancel)
        QCOMPARE(trim.lastAlert()->text(), AppTesting::failureMessage);
    QVERIFY(AppTesting::fileContents(output) == before);
    QCOMPARE(AppTesting::folderListing(folder.path()), listingBefore);
}

QTEST_MAIN(TestTrimFaults)
#include "tst_trimfaults.moc"

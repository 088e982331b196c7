// Files that are not what they claim to be, and names that command lines and
// file systems find awkward, opened and trimmed through the app controller
// with the real tools. Each ends in the right alert or in a correct trim, and
// nothing appears beside the input except a successful trim's output.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "appdelegate.h"
#include "appfixture.h"
#include "apptesting.h"
#include "trimrecorder.h"
#include "childprocesses.h"
#include "diagnosticlog.h"
#include "encoderrun.h"
#include "fileprobe.h"
#include "mediafactory.h"
#include "toollocator.h"

namespace {

constexpr int trimTimeoutMs = 120000;

const QString unsupportedMessage =
    QStringLiteral("Seems to be an unsupported file.\nDoes the video play in a video player?");
const QString unsupportedInformativeStart = QStringLiteral("Please try opening some other file or contact : ");
// How a bad input is made from the good clips.
enum class Damage { Empty, RandomBytes, IndexCutOff, MatroskaHeader, Folder, FolderNamedLikeAVideo };

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The same bytes every run: random data that happened to look like a format
// would make the test flaky.
QByteArray randomBytes(qsizetype count)
{
    QRandomGenerator generator(20240617);
    QByteArray bytes(count, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray withoutIndex(const QByteArray &mp4)
{
    // The index atom sits at the end of a file written without faststart;
    // cut at its size field, four bytes before its name.
    const qsizetype index = mp4.lastIndexOf("moov");
    return index > 4 ? mp4.left(index - 4) : QByteArray();
}

QByteArray withDamagedHeader(QByteArray mkv)
{
    // The EBML magic and the document type, which say "Matroska".
    for (qsizetype i = 0; i < 64 && i < mkv.size(); ++i)
        mkv[i] = static_cast<char>(~mkv.at(i));
    return mkv;
}

QString fileName255Bytes(QChar letter, const QString &suffix)
{
    return QString(255 - suffix.size(), letter) + suffix;
}

} // namespace

class TestBadInputs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void rejectedInputsShowTheUnsupportedAlert_data();
    void rejectedInputsShowTheUnsupportedAlert();
    void awkwardNamesOpenAndTrim_data();
    void awkwardNamesOpenAndTrim();
    void clipTruncatedToAThirdIsReportedHonestly();
    void inputRemovedBeforeTrimmingFails();
    void outputNameOfTheLongestAllowedLength();
    void inputWithoutExtensionTrimsUnderTheProposedName();

private:
    QString badInput(Damage damage, const QString &folder) const;

    QTemporaryDir m_media;
    QTemporaryDir m_temporaryBase;
    QString m_mp4;
    QString m_fastStartMp4;
    QString m_mkv;
};

void TestBadInputs::initTestCase()
{
    const MediaFactory factory(m_media.path());
    m_mp4 = factory.videoClip(QStringLiteral("clip.mp4"), 3);
    m_mkv = factory.videoClip(QStringLiteral("clip.mkv"), 3);
    m_fastStartMp4 = factory.generate(QStringLiteral("faststart.mp4"),
        {QStringLiteral("-i"), m_mp4, QStringLiteral("-c"), QStringLiteral("copy"),
         QStringLiteral("-movflags"), QStringLiteral("+faststart")});
    QVERIFY(!m_mp4.isEmpty() && !m_mkv.isEmpty() && !m_fastStartMp4.isEmpty());
    // The index must really be at the end for the cut-off case to mean anything.
    QVERIFY(AppTesting::fileContents(m_mp4).lastIndexOf("moov") > AppTesting::fileContents(m_mp4).lastIndexOf("mdat"));
}

void TestBadInputs::cleanup()
{
    QTRY_VERIFY(ChildProcesses::running().isEmpty());
    QTRY_VERIFY(ChildProcesses::zombies().isEmpty());
}

QString TestBadInputs::badInput(Damage damage, const QString &folder) const
{
    const QDir dir(folder);
    switch (damage) {
    case Damage::Empty: {
        const QString path = dir.filePath(QStringLiteral("empty.mp4"));
        return writeBytes(path, {}) ? path : QString();
    }
    case Damage::RandomBytes: {
        const QString path = dir.filePath(QStringLiteral("noise.mp4"));
        return writeBytes(path, randomBytes(64 * 1024)) ? path : QString();
    }
    case Damage::IndexCutOff: {
        const QString path = dir.filePath(QStringLiteral("no-index.mp4"));
        const QByteArray cut = withoutIndex(AppTesting::fileContents(m_mp4));
        return !cut.isEmpty() && writeBytes(path, cut) ? path : QString();
    }
    case Damage::MatroskaHeader: {
        const QString path = dir.filePath(QStringLiteral("damaged.mkv"));
        return writeBytes(path, withDamagedHeader(AppTesting::fileContents(m_mkv))) ? path : QString();
    }
    case Damage::Folder:
        return dir.mkdir(QStringLiteral("a folder")) ? dir.filePath(QStringLiteral("a folder")) : QString();
    case Damage::FolderNamedLikeAVideo:
        return dir.mkdir(QStringLiteral("movie.mp4")) ? dir.filePath(QStringLiteral("movie.mp4")) : QString();
    }
    return {};
}

void TestBadInputs::rejectedInputsShowTheUnsupportedAlert_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::newRow("empty file named .mp4") << Damage::Empty;
    QTest::newRow("random bytes named .mp4") << Damage::RandomBytes;
    QTest::newRow("mp4 with its index cut off") << Damage::IndexCutOff;
    QTest::newRow("damaged Matroska header") << Damage::MatroskaHeader;
    QTest::newRow("folder") << Damage::Folder;
    QTest::newRow("folder named like a video") << Damage::FolderNamedLikeAVideo;
}

void TestBadInputs::rejectedInputsShowTheUnsupportedAlert()
{
    QFETCH(Damage, damage);
    QTemporaryDir folder;
    const QString input = badInput(damage, folder.path());
    QVERIFY(!input.isEmpty());
    const QStringList before = AppTesting::folderListing(folder.path());
    const QByteArray bytesBefore = AppTesting::fileContents(input);

    auto delegate = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    TrimRecorder trim(*delegate);
    delegate->openVideo(QUrl::fromLocalFile(input));

    QCOMPARE(trim.alertCount(), 1);
    auto *alert = trim.firstAlert();
    QCOMPARE(alert->text(), unsupportedMessage);
    QVERIFY(alert->informativeText().startsWith(unsupportedInformativeStart));
    QVERIFY(!delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->isEnabled());

    // The Save menu item stays enabled, but offers nothing for a rejected file.
    delegate->window()->findChild<QAction *>(QStringLiteral("saveMenuBTN"))->trigger();
    QVERIFY(!delegate->window()->findChild<QFileDialog *>());
    QVERIFY(!delegate->isTrimming());
    QCOMPARE(AppTesting::folderListing(folder.path()), before);
    QCOMPARE(AppTesting::fileContents(input), bytesBefore);
}

void TestBadInputs::awkwardNamesOpenAndTrim_data()
{
    QTest::addColumn<QString>("inputName");
    QTest::addColumn<QString>("outputName");

    QTest::newRow("blanks") << QStringLiteral(" my  clip .mp4") << QStringLiteral("trimmed  clip .mp4");
    QTest::newRow("single and double quotes") << QStringLiteral("it's a \"clip\".mp4")
                                              << QStringLiteral("'trimmed' \"clip\".mp4");
    QTest::newRow("newline") << QStringLiteral("two\nlines.mp4") << QStringLiteral("trimmed\nclip.mp4");
    // Leading dashes read like options; the input follows "-i" and the
    // encoder's output is a hidden partial file, so neither is taken as one.
    QTest::newRow("leading dash -i") << QStringLiteral("-i.mp4") << QStringLiteral("-y.mp4");
    QTest::newRow("leading dash -y") << QStringLiteral("-y.mp4") << QStringLiteral("-i.mp4");
    // What the encoder could read as a protocol prefix or a frame-number pattern.
    QTest::newRow("colon and percent") << QStringLiteral("file:clip%03d.mp4") << QStringLiteral("pipe:%d.mp4");
    QTest::newRow("decomposed Unicode") << QStringLiteral("cafe\u0301 cre\u0300me.mp4")
                                        << QStringLiteral("re\u0301sume\u0301.mp4");
    QTest::newRow("input name of 255 bytes") << fileName255Bytes(QLatin1Char('a'), QStringLiteral(".mp4"))
                                             << QStringLiteral("short.mp4");
}

void TestBadInputs::awkwardNamesOpenAndTrim()
{
    const DiagnosticLog::Capture quiet;
    QFETCH(QString, inputName);
    QFETCH(QString, outputName);
    QTemporaryDir folder;
    const QString input = folder.filePath(inputName);
    QVERIFY(QFile::copy(m_mp4, input));
    const QString output = folder.filePath(outputName);
    const QStringList before = AppTesting::folderListing(folder.path());

    auto delegate = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    TrimRecorder trim(*delegate);
    delegate->openVideo(QUrl::fromLocalFile(input));
    QVERIFY2((trim.alertCount() == 0), qPrintable((trim.alertCount() == 0) ? QString()
                                          : trim.firstAlert()->text()));
    QCOMPARE(delegate->globalFP()->fileFullPath(), std::optional<QString>(input));

    delegate->savePanelFinished(output);
    const auto *run = delegate->findChild<EncoderRun *>();
    QVERIFY(run && run->process());
    const QStringList arguments = run->process()->arguments();
    QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("-i")) + 1), input);
    QVERIFY(QFileInfo(arguments.last()).fileName().startsWith(QLatin1Char('.')));
    QCOMPARE(QFileInfo(arguments.last()).absolutePath(), folder.path());

    QVERIFY(trim.waitForEnd());
    QCOMPARE(trim.outcome(), EncoderRun::Outcome::Succeeded);
    QCOMPARE(trim.alertCount(), 1);
    QCOMPARE(trim.firstAlert()->text(), AppTesting::successMessage);
    const auto probe = FileProbe::create(output, ToolLocator(MediaFactory::toolsFolder()));
    QVERIFY(probe->isValidMediaFile());
    QVERIFY(probe->hasVideoTrack());
    // Only the output appears, under the very name chosen (not normalised).
    QStringList expected = before + QStringList{outputName};
    expected.sort();
    QCOMPARE(AppTesting::folderListing(folder.path()), expected);
    QCOMPARE(AppTesting::fileContents(input), AppTesting::fileContents(m_mp4));
}

void TestBadInputs::clipTruncatedToAThirdIsReportedHonestly()
{
    const DiagnosticLog::Capture quiet;
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("third.mp4"));
    const QByteArray whole = AppTesting::fileContents(m_fastStartMp4);
    QVERIFY(writeBytes(input, whole.left(whole.size() / 3)));
    const QStringList before = AppTesting::folderListing(folder.path());

    auto delegate = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    TrimRecorder trim(*delegate);
    delegate->openVideo(QUrl::fromLocalFile(input));
    if (!(trim.alertCount() == 0)) {
        QCOMPARE(trim.firstAlert()->text(), unsupportedMessage);
        QCOMPARE(AppTesting::folderListing(folder.path()), before);
        return;
    }

    // The index is whole, so the file opens with its full length; most of
    // the samples it lists are missing. Whatever the trim gives, the alert
    // must tell the truth about the file it leaves.
    const QString output = folder.filePath(QStringLiteral("out.mp4"));
    QSignalSpy finished(delegate.get(), &AppDelegate::trimFinished);
    QVERIFY(trim.trim(output));
    QCOMPARE(trim.alertCount(), 1);
    const QString message = trim.firstAlert()->text();
    if (message == AppTesting::successMessage) {
        QVERIFY(FileProbe::create(output, ToolLocator(MediaFactory::toolsFolder()))->isValidMediaFile());
        QStringList expected = before + QStringList{QStringLiteral("out.mp4")};
        expected.sort();
        QCOMPARE(AppTesting::folderListing(folder.path()), expected);
    } else {
        QCOMPARE(message, AppTesting::failureMessage);
        QCOMPARE(AppTesting::folderListing(folder.path()), before);
    }
}

void TestBadInputs::inputRemovedBeforeTrimmingFails()
{
    const DiagnosticLog::Capture quiet;
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("vanishing.mp4"));
    QVERIFY(QFile::copy(m_mp4, input));

    auto delegate = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    delegate->openVideo(QUrl::fromLocalFile(input));
    QVERIFY(delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->isEnabled());
    QVERIFY(QFile::remove(input));
    const QStringList before = AppTesting::folderListing(folder.path());

    TrimRecorder trim(*delegate);
    QVERIFY(trim.trim(folder.filePath(QStringLiteral("out.mp4"))));
    QCOMPARE(trim.outcome(), EncoderRun::Outcome::Failed);
    QCOMPARE(trim.alertCount(), 1);
    auto *alert = trim.firstAlert();
    QCOMPARE(alert->text(), AppTesting::failureMessage);
    QVERIFY2(alert->informativeText().contains(QStringLiteral("No such file")), qPrintable(alert->informativeText()));
    QCOMPARE(AppTesting::folderListing(folder.path()), before);
}

// The file system takes names of up to 255 bytes, and the save dialog lets
// the user type one. The encoder writes a hidden partial file first, whose
// name adds a prefix and a random tag to the output's, so it must give way.
void TestBadInputs::outputNameOfTheLongestAllowedLength()
{
    const DiagnosticLog::Capture quiet;
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(QFile::copy(m_mp4, input));
    const QString outputName = fileName255Bytes(QLatin1Char('b'), QStringLiteral(".mp4"));
    const QString output = folder.filePath(outputName);
    QVERIFY2(writeBytes(output, "placeholder"), "the file system takes a name of 255 bytes");
    QVERIFY(QFile::remove(output));
    const QStringList before = AppTesting::folderListing(folder.path());

    auto delegate = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    delegate->openVideo(QUrl::fromLocalFile(input));
    TrimRecorder trim(*delegate);
    QVERIFY(trim.trim(output));
    QCOMPARE(trim.alertCount(), 1);
    const QString message = trim.firstAlert()->text();
    // Whatever happens, no partial file is left and a failure writes nothing.
    if (message != AppTesting::successMessage)
        QCOMPARE(AppTesting::folderListing(folder.path()), before);
    QCOMPARE(message, AppTesting::successMessage);
    QVERIFY(FileProbe::create(output, ToolLocator(MediaFactory::toolsFolder()))->isValidMediaFile());
    QStringList expected = before + QStringList{outputName};
    expected.sort();
    QCOMPARE(AppTesting::folderListing(folder.path()), expected);
}

// Without an extension the save dialog has no type to add, and proposes the
// bare name "Trimmed"; taking it must still give a trimmed video.
void TestBadInputs::inputWithoutExtensionTrimsUnderTheProposedName()
{
    const DiagnosticLog::Capture quiet;
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("clip"));
    QVERIFY(QFile::copy(m_mp4, input));
    const QStringList before = AppTesting::folderListing(folder.path());

    auto delegate = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    delegate->openVideo(QUrl::fromLocalFile(input));
    TrimRecorder trim(*delegate);
    delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->trigger();
    auto *dialog = delegate->window()->findChild<QFileDialog *>();
    QVERIFY(dialog);
    const QString proposed = dialog->selectedFiles().value(0);
    QCOMPARE(proposed, folder.filePath(QStringLiteral("Trimmed")));
    static_cast<QDialog *>(dialog)->accept();
    QVERIFY(trim.waitForEnd());
    QCOMPARE(trim.alertCount(), 1);
    const QString message = trim.firstAlert()->text();
    if (message != AppTesting::successMessage)
        QCOMPARE(AppTesting::folderListing(folder.path()), before);
    QCOMPARE(message, AppTesting::successMessage);
    QVERIFY(FileProbe::create(proposed, ToolLocator(MediaFactory::toolsFolder()))->isValidMediaFile());
}

QTEST_MAIN(TestBadInputs)
#include "tst_badinputs.moc"

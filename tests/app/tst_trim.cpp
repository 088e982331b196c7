#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "appdelegate.h"
#include "appfixture.h"
#include "apptesting.h"
#include "trimrecorder.h"
#include "childprocesses.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "json.h"
#include "mediafactory.h"
#include "rangeslider.h"
#include "toollocator.h"

namespace {

constexpr int trimTimeoutMs = TrimRecorder::trimTimeoutMs;

QStringList keyframeEverySecond()
{
    return {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
            QStringLiteral("-g"), QStringLiteral("5"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
}

QStringList lavfi(const QString &source)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source};
}

int audioChannels(const FileProbe &probe)
{
    for (const QVariantMap &track : probe.tracksInfo()) {
        if (track.value(QStringLiteral("trackType")).toString() == QLatin1String("Audio"))
            return static_cast<int>(JSON::fromObject(track.value(QStringLiteral("trackDictionary")))
                                        [QStringLiteral("channels")].intValue());
    }
    return 0;
}

} // namespace

class TestTrim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void streamCopyOfAMiddleSegment();
    void reencodeDownmixesAndDropsSubtitles();
    void saveDialogProposesTheAllowedType_data();
    void saveDialogProposesTheAllowedType();
    void sameFileIsRefused_data();
    void sameFileIsRefused();
    void emptySelectionIsRefusedBeforeTheDialog();
    void cancelStopsTheEncoderAndLeavesNothing();
    void failingEncoderNeverReportsSuccess();
    void missingEncoderReportsFailure();

private:
    std::unique_ptr<AppDelegate> launched(const QString &resourceFolder) const
    {
        return AppTesting::launchedDelegate(resourceFolder, m_work.filePath(QStringLiteral("tmp")));
    }
    QMessageBox *trimTo(AppDelegate &delegate, const QString &outputPath);

    QTemporaryDir m_work;
    QString m_stereo;
    QString m_surround;
    QString m_noExtension;
};

void TestTrim::initTestCase()
{
    const MediaFactory factory(m_work.path());
    m_stereo = factory.generate(QStringLiteral("stereo.mp4"),
        lavfi(QStringLiteral("testsrc2=size=64x48:rate=5:duration=12"))
            + lavfi(QStringLiteral("sine=frequency=440:sample_rate=8000:duration=12"))
            + keyframeEverySecond() + QStringList{QStringLiteral("-ac"), QStringLiteral("2"),
                                                  QStringLiteral("-c:a"), QStringLiteral("aac")});
    const QString subtitles = factory.writeFile(QStringLiteral("subs.srt"),
        "1\n00:00:00,000 --> 00:00:10,000\nHello\n\n");
    m_surround = factory.generate(QStringLiteral("surround.mkv"),
        lavfi(QStringLiteral("testsrc2=size=64x48:rate=5:duration=12"))
            + lavfi(QStringLiteral("sine=frequency=440:sample_rate=8000:duration=12"))
            + QStringList{QStringLiteral("-i"), subtitles, QStringLiteral("-map"), QStringLiteral("0:v"),
                          QStringLiteral("-map"), QStringLiteral("1:a"), QStringLiteral("-map"), QStringLiteral("2:s")}
            + keyframeEverySecond()
            + QStringList{QStringLiteral("-ac"), QStringLiteral("6"), QStringLiteral("-c:a"), QStringLiteral("aac"),
                          QStringLiteral("-c:s"), QStringLiteral("srt")});
    m_noExtension = factory.path(QStringLiteral("clip"));
    QVERIFY(QFile::copy(m_stereo, m_noExtension));
    QVERIFY(!m_stereo.isEmpty() && !m_surround.isEmpty());
}

void TestTrim::cleanup()
{
    QTRY_VERIFY(ChildProcesses::running().isEmpty());
    QVERIFY(ChildProcesses::zombies().isEmpty());
}

// Trims into `outputPath` as the save dialog's confirmation does, and gives
// the alert shown at the end, if any.
QMessageBox *TestTrim::trimTo(AppDelegate &delegate, const QString &outputPath)
{
    TrimRecorder recorder(delegate);
    return recorder.trim(outputPath) ? recorder.lastAlert() : nullptr;
}

void TestTrim::streamCopyOfAMiddleSegment()
{
    auto delegate = launched(MediaFactory::toolsFolder());
    delegate->openVideo(QUrl::fromLocalFile(m_stereo));
    auto *slider = delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    slider->setEnd(0.75);
    slider->setStart(0.25);

    const QString output = m_work.filePath(QStringLiteral("copy-out.mp4"));
    DiagnosticLog::Capture printed;
    QMessageBox *alert = trimTo(*delegate, output);
    QVERIFY(alert);
    QCOMPARE(alert->text(), AppTesting::successMessage);
    const QRegularExpression informative(QStringLiteral(
        "^Input Duration: 0:00:12\\.\\d{3} \\([^)]+\\)\nOutput Duration: 0:00:0[5-7]\\.\\d{3} \\([^)]+\\)$"));
    QVERIFY2(informative.match(alert->informativeText()).hasMatch(), qPrintable(alert->informativeText()));
    QStringList buttons;
    for (QAbstractButton *button : alert->buttons())
        buttons << button->text();
    QVERIFY(buttons.contains(QStringLiteral("OK")));
    QVERIFY(buttons.contains(QStringLiteral("Show in Finder")));

    const auto probe = FileProbe::create(output, ToolLocator(MediaFactory::toolsFolder()));
    QVERIFY(probe->isValidMediaFile());
    QVERIFY(qAbs(probe->duration() - 6.0) < 1.0);
    QVERIFY(probe->hasAudioTrack());
    // The command line is printed, with the file the encoder really writes.
    const QString line = printed.lines().value(0);
    QVERIFY2(line.startsWith(QStringLiteral("[\"-ss\", \"0:00:03.000\", \"-i\", ")), qPrintable(line));
    QVERIFY(line.contains(QStringLiteral("\"-c\", \"copy\"")));
    QVERIFY(!line.contains(QStringLiteral("\"") + output + QStringLiteral("\"")));
    // Nothing but the output is left beside it.
    QCOMPARE(QDir(m_work.path()).entryList({QStringLiteral("*partial*")}, QDir::Files | QDir::Hidden), QStringList());
}

void TestTrim::reencodeDownmixesAndDropsSubtitles()
{
    auto delegate = launched(MediaFactory::toolsFolder());
    delegate->openVideo(QUrl::fromLocalFile(m_surround));
    QVERIFY(delegate->globalFP()->hasAudioTrackWhichHasMoreThanTwoChannels());
    QVERIFY(delegate->globalFP()->hasSubtitleTrack());
    delegate->window()->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"))->setChecked(true);
    auto *slider = delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    slider->setEnd(0.5);
    slider->setStart(0.25);

    const QString output = m_work.filePath(QStringLiteral("encoded-out.mp4"));
    QMessageBox *alert = trimTo(*delegate, output);
    QVERIFY(alert);
    QCOMPARE(alert->text(), AppTesting::successMessage);

    const auto probe = FileProbe::create(output, ToolLocator(MediaFactory::toolsFolder()));
    QVERIFY(probe->hasVideoTrack());
    QVERIFY(!probe->hasSubtitleTrack());
    QCOMPARE(audioChannels(*probe), 2);
    // The encoder starts the streams a little after zero, which the container counts in.
    QVERIFY2(qAbs(probe->duration() - delegate->globalFP()->duration() * 0.25) < 1.0,
             qPrintable(QString::number(probe->duration())));
}

void TestTrim::saveDialogProposesTheAllowedType_data()
{
    QTest::addColumn<int>("clip");
    QTest::addColumn<bool>("forceEncode");
    QTest::addColumn<QString>("proposedName");
    QTest::addColumn<QString>("defaultSuffix");

    QTest::newRow("stream copy keeps the extension") << 1 << false << QStringLiteral("Trimmed.mkv") << QStringLiteral("mkv");
    QTest::newRow("force encode gives mp4") << 1 << true << QStringLiteral("Trimmed.mp4") << QStringLiteral("mp4");
    QTest::newRow("no extension, any name") << 2 << false << QStringLiteral("Trimmed") << QString();
}

void TestTrim::saveDialogProposesTheAllowedType()
{
    QFETCH(int, clip);
    QFETCH(bool, forceEncode);
    QFETCH(QString, proposedName);
    QFETCH(QString, defaultSuffix);

    auto delegate = launched(MediaFactory::toolsFolder());
    delegate->openVideo(QUrl::fromLocalFile(QStringList{m_stereo, m_surround, m_noExtension}.at(clip)));
    delegate->window()->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"))->setChecked(forceEncode);
    delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->trigger();

    auto *dialog = delegate->window()->findChild<QFileDialog *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(dialog->defaultSuffix(), defaultSuffix);
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), proposedName);

    // Naming a file outside the allowed type still writes that type.
    QSignalSpy finished(delegate.get(), &AppDelegate::trimFinished);
    // Without a type to keep, the name the user gives decides it.
    const QString chosen = m_work.filePath(QStringLiteral("dialog-%1%2")
        .arg(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')),
             defaultSuffix.isEmpty() ? QStringLiteral(".mov") : QString()));
    dialog->selectFile(chosen);
    static_cast<QDialog *>(dialog)->accept();
    QVERIFY(finished.wait(trimTimeoutMs));
    const QString expected = defaultSuffix.isEmpty() ? chosen : chosen + QLatin1Char('.') + defaultSuffix;
    QVERIFY2(QFile::exists(expected), qPrintable(expected));
}

void TestTrim::sameFileIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    // The other names of one file are told apart by the same-file test; these
    // show the refusal is wired in.
    QTest::newRow("equal text") << QStringLiteral("equal");
    QTest::newRow("symbolic link") << QStringLiteral("symlink");
    QTest::newRow("decomposed Unicode") << QStringLiteral("unicode");
}

void TestTrim::sameFileIsRefused()
{
    QFETCH(QString, kind);
    QTemporaryDir folder;
    const QString composed = QStringLiteral("caf\u00e9.mp4");
    const QString input = folder.filePath(composed);
    QVERIFY(QFile::copy(m_stereo, input));

    QString output;
    if (kind == QLatin1String("equal")) {
        output = input;
    } else if (kind == QLatin1String("symlink")) {
        output = folder.filePath(QStringLiteral("link.mp4"));
        QVERIFY(QFile::link(input, output));
    } else {
        output = folder.filePath(composed.normalized(QString::NormalizationForm_D));
    }

    auto delegate = launched(MediaFactory::toolsFolder());
    delegate->openVideo(QUrl::fromLocalFile(input));
    const QByteArray before = AppTesting::fileContents(input);
    QSignalSpy alerts(delegate.get(), &AppDelegate::alertShown);
    QSignalSpy finished(delegate.get(), &AppDelegate::trimFinished);
    delegate->savePanelFinished(output);
    QCOMPARE(alerts.count(), 1);
    auto *alert = alerts.first().first().value<QMessageBox *>();
    QCOMPARE(alert->text(), QStringLiteral("Input file name is same as the output file name!"));
    QCOMPARE(alert->informativeText(), QStringLiteral("Please specify a different file to save."));
    QVERIFY(!delegate->isTrimming());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(AppTesting::fileContents(input), before);
}

void TestTrim::emptySelectionIsRefusedBeforeTheDialog()
{
    auto delegate = launched(MediaFactory::toolsFolder());
    delegate->openVideo(QUrl::fromLocalFile(m_stereo));
    auto *slider = delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    slider->setStart(0.6);
    slider->setEnd(0.4);
    QSignalSpy alerts(delegate.get(), &AppDelegate::alertShown);
    delegate->window()->findChild<QAction *>(QStringLiteral("saveMenuBTN"))->trigger();
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(alerts.first().first().value<QMessageBox *>()->text(), QStringLiteral("The selection is empty."));
    QVERIFY(!delegate->window()->findChild<QFileDialog *>());
    QVERIFY(!delegate->isTrimming());
}

void TestTrim::cancelStopsTheEncoderAndLeavesNothing()
{
    QTemporaryDir folder;
    auto delegate = launched(AppTesting::resourceFolderWith(folder.filePath(QStringLiteral("tools")),
                                                    AppTesting::fakeEncoderCommand(QStringLiteral("encoder-lingering"))));
    delegate->openVideo(QUrl::fromLocalFile(m_stereo));
    const QString output = folder.filePath(QStringLiteral("cancelled.mp4"));

    QSignalSpy finished(delegate.get(), &AppDelegate::trimFinished);
    QSignalSpy alerts(delegate.get(), &AppDelegate::alertShown);
    delegate->savePanelFinished(output);
    auto *sheet = delegate->window()->findChild<QDialog *>(QStringLiteral("ProgressSheet"));
    QVERIFY(sheet);
    QTRY_VERIFY(sheet->isVisible());
    QCOMPARE(sheet->findChild<QLabel *>(QStringLiteral("progressTitle"))->text(), QStringLiteral("Trimming Video..."));
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QTRY_VERIFY(sheet->findChild<QProgressBar *>()->value() > 0);

    QTest::mouseClick(sheet->findChild<QPushButton *>(QStringLiteral("progressCancel")), Qt::LeftButton);
    QCOMPARE(delegate->isProcessCancelledByUser(), std::optional<bool>(true));
    // The encoder takes a moment to stop; until it has, the sheet stays.
    QVERIFY(sheet->isVisible());
    QVERIFY(delegate->isTrimming());
    QVERIFY(finished.wait(trimTimeoutMs));
    QCOMPARE(finished.first().first().value<EncoderRun::Outcome>(), EncoderRun::Outcome::Cancelled);
    QVERIFY(!sheet->isVisible());
    QVERIFY(alerts.isEmpty());
    QVERIFY(!QFile::exists(output));
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*partial*")}, QDir::Files | QDir::Hidden), QStringList());

    // The next trim starts afresh.
    delegate->savePanelFinished(output);
    QCOMPARE(delegate->isProcessCancelledByUser(), std::optional<bool>(false));
    delegate->closeBTNInsideProgressWindowClicked();
    QVERIFY(finished.wait(trimTimeoutMs));
}

void TestTrim::failingEncoderNeverReportsSuccess()
{
    QTemporaryDir folder;
    auto delegate = launched(AppTesting::resourceFolderWith(folder.filePath(QStringLiteral("tools")),
                                                    AppTesting::fakeEncoderCommand(QStringLiteral("encoder-failing"))));
    delegate->openVideo(QUrl::fromLocalFile(m_stereo));
    const QString output = folder.filePath(QStringLiteral("failed.mp4"));

    QMessageBox *alert = trimTo(*delegate, output);
    QVERIFY(alert);
    QCOMPARE(alert->text(), AppTesting::failureMessage);
    QCOMPARE(alert->icon(), QMessageBox::Warning);
    QVERIFY(alert->informativeText().contains(QStringLiteral("Conversion failed!")));
    QVERIFY(!QFile::exists(output));
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*partial*")}, QDir::Files | QDir::Hidden), QStringList());
}

void TestTrim::missingEncoderReportsFailure()
{
    QTemporaryDir folder;
    auto delegate = launched(AppTesting::resourceFolderWith(folder.filePath(QStringLiteral("tools")), QByteArray()));
    delegate->openVideo(QUrl::fromLocalFile(m_stereo));
    QVERIFY(delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->isEnabled());
    const QString output = folder.filePath(QStringLiteral("never.mp4"));

    QMessageBox *alert = trimTo(*delegate, output);
    QVERIFY(alert);
    QCOMPARE(alert->text(), AppTesting::failureMessage);
    QVERIFY(!QFile::exists(output));
    // Still usable: another file opens.
    delegate->openVideo(QUrl::fromLocalFile(m_surround));
    QVERIFY(delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->isEnabled());
}

QTEST_MAIN(TestTrim)
#include "tst_trim.moc"

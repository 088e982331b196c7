// Trims driven through the app controller, from the confirmed save dialog to
// the result alert, with real and misbehaving encoders. Every row ends in the
// same checks: the output appears only after a success, an existing file is
// kept byte for byte otherwise, nothing else appears, nothing is left behind.

#include <algorithm>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "apptest.h"
#include "fileprobe.h"
#include "timetext.h"

namespace {

enum class Encoder { Real, Paced, Failing, Lingering, Missing };
enum class Output { New, Existing, Folder, Unwritable, LinkToInput };
enum class Action { None, RemoveInput, RemoveInputWhileRunning, Cancel, OpenAnother, QuitAndKeep, QuitAndStop };
// Honest: either end will do, as long as the alert tells which.
enum class End { Trimmed, Failed, Cancelled, Refused, Honest };

struct TrimRow
{
    QString clip = QStringLiteral("stereo.mp4");
    QString inputName = QStringLiteral("in.mp4");
    QString outputName = QStringLiteral("out.mp4");
    Encoder encoder = Encoder::Real;
    bool forceEncode = false;
    Output output = Output::New;
    Action action = Action::None;
    End end = End::Trimmed;
    QString detail = {};
};

QStringList lavfi(const QString &source)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source};
}

// A keyframe every second, so a stream copy starts near the chosen start.
QStringList clipArguments(int seconds, int channels, const QStringList &moreInputs = {})
{
    return lavfi(QStringLiteral("testsrc2=size=64x48:rate=5:duration=%1").arg(seconds))
        + lavfi(QStringLiteral("sine=frequency=440:sample_rate=8000:duration=%1").arg(seconds)) + moreInputs
        + QStringList{QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                      QStringLiteral("ultrafast"), QStringLiteral("-g"), QStringLiteral("5"), QStringLiteral("-pix_fmt"),
                      QStringLiteral("yuv420p"), QStringLiteral("-ac"), QString::number(channels),
                      QStringLiteral("-c:a"), QStringLiteral("aac")};
}

QByteArray trimCommand(Encoder encoder)
{
    switch (encoder) {
    case Encoder::Real: return {};
    case Encoder::Paced: return AppTest::pacedEncoder();
    case Encoder::Failing: return AppTest::fakeEncoder(QStringLiteral("encoder-failing"));
    case Encoder::Lingering: return AppTest::fakeEncoder(QStringLiteral("encoder-lingering"));
    case Encoder::Missing: return {};
    }
    return {};
}

QList<QMessageBox *> resultAlerts(const AppHarness &harness)
{
    QList<QMessageBox *> found = harness.alerts();
    found.removeIf([](const QMessageBox *box) { return box->icon() == QMessageBox::Question; });
    return found;
}

QAbstractButton *buttonTitled(const QMessageBox *box, const QString &title)
{
    const QList<QAbstractButton *> buttons = box->buttons();
    const auto found = std::find_if(buttons.cbegin(), buttons.cend(),
                                    [&title](const QAbstractButton *button) { return button->text() == title; });
    return found == buttons.cend() ? nullptr : *found;
}

} // namespace

Q_DECLARE_METATYPE(TrimRow)

class TestTrimFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void trim_data();
    void trim();
    void saveDialog_data();
    void saveDialog();
    void randomCancelsLeaveNothingBehind();

private:
    QString prepareOutput(const TrimRow &row, const QString &folder, const QString &input) const;
    void actWhileRunning(AppHarness &harness, const TrimRow &row, const QString &input) const;

    QTemporaryDir m_media;
};

void TestTrimFlow::initTestCase()
{
    const MediaFactory factory(m_media.path());
    const QString subtitles = factory.writeFile(QStringLiteral("subs.srt"), "1\n00:00:00,000 --> 00:00:10,000\nHi\n\n");
    const QStringList map{QStringLiteral("-i"), subtitles, QStringLiteral("-map"), QStringLiteral("0:v"),
                          QStringLiteral("-map"), QStringLiteral("1:a"), QStringLiteral("-map"), QStringLiteral("2:s"),
                          QStringLiteral("-c:s"), QStringLiteral("srt")};
    const QString stereo = factory.generate(QStringLiteral("stereo.mp4"), clipArguments(12, 2));
    QVERIFY(!stereo.isEmpty() && !factory.generate(QStringLiteral("short.mp4"), clipArguments(3, 2)).isEmpty());
    QVERIFY(!factory.generate(QStringLiteral("surround.mkv"), clipArguments(12, 6, map)).isEmpty());
    QVERIFY(!factory.videoClip(QStringLiteral("dense.mp4"), 8, 2, 64, 48, QStringLiteral("25")).isEmpty());
    // With its index in front and most samples cut away, the file opens at
    // its full length but cannot be read to its end.
    const QString faststart = factory.generate(QStringLiteral("faststart.mp4"),
        {QStringLiteral("-i"), stereo, QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-movflags"),
         QStringLiteral("+faststart")});
    const QByteArray whole = AppTest::fileContents(faststart);
    QVERIFY(AppTest::writeFile(factory.path(QStringLiteral("third.mp4")), whole.left(whole.size() / 3)));
}

void TestTrimFlow::trim_data()
{
    QTest::addColumn<TrimRow>("row");
    const auto add = [](const char *name, const TrimRow &row) { QTest::newRow(name) << row; };
    add("stream copy", {});
    add("re-encode down-mixes and drops subtitles",
        {.clip = QStringLiteral("surround.mkv"), .inputName = QStringLiteral("in.mkv"), .forceEncode = true});
    // Blanks, quotes, a newline and a leading dash read like shell words or
    // options; NFD text must keep its bytes.
    add("awkward names", {.inputName = QStringLiteral("-i it's a \"clip\"\ncafe\u0301.mp4"),
                          .outputName = QStringLiteral("-y 'trimmed' \"re\u0301sume\u0301\"\n.mp4")});
    // The hidden partial file beside a 255-byte output must give way.
    add("names of 255 bytes", {.inputName = QString(251, QLatin1Char('a')) + QStringLiteral(".mp4"),
                               .outputName = QString(251, QLatin1Char('b')) + QStringLiteral(".mp4")});
    add("output is a link to the input", {.output = Output::LinkToInput, .end = End::Refused});
    add("failing encoder keeps the existing file", {.encoder = Encoder::Failing, .output = Output::Existing,
                                                     .end = End::Failed, .detail = QStringLiteral("Conversion failed!")});
    add("missing encoder", {.encoder = Encoder::Missing, .end = End::Failed});
    add("cancel keeps the existing file", {.encoder = Encoder::Lingering, .output = Output::Existing,
                                           .action = Action::Cancel, .end = End::Cancelled});
    add("unwritable place", {.output = Output::Unwritable, .end = End::Failed});
    add("output names a folder", {.output = Output::Folder, .end = End::Failed});
    add("input removed before", {.action = Action::RemoveInput, .end = End::Failed,
                                 .detail = QStringLiteral("No such file")});
    add("input removed while encoding", {.clip = QStringLiteral("short.mp4"), .encoder = Encoder::Paced,
                                         .forceEncode = true, .action = Action::RemoveInputWhileRunning,
                                         .end = End::Honest});
    add("truncated input", {.clip = QStringLiteral("third.mp4"), .end = End::Honest});
    add("another video opened while trimming",
        {.clip = QStringLiteral("short.mp4"), .encoder = Encoder::Paced, .action = Action::OpenAnother});
    add("quit, keep trimming", {.clip = QStringLiteral("short.mp4"), .encoder = Encoder::Paced,
                                .action = Action::QuitAndKeep});
    add("quit, stop and quit", {.clip = QStringLiteral("short.mp4"), .encoder = Encoder::Paced,
                                .action = Action::QuitAndStop, .end = End::Cancelled});
}

QString TestTrimFlow::prepareOutput(const TrimRow &row, const QString &folder, const QString &input) const
{
    const QString output = QDir(folder).filePath(row.outputName);
    switch (row.output) {
    case Output::New: return output;
    case Output::Existing: return AppTest::writeFile(output, "precious") ? output : QString();
    case Output::Folder: return QDir().mkdir(output) ? output : QString();
    // Root may write anywhere on disk, but not new files in /proc.
    case Output::Unwritable: return QStringLiteral("/proc/kestrel-trimmed.mp4");
    case Output::LinkToInput: return QFile::link(input, output) ? output : QString();
    }
    return {};
}

void TestTrimFlow::actWhileRunning(AppHarness &harness, const TrimRow &row, const QString &input) const
{
    QMainWindow *window = harness.app().window();
    auto *sheet = window->findChild<QDialog *>(QStringLiteral("ProgressSheet"));
    switch (row.action) {
    case Action::None:
    case Action::RemoveInput:
        break;
    case Action::RemoveInputWhileRunning:
        QVERIFY(QFile::remove(input));
        break;
    case Action::Cancel:
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QCOMPARE(sheet->findChild<QLabel *>(QStringLiteral("progressTitle"))->text(), AppTexts::trimming);
        QTRY_VERIFY(sheet->findChild<QProgressBar *>()->value() > 0);
        QTest::mouseClick(sheet->findChild<QPushButton *>(QStringLiteral("progressCancel")), Qt::LeftButton);
        QCOMPARE(harness.app().isProcessCancelledByUser(), std::optional<bool>(true));
        // The encoder takes a moment to stop; until it has, the sheet stays.
        QVERIFY(sheet->isVisible() && harness.app().isTrimming());
        break;
    case Action::OpenAnother:
        harness.open(m_media.filePath(QStringLiteral("stereo.mp4")));
        break;
    case Action::QuitAndKeep:
    case Action::QuitAndStop: {
        QVERIFY(!window->close());
        QVERIFY(window->isVisible() && harness.app().isTrimming());
        QMessageBox *question = harness.lastAlert();
        QVERIFY(question && question->icon() == QMessageBox::Question);
        QCOMPARE(question->buttons().size(), 2);
        const bool stop = row.action == Action::QuitAndStop;
        QAbstractButton *answer = buttonTitled(question, stop ? AppTexts::stopAndQuit : AppTexts::keepTrimming);
        QVERIFY(answer);
        answer->click();
        QVERIFY(harness.waitForEnd());
        QTRY_COMPARE(window->isVisible(), !stop);
        break;
    }
    }
}

void TestTrimFlow::trim()
{
    QFETCH(TrimRow, row);
    QTemporaryDir folder;
    QTemporaryDir tools;
    const QString input = folder.filePath(row.inputName);
    QVERIFY(QFile::copy(m_media.filePath(row.clip), input));
    const QString output = prepareOutput(row, folder.path(), input);
    QVERIFY(!output.isEmpty());
    QStringList listing = AppTest::folderListing(folder.path());
    const QByteArray inputBytes = AppTest::fileContents(input);
    const QByteArray outputBytes = AppTest::fileContents(output);

    const QByteArray command = trimCommand(row.encoder);
    AppHarness harness(command.isEmpty() && row.encoder == Encoder::Real
                           ? MediaFactory::toolsFolder() : AppTest::resourceFolderWith(tools.path(), command));
    if (!harness.open(input) && row.end == End::Honest) {
        QCOMPARE(harness.lastAlert()->text(), AppTexts::unsupported);
        QCOMPARE(AppTest::folderListing(folder.path()), listing);
        return;
    }
    harness.select(0.25, 0.75);
    harness.find<QCheckBox>(QStringLiteral("forceEncodeCBX"))->setChecked(row.forceEncode);
    const auto inputMedia = harness.app().globalFP();
    if (row.action == Action::RemoveInput || row.action == Action::RemoveInputWhileRunning)
        listing.removeOne(row.inputName);
    if (row.action == Action::RemoveInput)
        QVERIFY(QFile::remove(input));

    // The actions after RemoveInput act on a running trim.
    const bool started = row.action > Action::RemoveInput ? harness.startAndAwaitProgress(output)
                                                          : harness.startTrim(output);
    QCOMPARE(started, row.end != End::Refused);
    actWhileRunning(harness, row, input);
    QVERIFY(!started || harness.waitForEnd());
    if (started && row.encoder != Encoder::Missing) {
        // Seek before the input, which follows "-i" whatever its name; the
        // encoder writes a hidden file beside the output.
        const QStringList arguments = harness.encoderArguments();
        QCOMPARE(arguments.mid(0, 3), (QStringList{QStringLiteral("-ss"),
                                                   timeTextFromSeconds(inputMedia->duration() * 0.25),
                                                   QStringLiteral("-i")}));
        QCOMPARE(arguments.value(3), input);
        QVERIFY(QFileInfo(arguments.last()).fileName().startsWith(QLatin1Char('.')));
        QCOMPARE(QFileInfo(arguments.last()).absolutePath(), QFileInfo(output).absolutePath());
    }

    const QList<QMessageBox *> results = resultAlerts(harness);
    const QMessageBox *result = results.value(0);
    QCOMPARE(results.size(), row.end == End::Cancelled ? 0 : 1);
    const QString expectedText = QList<QString>{AppTexts::trimmed, AppTexts::notTrimmed, QString(),
                                                AppTexts::sameFile}.value(static_cast<int>(row.end));
    if (row.end != End::Honest && result)
        QCOMPARE(result->text(), expectedText);
    if (result)
        QVERIFY2(result->informativeText().contains(row.detail), qPrintable(result->informativeText()));
    const bool trimmed = result && result->text() == AppTexts::trimmed;
    QCOMPARE(harness.outcome() == EncoderRun::Outcome::Succeeded, trimmed);
    if (row.end == End::Cancelled)
        QCOMPARE(harness.outcome(), EncoderRun::Outcome::Cancelled);

    if (trimmed) {
        const AppTest::Media media = AppTest::describe(output);
        QVERIFY(media.isVideo);
        if (row.end == End::Trimmed) {
            QVERIFY2(qAbs(media.duration - inputMedia->duration() * 0.5) < 1.0, qPrintable(QString::number(media.duration)));
            QCOMPARE(media.audioChannels, 2);
            QCOMPARE(media.hasSubtitles, !row.forceEncode && inputMedia->hasSubtitleTrack());
        }
        const QRegularExpression informative(QStringLiteral("^Input Duration: %1 \\([^)]+\\)\nOutput Duration: %2 \\([^)]+\\)$")
                                                 .arg(QRegularExpression::escape(timeTextFromSeconds(inputMedia->duration())),
                                                      QRegularExpression::escape(timeTextFromSeconds(media.duration))));
        QVERIFY2(informative.match(result->informativeText()).hasMatch(), qPrintable(result->informativeText()));
        QVERIFY(buttonTitled(result, QStringLiteral("Show in Finder")) && buttonTitled(result, QStringLiteral("OK")));
        if (row.output == Output::New)
            listing << row.outputName;
    } else if (row.output == Output::Folder) {
        QCOMPARE(AppTest::folderListing(output), QStringList());
    } else {
        QCOMPARE(QFileInfo::exists(output), row.output != Output::New && row.output != Output::Unwritable);
        QCOMPARE(AppTest::fileContents(output), outputBytes);
    }
    listing.sort();
    QCOMPARE(AppTest::folderListing(folder.path()), listing);
    if (row.action != Action::RemoveInput && row.action != Action::RemoveInputWhileRunning)
        QVERIFY(AppTest::fileContents(input) == inputBytes);
    QCOMPARE(harness.app().globalFP()->fileFullPath(), std::optional<QString>(input));
    QTRY_COMPARE(AppTest::leftBehind(folder.path()), QString());
}

void TestTrimFlow::saveDialog_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<bool>("forceEncode");
    QTest::addColumn<double>("length");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");

    QTest::newRow("stream copy keeps the type") << QStringLiteral("in.mkv") << false << 0.5
        << QStringLiteral("Trimmed.mkv") << QString() << QStringLiteral("Trimmed.mkv");
    QTest::newRow("re-encode gives mp4 whatever the name") << QStringLiteral("in.mkv") << true << 0.5
        << QStringLiteral("Trimmed.mp4") << QStringLiteral("mine.mov") << QStringLiteral("mine.mov.mp4");
    QTest::newRow("no extension, no type") << QStringLiteral("in") << false << 0.5
        << QStringLiteral("Trimmed") << QString() << QStringLiteral("Trimmed");
    QTest::newRow("empty selection, no dialog") << QStringLiteral("in.mp4") << false << 0.0
        << QString() << QString() << QString();
}

void TestTrimFlow::saveDialog()
{
    QFETCH(QString, clip);
    QFETCH(bool, forceEncode);
    QFETCH(double, length);
    QFETCH(QString, proposed);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QTemporaryDir folder;
    const QString input = folder.filePath(clip);
    QVERIFY(QFile::copy(m_media.filePath(QStringLiteral("stereo.mp4")), input));
    AppHarness harness;
    QVERIFY(harness.open(input));
    harness.select(0.5, 0.5 + length);
    harness.find<QCheckBox>(QStringLiteral("forceEncodeCBX"))->setChecked(forceEncode);
    harness.find<QAction>(QStringLiteral("trimVideoBTN"))->trigger();

    auto *dialog = harness.app().window()->findChild<QFileDialog *>();
    QCOMPARE(dialog != nullptr, !proposed.isEmpty());
    if (!dialog) {
        QCOMPARE(harness.lastAlert()->text(), AppTexts::emptySelection);
        return;
    }
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(dialog->selectedFiles().value(0), folder.filePath(proposed));
    if (!typed.isEmpty())
        dialog->selectFile(folder.filePath(typed));
    static_cast<QDialog *>(dialog)->accept();
    QVERIFY(harness.waitForEnd());
    QCOMPARE(harness.lastAlert()->text(), AppTexts::trimmed);
    QVERIFY(AppTest::describe(folder.filePath(written)).isVideo);
}

void TestTrimFlow::randomCancelsLeaveNothingBehind()
{
    QTemporaryDir folder;
    AppHarness harness;
    QVERIFY(harness.open(m_media.filePath(QStringLiteral("dense.mp4"))));
    harness.find<QCheckBox>(QStringLiteral("forceEncodeCBX"))->setChecked(true);
    const QString output = folder.filePath(QStringLiteral("cancelled.mp4"));

    // One whole run first, to learn how long the cancels may wait.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(harness.startTrim(output) && harness.waitForEnd());
    const int runLengthMs = static_cast<int>(clock.elapsed());
    QVERIFY(QFile::remove(output));

    QRandomGenerator random(4711);
    QTimer cancelTimer;
    cancelTimer.setSingleShot(true);
    connect(&cancelTimer, &QTimer::timeout, &harness.app(), &AppDelegate::closeBTNInsideProgressWindowClicked);
    int cancelled = 0;
    for (int round = 0; round < 6; ++round) {
        harness.clearRecords();
        QVERIFY(harness.startTrim(output));
        // Every third cancel comes before the event loop has run at all.
        if (round % 3 == 0)
            harness.app().closeBTNInsideProgressWindowClicked();
        else
            cancelTimer.start(static_cast<int>(random.bounded(runLengthMs + 1)));
        QVERIFY(harness.waitForEnd());
        cancelTimer.stop();
        const QString where = QStringLiteral("round %1").arg(round);
        // A cancel after the encoder finished finds a complete trim; anything
        // else is a cancelled one, never a failure.
        if (harness.outcome() == EncoderRun::Outcome::Succeeded) {
            QVERIFY2(AppTest::describe(output).isVideo, qPrintable(where));
            QVERIFY(QFile::remove(output));
        } else {
            QVERIFY2(harness.outcome() == EncoderRun::Outcome::Cancelled, qPrintable(where));
            QVERIFY2(!QFile::exists(output) && harness.alerts().isEmpty(), qPrintable(where));
            ++cancelled;
        }
        QTRY_COMPARE(AppTest::leftBehind(folder.path()), QString());
    }
    QVERIFY2(cancelled > 0, "no round cancelled a running encoder");
}

QTEST_MAIN(TestTrimFlow)
#include "tst_trimflow.moc"

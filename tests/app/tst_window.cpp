// The window as a user meets it: launch, opening and refusing files, and the
// selection moved by buttons, shortcuts and presets.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QTest>
#include <QToolButton>

#include "apptest.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "imagedropview.h"
#include "rangeslider.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList nudgeButtons = {
    QStringLiteral("leftSecondDownBTN"),  QStringLiteral("leftFrameDownBTN"),  QStringLiteral("leftFrameUpBTN"),
    QStringLiteral("leftSecondUpBTN"),    QStringLiteral("rightSecondDownBTN"), QStringLiteral("rightFrameDownBTN"),
    QStringLiteral("rightFrameUpBTN"),    QStringLiteral("rightSecondUpBTN")};

// Whether the controls that edit a selection are all enabled (true), all
// disabled (false), or mixed.
std::optional<bool> editingEnabled(const AppHarness &harness)
{
    QList<bool> states{harness.find<QAction>(QStringLiteral("trimVideoBTN"))->isEnabled(),
                       harness.find<QAction>(QStringLiteral("startSecondEarlierAction"))->isEnabled(),
                       harness.find<QWidget>(QStringLiteral("forceEncodeCBX"))->isEnabled(),
                       harness.find<QWidget>(QStringLiteral("presetDurationPOPUP"))->isEnabled(),
                       harness.find<QWidget>(QStringLiteral("myRangeSlider"))->isEnabled()};
    for (const QString &name : nudgeButtons)
        states << harness.find<QWidget>(name)->isEnabled();
    if (states.count(states.first()) != states.size())
        return std::nullopt;
    return states.first();
}

// One step of a user: a nudge button's name, "key:<sequence>", "preset:<index>"
// or "start:<fraction>", with "*<count>" to repeat it.
void perform(AppHarness &harness, const QString &step)
{
    const QStringList repeated = step.split(QLatin1Char('*'));
    const QString action = repeated.first().section(QLatin1Char(':'), 0, 0);
    const QString value = repeated.first().section(QLatin1Char(':'), 1);
    for (int i = 0; i < repeated.value(1, QStringLiteral("1")).toInt(); ++i) {
        if (action == QLatin1String("key")) {
            QTest::keySequence(harness.app().window(), QKeySequence(value));
        } else if (action == QLatin1String("preset")) {
            auto *popup = harness.find<QComboBox>(QStringLiteral("presetDurationPOPUP"));
            popup->setCurrentIndex(value.toInt());
            emit popup->activated(value.toInt());
        } else if (action == QLatin1String("start")) {
            harness.find<RangeSlider>(QStringLiteral("myRangeSlider"))->setStart(value.toDouble());
        } else {
            QTest::mouseClick(harness.find<QToolButton>(action), Qt::LeftButton);
        }
    }
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void launchShowsNoVideo();
    void selection_data();
    void selection();
    void openPrintsTheSelectionAndShowsThePoster();
    void refusedInputs_data();
    void refusedInputs();
    void openByDialogAndByDrop();

private:
    QString clip(const char *name) const { return m_media.filePath(QLatin1String(name)); }

    QTemporaryDir m_media;
};

void TestWindow::initTestCase()
{
    const MediaFactory factory(m_media.path());
    const QString one = QStringLiteral("1");
    QVERIFY(!factory.videoClip(QStringLiteral("long.mp4"), 125, 0, 64, 48, one).isEmpty());
    QVERIFY(!factory.videoClip(QStringLiteral("wide.mp4"), 125, 0, 96, 48, one).isEmpty());
    QVERIFY(!factory.videoClip(QStringLiteral("sixty.mp4"), 60, 0, 64, 48, one).isEmpty());
    QVERIFY(!factory.videoClip(QStringLiteral("ten.mp4"), 10, 0, 64, 48, one).isEmpty());
    QVERIFY(!factory.videoClip(QStringLiteral("five.mp4"), 12, 0).isEmpty());
    QVERIFY(QFile::copy(clip("ten.mp4"), clip("disc.Vob")));
    QVERIFY(!factory.writeFile(QStringLiteral("notes.txt"), "just some words\n").isEmpty());
    QVERIFY(!factory.generate(QStringLiteral("tone.m4a"), {QStringLiteral("-f"), QStringLiteral("lavfi"),
        QStringLiteral("-i"), QStringLiteral("sine=duration=1"), QStringLiteral("-c:a"), QStringLiteral("aac")}).isEmpty());
    // The index sits at the end of a file written without faststart.
    const QByteArray mp4 = AppTest::fileContents(clip("ten.mp4"));
    QVERIFY(AppTest::writeFile(clip("no-index.mp4"), mp4.left(mp4.lastIndexOf("moov") - 4)));
    QVERIFY(QDir(m_media.path()).mkdir(QStringLiteral("folder.mp4")));
}

void TestWindow::cleanup()
{
    QTRY_COMPARE(AppTest::leftBehind(m_media.path()), QString());
}

void TestWindow::launchShowsNoVideo()
{
    AppHarness harness;
    QCOMPARE(editingEnabled(harness), std::optional<bool>(false));
    QVERIFY(harness.find<QAction>(QStringLiteral("openToolBarBTN"))->isEnabled());
    QCOMPARE(harness.app().fps(), 24.0);
    harness.find<QAction>(QStringLiteral("saveMenuBTN"))->trigger();
    QVERIFY(harness.alerts().isEmpty() && !harness.app().window()->findChild<QFileDialog *>());

    harness.find<QAction>(QStringLiteral("helpBTN"))->trigger();
    QCOMPARE(harness.lastAlert()->text(), QStringLiteral("Questions?"));
    QVERIFY(harness.lastAlert()->informativeText().contains(QLatin1Char('@')));
    QCOMPARE(harness.lastAlert()->windowModality(), Qt::WindowModal);

    // What a previous run left is cleared at launch, and all of it at exit.
    const QString folder = harness.app().temporaryDirectoryPath();
    QVERIFY(harness.app().posterFrameFilePath() == folder + QStringLiteral("Poster/out.jpg"));
    QVERIFY(QDir(folder).mkpath(QStringLiteral("Poster")));
    harness.app().applicationDidFinishLaunching();
    QCOMPARE(AppTest::folderListing(folder), QStringList());
    QVERIFY(QDir(folder).mkpath(QStringLiteral("Poster")));
    harness.app().applicationWillTerminate();
    QCOMPARE(AppTest::folderListing(folder), QStringList());
}

void TestWindow::selection_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("presets"); // "<count>:<current title>"
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("output");

    QTest::newRow("longest shorter preset, centred") << "long.mp4" << QStringList() << "6:2 min"
        << "0:00:02.500" << "0:02:02.500" << "0:02:00.000";
    QTest::newRow("a preset as long as the input is not offered") << "sixty.mp4" << QStringList() << "4:45 sec"
        << "0:00:07.500" << "0:00:52.500" << "0:00:45.000";
    QTest::newRow("no preset shorter: all of it") << "ten.mp4" << QStringList() << "0:"
        << "0:00:00.000" << "0:00:10.000" << "0:00:10.000";
    // 12 s at 5 frames a second: "10 sec" from 1 s to 11 s, a frame is 0.2 s.
    const QStringList nudged = {u"0:00:00.000"_s, u"0:00:00.800"_s, u"0:00:01.200"_s, u"0:00:02.000"_s,
                                u"0:00:10.000"_s, u"0:00:10.800"_s, u"0:00:11.200"_s, u"0:00:12.000"_s};
    for (qsizetype i = 0; i < nudgeButtons.size(); ++i) {
        const bool start = i < 4;
        const double seconds = nudged.at(i).mid(5).toDouble();
        QTest::newRow(qPrintable(nudgeButtons.at(i))) << "five.mp4" << QStringList{nudgeButtons.at(i)} << "1:10 sec"
            << (start ? nudged.at(i) : QStringLiteral("0:00:01.000")) << (start ? QStringLiteral("0:00:11.000") : nudged.at(i))
            << QStringLiteral("0:00:%1").arg(start ? 11 - seconds : seconds - 1, 6, 'f', 3, QLatin1Char('0'));
    }
    QTest::newRow("a frame earlier by its shortcut") << "five.mp4" << QStringList{u"key:Ctrl+Left"_s} << "1:10 sec"
        << "0:00:00.800" << "0:00:11.000" << "0:00:10.200";
    QTest::newRow("preset from the start") << "long.mp4" << QStringList{u"start:0.4"_s, u"preset:2"_s} << "6:30 sec"
        << "0:00:50.000" << "0:01:20.000" << "0:00:30.000";
    QTest::newRow("preset stops at the end") << "long.mp4" << QStringList{u"start:0.8"_s, u"preset:4"_s} << "6:1 min"
        << "0:01:40.000" << "0:02:05.000" << "0:00:25.000";
    QTest::newRow("nudges at the bounds") << "ten.mp4"
        << QStringList{u"leftSecondDownBTN"_s, u"leftFrameDownBTN"_s, u"rightSecondUpBTN"_s, u"rightFrameUpBTN"_s} << "0:"
        << "0:00:00.000" << "0:00:10.000" << "0:00:10.000";
    QTest::newRow("start pushed past the end") << "ten.mp4" << QStringList{u"rightSecondDownBTN*9"_s, u"leftSecondUpBTN*2"_s}
        << "0:" << "0:00:02.000" << "0:00:01.000" << "-0:00:01.000";
}

void TestWindow::selection()
{
    QFETCH(QString, clip);
    QFETCH(QStringList, steps);
    AppHarness harness;
    QVERIFY(harness.open(m_media.filePath(clip)));
    for (const QString &step : steps)
        perform(harness, step);
    const auto *popup = harness.find<QComboBox>(QStringLiteral("presetDurationPOPUP"));
    QTEST(QStringLiteral("%1:%2").arg(popup->count()).arg(popup->currentText()), "presets");
    QTEST(harness.text(QStringLiteral("startTimeTF")).remove(QStringLiteral("Start Time: ")), "start");
    QTEST(harness.text(QStringLiteral("endTimeTF")).remove(QStringLiteral("End Time: ")), "end");
    QTEST(harness.text(QStringLiteral("outputDurationTF")).remove(QStringLiteral("Output Duration: ")), "output");
    QVERIFY(harness.text(QStringLiteral("inputDurationTF")).startsWith(QStringLiteral("Input Duration: 0:0")));
}

void TestWindow::openPrintsTheSelectionAndShowsThePoster()
{
    AppHarness harness;
    DiagnosticLog::Capture printed;
    QVERIFY(harness.open(clip("long.mp4")));
    // The end is set first, then the start; the poster ends on the start.
    QCOMPARE(printed.lines(), (QStringList{QStringLiteral("Big slider start:0.0 end:0.98"), QStringLiteral("right"),
                                           QStringLiteral("Big slider start:0.02 end:0.98"), QStringLiteral("left")}));
    const auto *poster = harness.find<ImageDropView>(QStringLiteral("posterView"));
    QCOMPARE(QImage(harness.app().posterFrameFilePath()).height(), 480);
    QCOMPARE(poster->image().size(), QSize(640, 480));

    // The same length gives the same fractions, which call nothing back; the
    // new video must show all the same.
    printed.clear();
    QVERIFY(harness.open(clip("wide.mp4")));
    QVERIFY(printed.lines().isEmpty());
    QCOMPARE(poster->image().size(), QSize(960, 480));
}

void TestWindow::refusedInputs_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("informativeStart");
    QTest::addColumn<QString>("prober");

    QTest::newRow("valid clip named .Vob") << "disc.Vob" << AppTexts::vob << "Questions? : " << QString();
    QTest::newRow("text file") << "notes.txt" << AppTexts::unsupported << AppTexts::contact << QString();
    QTest::newRow("audio only") << "tone.m4a" << AppTexts::unsupported << AppTexts::contact << QString();
    QTest::newRow("index cut off") << "no-index.mp4" << AppTexts::unsupported << AppTexts::contact << QString();
    QTest::newRow("folder") << "folder.mp4" << AppTexts::unsupported << AppTexts::contact << QString();
    QTest::newRow("video of width 0") << "five.mp4" << AppTexts::unsupported << AppTexts::contact
                                      << "prober-zero-width";
}

void TestWindow::refusedInputs()
{
    QFETCH(QString, input);
    QFETCH(QString, prober);
    const QString path = m_media.filePath(input);
    const QStringList listing = AppTest::folderListing(m_media.path());
    const QByteArray bytes = AppTest::fileContents(path);
    AppHarness harness(prober.isEmpty() ? MediaFactory::toolsFolder() : MediaFactory::fakeToolsFolder(prober));
    // A file refused after a video puts the window back to no video.
    QVERIFY(!prober.isEmpty() || harness.open(clip("ten.mp4")));
    harness.find<QCheckBox>(QStringLiteral("forceEncodeCBX"))->setChecked(true);

    QVERIFY(!harness.open(path));
    QCOMPARE(harness.alerts().size(), 1);
    QTEST(harness.lastAlert()->text(), "message");
    QFETCH(QString, informativeStart);
    QVERIFY(harness.lastAlert()->informativeText().startsWith(informativeStart));
    QVERIFY(harness.lastAlert()->informativeText().size() > informativeStart.size());
    QCOMPARE(editingEnabled(harness), std::optional<bool>(false));
    QCOMPARE(harness.app().globalFP()->fileFullPath(), std::optional<QString>(path));
    // Save stays in the menu, but offers nothing for a refused file.
    harness.find<QAction>(QStringLiteral("saveMenuBTN"))->trigger();
    QVERIFY(!harness.app().window()->findChild<QFileDialog *>());
    QCOMPARE(AppTest::folderListing(m_media.path()), listing);
    QCOMPARE(AppTest::fileContents(path), bytes);

    if (prober.isEmpty()) {
        QVERIFY(harness.open(clip("sixty.mp4")));
        QCOMPARE(editingEnabled(harness), std::optional<bool>(true));
        QVERIFY(!harness.find<QCheckBox>(QStringLiteral("forceEncodeCBX"))->isChecked());
    }
}

void TestWindow::openByDialogAndByDrop()
{
    AppHarness harness;
    QTest::keySequence(harness.app().window(), QKeySequence::Open);
    QFileDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = harness.app().window()->findChild<QFileDialog *>()));
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    dialog->selectFile(clip("sixty.mp4"));
    static_cast<QDialog *>(dialog)->accept();
    QCOMPARE(harness.text(QStringLiteral("inputDurationTF")), QStringLiteral("Input Duration: 0:01:00.000"));

    // Of several files dropped at once, the first is opened.
    auto *poster = harness.find<ImageDropView>(QStringLiteral("posterView"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(clip("ten.mp4")), QUrl::fromLocalFile(clip("long.mp4"))});
    const QPoint centre = poster->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(poster, &enter);
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(poster, &drop);
    QCOMPARE(harness.text(QStringLiteral("inputDurationTF")), QStringLiteral("Input Duration: 0:00:10.000"));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"

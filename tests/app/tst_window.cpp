// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a user meets it: launch, opening and refusing files, and the
// selection moved by buttons, shortcuts and presets.

#include <cmath>

#include <QAccessible>
#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include "apptest.h"
#include "commandline.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "filerevealer.h"
#include "helpwindow.h"
#include "imagedropview.h"
#include "keyframescan.h"
#include "mpvplayer.h"
#include "overviewguide.h"
#include "overviewstrip.h"
#include "playback.h"
#include "videoview.h"
#include "posterextraction.h"
#include "rangeslider.h"
#include "rangeslidergeometry.h"
#include "selection.h"
#include "timetext.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList nudgeButtons = {u"leftSecondDownBTN"_s,  u"leftFrameDownBTN"_s,  u"leftFrameUpBTN"_s,
                                  u"leftSecondUpBTN"_s,    u"rightSecondDownBTN"_s, u"rightFrameDownBTN"_s,
                                  u"rightFrameUpBTN"_s,    u"rightSecondUpBTN"_s};

// Whether the controls that edit a selection are all enabled (true), all
// disabled (false), or mixed.
std::optional<bool> editingEnabled(const AppHarness &harness)
{
    QList<bool> states{harness.find<QAction>(u"trimVideoBTN"_s)->isEnabled(),
                       harness.find<QAction>(u"startSecondEarlierAction"_s)->isEnabled()};
    const QStringList widgets{u"forceEncodeCBX"_s, u"presetDurationPOPUP"_s, u"myRangeSlider"_s};
    for (const QString &name : nudgeButtons + widgets)
        states << harness.find<QWidget>(name)->isEnabled();
    return states.count(states.first()) == states.size() ? std::optional(states.first()) : std::nullopt;
}

// One step of a user, "*<count>" repeats it: a nudge button's name, "focus:<widget>", "key:<sequence>",
// "type:<text>", "preset:<index>", "start:<fraction>", "playhead:<fraction>", "scanned" (waits for the whole keyframe scan), or a file opened by "open:", "dialog:", "drop:" or "launch:" (first).
void perform(AppHarness &harness, const QString &step, const QDir &media)
{
    const QStringList repeated = step.split(u'*');
    const QString action = repeated.first().section(u':', 0, 0);
    const QString value = repeated.first().section(u':', 1);
    QWidget *window = harness.app().window();
    for (int i = 0; i < repeated.value(1, u"1"_s).toInt(); ++i) {
        if (action == "open"_L1) {
            QVERIFY(harness.open(media.filePath(value)));
        } else if (action == "launch"_L1) {
            QTRY_VERIFY(harness.app().globalFP());
        } else if (action == "type"_L1) { // into the field with the keyboard, then Enter
            // Focus selects the time, which the typing replaces.
            QTRY_VERIFY(qobject_cast<QLineEdit *>(window->focusWidget())->hasSelectedText());
            QTest::keyClicks(window->focusWidget(), value);
            QTest::keyClick(window->focusWidget(), Qt::Key_Return);
        } else if (action == "focus"_L1) {
            harness.find<QWidget>(value)->setFocus();
        } else if (action == "key"_L1) {
            QTest::keySequence(window->focusWidget() ? window->focusWidget() : window, QKeySequence(value));
        } else if (action == "preset"_L1) {
            auto *popup = harness.find<QComboBox>(u"presetDurationPOPUP"_s);
            popup->setCurrentIndex(value.toInt());
            emit popup->activated(value.toInt());
        } else if (action == "scanned"_L1) {
            const auto *scan = harness.app().findChild<KeyframeScan *>();
            QTRY_VERIFY_WITH_TIMEOUT(scan->isComplete(), 15000);
        } else if (action == "start"_L1) {
            harness.find<RangeSlider>(u"myRangeSlider"_s)->setStart(value.toDouble());
        } else if (action == "playhead"_L1) { // dragged by the mouse to a fraction of the slider
            auto *slider = harness.find<RangeSlider>(u"myRangeSlider"_s);
            const RangeSliderGeometry geometry(slider->size(), slider->knobStyle());
            const QPoint from(qRound(geometry.positionOf(*slider->playheadValue())), 2);
            const QPoint to(qRound(geometry.positionOf(value.toDouble())), 2);
            QTest::mousePress(slider, Qt::LeftButton, {}, from);
            QMouseEvent move(QEvent::MouseMove, to, slider->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(slider, &move);
            QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
        } else if (action == "dialog"_L1) {
            QTest::keySequence(window, QKeySequence::Open);
            auto *dialog = window->findChild<QFileDialog *>();
            QVERIFY(dialog && dialog->windowModality() == Qt::WindowModal);
            dialog->selectFile(media.filePath(value));
            static_cast<QDialog *>(dialog)->accept();
            QVERIFY(harness.waitForOpen());
        } else if (action == "drop"_L1) {
            const QVariantMap userInfo{{ImageDropView::userInfoKey, QUrl::fromLocalFile(media.filePath(value))}};
            emit harness.find<ImageDropView>(u"posterView"_s)->fileAddedByDragAndDrop(userInfo);
            QVERIFY(harness.waitForOpen());
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
    void initTestCase()
    {
        const MediaFactory factory(m_media.path());
        QVERIFY(!factory.videoClip(u"long.mp4"_s, 125, 0, 64, 48, u"1"_s).isEmpty());
        QVERIFY(!factory.videoClip(u"wide.mp4"_s, 125, 0, 96, 48, u"1"_s).isEmpty());
        QVERIFY(!factory.videoClip(u"sixty.mp4"_s, 60, 0, 64, 48, u"1"_s).isEmpty());
        QVERIFY(!factory.videoClip(u"ten.mp4"_s, 10, 0, 64, 48, u"1"_s).isEmpty());
        QVERIFY(!factory.videoClip(u"five.mp4"_s, 12, 0).isEmpty());
        QVERIFY(QFile::copy(clip("ten.mp4"), clip("disc.Vob")));
        QVERIFY(!factory.writeFile(u"notes.txt"_s, "just some words\n").isEmpty());
        QByteArray noise(4096, '\0');
        QRandomGenerator(26).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QVERIFY(!factory.writeFile(u"noise.mp4"_s, noise).isEmpty());
        QVERIFY(!factory.generate(u"tone.m4a"_s, u"-f lavfi -i sine=duration=1 -c:a aac"_s.split(u' ')).isEmpty());
        QVERIFY(QDir(m_media.path()).mkdir(u"folder.mp4"_s));
        const QStringList still = u"-f lavfi -i color=size=80x60 -frames:v 1 -c:v png -f image2"_s.split(u' ');
        QVERIFY(!factory.generate(u"still.mp4"_s, still).isEmpty());
        QVERIFY(!factory.writeFile(u"short.mp4"_s, TestFiles::contents(clip("ten.mp4")).first(3000)).isEmpty());
    }

    void cleanup()
    {
        QTRY_COMPARE(AppTest::leftBehind(m_media.path()), QString());
    }

    void launchShowsNoVideo()
    {
        AppHarness harness;
        QCOMPARE(editingEnabled(harness), std::optional<bool>(false));
        QVERIFY(harness.find<QAction>(u"openToolBarBTN"_s)->isEnabled() && harness.app().fps() == 24.0);
        for (const QString &name : {u"openToolBarBTN"_s, u"trimVideoBTN"_s, u"helpBTN"_s})
            QVERIFY(!harness.find<QAction>(name)->icon().pixmap(24).isNull());

        // The Open dialog offers the videos first, then everything; the README's keyboard table beside the help.
        harness.find<QAction>(u"openToolBarBTN"_s)->trigger();
        auto *open = harness.app().window()->findChild<QFileDialog *>();
        QVERIFY(open && open->nameFilters().size() == 2 && open->nameFilters().at(0).startsWith(u"Videos ("_s));
        QVERIFY(open->nameFilters().at(0).contains(u"*.mkv"_s) && open->nameFilters().at(1) == u"All files (*)"_s);
        open->reject();
        harness.find<QAction>(u"keyboardShortcutsAction"_s)->trigger();
        QCOMPARE(harness.lastAlert()->textFormat(), Qt::MarkdownText);
        QVERIFY(harness.lastAlert()->text().startsWith(u"| keys | action |\n|---|---|\n| Ctrl+O | open a video |"_s));
        QVERIFY(harness.lastAlert()->text().endsWith(u"| quit (asks first while a trim runs) |\n"_s));
        QCOMPARE(harness.lastAlert()->windowModality(), Qt::WindowModal);
        QCOMPARE(FileRevealer::itemUri(u"/tmp/out copy #1.mp4"_s), u"file:///tmp/out%20copy%20%231.mp4"_s);

        // Help is the guide, beside the window, with the support line at its foot; its keyboard table names
        // every key the window's actions answer to.
        harness.find<QAction>(u"helpBTN"_s)->trigger();
        auto *help = harness.app().window()->findChild<HelpWindow *>();
        QVERIFY(help && help->isVisible() && help->windowModality() == Qt::NonModal);
        for (const char *heading : {"Opening a video", "Choosing the selection", "Three kinds of trim", "Tracks"})
            QVERIFY2(help->shownText().contains(QLatin1String(heading)), heading);
        QVERIFY(help->findChild<QLabel *>(u"supportLabel"_s)->text().contains(QLatin1Char('@')));
        const QString keyboard = HelpWindow::text().section(u"## Keyboard"_s, 1);
        QList<QKeySequence> shortcuts;
        for (const QMenu *menu : harness.app().window()->menuBar()->findChildren<QMenu *>())
            for (const QAction *action : menu->actions())
                shortcuts << action->shortcuts();
        QVERIFY(shortcuts.size() > 20);
        for (const QKeySequence &keys : shortcuts)
            QVERIFY2(keyboard.contains(u"| "_s + keys.toString()) || keyboard.contains(u"/ "_s + keys.toString()),
                     qPrintable(keys.toString()));
        harness.find<QAction>(u"helpBTN"_s)->trigger();
        QCOMPARE(harness.app().window()->findChildren<HelpWindow *>().size(), 1);

        // The poster's folder is the app's own, emptied at exit.
        const QString folder = harness.app().temporaryDirectoryPath();
        QVERIFY(harness.app().posterFrameFilePath() == folder + u"Poster/out.jpg"_s);
        QVERIFY(QDir(folder).mkpath(u"Poster"_s));
        harness.app().applicationWillTerminate();
        QCOMPARE(TestFiles::listing(folder), QStringList());
    }

    void selection_data()
    {
        QTest::addColumn<QString>("steps"); // see perform()
        // Presets as "<count>:<current title>" (none for a length that is no preset's), start, end, output duration.
        QTest::addColumn<QString>("shown");

        QTest::newRow("longest shorter preset, centred")
            << "open:long.mp4" << "6:2 min 0:00:03.000 0:02:03.000 0:02:00.000";
        QTest::newRow("by the Open dialog: no preset as long as the input")
            << "dialog:sixty.mp4" << "4:45 sec 0:00:08.000 0:00:53.000 0:00:45.000";
        QTest::newRow("a file from the command line")
            << "launch:sixty.mp4" << "4:45 sec 0:00:08.000 0:00:53.000 0:00:45.000";
        QTest::newRow("a file dropped: all of it, no preset shorter")
            << "drop:ten.mp4" << "0: 0:00:00.000 0:00:10.000 0:00:10.000";
        // 12 s at 5 frames a second: "10 sec" from 1 s to 11 s, a frame is 0.2 s. Each button a different
        // number of times, so that two buttons swapped show.
        QTest::newRow("every nudge button")
            << "open:five.mp4 leftSecondUpBTN*4 leftFrameUpBTN*3 leftFrameDownBTN*2 leftSecondDownBTN "
               "rightSecondDownBTN*4 rightFrameDownBTN*3 rightFrameUpBTN*2 rightSecondUpBTN"
            << "1: 0:00:04.200 0:00:07.800 0:00:03.600";
        QTest::newRow("a frame earlier by its shortcut")
            << "open:five.mp4 key:Ctrl+Left" << "1: 0:00:00.800 0:00:11.000 0:00:10.200";
        // The slider's arrows move the knob moved last, the start after an open; End picks the other.
        QTest::newRow("the slider's arrow key")
            << "open:five.mp4 focus:myRangeSlider key:Right" << "1: 0:00:01.200 0:00:11.000 0:00:09.800";
        QTest::newRow("the slider's End and Shift+Left")
            << "open:five.mp4 focus:myRangeSlider key:End key:Shift+Left"
            << "1: 0:00:01.000 0:00:10.000 0:00:09.000";
        QTest::newRow("preset from the start")
            << "open:long.mp4 start:0.4 preset:2" << "6:30 sec 0:00:50.000 0:01:20.000 0:00:30.000";
        QTest::newRow("start pushed past the end")
            << "open:ten.mp4 rightSecondDownBTN*9 leftSecondUpBTN*2" << "0: 0:00:02.000 0:00:01.000 -0:00:01.000";
    }

    void selection()
    {
        QFETCH(QString, steps);
        const QString first = steps.section(u' ', 0, 0);
        const QString launch = first.startsWith(u"launch:"_s) ? m_media.filePath(first.mid(7)) : QString();
        AppHarness harness(MediaFactory::toolsFolder(), launch);
        for (const QString &step : steps.split(u' '))
            perform(harness, step, QDir(m_media.path()));
        const auto *popup = harness.find<QComboBox>(u"presetDurationPOPUP"_s);
        const QString start = harness.text(u"startTimeTF"_s).remove(u"Start Time: "_s);
        const QString end = harness.text(u"endTimeTF"_s).remove(u"End Time: "_s);
        const QString output = harness.text(u"outputDurationTF"_s).remove(u"Output Duration: "_s);
        QTEST(u"%1:%2 %3 %4 %5"_s.arg(popup->count()).arg(popup->currentText(), start, end, output), "shown");
        QCOMPARE(popup->isEnabled(), popup->count() > 0);
        QVERIFY(QFile::exists(harness.app().window()->windowFilePath()));
        // A screen reader hears the field's value, not only its name.
        const auto *field = QAccessible::queryAccessibleInterface(harness.find<QWidget>(u"startTimeTF"_s));
        QCOMPARE(field->text(QAccessible::Name) + u' ' + field->text(QAccessible::Value),
                 u"Start time Start Time: "_s + start);
        const auto *slider = QAccessible::queryAccessibleInterface(harness.find<RangeSlider>(u"myRangeSlider"_s));
        QCOMPARE(slider->text(QAccessible::Description), u"From %1 to %2"_s.arg(start, end));
        QCOMPARE(slider->role(), QAccessible::Slider);
        QCOMPARE(QAccessible::queryAccessibleInterface(harness.find<ImageDropView>(u"posterView"_s))->role(),
                 QAccessible::Graphic);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("outcome"); // "run:<file>", "text" or "fail"
        QTest::newRow("a file") << QStringList{u"kestrel"_s, u"/videos/a.mp4"_s} << "run:/videos/a.mp4";
        QTest::newRow("a relative path") << QStringList{u"kestrel"_s, u"b.mp4"_s} << "run:/work/b.mp4";
        QTest::newRow("after --, a dash") << QStringList{u"kestrel"_s, u"--"_s, u"-c.mp4"_s} << "run:/work/-c.mp4";
        QTest::newRow("two files") << QStringList{u"kestrel"_s, u"a"_s, u"b"_s} << "fail";
        QTest::newRow("version") << QStringList{u"kestrel"_s, u"--version"_s} << "text";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        const CommandLine parsed = CommandLine::parse(arguments, u"/work"_s);
        QTEST(QStringList({u"run:"_s + parsed.file, u"text"_s, u"fail"_s}).at(int(parsed.action)), "outcome");
        // Help and version need no display.
        if (parsed.action != CommandLine::Action::ShowText)
            return;
        QProcess kestrel;
        const QString program = MediaFactory::toolsFolder() + u"/../../bin/kestrel"_s;
        const QStringList withoutDisplay = u"-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM"_s.split(u' ');
        kestrel.start(u"env"_s, withoutDisplay + QStringList{program} + arguments.mid(1));
        QVERIFY(kestrel.waitForFinished() && kestrel.readAllStandardOutput().startsWith("kestrel "));
    }

    void openPrintsTheSelectionAndPostersFollow()
    {
        AppHarness harness;
        DiagnosticLog::Capture printed;
        QSignalSpy extracted(harness.app().findChild<PosterExtraction *>(), &PosterExtraction::extracted);
        QVERIFY(harness.open(clip("long.mp4")));
        // The end is set first, then the start; the start's frame, which stays in view, is extracted first.
        QCOMPARE(printed.lines(), (QStringList{u"Big slider start:0.0 end:0.984"_s, u"right"_s,
                                               u"Big slider start:0.024 end:0.984"_s, u"left"_s}));
        const auto *poster = harness.find<ImageDropView>(u"posterView"_s);
        QVERIFY(harness.waitForPosters() && QImage(harness.app().posterFrameFilePath()).height() == 480);
        QCOMPARE(poster->image().size(), QSize(640, 480));
        QCOMPARE(extracted.size(), 1);
        QCOMPARE(extracted.first().first().toDouble(), 3.0);

        // The same length gives the same fractions, which call nothing back; the
        // new video must show all the same, and never the old one's frame.
        printed.clear();
        QVERIFY(harness.open(clip("wide.mp4")));
        QVERIFY(printed.lines().isEmpty() && poster->image().isNull());
        QVERIFY(harness.waitForPosters());
        QCOMPARE(poster->image().size(), QSize(960, 480));

        // A dragged knob shows the nearest keyframe, quick to find; the exact
        // frame comes when the mouse lets go: for the end, the last frame before it.
        auto *slider = harness.find<RangeSlider>(u"myRangeSlider"_s);
        const QLabel *caption = harness.find<QLabel>(u"posterCaptionLabel"_s);
        const RangeSliderGeometry geometry(slider->size(), slider->knobStyle());
        QPoint point = geometry.endKnobFrame(slider->end()).center().toPoint();
        QTest::mousePress(slider, Qt::LeftButton, {}, point);
        for (int move = 0; move < 10; ++move)
            QTest::mouseMove(slider, point -= QPoint(3, 0));
        QVERIFY(harness.waitForPosters() && !caption->isHidden());
        QTest::mouseRelease(slider, Qt::LeftButton, {}, point);
        QVERIFY(harness.waitForPosters() && caption->isHidden());
        // One frame a second: the last one held is a whole second before the end.
        QCOMPARE(poster->image(), directFrame(u"wide.mp4"_s, std::ceil(slider->end() * 125.0 - 0.001) - 1.0));

        // A whole clip's end has no frame at it; its last frame is shown, fetched while the start's was in view.
        QVERIFY(harness.open(clip("ten.mp4")) && harness.waitForPosters());
        point = geometry.endKnobFrame(slider->end()).center().toPoint();
        QTest::mousePress(slider, Qt::LeftButton, {}, point);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, point);
        QVERIFY(harness.app().findChild<PosterExtraction *>()->isIdle());
        QCOMPARE(poster->image(), directFrame(u"ten.mp4"_s, 9.0));
    }

    // A keyframe every second and none else, listed near the selection's ends first, then whole: a tick for each,
    // a line and a mark where a copy starts, and the start moved onto the keyframes around it.
    void keyframesShowWhereACopyStarts()
    {
        const QString keyed = u"-f lavfi -i testsrc2=size=64x48:rate=5:duration=140 -g 5 -sc_threshold 0 -c:v libx264"_s;
        const QString path = MediaFactory(m_media.path()).generate(u"keyed.mkv"_s, keyed.split(u' '));

        AppHarness harness;
        QSignalSpy scans(harness.app().findChild<KeyframeScan *>(), &KeyframeScan::packetsChanged);
        QVERIFY(harness.open(path));
        const auto *slider = harness.find<RangeSlider>(u"myRangeSlider"_s);
        auto *line = harness.find<QLabel>(u"copyStartLabel"_s);
        QTRY_COMPARE(slider->tickValues().size(), 140);
        QCOMPARE(scans.count(), 2);
        // 0:00:10.000 is a keyframe; the keyframe at the end, 0:02:10.000, and the frame after it are decoded before
        // the frame before it.
        const QString end = u"A stream copy ends at 0:02:10.400, 0.400 s after the end: it stops in decoding order, "
                            "where frames shown later can come first."_s;
        QVERIFY(line->text() == end && !slider->markedValue());
        auto *frameLaterButton = harness.find<QToolButton>(u"leftFrameUpBTN"_s);
        const auto frameLater = [&] { QTest::mouseClick(frameLaterButton, Qt::LeftButton); };
        frameLater();
        QCOMPARE(line->text(), u"A stream copy starts at the keyframe 0:00:10.000, 0.200 s before the start. "_s + end);
        QCOMPARE(QAccessible::queryAccessibleInterface(line)->text(QAccessible::Name), line->text());
        QCOMPARE(slider->markedValue(), std::optional(10.0 / 140.0));
        const QString previous = u"startAtPreviousKeyframeAction"_s, next = u"startAtNextKeyframeAction"_s;
        for (const QString &step : {previous, previous, next, next}) { // 10 s, 9 s, 10 s, 11 s
            harness.find<QAction>(step)->trigger();
            QVERIFY(line->text() == end && !slider->markedValue());
        }
        QCOMPARE(harness.text(u"startTimeTF"_s), u"Start Time: 0:00:11.000"_s);
        frameLater();
        QVERIFY(!line->isHidden());
        // Cutting exactly, the frames re-encoded are drawn and counted: from 11.2 s to the keyframe at 12 s, and from
        // the keyframe at 129 s to the end, a frame before 130 s.
        QTest::mouseClick(harness.find<QToolButton>(u"rightFrameDownBTN"_s), Qt::LeftButton);
        auto *exact = harness.find<QCheckBox>(u"exactCutCBX"_s);
        exact->setChecked(true);
        QList<double> spans;
        for (const SelectionRange &span : slider->spans())
            spans << std::round(span.start * 1400) / 10 << std::round(span.end * 1400) / 10;
        QCOMPARE(spans, QList<double>({11.2, 12, 129, 129.8}));
        QCOMPARE(slider->toolTip(),
                 u"The exact cut re-encodes 4 frames at the start and 4 at the end, and copies the 585 between."_s);
        exact->setChecked(false);
        QVERIFY(slider->spans().isEmpty());
        // Zoomed to the selection, with a scroll bar, and back; "+" zooms around the playhead, which keeps its place.
        auto *zoomBar = harness.find<QScrollBar>(u"zoomScrollBar"_s);
        harness.find<QAction>(u"zoomToSelectionAction"_s)->trigger();
        QVERIFY(slider->view().start < slider->start() && slider->view().end > slider->end() && slider->isZoomed());
        QVERIFY(zoomBar->isVisible());
        harness.find<QAction>(u"zoomToFitAction"_s)->trigger();
        QVERIFY(!slider->isZoomed() && zoomBar->isHidden());
        const double playhead = harness.app().findChild<Playback *>()->playhead() / 140.0;
        const double before = slider->positionOfValue(playhead);
        harness.find<QAction>(u"zoomInAction"_s)->trigger();
        QVERIFY(slider->isZoomed() && std::abs(slider->positionOfValue(playhead) - before) <= 1.0);
        harness.find<QAction>(u"zoomToFitAction"_s)->trigger();
        harness.find<QCheckBox>(u"forceEncodeCBX"_s)->setChecked(true);
        QVERIFY(line->isHidden() && !slider->markedValue());
    }

    // Opens made before the first has answered give way to the last; a file opened again unchanged is neither
    // probed nor scanned again, until it changes.
    void opensReplacedAndRepeated()
    {
        QTemporaryDir tools;
        const QDir real(MediaFactory::toolsFolder());
        QVERIFY(QFile::link(real.filePath(ToolLocator::creator), tools.filePath(ToolLocator::creator)));
        const QString sniffer = tools.filePath(ToolLocator::sniffer), log = tools.filePath(u"runs"_s);
        QVERIFY(TestFiles::write(sniffer, "#!/bin/sh\necho \"$*\" >> '" + QFile::encodeName(log) + "'\nexec '"
                                              + QFile::encodeName(real.filePath(ToolLocator::sniffer)) + "' \"$@\"\n"));
        QVERIFY(QFile::setPermissions(sniffer, QFile::permissions(sniffer) | QFileDevice::ExeOwner));
        const auto runs = [&](const char *kind) {
            const QStringList lines = QString::fromUtf8(TestFiles::contents(log)).split(u'\n');
            return lines.filter(QLatin1String(kind)).filter(u"sixty.mp4"_s).size();
        };
        AppHarness harness(tools.path());
        QSignalSpy extracted(harness.app().findChild<PosterExtraction *>(), &PosterExtraction::extracted);
        for (const char *name : {"notes.txt", "long.mp4", "ten.mp4"})
            harness.app().openVideo(QUrl::fromLocalFile(clip(name)));
        const auto *poster = harness.find<ImageDropView>(u"posterView"_s);
        QCOMPARE(poster->busyText(), u"Opening ten.mp4\u2026"_s);
        QVERIFY(harness.waitForOpen() && harness.waitForPosters() && harness.alerts().isEmpty());
        QVERIFY(poster->busyText().isEmpty() && !poster->image().isNull());
        QCOMPARE(harness.text(u"inputDurationTF"_s), u"Input Duration: 0:00:10.000"_s);
        QCOMPARE(extracted.size(), 1);
        QCOMPARE(extracted.first().first().toDouble(), 0.0);

        const auto *scan = harness.app().findChild<KeyframeScan *>();
        QVERIFY(harness.open(clip("sixty.mp4")) && QTest::qWaitFor([scan] { return scan->isComplete(); }));
        // The strip under the slider: a picture per keyframe, and no loudness without sound.
        const auto *strip = harness.find<OverviewStrip>(u"overviewStrip"_s);
        const auto *overview = harness.app().findChild<OverviewGuide *>();
        QTRY_VERIFY(!overview->filmstrip().isRunning() && strip->isVisible());
        const qsizetype keyframes = scan->packets().keyframes().size();
        QVERIFY(keyframes > 0 && strip->pictureCount() == keyframes && strip->loudnessCount() == 0);
        QVERIFY(harness.open(clip("ten.mp4")) && harness.open(clip("sixty.mp4")));
        QVERIFY(scan->isComplete() && !scan->isRunning());
        QVERIFY(runs("show_format") == 1 && runs("packet") == 1);
        QVERIFY(!overview->filmstrip().isRunning() && strip->pictureCount() == keyframes);
        QFile changed(clip("sixty.mp4"));
        QVERIFY(changed.open(QIODevice::ReadWrite) && changed.setFileTime(QDateTime::currentDateTime().addSecs(1),
                                                                          QFileDevice::FileModificationTime));
        QVERIFY(harness.open(clip("sixty.mp4")) && scan->isRunning());
        QVERIFY(runs("show_format") == 2);
    }

    // A time typed as a person does: the field focused, which selects its time, then the keys and Enter;
    // "Escape" gives the typing up.
    void typedTimes_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");   // the field's time afterwards
        QTest::addColumn<QString>("refusal"); // its tooltip
        QTest::addColumn<QString>("selection");
        // 12 s at 5 frames a second, "10 sec" from 1 s to 11 s.
        QTest::newRow("a start with a comma, on the frame after") << "startTimeTF" << "0:02,5" << "0:00:02.600" << ""
                                                                  << "2.6 11";
        QTest::newRow("an output duration moves the end") << "outputDurationTF" << "3" << "0:00:03.000" << ""
                                                          << "1 4";
        QTest::newRow("not a time") << "startTimeTF" << "1:2x" << "1:2x"
                                    << "\"1:2x\" is not a time. Type it as 1:02:03.500, 2:05 or 90.5." << "1 11";
        QTest::newRow("past the input's end") << "endTimeTF" << "0:20" << "0:20" << "The video is 0:00:12.000 long."
                                              << "1 11";
        QTest::newRow("inside out") << "startTimeTF" << "11.5" << "11.5"
                                    << "The start must come before the end, 0:00:11.000." << "1 11";
        QTest::newRow("a start on the end") << "startTimeTF" << "11" << "11"
                                            << "The start must come before the end, 0:00:11.000." << "1 11";
        QTest::newRow("given up by Escape") << "endTimeTF" << "0:00.5 Escape" << "0:00:11.000" << "" << "1 11";
        // As voice control and test tools set a value.
        QTest::newRow("set through the accessibility interface") << "outputDurationTF" << "2 a11y" << "0:00:02.000"
                                                                 << "" << "1 3";
    }

    void typedTimes()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        AppHarness harness;
        QVERIFY(harness.open(clip("five.mp4")));
        auto *edit = harness.find<QLineEdit>(field);
        QWidget *before = harness.find<QWidget>(u"leftFrameUpBTN"_s);
        before->setFocus();
        if (typed.endsWith(u"a11y"_s)) {
            QAccessible::queryAccessibleInterface(edit)->setText(QAccessible::Value, typed.section(u' ', 0, 0));
        } else {
            edit->setFocus();
            QTRY_VERIFY(edit->hasSelectedText());
            QTest::keyClicks(edit, typed.section(u' ', 0, 0));
            QTest::keyClick(edit, typed.endsWith(u"Escape"_s) ? Qt::Key_Escape : Qt::Key_Return);
        }
        QTEST(edit->text().section(u": "_s, 1), "shown");
        QTEST(edit->toolTip(), "refusal");
        QCOMPARE(QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Description), edit->toolTip());
        const Selection *selection = harness.app().findChild<Selection *>();
        QTEST(u"%1 %2"_s.arg(selection->startSeconds()).arg(selection->endSeconds()), "selection");
        // The keyboard goes back where it was, for the player's keys, but for a time refused, which waits to be
        // typed again; a click on the picture takes it too.
        QCOMPARE(QApplication::focusWidget(), edit->toolTip().isEmpty() ? before : edit);
        QWidget *picture = harness.find<QWidget>(u"posterView"_s);
        QTest::mouseClick(picture, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), picture);
        edit->setFocus();
        QTest::mouseClick(before, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), before);
    }

    // The player comes with the first Play or step, on the knob moved last; the keys of the Playback menu move
    // its playhead and set the selection there; a knob moved pauses it on that knob's frame.
    void playback_data()
    {
        QTest::addColumn<QString>("steps"); // see perform(), after the open of a 12 s clip at 5 frames a second
        QTest::addColumn<int>("frame");     // the playhead's; -1: no player made
        QTest::addColumn<QString>("shown"); // start, end
        QTest::newRow("nothing played, no player") << "leftSecondUpBTN" << -1 << "0:00:02.000 0:00:11.000";
        QTest::newRow("a frame forward from the start") << "key:." << 6 << "0:00:01.000 0:00:11.000";
        QTest::newRow("a second back") << "key:J" << 0 << "0:00:01.000 0:00:11.000";
        // The end moved last: the playhead is on the selection's last frame, 1.8 s, once the keyframe scan has
        // listed the frames.
        QTest::newRow("a frame forward from the end's last frame")
            << "rightSecondDownBTN*9 scanned key:." << 10 << "0:00:01.000 0:00:02.000";
        QTest::newRow("start at the playhead") << "key:. key:. key:I" << 7 << "0:00:01.400 0:00:11.000";
        QTest::newRow("end at the playhead: its frame the last") << "key:. key:O" << 6 << "0:00:01.000 0:00:01.400";
        // The end moved last: the playhead starts on the end's last frame, 1.8 s.
        QTest::newRow("start past the end: the end to the input's end")
            << "rightSecondDownBTN*9 key:L key:L key:I" << 19 << "0:00:03.800 0:00:12.000";
        QTest::newRow("end before the start: the start to the input's start")
            << "key:J key:O" << 0 << "0:00:00.000 0:00:00.200";
        QTest::newRow("a knob moved pauses on its frame") << "key:Space rightFrameDownBTN" << 53
                                                          << "0:00:01.000 0:00:10.800";
        QTest::newRow("the playhead dragged, the selection stays")
            << "key:. playhead:0.5" << 30 << "0:00:01.000 0:00:11.000";
        QTest::newRow("a time typed at the playhead: its frame") << "focus:playheadTF type:0:03.1" << 16
                                                                  << "0:00:01.000 0:00:11.000";
        QTest::newRow("the selection played, paused on its last frame")
            << "rightSecondDownBTN*9 key:Shift+Space" << 9 << "0:00:01.000 0:00:02.000";
    }

    void playback()
    {
        QFETCH(QString, steps);
        AppHarness harness;
        QVERIFY(harness.open(clip("five.mp4")) && harness.waitForPosters());
        const auto *playback = harness.app().findChild<Playback *>();
        // A person sees each frame before the next key.
        for (const QString &step : steps.split(u' ')) {
            perform(harness, step, QDir(m_media.path()));
            QTRY_VERIFY_WITH_TIMEOUT(!playback->isShowing() || !playback->player()->isSeeking(), 15000);
        }
        QFETCH(int, frame);
        QCOMPARE(playback->isShowing(), frame >= 0);
        if (frame >= 0) {
            const MpvPlayer *player = playback->player();
            QTRY_COMPARE_WITH_TIMEOUT(std::pair(player->isPaused(), qRound(player->position() * 5)),
                                      std::pair(true, frame), 15000);
            QCOMPARE(harness.find<QStackedWidget>(u"videoArea"_s)->currentWidget(), playback->view());
            const auto playhead = harness.find<RangeSlider>(u"myRangeSlider"_s)->playheadValue();
            QVERIFY(playhead && qRound(*playhead * 12 * 5) == frame);
            // Its time and frame under the video, as a screen reader reads them too.
            const QString time = timeTextFromSeconds(frame / 5.0) + u" / 0:00:12.000 · frame %1"_s.arg(frame);
            QCOMPARE(harness.text(u"playheadTF"_s), time);
            QCOMPARE(QAccessible::queryAccessibleInterface(harness.find<QWidget>(u"playheadTF"_s))
                         ->text(QAccessible::Value), time);
        }
        const QString start = harness.text(u"startTimeTF"_s).remove(u"Start Time: "_s);
        QTEST(start + u' ' + harness.text(u"endTimeTF"_s).remove(u"End Time: "_s), "shown");
        // Another file: no frame of this one stays.
        QVERIFY(harness.open(clip("ten.mp4")) && !playback->isShowing());
        QCOMPARE(harness.find<QStackedWidget>(u"videoArea"_s)->currentWidget(), harness.find<QWidget>(u"posterView"_s));
    }

    // A file the player cannot read says so in the video's place; quitting while it plays leaves nothing running.
    void playerFaults()
    {
        QTemporaryDir folder;
        const QString gone = folder.filePath(u"gone.mp4"_s);
        QVERIFY(QFile::copy(clip("ten.mp4"), gone));
        AppHarness harness;
        QVERIFY(harness.open(gone) && QFile::remove(gone));
        harness.find<QAction>(u"playPauseAction"_s)->trigger();
        const auto *playback = harness.app().findChild<Playback *>();
        QTRY_COMPARE_WITH_TIMEOUT(playback->view()->message(), u"This video cannot be played here."_s, 15000);

        // With sound, where there may be no sound device: one line at most says so.
        QVERIFY(!MediaFactory(folder.path()).videoClip(u"sound.mp4"_s, 3).isEmpty());
        DiagnosticLog::Capture printed;
        QVERIFY(harness.open(folder.filePath(u"sound.mp4"_s)));
        harness.find<QAction>(u"playPauseAction"_s)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!playback->player()->isPaused() && playback->player()->position() > 0, 15000);
        harness.app().applicationWillTerminate();
        QVERIFY(!playback->isShowing());
        QVERIFY(printed.lines().filter(u"Player:"_s).size() <= 1);
    }

    // Where the video's codec and container allow, and not while re-encoding; off after every open.
    void exactCutIsOfferedWhereItCanWork()
    {
        const QString mpeg4 = u"-f lavfi -i testsrc2=size=64x48:rate=5:duration=3 -c:v mpeg4"_s;
        QVERIFY(!MediaFactory(m_media.path()).generate(u"mpeg4.mp4"_s, mpeg4.split(u' ')).isEmpty());
        AppHarness harness;
        auto *exact = harness.find<QCheckBox>(u"exactCutCBX"_s);
        auto *force = harness.find<QCheckBox>(u"forceEncodeCBX"_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(exact)->text(QAccessible::Name), exact->text());
        QVERIFY(!exact->isEnabled());
        QVERIFY(harness.open(clip("ten.mp4")) && exact->isEnabled());
        exact->setChecked(true);
        force->setChecked(true);
        QVERIFY(!exact->isEnabled() && !exact->isChecked() && exact->toolTip().contains(u"exact already"_s));
        force->setChecked(false);
        exact->setChecked(true);
        QVERIFY(harness.open(clip("sixty.mp4")) && exact->isEnabled() && !exact->isChecked());
        QVERIFY(harness.open(m_media.filePath(u"mpeg4.mp4"_s)) && !exact->isEnabled());
        QVERIFY(exact->toolTip().endsWith(u"H.264, HEVC, VP9, AV1 or MPEG-2; this video is MPEG4."_s));
        // HEVC cut into MP4 is tagged hev1, which Apple's players refuse: said before the cut, with Matroska.
        const QString hevc = u"-f lavfi -i testsrc2=size=128x72:rate=5:duration=3 -c:v libx265 -x265-params "
                             "log-level=error -tag:v hvc1"_s;
        QVERIFY(!MediaFactory(m_media.path()).generate(u"phone.mp4"_s, hevc.split(u' ')).isEmpty());
        QVERIFY(harness.open(m_media.filePath(u"phone.mp4"_s)) && exact->isEnabled());
        const auto *note = harness.find<QLabel>(u"exactCutNoteLabel"_s);
        QVERIFY(exact->toolTip().contains(u"hev1"_s) && note->isHidden());
        exact->setChecked(true);
        QVERIFY(!note->isHidden() && note->text() == exact->toolTip() && note->text().contains(u"Matroska"_s));
        // A broadcast recording's exact cut may go into MP4 as the save panel's type, its name following.
        const QString broadcast = u"-f lavfi -i testsrc2=size=128x72:rate=25:duration=3 -c:v mpeg2video"_s;
        QVERIFY(!MediaFactory(m_media.path()).generate(u"tv.ts"_s, broadcast.split(u' ')).isEmpty());
        QVERIFY(harness.open(m_media.filePath(u"tv.ts"_s)) && exact->isEnabled());
        exact->setChecked(true);
        harness.find<QAction>(u"trimVideoBTN"_s)->trigger();
        auto *panel = harness.app().window()->findChild<QFileDialog *>();
        QVERIFY(panel && panel->nameFilters().size() == 3);
        panel->selectNameFilter(u"MP4 video (*.mp4)"_s);
        panel->selectFile(m_media.filePath(u"tv cut.ts"_s));
        static_cast<QDialog *>(panel)->accept();
        QVERIFY(harness.waitForEnd());
        QCOMPARE(harness.outcome(), EncoderRun::Outcome::Succeeded);
        const auto written = FileProbe::create(m_media.filePath(u"tv cut.mp4"_s), ToolLocator(MediaFactory::toolsFolder()));
        QVERIFY(written && written->formatName() == u"mov,mp4,m4a,3gp,3g2,mj2"_s);
    }

    void refusedInputs_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("message");
        QTest::newRow("valid clip named .Vob") << "disc.Vob" << AppTexts::vob;
        QTest::newRow("text file") << "notes.txt" << u"“notes.txt” is not a video file."_s;
        QTest::newRow("random bytes") << "noise.mp4" << u"“noise.mp4” is not a video file."_s;
        QTest::newRow("audio only") << "tone.m4a" << u"“tone.m4a” has no video track."_s;
        QTest::newRow("folder") << "folder.mp4" << u"“folder.mp4” is not a video file."_s;
        QTest::newRow("still image named .mp4") << "still.mp4" << u"“still.mp4” is a still image, not a video."_s;
        QTest::newRow("cut short") << "short.mp4" << u"“short.mp4” seems to be damaged or cut short."_s;
    }

    // A refused file costs nothing of the video open before it: its name, selection, marks and choices stay.
    void refusedInputs()
    {
        QFETCH(QString, input);
        const QString path = m_media.filePath(input);
        const QStringList listing = TestFiles::listing(m_media.path());
        const QByteArray bytes = TestFiles::contents(path);
        AppHarness harness;
        QVERIFY(harness.open(clip("long.mp4")));
        auto *slider = harness.find<RangeSlider>(u"myRangeSlider"_s);
        QTRY_VERIFY(!slider->tickValues().isEmpty() && slider->markedValue());
        harness.find<QCheckBox>(u"forceEncodeCBX"_s)->setChecked(true);
        harness.select(0.25, 0.5);
        const auto shown = [&harness, slider] {
            QStringList state{harness.app().window()->windowFilePath(),
                              harness.find<ImageDropView>(u"posterView"_s)->busyText()};
            for (const QString &name : {u"inputDurationTF"_s, u"startTimeTF"_s, u"endTimeTF"_s, u"outputDurationTF"_s})
                state << harness.text(name);
            return state << QString::number(slider->tickValues().size()) << QString::number(slider->start());
        };
        const QStringList before = shown();

        QVERIFY(!harness.open(path));
        QCOMPARE(harness.alerts().size(), 1);
        QFETCH(QString, message);
        QCOMPARE(harness.lastAlert()->text(), message);
        const QString informativeStart = message == AppTexts::vob ? u"Questions? : "_s : AppTexts::contact;
        QVERIFY(harness.lastAlert()->informativeText().startsWith(informativeStart));
        QVERIFY(harness.lastAlert()->informativeText().size() > informativeStart.size());
        QCOMPARE(shown(), before);
        QCOMPARE(editingEnabled(harness), std::optional<bool>(true));
        QVERIFY(harness.find<QCheckBox>(u"forceEncodeCBX"_s)->isChecked());
        QCOMPARE(harness.app().globalFP()->fileFullPath(), std::optional<QString>(clip("long.mp4")));
        QCOMPARE(TestFiles::listing(m_media.path()), listing);
        QCOMPARE(TestFiles::contents(path), bytes);

        // With nothing open before, nothing is offered after.
        AppHarness fresh;
        QVERIFY(!fresh.open(path));
        QCOMPARE(editingEnabled(fresh), std::optional<bool>(false));
        fresh.find<QAction>(u"saveMenuBTN"_s)->trigger();
        QVERIFY(!fresh.app().window()->findChild<QFileDialog *>());
    }

private:
    QString clip(const char *name) const { return m_media.filePath(QLatin1String(name)); }

    // The frame at `seconds` as the encoder alone extracts it.
    QImage directFrame(const QString &name, double seconds) const
    {
        const QString direct = m_media.filePath(u"direct.jpg"_s);
        const QStringList arguments = PosterExtraction::arguments(m_media.filePath(name), seconds, direct,
                                                                  PosterExtraction::Accuracy::Exact);
        QProcess::execute(QDir(MediaFactory::toolsFolder()).filePath(ToolLocator::creator), arguments);
        const QImage frame(direct);
        QFile::remove(direct);
        return frame;
    }

    QTemporaryDir m_media;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"

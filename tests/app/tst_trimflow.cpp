// SPDX-License-Identifier: GPL-3.0-or-later
// Trims driven through the app controller, from the confirmed save dialog to
// the result alert, with real and misbehaving encoders. Every row ends in the
// same checks: the output appears only after a success, an existing file is
// kept byte for byte otherwise, nothing else appears, nothing is left behind.

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "apptest.h"
#include "overviewguide.h"
#include "overviewstrip.h"
#include "decimaltext.h"
#include "fileprobe.h"
#include "packetlist.h"
#include "progresssheet.h"
#include "timeline.h"
#include "timetext.h"

using namespace Qt::StringLiterals;

namespace {

enum class Output { New, Existing, Folder, Unwritable, LinkToInput };
// The actions after RemoveInput act on a running trim.
enum class Action { None, RemoveInput, RemoveInputWhileRunning, Cancel, OpenAnother, QuitAndKeep, QuitAndStop };
// Honest: either end will do, as long as the alert tells which.
enum class End { Trimmed, Failed, Cancelled, Refused, Honest };

struct TrimRow
{
    QString clip = u"stereo.mp4"_s;
    QString inputName = u"in.mp4"_s;
    QString outputName = u"out.mp4"_s;
    QString encoder = {}; // empty: the real one; "paced", "missing" or a fake's scenario
    bool forceEncode = false;
    bool exactCut = false;
    Output output = Output::New;
    Action action = Action::None;
    End end = End::Trimmed;
    QString detail = {}; // in the result's informative text; a refusal's message
    double length = 0.5;
    bool viaDialog = false;
    QString typed = {};    // into the save dialog; its proposal is taken when empty
    QString proposed = {}; // by the save dialog, empty when none opens
    int unchecked = -1;    // a row of the track list, or "Keep audio" (0) where there is no list
    QString tracks = {};   // those written, as AppTest::Media has them; empty: the input's
    bool clipped = false;  // the first subtitle track read back: the file's entries cut to the selection
};

// A keyframe every second, so a stream copy starts near the chosen start.
QStringList clipArguments(int seconds, int channels, const QString &moreInputs = {})
{
    return (u"-f lavfi -i testsrc2=size=64x48:rate=5:duration=%1 -f lavfi -i sine=sample_rate=8000:duration=%1 %3"
            "-c:v libx264 -preset ultrafast -g 5 -pix_fmt yuv420p -ac:a:0 %2 -c:a aac"_s)
        .arg(seconds).arg(channels).arg(moreInputs).split(u' ');
}

QAbstractButton *buttonTitled(const QMessageBox *box, const QString &title)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(TrimRow)

class TestTrimFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const MediaFactory factory(m_media.path());
        // Before, over the start, inside, over the end and after a quarter to three quarters of 13 s.
        factory.writeFile(u"subs.srt"_s, "1\n00:00:00,000 --> 00:00:02,000\na\n\n2\n00:00:02,000 --> 00:00:04,000\nb\n"
                          "\n3\n00:00:05,000 --> 00:00:06,000\nc\n\n4\n00:00:09,000 --> 00:00:11,000\nd\n\n"
                          "5\n00:00:11,000 --> 00:00:12,000\ne\n\n");
        QVERIFY(!factory.generate(u"stereo.mp4"_s, clipArguments(12, 2)).isEmpty());
        const QString mp4Text = u"-i %1 -c:s mov_text "_s.arg(factory.path(u"subs.srt"_s));
        QVERIFY(!factory.generate(u"subtitled.mp4"_s, clipArguments(13, 2, mp4Text)).isEmpty());
        QVERIFY(!factory.generate(u"short.mp4"_s, clipArguments(3, 2)).isEmpty());
        // Two languages, as a film has them: surround and a mono commentary.
        const QString subtitles = u"-i %1 -f lavfi -i sine=sample_rate=8000:duration=13 -map 0:v -map 1:a -map 3:a "
                                  "-map 2:s -c:s srt -metadata:s:a:0 language=eng -metadata:s:a:1 "
                                  "language=fra -metadata:s:s:0 language=eng "_s.arg(factory.path(u"subs.srt"_s));
        QVERIFY(!factory.generate(u"surround.mkv"_s, clipArguments(13, 6, subtitles)).isEmpty());
        QVERIFY(!factory.videoClip(u"dense.mp4"_s, 8, 2, 64, 48, u"25"_s).isEmpty());
    }

    void trim_data()
    {
        QTest::addColumn<TrimRow>("row");
        const auto add = [](const char *name, const TrimRow &row) { QTest::newRow(name) << row; };
        add("stream copy through the dialog keeps the type and every track, subtitles cut to the selection",
            {.clip = u"surround.mkv"_s, .inputName = u"in.mkv"_s, .outputName = u"Trimmed.mkv"_s, .viaDialog = true,
             .proposed = u"Trimmed.mkv"_s, .tracks = u"a6:eng a1:fra s:eng"_s, .clipped = true});
        add("stream copy of MP4: its own subtitles cut to the selection",
            {.clip = u"subtitled.mp4"_s, .clipped = true});
        add("re-encode down-mixes each track by itself, keeps languages, drops subtitles, gives mp4",
            {.clip = u"surround.mkv"_s, .inputName = u"in.mkv"_s, .outputName = u"mine.mov.mp4"_s, .forceEncode = true,
             .viaDialog = true, .typed = u"mine.mov"_s, .proposed = u"Trimmed.mp4"_s, .tracks = u"a2:eng a1:fra"_s});
        // Between keyframes at both ends: a head and a tail re-encoded, the second between copied.
        add("exact cut through the dialog keeps the type, the length and the checked tracks",
            {.clip = u"surround.mkv"_s, .inputName = u"in.mkv"_s, .outputName = u"Trimmed.mkv"_s, .exactCut = true,
             .detail = u"Audio: fra (mono) \u00b7 Subtitles: eng"_s, .viaDialog = true, .proposed = u"Trimmed.mkv"_s,
             .unchecked = 0, .tracks = u"a1:fra s:eng"_s});
        add("without its only audio track: silent", {.detail = u"No audio"_s, .unchecked = 0, .tracks = u""_s});
        add("no extension: the dialog adds none, the encoder still knows the format",
            {.inputName = u"in"_s, .outputName = u"Trimmed"_s, .viaDialog = true, .proposed = u"Trimmed"_s});
        add("empty selection: no dialog",
            {.end = End::Refused, .detail = AppTexts::emptySelection, .length = 0, .viaDialog = true});
        add("awkward names", {.inputName = u"-i it's a \"clip\"\ncafe\u0301.mp4"_s,
                              .outputName = u"-y 'trimmed' \"re\u0301sume\u0301\"\n.mp4"_s});
        // The hidden partial file beside a 255-byte output must give way.
        add("names of 255 bytes", {.inputName = QString(251, u'a') + u".mp4"_s,
                                   .outputName = QString(251, u'b') + u".mp4"_s});
        add("an existing file chosen in the dialog: replaced once the app has asked",
            {.output = Output::Existing, .viaDialog = true, .typed = u"out.mp4"_s, .proposed = u"Trimmed.mp4"_s});
        add("the input chosen in the dialog: refused before any replace question",
            {.end = End::Refused, .detail = AppTexts::sameFile, .viaDialog = true, .typed = u"in.mp4"_s,
             .proposed = u"Trimmed.mp4"_s});
        add("output is a link to the input",
            {.output = Output::LinkToInput, .end = End::Refused, .detail = AppTexts::sameFile});
        add("failing encoder keeps the existing file", {.encoder = u"encoder-failing"_s, .output = Output::Existing,
                                                         .end = End::Failed, .detail = u"out.mp4: Input/output error"_s});
        add("missing encoder", {.encoder = u"missing"_s, .end = End::Failed});
        add("cancel keeps the existing file", {.encoder = u"encoder-lingering"_s, .output = Output::Existing,
                                               .action = Action::Cancel, .end = End::Cancelled});
        add("a folder where no file can be made: refused before the encoder starts",
            {.output = Output::Unwritable, .end = End::Refused, .detail = u"The trimmed video cannot be saved in /proc."_s});
        add("a name longer than the file system takes: refused before the encoder starts",
            {.outputName = QString(252, u'c') + u".mp4"_s, .end = End::Refused,
             .detail = u"The name \u201c"_s + QString(40, u'c') + u"\u2026\u201d is too long."_s});
        add("output names a folder", {.output = Output::Folder, .end = End::Failed});
        add("input removed before", {.action = Action::RemoveInput, .end = End::Failed, .detail = u"No such file"_s});
        add("input removed while encoding", {.clip = u"short.mp4"_s, .encoder = u"paced"_s, .forceEncode = true,
                                             .action = Action::RemoveInputWhileRunning, .end = End::Honest});
        add("another video opened while trimming",
            {.clip = u"short.mp4"_s, .encoder = u"paced"_s, .action = Action::OpenAnother});
        add("quit, keep trimming", {.clip = u"short.mp4"_s, .encoder = u"paced"_s, .action = Action::QuitAndKeep});
        add("quit, stop and quit",
            {.clip = u"short.mp4"_s, .encoder = u"paced"_s, .action = Action::QuitAndStop, .end = End::Cancelled});
    }

    void trim()
    {
        QFETCH(TrimRow, row);
        QTemporaryDir folder;
        QTemporaryDir tools;
        const QString input = folder.filePath(row.inputName);
        QVERIFY(QFile::copy(m_media.filePath(row.clip), input));
        QString output = folder.filePath(row.outputName);
        if (row.output == Output::Existing)
            QVERIFY(TestFiles::write(output, "precious"));
        if (row.output == Output::Folder)
            QVERIFY(QDir().mkdir(output));
        if (row.output == Output::LinkToInput)
            QVERIFY(QFile::link(input, output));
        if (row.output == Output::Unwritable) // Root may write anywhere on disk, but not new files in /proc.
            output = u"/proc/kestrel-trimmed.mp4"_s;
        QStringList listing = TestFiles::listing(folder.path());
        const QByteArray inputBytes = TestFiles::contents(input);
        const QByteArray outputBytes = TestFiles::contents(output);

        AppHarness harness(AppTest::resourceFolder(row.encoder, tools.path()));
        QVERIFY(harness.open(input));
        harness.select(0.25, 0.25 + row.length);
        harness.find<QCheckBox>(u"forceEncodeCBX"_s)->setChecked(row.forceEncode);
        harness.find<QCheckBox>(u"exactCutCBX"_s)->setChecked(row.exactCut);
        const auto inputMedia = harness.app().globalFP();
        uncheckTrack(harness, row.unchecked);
        const bool removesInput = row.action == Action::RemoveInput || row.action == Action::RemoveInputWhileRunning;
        if (removesInput)
            listing.removeOne(row.inputName);
        if (row.action == Action::RemoveInput)
            QVERIFY(QFile::remove(input));

        QString proposed;
        const bool started = row.viaDialog ? harness.startTrimThroughDialog(
            row.typed.isEmpty() ? QString() : folder.filePath(row.typed), &proposed)
            : row.action > Action::RemoveInput ? harness.startAndAwaitProgress(output) : harness.startTrim(output);
        QCOMPARE(started, row.end != End::Refused);
        QCOMPARE(proposed, row.proposed.isEmpty() ? QString() : folder.filePath(row.proposed));
        actWhileRunning(harness, row, input);
        QVERIFY(!started || harness.waitForEnd());
        const QStringList arguments = harness.encoderArguments();
        if (started && row.encoder != "missing"_L1 && !row.exactCut) {
            // After the encoder's log level, seek before the input, which follows "-i" whatever its name; the
            // encoder writes a hidden file beside the output.
            QCOMPARE(arguments.mid(0, 3), (QStringList{u"-v"_s, u"error"_s, u"-stats"_s}));
            const double start = inputMedia->duration() * 0.25;
            const QString seek = row.forceEncode ? secondsArgument(start - Timeline::tolerance)
                                                 : timeTextFromSeconds(start);
            QCOMPARE(arguments.mid(3, 4), (QStringList{u"-ss"_s, seek,
                                                       u"-i"_s, input}));
            QVERIFY(QFileInfo(arguments.last()).fileName().startsWith(u'.'));
            QCOMPARE(QFileInfo(arguments.last()).absolutePath(), QFileInfo(output).absolutePath());
        }

        QList<QMessageBox *> results = harness.alerts();
        results.removeIf([](const QMessageBox *box) {
            return box->icon() == QMessageBox::Question || box->text().endsWith(u"replace it?"_s);
        });
        const bool replaces = row.viaDialog && row.output == Output::Existing;
        QCOMPARE(harness.replaceQuestion(), replaces ? u"out.mp4 already exists.\nDo you want to replace it?"_s : QString());
        if (started && !row.exactCut) // the one step of a copy or a re-encode
            QCOMPARE(harness.find<QLabel>(u"progressStep"_s)->text(),
                     row.forceEncode ? u"Re-encoding the selection to MP4"_s : u"Copying the selection"_s);
        QCOMPARE(results.size(), row.end == End::Cancelled ? 0 : 1);
        QVERIFY(row.end != End::Refused || harness.alerts().size() == 1);
        const QMessageBox *result = results.value(0);
        const QStringList ends{AppTexts::trimmed, AppTexts::notTrimmed};
        const QString expected = row.end == End::Refused ? row.detail : ends.value(int(row.end));
        if (result && row.end != End::Honest)
            QCOMPARE(result->text(), expected);
        QVERIFY(!result || row.end == End::Refused || result->informativeText().contains(row.detail));
        // A failure tells the tool's errors and the output as chosen: no banner, configuration or stream listing.
        static const QRegularExpression chatter(u"kestrel-partial|ffmpeg version|configuration:|Stream #|Duration: 00:"_s);
        QVERIFY(!result || !result->informativeText().contains(chatter));
        const bool trimmed = result && result->text() == AppTexts::trimmed;
        QCOMPARE(harness.outcome() == EncoderRun::Outcome::Succeeded, trimmed);
        QVERIFY(row.end != End::Cancelled || harness.outcome() == EncoderRun::Outcome::Cancelled);

        if (trimmed) {
            const AppTest::Media media = AppTest::describe(output);
            QVERIFY(media.isVideo);
            if (row.end == End::Trimmed) {
                // A stream copy starts at a keyframe, and Matroska plays the frames before the start.
                const double selected = inputMedia->duration() * row.length;
                QVERIFY(qAbs(media.duration - selected) < (row.exactCut ? 0.2 : 1.5));
                QCOMPARE(media.tracks, row.tracks.isNull() ? AppTest::describe(input).tracks : row.tracks);
            }
            // The output lasts as long as its video.
            const QRegularExpression informative(u"^Input Duration: %1 \\([^)]+\\)\nOutput Duration: %2 \\([^)]+\\)\n"_s
                                                     .arg(timeTextFromSeconds(inputMedia->duration()),
                                                          timeTextFromSeconds(media.length)));
            QVERIFY2(informative.match(result->informativeText()).hasMatch(), qPrintable(result->informativeText()));
            // OK is the escape button too, or the box would refuse to close when the app quits.
            QVERIFY(buttonTitled(result, u"Show in Folder"_s));
            QCOMPARE(result->escapeButton(), buttonTitled(result, u"OK"_s));
            // What a screen reader hears of the bar.
            auto *bar = QAccessible::queryAccessibleInterface(harness.find<QProgressBar>(u"progressBar"_s));
            QCOMPARE(bar->valueInterface()->currentValue(), QVariant(100));
            if (row.clipped)
                QCOMPARE(MediaFactory::subtitleTimes(output), clippedTimes(input, output, row.length));
            if (row.output == Output::New)
                listing << row.outputName;
        } else if (row.output == Output::Folder) {
            QCOMPARE(TestFiles::listing(output), QStringList());
        } else {
            QCOMPARE(QFileInfo::exists(output), row.output != Output::New && row.output != Output::Unwritable);
            QCOMPARE(TestFiles::contents(output), outputBytes);
        }
        listing.sort();
        QCOMPARE(TestFiles::listing(folder.path()), listing);
        QVERIFY(removesInput || TestFiles::contents(input) == inputBytes);
        QCOMPARE(harness.app().globalFP()->fileFullPath(), std::optional<QString>(input));
        QVERIFY(harness.find<QWidget>(u"centralWidget"_s)->isEnabled());
        QTRY_COMPARE(AppTest::leftBehind(folder.path()), QString());
    }

    void randomCancelsLeaveNothingBehind()
    {
        QTemporaryDir folder;
        AppHarness harness;
        QVERIFY(harness.open(m_media.filePath(u"dense.mp4"_s)));
        harness.find<QCheckBox>(u"forceEncodeCBX"_s)->setChecked(true);
        const QString output = folder.filePath(u"cancelled.mp4"_s);
        // One whole run first, to learn how long the cancels may wait.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(harness.startTrim(output) && harness.waitForEnd() && QFile::remove(output));
        const int runLengthMs = static_cast<int>(clock.elapsed());

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
            // A cancel after the encoder finished finds a complete trim; anything
            // else is a cancelled one, never a failure.
            if (harness.outcome() == EncoderRun::Outcome::Succeeded) {
                QVERIFY(AppTest::describe(output).isVideo && QFile::remove(output));
            } else {
                QCOMPARE(harness.outcome(), EncoderRun::Outcome::Cancelled);
                QVERIFY(!QFile::exists(output) && harness.alerts().isEmpty());
                ++cancelled;
            }
            QTRY_COMPARE(AppTest::leftBehind(folder.path()), QString());
        }
        QVERIFY2(cancelled > 0, "no round cancelled a running encoder");
        // The time left, by the pace so far, once it can be told.
        QCOMPARE(ProgressSheet::timeLeftText(4.0, 10.0), QString());
        QCOMPARE(ProgressSheet::timeLeftText(25.0, 10.0), u"About 30 seconds left"_s);
        QCOMPARE(ProgressSheet::timeLeftText(10.0, 60.0), u"About 9 minutes left"_s);
        // The save dialog starts where the last trim went, not beside the input.
        harness.find<QAction>(u"trimVideoBTN"_s)->trigger();
        QCOMPARE(harness.app().window()->findChild<QFileDialog *>()->directory().path(), folder.path());
    }

    // All checked at first; subtitles unavailable, and saying why, while re-encoding, then back as chosen.
    // A lone audio track is "Keep audio" instead.
    void trackList()
    {
        AppHarness harness;
        QVERIFY(harness.open(m_media.filePath(u"surround.mkv"_s)));
        const auto *list = harness.find<QListWidget>(u"trackList"_s);
        const auto *keepAudio = harness.find<QCheckBox>(u"keepAudioCBX"_s);
        QVERIFY(list->isVisibleTo(harness.app().window()) && keepAudio->isHidden());
        QCOMPARE(list->item(1)->text(), u"Audio: fra · aac · mono"_s);
        // The first audio track's loudness under the slider, a value every 1/20 s of the file.
        const auto *strip = harness.find<OverviewStrip>(u"overviewStrip"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!harness.app().findChild<OverviewGuide *>()->waveform().isRunning(), 15000);
        QVERIFY(std::abs(strip->loudnessCount() - harness.app().globalFP()->duration() * 20) <= 1);
        const auto states = [list] {
            QString text;
            for (int i = 0; i < list->count(); ++i)
                text += list->item(i)->flags().testFlag(Qt::ItemIsEnabled) ? (list->item(i)->checkState() ? u'x' : u'o')
                                                                            : u'-';
            return text + list->item(2)->data(Qt::AccessibleDescriptionRole).toString();
        };
        QCOMPARE(states(), u"xxx"_s);
        // At the smallest size the window takes, with three tracks and the copy's longest line, nothing is cut.
        harness.find<QLabel>(u"copyStartLabel"_s)->setText(u"A stream copy starts at the keyframe 0:00:00.023, 2.520 s "
            "before the start. A stream copy ends at 0:00:17.703, 0.160 s after the end: it stops in decoding order, "
            "where frames shown later can come first."_s);
        harness.app().window()->resize(1, 1);
        QTRY_COMPARE(harness.clippedControls(), QString());
        list->item(2)->setCheckState(Qt::Unchecked);
        harness.find<QCheckBox>(u"forceEncodeCBX"_s)->setChecked(true);
        QCOMPARE(states(), u"xx-A re-encode keeps no subtitles."_s);
        harness.find<QCheckBox>(u"forceEncodeCBX"_s)->setChecked(false);
        QCOMPARE(states(), u"xxo"_s);
        QVERIFY(harness.open(m_media.filePath(u"stereo.mp4"_s)));
        QVERIFY(list->isHidden() && keepAudio->isVisibleTo(harness.app().window()) && keepAudio->isChecked());
        // MP4 keeps titles as handler names; the muxer's own name for a track is none.
        const QString titled = MediaFactory(m_media.path()).generate(u"titled.mp4"_s, clipArguments(2, 1,
            u"-f lavfi -i sine=duration=2 -map 0:v -map 1:a -map 2:a -metadata:s:a:0 handler_name=Commentary "_s));
        QVERIFY(harness.open(titled));
        QCOMPARE(list->item(0)->text() + u'|' + list->item(1)->text(),
                 u"Audio: Unknown language · Commentary · aac · mono|Audio: Unknown language · aac · mono"_s);
        // The tooltip gives what the row has no room for, not the row again.
        QCOMPARE(list->item(0)->toolTip(), u"Title: Commentary\nFormat: AAC (Advanced Audio Coding)\nChannels: mono, 1 channel"_s);
        // As tall as its rows, no more.
        QCOMPARE(list->maximumHeight(), 2 * list->sizeHintForRow(0) + 2 * list->frameWidth());
    }

private:
    // The entries of subs.srt, which start with the first frame, cut to the selection and counted from where its start
    // lies in a copy, which begins at the keyframe before it.
    static QList<double> clippedTimes(const QString &input, const QString &output, double length)
    {
        const double duration = FileProbe::create(input, ToolLocator(MediaFactory::toolsFolder()))->duration();
        const double start = duration * 0.25, end = duration * (0.25 + length);
        const auto packets = [](const QString &path) {
            const QStringList arguments = PacketList::snifferArguments(path);
            return PacketList::parse(MediaFactory::toolOutput(ToolLocator::sniffer, arguments));
        };
        const PacketList source = packets(input);
        const double shown = packets(output).keyframes().value(0) + start - *source.keyframeAtOrBefore(start);
        const double first = source.keyframes().value(0);
        QList<double> times{start, first + 4, first + 5, first + 6, first + 9, end};
        for (double &time : times)
            time = MediaFactory::hundredths(shown + time - start);
        return times;
    }

    // As a person clicks its check box; a lone audio track has "Keep audio" instead of a list.
    static void uncheckTrack(AppHarness &harness, int row)
    {
        if (row < 0)
            return;
        auto *list = harness.find<QListWidget>(u"trackList"_s);
        if (list->isHidden()) {
            harness.find<QCheckBox>(u"keepAudioCBX"_s)->click();
            return;
        }
        QVERIFY(list->item(row)->flags().testFlag(Qt::ItemIsEnabled));
        list->item(row)->setCheckState(Qt::Unchecked);
    }

    void actWhileRunning(AppHarness &harness, const TrimRow &row, const QString &input) const
    {
        QMainWindow *window = harness.app().window();
        auto *sheet = window->findChild<QDialog *>(u"ProgressSheet"_s);
        if (row.action == Action::RemoveInputWhileRunning)
            QVERIFY(QFile::remove(input));
        if (row.action == Action::OpenAnother)
            harness.open(m_media.filePath(u"stereo.mp4"_s));
        if (row.action == Action::Cancel) {
            // The sheet holds the window but does not block it: the window's close button must still ask.
            QVERIFY(sheet->isVisible() && !sheet->isModal() && !window->centralWidget()->isEnabled());
            QCOMPARE(sheet->findChild<QLabel *>(u"progressTitle"_s)->text(), AppTexts::trimming);
            QTRY_VERIFY(sheet->findChild<QProgressBar *>()->value() > 0);
            QTest::mouseClick(sheet->findChild<QPushButton *>(u"progressCancel"_s), Qt::LeftButton);
            QCOMPARE(harness.app().isProcessCancelledByUser(), std::optional<bool>(true));
            // The encoder takes a moment to stop; until it has, the sheet stays.
            QVERIFY(sheet->isVisible() && harness.app().isTrimming());
        }
        if (row.action == Action::QuitAndKeep || row.action == Action::QuitAndStop) {
            // From the shortcut where the sheet has the keyboard, or from the window's close button.
            if (row.action == Action::QuitAndStop) {
                sheet->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(sheet));
                QTest::keySequence(sheet, QKeySequence(Qt::CTRL | Qt::Key_Q));
            }
            else
                QVERIFY(!window->close());
            QVERIFY(window->isVisible() && harness.app().isTrimming());
            QMessageBox *question = harness.lastAlert();
            QVERIFY(question && question->icon() == QMessageBox::Question && question->buttons().size() == 2);
            // Enter and Escape keep the work; the question stands in the sheet's place.
            QAbstractButton *keep = buttonTitled(question, AppTexts::keepTrimming);
            QVERIFY(keep && question->defaultButton() == keep && question->escapeButton() == keep);
            QVERIFY(!sheet->isVisible());
            const bool stop = row.action == Action::QuitAndStop;
            QAbstractButton *answer = stop ? buttonTitled(question, AppTexts::stopAndQuit) : keep;
            QVERIFY(answer);
            answer->click();
            QCOMPARE(sheet->isVisible(), !stop && harness.app().isTrimming());
            QVERIFY(harness.waitForEnd());
            QTRY_COMPARE(window->isVisible(), !stop);
        }
    }

    QTemporaryDir m_media;
};

QTEST_MAIN(TestTrimFlow)
#include "tst_trimflow.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The frame you see is the frame you get, in every container: in the window, each picture the player shows,
// the poster at a knob and every frame each kind of trim writes is matched against the creator's own decode of
// the source. The clips have their frame number drawn in, so that no two frames look alike.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "apptest.h"
#include "fileprobe.h"
#include "imagedropview.h"
#include "keyframescan.h"
#include "mpvplayer.h"
#include "playback.h"
#include "timetext.h"
#include "videoview.h"

using namespace Qt::StringLiterals;

namespace {

// Pictures are compared in grey at this size.
const QSize compared(64, 36);
using Pictures = QList<QByteArray>;

QByteArray creatorOutput(const QStringList &arguments)
{
    QProcess creator;
    creator.start(QDir(MediaFactory::toolsFolder()).filePath(ToolLocator::creator), arguments);
    creator.waitForFinished(60000);
    return creator.readAllStandardOutput();
}

// Every frame of the video of `path` as the creator decodes it from the start, in presentation order.
Pictures decodedFrames(const QString &path)
{
    const QByteArray raw = creatorOutput({u"-v"_s, u"error"_s, u"-i"_s, path, u"-map"_s, u"0:v:0"_s, u"-fps_mode"_s,
                                          u"passthrough"_s, u"-vf"_s, u"scale=64:36,format=gray"_s, u"-f"_s,
                                          u"rawvideo"_s, u"-"_s});
    Pictures frames;
    const qsizetype size = compared.width() * compared.height();
    for (qsizetype at = 0; at + size <= raw.size(); at += size)
        frames << raw.mid(at, size);
    return frames;
}

// The video's part of `image`, drawn to fit it whole and centred.
QByteArray pictureOf(const QImage &image, QSize video)
{
    QRect fit(QPoint(), video.scaled(image.size(), Qt::KeepAspectRatio));
    fit.moveCenter(image.rect().center());
    const QImage grey = image.copy(fit).scaled(compared, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_Grayscale8);
    QByteArray bytes;
    for (int y = 0; y < grey.height(); ++y)
        bytes.append(reinterpret_cast<const char *>(grey.constScanLine(y)), grey.width());
    return bytes;
}

// The source frame that `picture` is nearest to.
int frameOf(const QByteArray &picture, const Pictures &source)
{
    int nearest = -1;
    qint64 least = std::numeric_limits<qint64>::max();
    for (qsizetype i = 0; i < source.size(); ++i) {
        qint64 distance = 0;
        for (qsizetype p = 0; p < picture.size() && p < source.at(i).size(); ++p)
            distance += std::abs(int(quint8(picture.at(p))) - int(quint8(source.at(i).at(p))));
        if (distance < least)
            std::tie(least, nearest) = std::pair(distance, int(i));
    }
    return nearest;
}

QList<int> framesOf(const QString &path, const Pictures &source)
{
    QList<int> frames;
    for (const QByteArray &picture : decodedFrames(path))
        frames << frameOf(picture, source);
    return frames;
}

QList<int> run(int from, int to)
{
    QList<int> frames;
    for (int frame = from; frame <= to; ++frame)
        frames << frame;
    return frames;
}

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const MediaFactory factory(m_media.path());
        const QString numbered = u"testsrc2=size=160x90:rate=%1:duration=3,drawtext=fontfile=/usr/share/fonts/"
                                 "truetype/dejavu/DejaVuSans.ttf:text=%{n}:fontsize=48:fontcolor=white:box=1:boxcolor=black"_s;
        const QString sound = u"-f lavfi -i sine=duration=3:sample_rate=48000 -c:a aac"_s;
        const auto make = [&](const QString &name, const QString &rate, const QString &video) {
            QStringList arguments{u"-f"_s, u"lavfi"_s, u"-i"_s, numbered.arg(rate)};
            QVERIFY(!factory.generate(name, arguments + sound.split(u' ') + video.split(u' ')).isEmpty());
        };
        const QString h264 = u"-c:v libx264 -g 50 -sc_threshold 0 -bf 3 -pix_fmt yuv420p"_s;
        make(u"h264.mp4"_s, u"25"_s, h264);
        make(u"h264.mov"_s, u"25"_s, h264);
        // Remuxed to Matroska, which counts in milliseconds, the video starts 21 ms after the audio, by the length
        // of AAC's priming at 48 kHz; mpv counted from the video, the tools from the audio.
        QVERIFY(!factory.generate(u"late.mkv"_s, {u"-i"_s, factory.path(u"h264.mp4"_s), u"-c"_s, u"copy"_s}).isEmpty());
        QVERIFY(!factory.generate(u"late.ts"_s, {u"-i"_s, factory.path(u"h264.mp4"_s), u"-c"_s, u"copy"_s,
                                                 u"-output_ts_offset"_s, u"10"_s}).isEmpty());
        make(u"vp9.webm"_s, u"25"_s, u"-c:v libvpx-vp9 -g 50 -deadline realtime -cpu-used 8 -c:a libopus"_s);
        make(u"av1.mkv"_s, u"25"_s, u"-c:v libaom-av1 -usage realtime -cpu-used 8 -g 50 -b:v 200k"_s);
        // 10 frames a second until 2.5 s, then 60: the nominal rate's half frame is longer than a frame there.
        const QString variable = u"-vf select=gte(t\\,2.5)+not(mod(n\\,6)) -fps_mode vfr -c:v libx264 -g 50 -bf 3 "
                                 "-pix_fmt yuv420p"_s;
        make(u"variable.mkv"_s, u"60"_s, variable);
        make(u"variable.mp4"_s, u"60"_s, variable);
        // x265's open GOPs: the frames just before keyframe 50 decode after it.
        const QString hevc = u"-c:v libx265 -x265-params keyint=50:log-level=error -pix_fmt yuv420p10le"_s;
        make(u"hevc.mp4"_s, u"25"_s, hevc);
        QVERIFY(!factory.generate(u"hevc.mkv"_s, {u"-i"_s, factory.path(u"hevc.mp4"_s), u"-c"_s, u"copy"_s}).isEmpty());
    }

    // From the start knob on frame `first`: two steps back, four forward, I there, three more, O; then a trim of
    // each kind from between the frame before and I's frame to O's.
    void framesShownAndWritten_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<int>("first");
        QTest::addColumn<bool>("exactCut"); // offered
        // A step back from 60 decodes from keyframe 50 on; from 28, from the first frame.
        QTest::newRow("MP4") << "h264.mp4" << 60 << true;
        QTest::newRow("QuickTime") << "h264.mov" << 28 << true;
        QTest::newRow("Matroska, its video after its audio") << "late.mkv" << 60 << true;
        QTest::newRow("WebM") << "vp9.webm" << 28 << true;
        QTest::newRow("AV1 in Matroska") << "av1.mkv" << 60 << true;
        QTest::newRow("MPEG-TS starting at 11.4 s") << "late.ts" << 60 << true;
        QTest::newRow("Matroska, a variable rate") << "variable.mkv" << 26 << true;
        // Its average rate, 18 a second, is the nominal one: half its frame is longer than a frame at 60.
        QTest::newRow("MP4, a variable rate") << "variable.mp4" << 26 << true;
        QTest::newRow("open GOP, MP4: back onto the leading picture") << "hevc.mp4" << 50 << true;
        QTest::newRow("open GOP, Matroska") << "hevc.mkv" << 50 << true;
    }

    void framesShownAndWritten()
    {
        QFETCH(QString, clip);
        QFETCH(int, first);
        const QString path = m_media.filePath(clip);
        const Pictures source = decodedFrames(path);
        AppHarness harness;
        QVERIFY(harness.open(path));
        const auto *scan = harness.app().findChild<KeyframeScan *>();
        QTRY_VERIFY_WITH_TIMEOUT(scan->isComplete(), 15000);
        const FileProbe &probe = *harness.app().globalFP();
        QList<double> times; // of every frame, counted from the file's start
        for (const Packet &packet : scan->packets().packets())
            times << packet.pts - probe.startTime();
        std::sort(times.begin(), times.end());
        QCOMPARE(times.size(), source.size());
        // Opened whole, the selection starts on the first frame.
        const auto field = [&](const char *name) {
            return harness.text(QLatin1String(name)).section(u": "_s, 1);
        };
        QCOMPARE(field("startTimeTF"), timeTextFromSeconds(times.first()));

        auto *start = harness.find<QLineEdit>(u"startTimeTF"_s);
        start->setFocus();
        QTRY_VERIFY(start->hasSelectedText());
        QTest::keyClicks(start, QString::number(times.at(first), 'f', 6));
        QTest::keyClick(start, Qt::Key_Return);
        QVERIFY(harness.waitForPosters());
        const QSize video(160, 90);
        QCOMPARE(frameOf(pictureOf(harness.find<ImageDropView>(u"posterView"_s)->image(), video), source), first);

        harness.find<QWidget>(u"myRangeSlider"_s)->setFocus();
        const auto *playback = harness.app().findChild<Playback *>();
        // A person sees each frame before the next key.
        const auto press = [&](const char *keys) {
            return std::all_of(keys, keys + qstrlen(keys), [&](char key) {
                QTest::keySequence(QApplication::focusWidget(), QKeySequence(QString(QLatin1Char(key))));
                return QTest::qWaitFor([&] { return playback->isShowing() && !playback->isFindingFrame(); });
            });
        };
        const auto shown = [&] { return frameOf(pictureOf(playback->view()->frame(), video), source); };
        // Every picture in view meanwhile, but the black before the first: no other frame may flash up first.
        QList<int> seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            const QImage image = playback->isShowing() ? playback->view()->frame() : QImage();
            const bool black = image.isNull() || pictureOf(image, video).count('\0') == compared.width() * compared.height();
            const int frame = black ? -1 : shown();
            if (frame >= 0 && seen.value(seen.size() - 1, -1) != frame)
                seen << frame;
        });
        watch.start(5);
        // Back twice, the second among the frames the first decoded, and forward again onto the player's own.
        QVERIFY(press(","));
        QTRY_COMPARE_WITH_TIMEOUT(shown(), first - 1, 5000);
        QTest::keySequence(QApplication::focusWidget(), QKeySequence(u","_s));
        QCOMPARE(shown(), first - 2); // at once, nothing decoded
        QTRY_COMPARE(seen.value(seen.size() - 1), first - 2);
        QVERIFY2(seen.mid(seen.size() - 2) == QList<int>({first - 1, first - 2}) && seen.size() - seen.count(first) == 2,
                 qPrintable(QDebug::toString(seen)));
        QVERIFY(press("...."));
        QTRY_COMPARE_WITH_TIMEOUT(shown(), first + 2, 5000);
        QVERIFY(press("I...O"));
        QTRY_COMPARE_WITH_TIMEOUT(shown(), first + 5, 5000);
        // The selection played: never a frame outside it; frames late to come may be dropped, or missed here.
        seen = {first + 5};
        QTest::keySequence(QApplication::focusWidget(), QKeySequence(u"Shift+Space"_s));
        QTRY_VERIFY_WITH_TIMEOUT(playback->player()->isPaused() && seen.size() > 2 && shown() == first + 5, 5000);
        QVERIFY2(std::all_of(seen.cbegin(), seen.cend(), [&](int frame) {
                     return frame >= first + 2 && frame <= first + 5;
                 }), qPrintable(QDebug::toString(seen)));
        watch.stop();
        QCOMPARE(field("startTimeTF") + u' ' + field("endTimeTF"),
                 timeTextFromSeconds(times.at(first + 2)) + u' ' + timeTextFromSeconds(times.at(first + 6)));

        const double duration = probe.duration();
        harness.select((times.at(first + 1) + times.at(first + 2)) / 2 / duration, times.at(first + 6) / duration);
        auto *reencode = harness.find<QCheckBox>(u"forceEncodeCBX"_s);
        auto *exact = harness.find<QCheckBox>(u"exactCutCBX"_s);
        const auto trim = [&](const QString &kind) {
            const QString suffix = reencode->isChecked() ? u"mp4"_s : QFileInfo(path).suffix();
            const QString output = m_media.filePath(u"%1-%2.%3"_s.arg(clip, kind, suffix));
            harness.clearRecords();
            const bool trimmed = harness.startTrim(output) && harness.waitForEnd()
                              && harness.outcome() == EncoderRun::Outcome::Succeeded;
            if (!trimmed && harness.lastAlert())
                qWarning() << harness.lastAlert()->text() << harness.lastAlert()->informativeText();
            return trimmed ? framesOf(output, source) : QList<int>();
        };
        QFETCH(bool, exactCut);
        QCOMPARE(exact->isEnabled(), exactCut);
        if (exactCut) {
            exact->setChecked(true);
            QCOMPARE(trim(u"exact"_s), run(first + 2, first + 5));
            exact->setChecked(false);
        }
        reencode->setChecked(true);
        QCOMPARE(trim(u"reencoded"_s), run(first + 2, first + 5));
        reencode->setChecked(false);

        // A copy holds every frame, from the keyframe before on; past the end only what the window says.
        const QList<int> copied = trim(u"copied"_s);
        const int last = copied.isEmpty() ? -1 : *std::max_element(copied.cbegin(), copied.cend());
        const int keyframe = first + 2 >= 50 ? 50 : 0;
        for (const int frame : run(first + 2, first + 5))
            QVERIFY2(copied.contains(frame), qPrintable(QString::number(frame)));
        QVERIFY(*std::min_element(copied.cbegin(), copied.cend()) >= keyframe);
        const QString line = harness.find<QLabel>(u"copyStartLabel"_s)->text();
        if (last > first + 5)
            QVERIFY2(line.contains(u"ends at %1"_s.arg(timeTextFromSeconds(times.value(last + 1)))), qPrintable(line));
        else
            QVERIFY2(!line.contains(u"ends at"_s), qPrintable(line));
    }

private:
    QTemporaryDir m_media;
};

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The player on its own, offscreen with the software renderer and no sound:
// each paused frame against the frame the encoder decodes, counted from the
// file's first frame.

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "mediafactory.h"
#include "mpvplayer.h"

using namespace Qt::StringLiterals;

namespace {

// Frame `index` of `path`, decoded from the start: no seek can mislead it.
QImage decodedFrame(const QString &path, int index, const QString &folder)
{
    const QString out = QDir(folder).filePath(u"frame-%1.png"_s.arg(index));
    QProcess::execute(QDir(MediaFactory::toolsFolder()).filePath(u"creator"_s),
                      {u"-v"_s, u"error"_s, u"-y"_s, u"-i"_s, path, u"-vf"_s, u"select=eq(n\\,%1)"_s.arg(index),
                       u"-frames:v"_s, u"1"_s, out});
    return QImage(out).convertToFormat(QImage::Format_RGB32);
}

// The mean difference in brightness.
double difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            // Brightness only: two scalers place the colours of a tiny frame's edges apart.
            sum += qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
        }
    }
    return sum / (a.width() * a.height());
}

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const MediaFactory factory(m_media.path());
        const QString h264 = u"-f lavfi -i testsrc2=size=128x96:rate=25:duration=4 -c:v libx264 -g 25 -bf 3 "
                             "-pix_fmt yuv420p"_s;
        QVERIFY(!factory.generate(u"h264.mp4"_s, h264.split(u' ')).isEmpty());
        // x265's open GOPs: the frames just before a keyframe decode after it.
        const QString hevc = u"-f lavfi -i testsrc2=size=128x96:rate=25:duration=4 -c:v libx265 "
                             "-x265-params keyint=25:min-keyint=25:open-gop=1:log-level=error -pix_fmt yuv420p"_s;
        QVERIFY(!factory.generate(u"hevc.mp4"_s, hevc.split(u' ')).isEmpty());
        // A variable rate: 25 frames a second for the first second, then every third frame (0.12 s apart),
        // each at its own time; a frame rate's step would miss or repeat frames.
        const QString variable = u"-f lavfi -i testsrc2=size=128x96:rate=25:duration=4 "
                                 "-vf select=lt(n\\,25)+not(mod(n\\,3)) -fps_mode vfr -c:v libx264 -bf 3 "
                                 "-pix_fmt yuv420p"_s;
        QVERIFY(!factory.generate(u"variable.mp4"_s, variable.split(u' ')).isEmpty());
    }

    void exactFrames_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("seeks"); // seconds, one after another
        QTest::addColumn<int>("frame");     // counted from the file's first
        QTest::addColumn<double>("shownAt");
        QTest::newRow("between keyframes") << "h264.mp4" << "1.48" << 37 << 1.48;
        QTest::newRow("a time between two frames: the later, as a poster") << "h264.mp4" << "1.49" << 38 << 1.52;
        QTest::newRow("the frame before a keyframe") << "h264.mp4" << "1.96" << 49 << 1.96;
        QTest::newRow("open GOP: the leading picture before a keyframe") << "hevc.mp4" << "1.96" << 49 << 1.96;
        QTest::newRow("open GOP: back onto it, a frame step") << "hevc.mp4" << "2 1.9595" << 49 << 1.96;
        QTest::newRow("variable rate: a sparse frame") << "variable.mp4" << "1.2" << 26 << 1.2;
        QTest::newRow("variable rate: back a frame from there") << "variable.mp4" << "1.2 1.0795" << 25 << 1.08;
    }

    void exactFrames()
    {
        QFETCH(QString, clip);
        const QString path = m_media.filePath(clip);
        MpvPlayer player(u"null"_s);
        QVERIFY(player.isValid() && player.initializeSoftware());
        QSignalSpy loaded(&player, &MpvPlayer::loaded);
        player.load(path);
        QVERIFY(loaded.wait(10000));
        // As the view does: mpv moves on only once the frames it hands over are drawn.
        QImage shown(128, 96, QImage::Format_RGBX8888);
        connect(&player, &MpvPlayer::frameReady, &player, [&] { player.renderInto(shown); });
        QSignalSpy seeked(&player, &MpvPlayer::seekFinished);
        QFETCH(QString, seeks);
        for (const QString &seconds : seeks.split(u' ')) {
            seeked.clear();
            player.seekExact(seconds.toDouble());
            QVERIFY(QTest::qWaitFor([&] { return !seeked.isEmpty() && !player.isSeeking(); }, 10000));
        }
        QFETCH(int, frame);
        QFETCH(double, shownAt);
        QSignalSpy drawn(&player, &MpvPlayer::frameReady);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(player.position() - shownAt) < 0.001, 5000);
        // The frame told may be drawn a moment after it is told.
        if (drawn.isEmpty())
            drawn.wait(500);
        shown = shown.convertToFormat(QImage::Format_RGB32);
        const double exact = difference(shown, decodedFrame(path, frame, m_media.path()));
        const double before = difference(shown, decodedFrame(path, frame - 1, m_media.path()));
        const double after = difference(shown, decodedFrame(path, frame + 1, m_media.path()));
        QVERIFY2(exact < before && exact < after, qPrintable(u"%1 %2 %3"_s.arg(exact).arg(before).arg(after)));
    }

private:
    QTemporaryDir m_media;
};

QTEST_GUILESS_MAIN(TestPlayer)
#include "tst_player.moc"

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

constexpr double rate = 25.0;

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
    }

    void exactFrames_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("moves"); // "seek:<frame>", "at:<seconds>", "next", "back"
        QTest::addColumn<int>("frame");
        QTest::newRow("seek between keyframes") << "h264.mp4" << "seek:37" << 37;
        QTest::newRow("a time between two frames: the later, as a poster") << "h264.mp4" << "at:1.49" << 38;
        QTest::newRow("seek to the frame before a keyframe") << "h264.mp4" << "seek:49" << 49;
        QTest::newRow("step forward") << "h264.mp4" << "seek:37 next" << 38;
        QTest::newRow("step back over a keyframe") << "h264.mp4" << "seek:50 back" << 49;
        QTest::newRow("open GOP: the leading picture before a keyframe") << "hevc.mp4" << "seek:49" << 49;
        QTest::newRow("open GOP: a step back onto it") << "hevc.mp4" << "seek:50 back" << 49;
    }

    void exactFrames()
    {
        QFETCH(QString, clip);
        QFETCH(QString, moves);
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
        for (const QString &move : moves.split(u' ')) {
            seeked.clear();
            if (move.startsWith(u"at:"_s))
                player.seekExact(move.mid(3).toDouble());
            else if (move.startsWith(u"seek:"_s))
                player.seekExact(move.mid(5).toInt() / rate);
            else if (move == "next"_L1)
                player.stepForward();
            else
                player.stepBack();
            QVERIFY(QTest::qWaitFor([&] { return !seeked.isEmpty() && !player.isSeeking(); }, 10000));
        }
        QFETCH(int, frame);
        QSignalSpy drawn(&player, &MpvPlayer::frameReady);
        QTRY_COMPARE_WITH_TIMEOUT(qRound(player.position() * rate), frame, 5000);
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

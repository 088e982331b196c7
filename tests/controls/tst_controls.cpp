// SPDX-License-Identifier: GPL-3.0-or-later
#include <QMimeData>
#include <QPainter>
#include <QtTest>

#include "imagedropview.h"
#include "rangeslider.h"
#include "packetlist.h"
#include "rangeslidergeometry.h"
#include "selection.h"

using namespace Qt::StringLiterals;
using OptionalKnob = std::optional<DraggedSlider>;
using Knob = Selection::Knob;
using Move = std::function<void(Selection &)>;
Q_DECLARE_METATYPE(Move)

namespace {

constexpr int knobRow = 10;     // through the bar and the knobs
constexpr int knobOnlyRow = 16; // below the bar: only the knobs and their shadows
const OptionalKnob startKnob = DraggedSlider::start;
const OptionalKnob endKnob = DraggedSlider::end;
const OptionalKnob noKnob;

struct PaintCountingSlider : RangeSlider
{
    int paints = 0;
    void paintEvent(QPaintEvent *event) override { ++paints; RangeSlider::paintEvent(event); }
};

// The announcements in order: s, e, l for start, end, length about to change; S, E, L for changed;
// C: and the knob that the callback sees.
struct Recorder
{
    explicit Recorder(RangeSlider &slider)
    {
        using R = RangeSlider;
        const std::pair<void (R::*)(), char> codes[] = {{&R::startAboutToChange, 's'}, {&R::endAboutToChange, 'e'},
            {&R::lengthAboutToChange, 'l'}, {&R::startChanged, 'S'}, {&R::endChanged, 'E'}, {&R::lengthChanged, 'L'}};
        for (const auto &[signal, code] : codes)
            QObject::connect(&slider, signal, &slider, [this, code = code] { announced += QLatin1Char(code); });
        QObject::connect(&slider, &R::onControlChanged, &slider, [this](R *sender) {
            announced += QLatin1String(sender->currentSliderDragging() == startKnob ? " C:start" : " C:end");
        });
    }
    QString announced;
};

enum Setup { plain, noBarClicks, disabled, rightButtonMove, snapsToTenths };

// One press, one move and a release on a slider of 400 × 20; the selection in fractions of the range.
struct Drag
{
    double start, end, pressX, moveX;
    OptionalKnob knob; // marked afterwards
    double newStart, newEnd;
    const char *announced;
    Setup setup = plain;
};

// The knobs a selection's signal named, as "s" and "e".
QString knobs(const QSignalSpy &spy)
{
    QString names;
    for (const QList<QVariant> &signal : spy)
        names += signal.at(0).value<Knob>() == Knob::Start ? u's' : u'e';
    return names;
}

struct Frames
{
    QSizeF size;
    RangeSliderKnobStyle style;
    SelectionRange selection;
    QRectF bar, fill, startKnob, endKnob;
    SelectionRange view = {}; // zoomed in on this part of the range
};

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void mouse_data()
    {
        QTest::addColumn<Drag>("row");
        const auto row = [](const char *name, const Drag &drag) { QTest::newRow(name) << drag; };
        // Start 0.2 and end 0.5 put the knobs at 76.5..84.5 and 196.5..204.5.
        row("end pushes the start", {0.2, 0.5, 200, 40, endKnob, 0.1, 0.1, "selSEL C:end"});
        row("start held at the left", {0.2, 0.5, 80, -30, startKnob, 0.0, 0.5, "slSL C:start"});
        row("overlap: the start is grabbed", {0.2, 0.2, 80, 200, startKnob, 0.5, 0.5, "seSE C:start"});
        // A click on the bar moves the nearer knob there, once; knob centres at 100.5 and 301.5.
        row("bar click, tie to the end", {0.25, 0.7525, 201, 201, endKnob, 0.25, 0.5025, "elEL C:end"});
        row("bar click nearer the start", {0.25, 0.7525, 200, 200, startKnob, 0.5, 0.7525, "slSL C:start"});
        row("bar clicks off: no knob", {0.0, 0.75, 150, 180, noKnob, 0.0, 0.75, "", noBarClicks});
        row("disabled", {0.0, 0.8, 4, 100, endKnob, 0.0, 0.8, "", disabled});
        row("moved with the right button", {0.0, 1.0, 4, 100, startKnob, 0.0, 1.0, "", rightButtonMove});
        // Ten units over 400 pixels: 2.5 units round away from zero, to 3.
        row("snaps a half away from zero", {0.0, 1.0, 4, 100, startKnob, 0.3, 1.0, "slSL C:start", snapsToTenths});
    }

    void mouse()
    {
        QFETCH(Drag, row);
        RangeSlider slider;
        slider.resize(400, 20);
        slider.show();
        QVERIFY(QTest::qWaitForWindowExposed(&slider));
        slider.setStart(row.start);
        slider.setEnd(row.end);
        slider.setMaxValue(row.setup == snapsToTenths ? 10.0 : 1.0);
        slider.setSnapsToIntegers(row.setup == snapsToTenths);
        slider.setAllowClicksOnBarToMoveSliders(row.setup != noBarClicks);
        slider.setEnabled(row.setup != disabled);
        const Recorder recorder(slider);

        QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, QPointF(row.pressX, knobRow).toPoint());
        // QTest::mouseMove does not carry the buttons reliably.
        const QPointF to(row.moveX, knobRow);
        const Qt::MouseButton held = row.setup == rightButtonMove ? Qt::RightButton : Qt::LeftButton;
        QMouseEvent move(QEvent::MouseMove, to, slider.mapToGlobal(to), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(&slider, &move);
        QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, to.toPoint());

        QCOMPARE(std::pair(slider.selection().start, slider.selection().end), std::pair(row.newStart, row.newEnd));
        QCOMPARE(slider.currentSliderDragging(), row.knob);
        QCOMPARE(recorder.announced, QLatin1String(row.announced));
    }

    // The selection the slider shows, on the model alone: each rule at its edges, and what it tells.
    void selectionMoves_data()
    {
        QTest::addColumn<QList<double>>("from"); // duration, frame rate (0: none told), start, end
        QTest::addColumn<QByteArray>("frames"); // listed as the prober does; none: the rate's grid
        QTest::addColumn<Move>("move");
        QTest::addColumn<QList<double>>("to"); // start, end
        QTest::addColumn<QString>("told"); // the knobs set, "|", the knobs that changed
        using S = Selection;
        const auto nudge = [](Knob knob, S::Step step, int by) { return Move([=](S &s) { s.nudge(knob, step, by); }); };
        const auto snap = [](int by) { return Move([=](S &s) { s.moveStartToKeyframe(by); }); };
        const auto preset = [](int index) { return Move([=](S &s) { s.choosePreset(index); }); };
        const Move centred = &S::selectCentred;
        // Five frames a second for ten seconds, a keyframe every two, then ten at 0.05 s apart.
        QByteArray listed;
        for (int i = 0; i < 50; ++i)
            listed += QByteArray::number(i * 0.2, 'f', 6) + (i % 10 ? ",__\n" : ",K_\n");
        const QByteArray variable = listed + "10,__\n10.05,__\n10.1,__\n";
        const auto row = [](const char *name, QList<double> from, const QByteArray &frames, Move move,
                            QList<double> to, const char *told) {
            QTest::newRow(name) << from << frames << move << to << QString::fromLatin1(told);
        };
        const Knob start = Knob::Start, end = Knob::End;
        const S::Step second = S::Step::Second, frame = S::Step::Frame;
        row("start a second earlier stops at 0", {12, 5, 0.4, 11}, {}, nudge(start, second, -1), {0, 11}, "s|s");
        row("start at 0, earlier: set, unchanged", {12, 5, 0, 11}, {}, nudge(start, frame, -1), {0, 11}, "s|");
        row("a frame at 25/s", {12, 25, 1, 11}, {}, nudge(start, frame, 1), {1.04, 11}, "s|s");
        row("no rate told: 24/s", {12, 0, 1, 11}, {}, nudge(start, frame, 1), {1 + 1 / 24.0, 11}, "s|s");
        row("a frame of a variable rate: the listed one", {11, 5, 10, 10.1}, variable, nudge(start, frame, 1),
            {10.05, 10.1}, "s|s");
        row("later stops at the input's end", {12, 5, 11.4, 12}, {}, nudge(start, second, 1), {12, 12}, "s|s");
        row("start pushed past the end", {12, 5, 10.4, 11}, {}, nudge(start, second, 1), {11.4, 11}, "s|s");
        row("end pulled before the start", {12, 5, 5, 5.4}, {}, nudge(end, second, -1), {5, 4.4}, "e|e");
        row("end a frame earlier", {12, 5, 1, 11}, {}, nudge(end, frame, -1), {1, 10.8}, "e|e");
        row("end past the last frame, a frame earlier", {11, 5, 1, 11}, variable, nudge(end, frame, -1),
            {1, 10.1}, "e|e");
        row("no duration: nothing moves", {0, 5, 0, 0}, {}, nudge(start, second, 1), {0, 0}, "|");
        row("preset from the start", {125, 5, 50, 60}, {}, preset(2), {50, 80}, "se|e");
        row("preset past the input's end moves the start back", {110, 5, 100, 105}, {}, preset(2), {80, 110}, "se|se");
        row("centred: the longest preset shorter, on frames", {125, 5, 0, 125}, {}, centred, {2.6, 122.6}, "es|es");
        row("centred: a preset as long is not shorter", {60, 5, 0, 60}, {}, centred, {7.6, 52.6}, "es|es");
        row("centred: no preset shorter, all of it", {10, 5, 2, 3}, {}, centred, {0, 10}, "es|es");
        row("a drag", {10, 5, 2, 3}, {}, [](S &s) { s.follow(0.11, 0.5, Knob::End); }, {1.1, 5}, "|e");
        row("a drag ended: the dragged knob set last", {10, 5, 2, 3}, {},
            [](S &s) { s.follow(0.11, 0.53, Knob::Start); s.settle(Knob::Start); }, {1.2, 5.4}, "es|ses");
        row("keyframe before the start", {10, 5, 3, 9}, listed, snap(-1), {2, 9}, "s|s");
        row("a keyframe at the start is passed", {10, 5, 2.0004, 9}, listed, snap(-1), {0, 9}, "s|s");
        row("keyframe after the start", {10, 5, 3, 9}, listed, snap(1), {4, 9}, "s|s");
        row("keyframe after, never onto the end", {10, 5, 3, 4}, listed, snap(1), {3, 4}, "|");
        row("no keyframes known: nothing moves", {10, 5, 3, 9}, {}, snap(-1), {3, 9}, "|");
    }

    void selectionMoves()
    {
        QFETCH(QList<double>, from);
        QFETCH(QByteArray, frames);
        const PacketList packets = PacketList::parse(frames);
        Selection selection;
        selection.setInput(from.at(0), Timeline(&packets, 0.0, 0.0, from.at(0), from.at(1)));
        selection.moveTo(Knob::Start, from.at(2));
        selection.moveTo(Knob::End, from.at(3));
        QSignalSpy set(&selection, &Selection::knobSet);
        QSignalSpy changed(&selection, &Selection::changed);
        QFETCH(Move, move);
        move(selection);
        QFETCH(QList<double>, to);
        QVERIFY2(qAbs(selection.startSeconds() - to.at(0)) < 1e-9 && qAbs(selection.endSeconds() - to.at(1)) < 1e-9,
                 qPrintable(u"%1 %2"_s.arg(selection.startSeconds()).arg(selection.endSeconds())));
        QCOMPARE(selection.isTrimmable(), to.at(1) > to.at(0));
        QTEST(knobs(set) + u'|' + knobs(changed), "told");
    }

    // One timeline for the window, the player and the tools, whatever the container counts from.
    void timeline_data()
    {
        QTest::addColumn<QByteArray>("frames"); // listed in stream time, decoding order; none: the rate's grid
        QTest::addColumn<QList<double>>("facts"); // start, video start, video end, rate, blind seeks (1), seek lead
        QTest::addColumn<double>("at"); // file time
        // Frame at, before, after, last before at + 0.04, seek in, seek out, copy entry, copy end for at + 0.08.
        QTest::addColumn<QList<double>>("expected");
        // A late MPEG-TS: the file begins at 11.4 s, a keyframe each second, I P B P B ... decoded a frame early.
        QByteArray ts;
        for (int i = 0; i < 75; ++i) {
            const int j = i % 25;
            const int shown = i - j + (j == 0 ? 0 : j % 2 ? j + 1 : j - 1);
            ts += QByteArray::number(11.4 + shown * 0.04, 'f', 6) + ',' + QByteArray::number(11.36 + i * 0.04, 'f', 6)
                + (j ? ",__\n" : ",K_\n");
        }
        const QByteArray matroska = "0.021,N/A,K_\n0.181,N/A,__\n0.101,0.021,__\n0.061,0.061,__\n0.141,0.101,__\n";
        const auto row = [](const char *name, const QByteArray &frames, QList<double> facts, double at,
                            QList<double> expected) { QTest::newRow(name) << frames << facts << at << expected; };
        // The copy enters after the keyframe: the creator looks for one 3/23 s before the time asked.
        row("Matroska, video after the audio: its frames", matroska, {0, 0.021, 0.2, 25, 0, 0.13}, 0.03,
            {0.061, 0.021, 0.101, 0.061, 0.0295, 0, 0.1605, 0.221});
        row("Matroska before its list: the grid from the first frame", {}, {0, 0.021, 0.2, 25, 0, 0}, 0.0,
            {0.021, -1, 0.061, 0.021, 0, 0, 0, -1});
        row("the last frame: none after, the end after it", matroska, {0, 0.021, 0.2, 25, 0, 0}, 0.181,
            {0.181, 0.141, -1, 0.181, 0.1805, 0, 0.181, 0.221});
        // Frame 31 is decoded before the end, 30 after it: the copy runs on past a frame it leaves out.
        row("late MPEG-TS: entered before the keyframe, the rest decoded", ts, {11.4, 0, 3, 25, 1, 0}, 1.12,
            {1.12, 1.08, 1.16, 1.12, 0.5, 0.6195, 0.8, 1.28});
        row("late MPEG-TS, its list not known: entered well before", {}, {11.4, 0, 3, 25, 1, 0}, 1.12,
            {1.12, 1.08, 1.16, 1.12, 0.0005, 1.119, 1.12, -1});
    }

    void timeline()
    {
        QFETCH(QByteArray, frames);
        QFETCH(QList<double>, facts);
        QFETCH(double, at);
        const PacketList packets = PacketList::parse(frames);
        const Timeline timeline(&packets, facts.at(0), facts.at(1), facts.at(2), facts.at(3), facts.at(4) > 0, false,
                                facts.at(5));
        const Timeline::Seek seek = timeline.exactSeek(at);
        const QList<double> got{timeline.frameAt(at).value_or(-1), timeline.frameBeside(at, -1).value_or(-1),
                                timeline.frameBeside(at, 1).value_or(-1), timeline.lastFrameBefore(at + 0.04),
                                seek.input, seek.output, timeline.copyEntry(at),
                                timeline.copyEnd(at, at + 0.08).value_or(-1)};
        QFETCH(QList<double>, expected);
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(qAbs(got.at(i) - expected.at(i)) < 1e-6, qPrintable(u"%1: %2"_s.arg(i).arg(got.at(i))));
    }

    void setters()
    {
        PaintCountingSlider slider;
        slider.setMinValue(10.0);
        slider.setMaxValue(20.0);
        slider.show();
        const Recorder recorder(slider);
        // A value is stored as given, not clamped or pushed.
        slider.setEnd(5.0);
        QCOMPARE(slider.selection().end, -0.5);
        QCOMPARE(slider.end(), 5.0);
        QCOMPARE(slider.length(), -5.0);
        QCOMPARE(slider.currentSliderDragging(), endKnob);
        QCOMPARE(recorder.announced, u"elEL C:end"_s);
        QTRY_VERIFY(slider.paints > 0);
        // Nothing to announce, but the knob is marked and the slider redrawn all the same.
        const int paints = slider.paints;
        slider.setStart(10.0);
        QCOMPARE(slider.currentSliderDragging(), startKnob);
        QCOMPARE(recorder.announced, u"elEL C:end"_s);
        QTRY_VERIFY(slider.paints > paints);
        // Zoomed twice on a value, it keeps its place; no further than the range's ends, nor below the span allowed.
        const auto view = [&slider] {
            return QList<double>{std::round(slider.view().start * 1e9) / 1e9, std::round(slider.view().end * 1e9) / 1e9};
        };
        slider.zoom(2.0, 15.0);
        QCOMPARE(view(), QList<double>({0.25, 0.75}));
        slider.zoom(2.0, 14.0);
        QCOMPARE(view(), QList<double>({0.325, 0.575}));
        slider.setMinimumViewSpan(0.5);
        slider.zoom(8.0, 20.0);
        QCOMPARE(view(), QList<double>({0.5, 1.0}));
        slider.zoom(0.1, 20.0);
        QVERIFY(!slider.isZoomed());
    }

    void geometry_data()
    {
        QTest::addColumn<Frames>("row");
        const auto row = [](const char *name, const Frames &frames) { QTest::newRow(name) << frames; };
        row("square knobs at both ends, bar height's half rounds up", {{100.7, 6.25}, RangeSliderKnobStyle::square,
            {0.0, 1.0}, {0.5, 2.5, 99, 2}, {0.5, 2.5, 99, 2}, {0.5, 2.5, 8, 2}, {91.5, 2.5, 8, 2}});
        row("circular, bar height's third rounds down", {{400, 21}, RangeSliderKnobStyle::circular, {0.6, 0.75},
            {0.5, 5.5, 399, 11}, {239.5, 5.5, 59, 11}, {231.5, 2.5, 17, 17}, {291.5, 2.5, 17, 17}});
        // Narrower than a knob: the start frame ends on the upper bound, the end frame on the lower.
        row("narrower than a knob", {{6, 20}, RangeSliderKnobStyle::square, {0.5, 0.5}, {0.5, 4.5, 5, 11},
            {2.5, 4.5, 0, 11}, {-2.5, 2.5, 8, 16}, {0.5, 2.5, 8, 16}});
        // Zoomed in on the third quarter: the fill from 40 % of the width to its end, the end knob held inside.
        row("zoomed in", {{400, 21}, RangeSliderKnobStyle::circular, {0.6, 0.75}, {0.5, 5.5, 399, 11},
            {159.5, 5.5, 239, 11}, {151.5, 2.5, 17, 17}, {382.5, 2.5, 17, 17}, {0.5, 0.75}});
        // A knob out of view stays out, where the fill stops at the edge.
        row("a knob out of view", {{400, 21}, RangeSliderKnobStyle::circular, {0.2, 0.6}, {0.5, 5.5, 399, 11},
            {0.5, 5.5, 159, 11}, {-488.5, 2.5, 17, 17}, {151.5, 2.5, 17, 17}, {0.5, 0.75}});
    }

    void geometry()
    {
        QFETCH(Frames, row);
        const RangeSliderGeometry geometry(row.size, row.style, row.view);
        QCOMPARE(geometry.barFrame(), row.bar);
        QCOMPARE(geometry.fillFrame(row.selection), row.fill);
        QCOMPARE(geometry.startKnobFrame(row.selection.start), row.startKnob);
        QCOMPARE(geometry.endKnobFrame(row.selection.end), row.endKnob);
        // A knob has its low edges inside and its high edges outside.
        const QPointF end = row.endKnob.center();
        QCOMPARE(geometry.knobAt(row.startKnob.topLeft(), row.selection), startKnob);
        QCOMPARE(geometry.knobAt({row.endKnob.right(), end.y()}, row.selection), noKnob);
        QCOMPARE(geometry.knobAt({end.x(), row.endKnob.bottom()}, row.selection), noKnob);
        // The pointer over the fill's left edge is at its start, as far as the view reaches.
        const double pixel = (row.view.end - row.view.start) / row.size.width();
        QVERIFY(std::abs(geometry.fractionAt(row.fill.left()) - std::max(row.selection.start, row.view.start)) <= pixel);
    }

    void drawing()
    {
        const auto yellowish = [](QColor c) { return c.red() > 200 && c.green() > 150 && c.red() - c.blue() > 60; };
        RangeSlider slider;
        slider.resize(400, 20);
        slider.setAttribute(Qt::WA_NoSystemBackground); // what is not painted stays transparent
        slider.setStart(0.25);
        slider.setEnd(0.75);
        const QImage enabled = slider.grab().toImage();

        // The fill lies between the knobs only, brighter at the top; the bar is darker at the top.
        for (const int x : {50, 90, 110, 200, 290, 310, 350})
            QCOMPARE(yellowish(enabled.pixelColor(x, knobRow)), x > 100 && x < 300);
        QVERIFY(enabled.pixelColor(200, 6).green() > enabled.pixelColor(200, 13).green() + 20);
        QVERIFY(enabled.pixelColor(50, 5).red() < enabled.pixelColor(50, 14).red() - 20);
        // Opaque knobs; the end one (296.5, 2.5, 8, 16) casts a soft shadow 2 right and 2 down, on row 19 below it.
        QVERIFY(qAlpha(enabled.pixel(100, knobOnlyRow)) == 255 && qAlpha(enabled.pixel(300, knobOnlyRow)) == 255);
        const int underKnob = qAlpha(enabled.pixel(302, 19)), further = qAlpha(enabled.pixel(307, 19));
        QVERIFY(underKnob >= 10 && underKnob <= 31 && further > 0 && further < underKnob);
        QVERIFY(qAlpha(enabled.pixel(300, 1)) <= 1 && qAlpha(enabled.pixel(293, knobOnlyRow)) <= 1);

        // Ticks lie in the bar, one of two a pixel apart; the mark runs the full height in a colour of its own.
        slider.setTickValues({0.1, 0.1025, 0.5});
        slider.setMarkedValue(0.2);
        const QImage marked = slider.grab().toImage();
        QVERIFY(marked.pixelColor(40, knobRow).value() < enabled.pixelColor(40, knobRow).value() - 40);
        QCOMPARE(marked.pixel(41, knobRow), enabled.pixel(41, knobRow));
        QVERIFY(marked.pixelColor(200, knobRow).value() < enabled.pixelColor(200, knobRow).value() - 40);
        for (const int y : {1, knobRow, 18})
            QVERIFY(marked.pixelColor(80, y).red() > 150 && marked.pixelColor(81, y).green() < 100);
        slider.setTickValues({});
        slider.setMarkedValue(std::nullopt);

        slider.setEnabled(false);
        const QImage disabled = slider.grab().toImage();
        // Grey like every disabled control, not a yellow selection.
        const QColor disabledFill = disabled.pixelColor(200, knobRow);
        QVERIFY(!yellowish(disabledFill) && disabledFill.hsvSaturation() < 10);
        QCOMPARE(disabled.pixel(50, knobRow), enabled.pixel(50, knobRow));
        slider.setEnabled(true);
        QCOMPARE(slider.grab().toImage().pixel(200, knobRow), enabled.pixel(200, knobRow));
    }

    void drops_data()
    {
        QTest::addColumn<QString>("urls"); // blank-separated; %1 is a folder that holds clip.mov
        QTest::addColumn<bool>("accepted");
        // Only the first URL counts.
        QTest::newRow("a folder") << u"file://%1"_s << false;
        QTest::newRow("a missing file first") << u"file://%1/missing.mov file://%1/clip.mov"_s << false;
        QTest::newRow("a remote file") << u"sftp://host%1/clip.mov"_s << false;
        QTest::newRow("a file first") << u"file://%1/clip.mov file://%1/missing.mov file://%1"_s << true;
    }

    void drops()
    {
        QFETCH(QString, urls);
        QFETCH(bool, accepted);
        const QTemporaryDir folder;
        const QString clip = folder.filePath(u"clip.mov"_s);
        QFile(clip).open(QIODevice::WriteOnly);
        QMimeData mimeData;
        // As a desktop drag carries them, one a line.
        mimeData.setData(u"text/uri-list"_s, urls.replace(u"%1"_s, folder.path()).replace(u' ', u'\n').toUtf8());
        ImageDropView view;
        const QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);
        // Shift proposes a move: an accepted drag asks for a copy all the same.
        QDragEnterEvent enter({}, Qt::CopyAction | Qt::MoveAction, &mimeData, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(&view, &enter);
        QCOMPARE(enter.isAccepted() && enter.dropAction() == Qt::CopyAction, accepted);
        if (!accepted)
            return; // a refused drag is never dropped

        QDropEvent drop({}, Qt::CopyAction | Qt::MoveAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(posted.count(), 1);
        QCOMPARE(posted.at(0).at(0).toMap(), (QVariantMap{{u"key"_s, QUrl::fromLocalFile(clip)}}));
        QCOMPARE(view.filePath(), std::optional(clip));
    }

    void letterboxedImage()
    {
        // Red with a blue top-left quarter: scaled up to 100 × 100 in the middle, neither cropped nor flipped.
        QImage image(50, 50, QImage::Format_RGB32);
        image.fill(Qt::red);
        QPainter(&image).fillRect(0, 0, 25, 25, Qt::blue);
        ImageDropView view;
        view.resize(300, 100);
        view.setImage(image);
        const QImage shot = view.grab().toImage();
        QCOMPARE(shot.pixelColor(102, 2), QColor(Qt::blue));
        QCOMPARE(shot.pixelColor(197, 97), QColor(Qt::red));
        // Between two equal bars of dark grey.
        QCOMPARE(shot.pixelColor(98, 50), shot.pixelColor(202, 50));
        QVERIFY(shot.pixelColor(98, 50).value() < 96 && shot.pixelColor(98, 50).hsvSaturation() == 0);
        view.setImage(QImage());
        // Without one: a frame 12 px in, dashed between the corners and alike from both ends.
        const QImage placeholder = view.grab().toImage();
        const QRgb line = view.palette().color(QPalette::Mid).rgb();
        int dashStarts = 0;
        for (int x = 1; x < placeholder.width(); ++x) {
            const bool inked = placeholder.pixel(x, 12) == line;
            // Between the two corners, which are 10 px round.
            dashStarts += x > 22 && x < 278 && inked && placeholder.pixel(x - 1, 12) != line;
            QCOMPARE(inked, placeholder.pixel(placeholder.width() - 1 - x, 12) == line);
        }
        QCOMPARE(dashStarts, 21);
        QVERIFY(placeholder.pixelColor(102, 2) != QColor(Qt::blue));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"

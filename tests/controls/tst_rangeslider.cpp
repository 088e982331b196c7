#include <cmath>
#include <limits>
#include <optional>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "rangeslider.h"

using OptionalKnob = std::optional<DraggedSlider>;
Q_DECLARE_METATYPE(OptionalKnob)

namespace {

constexpr int knobRow = 10;

// Counts the repaints that a slider asks for.
class PaintCountingSlider : public RangeSlider
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        RangeSlider::paintEvent(event);
    }
};

// Records every announcement of a slider in the order it is made, with the
// start value that the slider reports at that moment.
class Recorder
{
public:
    explicit Recorder(RangeSlider &slider)
    {
        record(slider, &RangeSlider::startAboutToChange, "startAboutToChange");
        record(slider, &RangeSlider::endAboutToChange, "endAboutToChange");
        record(slider, &RangeSlider::lengthAboutToChange, "lengthAboutToChange");
        record(slider, &RangeSlider::startChanged, "startChanged");
        record(slider, &RangeSlider::endChanged, "endChanged");
        record(slider, &RangeSlider::lengthChanged, "lengthChanged");
        QObject::connect(&slider, &RangeSlider::onControlChanged, &slider, [this, &slider](RangeSlider *sender) {
            names << QStringLiteral("onControlChanged");
            callbackSenders << sender;
            knobsInCallback << slider.currentSliderDragging();
        });
    }

    QStringList names;
    QList<RangeSlider *> callbackSenders;
    QList<std::optional<DraggedSlider>> knobsInCallback;

private:
    void record(RangeSlider &slider, void (RangeSlider::*signal)(), const char *name)
    {
        QObject::connect(&slider, signal, &slider, [this, name] { names << QLatin1String(name); });
    }
};

void press(RangeSlider &slider, int x)
{
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(x, knobRow));
}

void release(RangeSlider &slider, int x)
{
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(x, knobRow));
}

// A move with the left button held, which QTest::mouseMove does not carry reliably.
void dragTo(RangeSlider &slider, double x, Qt::MouseButtons buttons = Qt::LeftButton)
{
    const QPointF local(x, knobRow);
    QMouseEvent move(QEvent::MouseMove, local, slider.mapToGlobal(local), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&slider, &move);
}

} // namespace

class TestRangeSlider : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void dragging_data();
    void dragging();
    void pressOnKnobDoesNotMoveIt();
    void pushingAnnouncesBothEndsButNotLength();
    void dragToSamePlaceAnnouncesNothing();
    void dragNeedsLeftButton();
    void snapping_data();
    void snapping();
    void overlappingKnobsGrabStart();
    void barClick_data();
    void barClick();
    void barClicksOffClearsKnob();
    void disabledIgnoresMouse();
    void programmaticSet_data();
    void programmaticSet();
    void setToCurrentValueOnlyMarksKnob();
    void setStoresWithoutClampingOrPushing();
    void setInUnitsOfRange();
    void callbackSeesStoredSelection();

private:
    void showSlider(RangeSlider &slider, QSize size = QSize(400, 20));
};

void TestRangeSlider::showSlider(RangeSlider &slider, QSize size)
{
    slider.setFixedSize(size);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
}

void TestRangeSlider::defaults()
{
    const RangeSlider slider;
    QCOMPARE(slider.start(), 0.0);
    QCOMPARE(slider.end(), 1.0);
    QCOMPARE(slider.length(), 1.0);
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob());
    QCOMPARE(slider.minValue(), 0.0);
    QCOMPARE(slider.maxValue(), 1.0);
    QVERIFY(!slider.snapsToIntegers());
    QVERIFY(slider.allowClicksOnBarToMoveSliders());
    QCOMPARE(slider.colorStyle(), RangeSliderColorStyle::yellow);
    QCOMPARE(slider.knobStyle(), RangeSliderKnobStyle::square);
    QVERIFY(slider.isEnabled());
}

void TestRangeSlider::dragging_data()
{
    QTest::addColumn<double>("start");          // selection before the press
    QTest::addColumn<double>("end");
    QTest::addColumn<int>("pressX");            // on a knob: start knob 76.5..84.5, end knob 196.5..204.5
    QTest::addColumn<double>("dragX");
    QTest::addColumn<DraggedSlider>("knob");
    QTest::addColumn<double>("newStart");
    QTest::addColumn<double>("newEnd");

    QTest::newRow("start within the range") << 0.2 << 0.5 << 80 << 120.0 << DraggedSlider::start << 0.3 << 0.5;
    QTest::newRow("start pushes end ahead") << 0.2 << 0.5 << 80 << 300.0 << DraggedSlider::start << 0.75 << 0.75;
    QTest::newRow("start onto the end") << 0.2 << 0.5 << 80 << 200.0 << DraggedSlider::start << 0.5 << 0.5;
    QTest::newRow("end pushes start back") << 0.2 << 0.5 << 200 << 40.0 << DraggedSlider::end << 0.1 << 0.1;
    QTest::newRow("end within the range") << 0.2 << 0.5 << 200 << 360.0 << DraggedSlider::end << 0.2 << 0.9;
    QTest::newRow("start left of the bar") << 0.2 << 0.5 << 80 << -30.0 << DraggedSlider::start << 0.0 << 0.5;
    QTest::newRow("end right of the bar") << 0.2 << 0.5 << 200 << 450.0 << DraggedSlider::end << 0.2 << 1.0;
    QTest::newRow("start right of the bar") << 0.2 << 0.5 << 80 << 450.0 << DraggedSlider::start << 1.0 << 1.0;
    QTest::newRow("end left of the bar") << 0.2 << 0.5 << 200 << -10.0 << DraggedSlider::end << 0.0 << 0.0;
    QTest::newRow("knob centre follows the pointer") << 0.2 << 0.5 << 83 << 83.0 << DraggedSlider::start
                                                     << 0.2075 << 0.5;
}

void TestRangeSlider::dragging()
{
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(int, pressX);
    QFETCH(double, dragX);
    QFETCH(DraggedSlider, knob);
    QFETCH(double, newStart);
    QFETCH(double, newEnd);

    RangeSlider slider;
    showSlider(slider);
    slider.setStart(start);
    slider.setEnd(end);

    press(slider, pressX);
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(knob));
    dragTo(slider, dragX);
    release(slider, int(dragX));

    QCOMPARE(slider.selection().start, newStart);
    QCOMPARE(slider.selection().end, newEnd);
    // Nothing clears the knob on release.
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(knob));
}

void TestRangeSlider::pressOnKnobDoesNotMoveIt()
{
    RangeSlider slider;
    showSlider(slider);
    slider.setEnd(0.5);
    QSignalSpy changes(&slider, &RangeSlider::onControlChanged);

    press(slider, 7);   // off the start knob's centre, at 0.0175 of the width
    release(slider, 7);

    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(DraggedSlider::start));
    QCOMPARE(slider.selection().start, 0.0);
    QCOMPARE(changes.count(), 0);
}

void TestRangeSlider::pushingAnnouncesBothEndsButNotLength()
{
    RangeSlider slider;
    showSlider(slider);
    slider.setStart(0.2);
    slider.setEnd(0.2);
    Recorder recorder(slider);

    press(slider, 80);
    dragTo(slider, 200);
    release(slider, 200);

    const QStringList expected{QStringLiteral("startAboutToChange"), QStringLiteral("endAboutToChange"),
                               QStringLiteral("startChanged"), QStringLiteral("endChanged"),
                               QStringLiteral("onControlChanged")};
    QCOMPARE(recorder.names, expected);
    QCOMPARE(recorder.knobsInCallback, QList<OptionalKnob>{OptionalKnob(DraggedSlider::start)});
}

void TestRangeSlider::dragToSamePlaceAnnouncesNothing()
{
    RangeSlider slider;
    showSlider(slider);
    press(slider, 4);
    dragTo(slider, 100);
    Recorder recorder(slider);
    dragTo(slider, 100);
    release(slider, 100);

    QVERIFY(recorder.names.isEmpty());
    QCOMPARE(slider.selection().start, 0.25);
}

void TestRangeSlider::dragNeedsLeftButton()
{
    RangeSlider slider;
    showSlider(slider);
    press(slider, 4);
    release(slider, 4);
    QSignalSpy changes(&slider, &RangeSlider::onControlChanged);

    dragTo(slider, 100, Qt::NoButton);
    dragTo(slider, 120, Qt::RightButton);

    QCOMPARE(changes.count(), 0);
    QCOMPARE(slider.selection().start, 0.0);
}

void TestRangeSlider::snapping_data()
{
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("dragX");
    QTest::addColumn<double>("fraction");

    QTest::newRow("0..10, 68 snaps down") << 0.0 << 10.0 << 68.0 << 0.3;
    QTest::newRow("0..10, 70 is a half, away from zero") << 0.0 << 10.0 << 70.0 << 0.4;
    QTest::newRow("0..10, 69 snaps down") << 0.0 << 10.0 << 69.0 << 0.3;
    QTest::newRow("-5..5 counts whole units from the minimum") << -5.0 << 5.0 << 68.0 << 0.3;
    QTest::newRow("0..4, left of the bar") << 0.0 << 4.0 << -20.0 << 0.0;
}

void TestRangeSlider::snapping()
{
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(double, dragX);
    QFETCH(double, fraction);

    RangeSlider slider;
    slider.setMinValue(minValue);
    slider.setMaxValue(maxValue);
    slider.setSnapsToIntegers(true);
    showSlider(slider, QSize(200, 20));

    press(slider, 4);
    dragTo(slider, dragX);
    release(slider, int(dragX));

    QCOMPARE(slider.selection().start, fraction);
    QCOMPARE(slider.start(), minValue + (maxValue - minValue) * fraction);
}

void TestRangeSlider::overlappingKnobsGrabStart()
{
    RangeSlider slider;
    showSlider(slider);
    slider.setStart(0.5);
    slider.setEnd(0.5);
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(DraggedSlider::end));

    press(slider, 200);
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(DraggedSlider::start));
    // Dragging right moves the start, which pushes the end along.
    dragTo(slider, 300);
    release(slider, 300);
    QCOMPARE(slider.selection().start, 0.75);
    QCOMPARE(slider.selection().end, 0.75);
}

void TestRangeSlider::barClick_data()
{
    QTest::addColumn<int>("pressX");
    QTest::addColumn<DraggedSlider>("knob");
    QTest::addColumn<double>("newStart");
    QTest::addColumn<double>("newEnd");

    // Start 0.25 and end 0.7525: knob centres at 100.5 and 301.5.
    QTest::newRow("equal distances move the end") << 201 << DraggedSlider::end << 0.25 << 0.5025;
    QTest::newRow("nearer the start") << 150 << DraggedSlider::start << 0.375 << 0.7525;
    QTest::newRow("nearer the end") << 250 << DraggedSlider::end << 0.25 << 0.625;
    QTest::newRow("left of both") << 20 << DraggedSlider::start << 0.05 << 0.7525;
    QTest::newRow("right of both") << 380 << DraggedSlider::end << 0.25 << 0.95;
}

void TestRangeSlider::barClick()
{
    QFETCH(int, pressX);
    QFETCH(DraggedSlider, knob);
    QFETCH(double, newStart);
    QFETCH(double, newEnd);

    RangeSlider slider;
    showSlider(slider);
    slider.setStart(0.25);
    slider.setEnd(0.7525);
    Recorder recorder(slider);

    press(slider, pressX);
    release(slider, pressX);

    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(knob));
    QCOMPARE(slider.selection().start, newStart);
    QCOMPARE(slider.selection().end, newEnd);
    QCOMPARE(recorder.knobsInCallback, QList<OptionalKnob>{OptionalKnob(knob)});
}

void TestRangeSlider::barClicksOffClearsKnob()
{
    RangeSlider slider;
    slider.setAllowClicksOnBarToMoveSliders(false);
    showSlider(slider);
    slider.setEnd(0.75);
    QSignalSpy changes(&slider, &RangeSlider::onControlChanged);

    press(slider, 150);
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob());
    dragTo(slider, 180);
    release(slider, 180);

    QCOMPARE(changes.count(), 0);
    QCOMPARE(slider.selection().start, 0.0);
    QCOMPARE(slider.selection().end, 0.75);
}

void TestRangeSlider::disabledIgnoresMouse()
{
    RangeSlider slider;
    showSlider(slider);
    slider.setEnd(0.8);
    slider.setEnabled(false);
    QSignalSpy changes(&slider, &RangeSlider::onControlChanged);

    press(slider, 4);           // on the start knob
    dragTo(slider, 100);
    release(slider, 100);
    press(slider, 200);         // on the bar
    release(slider, 200);

    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(DraggedSlider::end));
    QCOMPARE(slider.selection().start, 0.0);
    QCOMPARE(slider.selection().end, 0.8);
    QCOMPARE(changes.count(), 0);
}

void TestRangeSlider::programmaticSet_data()
{
    QTest::addColumn<bool>("setsStart");
    QTest::addColumn<double>("value");
    QTest::addColumn<QStringList>("announcements");

    const QString callback = QStringLiteral("onControlChanged");
    const QStringList startAndLength{QStringLiteral("startAboutToChange"), QStringLiteral("lengthAboutToChange"),
                                     QStringLiteral("startChanged"), QStringLiteral("lengthChanged"), callback};
    const QStringList endAndLength{QStringLiteral("endAboutToChange"), QStringLiteral("lengthAboutToChange"),
                                   QStringLiteral("endChanged"), QStringLiteral("lengthChanged"), callback};
    const double nan = std::numeric_limits<double>::quiet_NaN();

    QTest::newRow("start") << true << 0.3 << startAndLength;
    QTest::newRow("end") << false << 0.6 << endAndLength;
    QTest::newRow("start to its value") << true << 0.0 << QStringList();
    QTest::newRow("end to its value") << false << 1.0 << QStringList();
    QTest::newRow("start to NaN") << true << nan << startAndLength;
    QTest::newRow("end beyond the range") << false << 2.0 << endAndLength;
}

void TestRangeSlider::programmaticSet()
{
    QFETCH(bool, setsStart);
    QFETCH(double, value);
    QFETCH(QStringList, announcements);

    RangeSlider slider;
    Recorder recorder(slider);
    if (setsStart)
        slider.setStart(value);
    else
        slider.setEnd(value);

    QCOMPARE(recorder.names, announcements);
    const OptionalKnob knob(setsStart ? DraggedSlider::start : DraggedSlider::end);
    QCOMPARE(slider.currentSliderDragging(), knob);
    if (!announcements.isEmpty()) {
        QCOMPARE(recorder.callbackSenders, QList<RangeSlider *>{&slider});
        QCOMPARE(recorder.knobsInCallback, QList<OptionalKnob>{knob});
    }
}

void TestRangeSlider::setToCurrentValueOnlyMarksKnob()
{
    PaintCountingSlider slider;
    showSlider(slider);
    QTRY_VERIFY(slider.paints > 0);
    const int paintsBefore = slider.paints;
    Recorder recorder(slider);

    slider.setStart(0.0);

    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(DraggedSlider::start));
    QVERIFY(recorder.names.isEmpty());
    QTRY_VERIFY(slider.paints > paintsBefore);
}

void TestRangeSlider::setStoresWithoutClampingOrPushing()
{
    RangeSlider slider;
    slider.setEnd(0.4);
    slider.setStart(0.7);
    QCOMPARE(slider.selection().start, 0.7);
    QCOMPARE(slider.selection().end, 0.4);
    QCOMPARE(slider.length(), 0.4 - 0.7);

    slider.setEnd(-0.5);
    QCOMPARE(slider.selection().end, -0.5);
    QCOMPARE(slider.selection().start, 0.7);

    // A NaN differs from itself, so setting it again announces again.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    slider.setStart(nan);
    QSignalSpy changes(&slider, &RangeSlider::onControlChanged);
    slider.setStart(nan);
    QCOMPARE(changes.count(), 1);
    QVERIFY(std::isnan(slider.start()));
}

void TestRangeSlider::setInUnitsOfRange()
{
    RangeSlider slider;
    slider.setMinValue(10.0);
    slider.setMaxValue(20.0);
    QCOMPARE(slider.start(), 10.0);
    QCOMPARE(slider.end(), 20.0);

    slider.setStart(12.5);
    slider.setEnd(17.5);
    QCOMPARE(slider.selection().start, 0.25);
    QCOMPARE(slider.selection().end, 0.75);
    QCOMPARE(slider.length(), 5.0);
    QCOMPARE(slider.property("start").toDouble(), 12.5);
}

void TestRangeSlider::callbackSeesStoredSelection()
{
    RangeSlider slider;
    double startDuringAboutToChange = -1.0;
    double startDuringChanged = -1.0;
    double startInCallback = -1.0;
    connect(&slider, &RangeSlider::startAboutToChange, &slider, [&] { startDuringAboutToChange = slider.start(); });
    connect(&slider, &RangeSlider::startChanged, &slider, [&] { startDuringChanged = slider.start(); });
    connect(&slider, &RangeSlider::onControlChanged, &slider, [&](RangeSlider *sender) {
        startInCallback = sender->start();
    });

    slider.setStart(0.4);

    QCOMPARE(startDuringAboutToChange, 0.0);
    QCOMPARE(startDuringChanged, 0.4);
    QCOMPARE(startInCallback, 0.4);
}

QTEST_MAIN(TestRangeSlider)
#include "tst_rangeslider.moc"

#include <cmath>
#include <limits>
#include <optional>

#include <QTest>

#include "rangeslidergeometry.h"

using OptionalKnob = std::optional<DraggedSlider>;
Q_DECLARE_METATYPE(OptionalKnob)

class TestRangeSliderGeometry : public QObject
{
    Q_OBJECT

private slots:
    void bar_data();
    void bar();
    void fillFrame_data();
    void fillFrame();
    void knobFrames_data();
    void knobFrames();
    void fractionAt_data();
    void fractionAt();
    void containsPoint_data();
    void containsPoint();
    void knobAt_data();
    void knobAt();
    void nearestKnob_data();
    void nearestKnob();
};

void TestRangeSliderGeometry::bar_data()
{
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<double>("barHeight");      // b
    QTest::addColumn<QRectF>("barFrame");

    QTest::newRow("400x20") << QSizeF(400, 20) << 11.0 << QRectF(0.5, 4.5, 399, 11);
    QTest::newRow("400x22, even bar") << QSizeF(400, 22) << 12.0 << QRectF(0.5, 5.5, 399, 12);
    QTest::newRow("400x21, third rounds down") << QSizeF(400, 21) << 11.0 << QRectF(0.5, 5.5, 399, 11);
    QTest::newRow("height 6.25, half rounds up") << QSizeF(100, 6.25) << 2.0 << QRectF(0.5, 2.5, 99, 2);
    QTest::newRow("fractional width floors") << QSizeF(400.7, 20) << 11.0 << QRectF(0.5, 4.5, 399, 11);
}

void TestRangeSliderGeometry::bar()
{
    QFETCH(QSizeF, size);
    QFETCH(double, barHeight);
    QFETCH(QRectF, barFrame);

    const RangeSliderGeometry geometry(size, RangeSliderKnobStyle::square);
    QCOMPARE(geometry.barHeight(), barHeight);
    QCOMPARE(geometry.cornerRadius(), barHeight / 3.0);
    QCOMPARE(geometry.barFrame(), barFrame);
}

void TestRangeSliderGeometry::fillFrame_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("width");

    QTest::newRow("whole range equals the bar") << 0.0 << 1.0 << 0.5 << 399.0;
    QTest::newRow("middle half") << 0.25 << 0.75 << 99.5 << 199.0;
    QTest::newRow("empty selection") << 0.5 << 0.5 << 199.5 << 0.0;
    QTest::newRow("start past end") << 0.6 << 0.4 << 239.5 << -80.0;
}

void TestRangeSliderGeometry::fillFrame()
{
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(double, x);
    QFETCH(double, width);

    const RangeSliderGeometry geometry(QSizeF(400, 20), RangeSliderKnobStyle::square);
    QCOMPARE(geometry.fillFrame({start, end}), QRectF(x, 4.5, width, 11));
}

void TestRangeSliderGeometry::knobFrames_data()
{
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<RangeSliderKnobStyle>("style");
    QTest::addColumn<double>("start");           // selection.start
    QTest::addColumn<double>("end");             // selection.end
    QTest::addColumn<QRectF>("startFrame");
    QTest::addColumn<QRectF>("endFrame");

    const QSizeF size(400, 20);
    const auto square = RangeSliderKnobStyle::square;
    const auto circular = RangeSliderKnobStyle::circular;

    QTest::newRow("square at both ends") << size << square << 0.0 << 1.0
                                         << QRectF(0.5, 2.5, 8, 16) << QRectF(391.5, 2.5, 8, 16);
    QTest::newRow("square both centred") << size << square << 0.5 << 0.5
                                         << QRectF(196.5, 2.5, 8, 16) << QRectF(196.5, 2.5, 8, 16);
    QTest::newRow("square origin floors") << size << square << 0.3337 << 0.6663
                                          << QRectF(129.5, 2.5, 8, 16) << QRectF(262.5, 2.5, 8, 16);
    QTest::newRow("square outside the range clamps") << size << square << -0.5 << 1.5
                                                     << QRectF(0.5, 2.5, 8, 16) << QRectF(391.5, 2.5, 8, 16);
    QTest::newRow("circular at both ends") << size << circular << 0.0 << 1.0
                                           << QRectF(0.5, 2.5, 16, 16) << QRectF(383.5, 2.5, 16, 16);
    QTest::newRow("circular centred") << size << circular << 0.5 << 0.5
                                      << QRectF(192.5, 2.5, 16, 16) << QRectF(192.5, 2.5, 16, 16);
    QTest::newRow("circular 30 high") << QSizeF(400, 30) << circular << 0.5 << 1.0
                                      << QRectF(187.5, 2.5, 26, 26) << QRectF(373.5, 2.5, 26, 26);
    // Narrower than a knob: the start frame ends on the upper bound, the end frame on the lower.
    QTest::newRow("square in a 6 wide control") << QSizeF(6, 20) << square << 0.5 << 0.5
                                                << QRectF(-2.5, 2.5, 8, 16) << QRectF(0.5, 2.5, 8, 16);
}

void TestRangeSliderGeometry::knobFrames()
{
    QFETCH(QSizeF, size);
    QFETCH(RangeSliderKnobStyle, style);
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(QRectF, startFrame);
    QFETCH(QRectF, endFrame);

    const RangeSliderGeometry geometry(size, style);
    QCOMPARE(geometry.startKnobFrame(start), startFrame);
    QCOMPARE(geometry.endKnobFrame(end), endFrame);
}

void TestRangeSliderGeometry::fractionAt_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<std::optional<double>>("snapRange");   // maxValue - minValue when snapping
    QTest::addColumn<double>("fraction");

    const std::optional<double> noSnap;
    QTest::newRow("left of the bar") << -25.0 << noSnap << 0.0;
    QTest::newRow("right of the bar") << 260.0 << noSnap << 1.0;
    QTest::newRow("right edge") << 200.0 << noSnap << 1.0;
    QTest::newRow("inside") << 50.0 << noSnap << 0.25;
    QTest::newRow("snap down") << 68.0 << std::optional(10.0) << 0.3;
    QTest::newRow("snap half away from zero") << 70.0 << std::optional(10.0) << 0.4;
    QTest::newRow("snap in a range of 4") << 25.0 << std::optional(4.0) << 0.25;
    QTest::newRow("snap after clamping") << -40.0 << std::optional(10.0) << 0.0;
}

void TestRangeSliderGeometry::fractionAt()
{
    QFETCH(double, x);
    QFETCH(std::optional<double>, snapRange);
    QFETCH(double, fraction);

    const RangeSliderGeometry geometry(QSizeF(200, 20), RangeSliderKnobStyle::square);
    QCOMPARE(geometry.fractionAt(x, snapRange), fraction);
}

void TestRangeSliderGeometry::containsPoint_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<bool>("inside");

    // Against the rectangle (0.5, 2.5, 8, 16).
    QTest::newRow("left edge") << QPointF(0.5, 10) << true;
    QTest::newRow("top edge") << QPointF(4, 2.5) << true;
    QTest::newRow("top left corner") << QPointF(0.5, 2.5) << true;
    QTest::newRow("right edge") << QPointF(8.5, 10) << false;
    QTest::newRow("bottom edge") << QPointF(4, 18.5) << false;
    QTest::newRow("just inside the right edge") << QPointF(8.49, 10) << true;
    QTest::newRow("just left of the left edge") << QPointF(0.49, 10) << false;
    QTest::newRow("above") << QPointF(4, 2.4) << false;
}

void TestRangeSliderGeometry::containsPoint()
{
    QFETCH(QPointF, point);
    QFETCH(bool, inside);

    QCOMPARE(RangeSliderGeometry::containsPoint(QRectF(0.5, 2.5, 8, 16), point), inside);
}

void TestRangeSliderGeometry::knobAt_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<OptionalKnob>("knob");

    QTest::newRow("on the start knob") << 0.0 << 1.0 << QPointF(4, 10) << OptionalKnob(DraggedSlider::start);
    QTest::newRow("on the end knob") << 0.0 << 1.0 << QPointF(395, 10) << OptionalKnob(DraggedSlider::end);
    QTest::newRow("between the knobs") << 0.0 << 1.0 << QPointF(200, 10) << OptionalKnob();
    QTest::newRow("right edge of the end knob") << 0.0 << 1.0 << QPointF(399.5, 10) << OptionalKnob();
    QTest::newRow("below the knobs") << 0.0 << 1.0 << QPointF(4, 19) << OptionalKnob();
    QTest::newRow("overlapping knobs") << 0.5 << 0.5 << QPointF(200, 10) << OptionalKnob(DraggedSlider::start);
    QTest::newRow("end knob's part beyond the start knob") << 0.5 << 0.51 << QPointF(205, 10)
                                                           << OptionalKnob(DraggedSlider::end);
}

void TestRangeSliderGeometry::knobAt()
{
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(QPointF, point);
    QFETCH(OptionalKnob, knob);

    const RangeSliderGeometry geometry(QSizeF(400, 20), RangeSliderKnobStyle::square);
    QCOMPARE(geometry.knobAt(point, {start, end}), knob);
}

void TestRangeSliderGeometry::nearestKnob_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<DraggedSlider>("knob");

    // Knob centres at 100.5 and 300.5.
    QTest::newRow("tie goes to the end") << 200.5 << DraggedSlider::end;
    QTest::newRow("nearer the start") << 200.0 << DraggedSlider::start;
    QTest::newRow("nearer the end") << 201.0 << DraggedSlider::end;
    QTest::newRow("left of both") << 0.0 << DraggedSlider::start;
    QTest::newRow("right of both") << 399.0 << DraggedSlider::end;
}

void TestRangeSliderGeometry::nearestKnob()
{
    QFETCH(double, x);
    QFETCH(DraggedSlider, knob);

    const RangeSliderGeometry geometry(QSizeF(400, 20), RangeSliderKnobStyle::square);
    QCOMPARE(geometry.nearestKnob(x, {0.25, 0.75}), knob);
}

QTEST_APPLESS_MAIN(TestRangeSliderGeometry)
#include "tst_rangeslidergeometry.moc"

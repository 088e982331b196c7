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
    void knobAt_data();
    void knobAt();
};

void TestRangeSliderGeometry::bar_data()
{
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<double>("barHeight");
    QTest::addColumn<QRectF>("barFrame");

    QTest::newRow("400x20") << QSizeF(400, 20) << 11.0 << QRectF(0.5, 4.5, 399, 11);
    QTest::newRow("400x21, a third rounds down") << QSizeF(400, 21) << 11.0 << QRectF(0.5, 5.5, 399, 11);
    QTest::newRow("height 6.25, a half rounds up") << QSizeF(100.7, 6.25) << 2.0 << QRectF(0.5, 2.5, 99, 2);
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

    QTest::newRow("whole range, same as the bar") << 0.0 << 1.0 << 0.5 << 399.0;
    QTest::newRow("middle half") << 0.25 << 0.75 << 99.5 << 199.0;
    QTest::newRow("empty") << 0.5 << 0.5 << 199.5 << 0.0;
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
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<QRectF>("startFrame");
    QTest::addColumn<QRectF>("endFrame");

    const QSizeF size(400, 20);
    const auto square = RangeSliderKnobStyle::square;
    const auto circular = RangeSliderKnobStyle::circular;

    QTest::newRow("square at both ends") << size << square << 0.0 << 1.0
                                         << QRectF(0.5, 2.5, 8, 16) << QRectF(391.5, 2.5, 8, 16);
    QTest::newRow("square origin floors") << size << square << 0.3337 << 0.6663
                                          << QRectF(129.5, 2.5, 8, 16) << QRectF(262.5, 2.5, 8, 16);
    QTest::newRow("square outside the range") << size << square << -0.5 << 1.5
                                              << QRectF(0.5, 2.5, 8, 16) << QRectF(391.5, 2.5, 8, 16);
    QTest::newRow("circular at both ends") << size << circular << 0.0 << 1.0
                                           << QRectF(0.5, 2.5, 16, 16) << QRectF(383.5, 2.5, 16, 16);
    QTest::newRow("circular 400x30") << QSizeF(400, 30) << circular << 0.5 << 0.5
                                     << QRectF(187.5, 2.5, 26, 26) << QRectF(187.5, 2.5, 26, 26);
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

void TestRangeSliderGeometry::knobAt_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<OptionalKnob>("knob");

    // Start knob (0.5, 2.5, 8, 16), end knob (391.5, 2.5, 8, 16): low edges inside, high edges outside.
    QTest::newRow("start knob's top left corner") << QPointF(0.5, 2.5) << OptionalKnob(DraggedSlider::start);
    QTest::newRow("start knob's right edge") << QPointF(8.5, 10) << OptionalKnob();
    QTest::newRow("start knob's bottom edge") << QPointF(4, 18.5) << OptionalKnob();
    QTest::newRow("end knob's left edge") << QPointF(391.5, 10) << OptionalKnob(DraggedSlider::end);
    QTest::newRow("end knob's right edge") << QPointF(399.5, 10) << OptionalKnob();
    QTest::newRow("between the knobs") << QPointF(200, 10) << OptionalKnob();
}

void TestRangeSliderGeometry::knobAt()
{
    QFETCH(QPointF, point);
    QFETCH(OptionalKnob, knob);

    const RangeSliderGeometry geometry(QSizeF(400, 20), RangeSliderKnobStyle::square);
    QCOMPARE(geometry.knobAt(point, {0.0, 1.0}), knob);
}

QTEST_APPLESS_MAIN(TestRangeSliderGeometry)
#include "tst_rangeslidergeometry.moc"

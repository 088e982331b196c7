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
const double notANumber = std::numeric_limits<double>::quiet_NaN();

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

// Records the slider's announcements in order, each with the start value it sees.
class Recorder
{
public:
    explicit Recorder(RangeSlider &slider)
    {
        const std::pair<void (RangeSlider::*)(), const char *> announcements[] = {
            {&RangeSlider::startAboutToChange, "startAboutToChange"},
            {&RangeSlider::endAboutToChange, "endAboutToChange"},
            {&RangeSlider::lengthAboutToChange, "lengthAboutToChange"},
            {&RangeSlider::startChanged, "startChanged"},
            {&RangeSlider::endChanged, "endChanged"},
            {&RangeSlider::lengthChanged, "lengthChanged"}};
        for (const auto &[signal, name] : announcements)
            QObject::connect(&slider, signal, &slider, [this, &slider, name = name] { note(name, slider); });
        QObject::connect(&slider, &RangeSlider::onControlChanged, &slider, [this](RangeSlider *sender) {
            note("onControlChanged", *sender);
            knobsInCallback << sender->currentSliderDragging();
        });
    }

    QStringList names;
    QList<double> starts;
    QList<OptionalKnob> knobsInCallback;

private:
    void note(const char *name, const RangeSlider &slider)
    {
        names << QLatin1String(name);
        starts << slider.start();
    }
};

void press(RangeSlider &slider, int x)
{
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(x, knobRow));
}

// Moves with the buttons held; QTest::mouseMove does not carry them reliably.
void dragTo(RangeSlider &slider, double x, Qt::MouseButtons buttons = Qt::LeftButton)
{
    const QPointF local(x, knobRow);
    QMouseEvent move(QEvent::MouseMove, local, slider.mapToGlobal(local), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&slider, &move);
}

void dragAndRelease(RangeSlider &slider, int pressX, double dragX)
{
    press(slider, pressX);
    dragTo(slider, dragX);
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(int(dragX), knobRow));
}

} // namespace

class TestRangeSlider : public QObject
{
    Q_OBJECT

private slots:
    void valuesInUnitsOfTheRange();
    void mouse_data();
    void mouse();
    void pushAnnouncesBothEndsInOrder();
    void dragNeedsLeftButton();
    void snapping_data();
    void snapping();
    void barClicksOffClearsKnob();
    void disabledIgnoresMouse();
    void programmaticSet_data();
    void programmaticSet();

private:
    void showSlider(RangeSlider &slider, int width = 400);
};

void TestRangeSlider::showSlider(RangeSlider &slider, int width)
{
    slider.setFixedSize(width, 20);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
}

void TestRangeSlider::valuesInUnitsOfTheRange()
{
    RangeSlider slider;
    slider.setMinValue(10.0);
    slider.setMaxValue(20.0);
    slider.setStart(12.5);
    QCOMPARE(slider.selection().start, 0.25);
    QCOMPARE(slider.length(), 7.5);
}

void TestRangeSlider::mouse_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<int>("pressX");
    QTest::addColumn<double>("dragX");
    QTest::addColumn<DraggedSlider>("knob");
    QTest::addColumn<double>("newStart");
    QTest::addColumn<double>("newEnd");

    const DraggedSlider start = DraggedSlider::start;
    const DraggedSlider end = DraggedSlider::end;
    // Start 0.2 and end 0.5 put the knobs at 76.5..84.5 and 196.5..204.5.
    QTest::newRow("start within the range") << 0.2 << 0.5 << 80 << 120.0 << start << 0.3 << 0.5;
    QTest::newRow("start pushes the end") << 0.2 << 0.5 << 80 << 300.0 << start << 0.75 << 0.75;
    QTest::newRow("end pushes the start") << 0.2 << 0.5 << 200 << 40.0 << end << 0.1 << 0.1;
    QTest::newRow("start left of the bar") << 0.2 << 0.5 << 80 << -30.0 << start << 0.0 << 0.5;
    QTest::newRow("end right of the bar") << 0.2 << 0.5 << 200 << 450.0 << end << 0.2 << 1.0;
    QTest::newRow("start right of the bar") << 0.2 << 0.5 << 80 << 450.0 << start << 1.0 << 1.0;
    QTest::newRow("inside both knobs grabs the start") << 0.5 << 0.5 << 200 << 300.0 << start << 0.75 << 0.75;
    // A click on the bar moves the nearer knob there; knob centres at 100.5 and 301.5.
    QTest::newRow("bar click, a tie moves the end") << 0.25 << 0.7525 << 201 << 201.0 << end << 0.25 << 0.5025;
    QTest::newRow("bar click nearer the start") << 0.25 << 0.7525 << 200 << 200.0 << start << 0.5 << 0.7525;
}

void TestRangeSlider::mouse()
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
    dragAndRelease(slider, pressX, dragX);

    QCOMPARE(slider.selection().start, newStart);
    QCOMPARE(slider.selection().end, newEnd);
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(knob));
}

void TestRangeSlider::pushAnnouncesBothEndsInOrder()
{
    RangeSlider slider;
    showSlider(slider);
    slider.setStart(0.2);
    slider.setEnd(0.2);
    Recorder recorder(slider);

    // Grabbing the knob does not move it; the drag does.
    dragAndRelease(slider, 80, 200);

    // The length stays 0, so it is not announced; the values are stored between the two halves.
    const QStringList names{QStringLiteral("startAboutToChange"), QStringLiteral("endAboutToChange"),
                            QStringLiteral("startChanged"), QStringLiteral("endChanged"),
                            QStringLiteral("onControlChanged")};
    QCOMPARE(recorder.names, names);
    QCOMPARE(recorder.starts, (QList<double>{0.2, 0.2, 0.5, 0.5, 0.5}));
    QCOMPARE(recorder.knobsInCallback, QList<OptionalKnob>{DraggedSlider::start});
}

void TestRangeSlider::dragNeedsLeftButton()
{
    RangeSlider slider;
    showSlider(slider);
    press(slider, 4);
    dragTo(slider, 100, Qt::NoButton);
    dragTo(slider, 120, Qt::RightButton);
    QCOMPARE(slider.selection().start, 0.0);
}

void TestRangeSlider::snapping_data()
{
    QTest::addColumn<double>("dragX");
    QTest::addColumn<double>("fraction");

    // A range of 10 units over 200 pixels.
    QTest::newRow("68 rounds down") << 68.0 << 0.3;
    QTest::newRow("70, a half, rounds away from zero") << 70.0 << 0.4;
    // 2.5 units: away from zero gives 3, rounding to even would give 2.
    QTest::newRow("50, a half below an odd unit") << 50.0 << 0.3;
}

void TestRangeSlider::snapping()
{
    QFETCH(double, dragX);
    QFETCH(double, fraction);

    RangeSlider slider;
    slider.setMaxValue(10.0);
    slider.setSnapsToIntegers(true);
    showSlider(slider, 200);
    dragAndRelease(slider, 4, dragX);
    QCOMPARE(slider.selection().start, fraction);
}

void TestRangeSlider::barClicksOffClearsKnob()
{
    RangeSlider slider;
    slider.setAllowClicksOnBarToMoveSliders(false);
    showSlider(slider);
    slider.setEnd(0.75);
    QSignalSpy changes(&slider, &RangeSlider::onControlChanged);

    dragAndRelease(slider, 150, 180);
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob());
    QCOMPARE(changes.count(), 0);
}

void TestRangeSlider::disabledIgnoresMouse()
{
    RangeSlider slider;
    showSlider(slider);
    slider.setEnd(0.8);
    slider.setEnabled(false);
    QSignalSpy changes(&slider, &RangeSlider::onControlChanged);

    dragAndRelease(slider, 4, 100);     // from the start knob
    dragAndRelease(slider, 200, 200);   // on the bar
    QCOMPARE(slider.currentSliderDragging(), OptionalKnob(DraggedSlider::end));
    QCOMPARE(slider.selection().start, 0.0);
    QCOMPARE(changes.count(), 0);
}

void TestRangeSlider::programmaticSet_data()
{
    QTest::addColumn<bool>("setsStart");
    QTest::addColumn<double>("value");
    QTest::addColumn<QStringList>("announcements");

    const QStringList start{QStringLiteral("startAboutToChange"), QStringLiteral("lengthAboutToChange"),
                            QStringLiteral("startChanged"), QStringLiteral("lengthChanged"),
                            QStringLiteral("onControlChanged")};
    const QStringList end{QStringLiteral("endAboutToChange"), QStringLiteral("lengthAboutToChange"),
                          QStringLiteral("endChanged"), QStringLiteral("lengthChanged"),
                          QStringLiteral("onControlChanged")};

    // Start 0 and end 1 before each set; values are stored without clamping or pushing.
    QTest::newRow("start") << true << 0.3 << start;
    QTest::newRow("start above the end") << true << 2.0 << start;
    QTest::newRow("end below the start") << false << -0.5 << end;
    QTest::newRow("start to NaN") << true << notANumber << start;
    // Nothing to announce, but the knob is still marked and the slider redrawn.
    QTest::newRow("start to its value") << true << 0.0 << QStringList();
    QTest::newRow("end to its value") << false << 1.0 << QStringList();
}

void TestRangeSlider::programmaticSet()
{
    QFETCH(bool, setsStart);
    QFETCH(double, value);
    QFETCH(QStringList, announcements);

    PaintCountingSlider slider;
    showSlider(slider);
    QTRY_VERIFY(slider.paints > 0);
    const int paintsBefore = slider.paints;
    Recorder recorder(slider);
    if (setsStart)
        slider.setStart(value);
    else
        slider.setEnd(value);

    const OptionalKnob knob(setsStart ? DraggedSlider::start : DraggedSlider::end);
    QCOMPARE(recorder.names, announcements);
    QCOMPARE(slider.currentSliderDragging(), knob);
    if (!announcements.isEmpty())
        QCOMPARE(recorder.knobsInCallback, QList<OptionalKnob>{knob});
    QTRY_VERIFY(slider.paints > paintsBefore);
    // QCOMPARE takes a NaN as equal to a NaN.
    QCOMPARE(setsStart ? slider.start() : slider.end(), value);
    QCOMPARE(setsStart ? slider.end() : slider.start(), setsStart ? 1.0 : 0.0);
}

QTEST_MAIN(TestRangeSlider)
#include "tst_rangeslider.moc"

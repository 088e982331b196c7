#include <QColor>
#include <QImage>
#include <QTest>

#include "rangeslider.h"
#include "rangeslidercolors.h"

namespace {

constexpr int middleRow = 10;
// Below the bar's outline and above the knobs' lower corners: only knobs and their shadows paint here.
constexpr int knobOnlyRow = 16;
// Below the knobs: only their shadows reach here.
constexpr int shadowRow = 19;

QImage render(RangeSlider &slider, double pixelRatio = 1.0)
{
    QImage image(slider.size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    // No window background: what is not painted stays transparent.
    slider.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

QColor colorAt(const QImage &image, int x, int y)
{
    return QColor::fromRgba(qUnpremultiply(image.pixel(x, y)));
}

int alphaAt(const QImage &image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

bool isYellowish(const QColor &color)
{
    return color.red() > 200 && color.green() > 150 && color.red() - color.blue() > 60;
}

bool isGrey(const QColor &color)
{
    return qAbs(color.red() - color.green()) <= 2 && qAbs(color.green() - color.blue()) <= 2;
}

// The runs of fully opaque pixels along a row, as (first, last) columns.
QList<QPair<int, int>> opaqueRuns(const QImage &image, int row)
{
    QList<QPair<int, int>> runs;
    int first = -1;
    for (int x = 0; x <= image.width(); ++x) {
        const bool opaque = x < image.width() && alphaAt(image, x, row) == 255;
        if (opaque && first < 0)
            first = x;
        if (!opaque && first >= 0) {
            runs.append({first, x - 1});
            first = -1;
        }
    }
    return runs;
}

bool near(const QColor &actual, const QColor &expected)
{
    return qAbs(actual.red() - expected.red()) <= 2 && qAbs(actual.green() - expected.green()) <= 2
        && qAbs(actual.blue() - expected.blue()) <= 2 && qAbs(actual.alpha() - expected.alpha()) <= 2;
}

} // namespace

class TestRangeSliderDrawing : public QObject
{
    Q_OBJECT

private slots:
    void colors_data();
    void colors();
    void barEdgesWhereTheGeometryPutsThem();
    void fillInsideTheSelectionOnly();
    void noFillWhenTheSelectionIsEmpty();
    void paleFillWhenDisabled();
    void knobPositions_data();
    void knobPositions();
    void softShadowBelowRight();
    void sharpAtDoublePixelRatio();
};

void TestRangeSliderDrawing::colors_data()
{
    QTest::addColumn<RangeSliderColorStyle>("style");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("fillTop");
    QTest::addColumn<QColor>("fillBottom");
    QTest::addColumn<QColor>("fillOutline");

    const auto yellow = RangeSliderColorStyle::yellow;
    const auto aqua = RangeSliderColorStyle::aqua;
    // Disabled: saturation (HSV) times 0.65; the fill colours at alpha 0.65, the outline keeps 0.7.
    QTest::newRow("yellow") << yellow << true << QColor(255, 255, 0) << QColor(255, 196, 0)
                            << QColor(255, 170, 16, 178);
    QTest::newRow("yellow disabled") << yellow << false << QColor(255, 255, 89, 166) << QColor(255, 217, 89, 166)
                                     << QColor(255, 200, 100, 178);
    QTest::newRow("aqua") << aqua << true << QColor(76, 187, 251) << QColor(20, 133, 243)
                          << QColor(12, 118, 227, 178);
    QTest::newRow("aqua disabled") << aqua << false << QColor(137, 209, 251, 166) << QColor(98, 171, 243, 166)
                                   << QColor(87, 156, 227, 178);
}

void TestRangeSliderDrawing::colors()
{
    QFETCH(RangeSliderColorStyle, style);
    QFETCH(bool, enabled);
    QFETCH(QColor, fillTop);
    QFETCH(QColor, fillBottom);
    QFETCH(QColor, fillOutline);

    const RangeSliderColors colors = RangeSliderColors::forStyle(style, enabled);
    QVERIFY2(near(colors.fillTop, fillTop), qPrintable(colors.fillTop.name(QColor::HexArgb)));
    QVERIFY2(near(colors.fillBottom, fillBottom), qPrintable(colors.fillBottom.name(QColor::HexArgb)));
    QVERIFY2(near(colors.fillOutline, fillOutline), qPrintable(colors.fillOutline.name(QColor::HexArgb)));
}

void TestRangeSliderDrawing::barEdgesWhereTheGeometryPutsThem()
{
    RangeSlider slider;
    slider.resize(400, 20);
    slider.setStart(0.5);
    slider.setEnd(0.5);
    const QImage image = render(slider);

    // Bar frame (0.5, 4.5, 399, 11): its one-unit outline is centred on the frame's edges.
    QCOMPARE(alphaAt(image, 100, 3), 0);
    QVERIFY(alphaAt(image, 100, 4) > 0);
    QCOMPARE(alphaAt(image, 100, 5), 255);
    QCOMPARE(alphaAt(image, 100, 14), 255);
    QVERIFY(alphaAt(image, 100, 15) > 0);
    QCOMPARE(alphaAt(image, 100, 16), 0);

    QVERIFY(alphaAt(image, 0, middleRow) > 0);
    QVERIFY(alphaAt(image, 0, middleRow) < 255);
    QCOMPARE(alphaAt(image, 1, middleRow), 255);
    QCOMPARE(alphaAt(image, 398, middleRow), 255);
    QVERIFY(alphaAt(image, 399, middleRow) > 0);
    QVERIFY(alphaAt(image, 399, middleRow) < 255);

    // Rounded corners: the frame's corner pixel is left (nearly) empty.
    QVERIFY(alphaAt(image, 0, 4) < 64);
}

void TestRangeSliderDrawing::fillInsideTheSelectionOnly()
{
    RangeSlider slider;
    slider.resize(400, 20);
    slider.setStart(0.25);
    slider.setEnd(0.75);
    const QImage image = render(slider);

    for (const int x : {110, 200, 290})
        QVERIFY(isYellowish(colorAt(image, x, middleRow)));
    for (const int x : {50, 90, 310, 350})
        QVERIFY(isGrey(colorAt(image, x, middleRow)));

    // The fill's brighter yellow and the background's darker grey are at the top.
    QVERIFY(colorAt(image, 200, 6).green() > colorAt(image, 200, 13).green() + 20);
    QVERIFY(colorAt(image, 50, 5).red() < colorAt(image, 50, 14).red() - 20);
    QVERIFY(colorAt(image, 50, 5).red() >= 170 && colorAt(image, 50, 14).red() <= 222);
}

void TestRangeSliderDrawing::noFillWhenTheSelectionIsEmpty()
{
    RangeSlider slider;
    slider.resize(400, 20);
    slider.setStart(0.5);
    slider.setEnd(0.5);
    const QImage image = render(slider);

    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor color = colorAt(image, x, y);
            if (color.alpha() > 0)
                QVERIFY2(qAbs(color.red() - color.blue()) <= 4, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
    // The outline and the knob are still there.
    QVERIFY(alphaAt(image, 100, 4) > 0);
    QCOMPARE(opaqueRuns(image, knobOnlyRow).size(), 1);
}

void TestRangeSliderDrawing::paleFillWhenDisabled()
{
    RangeSlider slider;
    slider.resize(400, 20);
    slider.setStart(0.25);
    slider.setEnd(0.75);
    const QImage enabled = render(slider);
    slider.setEnabled(false);
    const QImage disabled = render(slider);
    slider.setEnabled(true);
    const QImage enabledAgain = render(slider);

    const QColor bright = colorAt(enabled, 200, middleRow);
    const QColor pale = colorAt(disabled, 200, middleRow);
    QVERIFY(isYellowish(pale));
    QVERIFY2(pale.hsvSaturationF() < bright.hsvSaturationF() * 0.8,
             qPrintable(QStringLiteral("%1 %2").arg(pale.hsvSaturationF()).arg(bright.hsvSaturationF())));
    QCOMPARE(enabledAgain.pixel(200, middleRow), enabled.pixel(200, middleRow));

    // The bar background and the knobs do not change.
    QCOMPARE(disabled.pixel(50, middleRow), enabled.pixel(50, middleRow));
    QCOMPARE(disabled.pixel(100, knobOnlyRow), enabled.pixel(100, knobOnlyRow));
}

void TestRangeSliderDrawing::knobPositions_data()
{
    QTest::addColumn<RangeSliderKnobStyle>("style");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<int>("knobCount");          // separate knobs seen

    QTest::newRow("square at both ends") << RangeSliderKnobStyle::square << 0.0 << 1.0 << 2;
    QTest::newRow("square both at 0.5") << RangeSliderKnobStyle::square << 0.5 << 0.5 << 1;
    QTest::newRow("circular at both ends") << RangeSliderKnobStyle::circular << 0.0 << 1.0 << 2;
}

void TestRangeSliderDrawing::knobPositions()
{
    QFETCH(RangeSliderKnobStyle, style);
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(int, knobCount);

    RangeSlider slider;
    slider.resize(400, 20);
    slider.setKnobStyle(style);
    slider.setStart(start);
    slider.setEnd(end);
    const QImage image = render(slider);

    const QList<QPair<int, int>> runs = opaqueRuns(image, knobOnlyRow);
    QCOMPARE(runs.size(), knobCount);
    const QList<QRectF> frames{slider.startKnobFrame(), slider.endKnobFrame()};
    for (int i = 0; i < knobCount; ++i) {
        const QRectF frame = frames.at(i);
        const double runCentre = (runs.at(i).first + runs.at(i).second + 1) * 0.5;
        QVERIFY2(qAbs(runCentre - frame.center().x()) <= 1.0,
                 qPrintable(QStringLiteral("run centre %1, frame centre %2").arg(runCentre).arg(frame.center().x())));
        QVERIFY(runs.at(i).second - runs.at(i).first + 1 <= frame.width());
    }
    // Knobs rise above the bar.
    for (const QRectF &frame : frames)
        QVERIFY(alphaAt(image, int(frame.center().x()), 3) > 200);
}

void TestRangeSliderDrawing::softShadowBelowRight()
{
    RangeSlider slider;
    slider.resize(400, 20);
    slider.setStart(0.5);
    const QImage image = render(slider);

    // The knob occupies (196.5, 2.5, 8, 16); its shadow falls two units right and two down.
    const int underKnob = alphaAt(image, 202, shadowRow);
    QVERIFY2(underKnob >= 10 && underKnob <= 31, qPrintable(QString::number(underKnob)));
    QVERIFY(isGrey(colorAt(image, 202, shadowRow)) && colorAt(image, 202, shadowRow).red() < 10);
    // Soft: the edge fades out past the offset knob instead of stopping short.
    const int pastEdge = alphaAt(image, 207, shadowRow);
    QVERIFY2(pastEdge > 0 && pastEdge < underKnob, qPrintable(QString::number(pastEdge)));
    QCOMPARE(alphaAt(image, 212, shadowRow), 0);
    // None above the knob, nor left of it.
    QVERIFY(alphaAt(image, 200, 1) <= 1);
    QVERIFY(alphaAt(image, 193, knobOnlyRow) <= 1);
}

void TestRangeSliderDrawing::sharpAtDoublePixelRatio()
{
    RangeSlider slider;
    slider.resize(400, 20);
    slider.setStart(0.5);
    slider.setEnd(0.5);
    const QImage image = render(slider, 2.0);
    QCOMPARE(image.size(), QSize(800, 40));

    // The top outline spans logical 4.0..5.0, device rows 8 and 9; the bar body is solid below it.
    QCOMPARE(alphaAt(image, 200, 7), 0);
    QVERIFY(alphaAt(image, 200, 8) > 0);
    QCOMPARE(alphaAt(image, 200, 10), 255);
    QCOMPARE(alphaAt(image, 200, 29), 255);
    QCOMPARE(alphaAt(image, 200, 32), 0);
    // The knob's shadow is rendered at the device's resolution too.
    QVERIFY(alphaAt(image, 404, 2 * shadowRow) > 0);
}

QTEST_MAIN(TestRangeSliderDrawing)
#include "tst_rangesliderdrawing.moc"

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

QImage render(RangeSlider &slider)
{
    QImage image(slider.size(), QImage::Format_ARGB32_Premultiplied);
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

// A slider of 400 × 20 with the given selection.
void select(RangeSlider &slider, double start, double end)
{
    slider.resize(400, 20);
    slider.setStart(start);
    slider.setEnd(end);
}

} // namespace

class TestRangeSliderDrawing : public QObject
{
    Q_OBJECT

private slots:
    void disabledAquaColors();
    void barWithAnEmptySelection();
    void fillInsideTheSelectionOnly();
    void knobPositions_data();
    void knobPositions();
    void softShadowBelowRight();
};

void TestRangeSliderDrawing::disabledAquaColors()
{
    const RangeSliderColors colors = RangeSliderColors::forStyle(RangeSliderColorStyle::aqua, false);
    // Saturation (HSV) times 0.65; the fill colours at alpha 0.65, the outline keeps 0.7.
    const std::pair<QColor, QColor> actualAndExpected[] = {{colors.fillTop, QColor(137, 209, 251, 166)},
                                                           {colors.fillBottom, QColor(98, 171, 243, 166)},
                                                           {colors.fillOutline, QColor(87, 156, 227, 178)}};
    for (const auto &[actual, expected] : actualAndExpected)
        QVERIFY2(near(actual, expected), qPrintable(actual.name(QColor::HexArgb)));
}

void TestRangeSliderDrawing::barWithAnEmptySelection()
{
    RangeSlider slider;
    select(slider, 0.5, 0.5);
    const QImage image = render(slider);

    // Bar frame (0.5, 4.5, 399, 11): its one-unit outline is centred on the frame's edges.
    QCOMPARE(alphaAt(image, 100, 3), 0);
    QCOMPARE(alphaAt(image, 100, 16), 0);
    for (const auto &[x, y] : {std::pair(100, 4), std::pair(100, 15), std::pair(0, middleRow), std::pair(399, middleRow)})
        QVERIFY(alphaAt(image, x, y) > 0 && alphaAt(image, x, y) < 255);
    for (const auto &[x, y] : {std::pair(100, 5), std::pair(100, 14), std::pair(1, middleRow), std::pair(398, middleRow)})
        QCOMPARE(alphaAt(image, x, y), 255);
    // Rounded corners: the frame's corner pixel is left (nearly) empty.
    QVERIFY(alphaAt(image, 0, 4) < 64);

    // No fill anywhere, but one knob.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor color = colorAt(image, x, y);
            if (color.alpha() > 0)
                QVERIFY2(qAbs(color.red() - color.blue()) <= 4, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
    QCOMPARE(opaqueRuns(image, knobOnlyRow).size(), 1);
}

void TestRangeSliderDrawing::fillInsideTheSelectionOnly()
{
    RangeSlider slider;
    select(slider, 0.25, 0.75);
    const QImage enabled = render(slider);

    for (const int x : {110, 200, 290})
        QVERIFY(isYellowish(colorAt(enabled, x, middleRow)));
    for (const int x : {50, 90, 310, 350})
        QVERIFY(isGrey(colorAt(enabled, x, middleRow)));
    // The fill's brighter yellow and the background's darker grey are at the top.
    QVERIFY(colorAt(enabled, 200, 6).green() > colorAt(enabled, 200, 13).green() + 20);
    QVERIFY(colorAt(enabled, 50, 5).red() < colorAt(enabled, 50, 14).red() - 20);

    // Disabled, the fill turns paler; the bar background and the knobs stay.
    slider.setEnabled(false);
    const QImage disabled = render(slider);
    const QColor pale = colorAt(disabled, 200, middleRow);
    QVERIFY(isYellowish(pale));
    QVERIFY(pale.hsvSaturationF() < colorAt(enabled, 200, middleRow).hsvSaturationF() * 0.8);
    QCOMPARE(disabled.pixel(50, middleRow), enabled.pixel(50, middleRow));
    QCOMPARE(disabled.pixel(100, knobOnlyRow), enabled.pixel(100, knobOnlyRow));
    slider.setEnabled(true);
    QCOMPARE(render(slider).pixel(200, middleRow), enabled.pixel(200, middleRow));
}

void TestRangeSliderDrawing::knobPositions_data()
{
    QTest::addColumn<RangeSliderKnobStyle>("style");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<int>("knobCount"); // separate knobs seen

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
    slider.setKnobStyle(style);
    select(slider, start, end);
    const QImage image = render(slider);

    const QList<QPair<int, int>> runs = opaqueRuns(image, knobOnlyRow);
    QCOMPARE(runs.size(), knobCount);
    const QList<QRectF> frames{slider.startKnobFrame(), slider.endKnobFrame()};
    for (int i = 0; i < knobCount; ++i) {
        const double runCentre = (runs.at(i).first + runs.at(i).second + 1) * 0.5;
        QVERIFY2(qAbs(runCentre - frames.at(i).center().x()) <= 1.0, qPrintable(QString::number(runCentre)));
        QVERIFY(runs.at(i).second - runs.at(i).first + 1 <= frames.at(i).width());
    }
    // Knobs rise above the bar.
    for (const QRectF &frame : frames)
        QVERIFY(alphaAt(image, int(frame.center().x()), 3) > 200);
}

void TestRangeSliderDrawing::softShadowBelowRight()
{
    RangeSlider slider;
    select(slider, 0.5, 1.0);
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

QTEST_MAIN(TestRangeSliderDrawing)
#include "tst_rangesliderdrawing.moc"

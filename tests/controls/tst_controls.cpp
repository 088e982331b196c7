#include <QMimeData>
#include <QPainter>
#include <QtTest>

#include "imagedropview.h"
#include "rangeslider.h"
#include "rangeslidergeometry.h"

using OptionalKnob = std::optional<DraggedSlider>;

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
// C: and the knob that the callback sees; | where the new selection is first seen.
struct Recorder
{
    explicit Recorder(RangeSlider &slider) : before(slider.selection())
    {
        const std::pair<void (RangeSlider::*)(), char> codes[] = {
            {&RangeSlider::startAboutToChange, 's'}, {&RangeSlider::endAboutToChange, 'e'},
            {&RangeSlider::lengthAboutToChange, 'l'}, {&RangeSlider::startChanged, 'S'},
            {&RangeSlider::endChanged, 'E'}, {&RangeSlider::lengthChanged, 'L'}};
        for (const auto &[signal, code] : codes)
            QObject::connect(&slider, signal, &slider, [this, &slider, code = code] { note(slider, code); });
        QObject::connect(&slider, &RangeSlider::onControlChanged, &slider, [this](RangeSlider *sender) {
            const OptionalKnob knob = sender->currentSliderDragging();
            note(*sender, 'C');
            announced += QLatin1String(knob == startKnob ? ":start" : knob == endKnob ? ":end" : ":none");
        });
    }
    void note(const RangeSlider &slider, char code)
    {
        const SelectionRange now = slider.selection();
        if (!announced.contains(QLatin1Char('|')) && !(now.start == before.start && now.end == before.end))
            announced += QLatin1Char('|');
        announced += QLatin1Char(code);
    }
    const SelectionRange before;
    QString announced;
};

// One press, one move and a release on a slider of 400 × 20; positions as fractions of the range.
struct Drag
{
    double start, end; // before
    int pressX;
    double moveX;
    OptionalKnob knob; // marked afterwards
    double newStart, newEnd;
    const char *announced;
    double snapRange = 0.0; // maxValue, with snapping, when set
    Qt::MouseButtons buttons = Qt::LeftButton; // held during the move
    bool barClicks = true, enabled = true;
};

struct Frames
{
    QSizeF size;
    RangeSliderKnobStyle style;
    SelectionRange selection;
    QRectF bar, fill, startKnob, endKnob;
};

bool isYellowish(const QColor &color)
{
    return color.red() > 200 && color.green() > 150 && color.red() - color.blue() > 60;
}

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void mouse_data()
    {
        QTest::addColumn<Drag>("row");
        // Start 0.2 and end 0.5 put the knobs at 76.5..84.5 and 196.5..204.5.
        QTest::newRow("start dragged") << Drag{0.2, 0.5, 80, 120, startKnob, 0.3, 0.5, "sl|SLC:start"};
        QTest::newRow("end pushes the start") << Drag{0.2, 0.5, 200, 40, endKnob, 0.1, 0.1, "sel|SELC:end"};
        QTest::newRow("start held at the left") << Drag{0.2, 0.5, 80, -30, startKnob, 0.0, 0.5, "sl|SLC:start"};
        QTest::newRow("end held at the right") << Drag{0.2, 0.5, 200, 450, endKnob, 0.2, 1.0, "el|ELC:end"};
        QTest::newRow("overlap: the start is grabbed") << Drag{0.2, 0.2, 80, 200, startKnob, 0.5, 0.5, "se|SEC:start"};
        // A click on the bar moves the nearer knob there, once; knob centres at 100.5 and 301.5.
        QTest::newRow("bar click, tie to the end") << Drag{0.25, 0.7525, 201, 201, endKnob, 0.25, 0.5025, "el|ELC:end"};
        QTest::newRow("bar click nearer the start") << Drag{0.25, 0.7525, 200, 200, startKnob, 0.5, 0.7525, "sl|SLC:start"};
        QTest::newRow("bar clicks off: no knob") << Drag{0.0, 0.75, 150, 180, noKnob, 0.0, 0.75, "", 0.0, Qt::LeftButton, false};
        QTest::newRow("disabled") << Drag{0.0, 0.8, 4, 100, endKnob, 0.0, 0.8, "", 0.0, Qt::LeftButton, true, false};
        QTest::newRow("moved with the right button") << Drag{0.0, 1.0, 4, 100, startKnob, 0.0, 1.0, "", 0.0, Qt::RightButton};
        // Ten units over 400 pixels: 3.4 units round to 3, and 2.5 away from zero, to 3 as well.
        QTest::newRow("snaps to the nearest unit") << Drag{0.0, 1.0, 4, 136, startKnob, 0.3, 1.0, "sl|SLC:start", 10.0};
        QTest::newRow("snaps a half away from zero") << Drag{0.0, 1.0, 4, 100, startKnob, 0.3, 1.0, "sl|SLC:start", 10.0};
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
        slider.setMaxValue(row.snapRange > 0.0 ? row.snapRange : 1.0);
        slider.setSnapsToIntegers(row.snapRange > 0.0);
        slider.setAllowClicksOnBarToMoveSliders(row.barClicks);
        slider.setEnabled(row.enabled);
        const Recorder recorder(slider);

        QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(row.pressX, knobRow));
        // QTest::mouseMove does not carry the buttons reliably.
        const QPointF to(row.moveX, knobRow);
        QMouseEvent move(QEvent::MouseMove, to, slider.mapToGlobal(to), Qt::NoButton, row.buttons, Qt::NoModifier);
        QApplication::sendEvent(&slider, &move);
        QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, to.toPoint());

        QCOMPARE(slider.selection().start, row.newStart);
        QCOMPARE(slider.selection().end, row.newEnd);
        QCOMPARE(slider.currentSliderDragging(), row.knob);
        QCOMPARE(recorder.announced, QLatin1String(row.announced));
    }

    void setters_data()
    {
        QTest::addColumn<bool>("setsStart");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("announced");
        // A range of 10 to 20, selected whole before each set; a value is stored as given, not clamped or pushed.
        QTest::newRow("start") << true << 12.5 << 0.25 << QStringLiteral("sl|SLC:start");
        QTest::newRow("start above the end") << true << 30.0 << 2.0 << QStringLiteral("sl|SLC:start");
        QTest::newRow("end below the start") << false << 5.0 << -0.5 << QStringLiteral("el|ELC:end");
        QTest::newRow("start to NaN") << true << qQNaN() << qQNaN() << QStringLiteral("sl|SLC:start");
        // Nothing to announce, but the knob is marked and the slider redrawn all the same.
        QTest::newRow("start to its value") << true << 10.0 << 0.0 << QString();
    }

    void setters()
    {
        QFETCH(bool, setsStart);
        QFETCH(double, value);
        QFETCH(double, fraction);
        QFETCH(QString, announced);
        PaintCountingSlider slider;
        slider.setMinValue(10.0);
        slider.setMaxValue(20.0);
        slider.show();
        QTRY_VERIFY(slider.paints > 0);
        const int paintsBefore = slider.paints;
        const Recorder recorder(slider);
        setsStart ? slider.setStart(value) : slider.setEnd(value);

        const OptionalKnob knob = setsStart ? startKnob : endKnob;
        QCOMPARE(slider.currentSliderDragging(), knob);
        // QCOMPARE takes a NaN as equal to a NaN.
        QCOMPARE(setsStart ? slider.selection().start : slider.selection().end, fraction);
        QCOMPARE(setsStart ? slider.start() : slider.end(), value);
        QCOMPARE(slider.length(), setsStart ? 20.0 - value : value - 10.0);
        QCOMPARE(recorder.announced, announced);
        QTRY_VERIFY(slider.paints > paintsBefore);
    }

    void geometry_data()
    {
        QTest::addColumn<Frames>("row");
        const auto square = RangeSliderKnobStyle::square;
        QTest::newRow("square knobs at both ends") << Frames{{400, 20}, square, {0.0, 1.0}, {0.5, 4.5, 399, 11},
                                                            {0.5, 4.5, 399, 11}, {0.5, 2.5, 8, 16}, {391.5, 2.5, 8, 16}};
        QTest::newRow("circular, bar height's third rounds down")
            << Frames{{400, 21}, RangeSliderKnobStyle::circular, {0.5, 0.5}, {0.5, 5.5, 399, 11},
                      {199.5, 5.5, 0, 11}, {191.5, 2.5, 17, 17}, {191.5, 2.5, 17, 17}};
        QTest::newRow("bar height's half rounds up") << Frames{{100.7, 6.25}, square, {0.0, 1.0}, {0.5, 2.5, 99, 2},
                                                              {0.5, 2.5, 99, 2}, {0.5, 2.5, 8, 2}, {91.5, 2.5, 8, 2}};
        // Narrower than a knob: the start frame ends on the upper bound, the end frame on the lower.
        QTest::newRow("narrower than a knob") << Frames{{6, 20}, square, {0.5, 0.5}, {0.5, 4.5, 5, 11},
                                                        {2.5, 4.5, 0, 11}, {-2.5, 2.5, 8, 16}, {0.5, 2.5, 8, 16}};
    }

    void geometry()
    {
        QFETCH(Frames, row);
        const RangeSliderGeometry geometry(row.size, row.style);
        QCOMPARE(geometry.barFrame(), row.bar);
        QCOMPARE(geometry.fillFrame(row.selection), row.fill);
        QCOMPARE(geometry.startKnobFrame(row.selection.start), row.startKnob);
        QCOMPARE(geometry.endKnobFrame(row.selection.end), row.endKnob);
    }

    void knobAt()
    {
        // Knobs at (0.5, 2.5, 8, 16) and (391.5, 2.5, 8, 16): low edges inside, high edges outside.
        const RangeSliderGeometry geometry(QSizeF(400, 20), RangeSliderKnobStyle::square);
        const std::pair<QPointF, OptionalKnob> pointsAndKnobs[] = {
            {{0.5, 2.5}, startKnob}, {{8.5, 10}, noKnob}, {{4, 18.5}, noKnob}, {{391.5, 10}, endKnob}, {{399.5, 10}, noKnob}};
        for (const auto &[point, knob] : pointsAndKnobs)
            QCOMPARE(geometry.knobAt(point, {0.0, 1.0}), knob);
    }

    void drawing()
    {
        RangeSlider slider;
        slider.resize(400, 20);
        slider.setAttribute(Qt::WA_NoSystemBackground); // what is not painted stays transparent
        slider.setStart(0.25);
        slider.setEnd(0.75);
        const QImage enabled = slider.grab().toImage();

        // The fill lies between the knobs only, brighter at the top; the bar is darker at the top.
        for (const int x : {110, 200, 290})
            QVERIFY(isYellowish(enabled.pixelColor(x, knobRow)));
        for (const int x : {50, 90, 310, 350})
            QVERIFY(!isYellowish(enabled.pixelColor(x, knobRow)));
        QVERIFY(enabled.pixelColor(200, 6).green() > enabled.pixelColor(200, 13).green() + 20);
        QVERIFY(enabled.pixelColor(50, 5).red() < enabled.pixelColor(50, 14).red() - 20);
        for (const QRectF &frame : {slider.startKnobFrame(), slider.endKnobFrame()}) {
            QCOMPARE(qAlpha(enabled.pixel(int(frame.center().x()), knobOnlyRow)), 255);
            QVERIFY(qAlpha(enabled.pixel(int(frame.center().x()), 3)) > 200);
        }
        // The end knob (296.5, 2.5, 8, 16) casts a soft shadow two units right and down, below it on row 19.
        const int underKnob = qAlpha(enabled.pixel(302, 19));
        QVERIFY2(underKnob >= 10 && underKnob <= 31, qPrintable(QString::number(underKnob)));
        QVERIFY(qAlpha(enabled.pixel(307, 19)) > 0 && qAlpha(enabled.pixel(307, 19)) < underKnob);
        QVERIFY(qAlpha(enabled.pixel(300, 1)) <= 1 && qAlpha(enabled.pixel(293, knobOnlyRow)) <= 1);

        slider.setEnabled(false);
        const QImage disabled = slider.grab().toImage();
        QVERIFY(isYellowish(disabled.pixelColor(200, knobRow)));
        QVERIFY(disabled.pixelColor(200, knobRow).hsvSaturationF() < enabled.pixelColor(200, knobRow).hsvSaturationF() * 0.8);
        QCOMPARE(disabled.pixel(50, knobRow), enabled.pixel(50, knobRow));
        slider.setEnabled(true);
        QCOMPARE(slider.grab().toImage().pixel(200, knobRow), enabled.pixel(200, knobRow));
    }

    void drops_data()
    {
        QTest::addColumn<QString>("urls"); // blank-separated; %1 is a folder that holds clip.mov
        QTest::addColumn<bool>("accepted");
        // Only the first URL counts.
        QTest::newRow("a folder") << QStringLiteral("file://%1") << false;
        QTest::newRow("a missing file first") << QStringLiteral("file://%1/missing.mov file://%1/clip.mov") << false;
        QTest::newRow("no URL, a file named in text") << QString() << false;
        QTest::newRow("a remote file") << QStringLiteral("sftp://host%1/clip.mov") << false;
        QTest::newRow("a file first") << QStringLiteral("file://%1/clip.mov file://%1/missing.mov file://%1") << true;
    }

    void drops()
    {
        QFETCH(QString, urls);
        QFETCH(bool, accepted);
        const QTemporaryDir folder;
        QFile(folder.filePath(QStringLiteral("clip.mov"))).open(QIODevice::WriteOnly);
        const auto mimeData = std::make_unique<QMimeData>();
        mimeData->setText(folder.filePath(QStringLiteral("clip.mov")));
        if (!urls.isEmpty()) // as a desktop drag carries them, one a line
            mimeData->setData(QStringLiteral("text/uri-list"),
                              urls.replace(QStringLiteral("%1"), folder.path()).replace(QLatin1Char(' '), QLatin1Char('\n')).toUtf8());
        ImageDropView view;
        const QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        // Shift proposes a move: an accepted drag asks for a copy all the same.
        QDragEnterEvent enter(QPoint(10, 10), offered, mimeData.get(), Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(&view, &enter);
        QDragMoveEvent move(QPoint(10, 10), offered, mimeData.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
        QCOMPARE(enter.isAccepted() && enter.dropAction() == Qt::CopyAction, accepted);
        QCOMPARE(move.isAccepted(), accepted);
        if (!accepted)
            return; // a refused drag is never dropped

        QDropEvent drop(QPointF(10, 10), offered, mimeData.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &drop);
        QVERIFY(drop.isAccepted());
        const QUrl first = mimeData->urls().constFirst();
        QCOMPARE(posted.count(), 1);
        QCOMPARE(posted.at(0).at(0).toMap(), (QVariantMap{{QStringLiteral("key"), first}}));
        QCOMPARE(view.filePath(), std::optional<QString>(first.toLocalFile()));
    }

    void letterboxedImage()
    {
        ImageDropView view;
        view.resize(300, 100);
        QImage image(50, 50, QImage::Format_RGB32);
        image.fill(Qt::red);
        // A blue top-left quarter shows that the picture is neither cropped nor flipped.
        QPainter(&image).fillRect(0, 0, 25, 25, Qt::blue);
        view.setImage(image);

        // Scaled up to 100 × 100 in the middle, between two equal dark bars.
        const QImage shot = view.grab().toImage();
        QCOMPARE(shot.pixelColor(102, 2), QColor(Qt::blue));
        QCOMPARE(shot.pixelColor(197, 97), QColor(Qt::red));
        const QColor bar = shot.pixelColor(98, 50);
        QCOMPARE(shot.pixelColor(202, 50), bar);
        QVERIFY(bar.red() == bar.green() && bar.green() == bar.blue() && bar.value() < 96);
        view.setImage(QImage());
        QVERIFY(view.grab().toImage().pixelColor(102, 2) != QColor(Qt::blue));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QBrush>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QWidget>

#include "rangeslidertypes.h"

class DropShadow;
class QPainter;
class RangeSliderGeometry;

// A horizontal slider with two knobs that pick the start and the end of a
// range. The knobs push each other rather than cross. Every change of an end,
// by the mouse or by a setter, is announced with the about-to-change signals,
// stored, announced with the changed signals, and reported through
// onControlChanged.
class RangeSlider : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double start READ start WRITE setStart NOTIFY startChanged)
    Q_PROPERTY(double end READ end WRITE setEnd NOTIFY endChanged)
    Q_PROPERTY(double length READ length NOTIFY lengthChanged)

public:
    explicit RangeSlider(QWidget *parent = nullptr);
    ~RangeSlider() override;

    double minValue() const;
    void setMinValue(double value);
    double maxValue() const;
    void setMaxValue(double value);

    bool snapsToIntegers() const;
    void setSnapsToIntegers(bool snaps);
    bool allowClicksOnBarToMoveSliders() const;
    void setAllowClicksOnBarToMoveSliders(bool allow);

    RangeSliderColorStyle colorStyle() const;
    void setColorStyle(RangeSliderColorStyle style);
    RangeSliderKnobStyle knobStyle() const;
    void setKnobStyle(RangeSliderKnobStyle style);

    SelectionRange selection() const;
    std::optional<DraggedSlider> currentSliderDragging() const;
    // Whether the mouse holds a knob now.
    bool isDragging() const { return m_mouseHoldsKnob; }

    // In units of minValue...maxValue. The setters store any value as given,
    // without clamping and without comparing the two ends.
    double start() const;
    void setStart(double value);
    double end() const;
    void setEnd(double value);
    double length() const;

    // Thin ticks along the bar at these values (sorted), such as keyframes,
    // and a distinct mark at one value; neither can be grabbed.
    void setTickValues(const QList<double> &values);
    QList<double> tickValues() const { return m_tickValues; }
    void setMarkedValue(std::optional<double> value);
    std::optional<double> markedValue() const { return m_markedValue; }
    // Stretches of the bar in a colour of their own, over the selection's
    // fill: the frames an exact cut re-encodes. Fractions, like the knobs.
    void setSpans(const QList<SelectionRange> &spans);
    QList<SelectionRange> spans() const { return m_spans; }
    // A playhead at a value: a line above the knobs, which a press near it
    // and a drag move, told through playheadDragged(). None by default.
    void setPlayheadValue(std::optional<double> value);
    std::optional<double> playheadValue() const { return m_playheadValue; }
    // Where `value` lies along the bar, in the slider's pixels, outside the
    // control where the view leaves it out: what is drawn beside the slider
    // lines up with it.
    double positionOfValue(double value) const;

    // Zoomed in, the bar shows `view`, fractions of the whole range, across
    // its width; a view narrower than `minimumViewSpan` is widened to it.
    SelectionRange view() const { return m_view; }
    void setView(SelectionRange view);
    void setMinimumViewSpan(double span) { m_minimumViewSpan = span; }
    bool isZoomed() const { return m_view.start > 0.0 || m_view.end < 1.0; }
    // By `factor` (above 1 zooms in), keeping `value` where it stands.
    void zoom(double factor, double value);

    QRectF startKnobFrame() const;
    QRectF endKnobFrame() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void startAboutToChange();
    void endAboutToChange();
    void lengthAboutToChange();
    void startChanged();
    void endChanged();
    void lengthChanged();
    // After every change of start or end; currentSliderDragging() tells which end moved.
    void onControlChanged(RangeSlider *slider);
    // The mouse let go of a knob it was dragging.
    void dragFinished();
    // The mouse moved the playhead to `value`; the selection stays.
    void playheadDragged(double value);
    // Left or Right (`steps` -1 or 1), by a frame or with Shift by a second,
    // for `knob`: the one last moved, or chosen with Home and End.
    void keyboardNudge(DraggedSlider knob, int steps, bool bySecond);
    void viewChanged(SelectionRange view);
    // Ctrl and the wheel: `steps` up (in) or down (out), around `value`.
    void zoomAsked(int steps, double value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    RangeSliderGeometry sliderGeometry() const;
    double valueFromFraction(double fraction) const;
    double fractionFromValue(double value) const;
    void setSelectionFromPoint(double x);
    void announceAndStore(const SelectionRange &newSelection);
    void rebuildBarFillGradient();
    void paintTicks(QPainter &painter, const RangeSliderGeometry &geometry) const;
    void paintSpans(QPainter &painter, const RangeSliderGeometry &geometry) const;
    void paintPlayhead(QPainter &painter, const RangeSliderGeometry &geometry) const;
    bool isNearPlayhead(QPointF point, const RangeSliderGeometry &geometry) const;

    const QBrush &sliderGradient() const;
    const QBrush &barBackgroundGradient() const;
    const DropShadow &sliderShadow() const;

    double m_minValue = 0.0;
    double m_maxValue = 1.0;
    bool m_snapsToIntegers = false;
    bool m_allowClicksOnBarToMoveSliders = true;
    RangeSliderColorStyle m_colorStyle = RangeSliderColorStyle::yellow;
    RangeSliderKnobStyle m_knobStyle = RangeSliderKnobStyle::square;
    SelectionRange m_selection;
    std::optional<DraggedSlider> m_currentSliderDragging;
    bool m_mouseHoldsKnob = false;
    QList<double> m_tickValues;
    std::optional<double> m_markedValue;
    std::optional<double> m_playheadValue;
    QList<SelectionRange> m_spans;
    SelectionRange m_view;
    double m_minimumViewSpan = 0.0;
    bool m_mouseHoldsPlayhead = false;

    mutable std::optional<QBrush> m_sliderGradient;
    mutable std::optional<QBrush> m_barBackgroundGradient;
    std::optional<QBrush> m_barFillGradient;
    mutable std::unique_ptr<DropShadow> m_sliderShadow;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include "rangeslidertypes.h"

// Where the parts of a range slider lie for a given size and knob style, and
// how a pointer position maps back to a fraction of the range. Pure maths, so
// that the widget only draws and the mapping can be checked with tables.
//
// Frame origins sit on half units and sizes on whole units, so that one-unit
// strokes along the frame edges cover whole pixels.
//
// Zoomed in, the control shows `view`, a part of the range, across its whole
// width; fractions are still of the whole range, and what lies outside the
// view lies outside the control.
class RangeSliderGeometry
{
public:
    RangeSliderGeometry(const QSizeF &size, RangeSliderKnobStyle knobStyle, const SelectionRange &view = {});

    double barHeight() const;
    double cornerRadius() const;
    QRectF barFrame() const;
    QRectF fillFrame(const SelectionRange &selection) const;

    double knobWidth() const;
    QRectF startKnobFrame(double startFraction) const;
    QRectF endKnobFrame(double endFraction) const;

    // The fraction of the range under `x`, clamped to 0...1; with `snapRange`
    // (maxValue - minValue) it is rounded to whole units of that range.
    double fractionAt(double x, std::optional<double> snapRange = std::nullopt) const;

    // The pixel column's centre for a fraction of the range, clamped to the
    // control.
    double positionOf(double fraction) const;
    // The same, not clamped: left of 0 or past the width outside the view.
    double unclampedPositionOf(double fraction) const;
    bool isInView(double fraction) const { return fraction >= m_view.start && fraction <= m_view.end; }
    // Positions for ticks at `fractions` (sorted), leaving out any that would
    // lie closer than `minimumGap` pixels to the last one kept.
    QList<double> tickPositions(const QList<double> &fractions, double minimumGap = 2.0) const;

    // The knob under `point`; the start knob wins where both overlap.
    std::optional<DraggedSlider> knobAt(const QPointF &point, const SelectionRange &selection) const;

    // The knob whose centre is nearer to `x`; a tie goes to the end knob.
    DraggedSlider nearestKnob(double x, const SelectionRange &selection) const;

    // Inside when on the low edges, outside when on the high edges, so that
    // adjoining rectangles never both claim a point.
    static bool containsPoint(const QRectF &rect, const QPointF &point);

private:
    double knobHalfWidth() const;
    double knobHeight() const;
    QRectF knobFrameAt(double x) const;
    // A fraction of the range as a fraction of the view, and back.
    double viewed(double fraction) const { return (fraction - m_view.start) / (m_view.end - m_view.start); }
    double unviewed(double fraction) const { return m_view.start + fraction * (m_view.end - m_view.start); }

    const QSizeF m_size;
    const RangeSliderKnobStyle m_knobStyle = RangeSliderKnobStyle::square;
    const SelectionRange m_view;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "rangeslidergeometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double squareKnobWidth = 8.0;
constexpr double knobInset = 4.0;

double centreX(const QRectF &frame)
{
    return frame.x() + frame.width() * 0.5;
}

} // namespace

RangeSliderGeometry::RangeSliderGeometry(const QSizeF &size, RangeSliderKnobStyle knobStyle, const SelectionRange &view)
    : m_size(size)
    , m_knobStyle(knobStyle)
    , m_view(view)
{
}

double RangeSliderGeometry::barHeight() const
{
    // std::round takes halves away from zero.
    return std::round((m_size.height() - knobInset) * 2.0 / 3.0);
}

double RangeSliderGeometry::cornerRadius() const
{
    return barHeight() / 3.0;
}

QRectF RangeSliderGeometry::barFrame() const
{
    const double b = barHeight();
    return {0.5, std::floor(0.5 * (m_size.height() - b)) + 0.5, std::floor(m_size.width() - 1.0), std::floor(b)};
}

QRectF RangeSliderGeometry::fillFrame(const SelectionRange &selection) const
{
    const QRectF bar = barFrame();
    const double span = m_size.width() - 1.0;
    // Clipped to the control where the selection runs past the view.
    const double start = std::clamp(viewed(selection.start), 0.0, 1.0);
    const double end = std::clamp(viewed(selection.end), 0.0, 1.0);
    return {std::floor(start * span) + 0.5, bar.y(), std::floor((end - start) * span), bar.height()};
}

double RangeSliderGeometry::knobWidth() const
{
    return m_knobStyle == RangeSliderKnobStyle::square ? squareKnobWidth : knobHeight();
}

double RangeSliderGeometry::knobHalfWidth() const
{
    return m_knobStyle == RangeSliderKnobStyle::square ? squareKnobWidth * 0.5 : knobHeight() * 0.5;
}

double RangeSliderGeometry::knobHeight() const
{
    return m_size.height() - knobInset;
}

QRectF RangeSliderGeometry::startKnobFrame(double startFraction) const
{
    double x = viewed(startFraction) * m_size.width() - knobHalfWidth();
    // A knob outside the view is not pulled in: it would stand where it is not.
    if (!isInView(startFraction))
        return knobFrameAt(x);
    if (x <= 0.0)
        x = 0.0;
    x = std::min(m_size.width() - knobWidth() - 1.0, x);
    return knobFrameAt(x);
}

QRectF RangeSliderGeometry::endKnobFrame(double endFraction) const
{
    // The bounds apply in the opposite order to the start knob's; that only
    // matters on a control narrower than one knob.
    const double at = viewed(endFraction) * m_size.width() - knobHalfWidth();
    if (!isInView(endFraction))
        return knobFrameAt(at);
    double x = std::min(m_size.width() - knobWidth() - 1.0, at);
    if (x <= 0.0)
        x = 0.0;
    return knobFrameAt(x);
}

QRectF RangeSliderGeometry::knobFrameAt(double x) const
{
    const double h = knobHeight();
    const double y = (m_size.height() - h) * 0.5;
    return {std::floor(x) + 0.5, std::floor(y) + 0.5, std::floor(knobWidth()), std::floor(h)};
}

double RangeSliderGeometry::fractionAt(double x, std::optional<double> snapRange) const
{
    double fraction = x / m_size.width();
    if (fraction >= 1.0)
        fraction = 1.0;
    if (fraction <= 0.0)
        fraction = 0.0;
    fraction = unviewed(fraction);
    if (snapRange)
        fraction = std::round(fraction * *snapRange) / *snapRange;
    return fraction;
}

double RangeSliderGeometry::positionOf(double fraction) const
{
    const double lastColumn = std::max(0.0, std::floor(m_size.width()) - 1.0);
    return std::clamp(std::floor(viewed(fraction) * m_size.width()), 0.0, lastColumn) + 0.5;
}

double RangeSliderGeometry::unclampedPositionOf(double fraction) const
{
    return std::floor(viewed(fraction) * m_size.width()) + 0.5;
}

QList<double> RangeSliderGeometry::tickPositions(const QList<double> &fractions, double minimumGap) const
{
    QList<double> positions;
    for (const double fraction : fractions) {
        if (!isInView(fraction))
            continue;
        const double x = positionOf(fraction);
        if (positions.isEmpty() || x - positions.last() >= minimumGap)
            positions.append(x);
    }
    return positions;
}

std::optional<DraggedSlider> RangeSliderGeometry::knobAt(const QPointF &point, const SelectionRange &selection) const
{
    if (containsPoint(startKnobFrame(selection.start), point))
        return DraggedSlider::start;
    if (containsPoint(endKnobFrame(selection.end), point))
        return DraggedSlider::end;
    return std::nullopt;
}

DraggedSlider RangeSliderGeometry::nearestKnob(double x, const SelectionRange &selection) const
{
    const double toStart = std::abs(centreX(startKnobFrame(selection.start)) - x);
    const double toEnd = std::abs(centreX(endKnobFrame(selection.end)) - x);
    return toEnd <= toStart ? DraggedSlider::end : DraggedSlider::start;
}

bool RangeSliderGeometry::containsPoint(const QRectF &rect, const QPointF &point)
{
    return point.x() >= rect.left() && point.x() < rect.left() + rect.width()
        && point.y() >= rect.top() && point.y() < rect.top() + rect.height();
}

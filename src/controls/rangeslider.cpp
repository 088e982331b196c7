// SPDX-License-Identifier: GPL-3.0-or-later
#include "rangeslider.h"

#include <cmath>

#include <QEvent>
#include <QLinearGradient>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <QPen>

#include "controlsaccessibility.h"
#include "dropshadow.h"
#include "rangeslidercolors.h"
#include "rangeslidergeometry.h"

namespace {

constexpr double knobCornerRadius = 2.0;
constexpr double outlineWidth = 1.0;
// Where a stream copy really starts: no colour the bar or its fill uses.
QColor markColor()
{
    return QColor(204, 51, 34);
}

// What an exact cut re-encodes: a blue against the yellow or aqua fill and the red mark.
QColor spanColor()
{
    return QColor(64, 64, 192);
}

QColor grey(double whiteLevel, double alpha = 1.0)
{
    return QColor::fromRgbF(static_cast<float>(whiteLevel), static_cast<float>(whiteLevel),
                            static_cast<float>(whiteLevel), static_cast<float>(alpha));
}

QColor outlineColor()
{
    return grey(0.0, 0.25);
}

// A vertical gradient over whatever shape it fills, `topColor` at the top.
QBrush verticalGradient(const QColor &topColor, const QColor &bottomColor)
{
    QLinearGradient gradient(0.0, 0.0, 0.0, 1.0);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0.0, topColor);
    gradient.setColorAt(1.0, bottomColor);
    return QBrush(gradient);
}

QPainterPath roundedRectPath(const QRectF &frame, double radius)
{
    QPainterPath path;
    path.addRoundedRect(frame, radius, radius);
    return path;
}

QPainterPath knobPath(const QRectF &frame, RangeSliderKnobStyle style)
{
    if (style == RangeSliderKnobStyle::circular) {
        QPainterPath path;
        path.addEllipse(frame);
        return path;
    }
    return roundedRectPath(frame, knobCornerRadius);
}

bool differs(double a, double b)
{
    // Written so that a NaN differs from everything, itself included.
    return !(a == b);
}

} // namespace

RangeSlider::RangeSlider(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
    ControlsAccessibility::install();
}

RangeSlider::~RangeSlider() = default;

double RangeSlider::minValue() const
{
    return m_minValue;
}

void RangeSlider::setMinValue(double value)
{
    m_minValue = value;
}

double RangeSlider::maxValue() const
{
    return m_maxValue;
}

void RangeSlider::setMaxValue(double value)
{
    m_maxValue = value;
}

bool RangeSlider::snapsToIntegers() const
{
    return m_snapsToIntegers;
}

void RangeSlider::setSnapsToIntegers(bool snaps)
{
    m_snapsToIntegers = snaps;
}

bool RangeSlider::allowClicksOnBarToMoveSliders() const
{
    return m_allowClicksOnBarToMoveSliders;
}

void RangeSlider::setAllowClicksOnBarToMoveSliders(bool allow)
{
    m_allowClicksOnBarToMoveSliders = allow;
}

RangeSliderColorStyle RangeSlider::colorStyle() const
{
    return m_colorStyle;
}

void RangeSlider::setColorStyle(RangeSliderColorStyle style)
{
    m_colorStyle = style;
    rebuildBarFillGradient();
    update();
}

RangeSliderKnobStyle RangeSlider::knobStyle() const
{
    return m_knobStyle;
}

void RangeSlider::setKnobStyle(RangeSliderKnobStyle style)
{
    m_knobStyle = style;
    update();
}

SelectionRange RangeSlider::selection() const
{
    return m_selection;
}

std::optional<DraggedSlider> RangeSlider::currentSliderDragging() const
{
    return m_currentSliderDragging;
}

double RangeSlider::start() const
{
    return valueFromFraction(m_selection.start);
}

void RangeSlider::setStart(double value)
{
    m_currentSliderDragging = DraggedSlider::start;
    announceAndStore({fractionFromValue(value), m_selection.end});
}

double RangeSlider::end() const
{
    return valueFromFraction(m_selection.end);
}

void RangeSlider::setEnd(double value)
{
    m_currentSliderDragging = DraggedSlider::end;
    announceAndStore({m_selection.start, fractionFromValue(value)});
}

double RangeSlider::length() const
{
    return end() - start();
}

QRectF RangeSlider::startKnobFrame() const
{
    return sliderGeometry().startKnobFrame(m_selection.start);
}

QRectF RangeSlider::endKnobFrame() const
{
    return sliderGeometry().endKnobFrame(m_selection.end);
}

QSize RangeSlider::sizeHint() const
{
    return {400, 20};
}

QSize RangeSlider::minimumSizeHint() const
{
    return {48, 20};
}

RangeSliderGeometry RangeSlider::sliderGeometry() const
{
    return RangeSliderGeometry(QSizeF(size()), m_knobStyle, m_view);
}

void RangeSlider::setView(SelectionRange view)
{
    const double span = std::clamp(view.end - view.start, std::min(1.0, m_minimumViewSpan), 1.0);
    const double middle = (view.start + view.end) / 2.0;
    const double start = std::clamp(middle - span / 2.0, 0.0, 1.0 - span);
    view = {start, start + span};
    if (view.start == m_view.start && view.end == m_view.end)
        return;
    m_view = view;
    update();
    emit viewChanged(m_view);
}

void RangeSlider::zoom(double factor, double value)
{
    const double at = fractionFromValue(value);
    const double span = std::clamp((m_view.end - m_view.start) / factor, std::min(1.0, m_minimumViewSpan), 1.0);
    // `at` keeps its place across the control, as far as the range's ends allow.
    const double share = m_view.end > m_view.start ? (at - m_view.start) / (m_view.end - m_view.start) : 0.5;
    const double start = std::clamp(at - std::clamp(share, 0.0, 1.0) * span, 0.0, 1.0 - span);
    setView({start, start + span});
}

void RangeSlider::wheelEvent(QWheelEvent *event)
{
    if (!event->modifiers().testFlag(Qt::ControlModifier)) {
        QWidget::wheelEvent(event);
        return;
    }
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        emit zoomAsked(steps, valueFromFraction(sliderGeometry().fractionAt(event->position().x())));
    event->accept();
}

double RangeSlider::valueFromFraction(double fraction) const
{
    return m_minValue + (m_maxValue - m_minValue) * fraction;
}

double RangeSlider::fractionFromValue(double value) const
{
    return (value - m_minValue) / (m_maxValue - m_minValue);
}

double RangeSlider::positionOfValue(double value) const
{
    return sliderGeometry().unclampedPositionOf(fractionFromValue(value));
}

void RangeSlider::mousePressEvent(QMouseEvent *event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPointF point = event->position();
    const RangeSliderGeometry geometry = sliderGeometry();
    // The playhead lies on top of the knobs, so it is grabbed first.
    if (isNearPlayhead(point, geometry)) {
        m_mouseHoldsPlayhead = true;
        event->accept();
        return;
    }
    if (const std::optional<DraggedSlider> knob = geometry.knobAt(point, m_selection)) {
        // Grabbing a knob does not move it; the first drag does.
        m_currentSliderDragging = knob;
    } else if (m_allowClicksOnBarToMoveSliders) {
        m_currentSliderDragging = geometry.nearestKnob(point.x(), m_selection);
        setSelectionFromPoint(point.x());
    } else {
        m_currentSliderDragging.reset();
    }
    m_mouseHoldsKnob = m_currentSliderDragging.has_value();
    event->accept();
}

void RangeSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_mouseHoldsPlayhead) {
        m_mouseHoldsPlayhead = false;
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton || !m_mouseHoldsKnob) {
        event->ignore();
        return;
    }
    m_mouseHoldsKnob = false;
    event->accept();
    emit dragFinished();
}

void RangeSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!isEnabled() || !(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    if (m_mouseHoldsPlayhead) {
        const double value = valueFromFraction(sliderGeometry().fractionAt(event->position().x(), std::nullopt));
        setPlayheadValue(value);
        emit playheadDragged(value);
        event->accept();
        return;
    }
    setSelectionFromPoint(event->position().x());
    event->accept();
}

void RangeSlider::keyPressEvent(QKeyEvent *event)
{
    const DraggedSlider knob = m_currentSliderDragging.value_or(DraggedSlider::end);
    switch (event->key()) {
    case Qt::Key_Home:
    case Qt::Key_End:
        m_currentSliderDragging = event->key() == Qt::Key_Home ? DraggedSlider::start : DraggedSlider::end;
        update();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        emit keyboardNudge(knob, event->key() == Qt::Key_Left ? -1 : 1,
                           event->modifiers().testFlag(Qt::ShiftModifier));
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void RangeSlider::setSelectionFromPoint(double x)
{
    if (!m_currentSliderDragging)
        return;
    const std::optional<double> snapRange =
        m_snapsToIntegers ? std::optional<double>(m_maxValue - m_minValue) : std::nullopt;
    const double fraction = sliderGeometry().fractionAt(x, snapRange);

    // The dragged knob pushes the other one rather than crossing it.
    SelectionRange next = m_selection;
    if (*m_currentSliderDragging == DraggedSlider::start) {
        next.start = fraction;
        if (m_selection.end <= fraction)
            next.end = fraction;
    } else {
        next.end = fraction;
        if (fraction < m_selection.start)
            next.start = fraction;
    }
    announceAndStore(next);
}

void RangeSlider::announceAndStore(const SelectionRange &newSelection)
{
    const SelectionRange old = m_selection;
    const bool startChanges = differs(old.start, newSelection.start);
    const bool endChanges = differs(old.end, newSelection.end);
    const bool lengthChanges = differs(old.end - old.start, newSelection.end - newSelection.start);

    if (startChanges)
        emit startAboutToChange();
    if (endChanges)
        emit endAboutToChange();
    if (lengthChanges)
        emit lengthAboutToChange();

    m_selection = newSelection;

    if (startChanges)
        emit startChanged();
    if (endChanges)
        emit endChanged();
    if (lengthChanges)
        emit lengthChanged();

    if (startChanges || endChanges)
        emit onControlChanged(this);
    // Redrawn even when nothing changed: a set marks its knob all the same.
    update();
}

void RangeSlider::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        // A disabled slider gets no release: the knob is let go here.
        m_mouseHoldsKnob = m_mouseHoldsKnob && isEnabled();
        rebuildBarFillGradient();
        update();
    }
    QWidget::changeEvent(event);
}

void RangeSlider::rebuildBarFillGradient()
{
    const RangeSliderColors colors = RangeSliderColors::forStyle(m_colorStyle, isEnabled());
    m_barFillGradient = verticalGradient(colors.fillTop, colors.fillBottom);
}

const QBrush &RangeSlider::sliderGradient() const
{
    if (!m_sliderGradient)
        m_sliderGradient = verticalGradient(grey(0.92), grey(0.8));
    return *m_sliderGradient;
}

const QBrush &RangeSlider::barBackgroundGradient() const
{
    if (!m_barBackgroundGradient)
        m_barBackgroundGradient = verticalGradient(grey(0.7), grey(0.85));
    return *m_barBackgroundGradient;
}

const DropShadow &RangeSlider::sliderShadow() const
{
    // Two units right and two down: the light comes from the top left.
    if (!m_sliderShadow)
        m_sliderShadow = std::make_unique<DropShadow>(QPointF(2.0, 2.0), 2.0, grey(0.0, 0.12));
    return *m_sliderShadow;
}

void RangeSlider::setTickValues(const QList<double> &values)
{
    if (values == m_tickValues)
        return;
    m_tickValues = values;
    update();
}

void RangeSlider::setMarkedValue(std::optional<double> value)
{
    if (value == m_markedValue)
        return;
    m_markedValue = value;
    update();
}

// Ticks are hairlines inside the bar; the mark is wider, runs the control's
// full height and has a colour of its own, so it stands out among them.
void RangeSlider::setPlayheadValue(std::optional<double> value)
{
    if (value == m_playheadValue)
        return;
    m_playheadValue = value;
    update();
}

void RangeSlider::setSpans(const QList<SelectionRange> &spans)
{
    const auto same = [](const SelectionRange &a, const SelectionRange &b) { return a.start == b.start && a.end == b.end; };
    if (std::equal(spans.cbegin(), spans.cend(), m_spans.cbegin(), m_spans.cend(), same))
        return;
    m_spans = spans;
    update();
}

// Within a few pixels of the line, which is thin.
bool RangeSlider::isNearPlayhead(QPointF point, const RangeSliderGeometry &geometry) const
{
    constexpr double reach = 4.0;
    return m_playheadValue && geometry.isInView(fractionFromValue(*m_playheadValue))
        && std::abs(point.x() - geometry.positionOf(fractionFromValue(*m_playheadValue))) <= reach;
}

// A dark line the height of the slider with a notch on top, unlike the
// ticks, the copy-start mark and the knobs.
void RangeSlider::paintPlayhead(QPainter &painter, const RangeSliderGeometry &geometry) const
{
    if (!m_playheadValue || !geometry.isInView(fractionFromValue(*m_playheadValue)))
        return;
    const double x = geometry.positionOf(fractionFromValue(*m_playheadValue));
    const QColor colour = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    painter.fillRect(QRectF(x - 1.0, 0.0, 2.0, height()), colour);
    QPainterPath notch;
    notch.moveTo(x - 4.0, 0.0);
    notch.lineTo(x + 4.0, 0.0);
    notch.lineTo(x, 5.0);
    notch.closeSubpath();
    painter.fillPath(notch, colour);
}

// Diagonal stripes over the fill, readable without colour too.
void RangeSlider::paintSpans(QPainter &painter, const RangeSliderGeometry &geometry) const
{
    const QRectF bar = geometry.barFrame();
    const QColor colour = isEnabled() ? spanColor() : spanColor().lighter(150);
    QColor fill = colour;
    fill.setAlphaF(0.45);
    const double viewStart = valueFromFraction(m_view.start), viewEnd = valueFromFraction(m_view.end);
    for (const SelectionRange &span : m_spans) {
        if (span.end < viewStart || span.start > viewEnd)
            continue;
        const double from = geometry.positionOf(fractionFromValue(span.start));
        // Wide enough to see: a span of one frame on a long video still shows.
        const double to = std::max(from + 3.0, geometry.positionOf(fractionFromValue(span.end)));
        const QRectF stretch(from, bar.top(), to - from, bar.height());
        painter.fillRect(stretch, fill);
        painter.fillRect(stretch, QBrush(colour, Qt::BDiagPattern));
    }
}

void RangeSlider::paintTicks(QPainter &painter, const RangeSliderGeometry &geometry) const
{
    QList<double> fractions;
    for (const double value : m_tickValues)
        fractions.append(fractionFromValue(value));
    const QRectF bar = geometry.barFrame();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QColor tick = outlineColor();
    tick.setAlphaF(0.6);
    painter.setPen(QPen(tick, 1.0));
    for (const double x : geometry.tickPositions(fractions))
        painter.drawLine(QPointF(x, bar.top() + 1.0), QPointF(x, bar.bottom() - 1.0));
    if (m_markedValue && geometry.isInView(fractionFromValue(*m_markedValue))) {
        const double x = geometry.positionOf(fractionFromValue(*m_markedValue));
        painter.fillRect(QRectF(x - 0.5, 0.0, 2.0, height()), isEnabled() ? markColor() : markColor().lighter(150));
    }
    painter.restore();
}

void RangeSlider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const RangeSliderGeometry geometry = sliderGeometry();
    const double radius = geometry.cornerRadius();
    const QPainterPath barPath = roundedRectPath(geometry.barFrame(), radius);
    painter.fillPath(barPath, barBackgroundGradient());

    const QRectF fillFrame = geometry.fillFrame(m_selection);
    if (fillFrame.width() > 0.0) {
        if (!m_barFillGradient)
            rebuildBarFillGradient();
        const QPainterPath fillPath = roundedRectPath(fillFrame, radius);
        painter.fillPath(fillPath, *m_barFillGradient);
        const QColor fillOutline = RangeSliderColors::forStyle(m_colorStyle, isEnabled()).fillOutline;
        painter.strokePath(fillPath, QPen(fillOutline, outlineWidth));
    }

    const QPen outline(outlineColor(), outlineWidth);
    painter.strokePath(barPath, outline);
    paintSpans(painter, geometry);
    paintTicks(painter, geometry);

    const QPainterPath startKnob = knobPath(geometry.startKnobFrame(m_selection.start), m_knobStyle);
    const QPainterPath endKnob = knobPath(geometry.endKnobFrame(m_selection.end), m_knobStyle);
    for (const QPainterPath &knob : {startKnob, endKnob}) {
        sliderShadow().paint(painter, knob);
        painter.fillPath(knob, Qt::white);
    }

    // The start knob comes last so that it lies on top where the two overlap.
    for (const QPainterPath &knob : {endKnob, startKnob}) {
        painter.fillPath(knob, sliderGradient());
        painter.strokePath(knob, outline);
    }
    // With the keyboard, the knob that the arrows move carries the focus frame.
    if (hasFocus()) {
        const bool start = m_currentSliderDragging == DraggedSlider::start;
        painter.strokePath(start ? startKnob : endKnob, QPen(palette().color(QPalette::Highlight), 2.0));
    }
    paintPlayhead(painter, geometry);
}

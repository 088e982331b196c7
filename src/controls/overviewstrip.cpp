// SPDX-License-Identifier: GPL-3.0-or-later
#include "overviewstrip.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

#include "rangeslider.h"

namespace {

constexpr int gap = 2;

} // namespace

OverviewStrip::OverviewStrip(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(tr("Keyframes and loudness"));
}

QSize OverviewStrip::sizeHint() const
{
    return {200, pictureHeight + gap + loudnessHeight};
}

QSize OverviewStrip::minimumSizeHint() const
{
    return {40, pictureHeight + gap + loudnessHeight};
}

void OverviewStrip::setSlider(RangeSlider *slider)
{
    m_slider = slider;
    connect(slider, &RangeSlider::viewChanged, this, qOverload<>(&QWidget::update));
}

void OverviewStrip::reset(double seconds)
{
    m_duration = seconds;
    m_pictures.clear();
    m_loudness.clear();
    m_interval = 0.0;
    update();
}

void OverviewStrip::addPicture(double seconds, const QImage &picture)
{
    const auto after = std::upper_bound(m_pictures.begin(), m_pictures.end(), seconds,
                                        [](double time, const Picture &held) { return time < held.seconds; });
    m_pictures.insert(after, Picture{seconds, picture});
    update();
}

void OverviewStrip::addLoudness(double interval, qsizetype first, const QList<float> &values)
{
    m_interval = interval;
    m_loudness.resize(first);
    m_loudness.append(values);
    update();
}

// The slider's bar runs over the fractions 0 to 1 of the video.
double OverviewStrip::xOf(double seconds) const
{
    const double fraction = m_duration > 0 ? seconds / m_duration : 0.0;
    if (!m_slider)
        return fraction * width();
    // Through the window, which holds both.
    const QPointF onSlider(m_slider->positionOfValue(fraction), 0.0);
    return mapFrom(window(), m_slider->mapTo(window(), onSlider)).x();
}

std::pair<double, double> OverviewStrip::sliderExtent() const
{
    if (!m_slider)
        return {0.0, double(width())};
    const double left = mapFrom(window(), m_slider->mapTo(window(), QPointF(0.0, 0.0))).x();
    return {left, left + m_slider->width()};
}

double OverviewStrip::secondsAt(double x) const
{
    const double left = xOf(0.0), right = xOf(m_duration);
    return right > left ? (x - left) / (right - left) * m_duration : 0.0;
}

void OverviewStrip::paintEvent(QPaintEvent *)
{
    if (m_duration <= 0)
        return;
    QPainter painter(this);
    // Zoomed in, the video runs on past the slider's ends: only what lies under the slider is drawn.
    const auto [shownLeft, shownRight] = sliderExtent();
    const double left = std::max(xOf(0.0), shownLeft), right = std::min(xOf(m_duration), shownRight);
    if (right <= left)
        return;
    painter.setClipRect(QRectF(left, 0.0, right - left, height()));
    paintPictures(painter, left, right);
    paintLoudness(painter, left, right);
}

// Slots as wide as a picture, each showing the last keyframe at or before its time.
void OverviewStrip::paintPictures(QPainter &painter, double left, double right) const
{
    if (m_pictures.isEmpty())
        return;
    const QImage &sample = m_pictures.first().image;
    const double slot = std::max(8.0, sample.width() * double(pictureHeight) / std::max(1, sample.height()));
    // Slots keep their places along the video, whatever part of it is shown.
    const double first = xOf(0.0) + std::floor((left - xOf(0.0)) / slot) * slot;
    for (double x = first; x < right; x += slot) {
        const double seconds = secondsAt(x);
        auto after = std::upper_bound(m_pictures.cbegin(), m_pictures.cend(), seconds,
                                      [](double time, const Picture &held) { return time < held.seconds; });
        if (after == m_pictures.cbegin())
            continue;
        painter.drawImage(QRectF(x, 0.0, slot, pictureHeight), std::prev(after)->image);
    }
}

// A peak per column, mirrored about the band's middle, in decibels from -60:
// on a straight scale quiet speech would not show at all.
void OverviewStrip::paintLoudness(QPainter &painter, double left, double right) const
{
    if (m_loudness.isEmpty() || m_interval <= 0)
        return;
    const double top = pictureHeight + gap, middle = top + loudnessHeight / 2.0;
    painter.setPen(palette().color(QPalette::Highlight));
    for (int x = int(std::floor(left)); x < right; ++x) {
        const auto from = qsizetype(secondsAt(x) / m_interval);
        const auto to = std::max(from + 1, qsizetype(secondsAt(x + 1) / m_interval));
        if (from >= m_loudness.size())
            break;
        const float peak = *std::max_element(m_loudness.cbegin() + from,
                                             m_loudness.cbegin() + std::min(to, m_loudness.size()));
        const double level = std::clamp((20.0 * std::log10(std::max(peak, 1e-6F)) + 60.0) / 60.0, 0.0, 1.0);
        const double half = level * loudnessHeight / 2.0;
        if (half >= 0.5)
            painter.drawLine(QPointF(x + 0.5, middle - half), QPointF(x + 0.5, middle + half));
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>

#include "rangeslider.h"

// Under the slider, what the video holds where: pictures of its keyframes
// and the loudness of its sound, each drawn at the slider's own positions for
// its times, so that a knob stands over the picture and the sound at its
// time. The pictures fill the strip, each slot showing the last keyframe at
// or before the slot's time; the loudness is a peak per pixel column. Either
// may be empty, and come a piece at a time.
class OverviewStrip : public QWidget
{
    Q_OBJECT

public:
    static constexpr int pictureHeight = 36;
    static constexpr int loudnessHeight = 14;

    explicit OverviewStrip(QWidget *parent = nullptr);

    // Drawn at its positions, and again whenever its view changes.
    void setSlider(RangeSlider *slider);
    // Another video, `seconds` long, with nothing of it drawn yet.
    void reset(double seconds);
    void addPicture(double seconds, const QImage &picture);
    // One value, 0 to 1, for each `interval` from the file's start; `values`
    // follow the first `first` ones.
    void addLoudness(double interval, qsizetype first, const QList<float> &values);

    qsizetype pictureCount() const { return m_pictures.size(); }
    qsizetype loudnessCount() const { return m_loudness.size(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Picture
    {
        double seconds = 0.0;
        QImage image;
    };

    double xOf(double seconds) const;
    // The slider's own extent, in the strip's pixels.
    std::pair<double, double> sliderExtent() const;
    double secondsAt(double x) const;
    void paintPictures(QPainter &painter, double left, double right) const;
    void paintLoudness(QPainter &painter, double left, double right) const;

    QPointer<RangeSlider> m_slider;
    double m_duration = 0.0;
    QList<Picture> m_pictures; // by time
    double m_interval = 0.0;
    QList<float> m_loudness;
};

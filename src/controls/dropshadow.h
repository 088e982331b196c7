// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>

class QPainter;

// A soft shadow cast by a filled shape: the shape's silhouette, blurred,
// tinted and offset. The blurred silhouette is kept for the last shape and
// pixel ratio, since a slider paints the same knob shape again and again.
class DropShadow
{
public:
    DropShadow(const QPointF &offset, double blurRadius, const QColor &color);

    // Paints the shadow of `shape` (in the painter's logical coordinates).
    void paint(QPainter &painter, const QPainterPath &shape) const;

    QPointF offset() const { return m_offset; }
    double blurRadius() const { return m_blurRadius; }
    QColor color() const { return m_color; }

private:
    // Room around the shape for the blur to fade out.
    double margin() const;
    QImage silhouette(const QPainterPath &localShape, double pixelRatio) const;

    const QPointF m_offset;
    const double m_blurRadius = 0.0;
    const QColor m_color;

    mutable QPainterPath m_cachedShape;
    mutable double m_cachedPixelRatio = 0.0;
    mutable QImage m_cachedSilhouette;
};

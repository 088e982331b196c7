// SPDX-License-Identifier: GPL-3.0-or-later
#include "dropshadow.h"

#include <cmath>
#include <vector>

#include <QPaintDevice>
#include <QPainter>

namespace {

// A blur radius spans about two standard deviations of the Gaussian.
double sigmaForRadius(double blurRadius)
{
    return blurRadius * 0.5;
}

std::vector<float> gaussianKernel(double sigma)
{
    const int reach = static_cast<int>(std::ceil(3.0 * sigma));
    std::vector<float> kernel(static_cast<size_t>(2 * reach + 1));
    double sum = 0.0;
    for (int i = -reach; i <= reach; ++i) {
        const double weight = std::exp(-(i * i) / (2.0 * sigma * sigma));
        kernel[static_cast<size_t>(i + reach)] = static_cast<float>(weight);
        sum += weight;
    }
    for (float &weight : kernel)
        weight = static_cast<float>(weight / sum);
    return kernel;
}

// One pass of a separable blur over a width x height plane.
std::vector<float> blurPass(const std::vector<float> &plane, int width, int height, bool alongX,
                            const std::vector<float> &kernel)
{
    const int reach = static_cast<int>(kernel.size() / 2);
    std::vector<float> result(plane.size(), 0.0f);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float sum = 0.0f;
            for (int i = -reach; i <= reach; ++i) {
                const int sx = alongX ? x + i : x;
                const int sy = alongX ? y : y + i;
                if (sx < 0 || sx >= width || sy < 0 || sy >= height)
                    continue;
                sum += plane[static_cast<size_t>(sy * width + sx)] * kernel[static_cast<size_t>(i + reach)];
            }
            result[static_cast<size_t>(y * width + x)] = sum;
        }
    }
    return result;
}

} // namespace

DropShadow::DropShadow(const QPointF &offset, double blurRadius, const QColor &color)
    : m_offset(offset)
    , m_blurRadius(blurRadius)
    , m_color(color)
{
}

void DropShadow::paint(QPainter &painter, const QPainterPath &shape) const
{
    if (shape.isEmpty())
        return;
    const double margin = this->margin();
    const QRectF bounds = shape.boundingRect();
    // A whole-unit origin keeps the shape's own sub-pixel placement in the image.
    const QPointF origin(std::floor(bounds.left()) - margin, std::floor(bounds.top()) - margin);
    const double pixelRatio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.drawImage(origin + m_offset, silhouette(shape.translated(-origin), pixelRatio));
}

double DropShadow::margin() const
{
    return std::ceil(3.0 * sigmaForRadius(m_blurRadius)) + 1.0;
}

QImage DropShadow::silhouette(const QPainterPath &localShape, double pixelRatio) const
{
    if (localShape == m_cachedShape && pixelRatio == m_cachedPixelRatio)
        return m_cachedSilhouette;

    const QRectF bounds = localShape.boundingRect();
    const QSize pixelSize(static_cast<int>(std::ceil((bounds.right() + margin()) * pixelRatio)),
                          static_cast<int>(std::ceil((bounds.bottom() + margin()) * pixelRatio)));
    QImage mask(pixelSize, QImage::Format_Alpha8);
    mask.fill(Qt::transparent);
    {
        QPainter maskPainter(&mask);
        maskPainter.setRenderHint(QPainter::Antialiasing);
        maskPainter.scale(pixelRatio, pixelRatio);
        maskPainter.fillPath(localShape, Qt::black);
    }

    const int width = mask.width();
    const int height = mask.height();
    std::vector<float> plane(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        const uchar *line = mask.constScanLine(y);
        for (int x = 0; x < width; ++x)
            plane[static_cast<size_t>(y * width + x)] = line[x] / 255.0f;
    }
    const double sigma = sigmaForRadius(m_blurRadius) * pixelRatio;
    if (sigma > 0.0) {
        const std::vector<float> kernel = gaussianKernel(sigma);
        plane = blurPass(blurPass(plane, width, height, true, kernel), width, height, false, kernel);
    }

    QImage shadow(pixelSize, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(shadow.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int alpha = qRound(plane[static_cast<size_t>(y * width + x)] * m_color.alphaF() * 255.0);
            line[x] = qPremultiply(qRgba(m_color.red(), m_color.green(), m_color.blue(), qBound(0, alpha, 255)));
        }
    }
    shadow.setDevicePixelRatio(pixelRatio);

    m_cachedShape = localShape;
    m_cachedPixelRatio = pixelRatio;
    m_cachedSilhouette = shadow;
    return shadow;
}

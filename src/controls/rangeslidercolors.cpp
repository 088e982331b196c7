// SPDX-License-Identifier: GPL-3.0-or-later
#include "rangeslidercolors.h"

namespace {

QColor desaturated(const QColor &color)
{
    const QColor hsv = color.toHsv();
    return QColor::fromHsvF(hsv.hsvHueF(), hsv.hsvSaturationF() * RangeSliderColors::disabledSaturationFactor,
                            hsv.valueF(), hsv.alphaF());
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(alpha);
    return color;
}

RangeSliderColors enabledColors(RangeSliderColorStyle style)
{
    switch (style) {
    case RangeSliderColorStyle::aqua:
        return {QColor(76, 187, 251), QColor(20, 133, 243), withAlpha(QColor(12, 118, 227), 0.7)};
    case RangeSliderColorStyle::yellow:
        break;
    }
    return {QColor(255, 255, 0), QColor(255, 196, 0), withAlpha(QColor(255, 170, 16), 0.7)};
}

} // namespace

RangeSliderColors RangeSliderColors::forStyle(RangeSliderColorStyle style, bool enabled)
{
    const RangeSliderColors colors = enabledColors(style);
    if (enabled)
        return colors;
    return {withAlpha(desaturated(colors.fillTop), disabledFillAlpha),
            withAlpha(desaturated(colors.fillBottom), disabledFillAlpha),
            desaturated(colors.fillOutline)};
}

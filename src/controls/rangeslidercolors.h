// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

#include "rangeslidertypes.h"

// The colours of the filled stretch of a range slider for one colour style.
// A disabled slider shows them grey, as every disabled control is drawn,
// and its fill translucent: no selection seems to be there to take.
struct RangeSliderColors
{
    QColor fillTop;
    QColor fillBottom;
    QColor fillOutline;

    static RangeSliderColors forStyle(RangeSliderColorStyle style, bool enabled);

    static constexpr double disabledSaturationFactor = 0.0;
    static constexpr double disabledFillAlpha = 0.65;
};

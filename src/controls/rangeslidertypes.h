// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The knob that a press grabbed or that a programmatic set last moved.
enum class DraggedSlider { start, end };

// The selection as fractions of the slider's full range: 0 is minValue, 1 is maxValue.
struct SelectionRange
{
    double start = 0.0;
    double end = 1.0;
};

enum class RangeSliderKnobStyle { square, circular };

enum class RangeSliderColorStyle { yellow, aqua };

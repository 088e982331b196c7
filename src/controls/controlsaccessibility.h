// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A screen reader learns what a control is from its role. Without these the
// two custom controls would be announced as blank fillers: the range slider
// as a slider, which the arrow keys move, and the drop view as an image.
namespace ControlsAccessibility {

// Idempotent; each custom control calls it when it is made.
void install();

} // namespace ControlsAccessibility

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QString>

// Reads a frame rate written as the prober writes it, numerator "/"
// denominator (30000/1001). Anything else, a zero or negative part, or a
// rate that is not finite gives no value, so a frame step derived from it
// always stays meaningful.
std::optional<double> frameRateFromRatio(const QString &ratio);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QString>

// Positional time text H:MM:SS.mmm, as the time fields, the encoder's seek
// argument and the result alert show it. The value is rounded to the nearest
// millisecond, halves away from zero; hours have no upper bound (no day unit).
// A negative value is written as "-" and the text of its magnitude, unless it
// rounds to zero. Non-finite values, and values too large to count in whole
// milliseconds, give the empty text.
QString timeTextFromSeconds(double seconds);

// A time a person typed, in seconds: H:MM:SS.mmm, M:SS or seconds alone, each
// with or without a fraction after a point or a comma, blanks around it
// ignored. Minutes and seconds after a colon stay below 60. Nothing else is
// a time: no sign, no exponent, no unit.
std::optional<double> secondsFromTimeText(const QString &text);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Positional time text H:MM:SS.mmm, as the time fields, the encoder's seek
// argument and the result alert show it. The value is rounded to the nearest
// millisecond, halves away from zero; hours have no upper bound (no day unit).
// A negative value is written as "-" and the text of its magnitude, unless it
// rounds to zero. Non-finite values, and values too large to count in whole
// milliseconds, give the empty text.
QString timeTextFromSeconds(double seconds);

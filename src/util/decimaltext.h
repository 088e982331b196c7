// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The shortest decimal text that reads back as the same double, always with a
// point and at least one digit after it ("10.0", "2.5", "3.3333333333333335").
// Non-zero magnitudes below 0.0001, and magnitudes of 2^53 and above, are
// written in exponent form ("1e-05", "1e+16"). Never depends on the locale.
QString decimalText(double value);

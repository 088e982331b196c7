// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The shortest decimal text that reads back as the same double, always with a
// point and at least one digit after it ("10.0", "2.5", "3.3333333333333335").
// Non-zero magnitudes below 0.0001, and magnitudes of 2^53 and above, are
// written in exponent form ("1e-05", "1e+16"). Never depends on the locale.
QString decimalText(double value);

// Seconds for a tool's command line: to the microsecond, in the shortest
// form with a point ("2.04", "25.0", "0.000001"), so that no noise of
// counting in doubles ("2.039999999999999") reaches a printed command.
QString secondsArgument(double seconds);

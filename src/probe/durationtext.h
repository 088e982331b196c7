// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A track's duration as HH:MM:SS.hh. The hundredths come from a rounded
// rendering while the seconds are truncated, so they never carry: 59.999
// gives 00:00:59.00. Hours take more digits when needed. A negative or
// not-a-number duration gives 00:00:00.00; one beyond 2^63 seconds is
// clamped there.
QString durationText(double seconds);

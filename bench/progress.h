// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

#include <QString>

// One line of the benchmark's running account, out at once so that a long
// run shows where it is.
inline void progress(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

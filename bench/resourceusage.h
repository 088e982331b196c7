// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// CPU time and peak resident memory from getrusage(), of this process or of
// the child processes it has waited for.
class ResourceUsage
{
public:
    enum class Whose { Self, Children };

    // User plus system time, in milliseconds.
    static double cpuMs(Whose whose);
    // The largest resident set so far, in kibibytes. For this process it is
    // the peak since it started its program (VmHWM): getrusage() would also
    // count the parent's memory it was forked with. For the children it is
    // that of the largest single child, as getrusage() tells it, and so at
    // least the size of this process when it started them.
    static long peakResidentKiB(Whose whose);
    // The same peak (VmHWM) of another process, read while it runs; 0 once it has ended.
    static long peakResidentKiBOf(qint64 pid);
};

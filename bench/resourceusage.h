#pragma once

// CPU time and peak resident memory from getrusage(), of this process or of
// the child processes it has waited for.
class ResourceUsage
{
public:
    enum class Whose { Self, Children };

    // User plus system time, in milliseconds.
    static double cpuMs(Whose whose);
    // The largest resident set so far, in kibibytes; for the children, that
    // of the largest single child.
    static long peakResidentKiB(Whose whose);
};

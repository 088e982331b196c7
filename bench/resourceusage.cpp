#include "resourceusage.h"

#include <sys/resource.h>

namespace {

rusage usageOf(ResourceUsage::Whose whose)
{
    rusage usage {};
    ::getrusage(whose == ResourceUsage::Whose::Self ? RUSAGE_SELF : RUSAGE_CHILDREN, &usage);
    return usage;
}

double milliseconds(const timeval &time)
{
    return static_cast<double>(time.tv_sec) * 1000.0 + static_cast<double>(time.tv_usec) / 1000.0;
}

} // namespace

double ResourceUsage::cpuMs(Whose whose)
{
    const rusage usage = usageOf(whose);
    return milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
}

long ResourceUsage::peakResidentKiB(Whose whose)
{
    // Linux reports ru_maxrss in kibibytes.
    return usageOf(whose).ru_maxrss;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "resourceusage.h"

#include <sys/resource.h>

#include <QByteArray>
#include <QFile>
#include <QList>

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

// VmHWM of a process's status file, which the kernel keeps for it until it ends.
long vmHwmKiB(const QString &statusPath)
{
    QFile status(statusPath);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    // Files under /proc report a size of 0, so read until the end of data.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

} // namespace

double ResourceUsage::cpuMs(Whose whose)
{
    const rusage usage = usageOf(whose);
    return milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
}

long ResourceUsage::peakResidentKiB(Whose whose)
{
    if (whose == Whose::Children) {
        // Linux reports ru_maxrss in kibibytes.
        return usageOf(whose).ru_maxrss;
    }
    return vmHwmKiB(QStringLiteral("/proc/self/status"));
}

long ResourceUsage::peakResidentKiBOf(qint64 pid)
{
    return vmHwmKiB(QStringLiteral("/proc/%1/status").arg(pid));
}

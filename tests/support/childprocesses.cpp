#include "childprocesses.h"

#include <unistd.h>

#include <QDir>
#include <QFile>

namespace {

enum class Kind { Running, Zombie };

QList<qint64> children(Kind kind)
{
    QList<qint64> found;
    const qint64 self = ::getpid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // The fields after the command name, which is in parentheses and may
        // itself hold blanks: state, then the parent's pid.
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 2 || fields.at(1).toLongLong() != self)
            continue;
        if ((fields.at(0) == "Z") == (kind == Kind::Zombie))
            found.append(pid);
    }
    return found;
}

} // namespace

QList<qint64> ChildProcesses::running()
{
    return children(Kind::Running);
}

QList<qint64> ChildProcesses::zombies()
{
    return children(Kind::Zombie);
}

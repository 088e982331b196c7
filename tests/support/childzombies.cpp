#include "childzombies.h"

#include <unistd.h>

#include <QDir>
#include <QFile>

QList<qint64> ChildProcesses::zombies()
{
    QList<qint64> children;
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
        // The command name is in parentheses and may hold blanks; after it
        // come the state and the parent's pid.
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() >= 2 && fields.at(0) == "Z" && fields.at(1).toLongLong() == self)
            children.append(pid);
    }
    return children;
}

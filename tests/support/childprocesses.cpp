#include "childprocesses.h"

#include <unistd.h>

#include <QDir>
#include <QFile>

namespace {

// The children of this process in /proc whose state is, or is not, "Z".
QList<qint64> children(bool zombies)
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toLongLong() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        // After the command name, which is in parentheses and may hold
        // blanks: the state, then the parent's pid.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == ::getpid() && (fields.at(0) == "Z") == zombies)
            found.append(entry.toLongLong());
    }
    return found;
}

} // namespace

QList<qint64> ChildProcesses::running()
{
    return children(false);
}

QList<qint64> ChildProcesses::zombies()
{
    return children(true);
}

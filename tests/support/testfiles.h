// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringList>

// A look at files, folders and child processes before and after the code under test ran.
namespace TestFiles {

// The names in a folder, hidden ones included, sorted.
inline QStringList listing(const QString &folder)
{
    QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    entries.sort();
    return entries;
}

inline QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace TestFiles

namespace ChildProcesses {

// The children of this process whose state is, or is not, "Z": exited, but nobody waited for them.
inline QList<qint64> children(bool zombies)
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toLongLong() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        // After the command name, which is in parentheses and may hold blanks: the state, then the parent's pid.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == ::getpid() && (fields.at(0) == "Z") == zombies)
            found.append(entry.toLongLong());
    }
    return found;
}

inline QList<qint64> running() { return children(false); }
inline QList<qint64> zombies() { return children(true); }

} // namespace ChildProcesses

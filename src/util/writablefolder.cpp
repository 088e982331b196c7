// SPDX-License-Identifier: GPL-3.0-or-later
#include "writablefolder.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

std::optional<QString> WritableFolder::whyNot(const QString &folder)
{
    const QString name = QStringLiteral(".kestrel-check-%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                                 QLatin1Char('0'));
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor >= 0) {
        ::close(descriptor);
        ::unlink(path.constData());
        return std::nullopt;
    }
    const int error = errno;
    // /proc answers "No such file or directory" of a folder that is plainly there.
    if (error == ENOENT && QFileInfo(folder).isDir())
        return QCoreApplication::translate("WritableFolder", "The folder takes no new files");
    return QString::fromLocal8Bit(std::strerror(error));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "samefile.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString composed(const QString &text)
{
    return text.normalized(QString::NormalizationForm_C);
}

// The path with its folder resolved through links and `..` steps, for a
// file that need not exist yet.
QString resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    const QString base = folder.isEmpty() ? QDir::cleanPath(info.absolutePath()) : folder;
    return QDir(base).filePath(info.fileName());
}

// Hard links, and another letter case on a disk that ignores case, share
// the device and the inode.
bool sameInode(const QString &first, const QString &second)
{
    struct stat a {};
    struct stat b {};
    if (::stat(QFile::encodeName(first).constData(), &a) != 0
        || ::stat(QFile::encodeName(second).constData(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool isSameFile(const QString &existing, const QString &candidate)
{
    return composed(existing) == composed(candidate)
        || composed(resolvedPath(existing)) == composed(resolvedPath(candidate))
        || sameInode(existing, candidate);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "temporarydirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace {

const QString instancePrefix = QStringLiteral("instance-");
const QString lockSuffix = QStringLiteral(".lock");

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// Never follows a link: a link is unlinked, a real folder is emptied
// and removed.
void removeContents(const QString &folder)
{
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isSymLink() && info.isDir()) {
            removeContents(info.filePath());
            ::rmdir(nativePath(info.filePath()).constData());
        } else {
            ::unlink(nativePath(info.filePath()).constData());
        }
    }
}

void removeFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.isSymLink()) {
        ::unlink(nativePath(folder).constData());
        return;
    }
    removeContents(folder);
    ::rmdir(nativePath(folder).constData());
}

bool makePrivateFolder(const QString &path)
{
    return ::mkdir(nativePath(path).constData(), S_IRWXU) == 0;
}

} // namespace

QString TemporaryDirectory::defaultBaseFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("kestrel"));
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return QDir(cache).filePath(QStringLiteral("kestrel/tmp"));
}

TemporaryDirectory::TemporaryDirectory(const QString &baseFolder)
    : m_baseFolder(QDir::cleanPath(baseFolder))
{
}

TemporaryDirectory::~TemporaryDirectory()
{
    release();
}

void TemporaryDirectory::makeOnFirstUse() const
{
    if (m_made)
        return;
    m_made = true;
    if (!prepareBaseFolder(m_baseFolder))
        return;
    sweepLeftovers();
    createInstanceFolder();
}

bool TemporaryDirectory::isValid() const
{
    makeOnFirstUse();
    return !m_path.isEmpty();
}

QString TemporaryDirectory::path() const
{
    makeOnFirstUse();
    return m_path.isEmpty() ? QString() : m_path + QLatin1Char('/');
}

void TemporaryDirectory::clear() const
{
    if (m_path.isEmpty() || !QFileInfo(m_path).isDir())
        return;
    removeContents(m_path);
}

void TemporaryDirectory::release()
{
    // A folder released before it was ever made must not be made later.
    m_made = true;
    if (!m_path.isEmpty())
        removeFolder(m_path);
    m_path.clear();
    m_lock.reset();
}

// The base must be a real folder of ours that nobody else can enter; a link
// planted there, or a folder of another user, is refused.
bool TemporaryDirectory::prepareBaseFolder(const QString &baseFolder)
{
    if (baseFolder.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(baseFolder).absolutePath());
    makePrivateFolder(baseFolder);
    struct stat st {};
    if (::lstat(nativePath(baseFolder).constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0777) != S_IRWXU)
        return ::chmod(nativePath(baseFolder).constData(), S_IRWXU) == 0;
    return true;
}

void TemporaryDirectory::sweepLeftovers() const
{
    const QDir base(m_baseFolder);
    const QStringList folders = base.entryList({instancePrefix + QLatin1Char('*')},
                                               QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : folders) {
        if (name.endsWith(lockSuffix))
            continue;
        QLockFile lock(base.filePath(name + lockSuffix));
        // A lock counts as abandoned only when its process is gone, never
        // because it is old: instances run for hours.
        lock.setStaleLockTime(0);
        // Taking the lock succeeds only when no running instance holds it.
        if (!lock.tryLock(0))
            continue;
        removeFolder(base.filePath(name));
        lock.unlock();
    }
}

void TemporaryDirectory::createInstanceFolder() const
{
    const QDir base(m_baseFolder);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = instancePrefix
            + QString::number(QRandomGenerator::global()->generate64(), 36);
        auto lock = std::make_unique<QLockFile>(base.filePath(name + lockSuffix));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue;
        const QString folder = base.filePath(name);
        if (!makePrivateFolder(folder))
            continue;
        m_path = folder;
        m_lock = std::move(lock);
        return;
    }
}

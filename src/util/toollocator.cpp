// SPDX-License-Identifier: GPL-3.0-or-later
#include "toollocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

ToolLocator::ToolLocator(const QString &resourceFolder)
    : m_resourceFolder(resourceFolder)
{
}

QString ToolLocator::defaultResourceFolder()
{
    const QDir binDir(QCoreApplication::applicationDirPath());
    return QDir::cleanPath(binDir.filePath(QStringLiteral(KESTREL_RESOURCE_RELATIVE_PATH)));
}

QString ToolLocator::pathForResource(const QString &name) const
{
    if (m_resourceFolder.isEmpty() || name.isEmpty())
        return {};
    const QFileInfo info(QDir(m_resourceFolder).filePath(name));
    if (!info.exists() || info.isDir() || !info.isExecutable())
        return {};
    return info.absoluteFilePath();
}

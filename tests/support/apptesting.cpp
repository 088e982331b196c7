#include "apptesting.h"

#include <QDir>
#include <QFile>

#include "mediafactory.h"

namespace {

const QString sniffer = QStringLiteral("sniffer");
const QString creator = QStringLiteral("creator");

QByteArray quoted(const QString &path)
{
    return '\'' + QFile::encodeName(path) + '\'';
}

} // namespace

QString AppTesting::resourceFolderWith(const QString &folder, const QByteArray &trimCommand)
{
    QDir().mkpath(folder);
    const QDir tools(MediaFactory::toolsFolder());
    QFile::link(tools.filePath(sniffer), QDir(folder).filePath(sniffer));
    if (trimCommand.isEmpty())
        return folder;
    QFile dispatcher(QDir(folder).filePath(creator));
    if (!dispatcher.open(QIODevice::WriteOnly))
        return folder;
    dispatcher.write("#!/bin/sh\ncase \" $* \" in *\" -frames:v \"*) exec " + quoted(tools.filePath(creator))
                     + " \"$@\" ;; esac\nexec " + trimCommand + " \"$@\"\n");
    dispatcher.close();
    dispatcher.setPermissions(dispatcher.permissions() | QFileDevice::ExeOwner);
    return folder;
}

QByteArray AppTesting::fakeEncoderCommand(const QString &scenario)
{
    return quoted(QDir(MediaFactory::fakeToolsFolder(scenario)).filePath(creator));
}

QStringList AppTesting::folderListing(const QString &folder)
{
    QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    entries.sort();
    return entries;
}

QByteArray AppTesting::fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "filerevealer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

bool openContainingFolder(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace

QString FileRevealer::itemUri(const QString &path)
{
    return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
}

void FileRevealer::reveal(const QString &path, QObject *context, const std::function<void()> &failed)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()
        || !bus.interface()->isServiceRegistered(fileManagerService).value()) {
        if (!openContainingFolder(path))
            failed();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(fileManagerService,
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       fileManagerService, QStringLiteral("ShowItems"));
    call << QStringList{itemUri(path)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), context);
    const auto answered = [path, failed](QDBusPendingCallWatcher *finished) {
        if (finished->isError() && !openContainingFolder(path))
            failed();
        finished->deleteLater();
    };
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, answered);
}

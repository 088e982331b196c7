// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyboardshortcuts.h"

#include <QCoreApplication>
#include <QFile>

#include "alertsheets.h"

QString KeyboardShortcuts::table()
{
    QFile file(QStringLiteral(":/help/keyboard.md"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void KeyboardShortcuts::show(AlertSheets *alerts)
{
    QMessageBox *alert = alerts->make(QMessageBox::NoIcon, table(), QString(), QMessageBox::Ok);
    alert->setWindowTitle(QCoreApplication::translate("KeyboardShortcuts", "Keyboard Shortcuts"));
    alert->setTextFormat(Qt::MarkdownText);
    alerts->present(alert);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "alertsheets.h"

#include <QApplication>

AlertSheets::AlertSheets(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
}

QMessageBox *AlertSheets::make(QMessageBox::Icon icon, const QString &message, const QString &informative,
                               QMessageBox::StandardButtons buttons) const
{
    auto *alert = new QMessageBox(icon, QApplication::applicationDisplayName(), message, buttons, m_window);
    alert->setInformativeText(informative);
    // Keeps a line such as "Output Duration: 0:01:07.480 (6.00 MB)" whole.
    alert->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 22em; }"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    return alert;
}

void AlertSheets::present(QMessageBox *alert)
{
    alert->open();
    emit shown(alert);
}

void AlertSheets::show(QMessageBox::Icon icon, const QString &message, const QString &informative)
{
    present(make(icon, message, informative, QMessageBox::Ok));
}

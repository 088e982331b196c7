// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QObject>

class QWidget;

// The alerts of the app: window-modal boxes on the main window that delete
// themselves once closed, so that no alert ever blocks the event loop.
class AlertSheets : public QObject
{
    Q_OBJECT

public:
    explicit AlertSheets(QWidget *window, QObject *parent = nullptr);

    // An alert not yet shown, for buttons of its own.
    QMessageBox *make(QMessageBox::Icon icon, const QString &message, const QString &informative,
                      QMessageBox::StandardButtons buttons = QMessageBox::NoButton) const;
    void present(QMessageBox *alert);
    // An alert with one "OK" button.
    void show(QMessageBox::Icon icon, const QString &message, const QString &informative);

signals:
    void shown(QMessageBox *alert);

private:
    QWidget *const m_window;
};

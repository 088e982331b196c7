// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace Ui {
class ProgressSheet;
}

// The window-modal sheet shown while the encoder runs. It never closes by
// itself: Escape or the window's close button ask for a cancel like the
// button does, and the owner hides the sheet once the encoder has exited.
class ProgressSheet : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressSheet(QWidget *parent = nullptr);
    ~ProgressSheet() override;

    QLabel *title() const;
    QProgressBar *bar() const;
    QPushButton *cancelButton() const;

public slots:
    void reject() override;

signals:
    void cancelRequested();

private:
    const std::unique_ptr<Ui::ProgressSheet> m_ui;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "progresssheet.h"

#include <QPushButton>

#include "ui_progresssheet.h"

ProgressSheet::ProgressSheet(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ProgressSheet>())
{
    m_ui->setupUi(this);
    // The sheet does not block its window: the window's close button must
    // still reach the app, which asks before it stops a trim. Its owner
    // disables what else the window offers while the sheet is up.
    setWindowModality(Qt::NonModal);
    connect(m_ui->progressCancel, &QPushButton::clicked, this, &ProgressSheet::cancelRequested);
}

ProgressSheet::~ProgressSheet() = default;

QLabel *ProgressSheet::title() const
{
    return m_ui->progressTitle;
}

QProgressBar *ProgressSheet::bar() const
{
    return m_ui->progressBar;
}

QPushButton *ProgressSheet::cancelButton() const
{
    return m_ui->progressCancel;
}

void ProgressSheet::reject()
{
    emit cancelRequested();
}

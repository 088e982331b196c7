// SPDX-License-Identifier: GPL-3.0-or-later
#include "progresssheet.h"

#include <algorithm>
#include <cmath>

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

void ProgressSheet::begin()
{
    m_ui->progressBar->setValue(0);
    m_ui->progressStep->clear();
    m_ui->progressTimeLeft->clear();
    m_clock.start();
}

void ProgressSheet::setProgress(double percent)
{
    const int value = static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0)));
    m_ui->progressBar->setValue(std::max(value, m_ui->progressBar->value()));
    m_ui->progressTimeLeft->setText(timeLeftText(percent, m_clock.isValid() ? m_clock.elapsed() / 1000.0 : 0.0));
}

void ProgressSheet::setStep(const QString &step)
{
    m_ui->progressStep->setText(step);
}

QString ProgressSheet::timeLeftText(double percent, double elapsedSeconds)
{
    if (!(percent >= 5.0) || elapsedSeconds < 2.0)
        return {};
    const double left = elapsedSeconds * (100.0 - std::min(percent, 100.0)) / percent;
    if (left < 5.0)
        return tr("Almost done");
    if (left < 90.0)
        return tr("About %1 seconds left").arg(std::lround(left / 5.0) * 5);
    return tr("About %1 minutes left").arg(std::lround(left / 60.0));
}

void ProgressSheet::reject()
{
    emit cancelRequested();
}

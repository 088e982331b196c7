// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputconfirmation.h"

#include <QFileInfo>
#include <QPushButton>

#include "alertsheets.h"
#include "outputcheck.h"

OutputConfirmation::OutputConfirmation(AlertSheets *alerts, QObject *parent)
    : QObject(parent)
    , m_alerts(alerts)
{
}

bool OutputConfirmation::accepts(const QString &input, const QString &output) const
{
    const auto problem = OutputCheck::problem(input, output);
    if (problem) {
        m_alerts->show(problem->kind == OutputCheck::Problem::Kind::SameFile ? QMessageBox::Information
                                                                              : QMessageBox::Warning,
                       problem->text, problem->informativeText);
    }
    return !problem;
}

void OutputConfirmation::confirm(const QString &input, const QString &output,
                                 const std::function<void()> &confirmed)
{
    if (!accepts(input, output))
        return;
    if (!QFileInfo::exists(output)) {
        confirmed();
        return;
    }
    // The words of the save dialog's own question, which is off.
    QMessageBox *question = m_alerts->make(
        QMessageBox::Warning, OutputCheck::existsSentence(output) + QLatin1Char('\n') + tr("Do you want to replace it?"),
        QString(), QMessageBox::Yes | QMessageBox::No);
    question->setDefaultButton(QMessageBox::No);
    question->setEscapeButton(QMessageBox::No);
    connect(question, &QMessageBox::finished, this, [confirmed](int result) {
        if (result == QMessageBox::Yes)
            confirmed();
    });
    m_alerts->present(question);
}

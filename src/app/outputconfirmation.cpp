// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputconfirmation.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include "alertsheets.h"
#include "samefile.h"
#include "writablefolder.h"

OutputConfirmation::OutputConfirmation(AlertSheets *alerts, QObject *parent)
    : QObject(parent)
    , m_alerts(alerts)
{
}

bool OutputConfirmation::accepts(const QString &input, const QString &output) const
{
    if (isSameFile(input, output)) {
        m_alerts->show(QMessageBox::Information, tr("Input file name is same as the output file name!"),
                       tr("Please specify a different file to save."));
        return false;
    }
    const QString folder = QFileInfo(output).absolutePath();
    if (const auto reason = WritableFolder::whyNot(folder)) {
        m_alerts->show(QMessageBox::Warning, tr("The trimmed video cannot be saved in %1.")
                                                 .arg(QDir::toNativeSeparators(folder)),
                       tr("%1. Please choose another folder.").arg(*reason));
        return false;
    }
    return true;
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
        QMessageBox::Warning, tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(output).fileName()),
        QString(), QMessageBox::Yes | QMessageBox::No);
    question->setDefaultButton(QMessageBox::No);
    question->setEscapeButton(QMessageBox::No);
    connect(question, &QMessageBox::finished, this, [confirmed](int result) {
        if (result == QMessageBox::Yes)
            confirmed();
    });
    m_alerts->present(question);
}

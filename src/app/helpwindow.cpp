// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpwindow.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpWindow::HelpWindow(const QString &supportEmail, QWidget *parent)
    : QDialog(parent)
    , m_browser(new QTextBrowser(this))
{
    // Qt adds the application's name: "Help — Kestrel".
    setWindowTitle(tr("Help"));
    m_browser->setObjectName(QStringLiteral("helpText"));
    m_browser->setAccessibleName(tr("Help"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setMarkdown(text());

    auto *support = new QLabel(tr("Questions? : <a href=\"mailto:%1\">%1</a>").arg(supportEmail), this);
    support->setObjectName(QStringLiteral("supportLabel"));
    support->setTextFormat(Qt::RichText);
    support->setOpenExternalLinks(true);
    support->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    auto *foot = new QHBoxLayout;
    foot->addWidget(support, 1);
    foot->addWidget(buttons);
    layout->addLayout(foot);
    resize(620, 560);
}

QString HelpWindow::text()
{
    QFile file(QStringLiteral(":/help/help.md"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString HelpWindow::shownText() const
{
    return m_browser->toPlainText();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QTextBrowser;

// What a person needs to start, beside the window rather than over it, so
// that the help can stay open while they try what it says. The text is the
// one the README and the manual page carry, so the three never disagree.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    HelpWindow(const QString &supportEmail, QWidget *parent);

    // The guide as Markdown, from the resources.
    static QString text();
    QString shownText() const;

private:
    QTextBrowser *m_browser;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What the app's command line asks for: `kestrel [FILE]`, as a file
// manager's "Open With" starts it, or --help and --version, which need no
// display.
struct CommandLine
{
    enum class Action { Run, ShowText, Fail };

    Action action = Action::Run;
    // The file to open at launch, absolute; empty for none.
    QString file;
    // The help or version text, or why the command line was refused.
    QString text;

    // `arguments` as main() gets them, the program first; a relative FILE is
    // taken against `workingFolder`.
    static CommandLine parse(const QStringList &arguments, const QString &workingFolder);
};

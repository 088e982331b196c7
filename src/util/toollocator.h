// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Finds the external tools by name in the app's resource folder. The folder
// is given to the constructor, so tests can point it at fake tools.
class ToolLocator
{
public:
    static inline const QString sniffer = QStringLiteral("sniffer");
    static inline const QString creator = QStringLiteral("creator");

    explicit ToolLocator(const QString &resourceFolder);

    // The folder beside the running executable: the same relative place in
    // the build tree and after installation.
    static QString defaultResourceFolder();

    QString resourceFolder() const { return m_resourceFolder; }

    // The tool's full path, or an empty text when no executable file of that
    // name is there.
    QString pathForResource(const QString &name) const;

private:
    const QString m_resourceFolder;
};

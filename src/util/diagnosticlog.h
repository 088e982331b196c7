// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The app's diagnostics are single lines on standard output. Tests observe
// them through a Capture, which also keeps them off the test's own output.
class DiagnosticLog
{
public:
    static void print(const QString &line);

    class Capture
    {
    public:
        Capture();
        ~Capture();
        Capture(const Capture &) = delete;
        Capture &operator=(const Capture &) = delete;

        QStringList lines() const;
        void clear();

    private:
        friend class DiagnosticLog;
        QStringList m_lines;
        Capture *m_previous = nullptr;
    };
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class AlertSheets;

// The keyboard table of the guide, which the build copies into the app's
// resources so that the two never differ, shown as an alert.
class KeyboardShortcuts
{
public:
    // The table as Markdown.
    static QString table();
    static void show(AlertSheets *alerts);
};

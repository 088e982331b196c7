// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QString>

class QObject;

// Shows a file in the desktop's file manager, selected when the file
// manager supports it, else its folder.
class FileRevealer
{
public:
    // `failed` runs, within `context`'s life, when nothing could show it.
    static void reveal(const QString &path, QObject *context, const std::function<void()> &failed);
    // The file's URI as the file manager's interface takes it: percent-encoded.
    static QString itemUri(const QString &path);
};

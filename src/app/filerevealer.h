#pragma once

#include <QString>

// Shows a file in the desktop's file manager, selected when the file
// manager supports it.
class FileRevealer
{
public:
    static void reveal(const QString &path);
};

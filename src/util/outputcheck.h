// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QString>

// What stops a trim from writing an output, checked before anything is
// written, in the words the window shows and the command prints: the input
// itself, a name longer than the file system takes, a folder where no file
// can be made.
namespace OutputCheck {

struct Problem
{
    enum class Kind { SameFile, NameTooLong, Folder };
    Kind kind;
    QString text;
    QString informativeText;
};

std::optional<Problem> problem(const QString &input, const QString &output);
// The first sentence of what is said of an output that exists.
QString existsSentence(const QString &output);

} // namespace OutputCheck

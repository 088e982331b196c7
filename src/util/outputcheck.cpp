// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputcheck.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "samefile.h"
#include "writablefolder.h"

namespace OutputCheck {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("OutputCheck", text);
}

// The longest name, in bytes, that the folder's file system takes; 255 on every Linux one, when the folder
// cannot say.
qsizetype longestName(const QString &folder)
{
    const long longest = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return longest > 0 ? qsizetype(longest) : 255;
}

} // namespace

std::optional<Problem> problem(const QString &input, const QString &output)
{
    if (isSameFile(input, output))
        return Problem{Problem::Kind::SameFile, tr("Input file name is same as the output file name!"),
                       tr("Please specify a different file to save.")};
    const QFileInfo file(output);
    const QString folder = file.absolutePath();
    const qsizetype longest = longestName(folder);
    if (QFile::encodeName(file.fileName()).size() > longest)
        return Problem{Problem::Kind::NameTooLong, tr("The name “%1…” is too long.").arg(file.fileName().left(40)),
                       tr("File names here take at most %1 bytes. Please choose a shorter name.").arg(longest)};
    if (const auto reason = WritableFolder::whyNot(folder))
        return Problem{Problem::Kind::Folder,
                       tr("The trimmed video cannot be saved in %1.").arg(QDir::toNativeSeparators(folder)),
                       tr("%1. Please choose another folder.").arg(*reason)};
    return std::nullopt;
}

QString existsSentence(const QString &output)
{
    return tr("%1 already exists.").arg(QFileInfo(output).fileName());
}

} // namespace OutputCheck

// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

CommandLine CommandLine::parse(const QStringList &arguments, const QString &workingFolder)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("CommandLine", text); };
    QCommandLineParser parser;
    parser.setApplicationDescription(tr("Cut one segment out of a video file.\n\n"
                                        "Without a window: kestrel cut [options] INPUT... (kestrel cut --help)"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), tr("The video to open."), QStringLiteral("[FILE]"));
    if (!parser.parse(arguments))
        return {Action::Fail, {}, parser.errorText()};
    // Before the application object exists, the parser cannot name the program.
    if (parser.isSet(help))
        return {Action::ShowText, {},
                parser.helpText().replace(QStringLiteral("<executable_name>"),
                                          QFileInfo(arguments.value(0)).fileName())};
    if (parser.isSet(version))
        return {Action::ShowText, {}, QCoreApplication::applicationName() + QLatin1Char(' ')
                                          + QCoreApplication::applicationVersion() + QLatin1Char('\n')};
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return {Action::Fail, {}, tr("Only one file can be opened at a time.")};
    return {Action::Run, files.isEmpty() ? QString() : QDir(workingFolder).absoluteFilePath(files.first()), {}};
}

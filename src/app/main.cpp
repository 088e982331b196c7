// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QTextStream>
#include <QThread>
#include <QtGlobal>

#include "appdelegate.h"
#include "commandline.h"
#include "cutoptions.h"
#include "cutrunner.h"
#include "diagnosticlog.h"
#include "quitsignalwatcher.h"
#include "toollocator.h"

namespace {

bool hasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

// `kestrel cut`: no display, no window, no player; results on standard output, the rest on standard error.
int cut(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The tools' command lines the window prints are no result of a cut.
    const DiagnosticLog::Capture diagnostics;
    QTextStream out(stdout);
    QTextStream err(stderr);
    const CutOptions options = CutOptions::parse(QCoreApplication::arguments().mid(2), QThread::idealThreadCount());
    if (options.helpAsked) {
        out << CutOptions::helpText();
        return 0;
    }
    if (!options.error.isEmpty()) {
        err << "kestrel cut: " << options.error << "\nTry 'kestrel cut --help'.\n";
        return 2;
    }
    CutRunner runner(ToolLocator(ToolLocator::defaultResourceFolder()), options, out, err,
                     CutProgress::terminalWidth());
    const QuitSignalWatcher quitSignals;
    QObject::connect(&quitSignals, &QuitSignalWatcher::quitRequested, &runner, &CutRunner::stop);
    return runner.run();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("kestrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));
    if (argc > 1 && qstrcmp(argv[1], "cut") == 0)
        return cut(argc, argv);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Help and version need no display, so they are answered before one is
    // looked for. Anything else waits for Qt to take its own options out.
    const CommandLine early = CommandLine::parse(arguments, QDir::currentPath());
    if (early.action == CommandLine::Action::ShowText) {
        std::fputs(qPrintable(early.text), stdout);
        return 0;
    }
    // Without this, Qt answers a missing display with a stack of errors and an abort.
    if (!hasDisplay()) {
        std::fprintf(stderr, "kestrel: no display found (DISPLAY and WAYLAND_DISPLAY are unset); "
                             "to run without one: xvfb-run -a %s\n", argv[0]);
        return 1;
    }

    QApplication app(argc, argv);
    const CommandLine commandLine = CommandLine::parse(QApplication::arguments(), QDir::currentPath());
    if (commandLine.action == CommandLine::Action::Fail) {
        std::fprintf(stderr, "kestrel: %s\n", qPrintable(commandLine.text));
        return 2;
    }
    AppDelegate::prepareApplication();

    AppDelegate delegate(ToolLocator::defaultResourceFolder());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    const QuitSignalWatcher quitSignals;
    QObject::connect(&quitSignals, &QuitSignalWatcher::quitRequested, &app, [] { QCoreApplication::quit(); });
    delegate.window()->show();
    delegate.applicationDidFinishLaunching(commandLine.file);
    return QApplication::exec();
}

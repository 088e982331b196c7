// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include <QApplication>
#include <QMainWindow>
#include <QtGlobal>

#include "appdelegate.h"
#include "quitsignalwatcher.h"
#include "toollocator.h"

namespace {

bool hasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char *argv[])
{
    // Without this, Qt answers a missing display with a stack of errors and an abort.
    if (!hasDisplay()) {
        std::fprintf(stderr, "kestrel: no display found (DISPLAY and WAYLAND_DISPLAY are unset); "
                             "to run without one: xvfb-run -a %s\n", argv[0]);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kestrel"));
    QApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(KESTREL_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(KESTREL_APP_ID),
                                                 QIcon(QStringLiteral(":/icons/kestrel.svg"))));

    AppDelegate delegate(ToolLocator::defaultResourceFolder());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    const QuitSignalWatcher quitSignals;
    QObject::connect(&quitSignals, &QuitSignalWatcher::quitRequested, &app, &QCoreApplication::quit);
    delegate.window()->show();
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}

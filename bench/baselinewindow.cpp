// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up baselines, a program of their own that links Qt Widgets and
// nothing of the app: run by the benchmark as the app's child mode is, they
// would load every library the app links and hide its cost.
//
//   kestrel_bench_window empty   an empty main window of the app's size
//   kestrel_bench_window text    the same showing one line of text
//
// Each prints "shown <peak KiB>" once its first paint has been delivered.

#include <cstdio>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "firstpaintwatcher.h"
#include "resourceusage.h"

namespace {

// The size the main window's layout file gives it.
constexpr int windowWidth = 820;
constexpr int windowHeight = 640;

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString kind = QCoreApplication::arguments().value(1);
    if (kind != QLatin1String("empty") && kind != QLatin1String("text")) {
        std::fprintf(stderr, "kestrel_bench_window: empty or text\n");
        return 2;
    }
    QMainWindow window;
    window.resize(windowWidth, windowHeight);
    if (kind == QLatin1String("text"))
        window.setCentralWidget(new QLabel(QStringLiteral("Drop a video here"), &window));
    const FirstPaintWatcher watcher(&window, [] {
        std::printf("shown %ld\n", ResourceUsage::peakResidentKiB(ResourceUsage::Whose::Self));
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    window.show();
    return QApplication::exec();
}

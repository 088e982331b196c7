// SPDX-License-Identifier: GPL-3.0-or-later
#include "childmode.h"

#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "appdelegate.h"
#include "diagnosticlog.h"
#include "firstpaintwatcher.h"
#include "keyframescan.h"
#include "mediafactory.h"
#include "mpvplayer.h"
#include "openflow.h"
#include "playback.h"
#include "posterextraction.h"
#include "posterwatch.h"
#include "resourceusage.h"
#include "stallmeter.h"

namespace {

// Two extractions, each of which the app gives up on after 30 s.
constexpr int posterTimeoutMs = 2 * 60 * 1000;

} // namespace

bool ChildMode::isRequested(int argc, char *argv[])
{
    return argc > 2 && QString::fromLocal8Bit(argv[1]) == flag;
}

void ChildMode::printMilestone(const QString &word, const QString &extra)
{
    const QString figures = QString::number(ResourceUsage::peakResidentKiB(ResourceUsage::Whose::Self));
    std::printf("%s %s%s%s\n", qPrintable(word), qPrintable(figures), extra.isEmpty() ? "" : " ",
                qPrintable(extra));
    std::fflush(stdout);
}

int ChildMode::run(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kestrel"));
    const QStringList arguments = QCoreApplication::arguments().mid(2);
    if (arguments.value(0) == playWindow && arguments.size() >= 4)
        return runPlayback(arguments.at(1), arguments.at(2), arguments.at(3).toDouble());
    if (arguments.value(0) == appWindow && arguments.size() >= 2)
        return runApp(arguments.at(1), arguments.value(2), arguments.value(3));
    std::fprintf(stderr, "kestrel_bench: unknown child mode\n");
    return 2;
}

int ChildMode::runApp(const QString &workFolder, const QString &clip, const QString &output)
{
    const DiagnosticLog::Capture quiet;
    AppDelegate::prepareApplication();
    AppDelegate delegate(MediaFactory::toolsFolder(), QDir(workFolder).filePath(QStringLiteral("tmp-child")));
    bool trimmed = false;
    QObject::connect(&delegate, &AppDelegate::alertShown, &delegate, [](QMessageBox *alert) {
        alert->hide();
        alert->deleteLater();
    });
    QObject::connect(&delegate, &AppDelegate::trimFinished, &delegate, [&](EncoderRun::Outcome outcome) {
        trimmed = outcome == EncoderRun::Outcome::Succeeded;
        printMilestone(QStringLiteral("trimmed"), QString::number(ResourceUsage::peakResidentKiB(
                                                       ResourceUsage::Whose::Children))
                                                       + (trimmed ? QStringLiteral(" 1") : QStringLiteral(" 0")));
        QCoreApplication::quit();
    });
    const FirstPaintWatcher watcher(delegate.window(), [&] {
        printMilestone(QStringLiteral("shown"));
        if (clip.isEmpty()) {
            QCoreApplication::quit();
            return;
        }
        delegate.openVideo(QUrl::fromLocalFile(clip));
        // The probe and the posters come in the background; the tools' peak
        // counts only once they have ended.
        const auto *opening = delegate.findChild<OpenFlow *>();
        if (!QTest::qWaitFor([opening] { return !opening->isOpening(); }, posterTimeoutMs)) {
            QCoreApplication::quit();
            return;
        }
        PosterWatch(delegate.findChild<PosterExtraction *>()).waitUntilIdle(posterTimeoutMs);
        printMilestone(QStringLiteral("opened"),
                       QString::number(ResourceUsage::peakResidentKiB(ResourceUsage::Whose::Children)));
        delegate.savePanelFinished(output);
        if (!delegate.isTrimming())
            QCoreApplication::quit();
    });
    delegate.window()->show();
    delegate.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    return clip.isEmpty() || trimmed ? status : 1;
}

int ChildMode::runPlayback(const QString &workFolder, const QString &clip, double seconds)
{
    const DiagnosticLog::Capture quiet;
    AppDelegate::prepareApplication();
    AppDelegate delegate(MediaFactory::toolsFolder(), QDir(workFolder).filePath(QStringLiteral("tmp-child")));
    delegate.window()->show();
    delegate.applicationDidFinishLaunching();
    delegate.openVideo(QUrl::fromLocalFile(clip));
    // Nothing else may spend the processors while it plays: the open, its
    // posters and the keyframe listing end first.
    const auto *opening = delegate.findChild<OpenFlow *>();
    const auto *keyframes = delegate.findChild<KeyframeScan *>();
    if (!QTest::qWaitFor([&] { return !opening->isOpening() && keyframes->isComplete(); }, posterTimeoutMs))
        return 1;
    PosterWatch(delegate.findChild<PosterExtraction *>()).waitUntilIdle(posterTimeoutMs);

    auto *playback = delegate.findChild<Playback *>();
    playback->followKnob(0.0);
    const double cpuBefore = ResourceUsage::cpuMs(ResourceUsage::Whose::Self);
    delegate.window()->findChild<QAction *>(QStringLiteral("playPauseAction"))->trigger();
    const MpvPlayer *player = playback->player();
    // The stalls while it plays, after the first Play has made the player.
    StallMeter stalls;
    if (player && QTest::qWaitFor([player] { return player->position() > 0.0; }, posterTimeoutMs))
        stalls.start();
    // Until the time played, or the pause at the end of the file.
    const bool played = player && QTest::qWaitFor([&] {
        return player->position() >= seconds || (player->position() > 0.0 && player->isPaused());
    }, posterTimeoutMs);
    const double cpuMs = ResourceUsage::cpuMs(ResourceUsage::Whose::Self) - cpuBefore;
    stalls.stop();
    if (!played)
        return 1;
    const QSize size = playback->view()->size();
    printMilestone(QStringLiteral("played"), QStringLiteral("%1 %2 %3 %4 %5 %6")
                                                 .arg(qRound64(cpuMs))
                                                 .arg(player->droppedFrames())
                                                 .arg(size.width())
                                                 .arg(size.height())
                                                 .arg(playback->view()->drawsWithOpenGl() ? 1 : 0)
                                                 .arg(qRound64(stalls.longestMs())));
    playback->pause();
    delegate.applicationWillTerminate();
    return 0;
}

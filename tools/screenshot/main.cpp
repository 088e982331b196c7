// SPDX-License-Identifier: GPL-3.0-or-later
// Writes PNGs of the main window, empty and with a clip open, and of the
// progress sheet during a trim, for the README and for a look at the app
// without a display.
#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include "appdelegate.h"
#include "mediafactory.h"
#include "posterextraction.h"
#include "progresssheet.h"
#include "rangeslider.h"
#include "rangeslidergeometry.h"

namespace {

bool save(const QPixmap &pixmap, const QString &path)
{
    const bool saved = pixmap.save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

QPixmap windowWithSheet(QMainWindow *window, QWidget *sheet)
{
    QPixmap picture = window->grab();
    QPainter painter(&picture);
    const QPixmap sheetPicture = sheet->grab();
    const QPoint topLeft((picture.width() / picture.devicePixelRatio() - sheet->width()) / 2, 56);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
    painter.drawPixmap(topLeft, sheetPicture);
    return picture;
}

// Poster frames arrive in the background.
void waitForPosters(const AppDelegate &delegate)
{
    const auto *posters = delegate.findChild<PosterExtraction *>();
    QDeadlineTimer deadline(30000);
    while (!posters->isIdle() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// A knob held by the mouse and moved: the poster shows the nearest keyframe.
void dragEndKnob(RangeSlider *slider)
{
    const QPointF knob = RangeSliderGeometry(slider->size(), slider->knobStyle()).endKnobFrame(slider->end()).center();
    const QPointF moved = knob - QPointF(slider->width() / 5.0, 0);
    QMouseEvent press(QEvent::MouseButtonPress, knob, slider->mapToGlobal(knob), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, moved, slider->mapToGlobal(moved), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(slider, &press);
    QApplication::sendEvent(slider, &move);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Kestrel"));
    const QString outputFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(outputFolder);
    const QDir out(outputFolder);

    QTemporaryDir work;
    const MediaFactory factory(work.path());
    const QString clip = factory.videoClip(QStringLiteral("Holiday at the lake.mp4"), 90, 2, 640, 360,
                                           QStringLiteral("25"));
    if (clip.isEmpty())
        return 1;

    AppDelegate delegate(MediaFactory::toolsFolder(), work.filePath(QStringLiteral("tmp")));
    QMainWindow *window = delegate.window();
    window->resize(900, 700);
    window->show();
    delegate.applicationDidFinishLaunching();
    QApplication::processEvents();
    bool ok = save(window->grab(), out.filePath(QStringLiteral("empty-window.png")));

    delegate.openVideo(QUrl::fromLocalFile(clip));
    waitForPosters(delegate);
    ok = save(window->grab(), out.filePath(QStringLiteral("main-window.png"))) && ok;

    auto *slider = window->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    dragEndKnob(slider);
    waitForPosters(delegate);
    ok = save(window->grab(), out.filePath(QStringLiteral("dragging.png"))) && ok;
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(), QPointF(), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(slider, &release);

    // A re-encode of the whole clip runs long enough to catch the sheet.
    window->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"))->setChecked(true);
    slider->setStart(0.0);
    slider->setEnd(1.0);
    delegate.savePanelFinished(work.filePath(QStringLiteral("Trimmed.mp4")));
    auto *sheet = window->findChild<ProgressSheet *>();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (sheet->bar()->value() >= 20 || !delegate.isTrimming()) {
            poll.stop();
            ok = save(windowWithSheet(window, sheet), out.filePath(QStringLiteral("progress-sheet.png"))) && ok;
            delegate.closeBTNInsideProgressWindowClicked();
        }
    });
    QObject::connect(&delegate, &AppDelegate::trimFinished, &app, &QCoreApplication::quit);
    poll.start(50);
    QApplication::exec();
    delegate.applicationWillTerminate();
    return ok ? 0 : 1;
}

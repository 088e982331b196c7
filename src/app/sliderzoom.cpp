// SPDX-License-Identifier: GPL-3.0-or-later
#include "sliderzoom.h"

#include <cmath>

#include <QAction>
#include <QMenu>
#include <QScrollBar>

#include "rangeslider.h"

namespace {

constexpr double stepFactor = 2.0;
// Pixels a frame at the deepest zoom: each frame can still be told apart and hit.
constexpr double pixelsPerFrame = 4.0;
// The scroll bar counts in millionths of the video.
constexpr int scrollUnits = 1000000;

} // namespace

SliderZoom::SliderZoom(RangeSlider *slider, QScrollBar *scrollBar, QMenu *menu, std::function<double()> playhead,
                       QObject *parent)
    : QObject(parent)
    , m_slider(slider)
    , m_scrollBar(scrollBar)
    , m_playhead(std::move(playhead))
{
    const QAction *in = addAction(menu, QStringLiteral("zoomInAction"), tr("Zoom In"), QKeySequence(Qt::Key_Plus));
    const QAction *out = addAction(menu, QStringLiteral("zoomOutAction"), tr("Zoom Out"), QKeySequence(Qt::Key_Minus));
    const QAction *selection =
        addAction(menu, QStringLiteral("zoomToSelectionAction"), tr("Zoom to Selection"), QKeySequence(Qt::Key_Z));
    const QAction *fit =
        addAction(menu, QStringLiteral("zoomToFitAction"), tr("Zoom to Fit"), QKeySequence(Qt::SHIFT | Qt::Key_Z));
    connect(in, &QAction::triggered, this, [this] { zoomAround(stepFactor, m_playhead()); });
    connect(out, &QAction::triggered, this, [this] { zoomAround(1.0 / stepFactor, m_playhead()); });
    connect(selection, &QAction::triggered, this, &SliderZoom::zoomToSelection);
    connect(fit, &QAction::triggered, this, [this] { m_slider->setView({}); });
    connect(m_slider, &RangeSlider::zoomAsked, this, [this](int steps, double value) {
        zoomAround(std::pow(stepFactor, steps), value * m_video.duration);
    });
    connect(m_slider, &RangeSlider::viewChanged, this, &SliderZoom::showScrollBar);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        const double span = m_slider->view().end - m_slider->view().start;
        const double start = double(value) / scrollUnits;
        m_slider->setView({start, start + span});
    });
    m_scrollBar->setAccessibleName(tr("Part of the video shown"));
    setVideo({});
}

QAction *SliderZoom::addAction(QMenu *menu, const QString &name, const QString &text, const QKeySequence &keys)
{
    auto *action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(keys);
    m_actions.append(action);
    return action;
}

void SliderZoom::setVideo(const Video &video)
{
    m_video = video;
    m_slider->setView({});
    for (QAction *action : m_actions)
        action->setEnabled(video.duration > 0);
    showScrollBar();
}

// Recomputed before each zoom: the slider may have been resized since.
void SliderZoom::limitToFrames()
{
    const double frames = std::max(1.0, m_slider->width() / pixelsPerFrame);
    m_slider->setMinimumViewSpan(frames * m_video.frameDuration / m_video.duration);
}

void SliderZoom::zoomAround(double factor, double seconds)
{
    if (m_video.duration <= 0)
        return;
    limitToFrames();
    m_slider->zoom(factor, seconds / m_video.duration);
}

void SliderZoom::zoomToSelection()
{
    if (m_video.duration <= 0)
        return;
    limitToFrames();
    // A knob's width of room either side, so that both knobs show.
    const double margin = (m_slider->end() - m_slider->start()) * 0.02;
    m_slider->setView({m_slider->start() - margin, m_slider->end() + margin});
}

void SliderZoom::showScrollBar()
{
    const SelectionRange view = m_slider->view();
    const int page = int(std::lround((view.end - view.start) * scrollUnits));
    const QSignalBlocker blocker(m_scrollBar);
    m_scrollBar->setRange(0, scrollUnits - page);
    m_scrollBar->setPageStep(page);
    m_scrollBar->setSingleStep(std::max(1, page / 10));
    m_scrollBar->setValue(int(std::lround(view.start * scrollUnits)));
    m_scrollBar->setVisible(m_slider->isZoomed());
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "firstpaintwatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

FirstPaintWatcher::FirstPaintWatcher(QWidget *window, std::function<void()> onFirstPaint)
    : m_window(window)
    , m_onFirstPaint(std::move(onFirstPaint))
{
    QCoreApplication::instance()->installEventFilter(this);
}

FirstPaintWatcher::~FirstPaintWatcher()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool FirstPaintWatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_painted && event->type() == QEvent::Paint && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == m_window) {
        m_painted = true;
        // The rest of the window is painted in the same pass; the timer
        // fires once that pass is over.
        QTimer::singleShot(0, this, [this] { m_onFirstPaint(); });
    }
    return QObject::eventFilter(watched, event);
}

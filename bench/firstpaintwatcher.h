// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QObject>

class QWidget;

// Calls back once, after the first paint of any widget of a window has been
// delivered: the moment the window is on screen with its contents drawn.
class FirstPaintWatcher : public QObject
{
public:
    FirstPaintWatcher(QWidget *window, std::function<void()> onFirstPaint);
    ~FirstPaintWatcher() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *const m_window;
    std::function<void()> m_onFirstPaint;
    bool m_painted = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QStringList>

class QObject;
class QProcess;

// A tool run for what only helps (the keyframes, the overview), in the
// background and at low priority: opening shows a frame at the same time,
// which a person waits for, and the player and a trim come first too. Its
// owner reads its output; these are the run's beginning and end, which every
// such run shares.
class BackgroundProcess
{
public:
    enum class Priority {
        Low,
        // For what a person waits for, which is no more than the run's share.
        Normal,
    };

    // Not yet started: `program` with `arguments`, reading nothing, its
    // complaints dropped unless `keepErrors`. `ended` is told once, whether
    // it exited with status 0, or could not start.
    static QProcess *make(QObject *owner, const QString &program, const QStringList &arguments,
                          const std::function<void(bool succeeded)> &ended, bool keepErrors = false,
                          Priority priority = Priority::Low);
    // Nothing of it reaches its owner any more: asked to end, killed if it
    // lingers, and deleted once it has.
    static void dismiss(QProcess *process, QObject *owner);
    // For the owner's destructor: no child outlives it.
    static void killAll(QObject *owner);
};

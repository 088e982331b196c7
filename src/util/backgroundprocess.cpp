// SPDX-License-Identifier: GPL-3.0-or-later
#include "backgroundprocess.h"

#include <sys/resource.h>

#include <QProcess>
#include <QTimer>

namespace {

constexpr int backgroundNiceness = 10;
// How long a dismissed run may linger before it is killed.
constexpr int killDelayMs = 1000;
constexpr int destructionWaitMs = 2000;

} // namespace

QProcess *BackgroundProcess::make(QObject *owner, const QString &program, const QStringList &arguments,
                                  const std::function<void(bool)> &ended, bool keepErrors, Priority priority)
{
    auto *process = new QProcess(owner);
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    if (!keepErrors)
        process->setStandardErrorFile(QProcess::nullDevice());
    if (priority == Priority::Low)
        process->setChildProcessModifier([] { setpriority(PRIO_PROCESS, 0, backgroundNiceness); });
    QObject::connect(process, &QProcess::finished, owner, [ended](int exitCode, QProcess::ExitStatus status) {
        ended(status == QProcess::NormalExit && exitCode == 0);
    });
    QObject::connect(process, &QProcess::errorOccurred, owner, [ended](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(false);
    });
    return process;
}

void BackgroundProcess::dismiss(QProcess *process, QObject *owner)
{
    if (!process)
        return;
    process->disconnect(owner);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    process->terminate();
    QTimer::singleShot(killDelayMs, process, &QProcess::kill);
}

void BackgroundProcess::killAll(QObject *owner)
{
    for (QProcess *process : owner->findChildren<QProcess *>()) {
        process->disconnect(owner);
        process->kill();
        process->waitForFinished(destructionWaitMs);
    }
}

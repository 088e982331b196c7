// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "fileprobe.h"
#include "toollocator.h"

class QProcess;

// The prober run on one file in the background, so that the window keeps
// answering however long it takes. It answers exactly once, with the file's
// description: that of an invalid file when the prober is missing, cannot
// start, or outlives `timeout` and is killed, as FileProbe::create gives.
class ProbeRun : public QObject
{
    Q_OBJECT

public:
    ProbeRun(const ToolLocator &tools, const QString &path,
             std::chrono::milliseconds timeout = FileProbe::defaultTimeout, QObject *parent = nullptr);
    // Kills a prober still running and waits for it: no child outlives the run.
    ~ProbeRun() override;

    void start();
    QString path() const { return m_path; }

signals:
    void finished(std::shared_ptr<const FileProbe> probe);

private:
    void finish();

    const ToolLocator m_tools;
    const QString m_path;
    QProcess *m_process = nullptr;
    QTimer m_deadline;
    QByteArray m_report;
    bool m_finished = false;
};

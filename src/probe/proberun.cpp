// SPDX-License-Identifier: GPL-3.0-or-later
#include "proberun.h"

#include <QProcess>

ProbeRun::ProbeRun(const ToolLocator &tools, const QString &path, std::chrono::milliseconds timeout,
                   QObject *parent)
    : QObject(parent)
    , m_tools(tools)
    , m_path(path)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeout);
    // A prober that hangs has printed nothing that counts.
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_report.clear();
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished();
        finish();
    });
}

ProbeRun::~ProbeRun()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished();
    }
}

void ProbeRun::start()
{
    const QString program = m_tools.pathForResource(ToolLocator::sniffer);
    if (program.isEmpty()) {
        // Answered from the event loop, as a run always is.
        QMetaObject::invokeMethod(this, &ProbeRun::finish, Qt::QueuedConnection);
        return;
    }
    m_process = new QProcess(this);
    m_process->setProgram(program);
    m_process->setArguments(FileProbe::snifferArguments(m_path));
    // The prober never needs input; its complaints go where ours go.
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process, &QProcess::readyReadStandardOutput, this,
            [this] { m_report += m_process->readAllStandardOutput(); });
    connect(m_process, &QProcess::finished, this, [this] {
        m_report += m_process->readAllStandardOutput();
        finish();
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish();
    });
    m_deadline.start();
    m_process->start(QIODevice::ReadOnly);
}

void ProbeRun::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_deadline.stop();
    emit finished(FileProbe::fromReport(m_path, m_report));
}

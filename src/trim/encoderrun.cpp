// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoderrun.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

constexpr std::chrono::milliseconds defaultKillDelay{5000};
// The destructor's last resort may block the event loop, but only briefly.
constexpr int destructionWaitMilliseconds = 2000;

// Longest file name, in bytes, that Linux file systems take.
constexpr qsizetype maximumNameBytes = 255;

// The base name cut at a character boundary so that the whole name fits.
QString fittedBaseName(const QString &baseName, qsizetype bytesForTheRest)
{
    QString fitted = baseName;
    while (!fitted.isEmpty() && QFile::encodeName(fitted).size() + bytesForTheRest > maximumNameBytes) {
        fitted.chop(1);
        if (!fitted.isEmpty() && fitted.back().isHighSurrogate())
            fitted.chop(1);
    }
    return fitted;
}

QString partialFileName(const QFileInfo &output, const QString &fallbackSuffix)
{
    const QString suffix = output.suffix();
    const QString name = output.fileName();
    const QString random =
        QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, QLatin1Char('0'));
    const QString marker = QStringLiteral(".kestrel-partial-") + random;
    const QString endingSuffix = suffix.isEmpty() ? fallbackSuffix : suffix;
    const QString ending = endingSuffix.isEmpty() ? QString() : QLatin1Char('.') + endingSuffix;
    // The name adds a marker to the output's own, which may already be as
    // long as the file system allows: the base name gives way.
    const QString baseName = suffix.isEmpty() ? name : name.chopped(suffix.size() + 1);
    const qsizetype restBytes = 1 + QFile::encodeName(marker + ending).size();
    return QLatin1Char('.') + fittedBaseName(baseName, restBytes) + marker + ending;
}

}

EncoderRun::EncoderRun(const ToolLocator &tools, QObject *parent)
    : TrimRun(parent)
    , m_tools(tools)
{
    m_killTimer.setSingleShot(true);
    m_killTimer.setInterval(defaultKillDelay);
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        if (isRunning())
            m_process->kill();
    });
}

EncoderRun::~EncoderRun()
{
    stopForDestruction();
}

QString EncoderRun::partialPathFor(const QString &outputPath, const QString &fallbackSuffix)
{
    const QFileInfo output(outputPath);
    const QDir folder = output.dir();
    QString path;
    do {
        path = folder.filePath(partialFileName(output, fallbackSuffix));
    } while (QFileInfo::exists(path));
    return path;
}

void EncoderRun::start(const QStringList &arguments, const QString &partialPath, const QString &outputPath,
                       double outputDuration)
{
    if (m_active)
        return;
    m_active = true;
    m_cancelledByUser = false;
    m_partialPath = partialPath;
    m_outputPath = outputPath;
    m_progress.emplace(outputDuration);
    m_lastPercent = -1.0;

    const QString program = m_tools.pathForResource(ToolLocator::creator);
    if (program.isEmpty()) {
        QTimer::singleShot(0, this, &EncoderRun::failForMissingEncoder);
        return;
    }

    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
    }
    m_process = new QProcess(this);
    m_process->setProgram(program);
    // Of its own chatter only the errors and the status lines: a failure is told by the errors alone, never by
    // the banner, the build's configuration or the stream listing.
    m_process->setArguments(QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-stats")}
                            + arguments);
    // The encoder reads nothing, and with a file output writes nothing on
    // standard output: only its error stream, with the progress, is piped.
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    connect(m_process, &QProcess::readyReadStandardError, this, &EncoderRun::readErrorStream);
    connect(m_process, &QProcess::finished, this, &EncoderRun::onProcessFinished);
    connect(m_process, &QProcess::errorOccurred, this, &EncoderRun::onProcessError);
    m_process->start();
}

void EncoderRun::cancel()
{
    if (!m_active)
        return;
    m_cancelledByUser = true;
    if (!isRunning() || m_killTimer.isActive())
        return;
    m_process->terminate();
    m_killTimer.start();
}

bool EncoderRun::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

bool EncoderRun::isCancelledByUser() const
{
    return m_cancelledByUser;
}

QProcess *EncoderRun::process() const
{
    return m_process;
}

void EncoderRun::setKillDelay(std::chrono::milliseconds delay)
{
    m_killTimer.setInterval(delay);
}

std::chrono::milliseconds EncoderRun::killDelay() const
{
    return m_killTimer.intervalAsDuration();
}

void EncoderRun::readErrorStream()
{
    const std::optional<double> percent = m_progress->feed(m_process->readAllStandardError());
    if (!percent || *percent == m_lastPercent)
        return;
    m_lastPercent = *percent;
    emit progressChanged(*percent);
}

void EncoderRun::onProcessFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (!m_active)
        return;
    m_killTimer.stop();
    readErrorStream();
    QString details;
    const Outcome outcome = settle(exitCode, exitStatus, &details);
    complete(outcome, details);
}

void EncoderRun::onProcessError(QProcess::ProcessError error)
{
    // Other errors are followed by finished(); a failed start is not. It may
    // be reported from within start(), so the end is reported later.
    if (error != QProcess::FailedToStart || !m_active)
        return;
    m_killTimer.stop();
    const QString reason = m_process->errorString();
    QTimer::singleShot(0, this, [this, reason] {
        if (!m_active)
            return;
        removePartial();
        complete(m_cancelledByUser ? Outcome::Cancelled : Outcome::Failed,
                 tr("The encoder could not be started: %1").arg(reason));
    });
}

void EncoderRun::failForMissingEncoder()
{
    const QString folder = QDir::toNativeSeparators(m_tools.resourceFolder());
    complete(m_cancelledByUser ? Outcome::Cancelled : Outcome::Failed,
             tr("The encoder \u201c%1\u201d was not found in the folder %2.")
                 .arg(ToolLocator::creator, folder));
}

EncoderRun::Outcome EncoderRun::settle(int exitCode, QProcess::ExitStatus exitStatus, QString *details)
{
    if (m_cancelledByUser) {
        removePartial();
        return Outcome::Cancelled;
    }
    if (exitStatus != QProcess::NormalExit || exitCode != 0) {
        removePartial();
        // The output as the person chose it, not the hidden name written meanwhile.
        *details = m_progress->errorTail().replace(m_partialPath, m_outputPath);
        if (details->isEmpty()) {
            *details = exitStatus == QProcess::NormalExit
                ? tr("The encoder stopped with exit code %1.").arg(exitCode)
                : tr("The encoder crashed.");
        }
        return Outcome::Failed;
    }
    if (!QFileInfo::exists(m_partialPath)) {
        *details = tr("The encoder ended without writing the output file.");
        return Outcome::Failed;
    }
    return replaceOutput(m_partialPath, m_outputPath, details) ? Outcome::Succeeded : Outcome::Failed;
}

// rename(2) replaces the output in one step: a reader sees the old file or
// the new one, never a mixture, and nothing is left if it fails.
bool EncoderRun::replaceOutput(const QString &partialPath, const QString &outputPath, QString *details)
{
    const QByteArray from = QFile::encodeName(partialPath);
    const QByteArray to = QFile::encodeName(outputPath);
    if (std::rename(from.constData(), to.constData()) == 0)
        return true;
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(partialPath);
    *details = tr("The trimmed video could not be saved as %1: %2.")
                   .arg(QDir::toNativeSeparators(outputPath), reason);
    return false;
}

void EncoderRun::removePartial() const
{
    if (!m_partialPath.isEmpty())
        QFile::remove(m_partialPath);
}

void EncoderRun::complete(Outcome outcome, const QString &details)
{
    m_active = false;
    emit finished(outcome, details);
}

void EncoderRun::stopForDestruction()
{
    m_killTimer.stop();
    if (!m_process)
        return;
    m_process->disconnect(this);
    if (isRunning()) {
        m_process->terminate();
        if (!m_process->waitForFinished(destructionWaitMilliseconds)) {
            m_process->kill();
            m_process->waitForFinished(destructionWaitMilliseconds);
        }
    }
    if (m_active)
        removePartial();
    // This may run from a slot of the process's own signal: let the process
    // go once control has left it.
    m_process->setParent(nullptr);
    m_process->deleteLater();
    m_process = nullptr;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "posterextraction.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

#include "decimaltext.h"

namespace {

// One seek and one frame; anything slower is a tool that hangs.
constexpr int watchdogMs = 30000;
constexpr int destructionWaitMs = 2000;
// How long a stopped extraction may linger before it is killed.
constexpr int killDelayMs = 1000;

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces `to` at once, so a reader sees the old frame or the new one.
bool replace(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

PosterExtraction::PosterExtraction(const ToolLocator &tools, const QString &posterFolder, QObject *parent)
    : QObject(parent)
    , m_tools(tools)
    , m_folder(posterFolder)
{
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(watchdogMs);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        if (m_process)
            m_process->kill();
    });
}

PosterExtraction::~PosterExtraction()
{
    const QList<QProcess *> processes = findChildren<QProcess *>();
    for (QProcess *process : processes) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished(destructionWaitMs);
    }
}

QStringList PosterExtraction::arguments(const QString &inputPath, double seconds, const QString &outputPath,
                                        Accuracy accuracy, std::optional<Timeline::Seek> seek)
{
    const QStringList scaled{QStringLiteral("-vf"), QStringLiteral("scale=-1:480,setsar=1:1")};
    const QStringList oneFrame{QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-y"), outputPath};
    const Timeline::Seek at = seek.value_or(Timeline::Seek{seconds, 0.0});
    if (accuracy == Accuracy::Exact) {
        QStringList arguments{QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-ss"),
                              secondsArgument(at.input), QStringLiteral("-i"), inputPath};
        if (at.output > 0)
            arguments << QStringLiteral("-ss") << secondsArgument(at.output);
        return arguments + scaled + oneFrame;
    }
    // Without "-noaccurate_seek" the keyframe after the time comes back, and
    // without "passthrough" the encoder decodes on to fill in frames.
    return QStringList{QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-skip_frame"),
                       QStringLiteral("nokey"), QStringLiteral("-ss"), secondsArgument(at.input),
                       QStringLiteral("-noaccurate_seek"), QStringLiteral("-i"), inputPath,
                       QStringLiteral("-map"), QStringLiteral("0:v:0")}
        + scaled + QStringList{QStringLiteral("-fps_mode"), QStringLiteral("passthrough")} + oneFrame;
}

void PosterExtraction::setFolder(const QString &posterFolder)
{
    m_folder = posterFolder;
}

QString PosterExtraction::shownFilePath() const
{
    return QDir(m_folder).filePath(QStringLiteral("out.jpg"));
}

void PosterExtraction::request(const QString &inputPath, double seconds, Accuracy accuracy)
{
    const Job job{inputPath, seconds, accuracy, ++m_lastId};
    m_ahead.reset();
    const QByteArray remembered = accuracy == Accuracy::Exact ? m_cache.value(cacheKey(seconds)) : QByteArray();
    if (!remembered.isEmpty()) {
        m_waiting.reset();
        announce(job, showBytes(remembered));
        return;
    }
    if (m_process && !m_running.shown) {
        // The frame fetched ahead is the one asked for: it shows when ready.
        if (accuracy == Accuracy::Exact && inputPath == m_running.inputPath
            && cacheKey(seconds) == cacheKey(m_running.seconds)) {
            m_waiting.reset();
            m_running.id = job.id;
            m_running.shown = true;
            return;
        }
        stopRunning();
    }
    // A keyframe preview is only a stand-in: the exact frame need not wait for it.
    if (m_process && m_running.accuracy == Accuracy::Keyframe && accuracy == Accuracy::Exact)
        stopRunning();
    // The newest request replaces any waiting one.
    m_waiting.reset();
    if (m_process)
        m_waiting = job;
    else
        start(job);
}

void PosterExtraction::prefetch(const QString &inputPath, double seconds)
{
    if (m_cache.contains(cacheKey(seconds)))
        return;
    m_ahead = Job{inputPath, seconds, Accuracy::Exact, ++m_lastId, false};
    if (!m_process)
        startNext();
}

void PosterExtraction::reset()
{
    if (m_process)
        stopRunning();
    m_waiting.reset();
    m_ahead.reset();
    m_cache.clear();
    m_cacheOrder.clear();
    m_announcedId = m_lastId;
}

void PosterExtraction::start(const Job &job)
{
    const QString program = m_tools.pathForResource(ToolLocator::creator);
    if (program.isEmpty()) {
        if (job.shown)
            announce(job, false);
        return;
    }
    m_running = job;
    m_running.file = jobFilePath(job);
    m_process = new QProcess(this);
    m_process->setProgram(program);
    const Timeline::Seek seek = job.accuracy == Accuracy::Exact ? m_timeline.exactSeek(job.seconds)
                                                                : Timeline::Seek{m_timeline.copyEntry(job.seconds), 0.0};
    m_process->setArguments(arguments(job.inputPath, job.seconds, m_running.file, job.accuracy, seek));
    // The encoder must not wait for keystrokes from us.
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        finishRunning(status == QProcess::NormalExit && exitCode == 0);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finishRunning(false);
    });
    m_watchdog.start();
    m_process->start();
}

void PosterExtraction::finishRunning(bool succeeded)
{
    m_watchdog.stop();
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;

    const Job job = m_running;
    const QString &file = job.file;
    const QByteArray jpeg = succeeded ? contents(file) : QByteArray();
    if (!jpeg.isEmpty() && job.accuracy == Accuracy::Exact)
        remember(job.seconds, jpeg);
    // A frame older than the one in view is only remembered, never shown.
    if (job.shown && job.id > m_announcedId)
        announce(job, !jpeg.isEmpty() && replace(file, shownFilePath()));
    QFile::remove(file);
    startNext();
}

void PosterExtraction::startNext()
{
    if (std::optional<Job> &next = m_waiting ? m_waiting : m_ahead) {
        const Job job = *next;
        next.reset();
        start(job);
    }
}

// The stopped process goes its own way: it removes its file and itself once it has ended.
void PosterExtraction::stopRunning()
{
    m_watchdog.stop();
    QProcess *process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    const QString file = m_running.file;
    connect(process, &QProcess::finished, process, [process, file] {
        QFile::remove(file);
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    process->terminate();
    QTimer::singleShot(killDelayMs, process, &QProcess::kill);
}

void PosterExtraction::announce(const Job &job, bool shown)
{
    m_announcedId = job.id;
    emit extracted(job.seconds, job.accuracy, shown);
}

bool PosterExtraction::showBytes(const QByteArray &jpeg) const
{
    QSaveFile file(shownFilePath());
    return file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size() && file.commit();
}

void PosterExtraction::remember(double seconds, const QByteArray &jpeg)
{
    const qint64 key = cacheKey(seconds);
    m_cacheOrder.removeOne(key);
    m_cacheOrder.append(key);
    m_cache.insert(key, jpeg);
    while (m_cacheOrder.size() > cacheSize)
        m_cache.remove(m_cacheOrder.takeFirst());
}

QString PosterExtraction::jobFilePath(const Job &job) const
{
    return QDir(m_folder).filePath(QStringLiteral("frame-%1.jpg").arg(job.id));
}

qint64 PosterExtraction::cacheKey(double seconds)
{
    return std::llround(seconds * 1000.0);
}

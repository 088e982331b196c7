// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutcommandbench.h"

#include <cmath>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QThread>

#include "exactcutrun.h"
#include "fileprobe.h"
#include "json.h"
#include "mediafactory.h"
#include "progress.h"
#include "resourceusage.h"
#include "resultstable.h"
#include "samples.h"
#include "stopwatch.h"
#include "timeline.h"
#include "trackmap.h"
#include "trimcommand.h"
#include "trimjob.h"

extern char **environ;

namespace {

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

// The peak resident memory of a running process, in kibibytes; none while it is still the spawning program,
// whose memory it shares until it runs its own. getrusage() is no help: a spawned process's peak counts the
// memory of the one that spawned it.
long ownPeakKiB(pid_t pid)
{
    static const QString bench = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == bench)
        return 0;
    return ResourceUsage::peakResidentKiBOf(pid);
}

pid_t spawn(const QStringList &command)
{
    QList<QByteArray> words;
    for (const QString &word : command)
        words.append(QFile::encodeName(word));
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Results and progress are not what is measured.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

} // namespace

CutCommandBench::CutCommandBench(const QString &workFolder, ResultsTable &table)
    : m_workFolder(workFolder)
    , m_table(table)
    , m_tools(MediaFactory::toolsFolder())
{
}

CutCommandBench::Run CutCommandBench::run(const QString &program, const QStringList &arguments, Peak peak)
{
    Run result;
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = spawn(QStringList{program} + arguments);
    if (pid < 0)
        return result;
    int status = 0;
    // Read while it runs, the peak so far being the peak: a short process is read as often as it can be.
    const useconds_t pause = peak == Peak::Polled ? 0 : 5000;
    pid_t ended = 0;
    while (peak != Peak::None && (ended = ::waitpid(pid, &status, WNOHANG)) == 0) {
        result.peakKiB = std::max(result.peakKiB, ownPeakKiB(pid));
        if (pause > 0)
            ::usleep(pause);
    }
    if (peak == Peak::None)
        ended = ::waitpid(pid, &status, 0);
    if (ended != pid)
        return result;
    result.wallMs = double(clock.nsecsElapsed()) / 1.0e6;
    result.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

bool CutCommandBench::runPool(const QList<QStringList> &commands, int atOnce)
{
    qsizetype next = 0;
    int running = 0;
    bool succeeded = true;
    while (next < commands.size() || running > 0) {
        while (running < atOnce && next < commands.size()) {
            succeeded = spawn(commands.at(next++)) > 0 && succeeded;
            ++running;
        }
        int status = 0;
        if (::waitpid(-1, &status, 0) < 0)
            return false;
        --running;
        succeeded = succeeded && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return succeeded;
}

QString CutCommandBench::cutProgram() const
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kestrel"));
}

// Hard links: as many inputs as asked, and the disk space of one.
QStringList CutCommandBench::linkedInputs(const BenchClip &clip, int count) const
{
    QDir folder(QDir(m_workFolder).filePath(QStringLiteral("inputs")));
    folder.removeRecursively();
    QDir().mkpath(folder.path());
    QStringList inputs;
    for (int i = 0; i < count; ++i) {
        const QString input = folder.filePath(QStringLiteral("input%1.%2").arg(i + 1, 2, 10, QLatin1Char('0'))
                                                  .arg(QFileInfo(clip.path).suffix()));
        if (::link(QFile::encodeName(clip.path).constData(), QFile::encodeName(input).constData()) != 0)
            return {};
        inputs.append(input);
    }
    return inputs;
}

void CutCommandBench::addRow(const QString &action, const Samples &command, const Samples &baseline,
                             const QString &baselineIs, const QString &goal, bool met) const
{
    const bool complete = command.count() > 0 && command.failures() == 0 && baseline.count() > 0
                       && baseline.failures() == 0;
    m_table.addRow({action, ResultsTable::runsText(command), ResultsTable::durationText(command.medianWallMs()),
                    ResultsTable::durationText(baseline.medianWallMs()),
                    ResultsTable::ratioText(command.medianWallMs(), baseline.medianWallMs()), baselineIs, QString(),
                    QString(), goal.isEmpty() ? QString() : goal + QStringLiteral(": ")
                                                               + ResultsTable::goalText(complete && met)});
}

void CutCommandBench::measureStartup(int repetitions)
{
    progress(QStringLiteral("kestrel cut: start-up and memory, %1 fresh processes each").arg(repetitions));
    Samples command, prober;
    QList<double> commandKiB, proberKiB;
    const QString sniffer = m_tools.pathForResource(ToolLocator::sniffer);
    const QStringList help{QStringLiteral("cut"), QStringLiteral("--help")};
    const QStringList version{QStringLiteral("-version")};
    for (int i = 0; i < repetitions; ++i) {
        const Run cut = run(cutProgram(), help);
        const Run probe = run(sniffer, version);
        cut.succeeded ? command.add(Cost{cut.wallMs, 0.0}) : command.addFailure();
        probe.succeeded ? prober.add(Cost{probe.wallMs, 0.0}) : prober.addFailure();
        // Apart from the timed runs, which the reading would slow.
        commandKiB.append(double(run(cutProgram(), help, Peak::Polled).peakKiB));
        proberKiB.append(double(run(sniffer, version, Peak::Polled).peakKiB));
    }
    const double goal = startupGoalRatio;
    addRow(QStringLiteral("kestrel cut --help: start-up"), command, prober, QStringLiteral("ffprobe -version"),
           QStringLiteral("≤ %1×").arg(goal, 0, 'f', 1), command.medianWallMs() <= goal * prober.medianWallMs());
    const double commandPeak = Samples::median(commandKiB);
    const double proberPeak = Samples::median(proberKiB);
    m_table.addRow({QStringLiteral("kestrel cut --help: peak RSS"), QString::number(repetitions),
                    ResultsTable::mebibytesText(commandPeak), ResultsTable::mebibytesText(proberPeak),
                    ResultsTable::ratioText(commandPeak, proberPeak), QStringLiteral("ffprobe -version"), QString(),
                    QString(), QStringLiteral("≤ %1×: %2").arg(goal, 0, 'f', 1)
                                   .arg(ResultsTable::goalText(commandPeak <= goal * proberPeak))});
}

// The selection of the exact cut bench: off keyframes, a third of a second into a second.
void CutCommandBench::measureExactCut(const BenchClip &clip, double seconds, int repetitions)
{
    progress(QStringLiteral("kestrel cut: exact cut, %1 s: %2").arg(seconds).arg(clip.label));
    const auto probe = FileProbe::create(clip.path, m_tools);
    if (!(probe->duration() > seconds))
        return;
    const double start = std::floor((probe->duration() - seconds) / 2) + 1.0 / 3;
    const double end = start + seconds;
    const QString output = QDir(m_workFolder).filePath(QStringLiteral("cut-command.mp4"));
    const QString work = QDir(m_workFolder).filePath(QStringLiteral("cut-command-parts"));
    QDir().mkpath(work);
    const Timeline timeline = Timeline::of(*probe);
    const ExactCutRun::Source source{clip.path, probe->formatName(),
                                     probe->trackDictionaries(QStringLiteral("Video")).value(0).dictionaryObject()
                                         .value_or(QJsonObject()),
                                     probe->mediaTracks()};
    // The window's own run, on a file it has opened already.
    const auto window = [&] {
        ExactCutRun cut(m_tools, work);
        QEventLoop loop;
        bool succeeded = false;
        QObject::connect(&cut, &ExactCutRun::finished, &loop, [&](TrimRun::Outcome outcome) {
            succeeded = outcome == TrimRun::Outcome::Succeeded;
            loop.quit();
        });
        cut.start(source, timeline.toStream(start), timeline.toStream(end), output);
        loop.exec();
        QFile::remove(output);
        return succeeded;
    };
    Samples command, inWindow;
    long peakKiB = 0;
    for (int i = 0; i < repetitions; ++i) {
        if (i % 2 == 1)
            inWindow.add(Stopwatch::timed(window));
        const Run cut = run(cutProgram(), {QStringLiteral("cut"), QStringLiteral("--exact"), QStringLiteral("--from"),
                                           secondsText(start), QStringLiteral("--to"), secondsText(end),
                                           QStringLiteral("--force"), QStringLiteral("-o"), output, clip.path},
                            Peak::PolledSlowly);
        cut.succeeded ? command.add(Cost{cut.wallMs, 0.0}) : command.addFailure();
        peakKiB = std::max(peakKiB, cut.peakKiB);
        QFile::remove(output);
        if (i % 2 == 0)
            inWindow.add(Stopwatch::timed(window));
    }
    const QString action = QStringLiteral("kestrel cut --exact, %1 s, %2 (its own peak RSS %3)")
                               .arg(seconds)
                               .arg(clip.label, ResultsTable::mebibytesText(double(peakKiB)));
    progress(QStringLiteral("  %1: %2, in the window %3")
                 .arg(action, ResultsTable::durationText(command.medianWallMs()),
                      ResultsTable::durationText(inWindow.medianWallMs())));
    addRow(action, command, inWindow, QStringLiteral("the window's exact cut of the file it has open"),
           QStringLiteral("≤ %1×").arg(exactCutGoalRatio, 0, 'f', 2),
           command.medianWallMs() <= exactCutGoalRatio * inWindow.medianWallMs());
}

void CutCommandBench::measureCopyBatch(const BenchClip &clip, int inputs, double seconds, int repetitions)
{
    progress(QStringLiteral("kestrel cut: %1 stream copies of %2 s, two at a time: %3").arg(inputs).arg(seconds)
                 .arg(clip.label));
    const QStringList files = linkedInputs(clip, inputs);
    const auto probe = FileProbe::create(clip.path, m_tools);
    if (files.isEmpty() || !(probe->duration() > seconds))
        return;
    const double start = std::floor((probe->duration() - seconds) / 2);
    QDir out(QDir(m_workFolder).filePath(QStringLiteral("batch")));
    // The creator's own copies, with the arguments of the window's copy of each input.
    QList<QStringList> copies;
    const QString creator = m_tools.pathForResource(ToolLocator::creator);
    for (const QString &file : files) {
        const auto fileProbe = FileProbe::create(file, m_tools);
        TrimJob job;
        job.input = fileProbe.get();
        job.timeline = Timeline::of(*fileProbe);
        job.start = start;
        job.end = start + seconds;
        job.keptTracks = TrackMap::heldOf(fileProbe->mediaTracks(), QFileInfo(file).suffix(), TrackMap::Mode::Copy);
        job.outputPath = out.filePath(QFileInfo(file).fileName());
        copies.append(QStringList{creator} + TrimCommand::trimArguments(job.parameters(job.outputPath)));
    }
    Samples command, shell;
    for (int i = 0; i < repetitions; ++i) {
        for (const bool own : {i % 2 == 0, i % 2 != 0}) {
            out.removeRecursively();
            QDir().mkpath(out.path());
            if (own) {
                const Run cut = run(cutProgram(), QStringList{QStringLiteral("cut"), QStringLiteral("--copy"),
                                                              QStringLiteral("--from"), secondsText(start),
                                                              QStringLiteral("--duration"), secondsText(seconds),
                                                              QStringLiteral("--jobs"), QStringLiteral("2"),
                                                              QStringLiteral("--output-dir"), out.path()}
                                                      + files);
                cut.succeeded ? command.add(Cost{cut.wallMs, 0.0}) : command.addFailure();
            } else {
                shell.add(Stopwatch::timed([&] { return runPool(copies, 2); }));
            }
        }
    }
    out.removeRecursively();
    addRow(QStringLiteral("kestrel cut --copy --jobs 2, %1 inputs of %2, %3 s each").arg(inputs).arg(clip.label)
               .arg(seconds),
           command, shell, QStringLiteral("ffmpeg's own copies, two at a time"),
           QStringLiteral("≤ %1×").arg(batchGoalRatio, 0, 'f', 1),
           command.medianWallMs() <= batchGoalRatio * shell.medianWallMs());
}

void CutCommandBench::measureExactBatch(const BenchClip &clip, int inputs, double seconds)
{
    progress(QStringLiteral("kestrel cut: %1 exact cuts of %2 s, side by side and one after the other: %3")
                 .arg(inputs).arg(seconds).arg(clip.label));
    const QStringList files = linkedInputs(clip, inputs);
    const auto probe = FileProbe::create(clip.path, m_tools);
    if (files.isEmpty() || !(probe->duration() > seconds))
        return;
    const double start = std::floor((probe->duration() - seconds) / 2) + 1.0 / 3;
    QDir out(QDir(m_workFolder).filePath(QStringLiteral("batch")));
    const auto cut = [&](int jobs) {
        out.removeRecursively();
        QDir().mkpath(out.path());
        const Run run = CutCommandBench::run(
            cutProgram(), QStringList{QStringLiteral("cut"), QStringLiteral("--exact"), QStringLiteral("--from"),
                                      secondsText(start), QStringLiteral("--duration"), secondsText(seconds),
                                      QStringLiteral("--jobs"), QString::number(jobs), QStringLiteral("--output-dir"),
                                      out.path()} + files);
        return run.succeeded ? std::optional(Cost{run.wallMs, 0.0}) : std::nullopt;
    };
    Samples sideBySide, oneByOne;
    sideBySide.add(cut(2));
    oneByOne.add(cut(1));
    out.removeRecursively();
    addRow(QStringLiteral("kestrel cut --exact --jobs 2, %1 inputs of %2, %3 s each (%4 cores)").arg(inputs)
               .arg(clip.label).arg(seconds).arg(QThread::idealThreadCount()),
           sideBySide, oneByOne, QStringLiteral("the same with --jobs 1"), QString(), true);
}

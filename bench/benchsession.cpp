// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchsession.h"
#include "timefield.h"
#include "timetext.h"

#include <functional>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "progress.h"
#include "appdelegate.h"
#include "filmstrip.h"
#include "fileprobe.h"
#include "overviewstrip.h"
#include "keyframescan.h"
#include "mediafactory.h"
#include "mpvplayer.h"
#include "openflow.h"
#include "playback.h"
#include "posterextraction.h"
#include "posterwatch.h"
#include "rangeslider.h"
#include "resourceusage.h"
#include "resultstable.h"
#include "samples.h"
#include "waveform.h"

namespace {

// Far beyond any trim of the benchmark: only a hung encoder reaches it.
constexpr int trimTimeoutMs = 15 * 60 * 1000;
// The app gives up on one extraction after 30 s, and an action waits for
// two at most: the one running and its own.
constexpr int posterTimeoutMs = 2 * 60 * 1000;
// The overview's runs may cost this much more than the creator's decoding alone.
constexpr double overviewGoalRatio = 1.1;
// A second-long drag: 30 moves, one every 33 ms, as a mouse reports them.
constexpr int dragMoves = 30;
constexpr int dragMoveIntervalMs = 33;
constexpr int dragPixels = 90;
// The frame shown is painted within a tick or two of the loop; a stall
// there counts as well.
constexpr int paintSettleMs = 3 * StallMeter::intervalMs;

const QString appTrimName = QStringLiteral("app-trim.mp4");
const QString directTrimName = QStringLiteral("direct-trim.mp4");
const QString copyName = QStringLiteral("copy.mp4");
const QString posterName = QStringLiteral("direct-poster.jpg");

void report(const QString &action, const Samples &app, const Samples &baseline)
{
    progress(QStringLiteral("  %1: Kestrel %2, baseline %3 (%4 runs)")
                 .arg(action, ResultsTable::durationText(app.medianWallMs()),
                      ResultsTable::durationText(baseline.medianWallMs()), ResultsTable::runsText(app)));
}

void report(const QString &action, const Samples &app, const Samples &baseline, const QList<double> &stallsMs)
{
    report(action, app, baseline);
    progress(QStringLiteral("  %1: longest stall %2")
                 .arg(action, ResultsTable::durationText(Samples::largest(stallsMs))));
}

// One repetition of a side-by-side measure: the app and the direct run take
// turns at going first, so that neither always finds the caches warm.
void inTurn(int repetition, const std::function<void()> &appRun, const std::function<void()> &directRun)
{
    if (repetition % 2 == 1)
        directRun();
    appRun();
    if (repetition % 2 == 0)
        directRun();
}

Cost plus(const Cost &a, const Cost &b)
{
    return {a.wallMs + b.wallMs, a.ownCpuMs + b.ownCpuMs};
}

// The event loop itself, not processEvents() in a loop with sleeps: a sleep
// would look like a stall of the app.
void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QString positionName(int position)
{
    static const QStringList names{QStringLiteral("start"), QStringLiteral("middle"), QStringLiteral("end")};
    return names.at(position);
}

} // namespace

BenchSession::BenchSession(const QString &workFolder, ResultsTable &table)
    : m_workFolder(workFolder)
    , m_table(table)
    , m_tools(MediaFactory::toolsFolder())
    , m_direct(m_tools)
    , m_delegate(std::make_unique<AppDelegate>(MediaFactory::toolsFolder(), workPath(QStringLiteral("tmp"))))
    , m_posters(std::make_unique<PosterWatch>(m_delegate->findChild<PosterExtraction *>()))
{
    QMainWindow *window = m_delegate->window();
    m_slider = window->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    m_forceEncode = window->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"));
    m_keyframes = m_delegate->findChild<KeyframeScan *>();
    window->show();
    m_delegate->applicationDidFinishLaunching();
    QApplication::processEvents();
}

BenchSession::~BenchSession()
{
    m_delegate->applicationWillTerminate();
    removeWorkFiles();
}

QString BenchSession::workPath(const QString &name) const
{
    return QDir(m_workFolder).filePath(name);
}

void BenchSession::removeWorkFiles() const
{
    for (const QString &name : {appTrimName, directTrimName, copyName, posterName})
        QFile::remove(workPath(name));
}

double BenchSession::duration() const
{
    return m_delegate->globalFP() ? m_delegate->globalFP()->duration() : 0.0;
}

// Posters ---------------------------------------------------------------------

// `lead` runs untimed but watched for stalls, such as the moves of a drag
// before its release; the poster is timed from `action` on.
BenchSession::PosterRun BenchSession::posterRun(const std::function<void()> &lead,
                                                const std::function<void()> &action, std::optional<double> seconds)
{
    m_stalls.start();
    if (lead)
        lead();
    m_posters->arm();
    action();
    PosterRun run;
    run.poster = m_posters->waitForExact(seconds.value_or(knobSeconds()), posterTimeoutMs);
    runEventLoopFor(paintSettleMs);
    m_stalls.stop();
    run.longestStallMs = m_stalls.longestMs();
    waitForPosters();
    return run;
}

// The time of the knob that moved last, where the app takes its poster.
double BenchSession::knobSeconds() const
{
    return m_delegate->posterSeconds();
}

bool BenchSession::waitForPosters() const
{
    if (m_posters->waitUntilIdle(posterTimeoutMs))
        return true;
    progress(QStringLiteral("  the app's poster extraction did not come to rest"));
    return false;
}

// Opening -------------------------------------------------------------------

void BenchSession::openVideo(const BenchClip &clip) const
{
    m_delegate->openVideo(QUrl::fromLocalFile(clip.path));
}

bool BenchSession::waitForOpen() const
{
    const auto *opening = m_delegate->findChild<OpenFlow *>();
    return QTest::qWaitFor([opening] { return !opening->isOpening(); }, posterTimeoutMs);
}

bool BenchSession::open(const BenchClip &clip)
{
    openVideo(clip);
    const std::shared_ptr<const FileProbe> probe = waitForOpen() ? m_delegate->globalFP() : nullptr;
    if (!probe || !probe->isValidMediaFile() || !probe->hasVideoTrack() || duration() <= 0) {
        progress(QStringLiteral("  the app did not accept %1").arg(clip.label));
        return false;
    }
    return waitForPosters();
}

// The app remembers what it learnt of a file for when it is opened again;
// forgotten, every timed open is that file's first.
void BenchSession::forgetOpenedFiles() const
{
    m_delegate->findChild<OpenFlow *>()->cache().clear();
}

void BenchSession::measureOpen(const BenchClip &clip, int repetitions)
{
    progress(QStringLiteral("open: %1").arg(clip.label));
    // The first, untimed open warms the page cache and tells the time of the
    // centred selection's start, whose frame the app shows after opening.
    if (!open(clip))
        return;
    const double startTime = m_slider->start() * duration();
    const QString poster = workPath(posterName);
    const auto extractStart = [&] { return m_direct.extractPoster(clip.path, startTime, poster); };
    Samples first, again, probeAndShown, shown;
    QList<double> stalls;
    for (int i = 0; i < repetitions; ++i) {
        inTurn(
            i,
            [&] {
                forgetOpenedFiles();
                const PosterRun run = posterRun({}, [&] { openVideo(clip); }, startTime);
                first.add(run.poster);
                stalls.append(run.longestStallMs);
                waitForPosters();
            },
            [&] { probeAndShown.add(Stopwatch::timed([&] { return m_direct.probe(clip.path) && extractStart(); })); });
    }
    for (int i = 0; i < repetitions; ++i) {
        inTurn(
            i,
            [&] {
                const PosterRun run = posterRun({}, [&] { openVideo(clip); }, startTime);
                again.add(run.poster);
                stalls.append(run.longestStallMs);
                waitForPosters();
            },
            [&] { shown.add(Stopwatch::timed(extractStart)); });
    }
    report(QStringLiteral("open"), first, probeAndShown, stalls);
    report(QStringLiteral("open again"), again, shown);
    const QString action = QStringLiteral("open, %1").arg(clip.label);
    m_table.addPosterTimes(action, first, probeAndShown,
                           QStringLiteral("ffprobe + 1 poster extraction, the start's frame shown"), stalls,
                           QStringLiteral("poster"), ResultsTable::openStallGoalMs);
    m_table.addPosterTimes(action + QStringLiteral(", opened again unchanged"), again, shown,
                           QStringLiteral("1 poster extraction, the start's frame shown"), stalls,
                           QStringLiteral("poster"), ResultsTable::openStallGoalMs);
    measureFirstLooks(clip, repetitions);
}

// Right after an open, as soon as the start's frame shows, a person looks at
// the other knob or moves the start: the app has begun to fetch the end's
// frame meanwhile, which the first must be able to use and the second must
// not have to wait for.
void BenchSession::measureFirstLooks(const BenchClip &clip, int repetitions)
{
    const QString poster = workPath(posterName);
    const double startTime = m_slider->start() * duration();
    const bool endsAtEnd = m_slider->end() >= 1.0;
    const auto pressEnd = [this] {
        const QPoint end = m_slider->endKnobFrame().center().toPoint();
        QTest::mousePress(m_slider, Qt::LeftButton, Qt::NoModifier, end);
        QTest::mouseRelease(m_slider, Qt::LeftButton, Qt::NoModifier, end);
    };
    Samples endLooks, endDirect, nudges, nudgeDirect;
    QList<double> stalls;
    for (int i = 0; i < repetitions; ++i) {
        // Timed from the moment the start's frame shows, with nothing else awaited.
        const auto openShown = [&] {
            m_posters->arm();
            openVideo(clip);
            m_posters->waitForExact(startTime, posterTimeoutMs);
        };
        PosterRun run;
        if (endsAtEnd) {
            run = posterRun(openShown, pressEnd);
            endLooks.add(run.poster);
            stalls.append(run.longestStallMs);
            waitForPosters();
            const double time = knobSeconds();
            endDirect.add(Stopwatch::timed([&] { return m_direct.extractPoster(clip.path, time, poster); }));
        }
        run = posterRun(openShown, [&] { m_delegate->leftSecondUpBTNClicked(); });
        nudges.add(run.poster);
        stalls.append(run.longestStallMs);
        waitForPosters();
        const double time = knobSeconds();
        nudgeDirect.add(Stopwatch::timed([&] { return m_direct.extractPoster(clip.path, time, poster); }));
    }
    const QString label = QStringLiteral(", right after the open, %1").arg(clip.label);
    if (endsAtEnd) {
        report(QStringLiteral("end knob after the open"), endLooks, endDirect, stalls);
        m_table.addPosterTimes(QStringLiteral("end knob pressed, the clip's last frame") + label, endLooks, endDirect,
                               QStringLiteral("1 poster extraction of the clip's last frame"), stalls);
    }
    report(QStringLiteral("start nudged after the open"), nudges, nudgeDirect, stalls);
    m_table.addPosterTimes(QStringLiteral("start nudged 1 s later") + label, nudges, nudgeDirect,
                           QStringLiteral("1 poster extraction, same arguments"), stalls);
}

// Playback ------------------------------------------------------------------

// From triggering the Playback menu's action until the playhead's frame is
// in view: drawn by the player, or a still of the frames a step back
// decoded; for Play, until its first new frame is drawn.
std::optional<Cost> BenchSession::playerRun(const QString &actionName)
{
    auto *action = m_delegate->window()->findChild<QAction *>(actionName);
    Playback *playback = m_delegate->findChild<Playback *>();
    const bool play = actionName == QLatin1String("playPauseAction");
    const Stopwatch watch;
    std::optional<Cost> cost;
    QEventLoop loop;
    const MpvPlayer *player = playback->player();
    const double before = player->position();
    // mpv may draw the frame before or after it tells that the seek is done.
    bool drawn = false;
    bool found = false;
    const auto check = [&] {
        const bool done = play ? drawn && player->position() != before
                               : found && (drawn || playback->view()->isShowingStill());
        if (done && !cost) {
            cost = watch.elapsed();
            loop.quit();
        }
    };
    QObject::connect(player, &MpvPlayer::frameReady, &loop, [&] {
        drawn = true;
        check();
    });
    QObject::connect(playback, &Playback::frameFound, &loop, [&] {
        found = true;
        check();
    });
    QObject::connect(player, &MpvPlayer::positionChanged, &loop, check);
    QTimer::singleShot(posterTimeoutMs, &loop, &QEventLoop::quit);
    m_stalls.start();
    action->trigger();
    // A still decoded before is shown at once, before the loop would run.
    if (!cost)
        loop.exec();
    runEventLoopFor(paintSettleMs);
    m_stalls.stop();
    if (play)
        m_delegate->window()->findChild<QAction *>(QStringLiteral("playPauseAction"))->trigger();
    const bool rested = QTest::qWaitFor([playback, player] { return player->isPaused() && !playback->isFindingFrame(); },
                                        posterTimeoutMs);
    return rested ? cost : std::nullopt;
}

// The playhead put on the frame at `seconds`, as a time typed under the video.
bool BenchSession::goToPlayhead(double seconds)
{
    auto *field = m_delegate->window()->findChild<TimeField *>(QStringLiteral("playheadTF"));
    emit field->timeTyped(timeTextFromSeconds(seconds));
    const Playback *playback = m_delegate->findChild<Playback *>();
    return QTest::qWaitFor([playback] { return !playback->isFindingFrame(); }, posterTimeoutMs);
}

// Each run starts half a second further into a group than the one before,
// from a frame 45 % into the file: a first step back there needs frames no
// earlier run decoded, which the second step back then finds decoded.
void BenchSession::measurePlayback(const BenchClip &clip, int repetitions)
{
    progress(QStringLiteral("player: %1").arg(clip.label));
    if (!open(clip))
        return;
    // The first step makes the player; it is not timed.
    m_delegate->window()->findChild<QAction *>(QStringLiteral("frameForwardAction"))->trigger();
    const Playback *playback = m_delegate->findChild<Playback *>();
    if (!playback->player() || !QTest::qWaitFor([playback] { return !playback->isFindingFrame(); }, posterTimeoutMs))
        return;
    const QString poster = workPath(posterName);
    const auto extraction = [&] {
        const double time = playback->playhead();
        return Stopwatch::timed([&] { return m_direct.extractPoster(clip.path, time, poster); });
    };
    const QString forward = QStringLiteral("frameForwardAction");
    const QString back = QStringLiteral("frameBackAction");
    const QString play = QStringLiteral("playPauseAction");
    struct Row
    {
        QString label;
        QStringList actions;
        double goal; // against the poster extraction
    };
    const Row rows[] = {{QStringLiteral("step forward"), {forward}, 0.2},
                        {QStringLiteral("first step back"), {forward, back}, 1.05},
                        {QStringLiteral("second step back"), {forward, back, back}, 0.2},
                        {QStringLiteral("Play to the first new frame"), {play}, 1.05}};
    for (const auto &[label, actions, goal] : rows) {
        Samples app, direct;
        QList<double> stalls;
        for (int i = 0; i < repetitions; ++i) {
            if (!goToPlayhead(duration() * 0.45 + 0.5 * i))
                return;
            // Only the last action is timed.
            for (qsizetype a = 0; a + 1 < actions.size(); ++a) {
                if (!playerRun(actions.at(a)))
                    return;
            }
            app.add(playerRun(actions.last()));
            stalls.append(m_stalls.longestMs());
            direct.add(extraction());
        }
        report(label, app, direct, stalls);
        m_table.addPosterTimes(QStringLiteral("player, %1, %2").arg(label, clip.label), app, direct,
                               QStringLiteral("1 poster extraction of the same frame"), stalls, QStringLiteral("frame"),
                               ResultsTable::stallGoalMs, goal);
    }
}

// Keyframes -----------------------------------------------------------------

// From `begin` to the first list of `scan` and to its whole list, with the
// longest stall meanwhile.
BenchSession::ScanRun BenchSession::scanRun(KeyframeScan &scan, const std::function<void()> &begin)
{
    ScanRun run;
    const Stopwatch watch;
    QEventLoop loop;
    const QMetaObject::Connection changed = QObject::connect(&scan, &KeyframeScan::packetsChanged, &loop, [&] {
        if (!run.ticks)
            run.ticks = watch.elapsed();
        if (scan.isComplete()) {
            run.whole = watch.elapsed();
            loop.quit();
        }
    });
    QTimer::singleShot(trimTimeoutMs, &loop, &QEventLoop::quit);
    begin();
    // An open's own probe is timed with the other opens; here the building counts.
    m_stalls.start();
    loop.exec();
    m_stalls.stop();
    QObject::disconnect(changed);
    run.longestStallMs = m_stalls.longestMs();
    return run;
}

// Opening makes the app probe, extract two posters and list the packets
// near the selection's ends, then of the whole file; the baseline runs the
// prober's commands one after another. The posters compete with the listing
// for the processors, so the scan is also timed alone, against the same
// listing commands.
void BenchSession::measureKeyframeIndex(const BenchClip &clip, int repetitions)
{
    progress(QStringLiteral("keyframes: %1").arg(clip.label));
    if (!open(clip))
        return;
    const QList<double> ends{m_slider->start() * duration(), m_slider->end() * duration()};
    const QList<Stretch> around = KeyframeScan::firstStretches(ends, duration());
    Samples openTicks, openWhole, aloneTicks, aloneWhole, direct[4];
    QList<double> stalls;
    KeyframeScan alone(m_tools);
    for (int i = 0; i < repetitions; ++i) {
        const auto appRun = [&] {
            forgetOpenedFiles();
            const ScanRun opened = scanRun(*m_keyframes, [&] { openVideo(clip); });
            waitForPosters();
            const ScanRun scanned = scanRun(alone, [&] { alone.start(clip.path, ends, duration()); });
            openTicks.add(opened.ticks), openWhole.add(opened.whole);
            aloneTicks.add(scanned.ticks), aloneWhole.add(scanned.whole);
            stalls << opened.longestStallMs << scanned.longestStallMs;
        };
        const auto directRun = [&] {
            const std::optional<Cost> probe = Stopwatch::timed([&] { return m_direct.probe(clip.path); });
            const std::optional<Cost> first = Stopwatch::timed([&] { return m_direct.listPackets(clip.path, around); });
            // A short file is listed whole at once.
            const std::optional<Cost> rest =
                around.isEmpty() ? std::optional<Cost>(Cost{})
                                 : Stopwatch::timed([&] { return m_direct.listPackets(clip.path); });
            direct[0].add(probe && first ? std::optional<Cost>(plus(*probe, *first)) : std::nullopt);
            direct[1].add(probe && first && rest ? std::optional<Cost>(plus(plus(*probe, *first), *rest))
                                                  : std::nullopt);
            direct[2].add(first);
            direct[3].add(first && rest ? std::optional<Cost>(plus(*first, *rest)) : std::nullopt);
        };
        inTurn(i, appRun, directRun);
    }
    report(QStringLiteral("keyframe ticks"), openTicks, direct[0], stalls);
    report(QStringLiteral("keyframe index"), openWhole, direct[1]);
    const QString firstRun = around.isEmpty() ? QStringLiteral("all packets") : QStringLiteral("packets near the ends");
    const QString allRuns = around.isEmpty() ? firstRun : firstRun + QStringLiteral(" + all packets");
    const QString label = QStringLiteral(", %1").arg(clip.label);
    m_table.addPosterTimes(QStringLiteral("open to keyframe ticks") + label, openTicks, direct[0],
                           QStringLiteral("ffprobe + ") + firstRun, stalls, QStringLiteral("ticks"));
    m_table.addPosterTimes(QStringLiteral("open to the whole keyframe index") + label, openWhole, direct[1],
                           QStringLiteral("ffprobe + ") + allRuns, stalls, QStringLiteral("index"));
    m_table.addPosterTimes(QStringLiteral("keyframe scan alone to ticks") + label, aloneTicks, direct[2], firstRun,
                           stalls, QStringLiteral("ticks"));
    m_table.addPosterTimes(QStringLiteral("keyframe scan alone to the whole index") + label, aloneWhole, direct[3],
                           allRuns, stalls, QStringLiteral("index"));
}

// The overview ---------------------------------------------------------------

namespace {

// Until `run` tells its end; true when it went through the whole file. The
// largest peak its tool was seen at, asked every few milliseconds, grows
// `toolPeakKiB`.
template<class Run>
bool runToEnd(Run &run, const std::function<void()> &start, long &toolPeakKiB)
{
    QEventLoop loop;
    bool complete = false;
    const QMetaObject::Connection ended = QObject::connect(&run, &Run::finished, &loop, [&](bool whole) {
        complete = whole;
        loop.quit();
    });
    QTimer::singleShot(trimTimeoutMs, &loop, &QEventLoop::quit);
    QTimer memory;
    QObject::connect(&memory, &QTimer::timeout, &loop, [&] {
        for (const QProcess *tool : run.template findChildren<QProcess *>())
            toolPeakKiB = std::max(toolPeakKiB, ResourceUsage::peakResidentKiBOf(tool->processId()));
    });
    memory.start(5);
    start();
    loop.exec();
    QObject::disconnect(ended);
    return complete;
}

} // namespace

// The strip under the slider, each background run to its last picture or
// value, against the creator decoding the same alone: the keyframes only,
// and the first audio track.
void BenchSession::measureOverview(const BenchClip &clip, int repetitions)
{
    progress(QStringLiteral("overview: %1").arg(clip.label));
    const std::shared_ptr<const FileProbe> file = FileProbe::create(clip.path, m_tools);
    const bool hasAudio = file->hasAudioTrack();
    Filmstrip pictures(m_tools);
    Waveform loudness(m_tools);
    const QString quiet = QStringLiteral("-v quiet -nostdin");
    const QStringList keyframesAlone = (quiet + QStringLiteral(" -skip_frame nokey -i %1 -map 0:v:0 -fps_mode passthrough -f null -"))
                                           .split(QLatin1Char(' ')).replaceInStrings(QStringLiteral("%1"), clip.path);
    const QStringList audioAlone =
        (quiet + QStringLiteral(" -i %1 -map 0:a:0 -f null -")).split(QLatin1Char(' ')).replaceInStrings(QStringLiteral("%1"), clip.path);
    Samples appPictures, directPictures, appLoudness, directLoudness;
    long picturesPeakKiB = 0;
    long loudnessPeakKiB = 0;
    for (int i = 0; i < repetitions; ++i) {
        const auto appRun = [&] {
            appPictures.add(Stopwatch::timed([&] {
                return runToEnd(pictures, [&] { pictures.start(*file, OverviewStrip::pictureHeight); }, picturesPeakKiB);
            }));
            if (hasAudio)
                appLoudness.add(Stopwatch::timed([&] {
                    return runToEnd(loudness, [&] { loudness.start(*file); }, loudnessPeakKiB);
                }));
        };
        const auto directRun = [&] {
            directPictures.add(Stopwatch::timed([&] { return m_direct.encode(keyframesAlone); }));
            if (hasAudio)
                directLoudness.add(Stopwatch::timed([&] { return m_direct.encode(audioAlone); }));
        };
        inTurn(i, appRun, directRun);
    }
    const auto memory = [](long kib) { return QStringLiteral("the creator's peak %1 MiB").arg(kib / 1024); };
    m_table.addTimes(QStringLiteral("filmstrip, %1").arg(clip.label), appPictures, directPictures,
                     QStringLiteral("ffmpeg decoding the keyframes alone; ") + memory(picturesPeakKiB),
                     overviewGoalRatio);
    if (hasAudio)
        m_table.addTimes(QStringLiteral("waveform, %1").arg(clip.label), appLoudness, directLoudness,
                         QStringLiteral("ffmpeg decoding the first audio track alone; ") + memory(loudnessPeakKiB),
                         overviewGoalRatio);
}

// Nudging -------------------------------------------------------------------

void BenchSession::measureNudges(const BenchClip &clip, int repetitions)
{
    progress(QStringLiteral("nudge: %1").arg(clip.label));
    if (!open(clip))
        return;
    for (const Position position : {Position::Start, Position::Middle, Position::End})
        measureNudgesAt(clip, position, repetitions);
}

// Every nudge goes the same way, to a time not shown before: the app
// remembers the exact frames it has shown, and a frame shown before would
// time that memory instead of an extraction. The nudges at the start begin a
// quarter second in, so that on a short clip they do not land on the whole
// seconds that the nudges at the end reach.
void BenchSession::measureNudgesAt(const BenchClip &clip, Position position, int repetitions)
{
    const double length = duration();
    Nudge nudge = &AppDelegate::leftSecondUpBTNClicked;
    switch (position) {
    case Position::Start:
        m_slider->setStart(0.25 / length);
        break;
    case Position::Middle:
        m_slider->setStart((length - repetitions) / 2.0 / length);
        break;
    case Position::End:
        // The start goes back to the beginning, so that the end nudged
        // earlier never passes it.
        m_slider->setStart(0.0);
        m_slider->setEnd(1.0);
        nudge = &AppDelegate::rightSecondDownBTNClicked;
        break;
    }
    waitForPosters();

    const QString poster = workPath(posterName);
    Samples app;
    Samples direct;
    QList<double> stalls;
    for (int i = 0; i < repetitions; ++i) {
        // The frame is known only once the app has moved the knob, so the
        // direct extraction always comes second.
        const PosterRun run = posterRun({}, [&] { (m_delegate.get()->*nudge)(); });
        app.add(run.poster);
        stalls.append(run.longestStallMs);
        const double time = knobSeconds();
        direct.add(Stopwatch::timed([&] { return m_direct.extractPoster(clip.path, time, poster); }));
    }
    const QString where = positionName(static_cast<int>(position));
    report(QStringLiteral("nudge at the %1").arg(where), app, direct, stalls);
    m_table.addPosterTimes(QStringLiteral("nudge at the %1, %2").arg(where, clip.label), app, direct,
                           QStringLiteral("1 poster extraction, same arguments"), stalls);
}

// Dragging ------------------------------------------------------------------

// Real mouse events on the knob, with the event loop running between the
// moves as it does between the reports of a real mouse.
void BenchSession::drag(QPoint from, QPoint to) const
{
    QTest::mousePress(m_slider, Qt::LeftButton, Qt::NoModifier, from);
    for (int move = 1; move <= dragMoves; ++move) {
        const QPoint at = from + (to - from) * move / dragMoves;
        QTest::mouseMove(m_slider, at, dragMoveIntervalMs);
        runEventLoopFor(dragMoveIntervalMs);
    }
}

void BenchSession::measureDrag(const BenchClip &clip, int repetitions)
{
    progress(QStringLiteral("drag: %1").arg(clip.label));
    if (!open(clip))
        return;
    const QPoint anchor = m_slider->startKnobFrame().center().toPoint();
    const QString poster = workPath(posterName);
    Samples app;
    Samples direct;
    QList<double> stalls;
    for (int i = 0; i < repetitions; ++i) {
        // Right and left in turn, and never twice to the same pixel, or to
        // the frame shown after opening: a frame shown before would come
        // from the app's memory of exact frames.
        const int offset = i % 2 == 0 ? dragPixels + i : i;
        const QPoint from = m_slider->startKnobFrame().center().toPoint();
        const QPoint to(anchor.x() + offset, from.y());
        const PosterRun run = posterRun([&] { drag(from, to); },
                                        [&] { QTest::mouseRelease(m_slider, Qt::LeftButton, Qt::NoModifier, to); });
        app.add(run.poster);
        stalls.append(run.longestStallMs);
        const double time = knobSeconds();
        direct.add(Stopwatch::timed([&] { return m_direct.extractPoster(clip.path, time, poster); }));
    }
    report(QStringLiteral("drag"), app, direct, stalls);
    m_table.addPosterTimes(QStringLiteral("drag of the start knob, %1 moves in 1 s, %2").arg(dragMoves).arg(clip.label),
                           app, direct, QStringLiteral("1 poster extraction of the frame let go on, same arguments"),
                           stalls);
}

// Trimming ------------------------------------------------------------------

bool BenchSession::selectLength(double seconds)
{
    const qsizetype preset = AppDelegate::presetSecondsDurationArray.indexOf(seconds);
    if (preset < 0 || seconds >= duration())
        return false;
    m_delegate->presetDurationPOPUPChanged(static_cast<int>(preset));
    return waitForPosters();
}

std::optional<Cost> BenchSession::trimThroughApp(const QString &outputPath)
{
    QEventLoop loop;
    std::optional<Cost> cost;
    bool succeeded = false;
    const Stopwatch watch;
    QObject::connect(m_delegate.get(), &AppDelegate::alertShown, &loop, [&](QMessageBox *alert) {
        cost = watch.elapsed();
        alert->hide();
        alert->deleteLater();
    });
    QObject::connect(m_delegate.get(), &AppDelegate::trimFinished, &loop, [&](EncoderRun::Outcome outcome) {
        succeeded = outcome == EncoderRun::Outcome::Succeeded;
        loop.quit();
    });
    QTimer::singleShot(trimTimeoutMs, &loop, &QEventLoop::quit);
    m_delegate->savePanelFinished(outputPath);
    if (m_delegate->isTrimming())
        loop.exec();
    if (!succeeded)
        return std::nullopt;
    return cost;
}

void BenchSession::measureStreamCopy(const BenchClip &clip, double seconds, int repetitions)
{
    progress(QStringLiteral("trim, %1 s stream copy: %2").arg(seconds).arg(clip.label));
    if (!open(clip) || !selectLength(seconds))
        return;
    const QString appOutput = workPath(appTrimName);
    const QString directOutput = workPath(directTrimName);
    const QString copyOutput = workPath(copyName);
    const QStringList arguments = m_delegate->trimArguments(*m_delegate->globalFP(), clip.path, directOutput);

    Samples app;
    Samples direct;
    Samples directAndProbe;
    Samples copy;
    for (int i = 0; i < repetitions; ++i) {
        removeWorkFiles();
        inTurn(i, [&] { app.add(trimThroughApp(appOutput)); },
               [&] { direct.add(Stopwatch::timed([&] { return m_direct.encode(arguments); })); });
        // The app probes its output for the result alert.
        directAndProbe.add(
            Stopwatch::timed([&] { return m_direct.encode(arguments) && m_direct.probe(directOutput); }));
        copy.add(Stopwatch::timed([&] { return m_direct.copy(directOutput, copyOutput); }));
    }
    const double outputKiB = static_cast<double>(QFileInfo(directOutput).size()) / 1024.0;
    report(QStringLiteral("trim against ffmpeg"), app, direct);
    report(QStringLiteral("trim against cp"), app, copy);
    const QString action = QStringLiteral("trim, %1 s stream copy, %2").arg(seconds).arg(clip.label);
    m_table.addTimes(action, app, direct, QStringLiteral("ffmpeg, same arguments"));
    m_table.addTimes(action + QStringLiteral(", against ffmpeg + ffprobe"), app, directAndProbe,
                     QStringLiteral("ffmpeg, then ffprobe of its output"));
    m_table.addTimes(action + QStringLiteral(", against cp"), app, copy,
                     QStringLiteral("cp of the %1 output (ffmpeg ÷ cp: %2)")
                         .arg(ResultsTable::mebibytesText(outputKiB),
                              ResultsTable::ratioText(direct.medianWallMs(), copy.medianWallMs())));
    removeWorkFiles();
}

void BenchSession::measureReencode(const BenchClip &clip, double seconds, int repetitions)
{
    progress(QStringLiteral("trim, %1 s re-encode: %2").arg(seconds).arg(clip.label));
    if (!open(clip) || !selectLength(seconds))
        return;
    m_forceEncode->setChecked(true);
    const QString appOutput = workPath(appTrimName);
    const QString directOutput = workPath(directTrimName);
    const QStringList arguments = m_delegate->trimArguments(*m_delegate->globalFP(), clip.path, directOutput);

    Samples app;
    Samples direct;
    for (int i = 0; i < repetitions; ++i) {
        removeWorkFiles();
        inTurn(i, [&] { app.add(trimThroughApp(appOutput)); },
               [&] { direct.add(Stopwatch::timed([&] { return m_direct.encode(arguments); })); });
    }
    m_forceEncode->setChecked(false);
    report(QStringLiteral("re-encode"), app, direct);
    const QString action = QStringLiteral("trim, %1 s re-encode, %2").arg(seconds).arg(clip.label);
    m_table.addTimes(action, app, direct, QStringLiteral("ffmpeg, same arguments"));
    const auto speed = [seconds](const Samples &samples) {
        const double wallSeconds = samples.medianWallMs() / 1000.0;
        return wallSeconds > 0 ? QStringLiteral("%1× real time").arg(seconds / wallSeconds, 0, 'f', 2)
                               : QStringLiteral("–");
    };
    m_table.addRow({action + QStringLiteral(": speed (video seconds per second)"), ResultsTable::runsText(app),
                    speed(app), speed(direct), ResultsTable::ratioText(direct.medianWallMs(), app.medianWallMs()),
                    QStringLiteral("ffmpeg, same arguments"), QString(), QString(), QString()});
    removeWorkFiles();
}

#include "benchsession.h"

#include <cstdio>
#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include "appdelegate.h"
#include "fileprobe.h"
#include "mediafactory.h"
#include "rangeslider.h"
#include "resultstable.h"
#include "samples.h"

namespace {

// Far beyond any trim of the benchmark: only a hung encoder reaches it.
constexpr int trimTimeoutMs = 15 * 60 * 1000;

const QString appTrimName = QStringLiteral("app-trim.mp4");
const QString directTrimName = QStringLiteral("direct-trim.mp4");
const QString copyName = QStringLiteral("copy.mp4");
const QString posterName = QStringLiteral("direct-poster.jpg");

void progress(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void report(const QString &action, const Samples &app, const Samples &baseline)
{
    progress(QStringLiteral("  %1: Kestrel %2, baseline %3 (%4 runs)")
                 .arg(action, ResultsTable::durationText(app.medianWallMs()),
                      ResultsTable::durationText(baseline.medianWallMs()), ResultsTable::runsText(app)));
}

void add(Samples &samples, const std::optional<Cost> &cost)
{
    if (cost)
        samples.add(*cost);
    else
        samples.addFailure();
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
{
    QMainWindow *window = m_delegate->window();
    m_slider = window->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    m_forceEncode = window->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"));
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

std::optional<Cost> BenchSession::timed(const std::function<bool()> &action)
{
    const Stopwatch watch;
    if (!action())
        return std::nullopt;
    return watch.elapsed();
}

// Opening -------------------------------------------------------------------

Cost BenchSession::timedOpen(const QString &path)
{
    const Stopwatch watch;
    m_delegate->openVideo(QUrl::fromLocalFile(path));
    // The poster is set by now; this paints it.
    QApplication::processEvents();
    return watch.elapsed();
}

bool BenchSession::open(const BenchClip &clip)
{
    timedOpen(clip.path);
    const std::shared_ptr<const FileProbe> probe = m_delegate->globalFP();
    if (!probe || !probe->isValidMediaFile() || !probe->hasVideoTrack() || duration() <= 0) {
        progress(QStringLiteral("  the app did not accept %1").arg(clip.label));
        return false;
    }
    return true;
}

// Opening a file whose proposed selection is the one already in place moves
// no knob, and the app then extracts one poster instead of two. A selection
// elsewhere makes every timed open the first open of that file.
void BenchSession::moveSelectionAway()
{
    m_slider->setStart(0.5);
    m_slider->setEnd(0.5);
    QApplication::processEvents();
}

bool BenchSession::measureOpen(const BenchClip &clip, int repetitions)
{
    progress(QStringLiteral("open: %1").arg(clip.label));
    // The first, untimed open warms the page cache and tells the times of
    // the centred selection's ends, where the app extracts its posters.
    if (!open(clip))
        return false;
    const double endTime = m_slider->end() * duration();
    const double startTime = m_slider->start() * duration();
    const QString poster = workPath(posterName);

    Samples app;
    Samples direct;
    const auto openDirectly = [&] {
        return m_direct.probe(clip.path) && m_direct.extractPoster(clip.path, endTime, poster)
            && m_direct.extractPoster(clip.path, startTime, poster);
    };
    for (int i = 0; i < repetitions; ++i) {
        inTurn(
            i,
            [&] {
                moveSelectionAway();
                app.add(timedOpen(clip.path));
            },
            [&] { add(direct, timed(openDirectly)); });
    }
    report(QStringLiteral("open"), app, direct);
    m_table.addTimes(QStringLiteral("open, %1").arg(clip.label), app, direct,
                     QStringLiteral("ffprobe + 2 poster extractions"));
    return true;
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

void BenchSession::measureNudgesAt(const BenchClip &clip, Position position, int repetitions)
{
    const double length = duration();
    // Nudges alternate forth and back, so the knob stays near its place.
    Nudge forth = &AppDelegate::leftSecondUpBTNClicked;
    Nudge back = &AppDelegate::leftSecondDownBTNClicked;
    bool movesStart = true;
    switch (position) {
    case Position::Start:
        m_slider->setStart(0.0);
        break;
    case Position::Middle:
        m_slider->setStart((length / 2.0 - 0.5) / length);
        break;
    case Position::End:
        m_slider->setEnd((length - 0.5) / length);
        forth = &AppDelegate::rightSecondDownBTNClicked;
        back = &AppDelegate::rightSecondUpBTNClicked;
        movesStart = false;
        break;
    }
    QApplication::processEvents();

    const QString poster = workPath(posterName);
    Samples app;
    Samples direct;
    for (int i = 0; i < repetitions; ++i) {
        const Nudge nudge = i % 2 == 0 ? forth : back;
        const Stopwatch watch;
        (m_delegate.get()->*nudge)();
        QApplication::processEvents();
        app.add(watch.elapsed());
        const double time = (movesStart ? m_slider->start() : m_slider->end()) * length;
        add(direct, timed([&] { return m_direct.extractPoster(clip.path, time, poster); }));
    }
    const QString where = positionName(static_cast<int>(position));
    report(QStringLiteral("nudge at the %1").arg(where), app, direct);
    m_table.addTimes(QStringLiteral("nudge at the %1, %2").arg(where, clip.label), app, direct,
                     QStringLiteral("1 poster extraction"));
}

// Trimming ------------------------------------------------------------------

bool BenchSession::selectLength(double seconds)
{
    const qsizetype preset = AppDelegate::presetSecondsDurationArray.indexOf(seconds);
    if (preset < 0 || seconds >= duration())
        return false;
    m_delegate->presetDurationPOPUPChanged(static_cast<int>(preset));
    QApplication::processEvents();
    return true;
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
        inTurn(i, [&] { add(app, trimThroughApp(appOutput)); },
               [&] { add(direct, timed([&] { return m_direct.encode(arguments); })); });
        // The app probes its output for the result alert.
        add(directAndProbe, timed([&] { return m_direct.encode(arguments) && m_direct.probe(directOutput); }));
        add(copy, timed([&] { return m_direct.copy(directOutput, copyOutput); }));
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
        inTurn(i, [&] { add(app, trimThroughApp(appOutput)); },
               [&] { add(direct, timed([&] { return m_direct.encode(arguments); })); });
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
                    QStringLiteral("ffmpeg, same arguments"), QString()});
    removeWorkFiles();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// `kestrel cut` from its arguments: each option read, and each usage error refused with its reason before any
// tool runs.

#include <csignal>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "cutoptions.h"
#include "cutrunner.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "mediafactory.h"

using namespace Qt::StringLiterals;

namespace {

// What the options came to, in one line a row can name.
QString summary(const CutOptions &options)
{
    if (!options.error.isEmpty())
        return u"error: "_s + options.error;
    if (options.helpAsked)
        return u"help"_s;
    const char *const kinds[] = {"auto", "copy", "exact", "reencode"};
    const char *const tracks[] = {"all", "none", "listed"};
    QStringList kept;
    for (const int index : options.keptTracks)
        kept << QString::number(index);
    return u"%1-%2-%3 %4 o=%5 dir=%6 tracks=%7%8 jobs=%9%10%11%12%13%14 in=%15"_s.arg(options.from)
        .arg(options.to ? QString::number(*options.to) : u"_"_s)
        .arg(options.duration ? QString::number(*options.duration) : u"_"_s)
        .arg(QLatin1String(kinds[int(options.kind)]), options.output, options.outputFolder,
             QLatin1String(tracks[int(options.tracks)]), kept.isEmpty() ? QString() : u":"_s + kept.join(u','))
        .arg(options.jobs)
        .arg(options.dryRun ? u" dry"_s : QString(), options.json ? u" json"_s : QString(),
             options.force ? u" force"_s : QString(), options.quiet ? u" quiet"_s : QString(),
             options.progress ? u" progress"_s : QString(), options.inputs.join(u','));
}

} // namespace

class TestCut : public QObject
{
    Q_OBJECT

private slots:
    void options_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected");
        const QString defaults = u" o= dir= tracks=all jobs=2 in=a.mp4"_s;
        QTest::newRow("an input alone: all of it, exact where it can be") << u"a.mp4"_s << u"0-_-_ auto"_s + defaults;
        QTest::newRow("from and to, every time form") << u"--from 1:02.5 --to 0:01:10 a.mp4"_s
                                                       << u"62.5-70-_ auto"_s + defaults;
        QTest::newRow("to alone starts at the beginning") << u"--to 90,5 a.mp4"_s << u"0-90.5-_ auto"_s + defaults;
        QTest::newRow("from and a duration") << u"--from 10 --duration 5 --copy a.mp4"_s << u"10-_-5 copy"_s + defaults;
        QTest::newRow("every other option")
            << u"--reencode --output-dir out --keep-tracks 1,3 --jobs 3 --dry-run --json --force --quiet a.mp4 b.mkv"_s
            << u"0-_-_ reencode o= dir=out tracks=listed:1,3 jobs=3 dry json force quiet in=a.mp4,b.mkv"_s;
        QTest::newRow("-o, no tracks, progress") << u"--exact -o cut.mp4 --keep-tracks none --progress a.mp4"_s
                                                 << u"0-_-_ exact o=cut.mp4 dir= tracks=none jobs=2 progress in=a.mp4"_s;
        QTest::newRow("help") << u"--help"_s << u"help"_s;
        QTest::newRow("no input") << u"--copy"_s << u"error: No input given."_s;
        QTest::newRow("an unknown option") << u"--fast a.mp4"_s << u"error: Unknown option 'fast'."_s;
        QTest::newRow("a time that is none") << u"--from 1h a.mp4"_s
                                             << u"error: --from takes a time such as 1:30 or 90.5, not “1h”."_s;
        QTest::newRow("to before from") << u"--from 20 --to 10 a.mp4"_s << u"error: --to must come after --from."_s;
        QTest::newRow("to and duration") << u"--to 20 --duration 10 a.mp4"_s
                                         << u"error: --to and --duration cannot both be given."_s;
        QTest::newRow("two kinds") << u"--copy --exact a.mp4"_s
                                   << u"error: Only one of --copy, --exact and --reencode can be given."_s;
        QTest::newRow("one output for several inputs")
            << u"-o x.mp4 a.mp4 b.mp4"_s << u"error: --output names one file; for several inputs give --output-dir."_s;
        QTest::newRow("a file and a folder") << u"-o x.mp4 --output-dir d a.mp4"_s
                                             << u"error: --output and --output-dir cannot both be given."_s;
        QTest::newRow("tracks that are no indexes")
            << u"--keep-tracks 1,en a.mp4"_s
            << u"error: --keep-tracks takes all, none, or track indexes such as 1,3, not “1,en”."_s;
        QTest::newRow("no jobs") << u"--jobs 0 a.mp4"_s << u"error: --jobs takes a whole number from 1, not “0”."_s;
    }

    void options()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        QCOMPARE(summary(CutOptions::parse(arguments.split(u' '), 4)), expected);
    }

    void initTestCase()
    {
        const MediaFactory factory(m_media.path());
        // Two minutes, longer than the frames listed around a selection's ends; keyframes a second apart, and two
        // audio tracks.
        QVERIFY(!factory.generate(u"in.mp4"_s, {u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc2=size=160x90:rate=25:duration=120"_s,
                                                u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=duration=120"_s, u"-map"_s, u"0"_s,
                                                u"-map"_s, u"1"_s, u"-map"_s, u"1"_s, u"-c:v"_s, u"libx264"_s,
                                                u"-g"_s, u"25"_s, u"-c:a"_s, u"aac"_s}).isEmpty());
    }

    // One input cut as asked, read back by the prober: its kind, its length in frames (and of an exact cut, those
    // copied), its audio tracks; progress on standard error only when asked, as it is no terminal.
    void singleRuns_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("copied");
        QTest::addColumn<int>("audioTracks");
        // Its frames are listed around its ends only, and counted by the cut.
        QTest::newRow("exact where the file allows it") << u"--from 10.5 --to 1:40.5"_s << u"exact"_s << 2250 << 2225
                                                        << 2;
        QTest::newRow("a copy from the keyframe before") << u"--copy --from 1.2 --duration 1"_s << u"copy"_s << 25
                                                         << -1 << 2;
        QTest::newRow("a re-encode to the end, no tracks, progress")
            << u"--reencode --from 1:59 --keep-tracks none --progress"_s << u"reencode"_s << 25 << -1 << 0;
        QTest::newRow("one track of two, to alone") << u"--exact --to 0:00.8 --keep-tracks 2"_s << u"exact"_s << 20
                                                    << 0 << 1;
    }

    void singleRuns()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, kind);
        QFETCH(int, frames);
        QFETCH(int, copied);
        QFETCH(int, audioTracks);
        const QString output = m_media.filePath(u"run%1.mp4"_s.arg(++m_runs));
        const QJsonObject result = run(arguments + u" --json -o "_s + output + u' ' + m_media.filePath(u"in.mp4"_s));
        QCOMPARE(result.value(u"outcome"_s).toString(), u"done"_s);
        QCOMPARE(result.value(u"kind"_s).toString(), kind);
        QCOMPARE(result.value(u"frames"_s).toInt(), frames);
        QCOMPARE(result.value(u"copied"_s).toInt(-1), copied);
        if (copied >= 0)
            QCOMPARE(result.value(u"reencoded"_s).toInt() + copied, frames);
        QCOMPARE(result.value(u"tracks"_s).toArray().size(), audioTracks);
        QCOMPARE(m_err.isEmpty(), !arguments.contains(u"--progress"_s));
        QVERIFY2(m_err.isEmpty() || m_err.contains(QRegularExpression(u"^in\\.mp4: \\d+%"_s, QRegularExpression::MultilineOption)),
                 qPrintable(m_err));
        const auto probe = FileProbe::create(output, ToolLocator(MediaFactory::toolsFolder()));
        QCOMPARE(probe->mediaTracks().size(), audioTracks);
        QProcess counter;
        counter.start(QDir(MediaFactory::toolsFolder()).filePath(u"sniffer"_s),
                      {u"-v"_s, u"error"_s, u"-count_frames"_s, u"-select_streams"_s, u"v"_s, u"-show_entries"_s,
                       u"stream=nb_read_frames"_s, u"-of"_s, u"csv=p=0"_s, output});
        QVERIFY(counter.waitForFinished());
        const int written = counter.readAllStandardOutput().trimmed().toInt();
        // A copy holds every frame of the selection, and may hold the group's frames before it.
        QVERIFY2(kind == u"copy"_s ? written >= frames : written == frames, qPrintable(QString::number(written)));
    }

    // Nothing is written where nothing may be: a plan, an output that exists, the input itself.
    void writesNothing_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("commands");
        // The head's and the tail's encodes, the copy between them and the join, with the frames each part holds.
        QTest::newRow("a dry run") << u"--dry-run --from 1.5 --to 3.5 -o plan.mp4"_s << u"planned"_s << QString() << 4;
        QTest::newRow("an output that exists") << u"-o in.mp4.copy"_s << u"skipped"_s
                                               << u"in.mp4.copy already exists. --force replaces it."_s << 0;
        QTest::newRow("the input itself, even forced") << u"--force -o in.mp4"_s << u"failed"_s
                                                       << u"Input file name is same as the output file name!"_s << 0;
        QTest::newRow("beyond the end") << u"--from 200"_s << u"failed"_s << u"The selection is empty"_s << 0;
    }

    void writesNothing()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, outcome);
        QFETCH(QString, error);
        QFETCH(int, commands);
        QFile::copy(m_media.filePath(u"in.mp4"_s), m_media.filePath(u"in.mp4.copy"_s));
        const QStringList before = QDir(m_media.path()).entryList(QDir::Files | QDir::Hidden);
        const QJsonObject result = run(u"--json "_s + arguments.replace(u"-o "_s, u"-o "_s + m_media.path() + u'/')
                                       + u' ' + m_media.filePath(u"in.mp4"_s));
        QCOMPARE(result.value(u"outcome"_s).toString(), outcome);
        QVERIFY2(result.value(u"error"_s).toString().contains(error), qPrintable(result.value(u"error"_s).toString()));
        QCOMPARE(QDir(m_media.path()).entryList(QDir::Files | QDir::Hidden), before);
        QCOMPARE(m_status, outcome == u"planned"_s ? 0 : 1);
        QCOMPARE(result.value(u"commands"_s).toArray().size(), commands);
        if (commands > 0)
            QCOMPARE(result.value(u"copied"_s).toInt() + result.value(u"reencoded"_s).toInt(), 50);
    }

    // Stopped by a signal during an exact cut, the command stops its tools, removes what they wrote, its parts
    // included, and tells the signal.
    void signalStopsEverything()
    {
        const MediaFactory factory(m_media.path());
        const QString input = factory.generate(u"long.mp4"_s, {u"-f"_s, u"lavfi"_s, u"-i"_s,
                                                               u"testsrc2=size=640x360:rate=25:duration=60"_s,
                                                               u"-c:v"_s, u"libx264"_s, u"-preset"_s, u"ultrafast"_s});
        QVERIFY(!input.isEmpty());
        QTemporaryDir folder, work;
        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, work.path());
        command.setProcessEnvironment(environment);
        command.start(QStringLiteral(KESTREL_BINARY),
                      {u"cut"_s, u"--exact"_s, u"--from"_s, u"0.5"_s, u"--output-dir"_s, folder.path(), input});
        // The tools working on the input: the edges' encodes and the copy between them.
        const auto tools = [&] {
            QStringList running;
            for (const QString &process : QDir(u"/proc"_s).entryList({u"[0-9]*"_s}, QDir::Dirs)) {
                QFile line(u"/proc/%1/cmdline"_s.arg(process));
                const QByteArray words = line.open(QIODevice::ReadOnly) ? line.readAll() : QByteArray();
                if (words.contains("-frames:v") && words.contains(input.toUtf8()))
                    running << process;
            }
            return running;
        };
        QVERIFY(QTest::qWaitFor([&] { return !tools().isEmpty(); }, 30000));
        ::kill(pid_t(command.processId()), SIGTERM);
        QVERIFY(command.waitForFinished(10000));
        QCOMPARE(command.exitCode(), 128 + SIGTERM);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QCOMPARE(tools(), QStringList());
    }

    // One broken input among others cut two at a time, by --jobs or by GNU parallel running one command an input:
    // it is told, the others are still cut, and the status says one failed.
    void batchGoesOnPastAFailure_data()
    {
        QTest::addColumn<bool>("throughParallel");
        QTest::newRow("--jobs 2") << false;
        QTest::newRow("GNU parallel, two at a time") << true;
    }

    void batchGoesOnPastAFailure()
    {
        QFETCH(bool, throughParallel);
        QTemporaryDir folder;
        QFile broken(m_media.filePath(u"broken.mp4"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a video") > 0);
        broken.close();
        QFile::copy(m_media.filePath(u"in.mp4"_s), m_media.filePath(u"other.mp4"_s));
        const QStringList inputs{m_media.filePath(u"in.mp4"_s), broken.fileName(), m_media.filePath(u"other.mp4"_s)};
        QString out, err;
        if (throughParallel) {
            QProcess parallel;
            // Each command is quoted whole, as the output's name holds a space.
            parallel.start(u"parallel"_s, QStringList{u"--will-cite"_s, u"--quote"_s, u"-j"_s, u"2"_s,
                                                      QStringLiteral(KESTREL_BINARY), u"cut"_s, u"--copy"_s, u"--to"_s,
                                                      u"1"_s, u"-o"_s, folder.filePath(u"{/.} Trimmed.mp4"_s), u"{}"_s,
                                                      u":::"_s} + inputs);
            QVERIFY(parallel.waitForFinished(60000));
            // GNU parallel's status is the number of commands that failed.
            QCOMPARE(parallel.exitCode(), 1);
            out = QString::fromUtf8(parallel.readAllStandardOutput());
            err = QString::fromUtf8(parallel.readAllStandardError());
        } else {
            QTextStream outStream(&out), errStream(&err);
            const CutOptions options = CutOptions::parse(QStringList{u"--copy"_s, u"--to"_s, u"1"_s, u"--jobs"_s, u"2"_s,
                                                                     u"--output-dir"_s, folder.path()} + inputs, 2);
            const DiagnosticLog::Capture quiet;
            QCOMPARE(CutRunner(ToolLocator(MediaFactory::toolsFolder()), options, outStream, errStream).run(), 1);
            QVERIFY2(err.endsWith(u"2 of 3 cut, 1 failed, 0 skipped\n"_s), qPrintable(err));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"in Trimmed.mp4"_s, u"other Trimmed.mp4"_s}));
        QCOMPARE(out.count(u'\n'), 2);
        QVERIFY2(err.contains(u"“broken.mp4” is not a video file."_s), qPrintable(err));
    }

    void helpNamesTheCommand()
    {
        const QString help = CutOptions::helpText();
        QVERIFY2(help.startsWith(u"Usage: kestrel cut [options] INPUT...\n"_s), qPrintable(help));
        QVERIFY(help.contains(u"--keep-tracks"_s));
    }

private:
    // The one JSON line of a run of `arguments`, its status kept.
    QJsonObject run(const QString &arguments)
    {
        const DiagnosticLog::Capture quiet;
        QString out;
        m_err.clear();
        QTextStream outStream(&out), errStream(&m_err);
        const CutOptions options = CutOptions::parse(arguments.split(u' '), 2);
        m_status = CutRunner(ToolLocator(MediaFactory::toolsFolder()), options, outStream, errStream).run();
        const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
        if (lines.size() != 1)
            qWarning() << options.error << out << m_err;
        return QJsonDocument::fromJson(lines.value(0).toUtf8()).object();
    }

    QTemporaryDir m_media;
    int m_status = -1;
    QString m_err;
    int m_runs = 0;
};

QTEST_GUILESS_MAIN(TestCut)
#include "tst_cut.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// `kestrel cut` from its arguments: each option read, and each usage error refused with its reason before any
// tool runs.

#include <QTest>

#include "cutoptions.h"

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
    return u"%1-%2-%3 %4 o=%5 dir=%6 tracks=%7%8 jobs=%9%10%11%12%13 in=%14"_s.arg(options.from)
        .arg(options.to ? QString::number(*options.to) : u"_"_s)
        .arg(options.duration ? QString::number(*options.duration) : u"_"_s)
        .arg(QLatin1String(kinds[int(options.kind)]), options.output, options.outputFolder,
             QLatin1String(tracks[int(options.tracks)]), kept.isEmpty() ? QString() : u":"_s + kept.join(u','))
        .arg(options.jobs)
        .arg(options.dryRun ? u" dry"_s : QString(), options.json ? u" json"_s : QString(),
             options.force ? u" force"_s : QString(), options.quiet ? u" quiet"_s : QString(),
             options.inputs.join(u','));
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
        QTest::newRow("-o and no tracks") << u"--exact -o cut.mp4 --keep-tracks none a.mp4"_s
                                          << u"0-_-_ exact o=cut.mp4 dir= tracks=none jobs=2 in=a.mp4"_s;
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

    void helpNamesTheCommand()
    {
        const QString help = CutOptions::helpText();
        QVERIFY2(help.startsWith(u"Usage: kestrel cut [options] INPUT...\n"_s), qPrintable(help));
        QVERIFY(help.contains(u"--keep-tracks"_s));
    }
};

QTEST_GUILESS_MAIN(TestCut)
#include "tst_cut.moc"

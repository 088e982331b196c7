// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutoptions.h"

#include <algorithm>

#include <QCommandLineParser>
#include <QCoreApplication>

#include "timetext.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CutOptions", text);
}

struct Parser
{
    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, tr("Show this help.")};
    const QCommandLineOption from{QStringLiteral("from"), tr("Where the selection starts (default: the start)."),
                                  QStringLiteral("TIME")};
    const QCommandLineOption to{QStringLiteral("to"), tr("Where the selection ends (default: the end)."),
                                QStringLiteral("TIME")};
    const QCommandLineOption duration{QStringLiteral("duration"), tr("How long the selection lasts, from --from."),
                                      QStringLiteral("TIME")};
    const QCommandLineOption copy{QStringLiteral("copy"), tr("Copy the streams: keyframes decide where it starts.")};
    const QCommandLineOption exact{QStringLiteral("exact"),
                                   tr("Cut to the frame, re-encoding only the edges (default where the file allows it).")};
    const QCommandLineOption reencode{QStringLiteral("reencode"), tr("Re-encode the selection to MP4.")};
    const QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                                    tr("The file to write, for one input."), QStringLiteral("FILE")};
    const QCommandLineOption outputFolder{QStringLiteral("output-dir"),
                                          tr("The folder to write into, each output named as the window names it."),
                                          QStringLiteral("DIR")};
    const QCommandLineOption keepTracks{QStringLiteral("keep-tracks"),
                                        tr("Audio and subtitle tracks kept: all, none, or their indexes, as in 1,3."),
                                        QStringLiteral("all|none|LIST")};
    const QCommandLineOption jobs{QStringLiteral("jobs"), tr("Inputs cut side by side (default: half the cores)."),
                                  QStringLiteral("N")};
    const QCommandLineOption dryRun{QStringLiteral("dry-run"), tr("Print the plan and write nothing.")};
    const QCommandLineOption json{QStringLiteral("json"), tr("One JSON object a line on standard output for each input.")};
    const QCommandLineOption force{QStringLiteral("force"), tr("Replace an existing output (never an input).")};
    const QCommandLineOption quiet{QStringLiteral("quiet"), tr("Show no progress and no count of a batch.")};
    const QCommandLineOption progress{QStringLiteral("progress"),
                                      tr("Show progress where standard error is no terminal too: a line an input "
                                         "at each tenth done.")};

    Parser()
    {
        parser.setApplicationDescription(tr("Cut one segment out of each video file, without a window. TIME is "
                                            "H:MM:SS.mmm, M:SS or seconds, as the window's time fields take it."));
        parser.addOptions({help, from, to, duration, copy, exact, reencode, output, outputFolder, keepTracks, jobs,
                           dryRun, json, force, quiet, progress});
        parser.addPositionalArgument(QStringLiteral("INPUT"), tr("The videos to cut."), QStringLiteral("INPUT..."));
    }
};

std::optional<double> timeOption(const QCommandLineParser &parser, const QCommandLineOption &option, QString &error)
{
    if (!parser.isSet(option))
        return std::nullopt;
    const QString text = parser.value(option);
    const std::optional<double> seconds = secondsFromTimeText(text);
    if (!seconds && error.isEmpty())
        error = tr("--%1 takes a time such as 1:30 or 90.5, not “%2”.").arg(option.names().constLast(), text);
    return seconds;
}

} // namespace

CutOptions CutOptions::parse(const QStringList &arguments, int cores)
{
    Parser p;
    CutOptions options;
    options.jobs = std::max(1, cores / 2);
    if (!p.parser.parse(QStringList{QStringLiteral("cut")} + arguments)) {
        options.error = p.parser.errorText();
        return options;
    }
    const QCommandLineParser &parser = p.parser;
    if (parser.isSet(p.help)) {
        options.helpAsked = true;
        return options;
    }
    QString &error = options.error;
    const auto refuse = [&error](const QString &reason) {
        if (error.isEmpty())
            error = reason;
    };
    options.from = timeOption(parser, p.from, error).value_or(0.0);
    options.to = timeOption(parser, p.to, error);
    options.duration = timeOption(parser, p.duration, error);
    if (options.to && options.duration)
        refuse(tr("--to and --duration cannot both be given."));
    if (options.to && *options.to <= options.from)
        refuse(tr("--to must come after --from."));
    if (options.duration && *options.duration <= 0)
        refuse(tr("--duration must be longer than 0."));

    const int kinds = int(parser.isSet(p.copy)) + int(parser.isSet(p.exact)) + int(parser.isSet(p.reencode));
    if (kinds > 1)
        refuse(tr("Only one of --copy, --exact and --reencode can be given."));
    options.kind = parser.isSet(p.copy)       ? Kind::Copy
                 : parser.isSet(p.exact)      ? Kind::Exact
                 : parser.isSet(p.reencode)   ? Kind::Reencode
                                              : Kind::Automatic;

    options.inputs = parser.positionalArguments();
    options.output = parser.value(p.output);
    options.outputFolder = parser.value(p.outputFolder);
    if (options.inputs.isEmpty())
        refuse(tr("No input given."));
    if (parser.isSet(p.output) && parser.isSet(p.outputFolder))
        refuse(tr("--output and --output-dir cannot both be given."));
    if (parser.isSet(p.output) && options.inputs.size() > 1)
        refuse(tr("--output names one file; for several inputs give --output-dir."));

    if (parser.isSet(p.keepTracks)) {
        const QString tracks = parser.value(p.keepTracks);
        if (tracks == QLatin1String("all")) {
            options.tracks = Tracks::All;
        } else if (tracks == QLatin1String("none")) {
            options.tracks = Tracks::None;
        } else {
            options.tracks = Tracks::Listed;
            for (const QString &index : tracks.split(QLatin1Char(','))) {
                bool number = false;
                const int value = index.trimmed().toInt(&number);
                if (!number || value < 0) {
                    refuse(tr("--keep-tracks takes all, none, or track indexes such as 1,3, not “%1”.").arg(tracks));
                    break;
                }
                options.keptTracks.append(value);
            }
        }
    }
    if (parser.isSet(p.jobs)) {
        bool number = false;
        options.jobs = parser.value(p.jobs).toInt(&number);
        if (!number || options.jobs < 1)
            refuse(tr("--jobs takes a whole number from 1, not “%1”.").arg(parser.value(p.jobs)));
    }
    options.dryRun = parser.isSet(p.dryRun);
    options.json = parser.isSet(p.json);
    options.force = parser.isSet(p.force);
    options.quiet = parser.isSet(p.quiet);
    options.progress = parser.isSet(p.progress) && !options.quiet;
    return options;
}

QString CutOptions::helpText()
{
    Parser p;
    // The parser names the program it runs in, which does not know of "cut".
    QString text = p.parser.helpText();
    return text.replace(0, text.indexOf(QLatin1Char('\n')), tr("Usage: kestrel cut [options] INPUT..."));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitleclip.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// Milliseconds: SubRip's own unit, and finer than ASS's hundredths.
using Milliseconds = qint64;

struct Span
{
    Milliseconds start = 0;
    Milliseconds end = 0;
};

// Where entries are cut, and the time they count from.
struct Window
{
    Span kept;
    Milliseconds zero = 0;
};

QString tr(const char *text)
{
    return QCoreApplication::translate("SubtitleClip", text);
}

// The part of an entry within the window, counted from its zero in whole `unit`s of milliseconds (the format's
// own); none where it would last none, which Matroska would read as lasting until the next entry.
std::optional<Span> clip(const Span &entry, const Window &window, Milliseconds unit)
{
    const auto rounded = [unit](Milliseconds time) { return (time + unit / 2) / unit * unit; };
    const Milliseconds start = rounded(std::max(entry.start, window.kept.start) - window.zero);
    const Milliseconds end = rounded(std::min(entry.end, window.kept.end) - window.zero);
    return end > start ? std::optional(Span{start, end}) : std::nullopt;
}

QString padded(Milliseconds value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

QString subRipTime(Milliseconds time)
{
    return QStringLiteral("%1:%2:%3,%4").arg(padded(time / 3600000, 2), padded(time / 60000 % 60, 2),
                                              padded(time / 1000 % 60, 2), padded(time % 1000, 3));
}

QString assTime(Milliseconds time)
{
    const Milliseconds hundredths = time / 10;
    return QStringLiteral("%1:%2:%3.%4").arg(QString::number(hundredths / 360000), padded(hundredths / 6000 % 60, 2),
                                              padded(hundredths / 100 % 60, 2), padded(hundredths % 100, 2));
}

// Hours, minutes, seconds and a fraction of any number of digits, from `first` on.
Milliseconds timeOf(const QRegularExpressionMatch &match, int first)
{
    const QString fraction = match.captured(first + 3);
    return ((match.captured(first).toLongLong() * 60 + match.captured(first + 1).toLongLong()) * 60
            + match.captured(first + 2).toLongLong()) * 1000
        + std::llround(fraction.toDouble() * std::pow(10.0, 3 - fraction.size()));
}

// "00:01:02,500 --> 00:01:04,000", then what follows the times (a position, say).
const QRegularExpression &subRipTiming()
{
    static const QRegularExpression timing(
        QStringLiteral("^(\\d+):(\\d+):(\\d+)[,.](\\d+)\\s*-->\\s*(\\d+):(\\d+):(\\d+)[,.](\\d+)(.*)$"));
    return timing;
}

// An entry begins with its counter, then its times; its text runs to the next entry's counter.
bool beginsSubRipEntry(const QStringList &lines, qsizetype at)
{
    static const QRegularExpression counter(QStringLiteral("^\\d+$"));
    return at + 1 < lines.size() && counter.match(lines.at(at).trimmed()).hasMatch()
        && subRipTiming().match(lines.at(at + 1).trimmed()).hasMatch();
}

QString clippedSubRip(const QStringList &lines, const Window &window)
{
    QString clipped;
    int number = 0;
    qsizetype at = 0;
    while (at < lines.size() && !beginsSubRipEntry(lines, at))
        ++at;
    while (at < lines.size()) {
        const QRegularExpressionMatch times = subRipTiming().match(lines.at(at + 1).trimmed());
        qsizetype next = at + 2;
        while (next < lines.size() && !beginsSubRipEntry(lines, next))
            ++next;
        QStringList text = lines.mid(at + 2, next - at - 2);
        while (!text.isEmpty() && text.last().trimmed().isEmpty())
            text.removeLast();
        if (const auto kept = clip({timeOf(times, 1), timeOf(times, 5)}, window, 1)) {
            clipped += QString::number(++number) + QLatin1Char('\n') + subRipTime(kept->start)
                + QStringLiteral(" --> ") + subRipTime(kept->end) + times.captured(9) + QLatin1Char('\n')
                + text.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
        }
        at = next;
    }
    return clipped;
}

std::optional<Milliseconds> assTimeOf(const QString &text)
{
    static const QRegularExpression time(QStringLiteral("^(\\d+):(\\d+):(\\d+)\\.(\\d+)$"));
    const QRegularExpressionMatch match = time.match(text.trimmed());
    return match.hasMatch() ? std::optional(timeOf(match, 1)) : std::nullopt;
}

// "Dialogue: 0,0:00:01.00,0:00:02.50,Default,,0,0,0,,Hello, you": the times are fields of the Format line's
// order; the text, the last field, may hold commas of its own, which the split and join keep as they were.
std::optional<QString> clippedAssEvent(const QString &line, qsizetype startField, qsizetype endField,
                                       const Window &window)
{
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    QStringList fields = line.mid(colon + 1).split(QLatin1Char(','));
    const std::optional<Milliseconds> start = assTimeOf(fields.value(startField));
    const std::optional<Milliseconds> end = assTimeOf(fields.value(endField));
    // An event whose times cannot be read cannot be told to lie inside.
    const std::optional<Span> kept = start && end ? clip({*start, *end}, window, 10) : std::nullopt;
    if (!kept)
        return std::nullopt;
    fields[startField] = assTime(kept->start);
    fields[endField] = assTime(kept->end);
    return line.left(colon + 1) + fields.join(QLatin1Char(','));
}

QString clippedAss(const QStringList &lines, const Window &window)
{
    QStringList clipped;
    bool inEvents = false;
    qsizetype startField = 1;
    qsizetype endField = 2;
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            inEvents = trimmed.compare(QLatin1String("[Events]"), Qt::CaseInsensitive) == 0;
        } else if (inEvents && trimmed.startsWith(QLatin1String("Format:"))) {
            QStringList names = trimmed.mid(7).split(QLatin1Char(','));
            for (QString &name : names)
                name = name.trimmed();
            startField = names.contains(QLatin1String("Start")) ? names.indexOf(QLatin1String("Start")) : 1;
            endField = names.contains(QLatin1String("End")) ? names.indexOf(QLatin1String("End")) : 2;
        } else if (inEvents && (trimmed.startsWith(QLatin1String("Dialogue:"))
                                || trimmed.startsWith(QLatin1String("Comment:")))) {
            if (const auto event = clippedAssEvent(line, startField, endField, window))
                clipped << *event;
            continue;
        }
        clipped << line;
    }
    return clipped.join(QLatin1Char('\n'));
}

// The encoder's name of the format, which is its files' extension too.
QString formatName(SubtitleClip::Format format)
{
    return format == SubtitleClip::Format::Ass ? QStringLiteral("ass") : QStringLiteral("srt");
}

} // namespace

SubtitleClip::Format SubtitleClip::formatOf(const MediaTrack &track)
{
    return track.codec == u"ass" || track.codec == u"ssa" ? Format::Ass : Format::SubRip;
}

QString SubtitleClip::extractedFileName(const MediaTrack &track)
{
    return QStringLiteral("subtitle-%1.%2").arg(track.index).arg(formatName(formatOf(track)));
}

QString SubtitleClip::clippedFileName(const MediaTrack &track)
{
    return QStringLiteral("subtitle-%1.clipped.%2").arg(track.index).arg(formatName(formatOf(track)));
}

QStringList SubtitleClip::inputArguments(const MediaTrack &track, const QString &folder)
{
    return {QStringLiteral("-f"), formatName(formatOf(track)), QStringLiteral("-i"),
            QDir(folder).filePath(clippedFileName(track))};
}

// A track already in its format is copied as it is; any other is converted. The times stay the streams' own: less
// the file's start time, ASS's hundredths would no longer fall on the source's.
QStringList SubtitleClip::extractionArguments(const QString &sourcePath, const QList<MediaTrack> &tracks,
                                              const QString &folder)
{
    QStringList arguments{QStringLiteral("-copyts"), QStringLiteral("-i"), sourcePath};
    for (const MediaTrack &track : tracks) {
        const QString format = formatName(formatOf(track));
        const bool same = track.codec == (formatOf(track) == Format::Ass ? u"ass" : u"subrip");
        arguments << QStringLiteral("-map") << QStringLiteral("0:%1").arg(track.index) << QStringLiteral("-c:s")
                  << (same ? QStringLiteral("copy") : format) << QStringLiteral("-f") << format
                  << QDir(folder).filePath(extractedFileName(track));
    }
    return arguments;
}

QByteArray SubtitleClip::clipped(const QByteArray &text, Format format, double from, double to, double zero)
{
    QString normalised = QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (normalised.startsWith(QChar(0xFEFF)))
        normalised.remove(0, 1);
    const QStringList lines = normalised.split(QLatin1Char('\n'));
    const Window window{{std::llround(from * 1000.0), std::llround(to * 1000.0)}, std::llround(zero * 1000.0)};
    return (format == Format::Ass ? clippedAss(lines, window) : clippedSubRip(lines, window)).toUtf8();
}

bool SubtitleClip::clipFiles(const QList<MediaTrack> &tracks, const QString &folder, double from, double to,
                             double zero, QString *details)
{
    for (const MediaTrack &track : tracks) {
        QFile extracted(QDir(folder).filePath(extractedFileName(track)));
        if (!extracted.open(QIODevice::ReadOnly)) {
            *details = tr("The subtitles could not be read back: %1").arg(extracted.errorString());
            return false;
        }
        const QByteArray text = clipped(extracted.readAll(), formatOf(track), from, to, zero);
        QFile cut(QDir(folder).filePath(clippedFileName(track)));
        if (!cut.open(QIODevice::WriteOnly) || cut.write(text) != text.size() || !cut.flush()) {
            *details = tr("The subtitles cut to the selection could not be written: %1").arg(cut.errorString());
            return false;
        }
    }
    return true;
}

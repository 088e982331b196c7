// SPDX-License-Identifier: GPL-3.0-or-later
#include <QtTest>

#include "containersuffix.h"
#include "diagnosticlog.h"
#include "encoderprogress.h"
#include "encoderrun.h"
#include "exactcutplan.h"
#include "exactcutrun.h"
#include "fileprobe.h"
#include "json.h"
#include "mediafactory.h"
#include "posterextraction.h"
#include "subtitleclip.h"
#include "testfiles.h"
#include "trackmap.h"
#include "trimcommand.h"

using namespace Qt::StringLiterals;

namespace {

// A quarter to three quarters of a slider whose range is the middle half of 100 seconds: 37.5 s to 62.5 s.
// Blanks and quotes in the paths show that each stays one argument.
TrimParameters cut(bool encode, bool audio, bool manyChannels, double duration = 100.0)
{
    return {.duration = duration, .minValue = 0.25, .maxValue = 0.75, .selectionStart = 0.25, .selectionEnd = 0.75,
            .forceEncode = encode, .hasAudioTrack = audio, .hasAudioTrackWhichHasMoreThanTwoChannels = manyChannels,
            .inputPath = u"/my videos/holiday \"best\" cut.mp4"_s, .outputPath = u"/my videos/.Trimmed copy.mp4"_s,
            .videoStream = -1, .keptTracks = {}, .outputSuffix = u"mp4"_s, .seek = {}, .subtitleFolder = {},
            .videoEnd = {}, .startTime = 0};
}

MediaTrack track(int index, MediaTrack::Kind kind, const QString &codec, int channels = 0, const QString &title = {})
{
    MediaTrack track;
    track.index = index;
    track.kind = kind;
    track.codec = codec;
    track.channels = channels;
    track.title = title;
    return track;
}

// The same with the video at index 0 and these tracks kept: a surround track, a titled mono one, subtitles.
TrimParameters mapped(bool encode)
{
    TrimParameters parameters = cut(encode, true, true);
    parameters.videoStream = 0;
    parameters.keptTracks = {track(1, MediaTrack::Kind::Audio, u"aac"_s, 6),
                             track(3, MediaTrack::Kind::Audio, u"aac"_s, 1, u"Director"_s),
                             track(4, MediaTrack::Kind::Subtitle, u"subrip"_s)};
    return parameters;
}

// What a test does to a run once it has reported progress.
enum class Act { None, Cancel, Kill, Destroy };

struct RunCase
{
    const char *scenario; // a fake encoder; the real one when empty
    Act act;
    EncoderRun::Outcome outcome;
    const char *details = ""; // a part of the reported details
    const char *output = "Trimmed.mp4";
};

struct CutCase
{
    const char *clip; // its extension picks the container
    const char *video; // the clip's video encoder, with a group of 25 frames
    double start, end;
    int frames;
    int commands; // of the encoder
    const char *options = ""; // more of the clip's
    bool rotated = false;
    bool cancel = false;
    bool oneLane = false; // the steps one after the other, as on busy cores
    const char *output = ""; // the output's extension where it is not the clip's
};

QByteArray toolOutput(const QString &tool, const QStringList &arguments, QByteArray *errors = nullptr)
{
    return MediaFactory::toolOutput(tool, arguments, errors);
}

// The hash of each decoded video frame, in presentation order; the audio is decoded too, for its errors.
// Of the decoded frames, or with `packets` of the video's packets as stored.
QList<QByteArray> frameHashes(const QString &path, QByteArray *errors, bool packets = false)
{
    const QStringList arguments = QStringList{u"-v"_s, u"error"_s, u"-i"_s, path, u"-map"_s, u"0"_s, u"-map"_s,
                                              u"-0:s"_s, u"-fps_mode"_s, u"passthrough"_s}
        + (packets ? QStringList{u"-c"_s, u"copy"_s} : QStringList()) + QStringList{u"-f"_s, u"framemd5"_s, u"-"_s};
    const QByteArray listing = toolOutput(ToolLocator::creator, arguments, errors);
    QList<QByteArray> hashes;
    for (const QByteArray &line : listing.split('\n')) {
        if (line.startsWith("0,"))
            hashes << line.split(',').value(5).trimmed(); // side data may follow
    }
    return hashes;
}

// The presentation times of the video frames, sorted.
QList<double> frameTimes(const QString &path)
{
    QList<double> times;
    const auto packets = PacketList::parse(toolOutput(ToolLocator::sniffer, PacketList::snifferArguments(path)));
    for (const Packet &packet : packets.packets())
        times << packet.pts;
    std::sort(times.begin(), times.end());
    return times;
}

// The hashes of the packets a copy of `middle` takes from `clip`, in decoding order: from its keyframe on, but
// for the keyframe's leading frames.
QList<QByteArray> copiedPackets(const QString &clip, const ExactCutPlan::Section &middle)
{
    QByteArray errors;
    const QList<QByteArray> hashes = frameHashes(clip, &errors, true);
    const auto packets = PacketList::parse(toolOutput(ToolLocator::sniffer, PacketList::snifferArguments(clip)));
    QList<QByteArray> copied;
    bool reached = false;
    for (qsizetype i = 0; i < packets.packets().size() && copied.size() < middle.frames; ++i) {
        const double pts = packets.packets().at(i).pts;
        reached = reached || qAbs(pts - middle.from) < 0.0005;
        if (reached && pts > middle.from - 0.0005)
            copied << hashes.value(i);
    }
    return copied;
}

// The lowest PSNR of a frame of `cut` against the `count` frames of `source` from the one at `first` on.
double lowestPsnr(const QString &cut, const QString &source, qsizetype first, qsizetype count)
{
    const QString filters = u"[0:v]setpts=PTS-STARTPTS[a];[1:v]trim=start_frame=%1:end_frame=%2,setpts=PTS-STARTPTS[b];"
                            "[a][b]psnr"_s.arg(first).arg(first + count);
    QByteArray errors;
    toolOutput(ToolLocator::creator, {u"-i"_s, cut, u"-i"_s, source, u"-lavfi"_s, filters, u"-f"_s, u"null"_s, u"-"_s},
               &errors);
    return QRegularExpression(u"PSNR .* min:(\\S+)"_s).match(QString::fromUtf8(errors)).captured(1).toDouble();
}

QStringList subtitleDescriptions(const QString &path)
{
    QStringList descriptions;
    for (const MediaTrack &track : FileProbe::create(path, ToolLocator(MediaFactory::toolsFolder()))->mediaTracks())
        descriptions << (track.kind == MediaTrack::Kind::Subtitle ? track.description() : QString());
    descriptions.removeAll(QString());
    return descriptions;
}

// How far the start and the end of the video and the audio lie apart, in audio packets.
double streamMismatch(const QString &path)
{
    QMap<int, std::pair<double, double>> spans; // first and last moment of each stream
    double audioPacket = 0;
    for (const QByteArray &line : toolOutput(ToolLocator::sniffer, {u"-v"_s, u"error"_s, u"-show_entries"_s,
            u"packet=stream_index,pts_time,duration_time"_s, u"-of"_s, u"csv=p=0"_s, path}).split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 3 || fields.at(1) == "N/A") // MPEG-PS stores no time for some
            continue;
        const int stream = fields.at(0).toInt();
        const double pts = fields.at(1).toDouble(), duration = fields.at(2).toDouble();
        auto &[first, last] = spans.contains(stream) ? spans[stream] : (spans[stream] = {pts, pts});
        first = std::min(first, pts);
        last = std::max(last, pts + duration);
        audioPacket = stream == 1 ? std::max(audioPacket, duration) : audioPacket;
    }
    const auto video = spans.value(0), audio = spans.value(1);
    return std::max(std::abs(video.first - audio.first), std::abs(video.second - audio.second)) / audioPacket;
}

} // namespace

class TestTrimEncoder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_posters;
    QString m_clip;

    // Waits until nothing runs or waits; the times announced meanwhile, -1 for a frame not shown.
    static QList<double> announcedTimes(PosterExtraction &posters)
    {
        QSignalSpy announced(&posters, &PosterExtraction::extracted);
        if (!QTest::qWaitFor([&posters] { return posters.isIdle(); }, 30000))
            return {-2.0};
        QList<double> times;
        for (const QList<QVariant> &signal : announced)
            times << (signal.at(2).toBool() ? signal.at(0).toDouble() : -1.0);
        return times;
    }

private slots:
    void initTestCase()
    {
        m_clip = MediaFactory(m_posters.path()).videoClip(u"clip.mp4"_s, 10, 0);
        QVERIFY(!m_clip.isEmpty() && QDir(m_posters.path()).mkdir(u"Poster"_s));
    }

    void arguments_data()
    {
        QTest::addColumn<TrimParameters>("parameters");
        QTest::addColumn<QString>("codecs");
        QTest::addColumn<QString>("segment");
        const QString reencode = u"-sn -dn -map_chapters -1 -map_metadata -1 -pix_fmt yuv420p -fps_mode passthrough"_s;
        const QString plain = u"-ss 0:00:37.500 -i IN -t 25.0"_s;
        // A copy stops at the first packet decoded at its end, less the tolerance, from the start as written.
        const QString plainCopy = u"-ss 0:00:37.500 -i IN -t 24.9995"_s;
        const auto entered = [](bool encode, Timeline::Seek seek) {
            TrimParameters parameters = cut(encode, true, false);
            parameters.seek = seek;
            return parameters;
        };
        QTest::newRow("six channels copied") << cut(false, true, true) << u"-c copy"_s << plainCopy;
        QTest::newRow("six channels re-encoded") << cut(true, true, true) << reencode + u" -ac 2"_s << plain;
        QTest::newRow("stereo re-encoded") << cut(true, true, false) << reencode << plain;
        // Every kept track mapped, in order; text subtitles become MP4's own.
        QTest::newRow("tracks copied") << mapped(false)
                                       << u"-map 0:0 -map 0:1 -map 0:3 -map 0:4 -c copy -c:s:0 mov_text"_s << plainCopy;
        // Each audio track down-mixed by itself and given its own language and title back; no subtitles.
        QTest::newRow("tracks re-encoded")
            << mapped(true)
            << u"-map 0:0 -map 0:1 -map 0:3 %1 -map_metadata:s:a:0 0:s:1 -ac:a:0 2 -map_metadata:s:a:1 0:s:3 "
               "-metadata:s:a:1 handler_name=Director"_s.arg(reencode) << plain;
        // Entered before, the rest decoded: the end stays where it was.
        QTest::newRow("re-encode sought exactly") << entered(true, {36.5, 0.9995}) << reencode
                                                  << u"-ss 36.5 -i IN -ss 0.9995 -t 25.0005"_s;
        // A copy runs from where it enters, before its keyframe.
        QTest::newRow("copy entered early") << entered(false, {36.0, 0.0}) << u"-c copy"_s
                                            << u"-ss 36.0 -i IN -t 26.4995"_s;
        // Subtitles read from their clipped file, unseeked, in their place; naming their tags names every track's.
        TrimParameters clipped = mapped(false);
        clipped.subtitleFolder = u"/w"_s;
        QTest::newRow("tracks copied, subtitles clipped")
            << clipped << u"-map 0:0 -map 0:1 -map 0:3 -map 1:0 -c copy -c:s:0 mov_text -map_metadata:s:v:0 0:s:0 "
                          "-map_metadata:s:a:0 0:s:1 -map_metadata:s:a:1 0:s:3 -map_metadata:s:s:0 0:s:4"_s
            << u"-ss 0:00:37.500 -i IN -f srt -i /w/subtitle-4.clipped.srt -t 24.9995"_s;
    }

    void arguments()
    {
        QFETCH(TrimParameters, parameters);
        QFETCH(QString, codecs);
        QFETCH(QString, segment);
        auto expected = u"%1 %2 -avoid_negative_ts 1 -y OUT"_s.arg(segment, codecs).split(u' ');
        expected.replace(expected.indexOf(u"IN"_s), parameters.inputPath);
        expected.replace(expected.indexOf(u"OUT"_s), parameters.outputPath);
        QCOMPARE(TrimCommand::trimArguments(parameters), expected);
    }

    void diagnosticLine()
    {
        QCOMPARE(TrimCommand::diagnosticLine({u"-ss"_s, u"a \"b\"\\c\nd\te\rf\x1bg Vidéo 東京"_s}),
                 u"[\"-ss\", \"a \\\"b\\\"\\\\c\\nd\\te\\rf\\u{1B}g Vidéo 東京\"]"_s);
    }

    void containers()
    {
        const char *const namesAndSuffixes[][2] = {{"matroska,webm", "mkv"}, {"nut", "nut"}, {"", ""}, {"../x", ""}};
        for (const auto &[names, suffix] : namesAndSuffixes)
            QCOMPARE(containerSuffix(QLatin1String(names)), QLatin1String(suffix));
        // Subtitles drawn as pictures: Matroska holds them, MP4 does not.
        const MediaTrack pictures = track(2, MediaTrack::Kind::Subtitle, u"hdmv_pgs_subtitle"_s);
        QCOMPARE(TrackMap::unavailableReason(pictures, u"mp4"_s, TrackMap::Mode::Copy),
                 u"MP4 files cannot hold subtitles drawn as pictures (hdmv_pgs_subtitle)."_s);
        QCOMPARE(TrackMap::unavailableReason(pictures, u"mkv"_s, TrackMap::Mode::Copy), QString());
        // Held, but not clipped to the selection as text is.
        QCOMPARE(TrackMap::unclippedReason(pictures, u"mkv"_s, TrackMap::Mode::Copy),
                 u"Subtitles drawn as pictures (hdmv_pgs_subtitle) cannot be clipped to the selection: at its edges "
                 "the encoder keeps an entry whole or drops it."_s);
        QCOMPARE(TrackMap::unclippedReason(track(2, MediaTrack::Kind::Subtitle, u"ass"_s), u"mkv"_s,
                                           TrackMap::Mode::Copy), QString());
        // A camera's timecode or GPS: never kept, never a failure.
        const MediaTrack data = track(3, MediaTrack::Kind::Data, u"tmcd"_s);
        QCOMPARE(TrackMap(QList{data}, u"mov"_s, TrackMap::Mode::Copy).mapArguments(), QStringList());
    }

    // The selection is 2.5 s to 10 s throughout; the output's time zero is its start but where told.
    void subtitleClip_data()
    {
        QTest::addColumn<SubtitleClip::Format>("format");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("clipped");
        QTest::addColumn<double>("zero");
        const auto row = [](const char *name, SubtitleClip::Format format, const char *text, const char *clipped,
                            double zero = 2.5) {
            QTest::newRow(name) << format << QByteArray(text) << QByteArray(clipped) << zero;
        };
        const auto srt = SubtitleClip::Format::SubRip;
        row("up to the start, from the end on, of no length: gone", srt, "1\n00:00:01,000 --> 00:00:02,500\nA\n\n"
            "2\n00:00:10,000 --> 00:00:11,000\nB\n\n3\n00:00:05,000 --> 00:00:05,000\nC\n", "");
        row("spans the start: from it", srt, "7\n00:00:02,000 --> 00:00:03,000\nA\n",
            "1\n00:00:00,000 --> 00:00:00,500\nA\n\n");
        row("spans the end: to it", srt, "1\n00:00:09,000 --> 01:00:00,000\nA\n",
            "1\n00:00:06,500 --> 00:00:07,500\nA\n\n");
        row("inside: moved, renumbered, blank lines and position kept", srt, "5\n00:00:03,000 --> 00:00:04,000 X1:9\n"
            "One\n\nstill\n\n\n9\n00:00:05,000 --> 00:00:06,000\nB\n",
            "1\n00:00:00,500 --> 00:00:01,500 X1:9\nOne\n\nstill\n\n2\n00:00:02,500 --> 00:00:03,500\nB\n\n");
        row("counted from a copy's keyframe before the start", srt, "1\n00:00:02,000 --> 00:00:03,000\nA\n",
            "1\n00:00:00,500 --> 00:00:01,000\nA\n\n", 2.0);
        row("CRLF and a byte order mark", srt, "\xEF\xBB\xBF" "1\r\n00:00:03,000 --> 00:00:04,000\r\nA\r\n",
            "1\n00:00:00,500 --> 00:00:01,500\nA\n\n");
        // In the Format line's order; the text's commas kept; an event whose times cannot be read is gone.
        row("ASS: header kept, events clipped", SubtitleClip::Format::Ass, "[Script Info]\nX: 1\n[Events]\n"
            "Format: Layer, End, Start, Text\nDialogue: 0,0:00:03.00,0:00:02.00,Hi, you\n"
            "Comment: 0,0:00:02.50,0:00:01.00,A\nDialogue: 0,0:00:12.00,0:00:09.99,B\nDialogue: 0,0:00:04.00,soon,C\n",
            "[Script Info]\nX: 1\n[Events]\nFormat: Layer, End, Start, Text\n"
            "Dialogue: 0,0:00:00.50,0:00:00.00,Hi, you\nDialogue: 0,0:00:07.50,0:00:07.49,B\n");
    }

    void subtitleClip()
    {
        QFETCH(SubtitleClip::Format, format);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, clipped);
        QFETCH(double, zero);
        QCOMPARE(SubtitleClip::clipped(text, format, 2.5, 10.0, zero), clipped);
    }

    void exactCutPlan_data()
    {
        QTest::addColumn<QByteArray>("packets"); // decoding order, pts in seconds, K for a keyframe
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<QString>("plan");
        const auto row = [](const char *name, const char *packets, double start, double end, const char *plan) {
            QTest::newRow(name) << QByteArray(packets) << start << end << QString::fromLatin1(plan);
        };
        const char *closed = "0K 1 2 3K 4 5 6K 7 8";
        const char *bFrames = "0K 3 1 2 4K 7 5 6 8K 11 9 10";
        const char *open = "0K 3 1 2 6K 4 5 9 7 8 12K 10 11 14 13";
        row("on closed keyframes: copy only", closed, 3, 6, "middle 3-6 (3)");
        row("between keyframes", closed, 1, 8, "head 1-3 (2), middle 3-6 (3), tail 6-8 (2)");
        row("to the end, start a bit late", closed, 2.0004, 100, "head 2-3 (1), middle 3-end (6)");
        row("no keyframe inside", closed, 4, 6, "head 4-6 (2)");
        row("one group", closed, 3, 5, "head 3-5 (2)");
        row("no keyframe after the start", "0K 1 2 3", 1, 100, "head 1-end (3)");
        row("B-frames", bFrames, 2, 10, "head 2-4 (2), middle 4-8 (4), tail 8-10 (2)");
        row("open: leading frames dropped, tail", open, 6, 12, "middle 6-10 (4), tail 10-12 (2)");
        row("open: head holds leading frames", open, 1, 100, "head 1-6 (5), middle 6-end (9)");
        row("open: tail reaches into the head", open, 5, 11, "head 5-11 (6)");
        // A broadcast recorded from within a group: what comes before its first keyframe is never decoded.
        row("recorded from within a group", "2 3K 1 2 6K 4 5 9 7 8", 0, 100, "middle 3-end (7)");
        row("after the last frame", closed, 9, 10, "nothing");
        row("end before start", closed, 3, 2, "nothing");
    }

    void exactCutPlan()
    {
        QFETCH(QByteArray, packets);
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(QString, plan);
        const QList<Packet> list = PacketList::parse(packets.replace(' ', ",\n").replace('K', ",K") + ',').packets();
        QCOMPARE(ExactCutPlan::make(list, start, end).description(), plan);
    }

    void progress_data()
    {
        QTest::addColumn<double>("outputDuration");
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<double>>("values"); // one per chunk; -1 stands for "no value"
        const auto row = [](const char *name, double outputDuration, QList<QByteArray> chunks, QList<double> values) {
            QTest::newRow(name) << outputDuration << chunks << values;
        };
        row("the first time=, to hundredths", 7446.08, {"time=01:02:03.04 x\rtime=00:00:06.00\r"}, {50});
        row("time code further on", 20.0, {"time=N/A note 00:00:10.00\r"}, {-1});
        row("invalid UTF-8", 20.0, {"frame=1 \xff\xfe time=00:00:10.00 x\r"}, {-1});
        row("no output duration", 0.0, {"time=00:00:10.00\r"}, {-1});
        row("past the end is full", 20.0, {"time=00:00:30.00\r"}, {100});
        // A line whose time code was read is not read again when its end comes.
        row("split after one read", 20.0, {"time=00:00:05.00 x", "\rti", "me=00:00:06.00\r"}, {25, -1, 30});
        row("split after a whole one", 20.0, {"time=00:00:05.00\rtime=00:00:0", "6.00\r"}, {25, 30});
    }

    void progress()
    {
        QFETCH(double, outputDuration);
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<double>, values);
        EncoderProgress progress(outputDuration);
        for (qsizetype i = 0; i < chunks.size(); ++i)
            QCOMPARE(progress.feed(chunks.at(i)).value_or(-1), values.at(i));
    }

    void errorTail()
    {
        // The last lines, trimmed and without blank ones or status lines, the unfinished one too.
        EncoderProgress progress(10.0);
        progress.feed("in.mp4: damaged\r\nframe=2 time=00:00:02.00 speed=1x\r \n[mp4 @ 0x1] Could not write hea");
        progress.feed("der\nlast words ");
        QCOMPARE(progress.errorTail(3), u"in.mp4: damaged\n[mp4 @ 0x1] Could not write header\nlast words"_s);
    }

    void partialPath_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("fallbackSuffix");
        QTest::addColumn<QString>("partial"); // * stands for ".kestrel-partial-" and 8 random hex digits
        QTest::newRow("own extension first") << u"/a b/c d.e.MOV"_s << u"mkv"_s << u"/a b/.c d.e*.MOV"_s;
        // The encoder picks the format from the extension.
        QTest::newRow("no extension, format given") << u"/v/Trimmed"_s << u"mov"_s << u"/v/.Trimmed*.mov"_s;
        // Names may have 255 bytes: a long output name's base gives way, between letters of two bytes each: 254.
        QTest::newRow("at most 255 bytes") << u"/v/"_s + QString(125, u'é') + u"a.mp4"_s << QString()
                                           << u"/v/."_s + QString(112, u'é') + u"*.mp4"_s;
    }

    void partialPath()
    {
        QFETCH(QString, output);
        QFETCH(QString, fallbackSuffix);
        QFETCH(QString, partial);
        const QString first = EncoderRun::partialPathFor(output, fallbackSuffix);
        QCOMPARE(QString(first).replace(QRegularExpression(u"\\.kestrel-partial-[0-9a-f]{8}"_s), u"*"_s), partial);
        QVERIFY(EncoderRun::partialPathFor(output, fallbackSuffix) != first);
    }

    void run_data()
    {
        QTest::addColumn<RunCase>("row");
        using O = EncoderRun::Outcome;
        QTest::newRow("real encoder trims") << RunCase{"", Act::None, O::Succeeded};
        QTest::newRow("rename fails") << RunCase{"", Act::None, O::Failed, "gone/Trimmed.mp4", "gone/Trimmed.mp4"};
        QTest::newRow("non-zero exit") << RunCase{"encoder-failing", Act::None, O::Failed, "error\nConversion failed!"};
        QTest::newRow("crash") << RunCase{"encoder-polite", Act::Kill, O::Failed, "The encoder crashed."};
        QTest::newRow("not a program") << RunCase{"encoder-unlaunchable", Act::None, O::Failed, "not be started"};
        // Asked to stop, the polite encoder ends with status 0: the cancel still wins.
        QTest::newRow("polite encoder cancelled") << RunCase{"encoder-polite", Act::Cancel, O::Cancelled};
        QTest::newRow("lingering encoder cancelled") << RunCase{"encoder-lingering", Act::Cancel, O::Cancelled};
        QTest::newRow("destroyed while running") << RunCase{"encoder-polite", Act::Destroy, O::Cancelled};
    }

    void run()
    {
        QFETCH(RunCase, row);
        const QTemporaryDir folderOwner;
        const MediaFactory folder(folderOwner.path());
        const QString output = folder.path(u"Trimmed.mp4"_s);
        QVERIFY(TestFiles::write(output, "an earlier trim"));
        TrimParameters parameters = cut(true, true, true, 1.0);
        const QString scenario = QLatin1String(row.scenario);
        parameters.inputPath = scenario.isEmpty() ? folder.videoClip(u"in.mp4"_s, 1.0, 6) : u"in.mp4"_s;
        const QString partial = parameters.outputPath = EncoderRun::partialPathFor(output);
        auto run = std::make_unique<EncoderRun>(
            ToolLocator(scenario.isEmpty() ? MediaFactory::toolsFolder() : MediaFactory::fakeToolsFolder(scenario)));
        QSignalSpy progress(run.get(), &EncoderRun::progressChanged);
        QSignalSpy finished(run.get(), &EncoderRun::finished);
        bool runningAtFinish = true;
        connect(run.get(), &EncoderRun::finished, run.get(), [&] { runningAtFinish = run->isRunning(); });
        // The lingering encoder is killed at once; the others would be given plenty of time.
        const bool lingering = scenario == u"encoder-lingering"_s;
        run->setKillDelay(std::chrono::milliseconds(lingering ? 0 : 60000));

        // A run that has ended can start again.
        for (int started = 1; started <= (row.act == Act::None ? 2 : 1); ++started) {
            run->start(TrimCommand::trimArguments(parameters), partial, folder.path(QLatin1String(row.output)), 0.5);
            QCOMPARE(finished.count(), started - 1); // never reported from within start
            if (row.act != Act::None) {
                QVERIFY(progress.wait(60000));
                QVERIFY(QFileInfo::exists(partial));
            }
            if (row.act == Act::Destroy)
                break;
            if (row.act == Act::Kill)
                run->process()->kill();
            if (row.act == Act::Cancel) {
                run->cancel();
                run->cancel(); // a second press changes nothing
            }
            QVERIFY(finished.wait(60000));
            QCOMPARE(finished.count(), started);
            QCOMPARE(finished.last().at(0).value<EncoderRun::Outcome>(), row.outcome);
            const QString details = finished.last().at(1).toString();
            QVERIFY2(details.contains(QLatin1String(row.details)), qPrintable(details));
            QVERIFY(!runningAtFinish);
        }
        if (row.act == Act::Cancel)
            QCOMPARE(run->process()->exitStatus(), lingering ? QProcess::CrashExit : QProcess::NormalExit);
        run.reset(); // stops a run still going
        // No tool is left running or unreaped, nor any partial file; the earlier output stays but for a success.
        QVERIFY(ChildProcesses::running().isEmpty());
        QVERIFY(ChildProcesses::zombies().isEmpty());
        QCOMPARE(TestFiles::listing(folderOwner.path()).filter(u"kestrel-partial"_s), QStringList());
        QCOMPARE(TestFiles::contents(output) == "an earlier trim", row.outcome != EncoderRun::Outcome::Succeeded);
    }

    void exactCutSupports()
    {
        const auto reason = [](const char *format, const char *codec, const char *pixels = "yuv420p",
                               const char *fields = "progressive") {
            return ExactCutCommand::whyNot(QLatin1String(format), {{u"codec_name"_s, QLatin1String(codec)},
                                                                  {u"pix_fmt"_s, QLatin1String(pixels)},
                                                                  {u"field_order"_s, QLatin1String(fields)}});
        };
        QCOMPARE(reason("matroska,webm", "hevc"), QString());
        QCOMPARE(reason("matroska,webm", "vp9"), QString());
        QCOMPARE(reason("mov,mp4,m4a,3gp,3g2,mj2", "av1", "yuv420p10le"), QString());
        QVERIFY(reason("matroska,webm", "mpeg4").endsWith(u"this video is MPEG4."_s));
        QVERIFY(reason("matroska,webm", "av1", "yuv444p").endsWith(u"this video is yuv444p."_s));
        QVERIFY(reason("matroska,webm", "h264", "yuv420p", "tt").endsWith(u"interlaced."_s));
        QCOMPARE(reason("mpeg", "mpeg2video", "yuv420p", "bb"), QString());
        QCOMPARE(reason("mpegts", "hevc"), QString());
        QCOMPARE(reason("mpegts", "mpeg2video"), QString());
        QVERIFY(reason("mpegts", "vp9").contains(u"MPEG-TS file needs H.264, HEVC or MPEG-2"_s));
        QVERIFY(reason("mpeg", "h264").contains(u"MPEG-PS file needs MPEG-2"_s));
        QVERIFY(reason("matroska,webm", "mpeg2video").contains(u"needs an MPEG-TS or MPEG-PS file"_s));
        QVERIFY(reason("avi", "h264").contains(u"MP4, MOV, M4V, Matroska, WebM, MPEG-TS or MPEG-PS file"_s));
        QVERIFY(!ExactCutRun::supports({u"phone.3GP"_s, u"mov,mp4,m4a,3gp,3g2,mj2"_s, {{u"codec_name"_s, u"h264"_s}}}));
    }

    void exactCutFailure_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("details");
        QTest::newRow("no encoder for the edges") << u"encoder-without-x264"_s << u"needs the encoder libx264"_s;
        QTest::newRow("frames lost") << u"cut-short"_s << u"1 video frames where 2 were selected"_s;
        QTest::newRow("an encode fails") << u"cut-failing"_s << u"while re-encoding the first frames: No space"_s;
    }

    // The fake prober lists three frames; the selection holds the last two, so they are re-encoded.
    void exactCutFailure()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, details);
        const QTemporaryDir folder, work;
        const QString output = QDir(folder.path()).filePath(u"Cut.mp4"_s);
        QVERIFY(TestFiles::write(output, "an earlier cut"));
        ExactCutRun cut(ToolLocator(MediaFactory::fakeToolsFolder(scenario)), work.path());
        QSignalSpy finished(&cut, &ExactCutRun::finished);
        cut.start({u"in.mp4"_s, u"mov,mp4,m4a,3gp,3g2,mj2"_s, {{u"codec_name"_s, u"h264"_s}}}, 0.02, 1.0, output);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().at(0).value<EncoderRun::Outcome>(), EncoderRun::Outcome::Failed);
        QVERIFY2(finished.first().at(1).toString().contains(details), qPrintable(finished.first().at(1).toString()));
        QCOMPARE(TestFiles::listing(work.path()) + TestFiles::listing(folder.path()), QStringList{u"Cut.mp4"_s});
        QCOMPARE(TestFiles::contents(output), "an earlier cut");
    }

    void exactCut_data()
    {
        QTest::addColumn<CutCase>("row");
        const char *h264 = "-c:v libx264 -preset ultrafast -x264-params keyint=25:scenecut=0:bframes=3";
        const char *sparse = "-c:v libx264 -preset ultrafast -x264-params keyint=250:scenecut=0:bframes=3";
        const char *hevc = "-c:v libx265 -x265-params keyint=25:scenecut=0:open-gop=1:bframes=3:log-level=error";
        // From the middle of a group to the middle of one: the encoder list, head, middle, tail, the subtitles'
        // extraction (as MP4's own text) and join.
        const char *subtitles = "-i SUBS -c:s mov_text -metadata:s:s:0 language=fra -metadata:s:s:0 title=Notes ";
        QTest::newRow("H.264 in MP4, B-frames") << CutCase{"in.mp4", h264, 0.5, 3.3, 70, 6, subtitles};
        // The selection's times count from the file's start, here ten seconds; subtitles as ASS.
        const char *late = "-i SUBS -metadata:s:s:0 language=fra -metadata:s:s:0 title=Notes -output_ts_offset 10 ";
        QTest::newRow("H.264 in Matroska, late start, one lane")
            << CutCase{"in.mkv", h264, 0.5, 3.3, 70, 6, late, false, false, true};
        // As capture cards record: x264 keeps the source's High 4:2:2 and High 4:4:4 profiles at the edges.
        const char *h264of422 = "-c:v libx264 -preset ultrafast -x264-params keyint=25:scenecut=0:bframes=3 "
                                "-pix_fmt yuv422p";
        QTest::newRow("H.264 4:2:2 in MOV") << CutCase{"in.mov", h264of422, 0.5, 3.3, 70, 5};
        const char *h264of444 = "-c:v libx264 -preset ultrafast -x264-params keyint=25:scenecut=0:bframes=3 "
                                "-pix_fmt yuv444p";
        QTest::newRow("H.264 4:4:4 in Matroska") << CutCase{"in.mkv", h264of444, 0.5, 3.3, 70, 5};
        const char *vp9 = "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 25 -b:v 200k";
        QTest::newRow("VP9 in WebM") << CutCase{"in.webm", vp9, 0.5, 3.3, 70, 5};
        // Encoded by libaom, as most AV1 downloads are by one encoder and the edges by another.
        const char *av1 = "-c:v libaom-av1 -usage realtime -cpu-used 8 -g 25 -b:v 100k";
        QTest::newRow("AV1 in Matroska") << CutCase{"in.mkv", av1, 0.5, 3.3, 70, 5};
        QTest::newRow("HEVC in MP4, open GOPs, rotated") << CutCase{"in.mp4", hevc, 0.5, 3.3, 70, 5, "", true};
        // Each copied keyframe keeps its leading frames: no other parameter sets are put before it.
        QTest::newRow("HEVC in MP4 into MPEG-TS")
            << CutCase{"in.mp4", hevc, 0.5, 3.3, 70, 5, "", false, false, false, "ts"};
        // Its seeks land on no keyframe, and it starts late: into MP4, as a person may choose, and as it came.
        QTest::newRow("H.264 in MPEG-TS, late start, into MP4")
            << CutCase{"in.ts", h264, 0.5, 3.3, 70, 5, "-output_ts_offset 10 ", false, false, false, "mp4"};
        QTest::newRow("HEVC in MPEG-TS, open GOPs, late start")
            << CutCase{"in.m2ts", hevc, 0.5, 3.3, 70, 5, "-output_ts_offset 10 "};
        // As DVDs and broadcasts carry it, interlaced, in open groups of 25.
        QTest::newRow("MPEG-2 in MPEG-PS, interlaced") << CutCase{"in.mpg", "-vf setfield=tff -c:v mpeg2video -g 25 "
                                                                  "-bf 2 -b:v 1M -flags +ildct+ilme -top 1", 0.5, 3.3, 70, 5};
        QTest::newRow("from a keyframe to the end: copied") << CutCase{"in.mp4", h264, 1.0, 20.0, 275, 2};
        // Its packets are listed from the keyframe at 0 s on.
        QTest::newRow("ten seconds into a group") << CutCase{"in.mp4", sparse, 8.3, 8.9, 15, 3};
        QTest::newRow("cancelled") << CutCase{"in.mp4", h264, 0.5, 3.3, 70, 5, "", false, true};
    }

    // A clip of 12 s at 25 frames a second.
    void exactCut()
    {
        QFETCH(CutCase, row);
        const QTemporaryDir folderOwner, work;
        const MediaFactory folder(folderOwner.path());
        // Before, over the start, inside, over the end and after the selection of the subtitled rows.
        const QString subtitles = folder.writeFile(u"subs.srt"_s, "1\n00:00:00,000 --> 00:00:00,400\na\n\n"
            "2\n00:00:00,200 --> 00:00:01,000\nb\n\n3\n00:00:01,500 --> 00:00:02,000\nc\n\n"
            "4\n00:00:03,000 --> 00:00:05,000\nd\n\n5\n00:00:03,400 --> 00:00:04,000\ne\n");
        // WebM takes Opus audio only, MPEG-PS no AAC.
        const bool webm = QByteArray(row.clip).endsWith(".webm"), programStream = QByteArray(row.clip).endsWith(".mpg");
        const QString arguments = u"-f lavfi -i testsrc2=size=128x72:rate=25:duration=12 -f lavfi -i sine=sample_rate="
                                  "%1:duration=12 %2-c:a %3 %4"_s.arg(webm || programStream ? u"48000"_s : u"8000"_s,
                                                                      QLatin1String(row.options),
                                                                      webm ? u"libopus"_s : programStream ? u"mp2"_s
                                                                                                          : u"aac"_s,
                                                                      QLatin1String(row.video));
        const QStringList clipArguments = QString(arguments).replace(u"SUBS"_s, subtitles).split(u' ');
        QString clip = folder.generate(QLatin1String(row.clip), clipArguments);
        if (row.rotated) // an encoder sets no rotation; a copy does
            clip = folder.generate(u"turned.mp4"_s, QStringList{u"-i"_s, clip, u"-c"_s, u"copy"_s, u"-metadata:s:v"_s}
                                                        << u"rotate=90"_s);
        const QString suffix = *row.output ? QLatin1String(row.output) : QFileInfo(clip).suffix();
        const QString output = folder.path(u"Cut."_s + suffix);
        QVERIFY(!clip.isEmpty() && TestFiles::write(output, "an earlier cut"));
        const ToolLocator tools(MediaFactory::toolsFolder());
        const auto probe = FileProbe::create(clip, tools);
        // A relative path, which the concat lists must not read as relative to their own folder.
        const QString workingFolder = QDir::currentPath();
        QDir::setCurrent(folderOwner.path());
        const ExactCutRun::Source source{QFileInfo(clip).fileName(), probe->formatName(),
                                         *probe->trackDictionaries(u"Video"_s).value(0).dictionaryObject(),
                                         probe->mediaTracks(), probe->videoEndTime().value() + probe->startTime()};
        QVERIFY(ExactCutRun::supports(source));
        const DiagnosticLog::Capture log;
        auto cut = std::make_unique<ExactCutRun>(tools, work.path());
        cut->setSideBySide(!row.oneLane);
        QSignalSpy progress(cut.get(), &ExactCutRun::progressChanged), finished(cut.get(), &ExactCutRun::finished);
        QSignalSpy steps(cut.get(), &ExactCutRun::stepChanged);
        cut->start(source, row.start + probe->startTime(), row.end + probe->startTime(), output);
        if (row.cancel) {
            QVERIFY(progress.wait(60000));
            cut->cancel();
        }
        QVERIFY(finished.wait(120000));
        QDir::setCurrent(workingFolder);
        const auto outcome = finished.first().at(0).value<EncoderRun::Outcome>();
        QCOMPARE(outcome, row.cancel ? EncoderRun::Outcome::Cancelled : EncoderRun::Outcome::Succeeded);
        // Nothing is left behind but the output, nor left running; a cancelled cut keeps the earlier one.
        QCOMPARE(TestFiles::listing(work.path()), QStringList());
        QCOMPARE(TestFiles::listing(folderOwner.path()).filter(u"Cut"_s), QStringList{QFileInfo(output).fileName()});
        QVERIFY(ChildProcesses::running().isEmpty());
        QCOMPARE(TestFiles::contents(output) == "an earlier cut", row.cancel);
        if (row.cancel)
            return;

        const ExactCutPlan &plan = cut->plan();
        QCOMPARE(progress.last().at(0).toDouble(), 100.0);
        // The bar never goes back, and the sheet names every step while it runs.
        for (qsizetype i = 1; i < progress.size(); ++i)
            QVERIFY(progress.at(i).at(0).toDouble() >= progress.at(i - 1).at(0).toDouble());
        QStringList named;
        for (const QList<QVariant> &step : steps) {
            named += step.at(0).toString().split(u'\n');
            QVERIFY(!row.oneLane || !step.at(0).toString().contains(u'\n'));
        }
        const auto section = [](const char *text, const ExactCutPlan::Section &part) {
            return part.isEmpty() ? QString() : QString::fromLatin1(text).arg(part.frames);
        };
        QStringList expected{section("Re-encoding the first %1 frames", plan.head()),
                             section("Copying %1 frames", plan.middle()),
                             section("Re-encoding the last %1 frames", plan.tail()), u"Joining the parts"_s};
        expected.removeAll(QString());
        for (const QString &name : expected)
            QVERIFY2(named.contains(name), qPrintable(name));
        // For a user to repeat.
        QCOMPARE(log.lines().filter(QRegularExpression(u"^creator \\[\"-"_s)).size(), row.commands);
        QByteArray errors;
        const QList<QByteArray> cutFrames = frameHashes(output, &errors);
        QCOMPARE(errors, QByteArray());
        QCOMPARE(cutFrames.size(), row.frames);
        // The copied frames are the source's own.
        const QList<double> times = frameTimes(clip);
        const qsizetype first = std::lower_bound(times.cbegin(), times.cend(), plan.firstKept()) - times.cbegin();
        const QList<QByteArray> sourceFrames = frameHashes(clip, &errors);
        QCOMPARE(cutFrames.mid(plan.head().frames, plan.middle().frames),
                 sourceFrames.mid(first + plan.head().frames, plan.middle().frames));
        // Byte for byte where no parameter set is added to them, nor their framing changed. From MPEG-TS to
        // MPEG-TS the last may end in a zero byte more, which its reader takes from the next one's start code.
        const bool transported = suffix.endsWith(u"ts"_s) && clip.endsWith(u"ts"_s);
        const QByteArray video(row.video);
        if (video.contains("vp9") || video.contains("av1") || video.contains("mpeg2") || transported) {
            const qsizetype copied = plan.middle().frames - (transported ? 1 : 0);
            QCOMPARE(frameHashes(output, &errors, true).mid(plan.head().frames, copied),
                     copiedPackets(clip, plan.middle()).mid(0, copied));
        }
        // Evenly spaced: no hole and no overlap at a seam.
        const QList<double> cutTimes = frameTimes(output);
        for (qsizetype i = 1; i < cutTimes.size(); ++i)
            QVERIFY2(qAbs(cutTimes.at(i) - cutTimes.at(i - 1) - 0.04) < 0.001, qPrintable(QString::number(i)));
        const auto rotation = [](const QString &path) {
            return toolOutput(ToolLocator::sniffer, {u"-show_entries"_s, u"stream_side_data=rotation"_s, path});
        };
        // The re-encoded ones are the right frames, close to the source's (a neighbour scores below 30 dB).
        QVERIFY(lowestPsnr(output, clip, first, row.frames) > 35.0);
        QCOMPARE(rotation(output), rotation(clip));
        QVERIFY2(streamMismatch(output) <= 1.0, qPrintable(QString::number(streamMismatch(output))));
        if (arguments.contains(u"SUBS"_s)) {
            // Cut to the frames kept, counted from the first, named as they were; the file is no longer than its
            // video and audio. The entries lie where the source's first frame does.
            const double first = plan.firstKept() - times.first(), last = *plan.firstExcluded() - times.first();
            QList<double> clipped{0, 1 - first, 1.5 - first, 2 - first, 3 - first, last - first};
            std::transform(clipped.begin(), clipped.end(), clipped.begin(), MediaFactory::hundredths);
            QCOMPARE(MediaFactory::subtitleTimes(output), clipped);
            QCOMPARE(subtitleDescriptions(output), subtitleDescriptions(clip));
            const auto cut = FileProbe::create(output, tools);
            QVERIFY2(cut->duration() < *cut->videoDuration() + 0.13, qPrintable(QString::number(cut->duration())));
        }
    }

    // Poster requests come without the event loop running between them, as during a burst of key presses: which
    // extractions run and which are announced does not depend on how fast the encoder is.
    void burstsEndInTheNewestRequestAndExactFramesAreRemembered()
    {
        PosterExtraction posters(ToolLocator(MediaFactory::toolsFolder()), m_posters.filePath(u"Poster"_s));
        for (const double seconds : {1.0, 2.0, 3.0, 8.0})
            posters.request(m_clip, seconds, PosterExtraction::Accuracy::Exact);
        QCOMPARE(announcedTimes(posters), (QList<double>{1.0, 8.0}));
        const QString direct = m_posters.filePath(u"direct.jpg"_s);
        QCOMPARE(QProcess::execute(QDir(MediaFactory::toolsFolder()).filePath(ToolLocator::creator),
                                   PosterExtraction::arguments(m_clip, 8.0, direct,
                                                               PosterExtraction::Accuracy::Exact)), 0);
        QCOMPARE(QImage(posters.shownFilePath()), QImage(direct));
        QCOMPARE(QImage(direct).height(), 480);
        QVERIFY(QFile::remove(direct));
        // Only the frame shown is kept.
        QCOMPARE(TestFiles::listing(m_posters.filePath(u"Poster"_s)), QStringList{u"out.jpg"_s});

        // Remembered frames show at once, and one asked for before them never shows after them.
        const QByteArray eight = TestFiles::contents(posters.shownFilePath());
        posters.request(m_clip, 3.0, PosterExtraction::Accuracy::Exact);
        posters.request(m_clip, 1.0, PosterExtraction::Accuracy::Exact);
        const QByteArray one = TestFiles::contents(posters.shownFilePath());
        QVERIFY(one != eight);
        QCOMPARE(announcedTimes(posters), QList<double>());
        QCOMPARE(TestFiles::contents(posters.shownFilePath()), one);
        posters.request(m_clip, 8.0, PosterExtraction::Accuracy::Exact);
        QVERIFY(posters.isIdle());
        QCOMPARE(TestFiles::contents(posters.shownFilePath()), eight);
        // Another time within the same second is another frame.
        posters.request(m_clip, 8.2, PosterExtraction::Accuracy::Exact);
        QCOMPARE(announcedTimes(posters), QList<double>{8.2});
        QVERIFY(TestFiles::contents(posters.shownFilePath()) != eight);
    }

    // Just before an open-GOP keyframe the frames decode after it: the exact frame needs the input entered a second
    // earlier, and only there, or where the keyframes are not known yet for a codec that makes open GOPs.
    void openGopFrames()
    {
        const PacketList keyframes = PacketList::parse("0.0,K\n2.0,K\n");
        const auto lead = [](double seconds, const PacketList &packets, double start, bool openGops) {
            const Timeline::Seek seek = Timeline(&packets, start, 0, 4, 25, false, openGops).exactSeek(seconds);
            return std::round(seek.output * 1000) / 1000;
        };
        QCOMPARE(lead(1.96, keyframes, 0.0, false), 1.0);
        QCOMPARE(lead(1.0, keyframes, 0.0, true), 0.0);
        QCOMPARE(lead(1.7, PacketList(), 0.3, true), 1.0);
        QCOMPARE(lead(1.7, PacketList(), 0.3, false), 0.0);
        const QString hevc = u"-f lavfi -i testsrc2=size=160x120:rate=25:duration=3 -c:v libx265 -x265-params "
                             "keyint=50:log-level=error -pix_fmt yuv420p10le"_s;
        const QString clip = MediaFactory(m_posters.path()).generate(u"opengop.mp4"_s, hevc.split(u' '));
        const QString shown = m_posters.filePath(u"shown.jpg"_s), decoded = m_posters.filePath(u"decoded.jpg"_s);
        const auto creator = [](const QStringList &arguments) {
            return QProcess::execute(QDir(MediaFactory::toolsFolder()).filePath(ToolLocator::creator), arguments);
        };
        QCOMPARE(creator(PosterExtraction::arguments(clip, 1.96, shown, PosterExtraction::Accuracy::Exact,
                                                     Timeline::Seek{0.96, 1.0})), 0);
        // Frame 49 of the file decoded from its start, then made a poster the same way.
        QCOMPARE(creator({u"-v"_s, u"error"_s, u"-i"_s, clip, u"-vf"_s, u"select=eq(n\\,49),scale=-1:480,setsar=1:1"_s,
                          u"-frames:v"_s, u"1"_s, decoded}), 0);
        QCOMPARE(QImage(shown), QImage(decoded));
    }

    void stoppedExtractionsAreNeverShown()
    {
        {
            PosterExtraction posters(ToolLocator(MediaFactory::toolsFolder()), m_posters.filePath(u"Poster"_s));
            posters.request(m_clip, 1.0, PosterExtraction::Accuracy::Exact);
            posters.request(m_clip, 2.0, PosterExtraction::Accuracy::Keyframe);
            posters.reset();
            QVERIFY(posters.isIdle());
            posters.request(m_clip, 5.0, PosterExtraction::Accuracy::Keyframe);
            QCOMPARE(announcedTimes(posters), QList<double>{5.0});
            // The exact frame stops a keyframe preview rather than wait for it, and no stale one runs after it.
            posters.request(m_clip, 6.0, PosterExtraction::Accuracy::Keyframe);
            posters.request(m_clip, 6.5, PosterExtraction::Accuracy::Keyframe);
            posters.request(m_clip, 7.0, PosterExtraction::Accuracy::Exact);
            QSignalSpy announced(&posters, &PosterExtraction::extracted);
            QVERIFY(announced.wait(30000) && posters.isIdle() && announced.first().at(0).toDouble() == 7.0);
            posters.request(m_clip, 9.0, PosterExtraction::Accuracy::Exact);
            QVERIFY(!ChildProcesses::running().isEmpty());
        }
        QCOMPARE(ChildProcesses::running(), QList<qint64>());
        QCOMPARE(ChildProcesses::zombies(), QList<qint64>());
    }
};

QTEST_GUILESS_MAIN(TestTrimEncoder)
#include "tst_trimencoder.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "exactcutcommand.h"

#include <algorithm>

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include "decimaltext.h"
#include "framerate.h"
#include "packetlist.h"
#include "timeline.h"
#include "trackmap.h"

namespace {

// When the track states no usable frame rate: a step's progress is then told as if its frames were this short.
constexpr double fallbackFrameDuration = 0.002;
constexpr double scanMargin = 2.0;
// Where a seek lands on no keyframe (MPEG-TS, MPEG-PS), the listing must reach back to the keyframe before the selection.
constexpr double blindScanMargin = 10.0;
// Such a seek lands at or before the time asked for, and decoding starts at the first keyframe it meets: it
// enters this much before the keyframe wanted.
constexpr double blindEntryMargin = 0.5;
// Audio is stored up to the muxer's delay (0.7 s by default) ahead of the video beside it; the join reads it
// from this much earlier and drops what lies before the selection.
constexpr double blindAudioLead = 1.0;
// Visually lossless for the few frames at the edges.
const QString edgeQuality = QStringLiteral("16");

struct Name
{
    const char *prober;
    const char *encoder;
};

// The prober's profile names and the encoders' own; a profile not listed is left to the encoder.
constexpr Name h264Profiles[] = {{"Constrained Baseline", "baseline"}, {"Baseline", "baseline"}, {"Main", "main"},
                                 {"High", "high"}, {"High 10", "high10"}, {"High 4:2:2", "high422"},
                                 {"High 4:4:4 Predictive", "high444"}};
constexpr Name hevcProfiles[] = {{"Main", "main"}, {"Main 10", "main10"}, {"Main Still Picture", "mainstillpicture"}};
constexpr Name vp9Profiles[] = {{"Profile 0", "0"}, {"Profile 1", "1"}, {"Profile 2", "2"}, {"Profile 3", "3"}};
constexpr Name mpeg2Profiles[] = {{"Simple", "simple"}, {"Main", "main"}, {"High", "high"}, {"4:2:2", "422"}};

// The prober's colour fields and the encoder's options for them.
constexpr Name colourOptions[] = {{"color_range", "-color_range"}, {"color_space", "-colorspace"},
                                  {"color_transfer", "-color_trc"}, {"color_primaries", "-color_primaries"}};

QString tr(const char *text)
{
    return QCoreApplication::translate("ExactCutCommand", text);
}

QString encoderFor(const QString &codec)
{
    if (codec == u"h264")
        return QStringLiteral("libx264");
    if (codec == u"hevc")
        return QStringLiteral("libx265");
    if (codec == u"vp9")
        return QStringLiteral("libvpx-vp9");
    if (codec == u"av1")
        return QStringLiteral("libsvtav1");
    if (codec == u"mpeg2video")
        return QStringLiteral("mpeg2video");
    return {};
}

double frameDurationOf(const QJsonObject &track)
{
    for (const char *key : {"avg_frame_rate", "r_frame_rate"}) {
        const QStringList fraction = track.value(QLatin1String(key)).toString().split(QLatin1Char('/'));
        const double rate = fraction.size() == 2 ? fraction.at(0).toDouble() / fraction.at(1).toDouble() : 0.0;
        if (rate > 0.0 && rate < 1000.0)
            return 1.0 / rate;
    }
    return fallbackFrameDuration;
}

template<qsizetype N>
QString lookUp(const Name (&names)[N], const QString &proberName)
{
    for (const Name &name : names) {
        if (proberName == QLatin1String(name.prober))
            return QLatin1String(name.encoder);
    }
    return {};
}

// A concat list's file line; the list's quoting is the shell's, without its expansions.
QString fileLine(const QString &path)
{
    return QStringLiteral("file '%1'\n").arg(QString(path).replace(QLatin1Char('\''), QStringLiteral("'\\''")));
}

bool isQuickTimeFamily(const QString &path)
{
    static const QStringList suffixes{QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mov")};
    return suffixes.contains(QFileInfo(path).suffix().toLower());
}

bool isTransportStream(const QString &path)
{
    static const QStringList suffixes{QStringLiteral("ts"), QStringLiteral("m2ts"), QStringLiteral("mts")};
    return suffixes.contains(QFileInfo(path).suffix().toLower());
}

} // namespace

// What the cut takes, and why not: one check a line, the first that fails giving the reason.
QString ExactCutCommand::whyNot(const QString &formatName, const QJsonObject &videoTrack)
{
    const QString codec = videoTrack.value(u"codec_name").toString();
    const QString codecName = codec.isEmpty() ? tr("of no known codec") : codec.toUpper();
    const QString pixelFormat = videoTrack.value(u"pix_fmt").toString();
    const QString fieldOrder = videoTrack.value(u"field_order").toString();
    const bool transportStream = formatName == u"mpegts";
    const bool programStream = formatName == u"mpeg";
    if (formatName != u"mov,mp4,m4a,3gp,3g2,mj2" && formatName != u"matroska,webm" && !transportStream
        && !programStream)
        return tr("An exact cut needs an MP4, MOV, M4V, Matroska, WebM, MPEG-TS or MPEG-PS file.");
    if (encoderFor(codec).isEmpty())
        return tr("An exact cut re-encodes its edges in the video's own codec, which must be H.264, HEVC, VP9, AV1 or "
                  "MPEG-2; this video is %1.").arg(codecName);
    if (transportStream && codec != u"h264" && codec != u"hevc" && codec != u"mpeg2video")
        return tr("An exact cut of an MPEG-TS file needs H.264, HEVC or MPEG-2 video; this video is %1.")
            .arg(codecName);
    if (programStream && codec != u"mpeg2video")
        return tr("An exact cut of an MPEG-PS file needs MPEG-2 video; this video is %1.").arg(codecName);
    if (codec == u"mpeg2video" && !transportStream && !programStream)
        return tr("An exact cut of MPEG-2 video needs an MPEG-TS or MPEG-PS file.");
    // SVT-AV1 encodes AV1's Main profile only.
    if (codec == u"av1" && pixelFormat != u"yuv420p" && pixelFormat != u"yuv420p10le")
        return tr("An exact cut of AV1 needs 4:2:0 video in 8 or 10 bits, which its encoder writes; this video "
                  "is %1.").arg(pixelFormat);
    // Fields coded apart would meet frames coded whole at a seam. MPEG-2's edges are coded as interlaced
    // frames with the source's first field, as its broadcasts are; x264 codes no field pictures, so no join
    // with H.264's could be checked.
    const bool interlaced = !fieldOrder.isEmpty() && fieldOrder != u"progressive" && fieldOrder != u"unknown";
    if (interlaced && (codec != u"mpeg2video" || (fieldOrder != u"tt" && fieldOrder != u"bb")))
        return tr("An exact cut needs progressive video; this video is interlaced.");
    return {};
}

ExactCutCommand::ExactCutCommand(const QString &sourcePath, const QString &formatName, const QJsonObject &videoTrack,
                                 const QList<MediaTrack> &keptTracks)
    : m_sourcePath(sourcePath)
    , m_entersBlindly(Timeline::seeksBlindly(formatName))
    , m_track(videoTrack)
    , m_keptTracks(keptTracks)
    , m_encoder(encoderFor(videoTrack.value(u"codec_name").toString()))
    , m_frameDuration(frameDurationOf(videoTrack))
{
}

QString ExactCutCommand::segmentFileName(Segment segment) const
{
    const QString suffix = m_entersBlindly ? QStringLiteral(".ts") : QStringLiteral(".mp4");
    switch (segment) {
    case Segment::Head:
        return QStringLiteral("head") + suffix;
    case Segment::Middle:
        return QStringLiteral("middle") + suffix;
    case Segment::Tail:
        break;
    }
    return QStringLiteral("tail") + suffix;
}

// The margin holds the B-frames that follow the last frame in decoding order, and tells a selection that reaches
// the end of the stream from one that does not. The end is absolute: "+offset" would count from the keyframe the
// prober seeks to, which may lie long before the start.
QStringList ExactCutCommand::scanArguments(double start, double end) const
{
    const double before = m_entersBlindly ? blindScanMargin : scanMargin;
    return PacketList::snifferArguments(m_sourcePath, {{std::max(0.0, start - before), end + scanMargin}});
}

// The seek lands between the frame before and the first, so that a time rounded by the prober still keeps the
// frame, at any frame rate, variable ones included; the count ends it. Timestamps restart at zero for the join
// to place the part, and the encoder keeps the source's. The frames stay as stored, like the copied ones, and
// the part carries the source's rotation on to the join.
// Where a seek lands blindly, the input is entered before the section's keyframe and the frames before the
// entry are trimmed by their times, which then count from where the input was entered.
QStringList ExactCutCommand::encodeArguments(const ExactCutPlan::Section &section, const QString &outputPath) const
{
    const double entered = m_entersBlindly ? blindEntry(section) : section.entry;
    // Bounded at both ends: a decode that began a group late comes out short, and the count tells, rather than
    // running on into frames the next part holds.
    const QString trimEnd = section.to ? QStringLiteral(":end=%1").arg(secondsArgument(*section.to - entered
                                                                                       - Timeline::tolerance))
                                       : QString();
    const QString trim = m_entersBlindly
        ? QStringLiteral("trim=start=%1%2,").arg(secondsArgument(section.entry - entered), trimEnd)
        : QString();
    return QStringList{QStringLiteral("-autorotate"), QStringLiteral("0"),
                       QStringLiteral("-seek_timestamp"), QStringLiteral("1"),
                       QStringLiteral("-ss"), secondsArgument(entered),
                       QStringLiteral("-i"), m_sourcePath,
                       QStringLiteral("-map"), QStringLiteral("0:v:0"), QStringLiteral("-an"), QStringLiteral("-sn"),
                       QStringLiteral("-dn"), QStringLiteral("-frames:v"), QString::number(section.frames),
                       QStringLiteral("-fps_mode"), QStringLiteral("passthrough"),
                       QStringLiteral("-vf"), trim + QStringLiteral("setpts=PTS-STARTPTS")}
        + timeBaseSettings() + QStringList{QStringLiteral("-c:v"), m_encoder} + qualitySettings() + sourceSettings()
        + encoderParameters() + groupSettings(section) + containerSettings(outputPath)
        + QStringList{QStringLiteral("-y"), outputPath};
}

// A seek in the concat list lands on the keyframe itself, where one before the input may land a group early
// (Matroska with B-frames). The microsecond covers the prober's rounding of the keyframe's time.
QString ExactCutCommand::copyList(const ExactCutPlan::Section &section) const
{
    if (m_entersBlindly)
        return {};
    // A relative path would count from the list's folder.
    return QStringLiteral("ffconcat version 1.0\n") + fileLine(QFileInfo(m_sourcePath).absoluteFilePath())
        + QStringLiteral("inpoint %1\n").arg(secondsArgument(section.from + 1e-6));
}

// Annex B carries the parameter sets in-band before each keyframe; the keyframe's open-GOP leading frames
// refer to the group before it, which is not copied, so they are dropped. A VP9 or AV1 keyframe needs neither:
// it holds all it is decoded from, AV1's with its sequence header, and no frame after it refers to one before.
QStringList ExactCutCommand::copyArguments(const ExactCutPlan::Section &section, const QString &listPath,
                                           const QString &outputPath) const
{
    QStringList arguments = m_entersBlindly ? blindCopyInput(section)
                                            : QStringList{QStringLiteral("-f"), QStringLiteral("concat"),
                                                          QStringLiteral("-safe"), QStringLiteral("0"),
                                                          QStringLiteral("-i"), listPath};
    arguments << QStringLiteral("-map") << QStringLiteral("0:v:0") << QStringLiteral("-c") << QStringLiteral("copy")
              << QStringLiteral("-frames:v") << QString::number(section.frames);
    if (hasParameterSets() || m_entersBlindly) {
        const QString annexB = !hasParameterSets() ? QString()
                             : isHevc()            ? QStringLiteral("hevc_mp4toannexb,")
                                                   : QStringLiteral("h264_mp4toannexb,");
        const QString first = m_entersBlindly ? QString::number(ticksBefore(section.from)) : QStringLiteral("startpts");
        arguments << QStringLiteral("-bsf:v") << annexB + QStringLiteral("noise=drop=lt(pts\\,%1)").arg(first);
    }
    if (m_entersBlindly)
        arguments << QStringLiteral("-output_ts_offset") << secondsArgument(-section.from);
    return arguments + containerSettings(outputPath) + QStringList{QStringLiteral("-y"), outputPath};
}

// The source's own times are kept, so that the packets before the keyframe, its open-GOP leading frames among
// them, are told by their own; the part then counts from the keyframe. MPEG-PS leaves some presentation times
// out, and a packet without one would be dropped with those before the keyframe.
QStringList ExactCutCommand::blindCopyInput(const ExactCutPlan::Section &section) const
{
    return {QStringLiteral("-copyts"), QStringLiteral("-fflags"), QStringLiteral("+genpts"),
            QStringLiteral("-seek_timestamp"), QStringLiteral("1"),
            QStringLiteral("-ss"), secondsArgument(section.from - blindEntryMargin),
            QStringLiteral("-i"), m_sourcePath};
}

// Before the keyframe wanted, or where none is listed, as far back as the listing reaches.
double ExactCutCommand::blindEntry(const ExactCutPlan::Section &section)
{
    return section.keyframe.value_or(section.from - blindScanMargin) - blindEntryMargin;
}

// Half a millisecond before `seconds`, in the video's own ticks.
qint64 ExactCutCommand::ticksBefore(double seconds) const
{
    // A tick's length is a ratio as a rate is; MPEG-TS's clock where none is given.
    const double tick = frameRateFromRatio(m_track.value(u"time_base").toString()).value_or(1.0 / 90000.0);
    return std::llround((seconds - Timeline::tolerance) / tick);
}

// Each part lasts exactly its section, so no frame's display time is lost or doubled at a seam.
QString ExactCutCommand::joinList(const ExactCutPlan &plan) const
{
    QString list = QStringLiteral("ffconcat version 1.0\n");
    const auto add = [this, &list](Segment segment, const ExactCutPlan::Section &section) {
        if (section.isEmpty())
            return;
        list += fileLine(segmentFileName(segment));
        if (const auto duration = section.duration())
            list += QStringLiteral("duration %1\n").arg(secondsArgument(*duration));
    };
    add(Segment::Head, plan.head());
    add(Segment::Middle, plan.middle());
    add(Segment::Tail, plan.tail());
    return list;
}

// The audio is cut once, from the source, so no seam of the video shows in it; none of its packets from
// before the start is kept, or in Matroska the video would start late.
QStringList ExactCutCommand::joinArguments(const ExactCutPlan &plan, const QString &listPath,
                                           const QString &outputPath, const QString &subtitleFolder) const
{
    QStringList arguments{QStringLiteral("-f"), QStringLiteral("concat"), QStringLiteral("-safe"),
                          QStringLiteral("0"), QStringLiteral("-i"), listPath,
                          QStringLiteral("-seek_timestamp"), QStringLiteral("1")};
    // Shifted back by the lead, the audio before the selection falls before zero, where it is dropped.
    const double lead = m_entersBlindly ? blindAudioLead : 0.0;
    if (lead > 0)
        arguments << QStringLiteral("-itsoffset") << secondsArgument(-lead);
    arguments << QStringLiteral("-ss") << secondsArgument(plan.firstKept() - lead);
    if (const auto end = plan.firstExcluded())
        arguments << QStringLiteral("-t") << secondsArgument(*end - plan.firstKept());
    const TrackMap tracks(m_keptTracks, QFileInfo(outputPath).suffix(), TrackMap::Mode::Copy, subtitleFolder);
    const QString video = QStringLiteral("0:v:0");
    return arguments + QStringList{QStringLiteral("-i"), m_sourcePath} + tracks.clipInputArguments()
        + QStringList{QStringLiteral("-map"), video} + tracks.mapArguments(1)
        + QStringList{QStringLiteral("-c"), QStringLiteral("copy")} + annexBSettings(outputPath)
        + tracks.streamSettings(1, video)
        + QStringList{QStringLiteral("-copypriorss:a"), QStringLiteral("0"),
                      QStringLiteral("-map_metadata"), QStringLiteral("1"),
                      QStringLiteral("-map_chapters"), QStringLiteral("-1")}
        + containerSettings(outputPath) + QStringList{QStringLiteral("-y"), outputPath};
}

// MPEG-TS takes HEVC in Annex B. The converter the muxer would add puts the first part's parameter sets before
// every keyframe, and a decoder meeting other sets before each copied keyframe then drops its open-GOP leading
// frames. The metadata filter writes Annex B and adds nothing. Parts from MPEG-TS are in Annex B already.
QStringList ExactCutCommand::annexBSettings(const QString &outputPath) const
{
    if (!isHevc() || m_entersBlindly || !isTransportStream(outputPath))
        return {};
    return {QStringLiteral("-bsf:v"), QStringLiteral("hevc_metadata")};
}

QStringList ExactCutCommand::encoderListArguments()
{
    return {QStringLiteral("-hide_banner"), QStringLiteral("-encoders")};
}

bool ExactCutCommand::listsEncoder(const QByteArray &listing, const QString &encoder)
{
    // " V....D libx264  libx264 H.264 / AVC ...": the name is the second word of its line.
    const QRegularExpression line(QStringLiteral("^\\s*\\S+\\s+%1\\s").arg(QRegularExpression::escape(encoder)),
                                  QRegularExpression::MultilineOption);
    return !encoder.isEmpty() && line.match(QString::fromUtf8(listing)).hasMatch();
}

// Not CSV: a stream with side data, a rotation say, gets a trailing comma there.
QStringList ExactCutCommand::packetCountArguments(const QString &path)
{
    return {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("v:0"),
            QStringLiteral("-count_packets"), QStringLiteral("-show_entries"),
            QStringLiteral("stream=nb_read_packets"), QStringLiteral("-of"), QStringLiteral("default=nw=1:nk=1"), path};
}

// The source's reorder depth at least: with fewer B-frames the head's decoding times would run into the
// copied part's.
QStringList ExactCutCommand::sourceSettings() const
{
    QStringList settings;
    const QString proberProfile = m_track.value(u"profile").toString();
    // SVT-AV1's one profile is the source's, as supports() requires.
    const QString profile = isHevc()  ? lookUp(hevcProfiles, proberProfile)
                          : isVp9()   ? lookUp(vp9Profiles, proberProfile)
                          : isAv1()   ? QString()
                          : isMpeg2() ? lookUp(mpeg2Profiles, proberProfile)
                                      : lookUp(h264Profiles, proberProfile);
    if (!profile.isEmpty())
        settings << QStringLiteral("-profile:v") << profile;
    const bool h264 = m_encoder == u"libx264";
    const int level = m_track.value(u"level").toInt();
    if (h264 && level > 0)
        settings << QStringLiteral("-level:v") << QString::number(level / 10.0, 'f', 1);
    if (isMpeg2() && level > 0)
        settings << QStringLiteral("-level:v") << QString::number(level);
    const QString pixelFormat = m_track.value(u"pix_fmt").toString();
    if (!pixelFormat.isEmpty())
        settings << QStringLiteral("-pix_fmt") << pixelFormat;
    if (h264)
        settings << QStringLiteral("-bf") << QString::number(m_track.value(u"has_b_frames").toInt());
    return settings + colourSettings();
}

QStringList ExactCutCommand::colourSettings() const
{
    QStringList settings;
    for (const Name &colour : colourOptions) {
        const QString value = m_track.value(QLatin1String(colour.prober)).toString();
        if (!value.isEmpty() && value != u"unknown" && value != u"reserved")
            settings << QLatin1String(colour.encoder) << value;
    }
    return settings;
}

// x264's stitchable streams keep their headers joinable with another encoder's; HEVC's level is the
// prober's number divided by 30.
QStringList ExactCutCommand::encoderParameters() const
{
    const int depth = m_track.value(u"has_b_frames").toInt();
    // libvpx's real-time speed 8, on every core: at this quality 52 dB against the source, 0.8 dB below its
    // "good" speed 4 and three and a half times as fast (1080p), faster than x264 at the same quality.
    if (isVp9())
        return {QStringLiteral("-deadline"), QStringLiteral("realtime"), QStringLiteral("-cpu-used"),
                QStringLiteral("8"), QStringLiteral("-row-mt"), QStringLiteral("1")};
    // SVT-AV1's preset 8: 51.7 dB against the source at this quality, where preset 10 loses 2 dB for twice the
    // speed (1080p).
    if (isAv1())
        return {QStringLiteral("-preset"), QStringLiteral("8")};
    // Closed groups: the edges refer to no frame outside themselves. B-frames as a broadcaster's.
    if (isMpeg2()) {
        const QString fieldOrder = m_track.value(u"field_order").toString();
        const bool interlaced = fieldOrder == u"tt" || fieldOrder == u"bb";
        QStringList parameters{QStringLiteral("-flags"),
                               interlaced ? QStringLiteral("+cgop+ildct+ilme") : QStringLiteral("+cgop"),
                               QStringLiteral("-sc_threshold"), QStringLiteral("1000000000"), QStringLiteral("-bf"),
                               depth > 0 ? QStringLiteral("2") : QStringLiteral("0")};
        if (interlaced)
            parameters << QStringLiteral("-top") << (fieldOrder == u"tt" ? QStringLiteral("1") : QStringLiteral("0"));
        return parameters;
    }
    if (!isHevc())
        return {QStringLiteral("-x264-params"), QStringLiteral("stitchable=1:repeat-headers=1")};
    QString parameters = QStringLiteral("repeat-headers=1:log-level=error:bframes=%1").arg(depth);
    const int level = m_track.value(u"level").toInt();
    if (level > 0)
        parameters += QStringLiteral(":level-idc=%1").arg(QString::number(level / 30.0, 'f', 1));
    return {QStringLiteral("-x265-params"), parameters};
}

// MP4 and MOV keep the source's time scale, so the copied timestamps stay exact; HEVC with parameter sets
// in-band must be tagged hev1, as hvc1 forbids them.
QStringList ExactCutCommand::containerSettings(const QString &outputPath) const
{
    if (!isQuickTimeFamily(outputPath))
        return {};
    QStringList settings;
    const QStringList timeBase = m_track.value(u"time_base").toString().split(QLatin1Char('/'));
    if (timeBase.size() == 2 && timeBase.at(1).toInt() > 0)
        settings << QStringLiteral("-video_track_timescale") << timeBase.at(1);
    if (isHevc())
        settings << QStringLiteral("-tag:v") << QStringLiteral("hev1");
    return settings;
}

bool ExactCutCommand::isHevc() const
{
    return m_encoder == u"libx265";
}

bool ExactCutCommand::isVp9() const
{
    return m_encoder == u"libvpx-vp9";
}

bool ExactCutCommand::isAv1() const
{
    return m_encoder == u"libsvtav1";
}

bool ExactCutCommand::hasParameterSets() const
{
    return m_encoder == u"libx264" || isHevc();
}

// libvpx takes -crf as a cap unless the bit rate is left free; the MPEG-2 encoder has a fixed quantiser instead.
QStringList ExactCutCommand::qualitySettings() const
{
    if (isMpeg2())
        return {QStringLiteral("-q:v"), QStringLiteral("2")};
    const QStringList crf{QStringLiteral("-crf"), edgeQuality};
    return isVp9() ? crf + QStringList{QStringLiteral("-b:v"), QStringLiteral("0")} : crf;
}

// An MPEG-2 edge is one group, as the part of the source's group it stands for: no longer than the groups a
// broadcast's receivers are made for.
QStringList ExactCutCommand::groupSettings(const ExactCutPlan::Section &section) const
{
    if (!isMpeg2())
        return {};
    return {QStringLiteral("-g"), QString::number(std::max<qsizetype>(section.frames, 1))};
}

// The source's time base; MPEG-2 counts in frames of its rate.
QStringList ExactCutCommand::timeBaseSettings() const
{
    if (isMpeg2())
        return {};
    return {QStringLiteral("-enc_time_base"), QStringLiteral("-1")};
}

bool ExactCutCommand::isMpeg2() const
{
    return m_encoder == u"mpeg2video";
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "exactcutplan.h"
#include "mediatrack.h"

// The tool command lines of an exact cut of one source, derived from the
// source's first video track as the prober describes it (codec_name,
// profile, level, pix_fmt, colours, has_b_frames, time_base, frame rate).
//
// The re-encoded head and tail must be decodable in one stream with the
// copied middle: they use the source's codec, profile, level, pixel format,
// colours and reorder depth, and carry their parameter sets in-band, as the
// copied middle does once converted to Annex B, so a decoder meets each set
// where it applies. VP9 and AV1 have no parameter sets to repeat (an AV1
// keyframe carries its sequence header) and no frame after a keyframe
// refers to one before it, so their parts join as they are. An MPEG-2 edge
// is a closed group with its own sequence header. The segments are files
// named by `segmentFileName` in one folder, together with the concat lists.
// Pure: nothing runs here.
class ExactCutCommand
{
public:
    enum class Segment { Head, Middle, Tail };

    // Why a source cannot be cut exactly, for a person; empty when it can:
    // progressive H.264, HEVC, VP9 or AV1 (4:2:0) video, in the QuickTime
    // family (MP4, MOV, M4V), Matroska and WebM, H.264 or HEVC in MPEG-TS,
    // and MPEG-2, interlaced too, in MPEG-TS or MPEG-PS, as the prober names them
    // (format_name; codec_name, pix_fmt and field_order of the video track).
    static QString whyNot(const QString &formatName, const QJsonObject &videoTrack);

    // `keptTracks`: the source's audio and subtitle tracks the join keeps, in
    // the file's order.
    // `formatName` as the prober gives it: an MPEG-TS or MPEG-PS file is
    // entered blindly (Timeline::seeksBlindly()), before the keyframe each
    // part starts from, and its middle is copied from the file rather than
    // through a concat list, whose seek would land a group late.
    ExactCutCommand(const QString &sourcePath, const QString &formatName, const QJsonObject &videoTrack,
                    const QList<MediaTrack> &keptTracks = {});

    // The encoder of the source's codec ("libx264", "libx265"); empty for a
    // codec the cut does not handle.
    QString encoder() const { return m_encoder; }
    // A frame's length at the nominal rate: only the progress of a step is
    // estimated by it; where frames go is read from the packets' own times.
    double frameDuration() const { return m_frameDuration; }

    // MP4, or MPEG-TS for a source entered blindly, whose copied packets keep
    // their framing and need no conversion that would repeat the edges'
    // parameter sets before each of the copied keyframes.
    QString segmentFileName(Segment segment) const;
    static QString copyListFileName() { return QStringLiteral("middle.ffconcat"); }
    static QString joinListFileName() { return QStringLiteral("join.ffconcat"); }

    // The prober listing the packets of [start, end) seconds, with a margin.
    QStringList scanArguments(double start, double end) const;
    // Re-encodes the frames of `section` into `outputPath`.
    QStringList encodeArguments(const ExactCutPlan::Section &section, const QString &outputPath) const;
    // Copies the packets of `section` through the concat list `copyList`,
    // which is empty where the file is entered blindly and none is read.
    QString copyList(const ExactCutPlan::Section &section) const;
    QStringList copyArguments(const ExactCutPlan::Section &section, const QString &listPath,
                              const QString &outputPath) const;
    // Joins the plan's parts, listed by `joinList`, with the kept tracks of
    // the source's selection, copied once; the text subtitles read from
    // their files in `subtitleFolder` cut to the plan's frames (SubtitleClip),
    // counted from its first, where there is one.
    QString joinList(const ExactCutPlan &plan) const;
    QStringList joinArguments(const ExactCutPlan &plan, const QString &listPath, const QString &outputPath,
                              const QString &subtitleFolder = {}) const;

    // The encoder's list of encoders, and whether `encoder` is in it.
    static QStringList encoderListArguments();
    static bool listsEncoder(const QByteArray &listing, const QString &encoder);
    // The prober counting the video packets of a file: one number.
    static QStringList packetCountArguments(const QString &path);

private:
    QStringList blindCopyInput(const ExactCutPlan::Section &section) const;
    static double blindEntry(const ExactCutPlan::Section &section);
    qint64 ticksBefore(double seconds) const;
    QStringList annexBSettings(const QString &outputPath) const;
    QStringList sourceSettings() const;
    QStringList colourSettings() const;
    QStringList encoderParameters() const;
    QStringList containerSettings(const QString &outputPath) const;
    bool isHevc() const;
    bool isVp9() const;
    bool isAv1() const;
    bool isMpeg2() const;
    bool hasParameterSets() const;
    QStringList qualitySettings() const;
    QStringList timeBaseSettings() const;
    QStringList groupSettings(const ExactCutPlan::Section &section) const;

    const QString m_sourcePath;
    const bool m_entersBlindly;
    const QJsonObject m_track;
    const QList<MediaTrack> m_keptTracks;
    const QString m_encoder;
    const double m_frameDuration;
};

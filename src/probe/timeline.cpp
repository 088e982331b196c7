// SPDX-License-Identifier: GPL-3.0-or-later
#include "timeline.h"

#include <algorithm>
#include <cmath>

#include <QStringList>

#include "fileprobe.h"
#include "json.h"
#include "packetlist.h"

namespace {

// Entered this long before a keyframe, a blind seek still finds that keyframe: it covers the reorder delay
// between a keyframe's decoding and presentation times, and the demuxer's landing beside the time asked.
constexpr double blindSeekMargin = 0.5;
// A copy keeps what it reads from where it enters: little more than the reorder delay, so that little sound
// comes before its first picture.
constexpr double blindCopyMargin = 0.2;
// Where the keyframes are not known yet, a blind seek enters this long before the time: it finds the
// keyframe before the frame for groups of pictures up to some 9 s long.
constexpr double blindSeekLead = 10.0;
// Entered at 0, the creator counts an MPEG-TS file's time from the first timestamp of the streams it keeps,
// which is the video's when only the video is kept, not from the file's start: it is entered just after.
constexpr double notAtTheStart = Timeline::tolerance;
// The frame just before an open-GOP keyframe decodes after it: a seek that starts at that keyframe
// shows the frame after it.
constexpr double openGopLead = 1.0;

} // namespace

Timeline::Timeline(const PacketList *frames, double start, double videoStart, double videoEnd, double frameRate,
                   bool seeksBlindly, bool mayHaveOpenGops, double seekLead)
    : m_frames(frames)
    , m_start(start)
    , m_videoStart(videoStart)
    , m_videoEnd(videoEnd)
    , m_frameRate(frameRate > 0 ? frameRate : defaultFrameRate)
    , m_seeksBlindly(seeksBlindly)
    , m_mayHaveOpenGops(mayHaveOpenGops)
    , m_seekLead(seekLead)
{
}

Timeline Timeline::of(const FileProbe &probe, const PacketList *frames)
{
    const double start = probe.startTime();
    const JSON video = probe.trackDictionaries(QStringLiteral("Video")).value(0);
    const JSON videoStart = video[QStringLiteral("start_time")];
    // HEVC encoders make open GOPs by default; H.264's make them rarely.
    return Timeline(frames, start, videoStart.exists() ? std::max(0.0, videoStart.doubleValue() - start) : 0.0,
                    probe.videoEndTime().value_or(probe.duration()), probe.videoFrameRate().value_or(0.0),
                    seeksBlindly(probe.formatName()), video[QStringLiteral("codec_name")] == JSON(QStringLiteral("hevc")),
                    seekLeadOf(probe.formatName(), static_cast<int>(video[QStringLiteral("has_b_frames")].intValue())));
}

double Timeline::seekLeadOf(const QString &formatName, int reorderDepth)
{
    return reorderDepth > 0 && !formatName.split(QLatin1Char(',')).contains(QLatin1String("mov")) ? 3.0 / 23.0 : 0.0;
}

bool Timeline::seeksBlindly(const QString &formatName)
{
    const QStringList names = formatName.split(QLatin1Char(','));
    return names.contains(QLatin1String("mpegts")) || names.contains(QLatin1String("mpeg"));
}

std::optional<double> Timeline::listedFrameAt(double seconds) const
{
    const std::optional<double> frame = m_frames->frameBeside(toStream(seconds) - 2 * tolerance, 1);
    return frame ? std::optional(fromStream(*frame)) : std::nullopt;
}

// Before the list is known, and where it does not reach: the nominal rate from the video's first frame.
std::optional<double> Timeline::gridFrameAt(double seconds) const
{
    const double index = std::max(0.0, std::ceil((seconds - m_videoStart - tolerance) / gridStep()));
    const double frame = m_videoStart + index * gridStep();
    return frame < m_videoEnd - tolerance ? std::optional(frame) : std::nullopt;
}

std::optional<double> Timeline::frameAt(double seconds) const
{
    if (m_frames && m_frames->covers(toStream(seconds))) {
        if (const std::optional<double> frame = listedFrameAt(seconds))
            return frame;
        if (m_frames->isWhole())
            return std::nullopt;
    }
    return gridFrameAt(seconds);
}

bool Timeline::listsEveryFrame() const
{
    return m_frames && m_frames->isWhole();
}

qsizetype Timeline::frameNumber(double seconds) const
{
    if (listsEveryFrame()) {
        const double stream = toStream(seconds) + tolerance;
        const QList<Packet> &packets = m_frames->packets();
        const qsizetype shown = std::count_if(packets.cbegin(), packets.cend(), [stream](const Packet &packet) {
            return packet.pts < stream;
        });
        return std::max<qsizetype>(0, shown - 1);
    }
    return std::max<qsizetype>(0, std::llround(std::floor((seconds - m_videoStart + tolerance) / gridStep())));
}

std::optional<double> Timeline::frameBeside(double seconds, int direction) const
{
    const std::optional<double> shown = frameAt(seconds);
    if (!shown)
        return direction < 0 ? std::optional(lastFrameBefore(seconds)) : std::nullopt;
    if (m_frames && m_frames->covers(toStream(*shown))) {
        if (const std::optional<double> frame = m_frames->frameBeside(toStream(*shown), direction))
            return fromStream(*frame);
        if (m_frames->isWhole())
            return std::nullopt;
    }
    const double frame = *shown + direction * gridStep();
    if (frame < m_videoStart - tolerance || frame >= m_videoEnd - tolerance)
        return std::nullopt;
    return frame;
}

double Timeline::nearestFrame(double seconds) const
{
    const std::optional<double> after = frameAt(seconds);
    const double before = lastFrameBefore(seconds);
    if (!after || seconds - before < *after - seconds)
        return before;
    return *after;
}

double Timeline::settledStart(double seconds) const
{
    return frameAt(seconds).value_or(seconds);
}

// Past the last frame's start, the selection ends where the video does, or where it stands beyond that.
double Timeline::settledEnd(double seconds) const
{
    if (const std::optional<double> frame = frameAt(seconds))
        return *frame;
    return std::max(seconds, m_videoEnd);
}

double Timeline::lastFrameBefore(double end) const
{
    if (m_frames && m_frames->covers(toStream(end))) {
        if (const std::optional<double> frame = m_frames->lastFrameBefore(toStream(end)))
            return fromStream(*frame);
    }
    const double held = std::min(end, m_videoEnd);
    const double index = std::ceil((held - m_videoStart - tolerance) / gridStep()) - 1;
    return m_videoStart + std::max(0.0, index) * gridStep();
}

std::optional<double> Timeline::keyframeAtOrBefore(double seconds) const
{
    const std::optional<double> keyframe = m_frames ? m_frames->keyframeAtOrBefore(toStream(seconds)) : std::nullopt;
    return keyframe ? std::optional(fromStream(*keyframe)) : std::nullopt;
}

std::optional<double> Timeline::keyframeAfter(double seconds) const
{
    const std::optional<double> keyframe = m_frames ? m_frames->keyframeAfter(toStream(seconds)) : std::nullopt;
    return keyframe ? std::optional(fromStream(*keyframe)) : std::nullopt;
}

QList<double> Timeline::keyframes() const
{
    QList<double> times;
    if (m_frames) {
        for (const double keyframe : m_frames->keyframes())
            times.append(fromStream(keyframe));
    }
    return times;
}

// The target lies a tolerance early, so that a frame time rounded anywhere on its way still keeps its frame.
Timeline::Seek Timeline::exactSeek(double seconds) const
{
    const double target = std::max(0.0, seconds - tolerance);
    const std::optional<double> keyframe = keyframeAtOrBefore(seconds);
    const auto enteredAt = [target](double input) {
        const double clamped = std::clamp(input, 0.0, target);
        return Seek{clamped, target - clamped};
    };
    if (m_seeksBlindly)
        return enteredAt(std::max(keyframe ? *keyframe - blindSeekMargin : target - blindSeekLead, notAtTheStart));
    const std::optional<double> next = keyframeAfter(seconds);
    const bool nearOpenGop = keyframe ? next && *next - seconds < openGopLead : m_mayHaveOpenGops;
    return nearOpenGop ? enteredAt(target - openGopLead) : Seek{target, 0.0};
}

// A copy starts at the first keyframe the demuxer meets: where it seeks blindly, it is entered just before
// the keyframe the copy is to start at, but after the one before that. The seek's own lead is made up for.
double Timeline::copyEntry(double seconds) const
{
    const std::optional<double> keyframe = keyframeAtOrBefore(seconds);
    if (!m_seeksBlindly || !keyframe)
        return seconds + (m_seekLead > 0 ? m_seekLead + tolerance : 0.0);
    const std::optional<double> before = keyframeAtOrBefore(*keyframe - 2 * tolerance);
    const double margin = before ? std::min(blindCopyMargin, (*keyframe - *before) / 2) : blindCopyMargin;
    return std::max(notAtTheStart, *keyframe - margin + m_seekLead);
}

std::optional<double> Timeline::copyEnd(double start, double end) const
{
    const std::optional<double> keyframe = keyframeAtOrBefore(start);
    const std::optional<double> last = keyframe ? m_frames->lastFrameCopied(toStream(*keyframe), toStream(end))
                                                : std::nullopt;
    if (!last)
        return std::nullopt;
    const double frame = fromStream(*last);
    return frameBeside(frame, 1).value_or(std::max(frame + gridStep(), m_videoEnd));
}

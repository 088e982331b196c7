// SPDX-License-Identifier: GPL-3.0-or-later
// The tools' listings that the cuts rest on, on arbitrary input:
//
// - the input read as a packet listing, and the timeline over it at times
//   taken from its own packets: a frame at a time lies at or after it, the
//   frame after it later, the last frame before an end before it, an exact
//   seek enters at or before its target and decodes the rest, and nothing
//   is not a number;
// - the input read as SubRip and as ASS, cut to [1, 5) seconds counted from
//   0.5, under the sanitizers: text of any shape is cut without a fault.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>

#include "packetlist.h"
#include "subtitleclip.h"
#include "timeline.h"

namespace {

constexpr double tolerance = Timeline::tolerance;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkTimelineAt(const Timeline &timeline, double seconds)
{
    if (const std::optional<double> frame = timeline.frameAt(seconds)) {
        require(std::isfinite(*frame) && *frame >= seconds - 2 * tolerance);
        if (const std::optional<double> next = timeline.frameBeside(seconds, 1))
            require(*next > *frame);
    }
    const double last = timeline.lastFrameBefore(seconds);
    require(std::isfinite(last));
    const Timeline::Seek seek = timeline.exactSeek(seconds);
    require(seek.input >= 0 && seek.output >= 0 && std::isfinite(seek.input + seek.output));
    require(seek.input + seek.output <= std::max(0.0, seconds) + 1e-9);
    require(std::isfinite(timeline.copyEntry(seconds)));
    if (const std::optional<double> end = timeline.copyEnd(seconds, seconds + 1))
        require(std::isfinite(*end));
}

void checkPackets(const QByteArray &listing)
{
    const PacketList packets = PacketList::parse(listing);
    for (const bool blind : {false, true}) {
        const Timeline timeline(&packets, 0.5, 0.0, 100.0, 25.0, blind, !blind, blind ? 0.0 : 3.0 / 23.0);
        for (const Packet &packet : packets.packets().first(std::min<qsizetype>(packets.packets().size(), 16))) {
            if (std::abs(packet.pts) < 1e9)
                checkTimelineAt(timeline, packet.pts - 0.5);
        }
        checkTimelineAt(timeline, 1.0);
    }
}

void checkSubtitles(const QByteArray &text)
{
    for (const SubtitleClip::Format format : {SubtitleClip::Format::SubRip, SubtitleClip::Format::Ass})
        SubtitleClip::clipped(text, format, 1.0, 5.0, 0.5);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    checkPackets(input);
    checkSubtitles(input);
    return 0;
}

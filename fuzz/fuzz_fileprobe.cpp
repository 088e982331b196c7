// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the media description as if the prober had
// printed them: whatever the report holds, deriving the facts, tracks and
// metadata must neither crash nor trip a sanitizer.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QString>

#include "diagnosticlog.h"
#include "fileprobe.h"
#include "json.h"

namespace {

// Reads every fact, so lazily wrong values are touched too.
void readAll(const FileProbe &probe)
{
    volatile double sink = probe.duration() + static_cast<double>(probe.bitRate())
                           + static_cast<double>(probe.numberOfStreams())
                           + static_cast<double>(probe.videoWidth().value_or(0))
                           + static_cast<double>(probe.videoHeight().value_or(0))
                           + probe.videoRatio().value_or(0.0) + static_cast<double>(probe.tagRotateValue());
    for (const QVariantMap &track : probe.tracksInfo())
        sink = sink + static_cast<double>(track.size());
    for (const QVariantMap &entry : probe.metadata())
        sink = sink + static_cast<double>(entry.size());
    (void)sink;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The file does not exist: keep the size messages off the fuzzer's output.
    DiagnosticLog::Capture quiet;
    const QByteArray report(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    readAll(*FileProbe::fromReport(QStringLiteral("fuzz/input.mp4"), report));

    // The JSON value on its own, with a few lookups and conversions.
    if (const std::optional<JSON> value = JSON::fromData(report)) {
        const JSON first = (*value)[0];
        const JSON streams = (*value)[QStringLiteral("streams")];
        (void)(first == streams);
        (void)first.intValue();
        (void)streams[-1].stringValue();
        (void)value->doubleValue();
        (void)value->stringValue();
        (void)value->optionalInt();
        (void)(*value == *value);
    }
    return 0;
}

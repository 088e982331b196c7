// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class FileProbe;

// What a person must know before an exact cut of a video, if anything.
//
// HEVC cut into MP4 or MOV comes out tagged hev1, which Apple's players do
// not open. hvc1 would need one set of parameter sets for the whole track,
// kept outside the stream; but the re-encoded edges carry their encoder's
// own, which differ from the copied middle's even when the source came from
// the same encoder (measured with x265: the chroma location in the sequence
// set and the picture set's initial quantiser differ). So the cut stays hev1
// and says so; Matroska holds such a stream as it is.
class ExactCutNote
{
public:
    // Empty when there is nothing to say.
    static QString of(const FileProbe &input);
    static bool isHevcInQuickTime(const FileProbe &input);
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What each step of an exact cut costs, so that its progress moves as the
// wait does, and what the progress sheet calls it. Costs are seconds on the
// machine they were measured on, 1280×720 clips with the real tools: a
// re-encoded H.264 frame took about 300 times as long as a copied one (28 ms
// against 0.09 ms), an HEVC frame about ten times as long again, a VP9 frame
// (libvpx at its real-time speed 8) two thirds as long, an AV1 frame
// (SVT-AV1's preset 8) 1.3 times as long, and every tool run some 0.15 s to start
// and find its place in the source. Only their ratios matter.
namespace ExactCutCost {

enum class Work { EncodeHead, Copy, EncodeTail, ExtractSubtitles, Join };

// `encoder`: the edges' encoder.
double of(Work work, qsizetype frames, const QString &encoder);
// "Re-encoding the first 90 frames", "Copying 1,500 frames", "Extracting the subtitles", "Joining the parts".
QString name(Work work, qsizetype frames);

} // namespace ExactCutCost

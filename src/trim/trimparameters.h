// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Everything one trim's command line is made from.
struct TrimParameters {
    double duration = 0.0;              // input duration D in seconds
    double minValue = 0.0, maxValue = 1.0;
    double selectionStart = 0.0, selectionEnd = 1.0;   // fractions of the slider's range
    bool forceEncode = false;
    bool hasAudioTrack = false;
    bool hasAudioTrackWhichHasMoreThanTwoChannels = false;
    QString inputPath;
    QString outputPath;                 // the path the encoder writes

    // S = D × (min + (max − min) × start), E likewise with the end, T = E − S.
    double startSeconds() const;
    double endSeconds() const;
    double outputDuration() const;
};

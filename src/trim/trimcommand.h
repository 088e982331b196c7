// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

#include "trimparameters.h"

class TrimCommand
{
public:
    // The encoder's arguments for one trim: stream copy, or re-encode when
    // `forceEncode` is set (with a stereo down-mix for inputs whose audio
    // has more than two channels). The paths are single arguments, unquoted.
    static QStringList trimArguments(const TrimParameters &parameters);
    // What the trim's seek puts at its output's time zero, on the streams'
    // own timeline: where the clipped subtitles count from.
    static double timeZero(const TrimParameters &parameters);

    // One diagnostic line: ["-ss", "0:00:02.500", ...], each argument in
    // double quotes, with `"` and `\` escaped by a backslash and control
    // characters written as \n, \t, \r or \u{1B}.
    static QString diagnosticLine(const QStringList &arguments);
    // Prints `tool` and its diagnostic line, so that a user can repeat the run.
    static void print(const QString &tool, const QStringList &arguments);
};

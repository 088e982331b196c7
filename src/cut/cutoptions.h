// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

// What `kestrel cut` is asked to do, read from its arguments before any
// tool runs. A usage error carries the reason, in one sentence, and the
// command then ends with status 2.
struct CutOptions
{
    enum class Kind {
        Automatic, // exact where the file allows it, else a stream copy
        Copy,
        Exact,
        Reencode,
    };
    enum class Tracks { All, None, Listed };

    // The selection; without `to` or `duration`, to the end.
    double from = 0.0;
    std::optional<double> to;
    std::optional<double> duration;
    Kind kind = Kind::Automatic;
    // One input: a file; several: a folder, each output named as the window names it.
    QString output;
    QString outputFolder;
    Tracks tracks = Tracks::All;
    // Audio and subtitle tracks by their index, as the track list shows them.
    QList<int> keptTracks;
    int jobs = 1;
    bool dryRun = false;
    bool json = false;
    bool force = false;
    bool quiet = false;
    // Progress on standard error where it is no terminal too.
    bool progress = false;
    QStringList inputs;

    // `arguments` after "cut". `cores` sets the default number of jobs:
    // half of them, at least one.
    static CutOptions parse(const QStringList &arguments, int cores);
    static QString helpText();

    bool helpAsked = false;
    // Empty unless the arguments are refused.
    QString error;
};

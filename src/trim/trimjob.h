// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "exactcutrun.h"
#include "mediatrack.h"
#include "timeline.h"
#include "toollocator.h"
#include "trimparameters.h"

class FileProbe;
class QObject;
class TrimRun;

// One trim of an open file, made the same way from the window and from the
// command line: from the selection settled on frames to the run that writes
// it, whichever kind it is.
struct TrimJob
{
    enum class Kind { Copy, Exact, Reencode };

    const FileProbe *input = nullptr;
    Timeline timeline;
    // The selection in file time, settled on frames.
    double start = 0.0;
    double end = 0.0;
    QList<MediaTrack> keptTracks;
    Kind kind = Kind::Copy;
    QString outputPath;
    // An exact cut's two tools run side by side unless the cores are taken.
    bool sideBySide = true;

    ExactCutRun::Source exactCutSource() const;
    bool canCutExactly() const { return ExactCutRun::supports(exactCutSource()); }
    // Why the input cannot be cut exactly, for a person; empty when it can.
    QString whyNotExactly() const { return ExactCutRun::whyNot(exactCutSource()); }
    // Where a copy or a re-encode writes before the output is complete: a
    // new name at each call.
    QString partialPath() const;
    TrimParameters parameters(const QString &writtenPath) const;
    // A re-encode's command line, writing `writtenPath`.
    QStringList reencodeArguments(const QString &writtenPath) const;
    // The run, made and started; its owner is `parent`. `follow` is given
    // it before it starts, as a run may end within its start.
    TrimRun *startRun(const ToolLocator &tools, const QString &workFolder, QObject *parent,
                   const std::function<void(TrimRun *)> &follow) const;

private:
    std::optional<Timeline::Seek> inputSeek() const;
};

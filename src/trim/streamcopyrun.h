// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QList>
#include <QString>
#include <QStringList>

#include "encoderrun.h"
#include "mediatrack.h"
#include "toollocator.h"
#include "trimparameters.h"
#include "trimrun.h"

class QTemporaryDir;

// A stream copy of a selection, asynchronous on the event loop, whose text
// subtitles are cut to the selection first: the encoder extracts the kept
// text tracks whole into a folder of the run's own inside the work folder,
// SubtitleClip cuts them there, and the copy reads them from it (TrackMap).
// The folder goes when the run ends. The copy is written as EncoderRun
// writes, to a hidden partial file that replaces the output only on success,
// so a failed or cancelled copy leaves nothing behind. Each command is
// printed to the diagnostics. finished() comes once per start, never from
// within start().
class StreamCopyRun : public TrimRun
{
    Q_OBJECT
public:
    StreamCopyRun(const ToolLocator &tools, const QString &workFolder, QObject *parent = nullptr);
    // A copy still going is stopped and everything it wrote removed.
    ~StreamCopyRun() override;

    // Copies as `parameters` say (a stream copy, whose output path is the
    // partial file; its subtitle folder is the run's own) into `outputPath`,
    // and returns at once. Ignored while a copy is going.
    void start(TrimParameters parameters, const QString &outputPath);
    void cancel() override;
    bool isRunning() const override { return m_active; }

private:
    void copy();
    void onEncoderFinished(TrimRun::Outcome outcome, const QString &details);
    void failLater(const QString &details);
    void complete(TrimRun::Outcome outcome, const QString &details);

    const QString m_workFolder;
    std::unique_ptr<QTemporaryDir> m_folder;
    EncoderRun *const m_encoder; // a child: the extraction, then the copy
    TrimParameters m_parameters;
    QList<MediaTrack> m_subtitles; // those cut to the selection
    QString m_outputPath;
    bool m_copying = false;
    bool m_active = false;
    bool m_cancelled = false;
};

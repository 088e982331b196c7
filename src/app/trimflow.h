// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QMap>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "exactcutrun.h"
#include "timeline.h"
#include "toollocator.h"
#include "trimparameters.h"
#include "trimjob.h"
#include "trimrun.h"

class AlertSheets;
class FileProbe;
class OutputConfirmation;
class ProgressSheet;
class QCheckBox;
class QListWidget;
class QWidget;
class Selection;
class TemporaryDirectory;
class TrackChooser;

// A trim from the Trim button to the result alert: the save dialog, the
// refusals (an empty selection, the input itself as the output, a folder
// where no file can be made), the choice
// of a stream copy, a re-encode to MP4 or an exact cut, the run behind the
// progress sheet, and the alert that tells how it ended. One trim runs at a
// time, on the video last accepted.
class TrimFlow : public QObject
{
    Q_OBJECT

public:
    struct Controls
    {
        QWidget *window = nullptr;
        ProgressSheet *sheet = nullptr;
        QCheckBox *forceEncode = nullptr;
        QCheckBox *exactCut = nullptr;
        QListWidget *trackList = nullptr;
        QCheckBox *keepAudio = nullptr;
    };

    TrimFlow(const ToolLocator &tools, const TemporaryDirectory &workFolder, const Selection &selection,
             AlertSheets *alerts, const Controls &controls, QObject *parent = nullptr);
    // Stops a running trim and removes what it wrote, reporting nothing.
    ~TrimFlow() override;

    // The video that trims are made of, or none; either way the options go
    // back to a stream copy.
    void setInput(std::shared_ptr<const FileProbe> input);
    bool isTrimming() const;
    // Neither re-encoding nor cutting exactly.
    bool isCopyingStream() const;
    std::optional<bool> isProcessCancelledByUser() const { return m_isProcessCancelledByUser; }

    void showSavePanel();
    void savePanelFinished(const QString &outputPath);
    QStringList trimArguments(const FileProbe &probe, const QString &inputPath, const QString &outputPath) const;
    void cancel();
    // Quitting: a running trim stops at once and ends as cancelled.
    void stop();
    // Whether the window may close now. While a trim runs it asks first and,
    // told to stop, closes the window itself once the trim has stopped.
    bool confirmQuit();

signals:
    // A check box changed the kind of trim.
    void optionsChanged();
    // The progress sheet came or went.
    void sheetShown(bool shown);
    // After the alert that tells how it ended, if any.
    void finished(TrimRun::Outcome outcome);

private:
    bool isForcingEncode() const;
    bool isCuttingExactly() const;
    TrimJob job(const QString &outputPath) const;
    void offerExactCut();
    // The save panel's name filters beyond the input's type, with their suffixes.
    QMap<QString, QString> otherOutputTypes() const;
    void trimTo(const QString &outputPath);
    QString outputSuffix() const;
    void showTrackOutput();
    void reportLeftOutTracks() const;
    QString workFolder() const;
    void followTrim(TrimRun *run, const QString &outputPath);
    void showProgressSheet();
    void hideProgressSheet();
    void trimEnded(TrimRun::Outcome outcome, const QString &details, const QString &outputPath);
    void reportTrimResult(const FileProbe &output);

    const ToolLocator m_tools;
    const TemporaryDirectory &m_workFolder;
    const Selection &m_selection;
    AlertSheets *const m_alerts;
    const Controls m_controls;
    OutputConfirmation *const m_outputCheck;
    TrackChooser *m_tracks = nullptr;

    std::shared_ptr<const FileProbe> m_input;
    QPointer<TrimRun> m_run;
    QPointer<QMessageBox> m_quitQuestion;
    std::optional<bool> m_isProcessCancelledByUser;
    QString m_lastSaveFolder;
    bool m_quitWhenTrimEnds = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <memory>
#include <optional>

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "encoderrun.h"
#include "exactcutcommand.h"
#include "exactcutplan.h"
#include "toollocator.h"

class QTemporaryDir;

// A frame-exact cut that re-encodes only its edges, asynchronous on the event
// loop. It lists the packets of the selection, plans the cut (ExactCutPlan),
// re-encodes the head and the tail, copies the groups between, extracts the
// kept text subtitles whole and cuts them to the planned frames
// (SubtitleClip), and joins the parts with the source's audio and those
// subtitles (ExactCutCommand). The parts live in a folder
// of their own inside the given work folder, removed when the run ends. The
// result is written to a hidden partial file beside the output and must hold
// as many video frames as planned before it replaces the output, so a failed
// or cancelled cut leaves nothing behind and an existing output as it was.
// Every tool command and concat list is printed to the diagnostics, so a user
// can repeat them. finished() comes once per start, never from within start().
class ExactCutRun : public TrimRun
{
    Q_OBJECT
public:
    // The input: its path, the prober's format names, its first video
    // track's description (one of FileProbe::trackDictionaries("Video")) and
    // where the video ends, in the streams' own time, past which no subtitle
    // is kept.
    struct Source
    {
        QString path;
        QString formatName;
        QJsonObject videoTrack;
        QList<MediaTrack> keptTracks = {}; // audio and subtitles, in the file's order
        std::optional<double> videoEnd = {};
    };

    // Why `source` cannot be cut exactly, for a person; empty when it can.
    static QString whyNot(const Source &source);
    static bool supports(const Source &source) { return whyNot(source).isEmpty(); }

    ExactCutRun(const ToolLocator &tools, const QString &workFolder, QObject *parent = nullptr);
    // A cut still going is stopped and everything it wrote removed.
    ~ExactCutRun() override;

    // Cuts [start, end) seconds of `source` into `outputPath` and returns at
    // once. Ignored while a cut is going. The times are the streams' own
    // (Timeline::toStream()), as the packets are listed.
    void start(const Source &source, double start, double end, const QString &outputPath);
    // Stops the running tool; the cut ends in Cancelled. Harmless when
    // nothing runs.
    void cancel() override;
    // With false, the steps run one after the other on one lane, for a
    // machine whose cores are busy already. Taken at the next start.
    void setSideBySide(bool sideBySide) { m_sideBySide = sideBySide; }
    bool isRunning() const override { return m_active; }
    // Known once the packets have been listed.
    const ExactCutPlan &plan() const { return m_plan; }
    // Progress is over all steps, each weighted by what it costs (ExactCutCost), and never decreases;
    // stepChanged() names the steps running, one a line.

private:
    struct Step
    {
        QString activity; // for a failure message: "while <activity>"
        QStringList arguments;
        QString path;
        qsizetype frames = 0;
        double cost = 0.0;
        QString name; // for the progress sheet
    };
    // The head is encoded on one lane while the other copies the middle and
    // encodes the tail: an encode waits on the processor and a copy on the
    // disk, and a short encode mostly on its own start. The join follows once
    // both lanes are done.
    struct Lane
    {
        std::unique_ptr<EncoderRun> encoder;
        QList<Step> steps;
        Step step; // the one running
        double percent = 0.0;
    };
    using OutputHandler = void (ExactCutRun::*)(const QByteArray &output);

    void runTool(const QString &tool, const QStringList &arguments, OutputHandler handler);
    void onToolFinished(const QString &tool, int exitCode, QProcess::ExitStatus exitStatus, OutputHandler handler);
    void planFromPackets(const QByteArray &listing);
    void checkEncoder(const QByteArray &listing);
    void startSteps();
    bool prepareSteps(QString *details);
    bool writeList(const QString &fileName, const QString &list, QString *details) const;
    bool startNextStep(Lane &lane);
    void reportProgress();
    void reportSteps();
    void onStepFinished(Lane &lane, TrimRun::Outcome outcome, const QString &details);
    void settleLanes();
    bool clipSubtitles(QString *details) const;
    bool isAnyLaneRunning() const;
    void cancelRunningLanes();
    void checkFrameCount(const QByteArray &output);
    void failLater(const QString &details);
    void complete(TrimRun::Outcome outcome, const QString &details);
    void stopTool();
    void removeEverything();
    QString workFilePath(const QString &fileName) const;

    const ToolLocator m_tools;
    const QString m_workFolder;
    std::array<Lane, 2> m_lanes;
    std::optional<Step> m_join;
    // The first step's failure, reported once no lane runs any more.
    QString m_failure;
    QProcess *m_tool = nullptr;
    std::unique_ptr<QTemporaryDir> m_parts;
    std::optional<ExactCutCommand> m_command;
    Source m_source;
    QList<MediaTrack> m_subtitles; // those cut to the selection
    ExactCutPlan m_plan;
    QString m_outputPath;
    QString m_partialPath;
    double m_start = 0.0;
    double m_end = 0.0;
    double m_costDone = 0.0;
    double m_costOfAllSteps = 0.0;
    double m_lastPercent = -1.0;
    quint64 m_generation = 0;
    bool m_active = false;
    bool m_cancelled = false;
    bool m_sideBySide = true;
};

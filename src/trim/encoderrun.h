// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "encoderprogress.h"
#include "toollocator.h"
#include "trimrun.h"

// One run of the encoder `creator`, asynchronous on the event loop. The
// encoder writes a hidden partial file beside the output, which replaces the
// output only when the run succeeds, so an existing file at the output path
// survives a failed or cancelled run.
class EncoderRun : public TrimRun
{
    Q_OBJECT
public:

    explicit EncoderRun(const ToolLocator &tools, QObject *parent = nullptr);
    // A run still going is stopped and its partial output deleted.
    ~EncoderRun() override;

    // A new hidden file beside `outputPath`, keeping its extension so the
    // encoder picks the same format: "<dir>/.Trimmed.kestrel-partial-<random>.mp4".
    // An output without an extension gets `fallbackSuffix` on the partial
    // file, so the encoder still knows which format to write.
    static QString partialPathFor(const QString &outputPath, const QString &fallbackSuffix = {});
    // Moves a finished partial file over `outputPath` in one step; on failure
    // the partial file is removed and `details` says why.
    static bool replaceOutput(const QString &partialPath, const QString &outputPath, QString *details);

    // Starts `creator` with `arguments` (whose last argument is `partialPath`)
    // and returns at once. Ignored while a run is still going. With
    // `outputPath` equal to `partialPath` a successful result stays where it
    // was written, for the caller to check before it replaces anything.
    void start(const QStringList &arguments, const QString &partialPath, const QString &outputPath,
               double outputDuration);
    // Asks the encoder to stop (terminate), and kills it if it is still
    // running after the kill delay.
    void cancel() override;
    bool isRunning() const override;
    bool isCancelledByUser() const;
    // The process of the current or last run; null before the first run.
    QProcess *process() const;

    // How long a cancelled encoder may linger before it is killed.
    void setKillDelay(std::chrono::milliseconds delay);
    std::chrono::milliseconds killDelay() const;

private:
    void readErrorStream();
    void onProcessFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onProcessError(QProcess::ProcessError error);
    void failForMissingEncoder();
    Outcome settle(int exitCode, QProcess::ExitStatus exitStatus, QString *details);
    void removePartial() const;
    void complete(Outcome outcome, const QString &details);
    void stopForDestruction();

    const ToolLocator m_tools;
    QProcess *m_process = nullptr;
    QTimer m_killTimer;
    std::optional<EncoderProgress> m_progress;
    QString m_partialPath;
    QString m_outputPath;
    double m_lastPercent = -1.0;
    bool m_active = false;
    bool m_cancelledByUser = false;
};

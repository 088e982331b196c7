// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "cutoptions.h"
#include "cutprogress.h"
#include "exactcutplan.h"
#include "fileprobe.h"
#include "keyframescan.h"
#include "packetlist.h"
#include "toollocator.h"
#include "trimjob.h"
#include "trimrun.h"

class QTextStream;

// `kestrel cut` on its inputs, --jobs of them side by side: each is probed, its
// frames listed, its selection settled on them as the window settles it,
// and cut by the window's own trim. Results go to `out`, one line an input;
// what fails, and why, to `err`, with the progress. Every check the window
// makes before a trim is made here too, with its words; nothing is replaced
// unasked.
class CutRunner : public QObject
{
    Q_OBJECT

public:
    // `terminalWidth`: the columns of the terminal that `err` writes to, where
    // it writes to one.
    CutRunner(const ToolLocator &tools, const CutOptions &options, QTextStream &out, QTextStream &err,
              int terminalWidth = 0, QObject *parent = nullptr);
    ~CutRunner() override;

    // 0 when every input was cut (or planned), 1 when any failed or was
    // skipped; 128 and the signal's number when stopped by one.
    int run();
    // The running tools stopped and their partial outputs removed; no input after them is begun.
    void stop(int signal);

    // Where an input's cut is written without -o: beside it, or in the
    // folder given, as "Trimmed" with the output's type; of several inputs
    // in one folder, each after its input's name.
    static QString outputFor(const QString &input, const CutOptions &options, const QString &suffix);

private:
    // One input's cut, from its probe to its end.
    struct Cut
    {
        QString input;
        std::shared_ptr<const FileProbe> probe;
        std::unique_ptr<KeyframeScan> scan;
        // The frames around the selection, every one for a plan; none where they could not be listed.
        PacketList frames;
        // Of an exact cut whose frames are listed from its start to its end, as a plan's are.
        ExactCutPlan exactPlan;
        TrimJob job;
        QJsonObject result;
        QElapsedTimer clock;
        QTemporaryDir work;
        QPointer<TrimRun> run;
        int lanes = 1;
    };

    void startMore();
    bool begin(Cut &cut);
    double requestedEnd(double duration) const;
    bool cutsExactly(const FileProbe &probe) const;
    void listed(Cut *cut);
    bool settle(Cut &cut);
    void plan(Cut &cut);
    QStringList plannedCommands(const Cut &cut) const;
    static void settleOnCut(Cut &cut, const ExactCutPlan &plan);
    static void countExactly(QJsonObject &result, const ExactCutPlan &plan);
    void startRun(Cut *cut);
    int lanesInUse(const Cut *besides) const;
    void ended(Cut *cut, TrimRun::Outcome outcome, const QString &details);
    // Where `cut` is among the running ones; the end when it is not.
    std::vector<std::unique_ptr<Cut>>::iterator running(const Cut *cut);
    void remove(Cut *cut);
    void finish(Cut &cut);
    void report(const QJsonObject &result);
    void summarize();

    const ToolLocator m_tools;
    const CutOptions m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    CutProgress m_progress;
    int m_stoppedBy = 0;
    qsizetype m_next = 0;
    std::vector<std::unique_ptr<Cut>> m_running;
    QMap<QString, int> m_outcomes;
    QEventLoop *m_loop = nullptr;
};

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
#include "fileprobe.h"
#include "packetlist.h"
#include "toollocator.h"
#include "trimjob.h"
#include "trimrun.h"

class QTextStream;

// `kestrel cut` on its inputs, --jobs of them side by side: each is probed, its
// frames listed, its selection settled on them as the window settles it,
// and cut by the window's own trim. Results go to `out`, one line an input;
// what fails, and why, to `err`. Every check the window makes before a
// trim is made here too, with its words; nothing is replaced unasked.
class CutRunner : public QObject
{
    Q_OBJECT

public:
    CutRunner(const ToolLocator &tools, const CutOptions &options, QTextStream &out, QTextStream &err,
              QObject *parent = nullptr);

    // 0 when every input was cut (or planned), 1 when any failed; 128 and
    // the signal's number when stopped by one.
    int run();
    // The running tool stopped and its partial output removed; no input after it is begun.
    void stop(int signal);

    // Where an input's cut is written without -o: beside it, or in the
    // folder given, as "Trimmed" with the output's type; of several inputs
    // in one folder, each after its input's name.
    static QString outputFor(const QString &input, const CutOptions &options, const QString &suffix);

private:
    // One input's cut, from its preparation to its end.
    struct Cut
    {
        std::shared_ptr<const FileProbe> probe;
        PacketList frames;
        TrimJob job;
        QJsonObject result;
        QElapsedTimer clock;
        QTemporaryDir work;
        QPointer<TrimRun> run;
    };

    std::unique_ptr<Cut> prepare(const QString &input);
    void startMore();
    void ended(Cut *cut, TrimRun::Outcome outcome, const QString &details);
    void finish(Cut &cut);
    void report(const QJsonObject &result);

    const ToolLocator m_tools;
    const CutOptions m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    int m_stoppedBy = 0;
    qsizetype m_next = 0;
    std::vector<std::unique_ptr<Cut>> m_running;
    QMap<QString, int> m_outcomes;
    QEventLoop *m_loop = nullptr;
};

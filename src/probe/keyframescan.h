// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "backgroundprocess.h"
#include "packetlist.h"
#include "toollocator.h"

class QProcess;

// The packet list of a file's first video track, listed by `sniffer` in the
// background in two runs: first the stretches around the times asked for,
// which takes a fraction of a second, then the whole file, which can take
// seconds for hours of video. Each list replaces the one before and is
// announced. A run that fails or finds nothing leaves the list as it was: a
// file that cannot be scanned simply has no keyframes to show.
class KeyframeScan : public QObject
{
    Q_OBJECT

public:
    // Seconds listed on both sides of each time in the first run.
    static constexpr double margin = 30.0;

    // At low priority for the window, which shows a frame meanwhile; at the
    // normal one where the list is what everything waits for.
    explicit KeyframeScan(const ToolLocator &tools, QObject *parent = nullptr,
                          BackgroundProcess::Priority priority = BackgroundProcess::Priority::Low);
    // Kills what still runs and waits for it: no child outlives the owner.
    ~KeyframeScan() override;

    // Stops any scan and forgets its list, then scans `path`, around `times`
    // first unless they take in the whole `duration`. These count from the
    // file's start, which lies at `streamStart` in the streams' time.
    // `margin`: the seconds read on both sides of each time in the first run.
    void start(const QString &path, const QList<double> &times, double duration, double streamStart = 0.0,
               double margin = KeyframeScan::margin);
    // What the first run reads: empty for the whole file.
    static QList<Stretch> firstStretches(const QList<double> &times, double duration,
                                         double margin = KeyframeScan::margin);
    // Stops any scan and forgets its list; nothing is announced after.
    void stop();
    // A whole-file list known already, from an earlier scan of the same
    // file: it stands at once, announced, and no prober runs.
    void adopt(const PacketList &packets);

    const PacketList &packets() const { return m_packets; }
    // Whether the list covers the whole file.
    bool isComplete() const { return m_complete; }
    bool isRunning() const { return m_process != nullptr; }

signals:
    void packetsChanged();
    // The run of the whole file ended, listed or not; never from within start().
    void ended();

private:
    void run(const QList<Stretch> &read);
    void readListing();
    void finishRun(bool succeeded);

    const ToolLocator m_tools;
    const BackgroundProcess::Priority m_priority;
    QProcess *m_process = nullptr;
    QString m_path;
    QList<Stretch> m_reading;
    // The run's list, read a piece at a time so that no long listing is
    // parsed in one go, and the end of a line still to come.
    PacketList m_building;
    QByteArray m_unfinishedLine;
    PacketList m_packets;
    bool m_complete = false;
    // Counts the scans stopped, so that a receiver of packetsChanged() may stop the scan it announces.
    quint64 m_stops = 0;
};

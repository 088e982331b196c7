// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyframescan.h"

#include <utility>

#include <QProcess>

#include "backgroundprocess.h"

KeyframeScan::KeyframeScan(const ToolLocator &tools, QObject *parent, BackgroundProcess::Priority priority)
    : QObject(parent)
    , m_tools(tools)
    , m_priority(priority)
{
}

KeyframeScan::~KeyframeScan()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished();
    }
}

void KeyframeScan::start(const QString &path, const QList<double> &times, double duration, double streamStart,
                         double margin)
{
    stop();
    m_path = path;
    QList<Stretch> stretches = firstStretches(times, duration, margin);
    // The prober reads and lists in the streams' own time.
    for (Stretch &stretch : stretches)
        stretch = {stretch.from + streamStart, stretch.to + streamStart};
    run(stretches);
}

// A short file is read whole at once: a second run of the prober would cost
// more than it saves.
QList<Stretch> KeyframeScan::firstStretches(const QList<double> &times, double duration, double margin)
{
    const QList<Stretch> around = PacketList::stretchesAround(times, margin);
    const bool all = around.size() == 1 && around.first().from <= 0.0 && around.first().to >= duration;
    return all ? QList<Stretch>() : around;
}

void KeyframeScan::stop()
{
    ++m_stops;
    m_packets = PacketList();
    m_complete = false;
    QProcess *const process = std::exchange(m_process, nullptr);
    if (!process)
        return;
    process->disconnect(this);
    // The prober only reads, so it can be killed at once; it is reaped when it ends.
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->kill();
}

void KeyframeScan::adopt(const PacketList &packets)
{
    stop();
    m_packets = packets;
    m_complete = true;
    emit packetsChanged();
}

void KeyframeScan::run(const QList<Stretch> &read)
{
    const QString program = m_tools.pathForResource(ToolLocator::sniffer);
    if (program.isEmpty()) {
        QMetaObject::invokeMethod(this, &KeyframeScan::ended, Qt::QueuedConnection);
        return;
    }
    m_reading = read;
    m_building = PacketList(read);
    m_unfinishedLine.clear();
    m_process = BackgroundProcess::make(this, program, PacketList::snifferArguments(m_path, read),
                                        [this](bool succeeded) { finishRun(succeeded); }, false, m_priority);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &KeyframeScan::readListing);
    m_process->start();
}

void KeyframeScan::readListing()
{
    m_unfinishedLine += m_process->readAllStandardOutput();
    const qsizetype lineEnd = m_unfinishedLine.lastIndexOf('\n');
    if (lineEnd < 0)
        return;
    m_building.append(QByteArrayView(m_unfinishedLine).first(lineEnd + 1));
    m_unfinishedLine.remove(0, lineEnd + 1);
}

void KeyframeScan::finishRun(bool succeeded)
{
    QProcess *const process = std::exchange(m_process, nullptr);
    process->deleteLater();
    const bool wholeFile = m_reading.isEmpty();
    const quint64 stops = m_stops;
    if (succeeded) {
        m_building.append(m_unfinishedLine + process->readAllStandardOutput());
        if (!m_building.keyframes().isEmpty()) {
            m_packets = std::exchange(m_building, PacketList());
            m_complete = wholeFile;
            emit packetsChanged();
        }
    }
    if (wholeFile)
        emit ended();
    else if (stops == m_stops)
        run({});
}

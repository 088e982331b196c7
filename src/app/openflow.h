// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>

#include "mediacache.h"
#include "toollocator.h"

class AlertSheets;
class FileProbe;
class ProbeRun;

// Opening a video, from its path to the answer whether it can be trimmed.
// The prober runs in the background, so the window answers meanwhile; a
// newer open replaces an older one, whose late answer is dropped. A refused
// file is told with an alert. A file opened again unchanged is not probed
// again.
class OpenFlow : public QObject
{
    Q_OBJECT

public:
    OpenFlow(const ToolLocator &tools, AlertSheets *alerts, QObject *parent = nullptr);

    void open(const QString &path);
    // No answer comes for the open asked for before.
    void cancel();
    bool isOpening() const { return m_opening; }
    // What was learnt of the files opened so far.
    MediaCache &cache() { return m_cache; }

signals:
    // The newest open's answer, after the alert that refuses a file.
    void opened(std::shared_ptr<const FileProbe> probe, bool accepted);

private:
    void answer(const std::shared_ptr<const FileProbe> &probe, const MediaCache::Identity &identity);

    const ToolLocator m_tools;
    AlertSheets *const m_alerts;
    MediaCache m_cache;
    QPointer<ProbeRun> m_run;
    quint64 m_openId = 0;
    bool m_opening = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "openflow.h"

#include <QFileInfo>
#include <QTimer>

#include "alertsheets.h"
#include "fileprobe.h"
#include "proberun.h"
#include "refusal.h"

namespace {

const QString supportEmail = QStringLiteral(KESTREL_SUPPORT_EMAIL);

} // namespace

OpenFlow::OpenFlow(const ToolLocator &tools, AlertSheets *alerts, QObject *parent)
    : QObject(parent)
    , m_tools(tools)
    , m_alerts(alerts)
{
}

void OpenFlow::open(const QString &path)
{
    cancel();
    m_opening = true;
    const quint64 id = ++m_openId;
    const MediaCache::Identity identity = MediaCache::Identity::of(path);
    if (const std::shared_ptr<const FileProbe> known = m_cache.probe(identity)) {
        // Answered from the event loop all the same, as every open is.
        QTimer::singleShot(0, this, [this, id, known, identity] {
            if (id == m_openId)
                answer(known, identity);
        });
        return;
    }
    m_run = new ProbeRun(m_tools, path, FileProbe::defaultTimeout, this);
    connect(m_run, &ProbeRun::finished, this, [this, identity](const std::shared_ptr<const FileProbe> &probe) {
        m_run->deleteLater();
        answer(probe, identity);
    });
    m_run->start();
}

void OpenFlow::cancel()
{
    ++m_openId;
    m_opening = false;
    delete m_run.data();
}

void OpenFlow::answer(const std::shared_ptr<const FileProbe> &probe, const MediaCache::Identity &identity)
{
    m_opening = false;
    const QString path = probe->fileFullPath().value_or(QString());
    bool accepted = false;
    if (QFileInfo(path).suffix().toLower() == QLatin1String("vob")) {
        m_alerts->show(QMessageBox::Warning, tr("Kestrel cannot open .VOB files."), tr("Questions? : ") + supportEmail);
    } else if (const Refusal refusal(*probe); refusal.reason() != Refusal::Reason::none) {
        m_alerts->show(QMessageBox::Warning, refusal.sentence(),
                       tr("Please try opening some other file or contact : ") + supportEmail);
    } else {
        accepted = true;
        // Only a video is worth keeping: a refused file may be mended and opened again.
        m_cache.rememberProbe(identity, probe);
    }
    emit opened(probe, accepted);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyframeguide.h"

#include <optional>

#include <QAction>
#include <QLabel>
#include <QStringList>

#include "mediacache.h"
#include "rangeslider.h"
#include "selection.h"
#include "timetext.h"

KeyframeGuide::KeyframeGuide(const ToolLocator &tools, Selection *selection, MediaCache *cache,
                             const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_scan(tools, this)
    , m_selection(selection)
    , m_cache(cache)
    , m_controls(controls)
{
    connect(&m_scan, &KeyframeScan::packetsChanged, this, [this] {
        if (m_scan.isComplete())
            m_cache->rememberPackets(m_path, m_scan.packets());
        showMarks();
        showCopyStart();
    });
    connect(m_selection, &Selection::changed, this, &KeyframeGuide::showCopyStart);
    connect(m_controls.previousKeyframe, &QAction::triggered, this,
            [this] { m_selection->moveStartToKeyframe(-1); });
    connect(m_controls.nextKeyframe, &QAction::triggered, this,
            [this] { m_selection->moveStartToKeyframe(1); });
}

void KeyframeGuide::start(const QString &path)
{
    m_path = path;
    m_duration = m_selection->duration();
    if (const std::optional<PacketList> known = m_cache->packets(path))
        m_scan.adopt(*known);
    else
        m_scan.start(path, {m_selection->startSeconds(), m_selection->endSeconds()}, m_duration,
                     m_selection->timeline().start());
    showMarks();
    showCopyStart();
}

void KeyframeGuide::stop()
{
    m_scan.stop();
    m_duration = 0.0;
    showMarks();
    showCopyStart();
}

void KeyframeGuide::setStreamCopy(bool streamCopy)
{
    m_streamCopy = streamCopy;
    showCopyStart();
}

QString KeyframeGuide::copyStartText(double keyframe, double startSeconds)
{
    return tr("A stream copy starts at the keyframe %1, %2 s before the start.")
        .arg(timeTextFromSeconds(keyframe), QString::number(startSeconds - keyframe, 'f', 3));
}

QString KeyframeGuide::copyEndText(double copyEnd, double endSeconds)
{
    return tr("A stream copy ends at %1, %2 s after the end: it stops in decoding order, where frames shown later "
              "can come first.")
        .arg(timeTextFromSeconds(copyEnd), QString::number(copyEnd - endSeconds, 'f', 3));
}

// The slider runs from 0 to 1 over the whole input.
void KeyframeGuide::showMarks()
{
    QList<double> ticks;
    if (m_duration > 0) {
        for (const double keyframe : m_selection->timeline().keyframes())
            ticks.append(keyframe / m_duration);
    }
    m_controls.slider->setTickValues(ticks);
}

void KeyframeGuide::showCopyStart()
{
    const bool scanned = m_duration > 0;
    const std::optional<double> keyframe = scanned && m_streamCopy ? m_selection->streamCopyStart() : std::nullopt;
    m_controls.slider->setMarkedValue(keyframe ? std::optional<double>(*keyframe / m_duration) : std::nullopt);
    const std::optional<double> end = scanned && m_streamCopy ? m_selection->streamCopyEnd() : std::nullopt;
    QStringList lines;
    if (keyframe)
        lines << copyStartText(*keyframe, m_selection->startSeconds());
    if (end)
        lines << copyEndText(*end, m_selection->endSeconds());
    m_controls.copyStartLine->setText(lines.join(QLatin1Char(' ')));
    m_controls.copyStartLine->setVisible(!lines.isEmpty());
    m_controls.previousKeyframe->setEnabled(scanned && m_selection->keyframeBeforeStart());
    m_controls.nextKeyframe->setEnabled(scanned && m_selection->keyframeAfterStart());
}

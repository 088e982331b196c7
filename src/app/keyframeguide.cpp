// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyframeguide.h"

#include <optional>

#include <QAction>
#include <QLabel>
#include <QStringList>

#include "exactcutplan.h"
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
        showExactSpans();
    });
    connect(m_selection, &Selection::changed, this, [this] {
        showCopyStart();
        showExactSpans();
    });
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
    showExactSpans();
}

void KeyframeGuide::stop()
{
    m_scan.stop();
    m_duration = 0.0;
    showMarks();
    showCopyStart();
    showExactSpans();
}

void KeyframeGuide::setStreamCopy(bool streamCopy)
{
    m_streamCopy = streamCopy;
    showCopyStart();
}

void KeyframeGuide::setExactCut(bool exact)
{
    m_exactCut = exact;
    showExactSpans();
}

// From the packets listed around the selection's ends, as the cut itself plans.
void KeyframeGuide::showExactSpans()
{
    const Timeline timeline = m_selection->timeline();
    const double start = m_selection->startSeconds(), end = m_selection->endSeconds();
    const PacketList &packets = m_scan.packets();
    const bool known = m_exactCut && m_duration > 0 && packets.covers(timeline.toStream(start))
                    && packets.covers(timeline.toStream(end) - Timeline::tolerance);
    QList<SelectionRange> spans;
    QString tip;
    if (known) {
        const ExactCutPlan plan =
            ExactCutPlan::make(packets.packets(), timeline.toStream(start), timeline.toStream(end));
        const auto fraction = [&](double stream) { return timeline.fromStream(stream) / m_duration; };
        for (const ExactCutPlan::Section *section : {&plan.head(), &plan.tail()}) {
            if (!section->isEmpty())
                spans.append({fraction(section->from), section->to ? fraction(*section->to) : end / m_duration});
        }
        tip = tr("The exact cut re-encodes %1 frames at the start and %2 at the end, and copies the %3 between.")
                  .arg(plan.head().frames)
                  .arg(plan.tail().frames)
                  .arg(plan.middle().frames);
    }
    m_controls.slider->setSpans(spans);
    m_controls.slider->setToolTip(known ? tip : tr("Selection"));
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyframeguide.h"

#include <QAction>
#include <QLabel>

#include "rangeslider.h"
#include "timetext.h"

namespace {

// Below a millisecond a start counts as on its keyframe: the times shown have no finer digits.
constexpr double onKeyframe = 0.0005;

} // namespace

KeyframeGuide::KeyframeGuide(const ToolLocator &tools, const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_scan(tools, this)
    , m_controls(controls)
{
    connect(&m_scan, &KeyframeScan::packetsChanged, this, [this] {
        showMarks();
        showCopyStart();
    });
    connect(m_controls.previousKeyframe, &QAction::triggered, this, [this] {
        if (const std::optional<double> keyframe = previousKeyframe())
            emit startSnapRequested(*keyframe);
    });
    connect(m_controls.nextKeyframe, &QAction::triggered, this, [this] {
        if (const std::optional<double> keyframe = nextKeyframe())
            emit startSnapRequested(*keyframe);
    });
}

void KeyframeGuide::start(const QString &path, double duration, double startSeconds, double endSeconds)
{
    m_duration = duration;
    m_start = startSeconds;
    m_end = endSeconds;
    m_scan.start(path, {startSeconds, endSeconds}, duration);
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

void KeyframeGuide::setSelection(double startSeconds, double endSeconds, bool streamCopy)
{
    m_start = startSeconds;
    m_end = endSeconds;
    m_streamCopy = streamCopy;
    showCopyStart();
}

QString KeyframeGuide::copyStartText(double keyframe, double startSeconds)
{
    return tr("A stream copy starts at the keyframe %1, %2 s before the start.")
        .arg(timeTextFromSeconds(keyframe), QString::number(startSeconds - keyframe, 'f', 3));
}

// The slider runs from 0 to 1 over the whole input.
void KeyframeGuide::showMarks()
{
    QList<double> ticks;
    if (m_duration > 0) {
        for (const double keyframe : m_scan.packets().keyframes())
            ticks.append(keyframe / m_duration);
    }
    m_controls.slider->setTickValues(ticks);
}

void KeyframeGuide::showCopyStart()
{
    const std::optional<double> keyframe = m_scan.packets().keyframeAtOrBefore(m_start);
    const bool early = m_streamCopy && m_duration > 0 && keyframe && m_start - *keyframe >= onKeyframe;
    m_controls.slider->setMarkedValue(early ? std::optional<double>(*keyframe / m_duration) : std::nullopt);
    m_controls.copyStartLine->setText(early ? copyStartText(*keyframe, m_start) : QString());
    m_controls.copyStartLine->setVisible(early);
    m_controls.previousKeyframe->setEnabled(m_duration > 0 && previousKeyframe());
    m_controls.nextKeyframe->setEnabled(m_duration > 0 && nextKeyframe());
}

std::optional<double> KeyframeGuide::previousKeyframe() const
{
    return m_scan.packets().keyframeAtOrBefore(m_start - 2 * onKeyframe);
}

// Past the end the start would turn the selection inside out.
std::optional<double> KeyframeGuide::nextKeyframe() const
{
    const std::optional<double> keyframe = m_scan.packets().keyframeAfter(m_start);
    return keyframe && *keyframe < m_end ? keyframe : std::nullopt;
}

#include "trimrecorder.h"

TrimRecorder::TrimRecorder(AppDelegate &delegate)
    : m_delegate(delegate)
    , m_alerts(&delegate, &AppDelegate::alertShown)
    , m_ends(&delegate, &AppDelegate::trimFinished)
{
}

bool TrimRecorder::trim(const QString &outputPath)
{
    m_delegate.savePanelFinished(outputPath);
    return waitForEnd();
}

bool TrimRecorder::waitForEnd()
{
    return m_ends.wait(trimTimeoutMs);
}

std::optional<EncoderRun::Outcome> TrimRecorder::outcome() const
{
    if (m_ends.isEmpty())
        return std::nullopt;
    return m_ends.last().first().value<EncoderRun::Outcome>();
}

qsizetype TrimRecorder::alertCount() const
{
    return m_alerts.count();
}

QMessageBox *TrimRecorder::firstAlert() const
{
    return m_alerts.isEmpty() ? nullptr : m_alerts.first().first().value<QMessageBox *>();
}

QMessageBox *TrimRecorder::lastAlert() const
{
    return m_alerts.isEmpty() ? nullptr : m_alerts.last().first().value<QMessageBox *>();
}

qsizetype TrimRecorder::endCount() const
{
    return m_ends.count();
}

#pragma once

#include <optional>

#include <QSignalSpy>

#include "appdelegate.h"
#include "encoderrun.h"

// Watches one controller while tests trim with it: the alerts it shows and
// how its trims end.
class TrimRecorder
{
public:
    static constexpr int trimTimeoutMs = 120000;

    explicit TrimRecorder(AppDelegate &delegate);

    // Confirms `outputPath` as the save dialog would, and waits for the end.
    bool trim(const QString &outputPath);
    // Waits for the end of a trim started otherwise.
    bool waitForEnd();

    std::optional<EncoderRun::Outcome> outcome() const;
    qsizetype alertCount() const;
    QMessageBox *firstAlert() const;
    QMessageBox *lastAlert() const;
    qsizetype endCount() const;

private:
    AppDelegate &m_delegate;
    QSignalSpy m_alerts;
    QSignalSpy m_ends;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QStringList>

// Turns the encoder's error stream into progress bar values. The encoder
// writes status lines such as "frame=  25 ... time=00:00:10.00 bitrate=...",
// each ended by a carriage return.
class EncoderProgress
{
public:
    explicit EncoderProgress(double outputDuration);

    // The bar value, 0 to 100, from the time code right after the first
    // "time=" of this chunk; nothing when the chunk is not valid UTF-8, holds
    // no "time=", or no convertible time code follows it, or when the output
    // duration is not a positive number. A line cut in two by the chunking is
    // read once its time code is complete.
    std::optional<double> feed(const QByteArray &chunk);

    // The last non-empty lines the encoder wrote, oldest first, joined by
    // line breaks, for a failure message; status lines are left out.
    QString errorTail(int lineCount = 6) const;

private:
    std::optional<double> percentAfter(const QString &text, qsizetype marker) const;
    void keepLines(QByteArray pending);

    const double m_outputDuration;
    QByteArray m_incompleteLine;
    bool m_incompleteLineRead = false;
    QStringList m_lines;
};

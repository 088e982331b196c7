// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

class Utils
{
public:
    // The whole text of every non-overlapping match of `pattern` in `text`,
    // left to right. An invalid pattern prints "invalid regex: " and the
    // engine's description as a diagnostic line and gives an empty list.
    static QStringList regexMatches(const QString &pattern, const QString &text);

    // Seconds of an encoder time code HH:MM:SS.cc (hundredths after the
    // point). Empty when the text cannot be converted: no piece after a
    // point, fewer than two clock pieces, or a piece that is not a plain
    // finite decimal number.
    static std::optional<double> secondsFromTimeCode(const QString &timeCode);
};

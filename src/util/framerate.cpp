// SPDX-License-Identifier: GPL-3.0-or-later
#include "framerate.h"

#include <cmath>

#include <QLocale>
#include <QStringList>

std::optional<double> frameRateFromRatio(const QString &ratio)
{
    const QStringList pieces = ratio.split(QLatin1Char('/'));
    if (pieces.size() != 2)
        return std::nullopt;
    bool numeratorOk = false;
    bool denominatorOk = false;
    const double numerator = QLocale::c().toDouble(pieces.at(0), &numeratorOk);
    const double denominator = QLocale::c().toDouble(pieces.at(1), &denominatorOk);
    if (!numeratorOk || !denominatorOk || !(numerator > 0) || !(denominator > 0))
        return std::nullopt;
    const double rate = numerator / denominator;
    if (!std::isfinite(rate) || !(rate > 0))
        return std::nullopt;
    return rate;
}

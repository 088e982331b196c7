// SPDX-License-Identifier: GPL-3.0-or-later
#include "trimparameters.h"

#include <algorithm>

namespace {

double secondsAt(const TrimParameters &parameters, double fraction)
{
    return parameters.duration
        * (parameters.minValue + (parameters.maxValue - parameters.minValue) * fraction);
}

}

double TrimParameters::startSeconds() const
{
    return secondsAt(*this, selectionStart);
}

double TrimParameters::endSeconds() const
{
    return secondsAt(*this, selectionEnd);
}

double TrimParameters::outputDuration() const
{
    return endSeconds() - startSeconds();
}

double TrimParameters::subtitleEnd() const
{
    return std::min(endSeconds(), videoEnd.value_or(endSeconds()));
}

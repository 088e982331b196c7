// SPDX-License-Identifier: GPL-3.0-or-later
#include "containersuffix.h"

#include <algorithm>

#include <QStringList>

namespace {

struct ContainerName
{
    const char *formatName;
    const char *suffix;
};

// Format names whose extension differs from the name, in the order they are
// preferred; the QuickTime family goes to .mov, whose writer takes the most codecs.
constexpr ContainerName knownContainers[] = {
    {"mov", "mov"},    {"matroska", "mkv"}, {"webm", "webm"}, {"mpegts", "ts"},
    {"mpeg", "mpg"},   {"avi", "avi"},      {"flv", "flv"},   {"asf", "asf"},
};

} // namespace

QString containerSuffix(const QString &formatNames)
{
    const QStringList names = formatNames.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const ContainerName &known : knownContainers) {
        if (names.contains(QLatin1String(known.formatName)))
            return QLatin1String(known.suffix);
    }
    if (names.isEmpty())
        return {};
    // It becomes part of a file name: letters and digits only.
    const QString first = names.first().trimmed();
    const bool plain = !first.isEmpty() && std::all_of(first.cbegin(), first.cend(), [](QChar c) {
        return c.isDigit() || (c.isLower() && c.unicode() < 0x80);
    });
    return plain ? first : QString();
}

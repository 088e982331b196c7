// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QString>
#include <QtGlobal>

// The size of a file from its attributes, independent of the prober, so a
// file that the prober cannot read still gets a size. Neither operation
// fails: a size that cannot be read prints why and gives 0 or the
// unknownSizeText.
class FileSize
{
public:
    static inline const QString unknownSizeText = QStringLiteral("Unknown File Size");

    static quint64 fileSizeInBytes(const QString &path);
    // Compact and human readable, with a unit, in the user's locale.
    static QString fileSizeText(const QString &path);

private:
    static std::optional<quint64> sizeFromAttributes(const QString &path);
};

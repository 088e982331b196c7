// SPDX-License-Identifier: GPL-3.0-or-later
#include "filesize.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <QFile>
#include <QLocale>

#include "diagnosticlog.h"

namespace {

// Devices, pipes and sockets have no size of their own to report.
bool hasSizeEntry(const struct stat &attributes)
{
    return S_ISREG(attributes.st_mode) || S_ISDIR(attributes.st_mode);
}

} // namespace

std::optional<quint64> FileSize::sizeFromAttributes(const QString &path)
{
    struct stat attributes = {};
    if (::stat(QFile::encodeName(path).constData(), &attributes) != 0) {
        const QString description = QString::fromLocal8Bit(std::strerror(errno));
        DiagnosticLog::print(QStringLiteral("Failed to get file attributes for local path: ") + path
                             + QStringLiteral(" with error: ") + description);
        return std::nullopt;
    }
    if (!hasSizeEntry(attributes) || attributes.st_size < 0) {
        DiagnosticLog::print(QStringLiteral("Failed to get a size attribute from path: ") + path);
        return std::nullopt;
    }
    return static_cast<quint64>(attributes.st_size);
}

quint64 FileSize::fileSizeInBytes(const QString &path)
{
    return sizeFromAttributes(path).value_or(0);
}

QString FileSize::fileSizeText(const QString &path)
{
    const std::optional<quint64> size = sizeFromAttributes(path);
    if (!size)
        return unknownSizeText;
    // Decimal units, as file sizes are usually shown on the desktop.
    return QLocale().formattedDataSize(static_cast<qint64>(*size), 2, QLocale::DataSizeSIFormat);
}

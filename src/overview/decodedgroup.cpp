// SPDX-License-Identifier: GPL-3.0-or-later
#include "decodedgroup.h"

#include <algorithm>
#include <cmath>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "backgroundprocess.h"
#include "decimaltext.h"
#include "fileprobe.h"
#include "json.h"

DecodedGroup::DecodedGroup(const ToolLocator &tools, QObject *parent)
    : QObject(parent)
    , m_tools(tools)
{
}

DecodedGroup::~DecodedGroup()
{
    BackgroundProcess::killAll(this);
}

QStringList DecodedGroup::arguments(const QString &path, const Entry &entry, qsizetype count, QSize size,
                                    const QString &colours, const QString &output)
{
    QStringList arguments{QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-nostdin"),
                          QStringLiteral("-ss"), secondsArgument(entry.seek.input)};
    if (entry.atKeyframe)
        arguments << QStringLiteral("-noaccurate_seek");
    arguments << QStringLiteral("-i") << path;
    if (entry.seek.output > 0)
        arguments << QStringLiteral("-ss") << secondsArgument(entry.seek.output);
    // Every frame once, as the listing has them: no frame made up or dropped to keep a rate.
    return arguments
        + QStringList{QStringLiteral("-map"), QStringLiteral("0:v:0"), QStringLiteral("-fps_mode"),
                      QStringLiteral("passthrough"), QStringLiteral("-frames:v"), QString::number(count),
                      QStringLiteral("-vf"), fitted(size, colours), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                      QStringLiteral("-y"), output};
}

// As the player draws a frame into the view: its display shape (the pixels' own shape counted) fitted into the
// size, and centred on black.
QString DecodedGroup::fitted(QSize size, const QString &colours)
{
    const QString width = QString::number(size.width());
    const QString height = QString::number(size.height());
    const QString wider = QStringLiteral("gt(dar,%1/%2)").arg(width, height);
    return QStringLiteral("scale=w='if(%1,%2,2*trunc(%3*dar/2))':h='if(%1,2*trunc(%2/dar/2),%3)':in_color_matrix=%4:"
                          "flags=bilinear,"
                          "setsar=1,pad=%2:%3:-1:-1,format=rgb0")
        .arg(wider, width, height, colours);
}

// Tagged, as the file says; untagged, as the player guesses: high definition's matrix from 720 lines up.
QString DecodedGroup::colourMatrix(const FileProbe &file)
{
    const QList<JSON> videos = file.trackDictionaries(QStringLiteral("Video"));
    const QString tagged = videos.isEmpty() ? QString() : videos.first()[QStringLiteral("color_space")].stringValue();
    if (!tagged.isEmpty() && tagged != QLatin1String("unknown"))
        return QStringLiteral("auto");
    const bool high = file.videoWidth().value_or(0) >= 1280 || file.videoHeight().value_or(0) > 576;
    return high ? QStringLiteral("bt709") : QStringLiteral("bt601");
}

// The pictures go to a file, not through a pipe, which hands them over 64 KiB a wake-up of the window's
// thread; the app's private folder is kept in memory where the session has a runtime folder.
void DecodedGroup::start(const QString &path, const Entry &entry, const QList<double> &times, QSize size,
                         const QString &colours, const QString &folder)
{
    stop();
    const QString program = m_tools.pathForResource(ToolLocator::creator);
    if (program.isEmpty() || folder.isEmpty() || times.isEmpty() || size.isEmpty()) {
        emit finished(false);
        return;
    }
    m_coming = times;
    m_size = size;
    const QString output = QDir(folder).filePath(QStringLiteral("group-%1.rgb").arg(++m_run));
    m_process = BackgroundProcess::make(
        this, program, arguments(path, entry, times.size(), size, colours, output),
        [this, output](bool succeeded) {
            m_pictures = std::make_unique<QFile>(output);
            finishRun(succeeded);
        },
        false, BackgroundProcess::Priority::Normal);
    m_process->start();
}

void DecodedGroup::stop()
{
    BackgroundProcess::dismiss(std::exchange(m_process, nullptr), this);
    m_coming.clear();
    forget();
}

void DecodedGroup::forget()
{
    m_times.clear();
    m_mapped = nullptr;
    if (m_pictures) {
        m_pictures->close();
        m_pictures->remove();
        m_pictures.reset();
    }
}

void DecodedGroup::finishRun(bool succeeded)
{
    if (!m_process)
        return;
    m_process->deleteLater();
    m_process = nullptr;
    // A picture fewer or more would shift every one after it onto another frame's time.
    const qint64 expected = pictureBytes() * m_coming.size();
    const bool whole = succeeded && m_pictures->size() == expected && m_pictures->open(QIODevice::ReadOnly)
                    && (m_mapped = m_pictures->map(0, expected)) != nullptr;
    if (whole)
        m_times = std::exchange(m_coming, {});
    else
        stop();
    emit finished(whole);
}

std::optional<qsizetype> DecodedGroup::indexIn(const QList<double> &times, double seconds)
{
    const auto found = std::find_if(times.cbegin(), times.cend(), [seconds](double time) {
        return std::abs(time - seconds) <= Timeline::tolerance;
    });
    return found == times.cend() ? std::nullopt : std::optional(found - times.cbegin());
}

bool DecodedGroup::holds(double seconds) const
{
    return indexIn(m_times, seconds).has_value();
}

bool DecodedGroup::isComing(double seconds) const
{
    return m_process && indexIn(m_coming, seconds).has_value();
}

std::optional<QImage> DecodedGroup::frame(double seconds) const
{
    const std::optional<qsizetype> index = indexIn(m_times, seconds);
    if (!index || !m_mapped)
        return std::nullopt;
    const uchar *bits = m_mapped + *index * pictureBytes();
    return QImage(bits, m_size.width(), m_size.height(), m_size.width() * 4, QImage::Format_RGBX8888).copy();
}

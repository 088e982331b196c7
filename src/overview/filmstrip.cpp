// SPDX-License-Identifier: GPL-3.0-or-later
#include "filmstrip.h"

#include <utility>

#include <QProcess>
#include <QRegularExpression>

#include "backgroundprocess.h"
#include "fileprobe.h"

namespace {

constexpr uchar markerStart = 0xFF;
constexpr uchar startOfImage = 0xD8;
constexpr uchar endOfImage = 0xD9;
constexpr uchar startOfScan = 0xDA;

// In a scan's coded data a 0xFF byte is followed by 0x00 (a stuffed byte) or
// a restart marker; anything else is the marker after the scan.
bool endsScan(uchar next)
{
    return next != 0x00 && (next < 0xD0 || next > 0xD7);
}

} // namespace

Filmstrip::Filmstrip(const ToolLocator &tools, QObject *parent)
    : QObject(parent)
    , m_tools(tools)
{
}

Filmstrip::~Filmstrip()
{
    BackgroundProcess::killAll(this);
}

QStringList Filmstrip::arguments(const QString &path, int videoStream, int height)
{
    // The width follows the shape the picture is shown in, which differs
    // from its pixels' where these are not square; the encoder wants it even.
    const QString filters = QStringLiteral("scale=w=trunc(%1*dar/2)*2:h=%1,setsar=1,showinfo").arg(height);
    // showinfo logs each picture's time at the "info" level. The stream
    // times are kept (-copyts): the creator's own shift to zero counts, in
    // MPEG-TS, from the first of the streams it reads rather than the file's
    // start. "passthrough" writes each keyframe once, never a copy to fill
    // the frame rate.
    return {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-nostats"),
            QStringLiteral("-loglevel"), QStringLiteral("info"), QStringLiteral("-copyts"),
            QStringLiteral("-skip_frame"), QStringLiteral("nokey"), QStringLiteral("-i"), path,
            QStringLiteral("-map"), QStringLiteral("0:%1").arg(videoStream), QStringLiteral("-vf"), filters,
            QStringLiteral("-fps_mode"), QStringLiteral("passthrough"), QStringLiteral("-c:v"),
            QStringLiteral("mjpeg"), QStringLiteral("-q:v"), QStringLiteral("4"), QStringLiteral("-f"),
            QStringLiteral("image2pipe"), QStringLiteral("-")};
}

// The segments before a scan carry their lengths, so that no byte of theirs
// is taken for a marker; the creator writes one scan an image, but more are
// read as well.
qsizetype Filmstrip::imageLength(QByteArrayView bytes)
{
    const auto byte = [bytes](qsizetype at) { return static_cast<uchar>(bytes.at(at)); };
    if (bytes.size() < 2)
        return 0;
    if (byte(0) != markerStart || byte(1) != startOfImage)
        return -1;
    qsizetype at = 2;
    while (at + 1 < bytes.size()) {
        if (byte(at) != markerStart)
            return -1;
        const uchar marker = byte(at + 1);
        if (marker == markerStart) { // a fill byte
            ++at;
            continue;
        }
        if (marker == endOfImage)
            return at + 2;
        if (at + 3 >= bytes.size())
            return 0;
        at += 2 + (byte(at + 2) << 8 | byte(at + 3));
        if (marker != startOfScan)
            continue;
        while (at + 1 < bytes.size() && !(byte(at) == markerStart && endsScan(byte(at + 1))))
            ++at;
    }
    return 0;
}

void Filmstrip::start(const FileProbe &file, int height)
{
    stop();
    const int stream = file.firstVideoIndex();
    if (stream < 0 || !file.fileFullPath())
        return;
    const QString program = m_tools.pathForResource(ToolLocator::creator);
    if (program.isEmpty()) {
        emit finished(false);
        return;
    }
    m_start = file.startTime();
    // The pictures' times come on the error channel, in the creator's log.
    m_process = BackgroundProcess::make(this, program, arguments(*file.fileFullPath(), stream, height),
                                        [this](bool succeeded) { finishRun(succeeded); }, true);
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        takeImages(m_process->readAllStandardOutput());
        pair();
    });
    connect(m_process, &QProcess::readyReadStandardError, this, [this] {
        takeTimes(m_process->readAllStandardError());
        pair();
    });
    m_process->start();
}

void Filmstrip::stop()
{
    ++m_run;
    m_timeBase = 0.0;
    m_damaged = false;
    m_unfinishedImage.clear();
    m_images.clear();
    m_unfinishedLine.clear();
    m_times.clear();
    m_thumbnails.clear();
    BackgroundProcess::dismiss(std::exchange(m_process, nullptr), this);
}

void Filmstrip::takeImages(const QByteArray &bytes)
{
    m_unfinishedImage += bytes;
    while (const qsizetype length = imageLength(m_unfinishedImage)) {
        // Bytes that are no image leave nothing to pair with the times.
        if (length < 0) {
            m_unfinishedImage.clear();
            m_damaged = true;
            if (m_process)
                m_process->kill();
            return;
        }
        m_images.append(m_unfinishedImage.first(length));
        m_unfinishedImage.remove(0, length);
    }
}

// Each picture's time is its "pts" in the time base of the filter's input,
// which is exact where the "pts_time" it also logs has six digits only.
void Filmstrip::takeTimes(const QByteArray &log)
{
    static const QRegularExpression timeBase(
        QStringLiteral("^\\[Parsed_showinfo_\\d+ @ [^]]+\\] config in time_base: (\\d+)/(\\d+)"));
    static const QRegularExpression picture(
        QStringLiteral("^\\[Parsed_showinfo_\\d+ @ [^]]+\\] n: *\\d+ pts: *(\\S+)"));
    m_unfinishedLine += log;
    const qsizetype lineEnd = m_unfinishedLine.lastIndexOf('\n');
    if (lineEnd < 0)
        return;
    const QList<QByteArray> lines = m_unfinishedLine.first(lineEnd).split('\n');
    m_unfinishedLine.remove(0, lineEnd + 1);
    for (const QByteArray &line : lines) {
        const QString text = QString::fromUtf8(line);
        if (const QRegularExpressionMatch base = timeBase.match(text); base.hasMatch()) {
            const double denominator = base.captured(2).toDouble();
            m_timeBase = denominator > 0 ? base.captured(1).toDouble() / denominator : 0.0;
        } else if (const QRegularExpressionMatch shown = picture.match(text); shown.hasMatch()) {
            bool ok = false;
            const qint64 pts = shown.captured(1).toLongLong(&ok); // "NOPTS" for none
            m_times.append(ok && m_timeBase > 0 ? std::optional(pts * m_timeBase - m_start) : std::nullopt);
        }
    }
}

void Filmstrip::pair()
{
    while (!m_images.isEmpty() && !m_times.isEmpty()) {
        const QByteArray jpeg = m_images.takeFirst();
        const std::optional<double> seconds = m_times.takeFirst();
        const QImage image = QImage::fromData(jpeg, "JPG");
        if (!seconds || image.isNull())
            continue;
        m_thumbnails.append({*seconds, jpeg});
        emit thumbnailAdded(*seconds, image);
    }
}

void Filmstrip::finishRun(bool succeeded)
{
    QProcess *const process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    process->deleteLater();
    takeImages(process->readAllStandardOutput());
    takeTimes(process->readAllStandardError() + '\n');
    const bool complete = succeeded && !m_damaged && m_unfinishedImage.isEmpty();
    // A receiver of a picture may stop this run, or start another.
    const quint64 run = m_run;
    pair();
    if (run == m_run)
        emit finished(complete);
}

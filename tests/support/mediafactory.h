// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

// Makes small media files at test time with the real encoder and its lavfi
// sources, so no binary sample is ever committed.
class MediaFactory
{
public:
    // The build's resource folder, holding the real `sniffer` and `creator`.
    static QString toolsFolder() { return QStringLiteral(KESTREL_TOOLS_DIR); }
    // A folder of small scripts standing in for a tool that misbehaves.
    static QString fakeToolsFolder(const QString &scenario)
    {
        return QDir(QStringLiteral(KESTREL_FAKE_TOOLS_DIR)).filePath(scenario);
    }

    explicit MediaFactory(const QString &folder) : m_folder(folder) {}

    QString path(const QString &fileName) const { return QDir(m_folder).filePath(fileName); }

    // Runs the encoder with `arguments` and the output path last; returns
    // that path, or an empty text when the encoder failed.
    QString generate(const QString &fileName, const QStringList &arguments) const
    {
        QProcess encoder;
        encoder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        encoder.start(QDir(toolsFolder()).filePath(QStringLiteral("creator")),
                      QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                                  QStringLiteral("-y")} + arguments + QStringList{path(fileName)});
        if (encoder.waitForFinished(120000) && encoder.exitStatus() == QProcess::NormalExit && encoder.exitCode() == 0)
            return path(fileName);
        encoder.kill();
        encoder.waitForFinished();
        return {};
    }

    // A test pattern video of `seconds`, `width`x`height` at `rate` frames per
    // second, H.264 in the file's container, with a sine tone of `channels`
    // channels when `channels` is above 0.
    QString videoClip(const QString &fileName, double seconds, int channels = 2, int width = 64, int height = 48,
                      const QString &rate = QStringLiteral("5")) const
    {
        const QString length = QString::number(seconds, 'g', 17);
        QString arguments = QStringLiteral("-f lavfi -i testsrc2=size=%1x%2:rate=%3:duration=%4 ")
                                .arg(QString::number(width), QString::number(height), rate, length);
        if (channels > 0)
            arguments += QStringLiteral("-f lavfi -i sine=frequency=440:sample_rate=8000:duration=%1 -ac %2 "
                                        "-c:a aac -b:a 32k ").arg(length, QString::number(channels));
        return generate(fileName, (arguments + QStringLiteral("-c:v libx264 -preset ultrafast -pix_fmt yuv420p"))
                                      .split(QLatin1Char(' ')));
    }

    // What `tool` of the resource folder prints, its errors in `errors`.
    static QByteArray toolOutput(const QString &tool, const QStringList &arguments, QByteArray *errors = nullptr)
    {
        QProcess process;
        process.start(QDir(toolsFolder()).filePath(tool), arguments);
        process.waitForFinished(60000);
        if (errors)
            *errors = process.readAllStandardError();
        return process.readAllStandardOutput();
    }

    static double hundredths(double seconds) { return std::round(seconds * 100) / 100; }
    // The entries of a file's first subtitle track: starts and ends, in seconds to the hundredth (as ASS counts).
    static QList<double> subtitleTimes(const QString &path)
    {
        const QStringList arguments{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                    QStringLiteral("-map"), QStringLiteral("0:s:0"), QStringLiteral("-f"),
                                    QStringLiteral("srt"), QStringLiteral("-")};
        static const QRegularExpression time(QStringLiteral("(\\d+):(\\d+):(\\d+),(\\d+)"));
        QList<double> times;
        for (auto match = time.globalMatch(QString::fromUtf8(toolOutput(QStringLiteral("creator"), arguments)));
             match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            times << hundredths(found.captured(1).toInt() * 3600 + found.captured(2).toInt() * 60
                                + found.captured(3).toInt() + found.captured(4).toInt() / 1000.0);
        }
        return times;
    }

    // A plain file with the given bytes.
    QString writeFile(const QString &fileName, const QByteArray &bytes) const
    {
        QFile file(path(fileName));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
    }

private:
    const QString m_folder;
};

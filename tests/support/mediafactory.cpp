#include "mediafactory.h"

#include <QDir>
#include <QFile>
#include <QProcess>

QString MediaFactory::toolsFolder()
{
    return QStringLiteral(KESTREL_TOOLS_DIR);
}

QString MediaFactory::fakeToolsFolder(const QString &scenario)
{
    return QDir(QStringLiteral(KESTREL_FAKE_TOOLS_DIR)).filePath(scenario);
}

MediaFactory::MediaFactory(const QString &folder)
    : m_folder(folder)
{
}

QString MediaFactory::path(const QString &fileName) const
{
    return QDir(m_folder).filePath(fileName);
}

QString MediaFactory::generate(const QString &fileName, const QStringList &arguments) const
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

QString MediaFactory::videoClip(const QString &fileName, double seconds, int channels, int width, int height,
                                const QString &rate) const
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

QString MediaFactory::writeFile(const QString &fileName, const QByteArray &bytes) const
{
    QFile file(path(fileName));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size()
        ? file.fileName() : QString();
}

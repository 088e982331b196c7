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
    const QString output = path(fileName);
    QProcess encoder;
    encoder.setProgram(QDir(toolsFolder()).filePath(QStringLiteral("creator")));
    encoder.setArguments(QStringList{QStringLiteral("-v"), QStringLiteral("error"),
                                     QStringLiteral("-nostdin"), QStringLiteral("-y")}
                         + arguments + QStringList{output});
    encoder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    encoder.start();
    if (!encoder.waitForFinished(120000) || encoder.exitStatus() != QProcess::NormalExit
        || encoder.exitCode() != 0) {
        encoder.kill();
        encoder.waitForFinished();
        return {};
    }
    return output;
}

QString MediaFactory::videoClip(const QString &fileName, double seconds, int channels,
                                int width, int height, const QString &rate) const
{
    const QString length = QString::number(seconds, 'g', 17);
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc2=size=%1x%2:rate=%3:duration=%4")
                         .arg(width).arg(height).arg(rate, length)};
    if (channels > 0) {
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=8000:duration=%1").arg(length)
             << QStringLiteral("-ac") << QString::number(channels);
    }
    args << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
         << QStringLiteral("ultrafast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
    if (channels > 0)
        args << QStringLiteral("-c:a") << QStringLiteral("aac") << QStringLiteral("-b:a")
             << QStringLiteral("32k");
    return generate(fileName, args);
}

QString MediaFactory::writeFile(const QString &fileName, const QByteArray &bytes) const
{
    QFile file(path(fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(bytes);
    return file.fileName();
}

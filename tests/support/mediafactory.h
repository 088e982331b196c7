#pragma once

#include <QString>
#include <QStringList>

// Makes small media files at test time with the real encoder and its lavfi
// sources, so no binary sample is ever committed.
class MediaFactory
{
public:
    // The build's resource folder, holding the real `sniffer` and `creator`.
    static QString toolsFolder();
    // A folder of small scripts standing in for a tool that misbehaves.
    static QString fakeToolsFolder(const QString &scenario);

    explicit MediaFactory(const QString &folder);

    // Runs the encoder with `arguments` and the output path last; returns
    // that path, or an empty text when the encoder failed.
    QString generate(const QString &fileName, const QStringList &arguments) const;

    // A test pattern video of `seconds`, `width`x`height` at `rate` frames per
    // second, H.264 in the file's container, with a sine tone of `channels`
    // channels when `channels` is above 0.
    QString videoClip(const QString &fileName, double seconds, int channels = 2,
                      int width = 64, int height = 48, const QString &rate = QStringLiteral("5")) const;

    // A plain file with the given bytes.
    QString writeFile(const QString &fileName, const QByteArray &bytes) const;

    QString path(const QString &fileName) const;

private:
    const QString m_folder;
};

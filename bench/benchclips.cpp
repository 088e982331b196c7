// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchclips.h"

#include <algorithm>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "progress.h"
#include "mediafactory.h"
#include "toollocator.h"

namespace {

// One step of making a clip may take long on a busy machine, above all the
// HEVC one on two cores; only an encoder that hangs runs this long.
constexpr int generationStepTimeoutMs = 30 * 60 * 1000;

QStringList testPattern(const QString &size, const QString &rate, int seconds)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("testsrc2=size=%1:rate=%2:duration=%3").arg(size, rate).arg(seconds)};
}

QStringList sineTone(int seconds, int channels)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds),
            QStringLiteral("-ac"), QString::number(channels)};
}

QStringList h264()
{
    return {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
            QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
}

// A keyframe every `seconds` and nowhere else, not even at a change of
// scene: an exact seek then decodes up to that many seconds of frames.
QStringList keyframesEvery(int seconds, int rate)
{
    const QString interval = QString::number(seconds * rate);
    return {QStringLiteral("-g"), interval, QStringLiteral("-keyint_min"), interval, QStringLiteral("-sc_threshold"),
            QStringLiteral("0")};
}

QStringList aac(const QString &bitRate)
{
    return {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"), bitRate};
}

} // namespace

BenchClips::BenchClips(const QString &folder, const QStringList &only)
    : m_folder(folder)
    , m_only(only)
{
}

QList<BenchClips::Recipe> BenchClips::recipes()
{
    return {
        {Kind::FullHd, QStringLiteral("1080p H.264, 2 min"), QStringLiteral("h264-1080p-2min.mp4"),
         testPattern(QStringLiteral("1920x1080"), QStringLiteral("30000/1001"), 120) + sineTone(120, 2) + h264()
             + aac(QStringLiteral("128k")),
         1},
        {Kind::HdSurround, QStringLiteral("720p H.264 + 5.1, 10 min"), QStringLiteral("h264-720p-10min-5.1.mp4"),
         testPattern(QStringLiteral("1280x720"), QStringLiteral("25"), 300) + sineTone(300, 6) + h264()
             + aac(QStringLiteral("384k")),
         2},
        {Kind::UltraHdHevc, QStringLiteral("2160p HEVC, 10 s"), QStringLiteral("hevc-2160p-10s.mp4"),
         testPattern(QStringLiteral("3840x2160"), QStringLiteral("25"), 5)
             + QStringList{QStringLiteral("-c:v"), QStringLiteral("libx265"), QStringLiteral("-preset"),
                           QStringLiteral("ultrafast"), QStringLiteral("-x265-params"),
                           QStringLiteral("log-level=error"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                           QStringLiteral("-tag:v"), QStringLiteral("hvc1")},
         2},
        {Kind::FullHdSparseKeyframes, QStringLiteral("1080p H.264, 2 min, keyframes 10 s apart"),
         QStringLiteral("h264-1080p-2min-gop10s.mp4"),
         testPattern(QStringLiteral("1920x1080"), QStringLiteral("25"), 120) + sineTone(120, 2) + h264()
             + keyframesEvery(10, 25) + aac(QStringLiteral("128k")),
         1},
        // As downloads come: a keyframe every 2 s (VP9) or 5 s (AV1).
        {Kind::FullHdVp9, QStringLiteral("1080p VP9 WebM, 2 min"), QStringLiteral("vp9-1080p-2min.webm"),
         testPattern(QStringLiteral("1920x1080"), QStringLiteral("25"), 60) + sineTone(60, 2)
             + QStringList{QStringLiteral("-c:v"), QStringLiteral("libvpx-vp9"), QStringLiteral("-deadline"),
                           QStringLiteral("realtime"), QStringLiteral("-cpu-used"), QStringLiteral("8"),
                           QStringLiteral("-row-mt"), QStringLiteral("1"), QStringLiteral("-b:v"), QStringLiteral("4M"),
                           QStringLiteral("-g"), QStringLiteral("50"), QStringLiteral("-c:a"), QStringLiteral("libopus")},
         2},
        {Kind::FullHdAv1, QStringLiteral("1080p AV1 Matroska, 2 min"), QStringLiteral("av1-1080p-2min.mkv"),
         testPattern(QStringLiteral("1920x1080"), QStringLiteral("25"), 60) + sineTone(60, 2)
             + QStringList{QStringLiteral("-c:v"), QStringLiteral("libsvtav1"), QStringLiteral("-preset"),
                           QStringLiteral("12"), QStringLiteral("-g"), QStringLiteral("125")}
             + aac(QStringLiteral("128k")),
         2},
    };
}

bool BenchClips::prepare()
{
    QDir().mkpath(m_folder);
    m_clips.clear();
    m_kinds.clear();
    m_missing.clear();
    for (const Recipe &recipe : recipes()) {
        if (isWanted(recipe) && !make(recipe))
            m_missing.append(recipe.label);
    }
    return !m_clips.isEmpty();
}

bool BenchClips::isWanted(const Recipe &recipe) const
{
    return m_only.isEmpty() || std::any_of(m_only.cbegin(), m_only.cend(), [&recipe](const QString &word) {
               return recipe.fileName.contains(word, Qt::CaseInsensitive);
           });
}

bool BenchClips::make(const Recipe &recipe)
{
    const MediaFactory factory(m_folder);
    BenchClip clip{recipe.label, factory.path(recipe.fileName), 0.0};
    if (!QFileInfo::exists(clip.path)) {
        progress(QStringLiteral("generating %1 …").arg(recipe.label));
        QElapsedTimer timer;
        timer.start();
        const QString partial = QStringLiteral("partial-") + recipe.fileName;
        const QString part = QStringLiteral("part-") + recipe.fileName;
        bool made = false;
        if (recipe.repeats == 1) {
            made = generate(partial, recipe.arguments);
        } else {
            made = generate(part, recipe.arguments) && joinRepeats(recipe, part, partial);
            QFile::remove(factory.path(part));
        }
        if (!made || !QFile::rename(factory.path(partial), clip.path)) {
            QFile::remove(factory.path(partial));
            progress(QStringLiteral("could not generate %1").arg(recipe.label));
            return false;
        }
        clip.generationSeconds = static_cast<double>(timer.elapsed()) / 1000.0;
        progress(QStringLiteral("generated %1 in %2 s").arg(recipe.label).arg(clip.generationSeconds, 0, 'f', 1));
    } else {
        progress(QStringLiteral("re-using %1 from the cache").arg(recipe.label));
    }
    m_clips.append(clip);
    m_kinds.append(recipe.kind);
    return true;
}

bool BenchClips::joinRepeats(const Recipe &recipe, const QString &partName, const QString &outputName) const
{
    const MediaFactory factory(m_folder);
    QByteArray list;
    for (int i = 0; i < recipe.repeats; ++i)
        list += "file '" + QFile::encodeName(partName) + "'\n";
    const QString listName = QStringLiteral("list-") + recipe.fileName + QStringLiteral(".txt");
    const QString listPath = factory.writeFile(listName, list);
    const bool joined = !listPath.isEmpty()
        && generate(outputName, {QStringLiteral("-f"), QStringLiteral("concat"), QStringLiteral("-safe"),
                                 QStringLiteral("0"), QStringLiteral("-i"), listPath, QStringLiteral("-c"),
                                 QStringLiteral("copy")});
    QFile::remove(listPath);
    return joined;
}

// As the test media factory runs the encoder, but with time for a slow
// machine: the factory gives up on small test clips after two minutes.
bool BenchClips::generate(const QString &fileName, const QStringList &arguments) const
{
    QProcess encoder;
    encoder.setProgram(ToolLocator(MediaFactory::toolsFolder()).pathForResource(ToolLocator::creator));
    encoder.setArguments(QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                                     QStringLiteral("-y")}
                         + arguments + QStringList{MediaFactory(m_folder).path(fileName)});
    encoder.setStandardInputFile(QProcess::nullDevice());
    encoder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    encoder.start();
    if (!encoder.waitForFinished(generationStepTimeoutMs)) {
        encoder.kill();
        encoder.waitForFinished();
        return false;
    }
    return encoder.exitStatus() == QProcess::NormalExit && encoder.exitCode() == 0;
}

BenchClip BenchClips::clip(Kind kind) const
{
    const qsizetype index = m_kinds.indexOf(kind);
    return index < 0 ? BenchClip{} : m_clips.at(index);
}

QList<BenchClip> BenchClips::all() const
{
    return m_clips;
}

QStringList BenchClips::missing() const
{
    return m_missing;
}

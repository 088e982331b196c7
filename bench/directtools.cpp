// SPDX-License-Identifier: GPL-3.0-or-later
#include "directtools.h"

#include <QProcess>
#include <QStandardPaths>

#include "fileprobe.h"
#include "posterextraction.h"

DirectTools::DirectTools(const ToolLocator &tools)
    : m_sniffer(tools.pathForResource(ToolLocator::sniffer))
    , m_creator(tools.pathForResource(ToolLocator::creator))
    , m_cp(QStandardPaths::findExecutable(QStringLiteral("cp")))
{
}

bool DirectTools::probe(const QString &path) const
{
    return run(m_sniffer, FileProbe::snifferArguments(path), Output::Read);
}

bool DirectTools::extractPoster(const QString &path, double seconds, const QString &outputPath) const
{
    return run(m_creator,
               PosterExtraction::arguments(path, seconds, outputPath, PosterExtraction::Accuracy::Exact),
               Output::Discarded);
}

bool DirectTools::listPackets(const QString &path, const QList<Stretch> &read) const
{
    return run(m_sniffer, PacketList::snifferArguments(path, read), Output::Read);
}

bool DirectTools::encode(const QStringList &arguments) const
{
    return run(m_creator, arguments, Output::Discarded);
}

bool DirectTools::copy(const QString &from, const QString &to) const
{
    return run(m_cp, {from, to}, Output::Discarded);
}

bool DirectTools::run(const QString &program, const QStringList &arguments, Output output)
{
    if (program.isEmpty())
        return false;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (output == Output::Discarded) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    process.start();
    if (!process.waitForFinished(-1))
        return false;
    if (output == Output::Read)
        process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

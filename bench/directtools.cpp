#include "directtools.h"

#include <QProcess>
#include <QStandardPaths>

#include "decimaltext.h"
#include "fileprobe.h"

DirectTools::DirectTools(const ToolLocator &tools)
    : m_sniffer(tools.pathForResource(ToolLocator::sniffer))
    , m_creator(tools.pathForResource(ToolLocator::creator))
    , m_cp(QStandardPaths::findExecutable(QStringLiteral("cp")))
{
}

QStringList DirectTools::posterArguments(const QString &path, double seconds, const QString &outputPath)
{
    return {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-ss"), decimalText(seconds),
            QStringLiteral("-i"), path, QStringLiteral("-vf"), QStringLiteral("scale=-1:480,setsar=1:1"),
            QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-y"), outputPath};
}

bool DirectTools::probe(const QString &path) const
{
    return run(m_sniffer, FileProbe::snifferArguments(path), Output::Read);
}

bool DirectTools::extractPoster(const QString &path, double seconds, const QString &outputPath) const
{
    return run(m_creator, posterArguments(path, seconds, outputPath), Output::Discarded);
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

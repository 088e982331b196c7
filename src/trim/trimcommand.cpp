// SPDX-License-Identifier: GPL-3.0-or-later
#include "trimcommand.h"

#include "decimaltext.h"
#include "timetext.h"

namespace {

QStringList segmentArguments(const TrimParameters &parameters)
{
    return {QStringLiteral("-ss"), timeTextFromSeconds(parameters.startSeconds()),
            QStringLiteral("-i"), parameters.inputPath,
            QStringLiteral("-t"), decimalText(parameters.outputDuration())};
}

QStringList streamCopyArguments()
{
    return {QStringLiteral("-c"), QStringLiteral("copy")};
}

QStringList reencodeArguments(const TrimParameters &parameters)
{
    QStringList arguments{QStringLiteral("-sn"), QStringLiteral("-dn"),
                          QStringLiteral("-map_chapters"), QStringLiteral("-1"),
                          QStringLiteral("-map_metadata"), QStringLiteral("-1"),
                          QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
    if (parameters.hasAudioTrack && parameters.hasAudioTrackWhichHasMoreThanTwoChannels)
        arguments << QStringLiteral("-ac") << QStringLiteral("2");
    return arguments;
}

QStringList outputArguments(const TrimParameters &parameters)
{
    return {QStringLiteral("-avoid_negative_ts"), QStringLiteral("1"),
            QStringLiteral("-y"), parameters.outputPath};
}

QString escapedCharacter(QChar c)
{
    switch (c.unicode()) {
    case u'"':
        return QStringLiteral("\\\"");
    case u'\\':
        return QStringLiteral("\\\\");
    case u'\n':
        return QStringLiteral("\\n");
    case u'\t':
        return QStringLiteral("\\t");
    case u'\r':
        return QStringLiteral("\\r");
    default:
        break;
    }
    if (c.category() == QChar::Other_Control)
        return QStringLiteral("\\u{") + QString::number(c.unicode(), 16).toUpper() + QLatin1Char('}');
    return QString(c);
}

QString quoted(const QString &argument)
{
    QString text = QStringLiteral("\"");
    for (const QChar c : argument)
        text += escapedCharacter(c);
    return text + QLatin1Char('"');
}

}

QStringList TrimCommand::trimArguments(const TrimParameters &parameters)
{
    return segmentArguments(parameters)
        + (parameters.forceEncode ? reencodeArguments(parameters) : streamCopyArguments())
        + outputArguments(parameters);
}

QString TrimCommand::diagnosticLine(const QStringList &arguments)
{
    QStringList quotedArguments;
    quotedArguments.reserve(arguments.size());
    for (const QString &argument : arguments)
        quotedArguments.append(quoted(argument));
    return QLatin1Char('[') + quotedArguments.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "decimaltext.h"
#include "framerate.h"
#include "samefile.h"
#include "timetext.h"
#include "utils.h"

using Conversion = QString (*)(const QString &);
Q_DECLARE_METATYPE(Conversion)

// The input of the same-file rows; its name is not the same in every Unicode form.
const QString input = QStringLiteral("caf\u00e9.mp4");

class TestUtil : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile(path(input)).open(QIODevice::WriteOnly));
        QVERIFY(QFile(path(QStringLiteral("other.mp4"))).open(QIODevice::WriteOnly));
        QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("sub")));
        QVERIFY(QFile::link(path(input), path(QStringLiteral("link.mp4"))));
        QVERIFY(QFile::link(m_folder.path(), path(QStringLiteral("sub/up"))));
        const QByteArray hardLink = QFile::encodeName(path(QStringLiteral("hard.mp4")));
        QCOMPARE(::link(QFile::encodeName(path(input)).constData(), hardLink.constData()), 0);
    }

    // Numbers written as texts, and read from the texts of the encoder and the prober; -1 stands for no value.
    void conversions_data()
    {
        QTest::addColumn<Conversion>("convert");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        const Conversion time = [](const QString &seconds) { return timeTextFromSeconds(seconds.toDouble()); };
        // Read back by the encoder as the same double.
        const Conversion decimal = [](const QString &value) { return decimalText(value.toDouble()); };
        const Conversion timeCode = [](const QString &code) {
            return QString::number(Utils::secondsFromTimeCode(code).value_or(-1), 'g', 10);
        };
        const Conversion rate = [](const QString &ratio) {
            return QString::number(frameRateFromRatio(ratio).value_or(-1), 'g', 10);
        };
        const Conversion typed = [](const QString &text) {
            return QString::number(secondsFromTimeText(text).value_or(-1), 'g', 12);
        };
        const auto row = [](const char *name, Conversion convert, const char *from, const char *to) {
            QTest::newRow(name) << convert << QString::fromLatin1(from) << QString::fromLatin1(to);
        };
        row("time rounded down, milliseconds padded", time, "7.0054", "0:00:07.005");
        row("time rounded up into the hours", time, "3599.9996", "1:00:00.000");
        row("decimal zero", decimal, "0", "0.0");
        row("decimal shortest", decimal, "3.3333333333333335", "3.3333333333333335");
        // No float noise on a command line.
        const Conversion argument = [](const QString &value) { return secondsArgument(value.toDouble()); };
        row("seconds to the microsecond, shortest", argument, "2.039999999999999", "2.04");
        // Hundredths, as the encoder prints them.
        row("time code", timeCode, "01:02:03.45", "3723.45");
        row("time code with a comma", timeCode, "00:00:10,00", "-1");
        row("typed H:MM:SS.mmm", typed, " 1:02:03.500 ", "3723.5");
        row("typed M:SS", typed, "2:05", "125");
        row("typed seconds with a comma", typed, "90,25", "90.25");
        row("typed seconds past a minute after a colon", typed, "1:60", "-1");
        row("typed minutes past an hour after hours", typed, "1:60:00", "-1");
        row("typed with a sign", typed, "-5", "-1");
        row("typed with two fractions", typed, "1.5.2", "-1");
        row("rate NTSC", rate, "30000/1001", "29.97002997");
        row("rate undefined", rate, "0/0", "-1");
        row("rate negative", rate, "-25/1", "-1");
        row("rate of two negatives", rate, "-25/-1", "-1");
        row("rate with two slashes", rate, "1/2/3", "-1");
        row("rate garbage", rate, "25fps/1", "-1");
    }
    void conversions()
    {
        QFETCH(Conversion, convert);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QCOMPARE(convert(from), to);
    }

    void sameFile_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<bool>("same");
        // No file has the decomposed name, so only its path can tell.
        const QString decomposed = input.normalized(QString::NormalizationForm_D);
        QVERIFY(!QFile::exists(path(decomposed)));
        QTest::newRow("equal text") << path(input) << true;
        QTest::newRow("decomposed Unicode") << path(decomposed) << true;
        QTest::newRow("relative") << QDir::current().relativeFilePath(path(decomposed)) << true;
        QTest::newRow("through a linked folder") << path(QStringLiteral("sub/up/") + decomposed) << true;
        QTest::newRow("symbolic link") << path(QStringLiteral("link.mp4")) << true;
        QTest::newRow("hard link") << path(QStringLiteral("hard.mp4")) << true;
        QTest::newRow("another file") << path(QStringLiteral("other.mp4")) << false;
        QTest::newRow("a new name") << path(QStringLiteral("Trimmed.mp4")) << false;
    }
    void sameFile()
    {
        QFETCH(QString, candidate);
        QFETCH(bool, same);
        QCOMPARE(isSameFile(path(input), candidate), same);
    }

private:
    QString path(const QString &name) const { return m_folder.filePath(name); }

    QTemporaryDir m_folder;
};

QTEST_GUILESS_MAIN(TestUtil)
#include "tst_util.moc"

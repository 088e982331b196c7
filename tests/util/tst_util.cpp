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
        const auto row = [](const char *name, Conversion convert, const char *from, const char *to) {
            QTest::newRow(name) << convert << QString::fromLatin1(from) << QString::fromLatin1(to);
        };
        row("time rounded down, milliseconds padded", time, "7.0054", "0:00:07.005");
        row("time rounded up into the minutes", time, "59.9996", "0:01:00.000");
        row("time beyond a day", time, "90061.001", "25:01:01.001");
        row("time negative", time, "-0.5", "-0:00:00.500");
        row("time negative rounding to zero", time, "-0.0004", "0:00:00.000");
        row("time not a number", time, "nan", "");
        row("decimal zero", decimal, "0", "0.0");
        row("decimal shortest", decimal, "3.3333333333333335", "3.3333333333333335");
        // Hundredths, as the encoder prints them.
        row("time code", timeCode, "01:02:03.45", "3723.45");
        row("time code with a comma", timeCode, "00:00:10,00", "-1");
        row("time code garbage", timeCode, "garbage", "-1");
        row("rate NTSC", rate, "30000/1001", "29.97002997");
        row("rate with decimals", rate, "59.94/1", "59.94");
        row("rate undefined", rate, "0/0", "-1");
        row("rate over zero", rate, "25/0", "-1");
        row("rate negative", rate, "-25/1", "-1");
        row("rate without slash", rate, "25", "-1");
        row("rate with two slashes", rate, "1/2/3", "-1");
        row("rate garbage", rate, "fast/slow", "-1");
    }
    void conversions()
    {
        QFETCH(Conversion, convert);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QCOMPARE(convert(from), to);
    }

    // The encoder's progress lines are searched with this pattern.
    void timeCodePattern()
    {
        const QString pattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");
        const QString progress = QStringLiteral("frame=1 time=00:00:01.20 x\rframe=2 time=00:00:02,40 x\r");
        QCOMPARE(Utils::regexMatches(pattern, progress),
                 QStringList({QStringLiteral("00:00:01.20"), QStringLiteral("00:00:02,40")}));
    }

    void sameFile_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<bool>("same");
        QTest::newRow("equal text") << path(input) << true;
        QTest::newRow("decomposed Unicode") << path(input.normalized(QString::NormalizationForm_D)) << true;
        QTest::newRow("relative") << QDir::current().relativeFilePath(path(input)) << true;
        QTest::newRow("dot-dot steps") << path(QStringLiteral("sub/../") + input) << true;
        QTest::newRow("dot step") << path(QStringLiteral("./") + input) << true;
        QTest::newRow("symbolic link") << path(QStringLiteral("link.mp4")) << true;
        QTest::newRow("through a linked folder") << path(QStringLiteral("sub/up/") + input) << true;
        QTest::newRow("hard link") << path(QStringLiteral("hard.mp4")) << true;
        QTest::newRow("another file") << path(QStringLiteral("other.mp4")) << false;
        QTest::newRow("a new name") << path(QStringLiteral("Trimmed.mp4")) << false;
        QTest::newRow("a new name in a linked folder") << path(QStringLiteral("sub/up/Trimmed.mp4")) << false;
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

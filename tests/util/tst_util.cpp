#include <unistd.h>

#include <cmath>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "decimaltext.h"
#include "diagnosticlog.h"
#include "framerate.h"
#include "samefile.h"
#include "timetext.h"
#include "utils.h"

namespace {

constexpr double none = -1; // what a reading that gives no value is compared as
const QString input = QStringLiteral("caf\u00e9.mp4");

} // namespace

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
        QCOMPARE(::link(QFile::encodeName(path(input)).constData(),
                        QFile::encodeName(path(QStringLiteral("hard.mp4"))).constData()),
                 0);
    }

    void timeText_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("rounds down, milliseconds padded") << 7.0054 << QStringLiteral("0:00:07.005");
        QTest::newRow("rounds up, carrying into the minutes") << 59.9996 << QStringLiteral("0:01:00.000");
        QTest::newRow("hours beyond a day") << 90061.001 << QStringLiteral("25:01:01.001");
        QTest::newRow("negative") << -0.5 << QStringLiteral("-0:00:00.500");
        QTest::newRow("negative rounding to zero has no sign") << -0.0004 << QStringLiteral("0:00:00.000");
        QTest::newRow("not a number") << std::nan("") << QString();
        QTest::newRow("too large for milliseconds") << 1e300 << QString();
    }
    void timeText()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(timeTextFromSeconds(seconds), text);
    }

    void decimal_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << QStringLiteral("0.0");
        QTest::newRow("whole number") << -5.0 << QStringLiteral("-5.0");
        QTest::newRow("shortest that reads back") << 10.0 / 3.0 << QStringLiteral("3.3333333333333335");
        QTest::newRow("smallest plain") << 0.0001 << QStringLiteral("0.0001");
        QTest::newRow("below a ten-thousandth") << 0.00001 << QStringLiteral("1e-05");
        QTest::newRow("2^53 and above") << 1e16 << QStringLiteral("1e+16");
    }
    void decimal()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(decimalText(value), text);
    }

    // The encoder's progress lines are searched with this pattern, then read.
    void timeCodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("matches");
        QTest::addColumn<double>("seconds"); // of the first match
        QTest::newRow("hundredths") << QStringLiteral("frame=1 time=01:02:03.45 x\rframe=2 time=00:00:07.05 x\r")
                                    << QStringList{QStringLiteral("01:02:03.45"), QStringLiteral("00:00:07.05")}
                                    << 3723.45;
        QTest::newRow("comma in place of the point") << QStringLiteral("time=00:00:10,00")
                                                     << QStringList{QStringLiteral("00:00:10,00")} << none;
        QTest::newRow("no time code") << QStringLiteral("Press [q] to stop") << QStringList() << none;
    }
    void timeCodes()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, matches);
        QFETCH(double, seconds);
        const QString pattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");
        QCOMPARE(Utils::regexMatches(pattern, text), matches);
        QCOMPARE(Utils::secondsFromTimeCode(matches.value(0)).value_or(none), seconds);
    }

    void timeCodesThatDoNotConvert_data()
    {
        QTest::addColumn<QString>("timeCode");
        QTest::newRow("garbage") << QStringLiteral("garbage");
        QTest::newRow("blank after a piece") << QStringLiteral("00:00:10.00 ");
        QTest::newRow("not a number") << QStringLiteral("00:00:nan.00");
        QTest::newRow("one clock piece") << QStringLiteral("10.00");
    }
    void timeCodesThatDoNotConvert()
    {
        QFETCH(QString, timeCode);
        QCOMPARE(Utils::secondsFromTimeCode(timeCode), std::nullopt);
    }

    void invalidPatternIsReported()
    {
        DiagnosticLog::Capture capture;
        QCOMPARE(Utils::regexMatches(QStringLiteral("([0-9]"), QStringLiteral("12:34")), QStringList());
        QCOMPARE(capture.lines().size(), 1);
        // The engine's description follows.
        const QString line = capture.lines().value(0);
        QVERIFY2(line.startsWith(QStringLiteral("invalid regex: ")) && line.size() > 15, qPrintable(line));
    }

    void frameRate_data()
    {
        QTest::addColumn<QString>("ratio");
        QTest::addColumn<double>("rate");
        QTest::newRow("NTSC") << QStringLiteral("30000/1001") << 30000.0 / 1001.0;
        QTest::newRow("decimal parts") << QStringLiteral("59.94/1") << 59.94;
        QTest::newRow("undefined") << QStringLiteral("0/0") << none;
        QTest::newRow("zero denominator") << QStringLiteral("25/0") << none;
        QTest::newRow("negative") << QStringLiteral("-25/1") << none;
        QTest::newRow("no slash") << QStringLiteral("25") << none;
        QTest::newRow("two slashes") << QStringLiteral("1/2/3") << none;
        QTest::newRow("text") << QStringLiteral("fast/slow") << none;
        QTest::newRow("locale comma") << QStringLiteral("29,97/1") << none;
        QTest::newRow("overflow") << QStringLiteral("1e308/1e-308") << none;
        QTest::newRow("not a number") << QStringLiteral("nan/1") << none;
    }
    void frameRate()
    {
        QFETCH(QString, ratio);
        QFETCH(double, rate);
        QCOMPARE(frameRateFromRatio(ratio).value_or(none), rate);
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

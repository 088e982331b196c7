#include <cmath>

#include <QtTest>

#include "decimaltext.h"
#include "diagnosticlog.h"
#include "timetext.h"
#include "utils.h"

class TestTexts : public QObject
{
    Q_OBJECT

private slots:
    void timeText_data();
    void timeText();
    void decimal_data();
    void decimal();
    void regexMatches_data();
    void regexMatches();
    void invalidRegexIsReported();
    void secondsFromTimeCode_data();
    void secondsFromTimeCode();
};

void TestTexts::timeText_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << QStringLiteral("0:00:00.000");
    QTest::newRow("rounds down below half a millisecond") << 59.9994 << QStringLiteral("0:00:59.999");
    QTest::newRow("rounding carries into the minutes") << 59.9996 << QStringLiteral("0:01:00.000");
    QTest::newRow("hours beyond a day") << 90061.001 << QStringLiteral("25:01:01.001");
    QTest::newRow("milliseconds padded to three") << 7.005 << QStringLiteral("0:00:07.005");
    QTest::newRow("minutes") << 62.5 << QStringLiteral("0:01:02.500");
    QTest::newRow("negative") << -0.5 << QStringLiteral("-0:00:00.500");
    QTest::newRow("negative rounding to zero has no sign") << -0.0004 << QStringLiteral("0:00:00.000");
    QTest::newRow("not a number") << std::nan("") << QString();
    QTest::newRow("too large for milliseconds") << 1e300 << QString();
}

void TestTexts::timeText()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(timeTextFromSeconds(seconds), text);
}

void TestTexts::decimal_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << QStringLiteral("0.0");
    QTest::newRow("whole number") << 10.0 << QStringLiteral("10.0");
    QTest::newRow("half") << 2.5 << QStringLiteral("2.5");
    QTest::newRow("negative") << -5.0 << QStringLiteral("-5.0");
    QTest::newRow("third") << 10.0 / 3.0 << QStringLiteral("3.3333333333333335");
    QTest::newRow("smallest plain") << 0.0001 << QStringLiteral("0.0001");
    QTest::newRow("below a ten-thousandth") << 0.00001 << QStringLiteral("1e-05");
    QTest::newRow("large") << 1e16 << QStringLiteral("1e+16");
}

void TestTexts::decimal()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(decimalText(value), text);
    // The encoder reads it back as the same double.
    bool ok = false;
    QCOMPARE(QLocale::c().toDouble(text, &ok), value);
    QVERIFY(ok);
}

void TestTexts::regexMatches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("matches");

    QTest::newRow("two progress lines")
        << QStringLiteral("frame=1 time=00:00:01.20 bitrate=N/A\rframe=2 time=00:00:02.40 bitrate=N/A\r")
        << QStringList{QStringLiteral("00:00:01.20"), QStringLiteral("00:00:02.40")};
    QTest::newRow("no time code") << QStringLiteral("Press [q] to stop, [?] for help\n") << QStringList{};
    QTest::newRow("comma in place of the point")
        << QStringLiteral("time=00:00:10,00") << QStringList{QStringLiteral("00:00:10,00")};
}

void TestTexts::regexMatches()
{
    QFETCH(QString, text);
    QFETCH(QStringList, matches);
    DiagnosticLog::Capture capture;
    const QString timeCode = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");
    QCOMPARE(Utils::regexMatches(timeCode, text), matches);
    QVERIFY(capture.lines().isEmpty());
}

void TestTexts::invalidRegexIsReported()
{
    DiagnosticLog::Capture capture;
    QCOMPARE(Utils::regexMatches(QStringLiteral("([0-9]"), QStringLiteral("12:34")), QStringList{});
    QCOMPARE(capture.lines().size(), 1);
    const QString line = capture.lines().first();
    // The engine's description follows.
    QVERIFY2(line.startsWith(QStringLiteral("invalid regex: ")) && line.size() > 15, qPrintable(line));
}

void TestTexts::secondsFromTimeCode_data()
{
    QTest::addColumn<QString>("timeCode");
    QTest::addColumn<bool>("convertible");
    QTest::addColumn<double>("seconds");

    QTest::newRow("minute and a half second") << QStringLiteral("00:01:02.50") << true << 62.5;
    QTest::newRow("hundredths") << QStringLiteral("00:00:07.05") << true << 7.05;
    QTest::newRow("largest") << QStringLiteral("99:59:59.99") << true << 359999.99;
    QTest::newRow("comma in place of the point") << QStringLiteral("00:00:10,00") << false << 0.0;
    QTest::newRow("garbage") << QStringLiteral("garbage") << false << 0.0;
    QTest::newRow("blank after a piece") << QStringLiteral("00:00:10.00 ") << false << 0.0;
    QTest::newRow("not a number") << QStringLiteral("00:00:nan.00") << false << 0.0;
}

void TestTexts::secondsFromTimeCode()
{
    QFETCH(QString, timeCode);
    QFETCH(bool, convertible);
    QFETCH(double, seconds);
    const std::optional<double> result = Utils::secondsFromTimeCode(timeCode);
    QCOMPARE(result.has_value(), convertible);
    if (convertible)
        QCOMPARE(*result, seconds);
}

QTEST_GUILESS_MAIN(TestTexts)
#include "tst_texts.moc"

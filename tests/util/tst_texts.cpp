#include <cmath>
#include <limits>

#include <QtTest>

#include "decimaltext.h"
#include "diagnosticlog.h"
#include "timetext.h"
#include "utils.h"

namespace {
const QString timeCodePattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");
}

class TestTexts : public QObject
{
    Q_OBJECT

private slots:
    void timeText_data();
    void timeText();
    void decimal_data();
    void decimal();
    void decimalReadsBack_data();
    void decimalReadsBack();
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
    QTest::newRow("ten hours") << 36000.0 << QStringLiteral("10:00:00.000");
    QTest::newRow("hours beyond a day") << 90061.001 << QStringLiteral("25:01:01.001");
    QTest::newRow("milliseconds padded to three") << 7.005 << QStringLiteral("0:00:07.005");
    QTest::newRow("half second") << 7.5 << QStringLiteral("0:00:07.500");
    QTest::newRow("minutes") << 62.5 << QStringLiteral("0:01:02.500");
    QTest::newRow("hundredths") << 5.05 << QStringLiteral("0:00:05.050");
    QTest::newRow("hour, minutes, seconds") << 3725.25 << QStringLiteral("1:02:05.250");
    QTest::newRow("half a millisecond rounds up") << 0.0005 << QStringLiteral("0:00:00.001");
    QTest::newRow("negative") << -0.5 << QStringLiteral("-0:00:00.500");
    QTest::newRow("negative minutes") << -65.25 << QStringLiteral("-0:01:05.250");
    QTest::newRow("negative rounding to zero has no sign") << -0.0004 << QStringLiteral("0:00:00.000");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0:00:00.000");
    QTest::newRow("not a number") << std::nan("") << QString();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QString();
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
    // The sign survives, so the text reads back as the same double.
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("-0.0");
    QTest::newRow("whole number") << 10.0 << QStringLiteral("10.0");
    QTest::newRow("half") << 2.5 << QStringLiteral("2.5");
    QTest::newRow("negative") << -5.0 << QStringLiteral("-5.0");
    QTest::newRow("sum with binary error") << 0.1 + 0.2 << QStringLiteral("0.30000000000000004");
    QTest::newRow("third") << 10.0 / 3.0 << QStringLiteral("3.3333333333333335");
    QTest::newRow("smallest plain") << 0.0001 << QStringLiteral("0.0001");
    QTest::newRow("plain below a thousandth") << 0.0005 << QStringLiteral("0.0005");
    QTest::newRow("below a ten-thousandth") << 0.00001 << QStringLiteral("1e-05");
    QTest::newRow("negative tiny") << -0.000025 << QStringLiteral("-2.5e-05");
    QTest::newRow("large plain") << 1e15 << QStringLiteral("1000000000000000.0");
    QTest::newRow("large") << 1e16 << QStringLiteral("1e+16");
    QTest::newRow("hour and a bit") << 3600.04 << QStringLiteral("3600.04");
}

void TestTexts::decimal()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(decimalText(value), text);
}

void TestTexts::decimalReadsBack_data()
{
    QTest::addColumn<double>("value");

    QTest::newRow("seventh") << 1.0 / 7.0;
    QTest::newRow("selection length") << 100.0 * 0.75 - 100.0 * 0.25;
    QTest::newRow("odd duration") << 62.5 * (0.6 - 0.1);
    QTest::newRow("tiny") << 3e-9;
    QTest::newRow("near the exponent limit") << 9007199254740991.0;
}

void TestTexts::decimalReadsBack()
{
    QFETCH(double, value);
    const QString text = decimalText(value);
    QVERIFY2(text.contains(QLatin1Char('.')) || text.contains(QLatin1Char('e')), qPrintable(text));
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
    QTest::newRow("wildcard does not match a line break") << QStringLiteral("00:00:10\n00") << QStringList{};
    QTest::newRow("empty text") << QString() << QStringList{};
}

void TestTexts::regexMatches()
{
    QFETCH(QString, text);
    QFETCH(QStringList, matches);
    DiagnosticLog::Capture capture;
    QCOMPARE(Utils::regexMatches(timeCodePattern, text), matches);
    QVERIFY(capture.lines().isEmpty());
}

void TestTexts::invalidRegexIsReported()
{
    DiagnosticLog::Capture capture;
    QCOMPARE(Utils::regexMatches(QStringLiteral("([0-9]"), QStringLiteral("12:34")), QStringList{});
    QCOMPARE(capture.lines().size(), 1);
    const QString line = capture.lines().first();
    QVERIFY2(line.startsWith(QStringLiteral("invalid regex: ")), qPrintable(line));
    QVERIFY2(line.size() > QStringLiteral("invalid regex: ").size(), "the engine's description follows");
}

void TestTexts::secondsFromTimeCode_data()
{
    QTest::addColumn<QString>("timeCode");
    QTest::addColumn<bool>("convertible");
    QTest::addColumn<double>("seconds");

    QTest::newRow("minute and a half second") << QStringLiteral("00:01:02.50") << true << 62.5;
    QTest::newRow("one hour") << QStringLiteral("01:00:00.00") << true << 3600.0;
    QTest::newRow("beyond a day") << QStringLiteral("25:00:00.00") << true << 90000.0;
    QTest::newRow("hundredths") << QStringLiteral("00:00:07.05") << true << 7.05;
    QTest::newRow("largest") << QStringLiteral("99:59:59.99") << true << 359999.99;
    QTest::newRow("zero") << QStringLiteral("00:00:00.00") << true << 0.0;
    QTest::newRow("comma in place of the point") << QStringLiteral("00:00:10,00") << false << 0.0;
    QTest::newRow("garbage") << QStringLiteral("garbage") << false << 0.0;
    QTest::newRow("letters in the clock") << QStringLiteral("00:0a:10.00") << false << 0.0;
    QTest::newRow("nothing after the point") << QStringLiteral("00:00:10.") << false << 0.0;
    QTest::newRow("one clock piece") << QStringLiteral("10.00") << false << 0.0;
    QTest::newRow("blank before a piece") << QStringLiteral(" 0:00:10.00") << false << 0.0;
    QTest::newRow("blank after a piece") << QStringLiteral("00:00:10.00 ") << false << 0.0;
    QTest::newRow("not a number") << QStringLiteral("00:00:nan.00") << false << 0.0;
    QTest::newRow("empty") << QString() << false << 0.0;
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

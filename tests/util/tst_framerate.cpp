#include <QTest>

#include "framerate.h"

class TestFrameRate : public QObject
{
    Q_OBJECT

private slots:
    void readsTheProbersRatio_data();
    void readsTheProbersRatio();
};

void TestFrameRate::readsTheProbersRatio_data()
{
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("rate");

    QTest::newRow("NTSC") << QStringLiteral("30000/1001") << true << 30000.0 / 1001.0;
    QTest::newRow("PAL") << QStringLiteral("25/1") << true << 25.0;
    QTest::newRow("decimal parts") << QStringLiteral("59.94/1") << true << 59.94;
    QTest::newRow("undefined") << QStringLiteral("0/0") << false << 0.0;
    QTest::newRow("zero denominator") << QStringLiteral("25/0") << false << 0.0;
    QTest::newRow("negative") << QStringLiteral("-25/1") << false << 0.0;
    QTest::newRow("no slash") << QStringLiteral("25") << false << 0.0;
    QTest::newRow("two slashes") << QStringLiteral("1/2/3") << false << 0.0;
    QTest::newRow("text") << QStringLiteral("fast/slow") << false << 0.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("locale comma") << QStringLiteral("29,97/1") << false << 0.0;
    QTest::newRow("overflow") << QStringLiteral("1e308/1e-308") << false << 0.0;
    QTest::newRow("not a number") << QStringLiteral("nan/1") << false << 0.0;
}

void TestFrameRate::readsTheProbersRatio()
{
    QFETCH(QString, ratio);
    QFETCH(bool, valid);
    QFETCH(double, rate);

    const std::optional<double> result = frameRateFromRatio(ratio);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, rate);
}

QTEST_GUILESS_MAIN(TestFrameRate)
#include "tst_framerate.moc"

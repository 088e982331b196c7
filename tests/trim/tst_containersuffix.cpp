#include <QTest>

#include "containersuffix.h"

class TestContainerSuffix : public QObject
{
    Q_OBJECT

private slots:
    void suffixForTheProbersFormatNames_data();
    void suffixForTheProbersFormatNames();
};

void TestContainerSuffix::suffixForTheProbersFormatNames_data()
{
    QTest::addColumn<QString>("formatNames");
    QTest::addColumn<QString>("suffix");

    QTest::newRow("QuickTime family") << QStringLiteral("mov,mp4,m4a,3gp,3g2,mj2") << QStringLiteral("mov");
    QTest::newRow("Matroska") << QStringLiteral("matroska,webm") << QStringLiteral("mkv");
    QTest::newRow("transport stream") << QStringLiteral("mpegts") << QStringLiteral("ts");
    QTest::newRow("program stream") << QStringLiteral("mpeg") << QStringLiteral("mpg");
    QTest::newRow("forced MP4") << QStringLiteral("mp4") << QStringLiteral("mp4");
    QTest::newRow("name as extension") << QStringLiteral("nut") << QStringLiteral("nut");
    QTest::newRow("unknown") << QString() << QString();
    QTest::newRow("not fit for a file name") << QStringLiteral("../x") << QString();
    QTest::newRow("capitals refused") << QStringLiteral("MOV2") << QString();
}

void TestContainerSuffix::suffixForTheProbersFormatNames()
{
    QFETCH(QString, formatNames);
    QFETCH(QString, suffix);
    QCOMPARE(containerSuffix(formatNames), suffix);
}

QTEST_GUILESS_MAIN(TestContainerSuffix)
#include "tst_containersuffix.moc"

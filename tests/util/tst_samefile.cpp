#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "samefile.h"

class TestSameFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void namesOfOneFile_data();
    void namesOfOneFile();

private:
    QString path(const QString &name) const { return m_folder.filePath(name); }

    QTemporaryDir m_folder;
};

void TestSameFile::initTestCase()
{
    QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("sub")));
    QFile input(path(QStringLiteral("caf\u00e9.mp4")));
    QVERIFY(input.open(QIODevice::WriteOnly));
    input.write("video");
    input.close();
    QFile other(path(QStringLiteral("other.mp4")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QVERIFY(QFile::link(input.fileName(), path(QStringLiteral("link.mp4"))));
    QVERIFY(QFile::link(m_folder.path(), path(QStringLiteral("sub/up"))));
    QCOMPARE(::link(QFile::encodeName(input.fileName()).constData(),
                    QFile::encodeName(path(QStringLiteral("hard.mp4"))).constData()),
             0);
}

void TestSameFile::namesOfOneFile_data()
{
    QTest::addColumn<QString>("candidate");
    QTest::addColumn<bool>("same");

    const QString input = QStringLiteral("caf\u00e9.mp4");
    QTest::newRow("equal text") << input << true;
    QTest::newRow("decomposed Unicode") << input.normalized(QString::NormalizationForm_D) << true;
    QTest::newRow("dot-dot steps") << QStringLiteral("sub/../") + input << true;
    QTest::newRow("dot step") << QStringLiteral("./") + input << true;
    QTest::newRow("symbolic link") << QStringLiteral("link.mp4") << true;
    QTest::newRow("through a linked folder") << QStringLiteral("sub/up/") + input << true;
    QTest::newRow("hard link") << QStringLiteral("hard.mp4") << true;
    QTest::newRow("another file") << QStringLiteral("other.mp4") << false;
    QTest::newRow("a new name") << QStringLiteral("Trimmed.mp4") << false;
    QTest::newRow("a new name in a linked folder") << QStringLiteral("sub/up/Trimmed.mp4") << false;
}

void TestSameFile::namesOfOneFile()
{
    QFETCH(QString, candidate);
    QFETCH(bool, same);
    QCOMPARE(isSameFile(path(QStringLiteral("caf\u00e9.mp4")), path(candidate)), same);
}

QTEST_GUILESS_MAIN(TestSameFile)
#include "tst_samefile.moc"

#include <sys/stat.h>

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include "diagnosticlog.h"
#include "filesize.h"
#include "mediafactory.h"

namespace {

QString lit(const char *text)
{
    return QString::fromLatin1(text);
}

} // namespace

class TestFileSize : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sizes_data();
    void sizes();
    void missingFile();
    void itemWithoutSize();

private:
    QTemporaryDir m_folder;
};

void TestFileSize::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QLocale::setDefault(QLocale::c());
}

void TestFileSize::sizes_data()
{
    QTest::addColumn<qsizetype>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << qsizetype(0) << lit("0 bytes");
    QTest::newRow("a few bytes") << qsizetype(999) << lit("999 bytes");
    QTest::newRow("kilobytes") << qsizetype(1500) << lit("1.50 kB");
    QTest::newRow("megabytes") << qsizetype(2345678) << lit("2.35 MB");
}

void TestFileSize::sizes()
{
    QFETCH(qsizetype, bytes);
    QFETCH(QString, text);

    const QString path = MediaFactory(m_folder.path()).writeFile(lit("file.bin"), QByteArray(bytes, 'x'));
    DiagnosticLog::Capture capture;
    QCOMPARE(FileSize::fileSizeInBytes(path), quint64(bytes));
    QCOMPARE(FileSize::fileSizeText(path), text);
    QCOMPARE(capture.lines(), QStringList());
}

void TestFileSize::missingFile()
{
    const QString path = QDir(m_folder.path()).filePath(lit("missing.mp4"));
    DiagnosticLog::Capture capture;
    QCOMPARE(FileSize::fileSizeInBytes(path), 0u);
    QCOMPARE(FileSize::fileSizeText(path), lit("Unknown File Size"));
    const QString expected = lit("Failed to get file attributes for local path: ") + path
                             + lit(" with error: No such file or directory");
    QCOMPARE(capture.lines(), (QStringList{expected, expected}));
}

void TestFileSize::itemWithoutSize()
{
    const QString path = QDir(m_folder.path()).filePath(lit("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    DiagnosticLog::Capture capture;
    QCOMPARE(FileSize::fileSizeInBytes(path), 0u);
    QCOMPARE(FileSize::fileSizeText(path), lit("Unknown File Size"));
    const QString expected = lit("Failed to get a size attribute from path: ") + path;
    QCOMPARE(capture.lines(), (QStringList{expected, expected}));
}

QTEST_GUILESS_MAIN(TestFileSize)
#include "tst_filesize.moc"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "temporarydirectory.h"

namespace {

int modeOf(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return st.st_mode & 0777;
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

} // namespace

class TestTemporaryDirectory : public QObject
{
    Q_OBJECT

private slots:
    void createsPrivateFolders();
    void clearEmptiesOnlyItsOwnFolder();
    void clearNeverFollowsLinks();
    void instancesDoNotDisturbEachOther();
    void leftoversOfDeadInstancesAreSwept();
    void refusesABaseThatIsALink();
    void releaseRemovesTheFolder();

private:
    QTemporaryDir m_root;
};

void TestTemporaryDirectory::createsPrivateFolders()
{
    const QString base = m_root.filePath(QStringLiteral("private-base"));
    TemporaryDirectory directory(base);
    QVERIFY(directory.isValid());
    QVERIFY(directory.path().endsWith(QLatin1Char('/')));
    QVERIFY(directory.path().startsWith(base + QLatin1Char('/')));
    QCOMPARE(modeOf(base), 0700);
    QCOMPARE(modeOf(directory.path()), 0700);
}

void TestTemporaryDirectory::clearEmptiesOnlyItsOwnFolder()
{
    const QString base = m_root.filePath(QStringLiteral("clear-base"));
    TemporaryDirectory directory(base);
    const QString sentinel = QDir(base).filePath(QStringLiteral("sentinel"));
    touch(sentinel);
    QVERIFY(QDir(directory.path()).mkpath(QStringLiteral("Poster/deeper")));
    touch(directory.path() + QStringLiteral("Poster/out.jpg"));
    touch(directory.path() + QStringLiteral(".hidden"));

    directory.clear();

    QVERIFY(QFileInfo(directory.path()).isDir());
    QVERIFY(QDir(directory.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QVERIFY(QFile::exists(sentinel));
}

void TestTemporaryDirectory::clearNeverFollowsLinks()
{
    const QString outside = m_root.filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(outside));
    touch(QDir(outside).filePath(QStringLiteral("precious")));
    const QString outsideFile = m_root.filePath(QStringLiteral("precious-file"));
    touch(outsideFile);

    TemporaryDirectory directory(m_root.filePath(QStringLiteral("link-base")));
    QVERIFY(QFile::link(outside, directory.path() + QStringLiteral("folder-link")));
    QVERIFY(QFile::link(outsideFile, directory.path() + QStringLiteral("file-link")));

    directory.clear();

    QVERIFY(!QFileInfo(directory.path() + QStringLiteral("folder-link")).isSymLink());
    QVERIFY(!QFileInfo(directory.path() + QStringLiteral("file-link")).isSymLink());
    QVERIFY(QFile::exists(QDir(outside).filePath(QStringLiteral("precious"))));
    QVERIFY(QFile::exists(outsideFile));
}

void TestTemporaryDirectory::instancesDoNotDisturbEachOther()
{
    const QString base = m_root.filePath(QStringLiteral("shared-base"));
    TemporaryDirectory first(base);
    TemporaryDirectory second(base);
    QVERIFY(first.isValid() && second.isValid());
    QVERIFY(first.path() != second.path());

    touch(first.path() + QStringLiteral("mine"));
    touch(second.path() + QStringLiteral("theirs"));
    second.clear();
    QVERIFY(QFile::exists(first.path() + QStringLiteral("mine")));

    // A third instance starting up must not sweep the running ones away.
    TemporaryDirectory third(base);
    QVERIFY(QFile::exists(first.path() + QStringLiteral("mine")));
    QVERIFY(QFileInfo(second.path()).isDir());
}

void TestTemporaryDirectory::leftoversOfDeadInstancesAreSwept()
{
    const QString base = m_root.filePath(QStringLiteral("sweep-base"));
    { TemporaryDirectory prepare(base); }
    const QDir baseDir(base);

    // A crashed instance: its folder is there, its lock names a process that
    // no longer runs.
    QVERIFY(baseDir.mkpath(QStringLiteral("instance-crashed")));
    touch(baseDir.filePath(QStringLiteral("instance-crashed/out.jpg")));
    QFile lock(baseDir.filePath(QStringLiteral("instance-crashed.lock")));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write("2147483646\nkestrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    // And one that never got as far as its lock.
    QVERIFY(baseDir.mkpath(QStringLiteral("instance-unlocked")));
    // Anything not named like an instance is not ours to remove.
    touch(baseDir.filePath(QStringLiteral("unrelated")));

    TemporaryDirectory directory(base);

    QVERIFY(!baseDir.exists(QStringLiteral("instance-crashed")));
    QVERIFY(!baseDir.exists(QStringLiteral("instance-unlocked")));
    QVERIFY(baseDir.exists(QStringLiteral("unrelated")));
}

void TestTemporaryDirectory::refusesABaseThatIsALink()
{
    const QString target = m_root.filePath(QStringLiteral("link-target"));
    QVERIFY(QDir().mkpath(target));
    const QString base = m_root.filePath(QStringLiteral("planted-link"));
    QVERIFY(QFile::link(target, base));
    TemporaryDirectory directory(base);
    QVERIFY(!directory.isValid());
    QVERIFY(directory.path().isEmpty());
    QVERIFY(QDir(target).isEmpty());
}

void TestTemporaryDirectory::releaseRemovesTheFolder()
{
    const QString base = m_root.filePath(QStringLiteral("release-base"));
    QString path;
    {
        TemporaryDirectory directory(base);
        path = directory.path();
        touch(path + QStringLiteral("file"));
    }
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

QTEST_GUILESS_MAIN(TestTemporaryDirectory)
#include "tst_temporarydirectory.moc"

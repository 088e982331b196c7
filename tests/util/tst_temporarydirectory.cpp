#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "temporarydirectory.h"

namespace {

int modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

bool write(const QString &path, const QByteArray &bytes = "x")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool isEmptyFolder(const QString &path)
{
    return QFileInfo(path).isDir()
        && QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestTemporaryDirectory : public QObject
{
    Q_OBJECT

private slots:
    void privateFolderGoesOnRelease()
    {
        const QString base = m_root.filePath(QStringLiteral("private"));
        QString path;
        {
            const TemporaryDirectory directory(base);
            path = directory.path();
            QVERIFY(path.startsWith(base + QLatin1Char('/')) && path.endsWith(QLatin1Char('/')));
            QCOMPARE(modeOf(base), 0700);
            QCOMPARE(modeOf(path), 0700);
            QVERIFY(write(path + QStringLiteral("file")));
        }
        QVERIFY(isEmptyFolder(base));
    }

    void clearEmptiesOnlyItsFolderAndNeverFollowsLinks()
    {
        const QString outside = m_root.filePath(QStringLiteral("outside"));
        const QString precious = outside + QStringLiteral("/precious");
        QVERIFY(QDir().mkpath(outside) && write(precious));
        const QString base = m_root.filePath(QStringLiteral("clear"));
        const TemporaryDirectory directory(base);
        const QString path = directory.path();
        QVERIFY(write(base + QStringLiteral("/sentinel")));
        QVERIFY(QDir(path).mkpath(QStringLiteral("Poster/deeper")) && write(path + QStringLiteral("Poster/out.jpg")));
        QVERIFY(write(path + QStringLiteral(".hidden")));
        QVERIFY(QFile::link(outside, path + QStringLiteral("folder-link")));
        QVERIFY(QFile::link(precious, path + QStringLiteral("file-link")));

        directory.clear();

        QVERIFY(isEmptyFolder(path));
        QVERIFY(QFile::exists(base + QStringLiteral("/sentinel")));
        QVERIFY(QFile::exists(precious));
    }

    void startingSweepsOnlyDeadInstances()
    {
        const QString base = m_root.filePath(QStringLiteral("sweep"));
        const TemporaryDirectory running(base);
        QVERIFY(write(running.path() + QStringLiteral("mine")));
        const QDir folder(base);
        // A crashed instance: its lock names a process that no longer runs.
        QVERIFY(folder.mkpath(QStringLiteral("instance-crashed/Poster")));
        QVERIFY(write(folder.filePath(QStringLiteral("instance-crashed.lock")),
                      "2147483646\nkestrel\n" + QSysInfo::machineHostName().toUtf8() + '\n'));
        // And one that never got as far as its lock.
        QVERIFY(folder.mkpath(QStringLiteral("instance-unlocked")));
        QVERIFY(write(folder.filePath(QStringLiteral("unrelated"))));

        const TemporaryDirectory started(base);

        QVERIFY(started.isValid() && started.path() != running.path());
        QVERIFY(QFile::exists(running.path() + QStringLiteral("mine")));
        QVERIFY(!folder.exists(QStringLiteral("instance-crashed")));
        QVERIFY(!folder.exists(QStringLiteral("instance-unlocked")));
        QVERIFY(folder.exists(QStringLiteral("unrelated")));
    }

    void refusesABaseThatIsALink()
    {
        const QString target = m_root.filePath(QStringLiteral("target"));
        const QString base = m_root.filePath(QStringLiteral("planted-link"));
        QVERIFY(QDir().mkpath(target) && QFile::link(target, base));
        const TemporaryDirectory directory(base);
        QVERIFY(!directory.isValid());
        QVERIFY(isEmptyFolder(target));
    }

private:
    QTemporaryDir m_root;
};

QTEST_GUILESS_MAIN(TestTemporaryDirectory)
#include "tst_temporarydirectory.moc"

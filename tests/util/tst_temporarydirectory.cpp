// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "temporarydirectory.h"

namespace {

bool write(const QString &path, const QByteArray &bytes = "x")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Links, dangling ones too, and hidden entries count.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

bool isPrivate(const QString &folder)
{
    const auto user = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser; // the owner, seen by the owner
    return QFileInfo(folder).permissions() == (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | user);
}

} // namespace

class TestTemporaryDirectory : public QObject
{
    Q_OBJECT

private slots:
    void instancesSweepOnlyTheDeadAndReleaseTheirOwn()
    {
        const QString base = m_root.filePath(QStringLiteral("base"));
        const QDir folder(base);
        {
            const TemporaryDirectory running(base);
            QVERIFY(!QFileInfo::exists(base)); // nothing is made before the first use
            QVERIFY(running.path().startsWith(base + QLatin1Char('/')) && running.path().endsWith(QLatin1Char('/')));
            QVERIFY(isPrivate(base) && isPrivate(running.path()));
            QVERIFY(write(running.path() + QStringLiteral("mine")));
            // A crashed instance: its lock names a process that no longer runs.
            QVERIFY(folder.mkpath(QStringLiteral("instance-crashed/x")));
            QVERIFY(write(folder.filePath(QStringLiteral("instance-crashed.lock")),
                          "2147483646\nkestrel\n" + QSysInfo::machineHostName().toUtf8() + '\n'));
            QVERIFY(folder.mkpath(QStringLiteral("unrelated")));

            const TemporaryDirectory started(base);
            QVERIFY(started.isValid() && started.path() != running.path());
            QVERIFY(QFile::exists(running.path() + QStringLiteral("mine")));
            // Only the folders and locks of the two running instances are left.
            QCOMPARE(entries(base).filter(QStringLiteral("instance-")).size(), 4);
        }
        QCOMPARE(entries(base), QStringList{QStringLiteral("unrelated")});
    }

    void clearEmptiesOnlyItsFolderAndNeverFollowsLinks()
    {
        const QString outside = m_root.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside) && write(outside + QStringLiteral("/precious")));
        const QString base = m_root.filePath(QStringLiteral("clear"));
        const TemporaryDirectory directory(base);
        const QString path = directory.path();
        QVERIFY(QDir(path).mkpath(QStringLiteral("Poster/deeper")) && write(path + QStringLiteral("Poster/out.jpg")));
        QVERIFY(write(path + QStringLiteral(".hidden")) && QFile::link(outside, path + QStringLiteral("folder-link")));
        QVERIFY(QFile::link(outside + QStringLiteral("/precious"), path + QStringLiteral("file-link")));

        directory.clear();

        QVERIFY(QFileInfo(path).isDir() && entries(path).isEmpty());
        QCOMPARE(entries(base).size(), 2); // the folder and its lock
        QCOMPARE(entries(outside), QStringList{QStringLiteral("precious")});
    }

    void refusesABaseThatIsALink()
    {
        const QString target = m_root.filePath(QStringLiteral("target"));
        const QString base = m_root.filePath(QStringLiteral("planted-link"));
        QVERIFY(QDir().mkpath(target) && QFile::link(target, base));
        QVERIFY(!TemporaryDirectory(base).isValid());
        QCOMPARE(entries(target), QStringList());
    }

private:
    QTemporaryDir m_root;
};

QTEST_GUILESS_MAIN(TestTemporaryDirectory)
#include "tst_temporarydirectory.moc"

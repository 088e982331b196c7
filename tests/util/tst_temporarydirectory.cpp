// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "temporarydirectory.h"
#include "testfiles.h"

namespace {

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
            QVERIFY(TestFiles::write(running.path() + QStringLiteral("mine"), "x"));
            // A crashed instance: its lock names a process that no longer runs.
            QVERIFY(folder.mkpath(QStringLiteral("instance-crashed/x")));
            QVERIFY(TestFiles::write(folder.filePath(QStringLiteral("instance-crashed.lock")),
                                     "2147483646\nkestrel\n" + QSysInfo::machineHostName().toUtf8() + '\n'));
            QVERIFY(folder.mkpath(QStringLiteral("unrelated")));

            const TemporaryDirectory started(base);
            QVERIFY(started.isValid() && started.path() != running.path());
            QVERIFY(QFile::exists(running.path() + QStringLiteral("mine")));
            // Only the folders and locks of the two running instances are left.
            QCOMPARE(TestFiles::listing(base).filter(QStringLiteral("instance-")).size(), 4);
        }
        QCOMPARE(TestFiles::listing(base), QStringList{QStringLiteral("unrelated")});
    }

    void clearEmptiesOnlyItsFolderAndNeverFollowsLinks()
    {
        const QString outside = m_root.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside) && TestFiles::write(outside + QStringLiteral("/precious"), "x"));
        const QString base = m_root.filePath(QStringLiteral("clear"));
        const TemporaryDirectory directory(base);
        const QString path = directory.path();
        QVERIFY(QDir(path).mkpath(QStringLiteral("Poster/deeper")));
        QVERIFY(TestFiles::write(path + QStringLiteral("Poster/out.jpg"), "x"));
        QVERIFY(TestFiles::write(path + QStringLiteral(".hidden"), "x") && QFile::link(outside, path + QStringLiteral("folder-link")));
        QVERIFY(QFile::link(outside + QStringLiteral("/precious"), path + QStringLiteral("file-link")));

        directory.clear();

        QVERIFY(QFileInfo(path).isDir() && TestFiles::listing(path).isEmpty());
        QCOMPARE(TestFiles::listing(base).size(), 2); // the folder and its lock
        QCOMPARE(TestFiles::listing(outside), QStringList{QStringLiteral("precious")});
    }

    void refusesABaseThatIsALink()
    {
        const QString target = m_root.filePath(QStringLiteral("target"));
        const QString base = m_root.filePath(QStringLiteral("planted-link"));
        QVERIFY(QDir().mkpath(target) && QFile::link(target, base));
        QVERIFY(!TemporaryDirectory(base).isValid());
        QCOMPARE(TestFiles::listing(target), QStringList());
    }

private:
    QTemporaryDir m_root;
};

QTEST_GUILESS_MAIN(TestTemporaryDirectory)
#include "tst_temporarydirectory.moc"

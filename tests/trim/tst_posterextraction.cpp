#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "childprocesses.h"
#include "mediafactory.h"
#include "posterextraction.h"
#include "testfiles.h"

using namespace Qt::StringLiterals;

// Requests come without the event loop running between them, as during a
// burst of key presses: which extractions run and which are announced does
// not depend on how fast the encoder is.
class TestPosterExtraction : public QObject
{
    Q_OBJECT

    QTemporaryDir m_media;
    QString m_clip;

    // Waits until nothing runs or waits; the times announced meanwhile, -1 for a frame not shown.
    static QList<double> announcedTimes(PosterExtraction &posters)
    {
        QSignalSpy announced(&posters, &PosterExtraction::extracted);
        if (!QTest::qWaitFor([&posters] { return posters.isIdle(); }, 30000))
            return {-2.0};
        QList<double> times;
        for (const QList<QVariant> &signal : announced)
            times << (signal.at(2).toBool() ? signal.at(0).toDouble() : -1.0);
        return times;
    }

private slots:
    void initTestCase()
    {
        m_clip = MediaFactory(m_media.path()).videoClip(u"clip.mp4"_s, 10, 0);
        QVERIFY(!m_clip.isEmpty() && QDir(m_media.path()).mkdir(u"Poster"_s));
    }

    void burstsEndInTheNewestRequestAndExactFramesAreRemembered()
    {
        PosterExtraction posters(ToolLocator(MediaFactory::toolsFolder()), m_media.filePath(u"Poster"_s));
        for (const double seconds : {1.0, 2.0, 3.0, 8.0})
            posters.request(m_clip, seconds, PosterExtraction::Accuracy::Exact);
        QCOMPARE(announcedTimes(posters), (QList<double>{1.0, 8.0}));
        const QString direct = m_media.filePath(u"direct.jpg"_s);
        QCOMPARE(QProcess::execute(QDir(MediaFactory::toolsFolder()).filePath(ToolLocator::creator),
                                   PosterExtraction::arguments(m_clip, 8.0, direct, PosterExtraction::Accuracy::Exact)), 0);
        QCOMPARE(QImage(posters.shownFilePath()), QImage(direct));
        QCOMPARE(QImage(direct).height(), 480);
        QVERIFY(QFile::remove(direct));
        // Only the frame shown is kept.
        QCOMPARE(TestFiles::listing(m_media.filePath(u"Poster"_s)), QStringList{u"out.jpg"_s});

        // Remembered frames show at once, and one asked for before them never shows after them.
        const QByteArray eight = TestFiles::contents(posters.shownFilePath());
        posters.request(m_clip, 3.0, PosterExtraction::Accuracy::Exact);
        posters.request(m_clip, 1.0, PosterExtraction::Accuracy::Exact);
        const QByteArray one = TestFiles::contents(posters.shownFilePath());
        QVERIFY(one != eight);
        QCOMPARE(announcedTimes(posters), QList<double>());
        QCOMPARE(TestFiles::contents(posters.shownFilePath()), one);
        posters.request(m_clip, 8.0, PosterExtraction::Accuracy::Exact);
        QVERIFY(posters.isIdle());
        QCOMPARE(TestFiles::contents(posters.shownFilePath()), eight);
    }

    void stoppedExtractionsAreNeverShown()
    {
        {
            PosterExtraction posters(ToolLocator(MediaFactory::toolsFolder()), m_media.filePath(u"Poster"_s));
            posters.request(m_clip, 1.0, PosterExtraction::Accuracy::Exact);
            posters.request(m_clip, 2.0, PosterExtraction::Accuracy::Keyframe);
            posters.reset();
            QVERIFY(posters.isIdle());
            posters.request(m_clip, 5.0, PosterExtraction::Accuracy::Keyframe);
            QCOMPARE(announcedTimes(posters), QList<double>{5.0});
            // The exact frame stops a keyframe preview rather than wait for it.
            posters.request(m_clip, 6.0, PosterExtraction::Accuracy::Keyframe);
            posters.request(m_clip, 7.0, PosterExtraction::Accuracy::Exact);
            QCOMPARE(announcedTimes(posters), QList<double>{7.0});
            posters.request(m_clip, 9.0, PosterExtraction::Accuracy::Exact);
            QVERIFY(!ChildProcesses::running().isEmpty());
        }
        QCOMPARE(ChildProcesses::running(), QList<qint64>());
        QCOMPARE(ChildProcesses::zombies(), QList<qint64>());
    }
};

QTEST_GUILESS_MAIN(TestPosterExtraction)
#include "tst_posterextraction.moc"

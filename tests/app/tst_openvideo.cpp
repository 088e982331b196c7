#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "appdelegate.h"
#include "appfixture.h"
#include "childprocesses.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "imagedropview.h"
#include "mediafactory.h"
#include "rangeslider.h"

namespace {

struct Clips
{
    QString long125;
    QString exactly60;
    QString short10;
    QString wide125;
    QString ntsc;
    QString vob;
    QString text;
    QString audioOnly;
};

QString copyAs(const QString &source, const QString &target)
{
    QFile::remove(target);
    return QFile::copy(source, target) ? target : QString();
}

} // namespace

class TestOpenVideo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openingCentresTheLongestShorterPreset();
    void presetsFollowTheInputLength_data();
    void presetsFollowTheInputLength();
    void openFromTheMenuThroughTheFileDialog();
    void rejectedFilesShowTheirAlert_data();
    void rejectedFilesShowTheirAlert();
    void aValidFileAfterARejectedOneEnablesTheControls();
    void sameFractionsStillRefreshForTheNewVideo();
    void nudgesAtTheBoundsChangeNothing();
    void frameStepFollowsTheFrameRate();
    void presetIsBoundedByTheInputEnd();
    void startPushedPastTheEndGivesANegativeDuration();
    void dropOpensOnlyTheFirstFile();
    void openingChangesWhatTheWindowShows();

private:
    QString field(const char *name) const;
    QToolButton *button(const char *name) const;
    QMessageBox *lastAlert() const;

    QTemporaryDir m_media;
    QTemporaryDir m_temporaryBase;
    Clips m_clips;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<QSignalSpy> m_alerts;
};

void TestOpenVideo::initTestCase()
{
    const MediaFactory factory(m_media.path());
    m_clips.long125 = factory.videoClip(QStringLiteral("long.mp4"), 125, 0, 64, 48, QStringLiteral("1"));
    m_clips.exactly60 = factory.videoClip(QStringLiteral("sixty.mp4"), 60, 0, 64, 48, QStringLiteral("1"));
    m_clips.short10 = factory.videoClip(QStringLiteral("ten.mp4"), 10, 0, 64, 48, QStringLiteral("1"));
    m_clips.wide125 = factory.videoClip(QStringLiteral("wide.mp4"), 125, 0, 96, 48, QStringLiteral("1"));
    m_clips.ntsc = factory.videoClip(QStringLiteral("ntsc.mp4"), 12, 0, 64, 48, QStringLiteral("30000/1001"));
    m_clips.vob = copyAs(m_clips.short10, factory.path(QStringLiteral("disc.Vob")));
    m_clips.text = factory.writeFile(QStringLiteral("notes.txt"), "just some words\n");
    m_clips.audioOnly = factory.generate(QStringLiteral("tone.m4a"),
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("sine=frequency=440:sample_rate=8000:duration=2"), QStringLiteral("-c:a"), QStringLiteral("aac")});
    for (const QString &clip : {m_clips.long125, m_clips.exactly60, m_clips.short10, m_clips.wide125, m_clips.ntsc,
                                m_clips.vob, m_clips.text, m_clips.audioOnly})
        QVERIFY(!clip.isEmpty());
}

void TestOpenVideo::init()
{
    m_delegate = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    QVERIFY(QTest::qWaitForWindowExposed(m_delegate->window()));
    m_alerts = std::make_unique<QSignalSpy>(m_delegate.get(), &AppDelegate::alertShown);
}

void TestOpenVideo::cleanup()
{
    m_alerts.reset();
    m_delegate.reset();
    QTRY_VERIFY(ChildProcesses::running().isEmpty());
    QVERIFY(ChildProcesses::zombies().isEmpty());
}

QString TestOpenVideo::field(const char *name) const
{
    return m_delegate->window()->findChild<QLabel *>(QLatin1String(name))->text();
}

QToolButton *TestOpenVideo::button(const char *name) const
{
    return m_delegate->window()->findChild<QToolButton *>(QLatin1String(name));
}

QMessageBox *TestOpenVideo::lastAlert() const
{
    return m_alerts->isEmpty() ? nullptr : m_alerts->last().first().value<QMessageBox *>();
}

void TestOpenVideo::openingCentresTheLongestShorterPreset()
{
    DiagnosticLog::Capture printed;
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.long125));

    auto *popup = m_delegate->window()->findChild<QComboBox *>(QStringLiteral("presetDurationPOPUP"));
    QStringList items;
    for (int i = 0; i < popup->count(); ++i)
        items << popup->itemText(i);
    QCOMPARE(items, (QStringList{QStringLiteral("10 sec"), QStringLiteral("15 sec"), QStringLiteral("30 sec"),
                                 QStringLiteral("45 sec"), QStringLiteral("1 min"), QStringLiteral("2 min")}));
    QCOMPARE(popup->currentText(), QStringLiteral("2 min"));

    auto *slider = m_delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    QCOMPARE(slider->start() * 125, 2.5);
    QCOMPARE(slider->end() * 125, 122.5);
    QCOMPARE(field("inputDurationTF"), QStringLiteral("Input Duration: 0:02:05.000"));
    QCOMPARE(field("startTimeTF"), QStringLiteral("Start Time: 0:00:02.500"));
    QCOMPARE(field("endTimeTF"), QStringLiteral("End Time: 0:02:02.500"));
    QCOMPARE(field("outputDurationTF"), QStringLiteral("Output Duration: 0:02:00.000"));

    // The end is set first, then the start; the poster ends on the start.
    QCOMPARE(printed.lines(), (QStringList{QStringLiteral("Big slider start:0.0 end:0.98"), QStringLiteral("right"),
                                           QStringLiteral("Big slider start:0.02 end:0.98"), QStringLiteral("left")}));
    const QImage poster(m_delegate->posterFrameFilePath());
    QCOMPARE(poster.height(), 480);
    QCOMPARE(m_delegate->window()->findChild<ImageDropView *>(QStringLiteral("posterView"))->image().height(), 480);
    QVERIFY(m_alerts->isEmpty());
    QVERIFY(m_delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->isEnabled());
}

void TestOpenVideo::presetsFollowTheInputLength_data()
{
    QTest::addColumn<int>("clip");
    QTest::addColumn<int>("itemCount");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");

    // 60 is not shorter than 60, so "1 min" is not offered for a minute.
    QTest::newRow("exactly 60 s") << 0 << 4 << QStringLiteral("45 sec") << QStringLiteral("Start Time: 0:00:07.500")
                                  << QStringLiteral("End Time: 0:00:52.500");
    // No preset is shorter: the whole input is selected.
    QTest::newRow("10 s") << 1 << 0 << QString() << QStringLiteral("Start Time: 0:00:00.000")
                          << QStringLiteral("End Time: 0:00:10.000");
}

void TestOpenVideo::presetsFollowTheInputLength()
{
    QFETCH(int, clip);
    QFETCH(int, itemCount);
    QFETCH(QString, selected);
    QFETCH(QString, start);
    QFETCH(QString, end);

    m_delegate->openVideo(QUrl::fromLocalFile(clip == 0 ? m_clips.exactly60 : m_clips.short10));
    auto *popup = m_delegate->window()->findChild<QComboBox *>(QStringLiteral("presetDurationPOPUP"));
    QCOMPARE(popup->count(), itemCount);
    QCOMPARE(popup->currentText(), selected);
    QCOMPARE(field("startTimeTF"), start);
    QCOMPARE(field("endTimeTF"), end);
    QVERIFY(!QImage(m_delegate->posterFrameFilePath()).isNull());
}

void TestOpenVideo::openFromTheMenuThroughTheFileDialog()
{
    QTest::keySequence(m_delegate->window(), QKeySequence::Open);
    QFileDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = m_delegate->window()->findChild<QFileDialog *>()));
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    dialog->selectFile(m_clips.exactly60);
    static_cast<QDialog *>(dialog)->accept();
    QVERIFY(m_delegate->globalFP());
    QCOMPARE(m_delegate->globalFP()->fileFullPath(), std::optional<QString>(m_clips.exactly60));
    QCOMPARE(field("inputDurationTF"), QStringLiteral("Input Duration: 0:01:00.000"));
}

void TestOpenVideo::rejectedFilesShowTheirAlert_data()
{
    QTest::addColumn<int>("clip");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("informativeStart");

    const QString unsupported = QStringLiteral("Seems to be an unsupported file.\nDoes the video play in a video player?");
    const QString contact = QStringLiteral("Please try opening some other file or contact : ");
    QTest::newRow("valid clip named .Vob") << 0 << QStringLiteral("Kestrel cannot open .VOB files.")
                                           << QStringLiteral("Questions? : ");
    QTest::newRow("text file") << 1 << unsupported << contact;
    QTest::newRow("audio only") << 2 << unsupported << contact;
}

void TestOpenVideo::rejectedFilesShowTheirAlert()
{
    QFETCH(int, clip);
    QFETCH(QString, message);
    QFETCH(QString, informativeStart);

    const QString path = QStringList{m_clips.vob, m_clips.text, m_clips.audioOnly}.at(clip);
    m_delegate->openVideo(QUrl::fromLocalFile(path));

    QCOMPARE(m_alerts->count(), 1);
    QCOMPARE(lastAlert()->text(), message);
    QVERIFY(lastAlert()->informativeText().startsWith(informativeStart));
    QVERIFY(lastAlert()->informativeText().length() > informativeStart.length());
    QCOMPARE(lastAlert()->windowModality(), Qt::WindowModal);
    QVERIFY(!m_delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->isEnabled());
    QVERIFY(!button("leftSecondDownBTN")->isEnabled());
    QVERIFY(!m_delegate->window()->findChild<QAction *>(QStringLiteral("startSecondEarlierAction"))->isEnabled());
    // The file was probed before it was turned down.
    QCOMPARE(m_delegate->globalFP()->fileFullPath(), std::optional<QString>(path));
}

void TestOpenVideo::aValidFileAfterARejectedOneEnablesTheControls()
{
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.short10));
    auto *check = m_delegate->window()->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"));
    check->setChecked(true);
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.text));
    QVERIFY(!check->isEnabled());

    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.exactly60));
    QVERIFY(check->isEnabled());
    QVERIFY(!check->isChecked());
    QVERIFY(m_delegate->window()->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->isEnabled());
    QVERIFY(m_delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"))->isEnabled());
    for (const char *name : {"leftSecondDownBTN", "rightSecondUpBTN", "leftFrameUpBTN", "rightFrameDownBTN"})
        QVERIFY(button(name)->isEnabled());
}

void TestOpenVideo::sameFractionsStillRefreshForTheNewVideo()
{
    auto *poster = m_delegate->window()->findChild<ImageDropView *>(QStringLiteral("posterView"));
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.long125));
    QCOMPARE(poster->image().width(), 640);

    // Same length, so the same selection fractions: no setter calls back.
    DiagnosticLog::Capture printed;
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.wide125));
    QVERIFY(printed.lines().isEmpty());
    QCOMPARE(poster->image().width(), 960);
    QCOMPARE(field("startTimeTF"), QStringLiteral("Start Time: 0:00:02.500"));
}

void TestOpenVideo::nudgesAtTheBoundsChangeNothing()
{
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.short10));
    QFile::remove(m_delegate->posterFrameFilePath());
    DiagnosticLog::Capture printed;
    for (const char *name : {"leftSecondDownBTN", "leftFrameDownBTN", "rightSecondUpBTN", "rightFrameUpBTN"})
        QTest::mouseClick(button(name), Qt::LeftButton);
    QVERIFY(printed.lines().isEmpty());
    QVERIFY(!QFile::exists(m_delegate->posterFrameFilePath()));
    QCOMPARE(field("outputDurationTF"), QStringLiteral("Output Duration: 0:00:10.000"));
}

void TestOpenVideo::frameStepFollowsTheFrameRate()
{
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.ntsc));
    QCOMPARE(m_delegate->fps(), 30000.0 / 1001.0);
    auto *slider = m_delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    const double duration = m_delegate->globalFP()->duration();
    const double before = slider->start() * duration;

    DiagnosticLog::Capture printed;
    QTest::mouseClick(button("leftFrameUpBTN"), Qt::LeftButton);
    QVERIFY(qFuzzyCompare(slider->start() * duration - before, 1001.0 / 30000.0));
    QCOMPARE(printed.lines().value(1), QStringLiteral("left"));

    QTest::mouseClick(button("rightFrameDownBTN"), Qt::LeftButton);
    QCOMPARE(printed.lines().value(3), QStringLiteral("right"));

    // The same step from the keyboard, through the Selection menu.
    const double afterClick = slider->start() * duration;
    QTest::keyClick(m_delegate->window(), Qt::Key_Left, Qt::ControlModifier);
    QVERIFY(qFuzzyCompare(afterClick - slider->start() * duration, 1001.0 / 30000.0));
}

void TestOpenVideo::presetIsBoundedByTheInputEnd()
{
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.long125));
    auto *slider = m_delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    slider->setStart(100.0 / 125.0);
    m_delegate->presetDurationPOPUPChanged(4);   // "1 min"
    QCOMPARE(slider->end(), 1.0);
    QCOMPARE(field("outputDurationTF"), QStringLiteral("Output Duration: 0:00:25.000"));

    slider->setStart(50.0 / 125.0);
    m_delegate->presetDurationPOPUPChanged(2);   // "30 sec"
    QCOMPARE(field("endTimeTF"), QStringLiteral("End Time: 0:01:20.000"));
}

void TestOpenVideo::startPushedPastTheEndGivesANegativeDuration()
{
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.short10));
    for (int i = 0; i < 9; ++i)
        QTest::mouseClick(button("rightSecondDownBTN"), Qt::LeftButton);
    QCOMPARE(field("endTimeTF"), QStringLiteral("End Time: 0:00:01.000"));
    QTest::mouseClick(button("leftSecondUpBTN"), Qt::LeftButton);
    QTest::mouseClick(button("leftSecondUpBTN"), Qt::LeftButton);
    QCOMPARE(field("startTimeTF"), QStringLiteral("Start Time: 0:00:02.000"));
    QCOMPARE(field("outputDurationTF"), QStringLiteral("Output Duration: -0:00:01.000"));
}

void TestOpenVideo::dropOpensOnlyTheFirstFile()
{
    auto *poster = m_delegate->window()->findChild<ImageDropView *>(QStringLiteral("posterView"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(m_clips.exactly60), QUrl::fromLocalFile(m_clips.long125),
                  QUrl::fromLocalFile(m_clips.text)});
    const QPointF centre = QRectF(poster->rect()).center();
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(poster, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(poster, &drop);

    QVERIFY(m_delegate->globalFP());
    QCOMPARE(m_delegate->globalFP()->fileFullPath(), std::optional<QString>(m_clips.exactly60));
    QCOMPARE(field("inputDurationTF"), QStringLiteral("Input Duration: 0:01:00.000"));
}

void TestOpenVideo::openingChangesWhatTheWindowShows()
{
    QWidget *poster = m_delegate->window()->findChild<ImageDropView *>(QStringLiteral("posterView"));
    QWidget *slider = m_delegate->window()->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    QWidget *nudge = button("rightFrameUpBTN");
    const QImage emptyPoster = poster->grab().toImage();
    const QImage disabledSlider = slider->grab().toImage();
    const QImage disabledNudge = nudge->grab().toImage();

    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.exactly60));

    QVERIFY(poster->grab().toImage() != emptyPoster);
    QVERIFY(slider->grab().toImage() != disabledSlider);
    QVERIFY(nudge->grab().toImage() != disabledNudge);
    // The menu and toolbar do not change with the state.
    QWidget *open = m_delegate->window()->findChild<QWidget *>(QStringLiteral("mainToolBar"));
    const QImage toolbar = open->grab().toImage();
    m_delegate->openVideo(QUrl::fromLocalFile(m_clips.long125));
    QCOMPARE(open->grab().toImage(), toolbar);
}

QTEST_MAIN(TestOpenVideo)
#include "tst_openvideo.moc"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "appdelegate.h"
#include "appfixture.h"
#include "mediafactory.h"
#include "rangeslider.h"

namespace {

const QStringList nudgeButtons = {
    QStringLiteral("leftSecondDownBTN"),  QStringLiteral("leftFrameDownBTN"),
    QStringLiteral("leftFrameUpBTN"),     QStringLiteral("leftSecondUpBTN"),
    QStringLiteral("rightSecondDownBTN"), QStringLiteral("rightFrameDownBTN"),
    QStringLiteral("rightFrameUpBTN"),    QStringLiteral("rightSecondUpBTN")};

bool isEmptyFolder(const QString &path)
{
    return QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestAppLaunch : public QObject
{
    Q_OBJECT

private slots:
    void editingControlsAreDisabledAfterLaunch();
    void launchAndExitEmptyTheTemporaryDirectory();
    void everyControlHasAnAccessibleName_data();
    void everyControlHasAnAccessibleName();
    void standardShortcuts();
    void helpShowsTheSupportAddress();
    void trimWithNoFileOpenDoesNothing();

private:
    QTemporaryDir m_temporaryBase;
};

void TestAppLaunch::editingControlsAreDisabledAfterLaunch()
{
    AppDelegate delegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    QMainWindow *window = delegate.window();
    auto *check = window->findChild<QCheckBox *>(QStringLiteral("forceEncodeCBX"));
    check->setChecked(true);
    delegate.applicationDidFinishLaunching();

    QVERIFY(!window->findChild<QAction *>(QStringLiteral("trimVideoBTN"))->isEnabled());
    QVERIFY(!check->isEnabled());
    QVERIFY(!check->isChecked());
    QVERIFY(!window->findChild<QComboBox *>(QStringLiteral("presetDurationPOPUP"))->isEnabled());
    auto *slider = window->findChild<RangeSlider *>(QStringLiteral("myRangeSlider"));
    QVERIFY(!slider->isEnabled());
    QVERIFY(!slider->allowClicksOnBarToMoveSliders());
    for (const QString &name : nudgeButtons)
        QVERIFY2(!window->findChild<QToolButton *>(name)->isEnabled(), qPrintable(name));
    QVERIFY(window->findChild<QAction *>(QStringLiteral("openToolBarBTN"))->isEnabled());
    QCOMPARE(delegate.isProcessCancelledByUser(), std::optional<bool>(false));
    QCOMPARE(delegate.fps(), 24.0);
}

void TestAppLaunch::launchAndExitEmptyTheTemporaryDirectory()
{
    AppDelegate delegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    const QString folder = delegate.temporaryDirectoryPath();
    QVERIFY(!folder.isEmpty());
    QVERIFY(delegate.posterFrameFilePath().startsWith(folder));
    QVERIFY(delegate.posterFrameFilePath().endsWith(QStringLiteral("Poster/out.jpg")));
    QVERIFY(QDir(folder).mkpath(QStringLiteral("Poster")));
    QFile leftover(folder + QStringLiteral("Poster/out.jpg"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    const QString sentinel = QDir(m_temporaryBase.path()).filePath(QStringLiteral("sentinel"));
    QFile outside(sentinel);
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.close();

    delegate.applicationDidFinishLaunching();
    QVERIFY(isEmptyFolder(folder));

    QVERIFY(QDir(folder).mkpath(QStringLiteral("Poster")));
    delegate.applicationWillTerminate();
    QVERIFY(isEmptyFolder(folder));
    QVERIFY(QFile::exists(sentinel));
}

void TestAppLaunch::everyControlHasAnAccessibleName_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("accessibleName");

    QTest::newRow("start -1 s") << nudgeButtons.at(0) << QStringLiteral("Start 1 second earlier");
    QTest::newRow("start -1 f") << nudgeButtons.at(1) << QStringLiteral("Start 1 frame earlier");
    QTest::newRow("start +1 f") << nudgeButtons.at(2) << QStringLiteral("Start 1 frame later");
    QTest::newRow("start +1 s") << nudgeButtons.at(3) << QStringLiteral("Start 1 second later");
    QTest::newRow("end -1 s") << nudgeButtons.at(4) << QStringLiteral("End 1 second earlier");
    QTest::newRow("end -1 f") << nudgeButtons.at(5) << QStringLiteral("End 1 frame earlier");
    QTest::newRow("end +1 f") << nudgeButtons.at(6) << QStringLiteral("End 1 frame later");
    QTest::newRow("end +1 s") << nudgeButtons.at(7) << QStringLiteral("End 1 second later");
    QTest::newRow("check box") << QStringLiteral("forceEncodeCBX") << QStringLiteral("Force re-encode to MP4");
    QTest::newRow("pop-up") << QStringLiteral("presetDurationPOPUP") << QStringLiteral("Preset duration");
    QTest::newRow("slider") << QStringLiteral("myRangeSlider") << QStringLiteral("Selection");
    QTest::newRow("poster") << QStringLiteral("posterView") << QStringLiteral("Poster frame");
}

void TestAppLaunch::everyControlHasAnAccessibleName()
{
    QFETCH(QString, objectName);
    QFETCH(QString, accessibleName);
    AppDelegate delegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    const QWidget *widget = delegate.window()->findChild<QWidget *>(objectName);
    QVERIFY(widget);
    QCOMPARE(widget->accessibleName(), accessibleName);
    // Controls without a text of their own explain themselves on hover too.
    if (!qobject_cast<const QCheckBox *>(widget))
        QCOMPARE(widget->toolTip(), accessibleName);
}

void TestAppLaunch::standardShortcuts()
{
    AppDelegate delegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    const QMainWindow *window = delegate.window();
    QCOMPARE(window->findChild<QAction *>(QStringLiteral("openMenuBTN"))->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(window->findChild<QAction *>(QStringLiteral("saveMenuBTN"))->shortcut(), QKeySequence(QKeySequence::Save));
    QCOMPARE(window->findChild<QAction *>(QStringLiteral("quitMenuBTN"))->shortcut(), QKeySequence(QKeySequence::Quit));
    for (const char *name : {"openToolBarBTN", "trimVideoBTN", "helpBTN"})
        QVERIFY(!window->findChild<QAction *>(QLatin1String(name))->text().isEmpty());
}

void TestAppLaunch::helpShowsTheSupportAddress()
{
    const auto launched = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    AppDelegate &delegate = *launched;
    QSignalSpy alerts(&delegate, &AppDelegate::alertShown);
    delegate.window()->findChild<QAction *>(QStringLiteral("helpBTN"))->trigger();
    QCOMPARE(alerts.count(), 1);
    auto *alert = alerts.first().first().value<QMessageBox *>();
    QCOMPARE(alert->text(), QStringLiteral("Questions?"));
    QVERIFY(alert->informativeText().contains(QLatin1Char('@')));
    QCOMPARE(alert->buttons().size(), 1);
    QCOMPARE(alert->buttons().first()->text().remove(QLatin1Char('&')), QStringLiteral("OK"));
    QCOMPARE(alert->windowModality(), Qt::WindowModal);
    QVERIFY(alert->isVisible());
}

void TestAppLaunch::trimWithNoFileOpenDoesNothing()
{
    const auto launched = AppTesting::launchedDelegate(MediaFactory::toolsFolder(), m_temporaryBase.path());
    AppDelegate &delegate = *launched;
    QSignalSpy alerts(&delegate, &AppDelegate::alertShown);
    delegate.window()->findChild<QAction *>(QStringLiteral("saveMenuBTN"))->trigger();
    QCOMPARE(alerts.count(), 0);
    QVERIFY(!delegate.window()->findChild<QFileDialog *>());
}

QTEST_MAIN(TestAppLaunch)
#include "tst_applaunch.moc"

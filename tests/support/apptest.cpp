// SPDX-License-Identifier: GPL-3.0-or-later
#include "apptest.h"

#include <QAction>
#include <QDir>
#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "fileprobe.h"
#include "json.h"
#include "openflow.h"
#include "posterextraction.h"

namespace {

QByteArray quoted(const QString &path)
{
    return '\'' + QFile::encodeName(path) + '\'';
}

} // namespace

AppHarness::AppHarness(const QString &resourceFolder, const QString &launchFile)
    : m_app(std::make_unique<AppDelegate>(resourceFolder, m_temporaryBase.path()))
    , m_alerts(m_app.get(), &AppDelegate::alertShown)
    , m_ends(m_app.get(), &AppDelegate::trimFinished)
{
    m_app->window()->show();
    // Shortcuts reach only the active window.
    m_app->window()->activateWindow();
    if (!QTest::qWaitForWindowActive(m_app->window()))
        qWarning("The window never became active: shortcuts will not reach it.");
    m_app->applicationDidFinishLaunching(launchFile);
}

bool AppHarness::waitForPosters() const
{
    const auto *posters = m_app->findChild<PosterExtraction *>();
    return QTest::qWaitFor([posters] { return posters->isIdle(); }, 30000);
}

bool AppHarness::waitForOpen() const
{
    const auto *opening = m_app->findChild<OpenFlow *>();
    return QTest::qWaitFor([opening] { return !opening->isOpening(); }, 60000);
}

QString AppHarness::clippedControls() const
{
    const QWidget *area = m_app->window()->centralWidget();
    QList<const QWidget *> shown;
    for (const QWidget *widget : area->findChildren<QWidget *>()) {
        const bool control = qobject_cast<const QLabel *>(widget) || qobject_cast<const QAbstractButton *>(widget)
            || qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QComboBox *>(widget)
            || qobject_cast<const QListWidget *>(widget);
        if (control && widget->isVisibleTo(area))
            shown << widget;
    }
    const auto rect = [area](const QWidget *widget) { return QRect(widget->mapTo(area, QPoint()), widget->size()); };
    QStringList clipped;
    for (const QWidget *widget : shown) {
        const QSize needed = widget->minimumSizeHint().expandedTo(widget->minimumSize())
                                 .boundedTo(widget->maximumSize());
        const int height = widget->hasHeightForWidth() ? widget->heightForWidth(widget->width()) : needed.height();
        const bool overlaps = std::any_of(shown.cbegin(), shown.cend(), [&](const QWidget *other) {
            return other != widget && !other->isAncestorOf(widget) && !widget->isAncestorOf(other)
                && rect(widget).intersects(rect(other));
        });
        if (widget->width() < needed.width() || widget->height() < height || overlaps)
            clipped << widget->objectName();
    }
    return clipped.join(u' ');
}

bool AppHarness::startTrim(const QString &output)
{
    const QList<TrimRun *> before = trimRuns();
    m_app->savePanelFinished(output);
    return recordNewRun(before);
}

bool AppHarness::startTrimThroughDialog(const QString &typed, QString *proposed)
{
    const QList<TrimRun *> before = trimRuns();
    find<QAction>(QStringLiteral("trimVideoBTN"))->trigger();
    auto *dialog = m_app->window()->findChild<QFileDialog *>();
    if (!dialog || dialog->windowModality() != Qt::WindowModal)
        return false;
    *proposed = dialog->selectedFiles().value(0);
    if (!typed.isEmpty())
        dialog->selectFile(typed);
    static_cast<QDialog *>(dialog)->accept();
    // Replacing a file is the app's own question, answered as a person who means it.
    if (QMessageBox *question = lastAlert(); question && question->text().endsWith(QStringLiteral("replace it?"))) {
        // Enter must never replace a file: No is the default.
        const bool noByDefault = question->defaultButton() == question->button(QMessageBox::No);
        m_replaceQuestion = noByDefault ? question->text() : QStringLiteral("Yes by default");
        question->button(QMessageBox::Yes)->click();
    }
    return recordNewRun(before);
}

// The app's own runs: an exact cut holds encoder runs of its own.
QList<TrimRun *> AppHarness::trimRuns() const
{
    return m_app->findChild<TrimFlow *>()->findChildren<TrimRun *>(Qt::FindDirectChildrenOnly);
}

// An ended run may still await its deletion beside the new one.
bool AppHarness::recordNewRun(const QList<TrimRun *> &before)
{
    const QList<TrimRun *> runs = trimRuns();
    if (runs.isEmpty() || before.contains(runs.last()))
        return false;
    // The encoder's last command, once it has ended: a copy extracts its subtitles first.
    TrimRun *run = runs.last();
    m_arguments.clear();
    QObject::connect(run, &TrimRun::finished, run, [this, run] {
        const auto *encoder = qobject_cast<EncoderRun *>(run) ? qobject_cast<EncoderRun *>(run)
                                                               : run->findChild<EncoderRun *>();
        m_arguments = encoder && encoder->process() ? encoder->process()->arguments() : QStringList();
    });
    return true;
}

bool AppHarness::startAndAwaitProgress(const QString &output)
{
    if (!startTrim(output))
        return false;
    QSignalSpy progress(trimRuns().last(), &TrimRun::progressChanged);
    return progress.wait(120000) && m_app->isTrimming();
}

QList<QMessageBox *> AppHarness::alerts() const
{
    QList<QMessageBox *> boxes;
    for (const QList<QVariant> &signal : m_alerts)
        boxes << signal.first().value<QMessageBox *>();
    return boxes;
}

QString AppTest::resourceFolder(const QString &encoder, const QString &folder)
{
    const QDir tools(MediaFactory::toolsFolder());
    if (encoder.isEmpty())
        return tools.path();
    QFile::link(tools.filePath(ToolLocator::sniffer), QDir(folder).filePath(ToolLocator::sniffer));
    if (encoder == QLatin1String("missing"))
        return folder;
    const QByteArray trimCommand = encoder == QLatin1String("paced")
        ? quoted(tools.filePath(ToolLocator::creator)) + " -re"
        : quoted(QDir(MediaFactory::fakeToolsFolder(encoder)).filePath(ToolLocator::creator));
    const QString dispatcher = QDir(folder).filePath(ToolLocator::creator);
    const QByteArray creator = quoted(tools.filePath(ToolLocator::creator));
    TestFiles::write(dispatcher, "#!/bin/sh\ncase \" $* \" in *\" -frames:v \"*) exec " + creator
                                     + " \"$@\" ;; esac\nexec " + trimCommand + " \"$@\"\n");
    QFile::setPermissions(dispatcher, QFile::permissions(dispatcher) | QFileDevice::ExeOwner);
    return folder;
}

QString AppTest::leftBehind(const QString &folder)
{
    QStringList found = QDir(folder).entryList({QStringLiteral("*kestrel-partial*")}, QDir::AllEntries | QDir::Hidden);
    for (const qint64 pid : ChildProcesses::running())
        found << QStringLiteral("running child %1").arg(pid);
    for (const qint64 pid : ChildProcesses::zombies())
        found << QStringLiteral("unreaped child %1").arg(pid);
    return found.join(QStringLiteral(", "));
}

AppTest::Media AppTest::describe(const QString &path)
{
    const auto probe = FileProbe::create(path, ToolLocator(MediaFactory::toolsFolder()));
    QStringList tracks;
    for (const MediaTrack &track : probe->mediaTracks()) {
        if (track.kind != MediaTrack::Kind::Data) {
            const bool audio = track.kind == MediaTrack::Kind::Audio;
            tracks << (audio ? QStringLiteral("a%1:").arg(track.channels) : QStringLiteral("s:")) + track.language;
        }
    }
    return {probe->isValidMediaFile() && probe->hasVideoTrack() && probe->duration() > 0, probe->duration(),
            probe->videoDuration().value_or(probe->duration()), tracks.join(QLatin1Char(' '))};
}

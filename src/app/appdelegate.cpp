// SPDX-License-Identifier: GPL-3.0-or-later
#include "appdelegate.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include "alertsheets.h"
#include "decodedgroup.h"
#include "decimaltext.h"
#include "diagnosticlog.h"
#include "exactcutnote.h"
#include "fileprobe.h"
#include "imagedropview.h"
#include "helpwindow.h"
#include "keyboardshortcuts.h"
#include "keyframeguide.h"
#include "openflow.h"
#include "overviewguide.h"
#include "playback.h"
#include "progresssheet.h"
#include "rangeslider.h"
#include "sliderzoom.h"
#include "timeentry.h"
#include "timefield.h"
#include "timetext.h"
#include "ui_mainwindow.h"

namespace {

const QString supportEmail = QStringLiteral(KESTREL_SUPPORT_EMAIL);
using Knob = Selection::Knob;
using Step = Selection::Step;

// The app's own drawings, not the icon theme's: the first lookup in a theme
// parses its index, which on an X11 desktop held the window back by several
// milliseconds, and a theme with only some of the three made a mixed toolbar.
QIcon bundledIcon(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/icons/%1.svg").arg(name));
}

// The caption and the copy-start line come and go without moving the controls below.
void keepPlaceWhenHidden(QWidget *widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace

void AppDelegate::prepareApplication()
{
    QApplication::setApplicationDisplayName(tr("Kestrel"));
    QApplication::setDesktopFileName(QStringLiteral(KESTREL_APP_ID));
    // The same drawing the desktop entry names, without asking the icon theme.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kestrel.svg")));
}

AppDelegate::AppDelegate(const QString &resourceFolder, const QString &temporaryBaseFolder,
                         QObject *parent)
    : QObject(parent)
    , m_tools(resourceFolder)
    , m_temporaryDirectory(temporaryBaseFolder)
    , m_window(std::make_unique<QMainWindow>())
    , m_ui(std::make_unique<Ui::MainWindow>())
    , m_selection(new Selection(this))
{
    m_ui->setupUi(m_window.get());
    progressWindow = new ProgressSheet(m_window.get());
    setUpControls();
    m_alerts = new AlertSheets(m_window.get(), this);
    m_opening = new OpenFlow(m_tools, m_alerts, this);
    m_trimFlow = new TrimFlow(m_tools, m_temporaryDirectory, *m_selection, m_alerts,
                              {m_window.get(), progressWindow, forceEncodeCBX, m_ui->exactCutCBX, m_ui->trackList,
                               m_ui->keepAudioCBX},
                              this);
    // The poster folder is made with the temporary one, once a file is opened.
    m_posters = new PosterExtraction(m_tools, QString(), this);
    m_keyframes = new KeyframeGuide(m_tools, m_selection, &m_opening->cache(),
                                    {myRangeSlider, m_ui->copyStartLabel, m_ui->startAtPreviousKeyframeAction,
                                     m_ui->startAtNextKeyframeAction},
                                    this);
    setUpPlayback();
    m_ui->overviewStrip->setSlider(myRangeSlider);
    setUpZoom();
    m_overview = new OverviewGuide(m_tools, &m_opening->cache(), m_ui->overviewStrip, this);
    new TimeEntry(m_selection, {startTimeTF, endTimeTF, outputDurationTF}, this);
    for (TimeField *field : {startTimeTF, endTimeTF, outputDurationTF})
        field->setFocusFallback(myRangeSlider);
    m_window->installEventFilter(this);
    connectActions();
}

// A menu of its own between Playback and Help, and a scroll bar under the slider, shown only while zoomed.
void AppDelegate::setUpZoom()
{
    auto *scrollBar = new QScrollBar(Qt::Horizontal, m_ui->centralWidget);
    scrollBar->setObjectName(QStringLiteral("zoomScrollBar"));
    m_ui->mainLayout->insertWidget(m_ui->mainLayout->indexOf(myRangeSlider) + 1, scrollBar);
    auto *menu = new QMenu(tr("&View"), m_window.get());
    menu->setObjectName(QStringLiteral("viewMenu"));
    m_ui->menuBar->insertMenu(m_ui->helpMenu->menuAction(), menu);
    const auto playhead = [this] { return m_playback->playhead(); };
    m_zoom = new SliderZoom(myRangeSlider, scrollBar, menu, playhead, this);
}

// The player comes only with the first Play or step; until then these only wait.
void AppDelegate::setUpPlayback()
{
    m_playback = new Playback(m_selection,
                              {m_ui->videoArea, myRangeSlider, m_ui->playPauseAction, m_ui->playSelectionAction, m_ui->frameBackAction,
                               m_ui->frameForwardAction, m_ui->secondBackAction, m_ui->secondForwardAction,
                               m_ui->setStartAtPlayheadAction, m_ui->setEndAtPlayheadAction, m_ui->playheadTF},
                              m_tools, m_temporaryDirectory, QString(), this);
    const std::pair<QToolButton *, QAction *> buttons[] = {
        {m_ui->frameBackButton, m_ui->frameBackAction},       {m_ui->playPauseButton, m_ui->playPauseAction},
        {m_ui->frameForwardButton, m_ui->frameForwardAction}, {m_ui->playSelectionButton, m_ui->playSelectionAction},
        {m_ui->setStartButton, m_ui->setStartAtPlayheadAction}, {m_ui->setEndButton, m_ui->setEndAtPlayheadAction}};
    for (const auto &[button, action] : buttons) {
        button->setDefaultAction(action);
        // The shortcut in the tooltip, as the menu shows it.
        action->setToolTip(tr("%1 (%2)").arg(action->text(), action->shortcut().toString(QKeySequence::NativeText)));
    }
    connect(m_playback, &Playback::playheadChanged, this, [this](double seconds) {
        myRangeSlider->setAccessibleDescription(tr("From %1 to %2, playhead at %3")
                                                    .arg(timeTextFromSeconds(m_selection->startSeconds()),
                                                         timeTextFromSeconds(m_selection->endSeconds()),
                                                         timeTextFromSeconds(seconds)));
    });
}

AppDelegate::~AppDelegate()
{
    // The encoder run stops its process and removes its partial output.
    m_trimFlow->stop();
}

QMainWindow *AppDelegate::window() const
{
    return m_window.get();
}

void AppDelegate::setUpControls()
{
    myRangeSlider = m_ui->myRangeSlider;
    posterView = m_ui->posterView;
    trimVideoBTN = m_ui->trimVideoBTN;
    startTimeTF = m_ui->startTimeTF;
    endTimeTF = m_ui->endTimeTF;
    outputDurationTF = m_ui->outputDurationTF;
    inputDurationTF = m_ui->inputDurationTF;
    leftSecondDownBTN = m_ui->leftSecondDownBTN;
    leftFrameDownBTN = m_ui->leftFrameDownBTN;
    leftFrameUpBTN = m_ui->leftFrameUpBTN;
    leftSecondUpBTN = m_ui->leftSecondUpBTN;
    rightSecondDownBTN = m_ui->rightSecondDownBTN;
    rightFrameDownBTN = m_ui->rightFrameDownBTN;
    rightFrameUpBTN = m_ui->rightFrameUpBTN;
    rightSecondUpBTN = m_ui->rightSecondUpBTN;
    forceEncodeCBX = m_ui->forceEncodeCBX;
    presetDurationPOPUP = m_ui->presetDurationPOPUP;
    posterCaptionLabel = m_ui->posterCaptionLabel;
    keepPlaceWhenHidden(posterCaptionLabel);
    keepPlaceWhenHidden(m_ui->copyStartLabel);
    // A click on a button takes the keyboard from a time field, which would otherwise keep the player's keys.
    for (QToolButton *button : m_ui->centralWidget->findChildren<QToolButton *>())
        button->setFocusPolicy(Qt::StrongFocus);
    // The window's smallest size counts a wrapping label as one line; the longest of these takes two there.
    for (QLabel *label : {m_ui->copyStartLabel, m_ui->exactCutNoteLabel})
        label->setMinimumHeight(2 * label->fontMetrics().lineSpacing());

    m_ui->openMenuBTN->setShortcut(QKeySequence::Open);
    m_ui->saveMenuBTN->setShortcut(QKeySequence::Save);
    // Some platforms bind no key to quitting; Ctrl+Q is what people try.
    const QKeySequence quit(QKeySequence::Quit);
    m_ui->quitMenuBTN->setShortcut(quit.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : quit);
    m_ui->helpBTN->setShortcut(QKeySequence::HelpContents);
    m_ui->openToolBarBTN->setIcon(bundledIcon(QStringLiteral("document-open")));
    m_ui->trimVideoBTN->setIcon(bundledIcon(QStringLiteral("edit-cut")));
    m_ui->helpBTN->setIcon(bundledIcon(QStringLiteral("help-about")));
    posterView->setPlaceholderText(tr("Drop a video here, or choose File \u2192 Open\u2026"));
    presetDurationPOPUP->setPlaceholderText(tr("Custom"));
}

void AppDelegate::connectActions()
{
    connect(m_ui->openMenuBTN, &QAction::triggered, this, &AppDelegate::openMenuBTNClicked);
    connect(m_ui->openToolBarBTN, &QAction::triggered, this, &AppDelegate::openToolBarBTNClicked);
    connect(m_ui->saveMenuBTN, &QAction::triggered, this, &AppDelegate::saveMenuBTNClicked);
    connect(trimVideoBTN, &QAction::triggered, this, &AppDelegate::trimVideoBTNClicked);
    connect(m_ui->helpBTN, &QAction::triggered, this, &AppDelegate::helpBTNClickedWithSender);
    QAction *shortcuts = m_ui->helpMenu->addAction(tr("Keyboard Shortcuts"));
    shortcuts->setObjectName(QStringLiteral("keyboardShortcutsAction"));
    connect(shortcuts, &QAction::triggered, this, [this] { KeyboardShortcuts::show(m_alerts); });
    connect(m_ui->quitMenuBTN, &QAction::triggered, m_window.get(), &QWidget::close);
    // The sheet blocks the window's own shortcuts while a trim runs; quitting must still ask.
    progressWindow->addAction(m_ui->quitMenuBTN);

    connectNudgeMenu();
    connect(leftSecondDownBTN, &QToolButton::clicked, this, &AppDelegate::leftSecondDownBTNClicked);
    connect(leftFrameDownBTN, &QToolButton::clicked, this, &AppDelegate::leftFrameDownBTNClicked);
    connect(leftFrameUpBTN, &QToolButton::clicked, this, &AppDelegate::leftFrameUpBTNClicked);
    connect(leftSecondUpBTN, &QToolButton::clicked, this, &AppDelegate::leftSecondUpBTNClicked);
    connect(rightSecondDownBTN, &QToolButton::clicked, this, &AppDelegate::rightSecondDownBTNClicked);
    connect(rightFrameDownBTN, &QToolButton::clicked, this, &AppDelegate::rightFrameDownBTNClicked);
    connect(rightFrameUpBTN, &QToolButton::clicked, this, &AppDelegate::rightFrameUpBTNClicked);
    connect(rightSecondUpBTN, &QToolButton::clicked, this, &AppDelegate::rightSecondUpBTNClicked);
    // Only the user's choice counts; filling the pop-up must not move the selection.
    connect(presetDurationPOPUP, &QComboBox::activated, this, &AppDelegate::presetDurationPOPUPChanged);
    connect(m_selection, &Selection::knobSet, this, &AppDelegate::showKnob);
    connect(m_posters, &PosterExtraction::extracted, this,
            [this](double, PosterExtraction::Accuracy accuracy, bool shown) { showPosterFrame(accuracy, shown); });
    connect(myRangeSlider, &RangeSlider::keyboardNudge, this, &AppDelegate::nudgeFromKeyboard);
    // While a knob is dragged, nearest keyframes stand in; on release the knobs settle on frames, which
    // shows the exact frame, or it is asked for here.
    connect(myRangeSlider, &RangeSlider::dragFinished, this, [this] {
        const bool start = myRangeSlider->currentSliderDragging() == DraggedSlider::start;
        if (!m_selection->settle(start ? Knob::Start : Knob::End))
            requestPosterFrame(PosterExtraction::Accuracy::Exact);
    });

    connect(m_alerts, &AlertSheets::shown, this, &AppDelegate::alertShown);
    connect(m_opening, &OpenFlow::opened, this, &AppDelegate::videoOpened);
    connect(m_trimFlow, &TrimFlow::optionsChanged, this, [this] {
        m_keyframes->setStreamCopy(m_trimFlow->isCopyingStream());
        const bool exact = m_globalFP && m_ui->exactCutCBX->isChecked();
        m_keyframes->setExactCut(exact);
        m_ui->exactCutNoteLabel->setText(exact ? ExactCutNote::of(*m_globalFP) : QString());
        m_ui->exactCutNoteLabel->setVisible(!m_ui->exactCutNoteLabel->text().isEmpty());
    });
    connect(m_trimFlow, &TrimFlow::sheetShown, this, &AppDelegate::setWindowHeldBySheet);
    // A trim that starts pauses the playback, and the overview's runs until it ends.
    connect(m_trimFlow, &TrimFlow::sheetShown, m_playback, &Playback::pause);
    connect(m_trimFlow, &TrimFlow::sheetShown, this, [this](bool shown) {
        if (shown)
            m_overview->pause();
        else
            m_overview->resume();
    });
    connect(m_trimFlow, &TrimFlow::finished, this, &AppDelegate::trimFinished);
}

// The Selection menu repeats the eight nudge buttons with shortcuts; an
// item does what a click on its button does, and nothing while it is disabled.
QList<std::pair<QAction *, QToolButton *>> AppDelegate::nudgeMenuItems() const
{
    return {{m_ui->startSecondEarlierAction, leftSecondDownBTN}, {m_ui->startFrameEarlierAction, leftFrameDownBTN},
            {m_ui->startFrameLaterAction, leftFrameUpBTN},       {m_ui->startSecondLaterAction, leftSecondUpBTN},
            {m_ui->endSecondEarlierAction, rightSecondDownBTN},  {m_ui->endFrameEarlierAction, rightFrameDownBTN},
            {m_ui->endFrameLaterAction, rightFrameUpBTN},        {m_ui->endSecondLaterAction, rightSecondUpBTN}};
}

void AppDelegate::connectNudgeMenu()
{
    const QList<QKeySequence> shortcuts = {
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Left), QKeySequence(Qt::CTRL | Qt::Key_Left),
        QKeySequence(Qt::CTRL | Qt::Key_Right),             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Right),
        QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Left),  QKeySequence(Qt::ALT | Qt::Key_Left),
        QKeySequence(Qt::ALT | Qt::Key_Right),              QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Right)};
    const auto items = nudgeMenuItems();
    for (qsizetype i = 0; i < items.size(); ++i) {
        QAction *action = items.at(i).first;
        QToolButton *button = items.at(i).second;
        action->setShortcut(shortcuts.at(i));
        connect(action, &QAction::triggered, button, &QToolButton::click);
    }
}

// The slider's arrow keys take the nudge buttons' own path.
void AppDelegate::nudgeFromKeyboard(DraggedSlider knob, int steps, bool bySecond)
{
    const bool start = knob == DraggedSlider::start;
    QToolButton *const buttons[2][2][2] = {
        {{rightFrameDownBTN, rightSecondDownBTN}, {rightFrameUpBTN, rightSecondUpBTN}},
        {{leftFrameDownBTN, leftSecondDownBTN}, {leftFrameUpBTN, leftSecondUpBTN}}};
    buttons[start][steps > 0][bySecond]->click();
}

// Launch and shutdown ------------------------------------------------------

void AppDelegate::applicationDidFinishLaunching(const QString &file)
{
    connect(posterView, &ImageDropView::fileAddedByDragAndDrop,
            this, &AppDelegate::fileAddedByDragAndDropWithNotification);
    disableEditingControls();
    connect(myRangeSlider, &RangeSlider::onControlChanged, this, &AppDelegate::rangeSliderChanged);
    // After the window has shown, as a file chosen in the Open dialog would be.
    if (!file.isEmpty())
        QTimer::singleShot(0, this, [this, file] { openVideo(QUrl::fromLocalFile(file)); });
}

void AppDelegate::applicationWillTerminate()
{
    m_opening->cancel();
    m_playback->setVideo(QString());
    dropPosterFrame();
    m_keyframes->stop();
    m_overview->stop();
    m_trimFlow->stop();
    clearTemporaryDirectory();
}

// Control states -----------------------------------------------------------

// The typed times go with the nudges: both move the knobs.
void AppDelegate::setNudgeButtonsEnabled(bool enabled)
{
    // Without a video they take no focus, which would hold the player's letter keys.
    for (TimeField *field : {startTimeTF, endTimeTF, outputDurationTF}) {
        field->setReadOnly(!enabled);
        field->setFocusPolicy(enabled ? Qt::StrongFocus : Qt::NoFocus);
    }
    for (QToolButton *button : {leftSecondDownBTN, leftFrameDownBTN, leftFrameUpBTN, leftSecondUpBTN,
                                rightSecondDownBTN, rightFrameDownBTN, rightFrameUpBTN, rightSecondUpBTN})
        button->setEnabled(enabled);
    for (const auto &[action, button] : nudgeMenuItems())
        action->setEnabled(enabled);
}

void AppDelegate::disableEditingControls()
{
    trimVideoBTN->setEnabled(false);
    myRangeSlider->setAllowClicksOnBarToMoveSliders(false);
    myRangeSlider->setEnabled(false);
    m_trimFlow->setInput(nullptr);
    presetDurationPOPUP->setEnabled(false);
    setNudgeButtonsEnabled(false);
    m_window->setWindowFilePath(QString());
    m_playback->setVideo(QString());
    m_keyframes->stop();
    m_overview->stop();
    m_zoom->setVideo({});
    clearTemporaryDirectory();
}

void AppDelegate::enableEditingControls()
{
    trimVideoBTN->setEnabled(true);
    myRangeSlider->setEnabled(true);
    m_trimFlow->setInput(m_globalFP);
    presetDurationPOPUP->setEnabled(true);
    setNudgeButtonsEnabled(true);
    clearTemporaryDirectory();
    const QString posterFile = posterFrameFilePath();
    if (posterFile.isEmpty())
        return;
    const QString posterFolder = QFileInfo(posterFile).path();
    QDir().mkdir(posterFolder);
    m_posters->setFolder(posterFolder);
}

QString AppDelegate::posterFrameFilePath() const
{
    return m_temporaryDirectory.isValid() ? m_temporaryDirectory.path() + QStringLiteral("Poster/out.jpg")
                                          : QString();
}

void AppDelegate::clearTemporaryDirectory()
{
    m_temporaryDirectory.clear();
}

void AppDelegate::helpBTNClickedWithSender()
{
    // One window, brought forward when asked for again.
    if (!m_help)
        m_help = new HelpWindow(supportEmail, m_window.get());
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

// Opening ------------------------------------------------------------------

void AppDelegate::openMenuBTNClicked()
{
    showOpenPanel();
}

void AppDelegate::openToolBarBTNClicked()
{
    showOpenPanel();
}

void AppDelegate::fileAddedByDragAndDropWithNotification(const QVariantMap &userInfo)
{
    openVideo(userInfo.value(ImageDropView::userInfoKey).toUrl());
}

void AppDelegate::showOpenPanel()
{
    auto *panel = new QFileDialog(m_window.get(), tr("Open Video"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setFileMode(QFileDialog::ExistingFile);
    // The containers the app knows; .vob is refused, so not offered.
    panel->setNameFilters({tr("Videos (*.mp4 *.m4v *.mov *.mkv *.webm *.avi *.ts *.mts *.m2ts *.mpg *.mpeg *.flv "
                              "*.asf *.wmv *.3gp)"),
                           tr("All files (*)")});
    panel->setWindowModality(Qt::WindowModal);
    connect(panel, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (!path.isEmpty())
            openVideo(QUrl::fromLocalFile(path));
    });
    panel->open();
}

// The open video stays as it is until the new one is accepted: a refused file
// must not cost the work done on it. Only a trim, which would report on
// whichever video is open when it starts, waits for the answer.
void AppDelegate::openVideo(const QUrl &url)
{
    // The running trim reports on the open video; a new one waits for it.
    if (isTrimming())
        return;
    const QString path = url.toLocalFile();
    posterView->setBusyText(tr("Opening %1\u2026").arg(QFileInfo(path).fileName()));
    trimVideoBTN->setEnabled(false);
    m_opening->open(path);
}

void AppDelegate::videoOpened(std::shared_ptr<const FileProbe> probe, bool accepted)
{
    posterView->setBusyText(QString());
    if (!accepted) {
        trimVideoBTN->setEnabled(m_globalFP != nullptr);
        return;
    }
    dropPosterFrame();
    disableEditingControls();
    m_globalFP = std::move(probe);
    const QString path = m_globalFP->fileFullPath().value_or(QString());
    const Timeline timeline = Timeline::of(*m_globalFP, &m_keyframes->scan().packets());
    m_selection->setInput(m_globalFP->duration(), timeline);
    enableEditingControls();
    m_posters->setTimeline(timeline);
    m_window->setWindowFilePath(path);
    fillPresetDurationPopup();
    // The start's frame stays in view, so it is extracted first; the end's is
    // fetched after it, for when the end knob is looked at.
    m_showsKnobFrames = false;
    m_selection->selectCentred();
    m_showsKnobFrames = true;
    updateTimeFields();
    requestPosterFrame(PosterExtraction::Accuracy::Exact);
    m_posters->prefetch(path, endFrameSeconds());
    m_keyframes->start(path);
    m_overview->start(m_globalFP);
    m_zoom->setVideo({m_selection->duration(), 1.0 / timeline.frameRate()});
    m_playback->setVideo(path, timeline, DecodedGroup::colourMatrix(*m_globalFP));
    m_playback->followKnob(posterSeconds());
}

// A preset shows only while the selection lasts it; any other length is "Custom".
void AppDelegate::showPreset()
{
    presetDurationPOPUP->setCurrentIndex(static_cast<int>(m_selection->presetIndex().value_or(-1)));
}

void AppDelegate::fillPresetDurationPopup()
{
    presetDurationPOPUP->clear();
    const qsizetype fitting = m_selection->fittingPresetCount();
    presetDurationPOPUP->addItems(presetDurationTitles.first(fitting));
    showPreset();
    // An empty pop-up offers nothing to choose.
    presetDurationPOPUP->setEnabled(fitting > 0);
}

// Selection ----------------------------------------------------------------

// The slider shows the selection; it tells back only what changed.
void AppDelegate::showKnob(Selection::Knob knob)
{
    if (knob == Knob::Start)
        myRangeSlider->setStart(m_selection->startFraction());
    else
        myRangeSlider->setEnd(m_selection->endFraction());
}

void AppDelegate::rangeSliderChanged(RangeSlider *slider)
{
    const bool start = slider->currentSliderDragging() == DraggedSlider::start;
    // A drag moves the knobs before the selection knows; from a move of its own it learns nothing new.
    m_selection->follow(slider->start(), slider->end(), start ? Knob::Start : Knob::End);
    DiagnosticLog::print(QStringLiteral("Big slider start:") + decimalText(slider->start())
                         + QStringLiteral(" end:") + decimalText(slider->end()));
    DiagnosticLog::print(start ? QStringLiteral("left") : QStringLiteral("right"));
    refreshForSelection();
}

void AppDelegate::refreshForSelection()
{
    updateTimeFields();
    if (!m_showsKnobFrames)
        return;
    requestPosterFrame(myRangeSlider->isDragging() ? PosterExtraction::Accuracy::Keyframe
                                                   : PosterExtraction::Accuracy::Exact);
    m_playback->followKnob(posterSeconds());
}

void AppDelegate::updateTimeFields()
{
    showPreset();
    const QString input = timeTextFromSeconds(m_selection->duration());
    const QString start = timeTextFromSeconds(m_selection->startSeconds());
    const QString end = timeTextFromSeconds(m_selection->endSeconds());
    const QString output = timeTextFromSeconds(m_selection->outputDuration());
    inputDurationTF->setText(tr("Input Duration: ") + input);
    startTimeTF->showTime(tr("Start Time: "), start);
    endTimeTF->showTime(tr("End Time: "), end);
    outputDurationTF->showTime(tr("Output Duration: "), output);
    // A label's accessible name stands in for its text: it must carry the value too.
    inputDurationTF->setAccessibleName(tr("Input duration %1").arg(input));
    myRangeSlider->setAccessibleDescription(tr("From %1 to %2").arg(start, end));
}

// The frame at the knob that moved last, extracted in the background.
void AppDelegate::requestPosterFrame(PosterExtraction::Accuracy accuracy)
{
    if (m_globalFP && !posterFrameFilePath().isEmpty())
        m_posters->request(m_globalFP->fileFullPath().value_or(QString()), posterSeconds(), accuracy);
}

double AppDelegate::posterSeconds() const
{
    const bool start = myRangeSlider->currentSliderDragging() == DraggedSlider::start;
    return start || !m_globalFP ? m_selection->startSeconds() : endFrameSeconds();
}

// The end knob shows the last frame the selection holds, which exists even at the video's end.
double AppDelegate::endFrameSeconds() const
{
    return m_selection->endFrameSeconds();
}

void AppDelegate::showPosterFrame(PosterExtraction::Accuracy accuracy, bool shown)
{
    if (!shown)
        return;
    posterView->setImage(QImage(posterFrameFilePath()));
    const bool nearest = accuracy == PosterExtraction::Accuracy::Keyframe;
    posterCaptionLabel->setVisible(nearest);
    posterView->setAccessibleDescription(nearest ? posterCaptionLabel->text() : QString());
}

// Opening another file or quitting: no frame of this file may show up later.
void AppDelegate::dropPosterFrame()
{
    m_posters->reset();
    posterView->setImage(QImage());
    posterCaptionLabel->hide();
    posterView->setAccessibleDescription(QString());
}

void AppDelegate::leftSecondDownBTNClicked()
{
    m_selection->nudge(Knob::Start, Step::Second, -1);
}

void AppDelegate::leftFrameDownBTNClicked()
{
    m_selection->nudge(Knob::Start, Step::Frame, -1);
}

void AppDelegate::leftFrameUpBTNClicked()
{
    m_selection->nudge(Knob::Start, Step::Frame, 1);
}

void AppDelegate::leftSecondUpBTNClicked()
{
    m_selection->nudge(Knob::Start, Step::Second, 1);
}

void AppDelegate::rightSecondDownBTNClicked()
{
    m_selection->nudge(Knob::End, Step::Second, -1);
}

void AppDelegate::rightFrameDownBTNClicked()
{
    m_selection->nudge(Knob::End, Step::Frame, -1);
}

void AppDelegate::rightFrameUpBTNClicked()
{
    m_selection->nudge(Knob::End, Step::Frame, 1);
}

void AppDelegate::rightSecondUpBTNClicked()
{
    m_selection->nudge(Knob::End, Step::Second, 1);
}

void AppDelegate::presetDurationPOPUPChanged(int index)
{
    m_selection->choosePreset(index);
}

// Trimming -----------------------------------------------------------------

void AppDelegate::saveMenuBTNClicked()
{
    trimVideoBTNClicked();
}

void AppDelegate::trimVideoBTNClicked()
{
    if (m_opening->isOpening())
        return;
    m_trimFlow->showSavePanel();
}

void AppDelegate::closeBTNInsideProgressWindowClicked()
{
    m_trimFlow->cancel();
}

// What a modal sheet would block, but for quitting, which asks first.
void AppDelegate::setWindowHeldBySheet(bool held)
{
    m_ui->centralWidget->setEnabled(!held);
    m_ui->mainToolBar->setEnabled(!held);
    m_ui->selectionMenu->setEnabled(!held);
    m_ui->playbackMenu->setEnabled(!held);
    m_ui->helpMenu->setEnabled(!held);
    for (QAction *action : {m_ui->openMenuBTN, m_ui->saveMenuBTN, m_ui->helpBTN})
        action->setEnabled(!held);
}

// Quitting -----------------------------------------------------------------

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Close && !m_trimFlow->confirmQuit()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

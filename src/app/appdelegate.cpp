// SPDX-License-Identifier: GPL-3.0-or-later
#include "appdelegate.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QJsonObject>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "containersuffix.h"
#include "decimaltext.h"
#include "diagnosticlog.h"
#include "fileprobe.h"
#include "filerevealer.h"
#include "framerate.h"
#include "imagedropview.h"
#include "json.h"
#include "keyframeguide.h"
#include "progresssheet.h"
#include "rangeslider.h"
#include "samefile.h"
#include "timetext.h"
#include "trimcommand.h"
#include "trimparameters.h"
#include "ui_mainwindow.h"

namespace {

const QString supportEmail = QStringLiteral(KESTREL_SUPPORT_EMAIL);
const QString leftKnob = QStringLiteral("left");
const QString rightKnob = QStringLiteral("right");

QString withAllowedSuffix(const QString &path, const QString &type)
{
    if (type.isEmpty() || QFileInfo(path).suffix().compare(type, Qt::CaseInsensitive) == 0)
        return path;
    return path + QLatin1Char('.') + type;
}

const QString videoTrack = QStringLiteral("Video");

// A video track that says it holds one frame is a picture.
bool isSingleFrame(const FileProbe &probe)
{
    const QList<JSON> videos = probe.trackDictionaries(videoTrack);
    return std::any_of(videos.cbegin(), videos.cend(), [](const JSON &stream) {
        return stream[QStringLiteral("nb_frames")] == JSON(QStringLiteral("1"));
    });
}

// The app's own drawings, not the icon theme's: the first lookup in a theme
// parses its index, which on an X11 desktop held the window back by several
// milliseconds, and a theme with only some of the three made a mixed toolbar.
QIcon bundledIcon(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/icons/%1.svg").arg(name));
}

} // namespace

const QList<double> AppDelegate::presetSecondsDurationArray = {
    10, 15, 30, 45, 60, 120, 300, 600, 900, 1800, 2700, 3600};

const QStringList AppDelegate::presetDurationTitles = {
    QStringLiteral("10 sec"), QStringLiteral("15 sec"), QStringLiteral("30 sec"),
    QStringLiteral("45 sec"), QStringLiteral("1 min"),  QStringLiteral("2 min"),
    QStringLiteral("5 min"),  QStringLiteral("10 min"), QStringLiteral("15 min"),
    QStringLiteral("30 min"), QStringLiteral("45 min"), QStringLiteral("1 hr")};

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
{
    m_ui->setupUi(m_window.get());
    progressWindow = new ProgressSheet(m_window.get());

    myRangeSlider = m_ui->myRangeSlider;
    posterView = m_ui->posterView;
    trimVideoBTN = m_ui->trimVideoBTN;
    progressTitle = progressWindow->title();
    progressBar = progressWindow->bar();
    progressCancel = progressWindow->cancelButton();
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
    exactCutCBX = m_ui->exactCutCBX;
    presetDurationPOPUP = m_ui->presetDurationPOPUP;
    posterCaptionLabel = m_ui->posterCaptionLabel;
    // The caption comes and goes without moving the controls below.
    QSizePolicy captionPolicy = posterCaptionLabel->sizePolicy();
    captionPolicy.setRetainSizeWhenHidden(true);
    posterCaptionLabel->setSizePolicy(captionPolicy);
    // The poster folder is made with the temporary one, once a file is opened.
    m_posters = new PosterExtraction(m_tools, QString(), this);
    m_keyframes = new KeyframeGuide(m_tools, {myRangeSlider, m_ui->copyStartLabel,
                                              m_ui->startAtPreviousKeyframeAction, m_ui->startAtNextKeyframeAction},
                                    this);
    QSizePolicy linePolicy = m_ui->copyStartLabel->sizePolicy();
    linePolicy.setRetainSizeWhenHidden(true);
    m_ui->copyStartLabel->setSizePolicy(linePolicy);

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

    m_window->installEventFilter(this);
    connectActions();
}

AppDelegate::~AppDelegate()
{
    // The encoder run stops its process and removes its partial output.
    delete m_globalProcess.data();
}

QMainWindow *AppDelegate::window() const
{
    return m_window.get();
}

bool AppDelegate::isTrimming() const
{
    return m_globalProcess && m_globalProcess->isRunning();
}

void AppDelegate::connectActions()
{
    connect(m_ui->openMenuBTN, &QAction::triggered, this, &AppDelegate::openMenuBTNClicked);
    connect(m_ui->openToolBarBTN, &QAction::triggered, this, &AppDelegate::openToolBarBTNClicked);
    connect(m_ui->saveMenuBTN, &QAction::triggered, this, &AppDelegate::saveMenuBTNClicked);
    connect(trimVideoBTN, &QAction::triggered, this, &AppDelegate::trimVideoBTNClicked);
    connect(m_ui->helpBTN, &QAction::triggered, this, &AppDelegate::helpBTNClickedWithSender);
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
    connect(progressWindow, &ProgressSheet::cancelRequested,
            this, &AppDelegate::closeBTNInsideProgressWindowClicked);
    connect(m_posters, &PosterExtraction::extracted, this,
            [this](double, PosterExtraction::Accuracy accuracy, bool shown) { showPosterFrame(accuracy, shown); });
    connect(myRangeSlider, &RangeSlider::keyboardNudge, this, &AppDelegate::nudgeFromKeyboard);
    connect(m_keyframes, &KeyframeGuide::startSnapRequested, this, &AppDelegate::moveStart);
    connect(forceEncodeCBX, &QCheckBox::toggled, this, [this] {
        offerExactCut();
        followSelectionWithKeyframes();
    });
    connect(exactCutCBX, &QCheckBox::toggled, this, &AppDelegate::followSelectionWithKeyframes);
    // While a knob is dragged, nearest keyframes stand in; the exact frame comes on release.
    connect(myRangeSlider, &RangeSlider::dragFinished, this,
            [this] { requestPosterFrame(PosterExtraction::Accuracy::Exact); });
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
    dropPosterFrame();
    m_keyframes->stop();
    if (m_globalProcess)
        delete m_globalProcess.data();
    clearTemporaryDirectory();
}

// Control states -----------------------------------------------------------

void AppDelegate::setNudgeButtonsEnabled(bool enabled)
{
    for (QToolButton *button : {leftSecondDownBTN, leftFrameDownBTN, leftFrameUpBTN, leftSecondUpBTN,
                                rightSecondDownBTN, rightFrameDownBTN, rightFrameUpBTN, rightSecondUpBTN})
        button->setEnabled(enabled);
    for (const auto &[action, button] : nudgeMenuItems())
        action->setEnabled(enabled);
}

void AppDelegate::disableEditingControls()
{
    trimVideoBTN->setEnabled(false);
    m_isProcessCancelledByUser = false;
    myRangeSlider->setAllowClicksOnBarToMoveSliders(false);
    myRangeSlider->setEnabled(false);
    forceEncodeCBX->setEnabled(false);
    forceEncodeCBX->setChecked(false);
    offerExactCut();
    presetDurationPOPUP->setEnabled(false);
    setNudgeButtonsEnabled(false);
    m_window->setWindowFilePath(QString());
    m_keyframes->stop();
    clearTemporaryDirectory();
}

void AppDelegate::enableEditingControls()
{
    trimVideoBTN->setEnabled(true);
    m_isProcessCancelledByUser = false;
    myRangeSlider->setEnabled(true);
    forceEncodeCBX->setEnabled(true);
    forceEncodeCBX->setChecked(false);
    exactCutCBX->setChecked(false);
    offerExactCut();
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

// Alerts -------------------------------------------------------------------

QMessageBox *AppDelegate::makeAlert(QMessageBox::Icon icon, const QString &message, const QString &informative,
                                    QMessageBox::StandardButtons buttons)
{
    auto *alert = new QMessageBox(icon, QApplication::applicationDisplayName(), message, buttons, m_window.get());
    alert->setInformativeText(informative);
    // Keeps a line such as "Output Duration: 0:01:07.480 (6.00 MB)" whole.
    alert->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 22em; }"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    return alert;
}

void AppDelegate::presentAlert(QMessageBox *alert)
{
    alert->open();
    emit alertShown(alert);
}

void AppDelegate::showAlert(QMessageBox::Icon icon, const QString &message, const QString &informative)
{
    presentAlert(makeAlert(icon, message, informative, QMessageBox::Ok));
}

void AppDelegate::helpBTNClickedWithSender()
{
    showAlert(QMessageBox::Information, tr("Questions?"), supportEmail);
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
    panel->setWindowModality(Qt::WindowModal);
    connect(panel, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (!path.isEmpty())
            openVideo(QUrl::fromLocalFile(path));
    });
    panel->open();
}

void AppDelegate::openVideo(const QUrl &url)
{
    // The running trim reports on the open video; a new one waits for it.
    if (isTrimming())
        return;
    dropPosterFrame();
    disableEditingControls();
    const QString path = url.toLocalFile();
    m_globalFP = FileProbe::create(path, m_tools);

    if (QFileInfo(path).suffix().toLower() == QLatin1String("vob")) {
        showAlert(QMessageBox::Warning, tr("Kestrel cannot open .VOB files."),
                  tr("Questions? : ") + supportEmail);
        return;
    }
    if (!isAcceptable(*m_globalFP)) {
        showAlert(QMessageBox::Warning,
                  tr("Seems to be an unsupported file.\nDoes the video play in a video player?"),
                  tr("Please try opening some other file or contact : ") + supportEmail);
        return;
    }

    readFrameRate(*m_globalFP);
    enableEditingControls();
    m_window->setWindowFilePath(path);
    fillPresetDurationPopup();

    // A new selection with the same fractions as the old one calls nothing
    // back, which would leave the previous video's times and poster in view.
    const int callbacksBefore = m_selectionCallbacks;
    selectCentredPresetRange();
    if (m_selectionCallbacks == callbacksBefore)
        refreshForSelection();
    m_keyframes->start(path, inputDuration(), startSeconds(), endSeconds());
}

bool AppDelegate::isAcceptable(const FileProbe &probe) const
{
    const std::optional<qint64> width = probe.videoWidth();
    // A still image has no length to cut, whatever its name says.
    return probe.isValidMediaFile() && !probe.hasErrors() && !probe.isEncrypted()
        && probe.hasVideoTrack() && (!width || *width != 0) && probe.duration() > 0 && !isSingleFrame(probe);
}

void AppDelegate::readFrameRate(const FileProbe &probe)
{
    for (const JSON &stream : probe.trackDictionaries(videoTrack)) {
        const JSON ratio = stream[QStringLiteral("r_frame_rate")];
        if (!ratio.exists())
            continue;
        // The last video track with a readable rate wins.
        if (const std::optional<double> rate = frameRateFromRatio(ratio.stringValue()))
            m_fps = *rate;
    }
}

void AppDelegate::fillPresetDurationPopup()
{
    presetDurationPOPUP->clear();
    const double duration = inputDuration();
    const auto shorter = std::count_if(presetSecondsDurationArray.cbegin(), presetSecondsDurationArray.cend(),
                                       [duration](double preset) { return preset < duration; });
    presetDurationPOPUP->addItems(presetDurationTitles.first(shorter));
    presetDurationPOPUP->setCurrentIndex(static_cast<int>(shorter) - 1);
    // An empty pop-up offers nothing to choose.
    presetDurationPOPUP->setEnabled(shorter > 0);
}

void AppDelegate::selectCentredPresetRange()
{
    const double duration = inputDuration();
    const int index = presetDurationPOPUP->currentIndex();
    // No preset is shorter than the input: the whole input is the selection.
    if (index < 0) {
        myRangeSlider->setEnd(1.0);
        myRangeSlider->setStart(0.0);
        return;
    }
    const double preset = presetSecondsDurationArray.at(index);
    myRangeSlider->setEnd((preset + (duration - preset) * 0.5) / duration);
    myRangeSlider->setStart(((duration - preset) * 0.5) / duration);
}

// Selection ----------------------------------------------------------------

double AppDelegate::inputDuration() const
{
    return m_globalFP ? m_globalFP->duration() : 0.0;
}

double AppDelegate::startSeconds() const
{
    return myRangeSlider->start() * inputDuration();
}

double AppDelegate::endSeconds() const
{
    return myRangeSlider->end() * inputDuration();
}

void AppDelegate::rangeSliderChanged(RangeSlider *slider)
{
    ++m_selectionCallbacks;
    DiagnosticLog::print(QStringLiteral("Big slider start:") + decimalText(slider->start())
                         + QStringLiteral(" end:") + decimalText(slider->end()));
    DiagnosticLog::print(slider->currentSliderDragging() == DraggedSlider::start ? leftKnob : rightKnob);
    refreshForSelection();
}

void AppDelegate::refreshForSelection()
{
    updateTimeFields();
    followSelectionWithKeyframes();
    requestPosterFrame(myRangeSlider->isDragging() ? PosterExtraction::Accuracy::Keyframe
                                                   : PosterExtraction::Accuracy::Exact);
}

void AppDelegate::followSelectionWithKeyframes()
{
    m_keyframes->setSelection(startSeconds(), endSeconds(), !isForcingEncode() && !isCuttingExactly());
}

void AppDelegate::updateTimeFields()
{
    const QString input = timeTextFromSeconds(inputDuration());
    const QString start = timeTextFromSeconds(startSeconds());
    const QString end = timeTextFromSeconds(endSeconds());
    const QString output = timeTextFromSeconds(endSeconds() - startSeconds());
    inputDurationTF->setText(tr("Input Duration: ") + input);
    startTimeTF->setText(tr("Start Time: ") + start);
    endTimeTF->setText(tr("End Time: ") + end);
    outputDurationTF->setText(tr("Output Duration: ") + output);
    // A label's accessible name stands in for its text: it must carry the value too.
    inputDurationTF->setAccessibleName(tr("Input duration %1").arg(input));
    startTimeTF->setAccessibleName(tr("Start time %1").arg(start));
    endTimeTF->setAccessibleName(tr("End time %1").arg(end));
    outputDurationTF->setAccessibleName(tr("Output duration %1").arg(output));
    myRangeSlider->setAccessibleDescription(tr("From %1 to %2").arg(start, end));
}

// The frame at the knob that moved last, extracted in the background.
void AppDelegate::requestPosterFrame(PosterExtraction::Accuracy accuracy)
{
    if (!m_globalFP || posterFrameFilePath().isEmpty())
        return;
    const bool start = myRangeSlider->currentSliderDragging() == DraggedSlider::start;
    m_posters->request(m_globalFP->fileFullPath().value_or(QString()), start ? startSeconds() : endSeconds(),
                       accuracy);
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

// An input without a known duration has no scale to move a knob on.
void AppDelegate::moveStart(double seconds)
{
    if (inputDuration() > 0)
        myRangeSlider->setStart(seconds / inputDuration());
}

void AppDelegate::moveEnd(double seconds)
{
    if (inputDuration() > 0)
        myRangeSlider->setEnd(seconds / inputDuration());
}

void AppDelegate::leftSecondDownBTNClicked()
{
    moveStart(std::max(0.0, startSeconds() - 1.0));
}

void AppDelegate::leftFrameDownBTNClicked()
{
    moveStart(std::max(0.0, startSeconds() + (-1.0 / m_fps)));
}

void AppDelegate::leftFrameUpBTNClicked()
{
    moveStart(std::min(inputDuration(), startSeconds() + 1.0 / m_fps));
}

void AppDelegate::leftSecondUpBTNClicked()
{
    moveStart(std::min(inputDuration(), startSeconds() + 1.0));
}

void AppDelegate::rightSecondDownBTNClicked()
{
    moveEnd(std::max(0.0, endSeconds() - 1.0));
}

void AppDelegate::rightFrameDownBTNClicked()
{
    moveEnd(std::max(0.0, endSeconds() + (-1.0 / m_fps)));
}

void AppDelegate::rightFrameUpBTNClicked()
{
    moveEnd(std::min(inputDuration(), endSeconds() + 1.0 / m_fps));
}

void AppDelegate::rightSecondUpBTNClicked()
{
    moveEnd(std::min(inputDuration(), endSeconds() + 1.0));
}

void AppDelegate::presetDurationPOPUPChanged(int index)
{
    if (index < 0 || index >= presetSecondsDurationArray.size())
        return;
    const double preset = presetSecondsDurationArray.at(index);
    const double start = startSeconds();
    moveStart(start);
    moveEnd(std::min(inputDuration(), start + preset));
}

// Trimming -----------------------------------------------------------------

void AppDelegate::saveMenuBTNClicked()
{
    trimVideoBTNClicked();
}

void AppDelegate::trimVideoBTNClicked()
{
    showSavePanel();
}

void AppDelegate::showSavePanel()
{
    // Only an accepted video can be trimmed: the Save menu item stays
    // enabled while nothing, or a rejected file, is open.
    if (!m_globalFP || !m_globalFP->fileFullURL() || !trimVideoBTN->isEnabled() || isTrimming())
        return;
    if (!(endSeconds() - startSeconds() > 0)) {
        showAlert(QMessageBox::Warning, tr("The selection is empty."),
                  tr("Move the end of the selection after its start, then trim again."));
        return;
    }

    const QString inputPath = m_globalFP->fileFullPath().value_or(QString());
    const QString type = isForcingEncode() ? QStringLiteral("mp4") : QFileInfo(inputPath).suffix();
    auto *panel = new QFileDialog(m_window.get(), tr("Save Trimmed Video"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    panel->setWindowModality(Qt::WindowModal);
    panel->setDirectory(m_lastSaveFolder.isEmpty() ? QFileInfo(inputPath).absolutePath() : m_lastSaveFolder);
    if (!type.isEmpty()) {
        panel->setNameFilter(tr("%1 video (*.%2)").arg(type.toUpper(), type));
        panel->setDefaultSuffix(type);
    }
    panel->selectFile(type.isEmpty() ? tr("Trimmed") : tr("Trimmed") + QLatin1Char('.') + type);
    connect(panel, &QFileDialog::fileSelected, this, [this, type](const QString &path) {
        if (!path.isEmpty())
            savePanelFinished(withAllowedSuffix(path, type));
    });
    panel->open();
}

// Any state of the check box but off asks for a re-encode to MP4.
bool AppDelegate::isForcingEncode() const
{
    return forceEncodeCBX->checkState() != Qt::Unchecked;
}

bool AppDelegate::isCuttingExactly() const
{
    // Never checked where it is not offered.
    return exactCutCBX->isChecked();
}

ExactCutRun::Source AppDelegate::exactCutSource() const
{
    return {m_globalFP->fileFullPath().value_or(QString()), m_globalFP->formatName(),
            m_globalFP->trackDictionaries(videoTrack).value(0).dictionaryObject().value_or(QJsonObject()),
            m_globalFP->startTime()};
}

// Offered only where it can work, and the tooltip says why it is not.
void AppDelegate::offerExactCut()
{
    const bool open = trimVideoBTN->isEnabled() && m_globalFP;
    const bool supported = open && ExactCutRun::supports(exactCutSource());
    const bool offered = supported && !isForcingEncode();
    if (!offered)
        exactCutCBX->setChecked(false);
    exactCutCBX->setEnabled(offered);
    if (!open)
        exactCutCBX->setToolTip(QString());
    else if (!supported)
        exactCutCBX->setToolTip(tr("An exact cut needs H.264 or HEVC video in MP4, MOV, M4V or Matroska."));
    else if (!offered)
        exactCutCBX->setToolTip(tr("A re-encode to MP4 is exact already."));
    else
        exactCutCBX->setToolTip(tr("Only the frames before the first keyframe and after the last are re-encoded; "
                                   "the rest is copied untouched."));
}

bool AppDelegate::isSameFileAsInput(const QString &outputPath) const
{
    return isSameFile(m_globalFP->fileFullPath().value_or(QString()), outputPath);
}

void AppDelegate::savePanelFinished(const QString &outputPath)
{
    if (!m_globalFP || !m_globalFP->fileFullPath())
        return;
    if (isSameFileAsInput(outputPath)) {
        showAlert(QMessageBox::Information, tr("Input file name is same as the output file name!"),
                  tr("Please specify a different file to save."));
        return;
    }
    const double outputDuration = endSeconds() - startSeconds();
    if (!(outputDuration > 0))
        return;
    m_lastSaveFolder = QFileInfo(outputPath).absolutePath();
    if (isCuttingExactly()) {
        startExactCut(outputPath);
        return;
    }
    // A name without an extension says nothing of the format: keep the input's.
    const QString fallbackSuffix = containerSuffix(isForcingEncode() ? QStringLiteral("mp4")
                                                                                : m_globalFP->formatName());
    const QString partialPath = EncoderRun::partialPathFor(outputPath, fallbackSuffix);
    const QStringList arguments = trimArguments(*m_globalFP, *m_globalFP->fileFullPath(), partialPath);
    startTrimming(outputPath, partialPath, arguments, outputDuration);
}

QStringList AppDelegate::trimArguments(const FileProbe &probe, const QString &inputPath,
                                       const QString &outputPath) const
{
    TrimParameters parameters;
    parameters.duration = probe.duration();
    parameters.minValue = myRangeSlider->minValue();
    parameters.maxValue = myRangeSlider->maxValue();
    parameters.selectionStart = myRangeSlider->selection().start;
    parameters.selectionEnd = myRangeSlider->selection().end;
    parameters.forceEncode = isForcingEncode();
    parameters.hasAudioTrack = probe.hasAudioTrack();
    parameters.hasAudioTrackWhichHasMoreThanTwoChannels = probe.hasAudioTrackWhichHasMoreThanTwoChannels();
    parameters.inputPath = inputPath;
    parameters.outputPath = outputPath;
    const QStringList arguments = TrimCommand::trimArguments(parameters);
    DiagnosticLog::print(TrimCommand::diagnosticLine(arguments));
    return arguments;
}

void AppDelegate::startTrimming(const QString &outputPath, const QString &partialPath,
                                const QStringList &arguments, double outputDuration)
{
    auto *run = new EncoderRun(m_tools, this);
    followTrim(run, outputPath);
    run->start(arguments, partialPath, outputPath, outputDuration);
}

void AppDelegate::startExactCut(const QString &outputPath)
{
    const QString workFolder = m_temporaryDirectory.isValid() ? m_temporaryDirectory.path() : QDir::tempPath();
    auto *run = new ExactCutRun(m_tools, workFolder, this);
    followTrim(run, outputPath);
    run->start(exactCutSource(), startSeconds(), endSeconds(), outputPath);
}

// The progress sheet follows a trim however it is made, and the run goes once it has ended.
void AppDelegate::followTrim(TrimRun *run, const QString &outputPath)
{
    m_isProcessCancelledByUser = false;
    m_globalProcess = run;
    connect(run, &TrimRun::progressChanged, progressBar, [this](double percent) {
        progressBar->setValue(static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0))));
    });
    connect(run, &TrimRun::finished, this, [this, run, outputPath](TrimRun::Outcome outcome, const QString &details) {
        run->deleteLater();
        trimEnded(outcome, details, outputPath);
    });
    showProgressSheet();
}

void AppDelegate::showProgressSheet()
{
    progressBar->setValue(0);
    progressTitle->setText(tr("Trimming Video..."));
    progressCancel->show();
    setWindowHeldBySheet(true);
    progressWindow->show();
    progressWindow->raise();
    progressWindow->activateWindow();
}

void AppDelegate::hideProgressSheet()
{
    progressCancel->hide();
    progressWindow->hide();
    setWindowHeldBySheet(false);
}

// What a modal sheet would block, but for quitting, which asks first.
void AppDelegate::setWindowHeldBySheet(bool held)
{
    m_ui->centralWidget->setEnabled(!held);
    m_ui->mainToolBar->setEnabled(!held);
    m_ui->selectionMenu->setEnabled(!held);
    m_ui->helpMenu->setEnabled(!held);
    for (QAction *action : {m_ui->openMenuBTN, m_ui->saveMenuBTN, m_ui->helpBTN})
        action->setEnabled(!held);
}

void AppDelegate::closeBTNInsideProgressWindowClicked()
{
    if (m_globalProcess)
        m_globalProcess->cancel();
    m_isProcessCancelledByUser = true;
}

void AppDelegate::trimEnded(TrimRun::Outcome outcome, const QString &details, const QString &outputPath)
{
    if (outcome == TrimRun::Outcome::Succeeded)
        progressBar->setValue(progressBar->maximum());
    hideProgressSheet();
    switch (outcome) {
    case TrimRun::Outcome::Cancelled:
        break;
    case TrimRun::Outcome::Failed:
        showAlert(QMessageBox::Warning, tr("The video could not be trimmed."), details);
        break;
    case TrimRun::Outcome::Succeeded:
        reportTrimResult(*FileProbe::create(outputPath, m_tools));
        break;
    }
    emit trimFinished(outcome);
    if (m_quitWhenTrimEnds)
        m_window->close();
}

void AppDelegate::reportTrimResult(const FileProbe &output)
{
    const QString text = tr("Input Duration: %1 (%2)\nOutput Duration: %3 (%4)")
                             .arg(timeTextFromSeconds(inputDuration()), m_globalFP->fileSizeHuman().value_or(QString()),
                                  timeTextFromSeconds(output.duration()), output.fileSizeHuman().value_or(QString()));
    QMessageBox *alert = makeAlert(QMessageBox::Information, tr("Video Trimmed Successfully!"), text,
                                   QMessageBox::NoButton);
    // Without an escape button a message box refuses to close, and so would
    // the app when a logout asks it to quit.
    alert->setEscapeButton(alert->addButton(tr("OK"), QMessageBox::AcceptRole));
    QPushButton *reveal = alert->addButton(tr("Show in Finder"), QMessageBox::ActionRole);
    const QString outputPath = output.fileFullPath().value_or(QString());
    connect(alert, &QMessageBox::buttonClicked, this, [this, reveal, outputPath](QAbstractButton *button) {
        if (button != reveal)
            return;
        FileRevealer::reveal(outputPath, this, [this, outputPath] {
            const QString where = QDir::toNativeSeparators(outputPath);
            showAlert(QMessageBox::Warning, tr("The file could not be shown."),
                      tr("No file manager answered. The trimmed video is at %1").arg(where));
        });
    });
    presentAlert(alert);
}

// Quitting -----------------------------------------------------------------

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Close && !confirmQuit()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool AppDelegate::confirmQuit()
{
    if (!isTrimming())
        return true;
    QMessageBox *question = makeAlert(QMessageBox::Question, tr("A video is being trimmed."),
                                      tr("Quitting stops the trim and deletes the unfinished file."),
                                      QMessageBox::NoButton);
    QPushButton *quit = question->addButton(tr("Stop and Quit"), QMessageBox::DestructiveRole);
    question->addButton(tr("Keep Trimming"), QMessageBox::RejectRole);
    connect(question, &QMessageBox::buttonClicked, this, [this, quit](QAbstractButton *button) {
        if (button != quit)
            return;
        m_quitWhenTrimEnds = true;
        if (isTrimming())
            closeBTNInsideProgressWindowClicked();
        else
            m_window->close();
    });
    presentAlert(question);
    return false;
}

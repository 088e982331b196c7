// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <utility>

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include "encoderrun.h"
#include "exactcutrun.h"
#include "posterextraction.h"
#include "rangeslidertypes.h"
#include "temporarydirectory.h"
#include "toollocator.h"

class FileProbe;
class ImageDropView;
class KeyframeGuide;
class ProgressSheet;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMainWindow;

class QProgressBar;
class QPushButton;
class QToolButton;
class RangeSlider;

namespace Ui {
class MainWindow;
}

// The one controller of the app: it owns the window and all working state,
// receives every user action and drives probing, the poster frame and the
// trim.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    static const QList<double> presetSecondsDurationArray;
    static const QStringList presetDurationTitles;

    // What a launch sets for the whole application before the window is
    // made: the name in titles, the desktop entry and the icon.
    static void prepareApplication();

    explicit AppDelegate(const QString &resourceFolder,
                         const QString &temporaryBaseFolder = TemporaryDirectory::defaultBaseFolder(),
                         QObject *parent = nullptr);
    ~AppDelegate() override;

    // `file`, from the command line, opens as if chosen in the Open dialog.
    void applicationDidFinishLaunching(const QString &file = {});
    void applicationWillTerminate();

    QMainWindow *window() const;
    std::shared_ptr<const FileProbe> globalFP() const { return m_globalFP; }
    std::optional<bool> isProcessCancelledByUser() const { return m_isProcessCancelledByUser; }
    double fps() const { return m_fps; }
    QString temporaryDirectoryPath() const { return m_temporaryDirectory.path(); }
    QString posterFrameFilePath() const;
    bool isTrimming() const;

    // Opening and selection.
    void openVideo(const QUrl &url);
    void showOpenPanel();
    void rangeSliderChanged(RangeSlider *slider);

    // Trimming.
    void showSavePanel();
    void savePanelFinished(const QString &outputPath);
    QStringList trimArguments(const FileProbe &probe, const QString &inputPath,
                              const QString &outputPath) const;

    // Whether quitting may go ahead now; while a trim runs it asks the user
    // first and closes the window itself once the trim has stopped.
    bool confirmQuit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void openMenuBTNClicked();
    void openToolBarBTNClicked();
    void fileAddedByDragAndDropWithNotification(const QVariantMap &userInfo);
    void leftSecondDownBTNClicked();
    void leftFrameDownBTNClicked();
    void leftFrameUpBTNClicked();
    void leftSecondUpBTNClicked();
    void rightSecondDownBTNClicked();
    void rightFrameDownBTNClicked();
    void rightFrameUpBTNClicked();
    void rightSecondUpBTNClicked();
    void presetDurationPOPUPChanged(int index);
    void trimVideoBTNClicked();
    void saveMenuBTNClicked();
    void closeBTNInsideProgressWindowClicked();
    void helpBTNClickedWithSender();

signals:
    // Emitted whenever an alert sheet has been opened on the window.
    void alertShown(QMessageBox *alert);
    // Emitted when a trim has ended, however it ended.
    void trimFinished(TrimRun::Outcome outcome);

private:
    void connectActions();
    void connectNudgeMenu();
    QList<std::pair<QAction *, QToolButton *>> nudgeMenuItems() const;
    void setNudgeButtonsEnabled(bool enabled);
    void nudgeFromKeyboard(DraggedSlider knob, int steps, bool bySecond);
    void disableEditingControls();
    void enableEditingControls();
    void clearTemporaryDirectory();

    bool isAcceptable(const FileProbe &probe) const;
    void readFrameRate(const FileProbe &probe);
    void fillPresetDurationPopup();
    void selectCentredPresetRange();

    void refreshForSelection();
    void followSelectionWithKeyframes();
    void updateTimeFields();
    void requestPosterFrame(PosterExtraction::Accuracy accuracy);
    void showPosterFrame(PosterExtraction::Accuracy accuracy, bool shown);
    void dropPosterFrame();
    void moveStart(double seconds);
    void moveEnd(double seconds);
    double startSeconds() const;
    double endSeconds() const;
    double inputDuration() const;

    bool isForcingEncode() const;
    bool isCuttingExactly() const;
    ExactCutRun::Source exactCutSource() const;
    void offerExactCut();
    bool isSameFileAsInput(const QString &outputPath) const;
    void startTrimming(const QString &outputPath, const QString &partialPath,
                       const QStringList &arguments, double outputDuration);
    void startExactCut(const QString &outputPath);
    void followTrim(TrimRun *run, const QString &outputPath);
    void showProgressSheet();
    void hideProgressSheet();
    void setWindowHeldBySheet(bool held);
    void trimEnded(TrimRun::Outcome outcome, const QString &details, const QString &outputPath);
    void reportTrimResult(const FileProbe &output);

    QMessageBox *makeAlert(QMessageBox::Icon icon, const QString &message, const QString &informative,
                           QMessageBox::StandardButtons buttons);
    void presentAlert(QMessageBox *alert);
    void showAlert(QMessageBox::Icon icon, const QString &message, const QString &informative);

    const ToolLocator m_tools;
    TemporaryDirectory m_temporaryDirectory;

    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<Ui::MainWindow> m_ui;

    // Control references, named as the rest of the app knows them.
    RangeSlider *myRangeSlider = nullptr;
    ImageDropView *posterView = nullptr;
    QAction *trimVideoBTN = nullptr;
    ProgressSheet *progressWindow = nullptr;
    QLabel *progressTitle = nullptr;
    QProgressBar *progressBar = nullptr;
    QPushButton *progressCancel = nullptr;
    QLabel *startTimeTF = nullptr;
    QLabel *endTimeTF = nullptr;
    QLabel *outputDurationTF = nullptr;
    QLabel *inputDurationTF = nullptr;
    QToolButton *leftSecondDownBTN = nullptr;
    QToolButton *leftFrameDownBTN = nullptr;
    QToolButton *leftFrameUpBTN = nullptr;
    QToolButton *leftSecondUpBTN = nullptr;
    QToolButton *rightSecondDownBTN = nullptr;
    QToolButton *rightFrameDownBTN = nullptr;
    QToolButton *rightFrameUpBTN = nullptr;
    QToolButton *rightSecondUpBTN = nullptr;
    QCheckBox *forceEncodeCBX = nullptr;
    QCheckBox *exactCutCBX = nullptr;
    QComboBox *presetDurationPOPUP = nullptr;
    QLabel *posterCaptionLabel = nullptr;

    // Working state.
    PosterExtraction *m_posters = nullptr;
    KeyframeGuide *m_keyframes = nullptr;
    std::shared_ptr<const FileProbe> m_globalFP;
    QPointer<TrimRun> m_globalProcess;
    std::optional<bool> m_isProcessCancelledByUser;
    double m_fps = 24.0;
    int m_selectionCallbacks = 0;
    bool m_quitWhenTrimEnds = false;
    QString m_lastSaveFolder;
};

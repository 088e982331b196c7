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

#include "posterextraction.h"
#include "rangeslidertypes.h"
#include "selection.h"
#include "temporarydirectory.h"
#include "toollocator.h"
#include "trimflow.h"

class AlertSheets;
class FileProbe;
class HelpWindow;
class ImageDropView;
class KeyframeGuide;
class OpenFlow;
class OverviewGuide;
class SliderZoom;
class Playback;
class ProgressSheet;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMainWindow;
class QToolButton;
class RangeSlider;
class TimeField;

namespace Ui {
class MainWindow;
}

// The one controller of the app: it owns the window and all working state,
// receives every user action and wires the window to what does the work:
// opening (OpenFlow), the selection's rules (Selection), the poster frames,
// the keyframe guide and the trim (TrimFlow).
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    static inline const QList<double> &presetSecondsDurationArray = Selection::presetSeconds;
    static inline const QStringList &presetDurationTitles = Selection::presetTitles;

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
    std::optional<bool> isProcessCancelledByUser() const { return m_trimFlow->isProcessCancelledByUser(); }
    double fps() const { return m_selection->frameRate(); }
    QString temporaryDirectoryPath() const { return m_temporaryDirectory.path(); }
    QString posterFrameFilePath() const;
    bool isTrimming() const { return m_trimFlow->isTrimming(); }
    // The time whose frame the poster shows for the knob moved last.
    double posterSeconds() const;

    // Opening and selection.
    void openVideo(const QUrl &url);
    void showOpenPanel();
    void rangeSliderChanged(RangeSlider *slider);

    // Trimming.
    void showSavePanel() { m_trimFlow->showSavePanel(); }
    void savePanelFinished(const QString &outputPath) { m_trimFlow->savePanelFinished(outputPath); }
    QStringList trimArguments(const FileProbe &probe, const QString &inputPath, const QString &outputPath) const
    {
        return m_trimFlow->trimArguments(probe, inputPath, outputPath);
    }

    // Whether quitting may go ahead now; while a trim runs it asks the user
    // first and closes the window itself once the trim has stopped.
    bool confirmQuit() { return m_trimFlow->confirmQuit(); }

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
    void setUpControls();
    void setUpPlayback();
    void setUpZoom();
    void connectActions();
    void connectNudgeMenu();
    QList<std::pair<QAction *, QToolButton *>> nudgeMenuItems() const;
    void setNudgeButtonsEnabled(bool enabled);
    void nudgeFromKeyboard(DraggedSlider knob, int steps, bool bySecond);
    void disableEditingControls();
    void enableEditingControls();
    void clearTemporaryDirectory();
    void fillPresetDurationPopup();
    void showPreset();

    void videoOpened(std::shared_ptr<const FileProbe> probe, bool accepted);
    void showKnob(Selection::Knob knob);
    void refreshForSelection();
    void updateTimeFields();
    void requestPosterFrame(PosterExtraction::Accuracy accuracy);
    double endFrameSeconds() const;
    void showPosterFrame(PosterExtraction::Accuracy accuracy, bool shown);
    void dropPosterFrame();
    void setWindowHeldBySheet(bool held);

    const ToolLocator m_tools;
    TemporaryDirectory m_temporaryDirectory;

    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<Ui::MainWindow> m_ui;

    // Control references, named as the rest of the app knows them.
    RangeSlider *myRangeSlider = nullptr;
    ImageDropView *posterView = nullptr;
    QAction *trimVideoBTN = nullptr;
    ProgressSheet *progressWindow = nullptr;
    TimeField *startTimeTF = nullptr;
    TimeField *endTimeTF = nullptr;
    TimeField *outputDurationTF = nullptr;
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
    QComboBox *presetDurationPOPUP = nullptr;
    QLabel *posterCaptionLabel = nullptr;

    // Working state.
    Selection *m_selection = nullptr;
    AlertSheets *m_alerts = nullptr;
    QPointer<HelpWindow> m_help;
    OverviewGuide *m_overview = nullptr;
    SliderZoom *m_zoom = nullptr;
    OpenFlow *m_opening = nullptr;
    TrimFlow *m_trimFlow = nullptr;
    Playback *m_playback = nullptr;
    PosterExtraction *m_posters = nullptr;
    KeyframeGuide *m_keyframes = nullptr;
    std::shared_ptr<const FileProbe> m_globalFP;
    // Off while an opened video's selection is first set: its frames come after.
    bool m_showsKnobFrames = true;
};

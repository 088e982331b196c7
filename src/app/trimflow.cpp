// SPDX-License-Identifier: GPL-3.0-or-later
#include "trimflow.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "alertsheets.h"
#include "containersuffix.h"
#include "diagnosticlog.h"
#include "encoderrun.h"
#include "exactcutnote.h"
#include "fileprobe.h"
#include "filerevealer.h"
#include "json.h"
#include "progresssheet.h"
#include "outputconfirmation.h"
#include "selection.h"
#include "streamcopyrun.h"
#include "temporarydirectory.h"
#include "timetext.h"
#include "trackchooser.h"
#include "trimcommand.h"
#include "trimparameters.h"

namespace {

QString withAllowedSuffix(const QString &path, const QString &type)
{
    if (type.isEmpty() || QFileInfo(path).suffix().compare(type, Qt::CaseInsensitive) == 0)
        return path;
    return path + QLatin1Char('.') + type;
}

// One track as the result names it: its language, or else its title or codec, and for sound its channels.
QString trackWords(const MediaTrack &track)
{
    const QString name = !track.language.isEmpty() ? track.language
                                                   : !track.title.isEmpty() ? track.title : track.codec;
    if (track.kind != MediaTrack::Kind::Audio)
        return name;
    const QString layout = !track.channelLayout.isEmpty() ? track.channelLayout
                                                          : QObject::tr("%n channels", "", track.channels);
    return QStringLiteral("%1 (%2)").arg(name, layout);
}

// What the written file holds besides its video, so that a dropped track cannot pass unseen:
// "Audio: eng (stereo), fra (mono) · Subtitles: eng".
QString tracksText(const QList<MediaTrack> &tracks)
{
    const auto named = [&tracks](MediaTrack::Kind kind) {
        QStringList words;
        for (const MediaTrack &track : tracks) {
            if (track.kind == kind)
                words << trackWords(track);
        }
        return words.join(QStringLiteral(", "));
    };
    const QString audio = named(MediaTrack::Kind::Audio);
    const QString subtitles = named(MediaTrack::Kind::Subtitle);
    const QString sound = audio.isEmpty() ? QObject::tr("No audio") : QObject::tr("Audio: %1").arg(audio);
    return subtitles.isEmpty() ? sound : QObject::tr("%1 \u00b7 Subtitles: %2").arg(sound, subtitles);
}

} // namespace

TrimFlow::TrimFlow(const ToolLocator &tools, const TemporaryDirectory &workFolder, const Selection &selection,
                   AlertSheets *alerts, const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_tools(tools)
    , m_workFolder(workFolder)
    , m_selection(selection)
    , m_alerts(alerts)
    , m_controls(controls)
    , m_outputCheck(new OutputConfirmation(alerts, this))
{
    connect(m_controls.sheet, &ProgressSheet::cancelRequested, this, &TrimFlow::cancel);
    m_tracks = new TrackChooser(m_controls.trackList, m_controls.keepAudio, this);
    connect(m_controls.forceEncode, &QCheckBox::toggled, this, [this] {
        offerExactCut();
        showTrackOutput();
        emit optionsChanged();
    });
    connect(m_controls.exactCut, &QCheckBox::toggled, this, &TrimFlow::optionsChanged);
}

TrimFlow::~TrimFlow()
{
    if (m_run)
        m_run->disconnect(this);
    stop();
}

void TrimFlow::setInput(std::shared_ptr<const FileProbe> input)
{
    m_input = std::move(input);
    m_isProcessCancelledByUser = false;
    // Every newly opened video starts with a stream copy.
    m_controls.forceEncode->setEnabled(m_input != nullptr);
    m_controls.forceEncode->setChecked(false);
    m_controls.exactCut->setChecked(false);
    offerExactCut();
    m_tracks->setTracks(m_input ? m_input->mediaTracks() : QList<MediaTrack>());
    showTrackOutput();
}

// A copy keeps the input's format, the save panel's type; a re-encode writes MP4.
QString TrimFlow::outputSuffix() const
{
    if (!m_input || isForcingEncode())
        return QStringLiteral("mp4");
    const QString suffix = QFileInfo(m_input->fileFullPath().value_or(QString())).suffix();
    return suffix.isEmpty() ? containerSuffix(m_input->formatName()) : suffix;
}

void TrimFlow::showTrackOutput()
{
    m_tracks->setOutput(outputSuffix(), isForcingEncode() ? TrackMap::Mode::Reencode : TrackMap::Mode::Copy);
}

void TrimFlow::reportLeftOutTracks() const
{
    for (const MediaTrack &track : m_tracks->unlistedTracks())
        DiagnosticLog::print(QStringLiteral("Track %1 (%2) left out: ").arg(track.index).arg(track.codec)
                             + TrackMap::unavailableReason(track, outputSuffix(), TrackMap::Mode::Copy));
    for (const MediaTrack &track : m_tracks->keptTracks()) {
        const QString reason = TrackMap::unclippedReason(track, outputSuffix(), TrackMap::Mode::Copy);
        if (!reason.isEmpty())
            DiagnosticLog::print(QStringLiteral("Track %1 (%2) not clipped: ").arg(track.index).arg(track.codec)
                                 + reason);
    }
}

bool TrimFlow::isTrimming() const
{
    return m_run && m_run->isRunning();
}

bool TrimFlow::isCopyingStream() const
{
    return !isForcingEncode() && !isCuttingExactly();
}

// Any state of the check box but off asks for a re-encode to MP4.
bool TrimFlow::isForcingEncode() const
{
    return m_controls.forceEncode->checkState() != Qt::Unchecked;
}

bool TrimFlow::isCuttingExactly() const
{
    // Never checked where it is not offered.
    return m_controls.exactCut->isChecked();
}

// The trim as the window now stands, to `outputPath`.
TrimJob TrimFlow::job(const QString &outputPath) const
{
    const TrimJob::Kind kind = isCuttingExactly() ? TrimJob::Kind::Exact
                             : isForcingEncode()  ? TrimJob::Kind::Reencode
                                                  : TrimJob::Kind::Copy;
    return {m_input.get(), m_selection.timeline(), m_selection.startSeconds(), m_selection.endSeconds(),
            m_tracks->keptTracks(), kind, outputPath};
}

// Offered only where it can work, and the tooltip says why it is not.
void TrimFlow::offerExactCut()
{
    QCheckBox *const box = m_controls.exactCut;
    const bool open = m_input != nullptr;
    const QString whyNot = open ? job(QString()).whyNotExactly() : QString();
    const bool supported = open && whyNot.isEmpty();
    const bool offered = supported && !isForcingEncode();
    if (!offered)
        box->setChecked(false);
    box->setEnabled(offered);
    if (!open)
        box->setToolTip(QString());
    else if (!supported)
        box->setToolTip(whyNot);
    else if (!offered)
        box->setToolTip(tr("A re-encode to MP4 is exact already."));
    else if (const QString note = ExactCutNote::of(*m_input); !note.isEmpty())
        box->setToolTip(note);
    else
        box->setToolTip(tr("Only the frames before the first keyframe and after the last are re-encoded; "
                           "the rest is copied untouched."));
}

void TrimFlow::showSavePanel()
{
    // Only an accepted video can be trimmed: the Save menu item stays
    // enabled while nothing, or a rejected file, is open.
    if (!m_input || !m_input->fileFullURL() || isTrimming())
        return;
    if (!m_selection.isTrimmable()) {
        m_alerts->show(QMessageBox::Warning, tr("The selection is empty."),
                       tr("Move the end of the selection after its start, then trim again."));
        return;
    }

    const QString inputPath = m_input->fileFullPath().value_or(QString());
    const QString type = isForcingEncode() ? QStringLiteral("mp4") : QFileInfo(inputPath).suffix();
    auto *panel = new QFileDialog(m_controls.window, tr("Save Trimmed Video"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    panel->setWindowModality(Qt::WindowModal);
    panel->setDirectory(m_lastSaveFolder.isEmpty() ? QFileInfo(inputPath).absolutePath() : m_lastSaveFolder);
    if (!type.isEmpty()) {
        panel->setNameFilter(tr("%1 video (*.%2)").arg(type.toUpper(), type));
        panel->setDefaultSuffix(type);
    }
    const QMap<QString, QString> otherTypes = otherOutputTypes();
    if (!otherTypes.isEmpty()) {
        panel->setNameFilters(QStringList{panel->nameFilters().value(0)} + otherTypes.keys());
        panel->setDefaultSuffix({}); // the suffix follows the type chosen, below
    }
    panel->selectFile(type.isEmpty() ? tr("Trimmed") : tr("Trimmed") + QLatin1Char('.') + type);
    panel->setOption(QFileDialog::DontConfirmOverwrite);
    connect(panel, &QFileDialog::fileSelected, this, [this, panel, type, inputPath, otherTypes](const QString &path) {
        if (path.isEmpty())
            return;
        const QString chosen = otherTypes.value(panel->selectedNameFilter(), type);
        // A name ending in another of the offered types takes the one chosen, rather than gaining a second.
        const QFileInfo typed(path);
        const bool offered = !otherTypes.isEmpty()
            && (typed.suffix() == type || otherTypes.values().contains(typed.suffix().toLower()));
        const QString output = offered ? typed.dir().filePath(typed.completeBaseName() + QLatin1Char('.') + chosen)
                                       : withAllowedSuffix(path, chosen);
        m_outputCheck->confirm(inputPath, output, [this, output] { trimTo(output); });
    });
    panel->open();
}

// Beside the input's own type, by the save panel's name filter: what Apple's players refuse, Matroska holds as
// it is; an exact cut of a broadcast recording may go into a file that more players take.
QMap<QString, QString> TrimFlow::otherOutputTypes() const
{
    QMap<QString, QString> types;
    if (!isCuttingExactly())
        return types;
    const QString matroska = tr("Matroska video (*.mkv)");
    if (ExactCutNote::isHevcInQuickTime(*m_input))
        types.insert(matroska, QStringLiteral("mkv"));
    if (Timeline::seeksBlindly(m_input->formatName())) {
        types.insert(matroska, QStringLiteral("mkv"));
        types.insert(tr("MP4 video (*.mp4)"), QStringLiteral("mp4"));
    }
    return types;
}

void TrimFlow::savePanelFinished(const QString &outputPath)
{
    if (m_input && m_input->fileFullPath() && !isTrimming()
        && m_outputCheck->accepts(*m_input->fileFullPath(), outputPath))
        trimTo(outputPath);
}

// Once the output has been checked, and its replacement confirmed where the dialog asked.
void TrimFlow::trimTo(const QString &outputPath)
{
    if (!m_input || !m_input->fileFullPath() || isTrimming())
        return;
    if (!m_selection.isTrimmable())
        return;
    m_lastSaveFolder = QFileInfo(outputPath).absolutePath();
    reportLeftOutTracks();
    const TrimJob trim = job(outputPath);
    trim.startRun(m_tools, workFolder(), this, [this, outputPath](TrimRun *run) {
        followTrim(run, outputPath);
        // One step, named as an exact cut names its own.
        if (qobject_cast<EncoderRun *>(run))
            m_controls.sheet->setStep(tr("Re-encoding the selection to MP4"));
    });
}

QStringList TrimFlow::trimArguments(const FileProbe &probe, const QString &inputPath,
                                    const QString &outputPath) const
{
    reportLeftOutTracks();
    TrimJob trim = job(outputPath);
    trim.input = &probe;
    TrimParameters parameters = trim.parameters(outputPath);
    parameters.inputPath = inputPath;
    const QStringList arguments = TrimCommand::trimArguments(parameters);
    DiagnosticLog::print(TrimCommand::diagnosticLine(arguments));
    return arguments;
}

QString TrimFlow::workFolder() const
{
    return m_workFolder.isValid() ? m_workFolder.path() : QDir::tempPath();
}

// The progress sheet follows a trim however it is made, and the run goes once it has ended.
void TrimFlow::followTrim(TrimRun *run, const QString &outputPath)
{
    m_isProcessCancelledByUser = false;
    m_run = run;
    connect(run, &TrimRun::progressChanged, m_controls.sheet, &ProgressSheet::setProgress);
    connect(run, &TrimRun::stepChanged, m_controls.sheet, &ProgressSheet::setStep);
    connect(run, &TrimRun::finished, this, [this, run, outputPath](TrimRun::Outcome outcome, const QString &details) {
        run->deleteLater();
        trimEnded(outcome, details, outputPath);
    });
    showProgressSheet();
}

void TrimFlow::showProgressSheet()
{
    ProgressSheet *const sheet = m_controls.sheet;
    sheet->begin();
    sheet->title()->setText(tr("Trimming Video..."));
    sheet->cancelButton()->show();
    emit sheetShown(true);
    sheet->show();
    sheet->raise();
    sheet->activateWindow();
}

void TrimFlow::hideProgressSheet()
{
    m_controls.sheet->cancelButton()->hide();
    m_controls.sheet->hide();
    emit sheetShown(false);
}

void TrimFlow::cancel()
{
    if (m_run)
        m_run->cancel();
    m_isProcessCancelledByUser = true;
}

void TrimFlow::stop()
{
    // The run stops its process and removes its partial output as it goes.
    delete m_run.data();
}

void TrimFlow::trimEnded(TrimRun::Outcome outcome, const QString &details, const QString &outputPath)
{
    if (outcome == TrimRun::Outcome::Succeeded)
        m_controls.sheet->bar()->setValue(m_controls.sheet->bar()->maximum());
    hideProgressSheet();
    switch (outcome) {
    case TrimRun::Outcome::Cancelled:
        break;
    case TrimRun::Outcome::Failed:
        m_alerts->show(QMessageBox::Warning, tr("The video could not be trimmed."), details);
        break;
    case TrimRun::Outcome::Succeeded:
        reportTrimResult(*FileProbe::create(outputPath, m_tools));
        break;
    }
    emit finished(outcome);
    if (m_quitWhenTrimEnds)
        m_controls.window->close();
}

bool TrimFlow::confirmQuit()
{
    if (!isTrimming())
        return true;
    if (m_quitQuestion)
        return false;
    QMessageBox *question = m_alerts->make(QMessageBox::Question, tr("A video is being trimmed."),
                                           tr("Quitting stops the trim and deletes the unfinished file."));
    QPushButton *quit = question->addButton(tr("Stop and Quit"), QMessageBox::DestructiveRole);
    // Enter and Escape keep the work; only a deliberate choice throws it away.
    QPushButton *keep = question->addButton(tr("Keep Trimming"), QMessageBox::RejectRole);
    question->setDefaultButton(keep);
    question->setEscapeButton(keep);
    m_quitQuestion = question;
    // The question takes the sheet's place, so that no Cancel button shows beside its own two.
    m_controls.sheet->hide();
    connect(question, &QMessageBox::buttonClicked, this, [this, quit](QAbstractButton *button) {
        if (button != quit) {
            if (isTrimming())
                m_controls.sheet->show();
            return;
        }
        m_quitWhenTrimEnds = true;
        if (isTrimming())
            cancel();
        else
            m_controls.window->close();
    });
    m_alerts->present(question);
    return false;
}

// The output's length is its video's: a track that runs on past the video would overstate it.
void TrimFlow::reportTrimResult(const FileProbe &output)
{
    const QString text = tr("Input Duration: %1 (%2)\nOutput Duration: %3 (%4)\n%5")
                             .arg(timeTextFromSeconds(m_selection.duration()),
                                  m_input->fileSizeHuman().value_or(QString()),
                                  timeTextFromSeconds(output.videoDuration().value_or(output.duration())),
                                  output.fileSizeHuman().value_or(QString()),
                                  tracksText(output.mediaTracks()));
    QMessageBox *alert = m_alerts->make(QMessageBox::Information, tr("Video Trimmed Successfully!"), text);
    // Without an escape button a message box refuses to close, and so would
    // the app when a logout asks it to quit.
    alert->setEscapeButton(alert->addButton(tr("OK"), QMessageBox::AcceptRole));
    // The freedesktop name for what it does: the file manager opens the folder, the file selected.
    QPushButton *reveal = alert->addButton(tr("Show in Folder"), QMessageBox::ActionRole);
    const QString outputPath = output.fileFullPath().value_or(QString());
    connect(alert, &QMessageBox::buttonClicked, this, [this, reveal, outputPath](QAbstractButton *button) {
        if (button != reveal)
            return;
        FileRevealer::reveal(outputPath, this, [this, outputPath] {
            const QString where = QDir::toNativeSeparators(outputPath);
            m_alerts->show(QMessageBox::Warning, tr("The file could not be shown."),
                           tr("No file manager answered. The trimmed video is at %1").arg(where));
        });
    });
    m_alerts->present(alert);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QStackedWidget>
#include <QTimer>

#include "decodedgroup.h"
#include "mpvplayer.h"
#include "rangeslider.h"
#include "selection.h"
#include "temporarydirectory.h"
#include "timeentry.h"
#include "timefield.h"
#include "timetext.h"
#include "videoview.h"

namespace {

constexpr double slack = Timeline::tolerance;
// A frame slower than this to come says that it is coming.
constexpr int busyAfterMs = 300;
// The frames before it a first step back keeps, at most: each costs the creator a scaling and a write on top
// of the decoding that the step costs anyway, about a millisecond at the largest; a person steps back a few.
constexpr qsizetype groupFrames = 32;
// Nor is a still drawn larger: the window is not kept waiting for sharpness that only shows while paused.
const QSize largestStill(960, 540);

} // namespace

Playback::Playback(Selection *selection, const Controls &controls, const ToolLocator &tools,
                   const TemporaryDirectory &workFolder, const QString &audioOutput, QObject *parent)
    : QObject(parent)
    , m_selection(selection)
    , m_controls(controls)
    , m_audioOutput(audioOutput)
    , m_group(new DecodedGroup(tools, this))
    , m_workFolder(workFolder)
{
    connect(m_group, &DecodedGroup::finished, this, &Playback::takeGroup);
    connect(m_controls.playPause, &QAction::triggered, this, &Playback::playOrPause);
    connect(m_controls.playSelection, &QAction::triggered, this, &Playback::playSelection);
    connect(m_controls.frameBack, &QAction::triggered, this, [this] { stepFrames(-1); });
    connect(m_controls.frameForward, &QAction::triggered, this, [this] { stepFrames(1); });
    connect(m_controls.secondBack, &QAction::triggered, this, [this] { jump(-1.0); });
    connect(m_controls.secondForward, &QAction::triggered, this, [this] { jump(1.0); });
    connect(m_controls.setStart, &QAction::triggered, this, &Playback::setStartHere);
    connect(m_controls.setEnd, &QAction::triggered, this, &Playback::setEndHere);
    // The slider runs from 0 to 1 over the whole input; the frame nearest the pointer is the one shown.
    connect(m_controls.slider, &RangeSlider::playheadDragged, this,
            [this](double value) { seekTo(m_timeline.nearestFrame(value * m_selection->duration())); });
    connect(m_controls.playheadField, &TimeField::timeTyped, this, &Playback::goToTyped);
    m_controls.playheadField->setFocusFallback(m_controls.slider);
    setActionsEnabled(false);
}

Playback::~Playback()
{
    delete m_view.data();
    m_player.reset();
}

void Playback::setVideo(const QString &path, const Timeline &timeline, const QString &colours)
{
    m_timeline = timeline;
    m_colours = colours.isEmpty() ? QStringLiteral("auto") : colours;
    m_group->stop();
    m_awaitedStill.reset();
    if (m_view) {
        m_controls.videoArea->setCurrentIndex(0);
        delete m_view.data();
    }
    // After its view, which may hold mpv's renderer.
    m_player.reset();
    m_controls.slider->setPlayheadValue(std::nullopt);
    m_path = path;
    m_playhead = 0.0;
    namePlayPause(true);
    setActionsEnabled(!path.isEmpty());
    TimeField *field = m_controls.playheadField;
    field->setVisible(!path.isEmpty());
    // As wide as its widest text, so that it neither clips nor jumps while playing.
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(playheadText(m_selection->duration())) + 24);
    showPlayheadTime();
}

QString Playback::playheadText(double seconds) const
{
    return tr("%1 / %2 · frame %3")
        .arg(timeTextFromSeconds(seconds), timeTextFromSeconds(m_selection->duration()))
        .arg(m_timeline.frameNumber(seconds));
}

// "0:01:02.500 / 0:10:00.000 · frame 1562", while playing too.
void Playback::showPlayheadTime()
{
    if (!m_path.isEmpty())
        m_controls.playheadField->showTime(QString(), playheadText(m_playhead));
}

// To the frame at the time typed, as a knob would go there.
void Playback::goToTyped(const QString &typed)
{
    const QString problem = TimeEntry::problemWithin(typed, m_selection->duration());
    if (!problem.isEmpty()) {
        m_controls.playheadField->refuse(problem);
        return;
    }
    const double seconds = *secondsFromTimeText(typed);
    seekTo(m_timeline.frameAt(seconds).value_or(m_timeline.lastFrameBefore(m_selection->duration())));
    // Where no player can be made, the playhead stays, and its time replaces what was typed.
    showPlayheadTime();
}

// Named after what it will do, for a screen reader too.
void Playback::namePlayPause(bool paused)
{
    QAction *const action = m_controls.playPause;
    action->setText(paused ? tr("Play") : tr("Pause"));
    action->setToolTip(tr("%1 (%2)").arg(action->text(), action->shortcut().toString(QKeySequence::NativeText)));
}

void Playback::setActionsEnabled(bool enabled)
{
    for (QAction *action : {m_controls.playPause, m_controls.playSelection, m_controls.frameBack,
                            m_controls.frameForward, m_controls.secondBack, m_controls.secondForward,
                            m_controls.setStart, m_controls.setEnd})
        action->setEnabled(enabled);
}

// The first Play or step makes the player, on the playhead's frame.
bool Playback::showPlayer()
{
    if (m_player)
        return true;
    if (m_path.isEmpty())
        return false;
    m_player = std::make_unique<MpvPlayer>(m_audioOutput);
    if (!m_player->isValid()) {
        m_player.reset();
        return false;
    }
    m_view = new VideoView(m_player.get());
    m_controls.videoArea->addWidget(m_view);
    m_controls.videoArea->setCurrentWidget(m_view);
    // Paused after a seek, mpv tells the time asked for, not its frame's: the
    // playhead keeps the frame it was sent to. A seek asked while playing
    // may still be told the times of frames played before it.
    connect(m_player.get(), &MpvPlayer::positionChanged, this, [this](double seconds) {
        if (!m_player->isPaused() && !m_player->isSeeking()) {
            clearStill();
            movePlayhead(m_timeline.fromStream(seconds));
        }
    });
    connect(m_player.get(), &MpvPlayer::pausedChanged, this, &Playback::namePlayPause);
    connect(m_player.get(), &MpvPlayer::seekFinished, this, [this] {
        // A still stays until the player rests on the playhead's frame, so that no other frame shows meanwhile.
        if (isAtRestOnPlayhead() && !m_awaitedStill) {
            clearStill();
            m_view->setBusy(false);
            emit frameFound();
        }
        catchUp();
    });
    connect(m_player.get(), &MpvPlayer::failed, this,
            [this] { m_view->setMessage(tr("This video cannot be played here.")); });
    m_player->setSeekLead(seekLead(m_playhead));
    m_player->load(m_path, playerTime(m_playhead));
    movePlayhead(m_playhead);
    return true;
}

void Playback::pause()
{
    if (m_player)
        m_player->pause();
}

void Playback::followKnob(double seconds)
{
    m_playhead = seconds;
    if (!m_player) {
        showPlayheadTime();
        return;
    }
    m_player->pause();
    if (!showFromGroup(seconds)) {
        seekPlayer(seconds);
        movePlayhead(seconds);
    }
}

// The player counts in the streams' own time; a seek a tolerance early lands on the frame at `seconds`.
double Playback::playerTime(double seconds) const
{
    return std::max(0.0, m_timeline.toStream(seconds) - slack);
}

// Decoded from as far before as the creator's exact seek would decode, and the creator's own lead besides,
// which mpv does not take: its demuxer seeks as the creator's does, and a late MPEG-TS file's first keyframe
// is decoded before its time. No more: on keyframes 10 s apart, a second more than needed just after a
// keyframe decodes the group before it too. The player's time is a tolerance early, which a keyframe at the
// frame must not be missed by.
double Playback::seekLead(double seconds) const
{
    return m_timeline.exactSeek(seconds).output + m_timeline.seekLead() - slack;
}

void Playback::seekPlayer(double seconds)
{
    m_player->setSeekLead(seekLead(seconds));
    m_player->seekExact(playerTime(seconds));
}

// Drawn on the slider while the player shows.
void Playback::movePlayhead(double seconds)
{
    m_playhead = seconds;
    const double duration = m_selection->duration();
    m_controls.slider->setPlayheadValue(duration > 0 ? std::optional(seconds / duration) : std::nullopt);
    showPlayheadTime();
    emit playheadChanged(seconds);
}

// To the frame at `seconds`.
void Playback::seekTo(double seconds)
{
    if (!showPlayer())
        return;
    m_player->pause();
    const double frame = std::clamp(seconds, 0.0, m_selection->duration());
    if (showFromGroup(frame))
        return;
    movePlayhead(frame);
    seekPlayer(m_playhead);
    showBusyLater();
}

// A seek decodes from the keyframe before: on long groups that takes a while.
void Playback::showBusyLater()
{
    QTimer::singleShot(busyAfterMs, m_view, [this] {
        if (isFindingFrame())
            m_view->setBusy(true);
    });
}

bool Playback::isFindingFrame() const
{
    return m_player && (m_player->isSeeking() || m_awaitedStill);
}

void Playback::playOrPause()
{
    const bool starting = !m_player;
    if (!showPlayer())
        return;
    if (!starting && !m_player->isPaused()) {
        m_player->pause();
        return;
    }
    // From a step back's still, the player first goes to its frame; the still stays until it plays.
    if (m_view->isShowingStill() || m_awaitedStill) {
        m_awaitedStill.reset();
        if (!isAtRestOnPlayhead())
            seekPlayer(m_playhead);
    }
    m_player->play();
}

// From the first frame to the last, pausing on it. A player made for it opens on the first frame.
void Playback::playSelection()
{
    if (!m_player)
        m_playhead = m_selection->startSeconds();
    if (!showPlayer())
        return;
    m_awaitedStill.reset();
    m_player->setSeekLead(seekLead(m_selection->startSeconds()));
    m_player->playRange(playerTime(m_selection->startSeconds()), playerTime(m_selection->endSeconds()));
}

// A frame later or earlier, as the timeline lists it. From the paused frame in view, the next is mpv's own
// step, which decodes that frame alone. A step back decodes the frames before it, from their keyframe on,
// once: later steps back among them show them at once, where mpv's own step back would decode the group again
// each time. Anything else is an exact seek; a frame rate's step would miss frames of a variable rate. Keys
// pressed during a step move the playhead at once, and the player catches up when the step is over.
void Playback::stepFrames(int direction)
{
    const std::optional<double> frame = m_timeline.frameBeside(m_playhead, direction);
    if (frame && m_player && m_player->isStepping()) {
        movePlayhead(*frame);
        m_catchUp = true;
        return;
    }
    if (frame && showPlayer() && showFromGroup(*frame))
        return;
    if (direction > 0 && frame && isAtRestOnPlayhead()) {
        movePlayhead(*frame);
        m_player->stepForward(m_timeline.toStream(*frame));
        return;
    }
    if (direction < 0 && frame && decodeGroupBefore(*frame))
        return;
    seekTo(frame.value_or(m_playhead));
}

// The frame from the decoded group, at once or as soon as it has come, or the player's paused frame where
// that is it.
bool Playback::showFromGroup(double frame)
{
    if (!m_group->holds(frame) && !m_group->isComing(frame) && !(isAtRestOn(frame) && m_view->isShowingStill()))
        return false;
    m_player->pause();
    movePlayhead(frame);
    m_awaitedStill.reset();
    if (const std::optional<QImage> still = m_group->frame(frame)) {
        m_view->showStill(*still);
    } else if (m_group->isComing(frame)) {
        m_awaitedStill = frame;
        showBusyLater();
        return true;
    } else {
        clearStill();
    }
    m_view->setBusy(false);
    emit frameFound();
    return true;
}

// From the frame before the playhead back to its keyframe, as many as are kept; the frame itself comes last.
// Only where every frame is listed: the pictures are known by their place.
bool Playback::decodeGroupBefore(double frame)
{
    const std::optional<double> keyframe = m_timeline.keyframeAtOrBefore(frame);
    const QSize size = stillSize();
    if (!m_timeline.listsEveryFrame() || !keyframe || size.isEmpty())
        return false;
    QList<double> times{frame};
    while (times.size() < groupFrames && times.first() > *keyframe + slack) {
        const std::optional<double> before = m_timeline.frameBeside(times.first(), -1);
        if (!before || *before >= times.first())
            break;
        times.prepend(*before);
    }
    m_player->pause();
    // From the keyframe itself, entered as a stream copy enters it, where the demuxer finds it by its time.
    const bool atKeyframe = std::abs(times.first() - *keyframe) <= slack && !m_timeline.entersBlindly();
    const Timeline::Seek seek = atKeyframe ? Timeline::Seek{m_timeline.copyEntry(*keyframe) + slack, 0.0}
                                           : m_timeline.exactSeek(times.first());
    m_group->start(m_path, {seek, atKeyframe}, times, size, m_colours, m_workFolder.path());
    return showFromGroup(frame);
}

void Playback::takeGroup(bool decoded)
{
    if (!m_awaitedStill)
        return;
    const double frame = *std::exchange(m_awaitedStill, std::nullopt);
    if (!decoded || !showFromGroup(frame))
        seekTo(frame);
}

void Playback::clearStill()
{
    if (m_view)
        m_view->clearStill();
}

// The view's size, in pixels, no larger than the largest still.
QSize Playback::stillSize() const
{
    QSize size = m_view->size() * m_view->devicePixelRatioF();
    if (size.width() > largestStill.width() || size.height() > largestStill.height())
        size = size.scaled(largestStill, Qt::KeepAspectRatio);
    return QSize(size.width() & ~1, size.height() & ~1);
}

// The player paused on the frame at `frame`, with nothing under way.
bool Playback::isAtRestOn(double frame) const
{
    return m_player && m_player->isPaused() && !m_player->isSeeking()
        && std::abs(m_timeline.fromStream(m_player->position()) - frame) <= 2 * slack;
}

bool Playback::isAtRestOnPlayhead() const
{
    return isAtRestOn(m_playhead);
}

// Once a step is over, on to where keys have moved the playhead meanwhile: by another step to the next frame.
void Playback::catchUp()
{
    if (!std::exchange(m_catchUp, false) || !m_player->isPaused() || m_player->isSeeking() || isAtRestOnPlayhead())
        return;
    const double shown = m_timeline.fromStream(m_player->position());
    const std::optional<double> next = m_timeline.frameBeside(shown, 1);
    if (next && std::abs(*next - m_playhead) <= slack)
        m_player->stepForward(m_timeline.toStream(m_playhead));
    else
        seekTo(m_playhead);
}

void Playback::jump(double seconds)
{
    seekTo(m_playhead + seconds);
}

// The playhead's frame becomes the first; past the end, the end goes to the input's end.
void Playback::setStartHere()
{
    const double frame = m_playhead;
    if (frame >= m_selection->endSeconds() - slack)
        m_selection->moveTo(Selection::Knob::End, m_selection->duration());
    m_selection->moveTo(Selection::Knob::Start, frame);
}

// The playhead's frame becomes the last: the end goes to the frame after it, or to the input's end after the
// last frame. Before the start, the start goes to the input's start.
void Playback::setEndHere()
{
    const double frame = m_playhead;
    const double end = m_timeline.frameBeside(frame, 1).value_or(m_selection->duration());
    if (frame < m_selection->startSeconds())
        m_selection->moveTo(Selection::Knob::Start, 0.0);
    m_selection->moveTo(Selection::Knob::End, end);
}

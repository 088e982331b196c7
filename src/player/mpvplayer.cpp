// SPDX-License-Identifier: GPL-3.0-or-later
#include "mpvplayer.h"

#include <algorithm>
#include <clocale>

#include <QByteArray>
#include <QMetaObject>
#include <QTimer>

#include <mpv/render_gl.h>

#include "decimaltext.h"
#include "diagnosticlog.h"
#include "mpvlibrary.h"

namespace {

const MpvLibrary &mpv()
{
    return MpvLibrary::instance();
}

enum Observed : quint64 { TimePosition = 1, Pause, StepPause };

// A step plays one frame at this speed: at the file's own, mpv waits a frame's length and more to show it.
constexpr double stepSpeed = 100.0;
// Far longer than any step takes: one not over by then is made good by a seek.
constexpr int stepPatienceMs = 3000;
// mpv tells a frame's time to the microsecond.
constexpr double sameTime = 0.001;
// While a step's frame is in view but mpv has not yet paused again.
constexpr int stepPollMs = 2;

// What the player needs of mpv, none of what makes it a player of its own.
const char *const options[][2] = {
    {"config", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"osc", "no"},
    {"terminal", "no"},
    {"vo", "libmpv"},
    {"idle", "yes"},
    {"pause", "yes"},
    {"keep-open", "always"},
    {"hr-seek", "yes"},
    // Until a lead is set: a frame just before an open-GOP keyframe decodes after it, so a seek that starts at
    // that keyframe never shows it.
    {"hr-seek-demuxer-offset", "1"},
    // Times are the file's own timestamps, which the caller translates: mpv
    // would otherwise count from where it finds the first packet, which in
    // Matroska is often the video's, not the file's start.
    {"rebase-start-time", "no"},
};

} // namespace

MpvPlayer::MpvPlayer(const QString &audioOutput, QObject *parent)
    : QObject(parent)
{
    // mpv reads numbers with the C library, which must not expect commas.
    std::setlocale(LC_NUMERIC, "C");
    if (!mpv().isLoaded())
        return;
    m_handle = mpv().create();
    if (!m_handle)
        return;
    for (const auto &[name, value] : options)
        mpv().set_option_string(m_handle, name, value);
    if (!audioOutput.isEmpty())
        mpv().set_option_string(m_handle, "ao", audioOutput.toUtf8().constData());
    if (mpv().initialize(m_handle) < 0) {
        mpv().terminate_destroy(std::exchange(m_handle, nullptr));
        return;
    }
    // Warnings only for the one that says the video plays without sound.
    mpv().request_log_messages(m_handle, "warn");
    mpv().observe_property(m_handle, TimePosition, "time-pos", MPV_FORMAT_DOUBLE);
    mpv().observe_property(m_handle, Pause, "pause", MPV_FORMAT_FLAG);
    // Called on one of mpv's threads: only hand the work to ours.
    mpv().set_wakeup_callback(
        m_handle,
        [](void *player) {
            QMetaObject::invokeMethod(static_cast<MpvPlayer *>(player), &MpvPlayer::drainEvents,
                                      Qt::QueuedConnection);
        },
        this);
}

MpvPlayer::~MpvPlayer()
{
    releaseRenderer();
    if (m_handle) {
        mpv().set_wakeup_callback(m_handle, nullptr, nullptr);
        mpv().terminate_destroy(m_handle);
    }
}

void MpvPlayer::command(std::initializer_list<const char *> arguments, quint64 reply)
{
    if (!m_handle)
        return;
    QList<const char *> list(arguments);
    list.append(nullptr);
    mpv().command_async(m_handle, reply, list.data());
}

void MpvPlayer::setFlag(const char *name, bool value)
{
    if (!m_handle)
        return;
    int flag = value ? 1 : 0;
    mpv().set_property_async(m_handle, 0, name, MPV_FORMAT_FLAG, &flag);
}

// The file opens on the frame asked for: a seek once it has loaded would show its first frame meanwhile.
void MpvPlayer::load(const QString &path, double seconds)
{
    m_playingRange = false;
    m_loaded = false;
    m_pendingSeek.reset();
    if (std::exchange(m_step, std::nullopt))
        setSpeed(1.0);
    m_seeking = true;
    m_seekAnswered = true;
    if (m_handle)
        mpv().set_property_string(m_handle, "end", "none");
    const QByteArray file = path.toUtf8();
    const QByteArray start = "start=" + decimalText(seconds).toUtf8();
    command({"loadfile", file.constData(), "replace", start.constData()});
}

void MpvPlayer::play()
{
    m_rangeEnd.reset();
    if (m_step) {
        m_step->playAfter = true;
        return;
    }
    // A plain Play runs on past the end of a range played before.
    if (m_playingRange && m_handle) {
        m_playingRange = false;
        mpv().set_property_string(m_handle, "end", "none");
    }
    setFlag("pause", false);
}

void MpvPlayer::pause()
{
    m_rangeEnd.reset();
    // A step ends paused.
    if (m_step) {
        m_step->playAfter = false;
        return;
    }
    setFlag("pause", true);
}

void MpvPlayer::seekExact(double seconds)
{
    // mpv drops a seek made before the file has loaded; one made during a step would race with it.
    if (!m_loaded || m_step) {
        m_pendingSeek = seconds;
        return;
    }
    const QByteArray time = decimalText(seconds).toUtf8();
    m_seeking = true;
    m_seekAnswered = false;
    command({"seek", time.constData(), "absolute+exact"}, ++m_lastSeek);
}

void MpvPlayer::stepForward(double expected)
{
    if (!m_loaded || isSeeking() || !m_paused || m_rangeEnd) {
        seekExact(expected);
        return;
    }
    if (!m_stepWatchdog) {
        m_stepWatchdog = new QTimer(this);
        m_stepWatchdog->setSingleShot(true);
        m_stepWatchdog->setInterval(stepPatienceMs);
        connect(m_stepWatchdog, &QTimer::timeout, this, [this] {
            if (m_step)
                finishStep();
        });
    }
    m_step = Step{expected};
    m_seeking = true;
    setSpeed(stepSpeed);
    command({"frame-step"});
    m_stepWatchdog->start();
}

// Told once the step's frame is in view and mpv has paused again. mpv may
// tell neither its brief unpausing nor its pausing, both being over before
// it tells, so it is asked.
void MpvPlayer::checkStep()
{
    if (m_step && !m_step->checking && m_position > m_step->expected - sameTime) {
        m_step->checking = true;
        mpv().get_property_async(m_handle, StepPause, "pause", MPV_FORMAT_FLAG);
    }
}

void MpvPlayer::takeStepPause(bool paused)
{
    if (!m_step)
        return;
    m_step->checking = false;
    if (paused)
        finishStep();
    else
        QTimer::singleShot(stepPollMs, this, &MpvPlayer::checkStep);
}

void MpvPlayer::finishStep()
{
    const Step step = *std::exchange(m_step, std::nullopt);
    m_stepWatchdog->stop();
    setSpeed(1.0);
    m_seeking = false;
    const bool landed = std::abs(m_position - step.expected) <= sameTime;
    if (!landed) {
        DiagnosticLog::print(QStringLiteral("Player: a step forward came to %1, not %2; sought there instead")
                                 .arg(decimalText(m_position), decimalText(step.expected)));
        setFlag("pause", true);
        if (!m_pendingSeek)
            m_pendingSeek = step.expected;
    }
    if (m_pendingSeek)
        seekExact(*std::exchange(m_pendingSeek, std::nullopt));
    else
        emit seekFinished();
    if (step.playAfter)
        play();
}

void MpvPlayer::setSpeed(double speed)
{
    if (m_handle)
        mpv().set_property_async(m_handle, 0, "speed", MPV_FORMAT_DOUBLE, &speed);
}

void MpvPlayer::setSeekLead(double seconds)
{
    if (!m_handle)
        return;
    double lead = seconds;
    mpv().set_property_async(m_handle, 0, "hr-seek-demuxer-offset", MPV_FORMAT_DOUBLE, &lead);
}

// Playing starts once the seek has come to rest, and the range's end is set only then: unpaused at once, or
// with an end set while paused elsewhere, mpv may show a frame from where it stood or from past the end.
void MpvPlayer::playRange(double from, double to)
{
    if (!m_handle)
        return;
    m_playingRange = true;
    pause();
    seekExact(from);
    m_rangeEnd = to;
}

qint64 MpvPlayer::droppedFrames() const
{
    qint64 total = 0;
    for (const char *name : {"frame-drop-count", "decoder-frame-drop-count"}) {
        int64_t count = 0;
        if (m_handle && mpv().get_property(m_handle, name, MPV_FORMAT_INT64, &count) >= 0)
            total += count;
    }
    return total;
}

void MpvPlayer::drainEvents()
{
    while (m_handle) {
        const mpv_event *event = mpv().wait_event(m_handle, 0);
        switch (event->event_id) {
        case MPV_EVENT_NONE:
            return;
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto *property = static_cast<const mpv_event_property *>(event->data);
            if (event->reply_userdata == TimePosition && property->format == MPV_FORMAT_DOUBLE) {
                m_position = *static_cast<const double *>(property->data);
                emit positionChanged(m_position);
                checkStep();
            } else if (event->reply_userdata == Pause && property->format == MPV_FORMAT_FLAG) {
                // A step plays for a frame: no Play to be told.
                if (!m_step) {
                    m_paused = *static_cast<const int *>(property->data) != 0;
                    emit pausedChanged(m_paused);
                }
            }
            break;
        }
        case MPV_EVENT_GET_PROPERTY_REPLY: {
            const auto *property = static_cast<const mpv_event_property *>(event->data);
            if (event->reply_userdata == StepPause && property->format == MPV_FORMAT_FLAG)
                takeStepPause(*static_cast<const int *>(property->data) != 0);
            break;
        }
        case MPV_EVENT_FILE_LOADED:
            m_loaded = true;
            if (m_pendingSeek)
                seekExact(*std::exchange(m_pendingSeek, std::nullopt));
            emit loaded();
            break;
        case MPV_EVENT_COMMAND_REPLY:
            // mpv tells its events in order: a rest told before the newest seek was taken is an earlier one's.
            if (event->reply_userdata == m_lastSeek) {
                m_seekAnswered = true;
                if (event->error < 0) {
                    m_seeking = false;
                    m_rangeEnd.reset();
                }
            }
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            if (!m_seekAnswered)
                break;
            m_seeking = false;
            if (m_rangeEnd) {
                mpv().set_property_string(m_handle, "end", decimalText(*m_rangeEnd).toUtf8().constData());
                m_rangeEnd.reset();
                setFlag("pause", false);
            }
            emit seekFinished();
            break;
        case MPV_EVENT_END_FILE: {
            const auto *end = static_cast<const mpv_event_end_file *>(event->data);
            if (end->reason == MPV_END_FILE_REASON_ERROR)
                emit failed(QString::fromUtf8(mpv().error_string(end->error)));
            break;
        }
        case MPV_EVENT_LOG_MESSAGE: {
            const auto *message = static_cast<const mpv_event_log_message *>(event->data);
            const QByteArrayView prefix(message->prefix);
            const bool silent = prefix == "cplayer" && QByteArrayView(message->text).contains("no sound");
            // Each sound system mpv tries and finds missing complains on its own; that one line says it all.
            if ((message->log_level > MPV_LOG_LEVEL_ERROR || prefix.startsWith("ao")) && !silent)
                break;
            DiagnosticLog::print(QStringLiteral("Player: %1: %2")
                                     .arg(QString::fromUtf8(message->prefix),
                                          QString::fromUtf8(message->text).trimmed()));
            break;
        }
        default:
            break;
        }
    }
}

bool MpvPlayer::initializeSoftware()
{
    if (m_renderer)
        return true;
    if (!m_handle)
        return false;
    char api[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param parameters[] = {{MPV_RENDER_PARAM_API_TYPE, api}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv().render_context_create(&m_renderer, m_handle, parameters) < 0) {
        m_renderer = nullptr;
        return false;
    }
    announceFrames();
    return true;
}

// Called on one of mpv's threads, like the wakeup.
void MpvPlayer::announceFrames()
{
    mpv().render_context_set_update_callback(
        m_renderer,
        [](void *player) {
            QMetaObject::invokeMethod(static_cast<MpvPlayer *>(player), &MpvPlayer::frameReady, Qt::QueuedConnection);
        },
        this);
}

bool MpvPlayer::renderInto(QImage &image)
{
    if (image.isNull() || !initializeSoftware())
        return false;
    mpv().render_context_update(m_renderer);
    int size[2] = {image.width(), image.height()};
    char format[] = "rgb0";
    size_t stride = static_cast<size_t>(image.bytesPerLine());
    mpv_render_param parameters[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                     {MPV_RENDER_PARAM_SW_FORMAT, format},
                                     {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                     {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
    return mpv().render_context_render(m_renderer, parameters) >= 0;
}

bool MpvPlayer::initializeOpenGl(const ProcAddress &procAddress)
{
    if (m_renderer)
        return true;
    if (!m_handle)
        return false;
    m_procAddress = procAddress;
    mpv_opengl_init_params init{[](void *player, const char *name) {
                                    return static_cast<MpvPlayer *>(player)->m_procAddress(name);
                                },
                                this};
    char api[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param parameters[] = {{MPV_RENDER_PARAM_API_TYPE, api},
                                     {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv().render_context_create(&m_renderer, m_handle, parameters) < 0) {
        m_renderer = nullptr;
        return false;
    }
    announceFrames();
    return true;
}

void MpvPlayer::renderOpenGl(int fbo, QSize size)
{
    if (!m_renderer)
        return;
    mpv().render_context_update(m_renderer);
    mpv_opengl_fbo target{fbo, size.width(), size.height(), 0};
    int flipY = 1;
    mpv_render_param parameters[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv().render_context_render(m_renderer, parameters);
}

void MpvPlayer::releaseRenderer()
{
    if (m_renderer)
        mpv().render_context_free(std::exchange(m_renderer, nullptr));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

class QTimer;

struct mpv_handle;
struct mpv_render_context;

// libmpv behind Qt signals: the one place that holds an mpv handle. Its
// times are the file's own timestamps, not rebased to 0. mpv
// reads none of its own configuration, scripts, key bindings or on-screen
// controls. Its events come on mpv's threads and are drained on the thread
// that owns the player, so every signal arrives there. Seeks are
// asynchronous and exact: a paused frame is the frame at the position told,
// the one before an open-GOP keyframe included (the demuxer seeks a second
// earlier for it). At the end of the file, or of a range played, it pauses
// on the last frame instead of unloading.
//
// The frames are drawn through mpv's render API, either into an image with
// the software renderer, where there is no OpenGL, or into the current
// OpenGL framebuffer; the view that draws calls one of the two.
class MpvPlayer : public QObject
{
    Q_OBJECT

public:
    // `audioOutput` as mpv's "ao" ("null" plays without sound); empty lets
    // mpv choose, and without a sound device it plays silently, saying so in
    // one diagnostic line.
    explicit MpvPlayer(const QString &audioOutput = QString(), QObject *parent = nullptr);
    ~MpvPlayer() override;

    bool isValid() const { return m_handle != nullptr; }

    // Paused on the frame at `seconds`. What is asked before the file has
    // loaded waits for it; of seeks, the newest only.
    void load(const QString &path, double seconds = 0.0);
    void play();
    void pause();
    void seekExact(double seconds);
    // One frame on from the paused frame in view, decoding that frame alone,
    // where a seek decodes from the keyframe before. `expected` is that
    // frame's time: a step that lands elsewhere ends in an exact seek there,
    // so the frame shown is the same either way. It ends with seekFinished,
    // as a seek does; what is asked meanwhile waits for it. Where no step can
    // start (not paused at rest), it is the seek.
    void stepForward(double expected);
    // How far before the time asked an exact seek enters the file, to
    // decode on from the keyframe it finds: more than a frame before an
    // open-GOP keyframe needs, and where the demuxer seeks by timestamps
    // alone and would find a later keyframe; less than 0 reaches a keyframe
    // just after the time asked. A second until set. Applies to the seeks
    // and loads asked after it.
    void setSeekLead(double seconds);
    // From `from` until the last frame before `to`, then paused there; it
    // starts playing once the frame at `from` is in view.
    void playRange(double from, double to);

    double position() const { return m_position; }
    // From a seek asked for until its frame is in view.
    bool isSeeking() const { return m_seeking || m_pendingSeek.has_value(); }
    bool isStepping() const { return m_step.has_value(); }
    bool isPaused() const { return m_paused; }
    // Frames dropped so far, by the decoder or by the output, to keep up.
    qint64 droppedFrames() const;

    // Software rendering, chosen before a file is loaded: the frame in view,
    // drawn into `image`, whose size is that of the target (RGBX8888). False
    // when there is nothing to draw.
    bool initializeSoftware();
    bool renderInto(QImage &image);
    // OpenGL rendering, with the context current: made once, then the frame
    // drawn into framebuffer `fbo` of `size` pixels, and released before the
    // context goes.
    using ProcAddress = std::function<void *(const char *name)>;
    bool initializeOpenGl(const ProcAddress &procAddress);
    void renderOpenGl(int fbo, QSize size);
    void releaseRenderer();

signals:
    // The position of the frame in view, in seconds of the file's timeline.
    void positionChanged(double seconds);
    void pausedChanged(bool paused);
    void loaded();
    // A seek, or a step back, has come to rest on its frame.
    void seekFinished();
    // The file cannot be played; `reason` says why, in mpv's words.
    void failed(const QString &reason);
    // A new frame waits to be drawn.
    void frameReady();

private:
    void drainEvents();
    void announceFrames();
    void command(std::initializer_list<const char *> arguments, quint64 reply = 0);
    void setFlag(const char *name, bool value);
    void setSpeed(double speed);
    void checkStep();
    void takeStepPause(bool paused);
    void finishStep();

    mpv_handle *m_handle = nullptr;
    mpv_render_context *m_renderer = nullptr;
    ProcAddress m_procAddress;
    double m_position = 0.0;
    bool m_paused = true;
    bool m_playingRange = false;
    bool m_loaded = false;
    bool m_seeking = false;
    // The end of a range to play once the seek to its start has come to rest.
    std::optional<double> m_rangeEnd;
    // The newest seek, and whether mpv has taken it: only a rest told after that is its own.
    quint64 m_lastSeek = 0;
    bool m_seekAnswered = true;
    std::optional<double> m_pendingSeek;
    // A step forward under way: where it must land, and a Play asked for meanwhile.
    struct Step
    {
        double expected = 0.0;
        bool checking = false; // whether mpv has paused again, asked
        bool playAfter = false;
    };
    std::optional<Step> m_step;
    QTimer *m_stepWatchdog = nullptr;
};

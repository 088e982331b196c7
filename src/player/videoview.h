// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <future>

#include <QImage>
#include <QWidget>

class MpvPlayer;
class OpenGlVideoView;
class QPainter;
class QProgressBar;

// Draws the player's frames, and nothing else: through OpenGL where a
// graphics processor draws it, else with mpv's software renderer into an
// image the size of the view (offscreen, a machine without OpenGL or whose
// OpenGL is drawn by the processor). The kind is chosen when
// the view is made, before the player loads a file, as mpv needs its
// renderer from the start. A message in place of the video says when it
// cannot be played.
class VideoView : public QWidget
{
    Q_OBJECT

public:
    // For `player`, which must outlive the view.
    explicit VideoView(MpvPlayer *player, QWidget *parent = nullptr);
    // Waits for a frame still being drawn, which writes to the player.
    ~VideoView() override;

    static bool hasFastOpenGl();
    bool drawsWithOpenGl() const { return m_openGl != nullptr; }

    void setMessage(const QString &text);
    QString message() const { return m_message; }
    // A moving bar over the video while a frame is long in coming.
    void setBusy(bool busy);
    bool isBusy() const;
    // A picture of a frame drawn in place of the player's, until cleared:
    // the player then shows again, as it is.
    void showStill(const QImage &picture);
    void clearStill();
    bool isShowingStill() const { return !m_still.isNull(); }
    // The frame as last drawn.
    QImage frame() const;

    QSize sizeHint() const override { return {480, 270}; }
    QSize minimumSizeHint() const override { return {160, 90}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    static bool probeFastOpenGl();
    static bool hasGraphicsDevice();
    void drawSoftwareFrame();
    void takeSoftwareFrame(const QImage &image, bool drawn);
    void drawStill(QPainter &painter, QRect target) const;

    MpvPlayer *const m_player;
    OpenGlVideoView *m_openGl = nullptr;
    QProgressBar *m_busyBar = nullptr;
    QImage m_frame;
    QImage m_still;
    // The software renderer's scaling and conversion, off the window's thread:
    // at 1080p one frame held the window up to 90 ms. A frame announced while
    // one is drawn is drawn after it.
    std::future<void> m_rendering;
    bool m_renderAgain = false;
    QString m_message;
};

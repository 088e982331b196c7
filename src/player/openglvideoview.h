// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QOpenGLWidget>

class MpvPlayer;

// The frames drawn by mpv into this widget's OpenGL framebuffer.
class OpenGlVideoView : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit OpenGlVideoView(MpvPlayer *player, QWidget *parent = nullptr);
    // Frees mpv's renderer while the context is still there.
    ~OpenGlVideoView() override;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    MpvPlayer *const m_player;
};

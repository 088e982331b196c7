// SPDX-License-Identifier: GPL-3.0-or-later
#include "openglvideoview.h"

#include <QOpenGLContext>

#include "mpvplayer.h"

OpenGlVideoView::OpenGlVideoView(MpvPlayer *player, QWidget *parent)
    : QOpenGLWidget(parent)
    , m_player(player)
{
    connect(m_player, &MpvPlayer::frameReady, this, qOverload<>(&QWidget::update));
}

OpenGlVideoView::~OpenGlVideoView()
{
    makeCurrent();
    m_player->releaseRenderer();
    doneCurrent();
}

void OpenGlVideoView::initializeGL()
{
    m_player->initializeOpenGl([](const char *name) {
        return reinterpret_cast<void *>(QOpenGLContext::currentContext()->getProcAddress(name));
    });
}

void OpenGlVideoView::paintGL()
{
    m_player->renderOpenGl(static_cast<int>(defaultFramebufferObject()), size() * devicePixelRatioF());
}

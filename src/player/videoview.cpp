// SPDX-License-Identifier: GPL-3.0-or-later
#include "videoview.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

#include "mpvplayer.h"
#include "openglvideoview.h"

namespace {

const QColor background(32, 32, 32);

} // namespace

VideoView::VideoView(MpvPlayer *player, QWidget *parent)
    : QWidget(parent)
    , m_player(player)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // A click on the video takes the keyboard from a time field, for the player's keys.
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(tr("Video"));
    if (hasFastOpenGl()) {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        m_openGl = new OpenGlVideoView(player, this);
        layout->addWidget(m_openGl);
    } else {
        m_player->initializeSoftware();
        connect(m_player, &MpvPlayer::frameReady, this, &VideoView::drawSoftwareFrame);
    }
}

// Offscreen there is no OpenGL to draw into a widget with. Where OpenGL is
// itself drawn by the processor (Mesa's llvmpipe, as on a virtual display),
// mpv's software renderer costs less than half as much: the widget would
// draw each frame twice, into its framebuffer and then into the window.
// Without a graphics device there is no need to ask, which would load the
// OpenGL driver, some 50 MiB, for nothing.
bool VideoView::hasFastOpenGl()
{
    // The machine's answer does not change: asked once, not by every player made.
    static const bool fast = probeFastOpenGl();
    return fast;
}

bool VideoView::probeFastOpenGl()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen") || !hasGraphicsDevice())
        return false;
    QOpenGLContext context;
    QOffscreenSurface surface;
    if (!context.create())
        return false;
    surface.setFormat(context.format());
    surface.create();
    if (!context.makeCurrent(&surface))
        return false;
    const auto *renderer = reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    const QByteArrayView name(renderer ? renderer : "");
    context.doneCurrent();
    return !name.isEmpty() && !name.contains("llvmpipe") && !name.contains("softpipe")
        && !name.contains("Software Rasterizer");
}

bool VideoView::hasGraphicsDevice()
{
    return !QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("card*"), QStringLiteral("renderD*")},
                                                      QDir::System).isEmpty()
        || QFile::exists(QStringLiteral("/dev/nvidia0"));
}

void VideoView::setMessage(const QString &text)
{
    m_message = text;
    if (m_openGl)
        m_openGl->setVisible(text.isEmpty() && m_still.isNull());
    setAccessibleDescription(text);
    update();
}

void VideoView::setBusy(bool busy)
{
    if (!m_busyBar) {
        m_busyBar = new QProgressBar(this);
        m_busyBar->setRange(0, 0);
        m_busyBar->setTextVisible(false);
        m_busyBar->setFixedSize(160, 8);
        m_busyBar->setAccessibleName(tr("Finding the frame"));
    }
    const QRect bar(QPoint(), m_busyBar->size());
    m_busyBar->move(rect().center() - bar.center());
    m_busyBar->raise();
    m_busyBar->setVisible(busy);
}

bool VideoView::isBusy() const
{
    return m_busyBar && m_busyBar->isVisible();
}

void VideoView::showStill(const QImage &picture)
{
    m_still = picture;
    if (m_openGl)
        m_openGl->setVisible(false);
    update();
}

void VideoView::clearStill()
{
    if (m_still.isNull())
        return;
    m_still = QImage();
    if (m_openGl)
        m_openGl->setVisible(m_message.isEmpty());
    update();
}

// Fitted and centred, as the player draws its frames.
void VideoView::drawStill(QPainter &painter, QRect target) const
{
    painter.fillRect(target, Qt::black);
    QRect fit(QPoint(), m_still.size().scaled(target.size(), Qt::KeepAspectRatio));
    fit.moveCenter(target.center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(fit, m_still);
}

QImage VideoView::frame() const
{
    if (!m_still.isNull()) {
        QImage image(size(), QImage::Format_RGBX8888);
        QPainter painter(&image);
        drawStill(painter, image.rect());
        return image;
    }
    return m_openGl ? m_openGl->grabFramebuffer() : m_frame;
}

VideoView::~VideoView()
{
    if (m_rendering.valid())
        m_rendering.wait();
}

void VideoView::drawSoftwareFrame()
{
    if (m_rendering.valid() && m_rendering.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        m_renderAgain = true;
        return;
    }
    const QSize size = this->size() * devicePixelRatioF();
    if (size.isEmpty())
        return;
    m_renderAgain = false;
    MpvPlayer *const player = m_player;
    m_rendering = std::async(std::launch::async, [this, player, size] {
        QImage image(size, QImage::Format_RGBX8888);
        const bool drawn = player->renderInto(image);
        // Black until mpv has drawn: a new image holds whatever its memory held.
        if (!drawn)
            image.fill(Qt::black);
        // The destructor waits for this, so the view is still there to take it.
        QMetaObject::invokeMethod(this, [this, image, drawn] { takeSoftwareFrame(image, drawn); },
                                  Qt::QueuedConnection);
    });
}

void VideoView::takeSoftwareFrame(const QImage &image, bool drawn)
{
    if (drawn || m_frame.size() != image.size()) {
        m_frame = image;
        update();
    }
    if (m_renderAgain)
        drawSoftwareFrame();
}

void VideoView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_openGl)
        drawSoftwareFrame();
}

void VideoView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_message.isEmpty() && !m_still.isNull()) {
        drawStill(painter, rect());
        return;
    }
    if (m_message.isEmpty() && !m_openGl && !m_frame.isNull()) {
        painter.drawImage(rect(), m_frame);
        return;
    }
    painter.fillRect(rect(), background);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_message);
}

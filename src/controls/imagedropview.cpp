// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagedropview.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QUrl>

namespace {

const QColor imageBackground(32, 32, 32);
constexpr double placeholderInset = 12.0;
constexpr double placeholderCornerRadius = 10.0;

} // namespace

ImageDropView::ImageDropView(QWidget *parent)
    : QWidget(parent)
    , m_placeholderText(tr("Drop a video here"))
{
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ImageDropView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

QImage ImageDropView::image() const
{
    return m_image;
}

void ImageDropView::setPlaceholderText(const QString &text)
{
    m_placeholderText = text;
    update();
}

QString ImageDropView::placeholderText() const
{
    return m_placeholderText;
}

std::optional<QString> ImageDropView::filePath() const
{
    return m_filePath;
}

QSize ImageDropView::sizeHint() const
{
    return {480, 270};
}

QSize ImageDropView::minimumSizeHint() const
{
    return {160, 90};
}

// Only the first entry of a multi-file drag counts; the others are ignored.
std::optional<QString> ImageDropView::draggedFilePath(const QMimeData *mimeData)
{
    if (!mimeData || !mimeData->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = mimeData->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return std::nullopt;
    return urls.constFirst().toLocalFile();
}

bool ImageDropView::isAcceptableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void ImageDropView::acceptOrIgnore(QDragMoveEvent *event) const
{
    const std::optional<QString> path = draggedFilePath(event->mimeData());
    if (path && isAcceptableFile(*path)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ImageDropView::dragEnterEvent(QDragEnterEvent *event)
{
    acceptOrIgnore(event);
}

void ImageDropView::dragMoveEvent(QDragMoveEvent *event)
{
    acceptOrIgnore(event);
}

void ImageDropView::dropEvent(QDropEvent *event)
{
    // No second existence check: the drag was only accepted for an existing file.
    const std::optional<QString> path = draggedFilePath(event->mimeData());
    if (!path) {
        event->ignore();
        return;
    }
    m_filePath = path;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit fileAddedByDragAndDrop(QVariantMap{{userInfoKey, QUrl::fromLocalFile(*path)}});
}

void ImageDropView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_image.isNull())
        paintPlaceholder(painter);
    else
        paintImage(painter);
}

void ImageDropView::paintImage(QPainter &painter) const
{
    painter.fillRect(rect(), imageBackground);
    const QSizeF fitted = QSizeF(m_image.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    QRectF target(QPointF(), fitted);
    target.moveCenter(QRectF(rect()).center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_image);
}

void ImageDropView::paintPlaceholder(QPainter &painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(placeholderInset, placeholderInset, -placeholderInset,
                                                 -placeholderInset);
    const QPen dashed(palette().color(QPalette::Mid), 2.0, Qt::DashLine);
    painter.setPen(dashed);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, placeholderCornerRadius, placeholderCornerRadius);

    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(frame, Qt::AlignCenter | Qt::TextWordWrap, m_placeholderText);
}

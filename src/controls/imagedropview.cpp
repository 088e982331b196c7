// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagedropview.h"

#include <functional>

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPen>
#include <QProgressBar>
#include <QUrl>

#include "controlsaccessibility.h"

namespace {

const QColor imageBackground(32, 32, 32);
constexpr double placeholderInset = 12.0;
constexpr double placeholderCornerRadius = 10.0;
constexpr double frameLineWidth = 2.0;
constexpr double dashLength = 8.0;
constexpr double dashGap = 4.0;

// Dashes along one straight side from `from` to `to`, spread so that both
// ends are alike.
void paintDashes(QPainter &painter, const QColor &colour, double from, double to,
                 const std::function<QRectF(double, double)> &dashAt)
{
    const double length = to - from;
    const int count = static_cast<int>((length + dashGap) / (dashLength + dashGap));
    if (count < 1)
        return;
    const double margin = (length - count * dashLength - (count - 1) * dashGap) / 2.0;
    for (int i = 0; i < count; ++i)
        painter.fillRect(dashAt(from + margin + i * (dashLength + dashGap), dashLength), colour);
}

} // namespace

ImageDropView::ImageDropView(QWidget *parent)
    : QWidget(parent)
    , m_placeholderText(tr("Drop a video here"))
{
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // A click on the picture takes the keyboard from a time field, for the player's keys.
    setFocusPolicy(Qt::ClickFocus);
    ControlsAccessibility::install();
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

void ImageDropView::setBusyText(const QString &text)
{
    m_busyText = text;
    // Made when first needed: most launches never wait on anything.
    if (!m_busyBar && !text.isEmpty()) {
        m_busyBar = new QProgressBar(this);
        m_busyBar->setRange(0, 0);
        m_busyBar->setTextVisible(false);
        m_busyBar->setFixedSize(160, 8);
        placeBusyBar();
    }
    if (m_busyBar) {
        m_busyBar->setAccessibleName(text);
        m_busyBar->setVisible(!text.isEmpty());
    }
    update();
}

void ImageDropView::placeBusyBar()
{
    const QRect bar(QPoint(), m_busyBar->size());
    m_busyBar->move(rect().center() - bar.center() + QPoint(0, 2 * fontMetrics().height()));
}

void ImageDropView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_busyBar)
        placeBusyBar();
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
    if (!m_busyText.isEmpty())
        paintPlaceholder(painter, m_busyText);
    else if (m_image.isNull())
        paintPlaceholder(painter, m_placeholderText);
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

// A dashed pen along a rounded rectangle took about a millisecond of the
// first paint, which every start-up waits for. Square dashes along the sides,
// joined by solid arcs at the corners, look alike for a twentieth of that.
void ImageDropView::paintDashedFrame(QPainter &painter, const QRectF &frame) const
{
    const QColor colour = palette().color(QPalette::Mid);
    const double radius = placeholderCornerRadius;
    const double half = frameLineWidth / 2.0;
    paintDashes(painter, colour, frame.left() + radius, frame.right() - radius, [&](double x, double length) {
        return QRectF(x, frame.top() - half, length, frameLineWidth);
    });
    paintDashes(painter, colour, frame.left() + radius, frame.right() - radius, [&](double x, double length) {
        return QRectF(x, frame.bottom() - half, length, frameLineWidth);
    });
    paintDashes(painter, colour, frame.top() + radius, frame.bottom() - radius, [&](double y, double length) {
        return QRectF(frame.left() - half, y, frameLineWidth, length);
    });
    paintDashes(painter, colour, frame.top() + radius, frame.bottom() - radius, [&](double y, double length) {
        return QRectF(frame.right() - half, y, frameLineWidth, length);
    });

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, frameLineWidth, Qt::SolidLine, Qt::FlatCap));
    const QRectF corner(0.0, 0.0, 2.0 * radius, 2.0 * radius);
    const double right = frame.right() - 2.0 * radius;
    const double bottom = frame.bottom() - 2.0 * radius;
    constexpr int quarter = 90 * 16; // angles count sixteenths of a degree
    painter.drawArc(corner.translated(frame.left(), frame.top()), quarter, quarter);
    painter.drawArc(corner.translated(right, frame.top()), 0, quarter);
    painter.drawArc(corner.translated(right, bottom), 3 * quarter, quarter);
    painter.drawArc(corner.translated(frame.left(), bottom), 2 * quarter, quarter);
    painter.restore();
}

void ImageDropView::paintPlaceholder(QPainter &painter, const QString &text) const
{
    const QRectF frame = QRectF(rect()).adjusted(placeholderInset, placeholderInset, -placeholderInset,
                                                 -placeholderInset);
    paintDashedFrame(painter, frame);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(frame, Qt::AlignCenter | Qt::TextWordWrap, text);
}

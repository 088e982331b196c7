// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QImage>
#include <QSize>
#include <QString>
#include <QVariantMap>
#include <QWidget>

class QMimeData;
class QProgressBar;

// Shows the poster image and takes a file dropped on it from the desktop. The
// view does not open the file: it hands the file's URL on through
// fileAddedByDragAndDrop.
class ImageDropView : public QWidget
{
    Q_OBJECT

public:
    static inline const QString fileAddedNotification = QStringLiteral("FileAddedByDragAnadDrop");
    static inline const QString userInfoKey = QStringLiteral("key");

    explicit ImageDropView(QWidget *parent = nullptr);

    // A null image empties the view, which then shows the placeholder.
    void setImage(const QImage &image);
    QImage image() const;
    void setPlaceholderText(const QString &text);
    QString placeholderText() const;
    // While set, the view says it is busy, with this text and a moving bar,
    // in place of the image or the placeholder.
    void setBusyText(const QString &text);
    QString busyText() const { return m_busyText; }

    // The path of the last accepted drop.
    std::optional<QString> filePath() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // userInfo holds exactly one entry: userInfoKey -> the file's URL.
    void fileAddedByDragAndDrop(const QVariantMap &userInfo);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    static std::optional<QString> draggedFilePath(const QMimeData *mimeData);
    static bool isAcceptableFile(const QString &path);
    void acceptOrIgnore(QDragMoveEvent *event) const;
    void paintImage(QPainter &painter) const;
    void paintPlaceholder(QPainter &painter, const QString &text) const;
    void placeBusyBar();
    void paintDashedFrame(QPainter &painter, const QRectF &frame) const;

    QImage m_image;
    QString m_placeholderText;
    QString m_busyText;
    QProgressBar *m_busyBar = nullptr;
    std::optional<QString> m_filePath;
};

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "imagedropview.h"

namespace {

QString makeFile(const QTemporaryDir &folder, const QString &name)
{
    QFile file(folder.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write("not really a video");
    return file.fileName();
}

// A drag payload with items by name: "folder", "missing" (a local file URL each), "text", any other a file.
std::unique_ptr<QMimeData> payload(const QTemporaryDir &folder, const QStringList &items)
{
    auto mimeData = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString &item : items) {
        if (item == QLatin1String("text"))
            mimeData->setText(makeFile(folder, QStringLiteral("named in text.mov")));
        else if (item == QLatin1String("folder"))
            urls << QUrl::fromLocalFile(folder.path());
        else if (item == QLatin1String("missing"))
            urls << QUrl::fromLocalFile(folder.filePath(QStringLiteral("missing.mov")));
        else
            urls << QUrl::fromLocalFile(makeFile(folder, item + QStringLiteral(".mov")));
    }
    if (!urls.isEmpty())
        mimeData->setUrls(urls);
    return mimeData;
}

bool dragEnterAccepted(ImageDropView &view, const QMimeData &mimeData)
{
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(view.rect().center(), offered, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    QDragMoveEvent move(view.rect().center(), offered, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    if (enter.isAccepted() != move.isAccepted())
        qWarning("enter and move disagree");
    return enter.isAccepted() && move.isAccepted() && enter.dropAction() == Qt::CopyAction;
}

bool dropAccepted(ImageDropView &view, const QMimeData &mimeData)
{
    QDropEvent event(QPointF(view.rect().center()), Qt::CopyAction | Qt::MoveAction, &mimeData, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
    return event.isAccepted();
}

} // namespace

class TestImageDropView : public QObject
{
    Q_OBJECT

private slots:
    void drag_data();
    void drag();
    void letterboxedImage_data();
    void letterboxedImage();

private:
    static void showView(ImageDropView &view, const QSize &size)
    {
        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
};

void TestImageDropView::drag_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<bool>("accepted");

    // Only the first item decides.
    QTest::newRow("a folder") << QStringList{QStringLiteral("folder")} << false;
    QTest::newRow("a missing path") << QStringList{QStringLiteral("missing")} << false;
    QTest::newRow("first of three missing") << QStringList{QStringLiteral("missing"), QStringLiteral("b"),
                                                           QStringLiteral("c")} << false;
    QTest::newRow("a file named in text") << QStringList{QStringLiteral("text")} << false;
    QTest::newRow("first of three a file") << QStringList{QStringLiteral("first clip"), QStringLiteral("missing"),
                                                          QStringLiteral("folder")} << true;
}

void TestImageDropView::drag()
{
    QFETCH(QStringList, items);
    QFETCH(bool, accepted);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const std::unique_ptr<QMimeData> mimeData = payload(folder, items);
    ImageDropView view;
    showView(view, QSize(200, 100));
    QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);

    QCOMPARE(dragEnterAccepted(view, *mimeData), accepted);
    if (!accepted)
        return; // a refused drag is never dropped
    QVERIFY(dropAccepted(view, *mimeData));

    // Posted once, synchronously within the drop, with the one entry "key".
    const QUrl first = mimeData->urls().constFirst();
    QCOMPARE(posted.count(), 1);
    const QVariantMap userInfo = posted.at(0).at(0).toMap();
    QCOMPARE(userInfo.keys(), QStringList{QStringLiteral("key")});
    QCOMPARE(userInfo.value(ImageDropView::userInfoKey).toUrl(), first);
    QCOMPARE(view.filePath(), std::optional<QString>(first.toLocalFile()));
}

void TestImageDropView::letterboxedImage_data()
{
    QTest::addColumn<QSize>("viewSize");
    QTest::addColumn<QSize>("imageSize");
    QTest::addColumn<QRect>("imageArea");   // where the image lands in the view

    QTest::newRow("square in a wide view, scaled up") << QSize(300, 100) << QSize(50, 50) << QRect(100, 0, 100, 100);
    QTest::newRow("wide in a square view, scaled down") << QSize(200, 200) << QSize(800, 400)
                                                        << QRect(0, 50, 200, 100);
}

void TestImageDropView::letterboxedImage()
{
    QFETCH(QSize, viewSize);
    QFETCH(QSize, imageSize);
    QFETCH(QRect, imageArea);

    ImageDropView view;
    showView(view, viewSize);
    QImage image(imageSize, QImage::Format_RGB32);
    image.fill(Qt::red);
    // A blue top-left quarter shows that the picture is neither cropped nor flipped.
    QPainter(&image).fillRect(QRect(QPoint(), imageSize / 2), Qt::blue);
    view.setImage(image);

    const QImage shot = view.grab().toImage();
    const QRect inner = imageArea.adjusted(2, 2, -2, -2);
    QCOMPARE(shot.pixelColor(inner.topLeft()), QColor(Qt::blue));
    QCOMPARE(shot.pixelColor(inner.topRight()), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(inner.bottomRight()), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(inner.center() - QPoint(4, 4)), QColor(Qt::blue));

    // The bars on both sides: the same neutral dark colour.
    const bool barsBeside = imageArea.left() > 0;
    const QPoint before = barsBeside ? QPoint(imageArea.left() - 2, 50) : QPoint(100, imageArea.top() - 2);
    const QPoint after = barsBeside ? QPoint(imageArea.right() + 2, 50) : QPoint(100, imageArea.bottom() + 2);
    const QColor bar = shot.pixelColor(before);
    QCOMPARE(shot.pixelColor(after), bar);
    QVERIFY(bar.red() == bar.green() && bar.green() == bar.blue() && bar.value() < 96);

    // A null image empties the view again.
    view.setImage(QImage());
    QVERIFY(view.grab().toImage().pixelColor(inner.topLeft()) != QColor(Qt::blue));
}

QTEST_MAIN(TestImageDropView)
#include "tst_imagedropview.moc"

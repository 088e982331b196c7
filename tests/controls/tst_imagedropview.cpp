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

class TestImageDropView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void refused_data();
    void refused();
    void firstOfThreeFilesDecidesAndIsPosted();
    void dropDoesNotTestExistenceAgain();
    void letterboxedImage_data();
    void letterboxedImage();
    void nullImageShowsPlaceholder();

private:
    // Drag payloads by name: "file", "folder", "missing" (a local file URL each), "text", "remote".
    std::unique_ptr<QMimeData> payload(const QStringList &items) const;
    QString makeFile(const QString &name) const;
    static void showView(ImageDropView &view, const QSize &size);
    static bool dragEnterAccepted(ImageDropView &view, const QMimeData &mimeData);
    static bool dropAccepted(ImageDropView &view, const QMimeData &mimeData);

    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestImageDropView::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

QString TestImageDropView::makeFile(const QString &name) const
{
    QFile file(m_folder->filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write("not really a video");
    return file.fileName();
}

std::unique_ptr<QMimeData> TestImageDropView::payload(const QStringList &items) const
{
    auto mimeData = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString &item : items) {
        if (item == QLatin1String("text"))
            mimeData->setText(makeFile(QStringLiteral("named in text.mov")));
        else if (item == QLatin1String("remote"))
            urls << QUrl(QStringLiteral("https://example.org/clip.mov"));
        else if (item == QLatin1String("folder"))
            urls << QUrl::fromLocalFile(m_folder->path());
        else if (item == QLatin1String("missing"))
            urls << QUrl::fromLocalFile(m_folder->filePath(QStringLiteral("missing.mov")));
        else
            urls << QUrl::fromLocalFile(makeFile(item + QStringLiteral(".mov")));
    }
    if (!urls.isEmpty() || items.isEmpty())
        mimeData->setUrls(urls);
    return mimeData;
}

void TestImageDropView::showView(ImageDropView &view, const QSize &size)
{
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

bool TestImageDropView::dragEnterAccepted(ImageDropView &view, const QMimeData &mimeData)
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

bool TestImageDropView::dropAccepted(ImageDropView &view, const QMimeData &mimeData)
{
    QDropEvent event(QPointF(view.rect().center()), Qt::CopyAction | Qt::MoveAction, &mimeData, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
    return event.isAccepted();
}

void TestImageDropView::refused_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<bool>("namesNoFile");   // then the drop itself is refused too

    QTest::newRow("a folder") << QStringList{QStringLiteral("folder")} << false;
    QTest::newRow("a missing path") << QStringList{QStringLiteral("missing")} << false;
    QTest::newRow("first of three missing") << QStringList{QStringLiteral("missing"), QStringLiteral("b"),
                                                           QStringLiteral("c")} << false;
    QTest::newRow("text") << QStringList{QStringLiteral("text")} << true;
    QTest::newRow("an empty file list") << QStringList() << true;
    QTest::newRow("a remote URL") << QStringList{QStringLiteral("remote")} << true;
}

void TestImageDropView::refused()
{
    QFETCH(QStringList, items);
    QFETCH(bool, namesNoFile);

    const std::unique_ptr<QMimeData> mimeData = payload(items);
    ImageDropView view;
    showView(view, QSize(200, 100));
    QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);

    QVERIFY(!dragEnterAccepted(view, *mimeData));
    if (namesNoFile)
        QVERIFY(!dropAccepted(view, *mimeData));
    QCOMPARE(posted.count(), 0);
    QVERIFY(!view.filePath());
}

void TestImageDropView::firstOfThreeFilesDecidesAndIsPosted()
{
    const std::unique_ptr<QMimeData> mimeData =
        payload({QStringLiteral("first clip"), QStringLiteral("missing"), QStringLiteral("folder")});
    const QUrl first = mimeData->urls().constFirst();
    ImageDropView view;
    showView(view, QSize(200, 100));
    QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);

    QVERIFY(dragEnterAccepted(view, *mimeData));
    QVERIFY(dropAccepted(view, *mimeData));

    // Posted once, synchronously within the drop, with the one entry "key".
    QCOMPARE(posted.count(), 1);
    const QVariantMap userInfo = posted.at(0).at(0).toMap();
    QCOMPARE(userInfo.keys(), QStringList{QStringLiteral("key")});
    QCOMPARE(userInfo.value(ImageDropView::userInfoKey).toUrl(), first);
    QCOMPARE(view.filePath(), std::optional<QString>(first.toLocalFile()));
    QCOMPARE(ImageDropView::fileAddedNotification, QStringLiteral("FileAddedByDragAnadDrop"));
}

void TestImageDropView::dropDoesNotTestExistenceAgain()
{
    const std::unique_ptr<QMimeData> mimeData = payload({QStringLiteral("clip")});
    ImageDropView view;
    showView(view, QSize(200, 100));
    QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);

    QVERIFY(dragEnterAccepted(view, *mimeData));
    QVERIFY(QFile::remove(mimeData->urls().constFirst().toLocalFile()));
    QVERIFY(dropAccepted(view, *mimeData));
    QCOMPARE(posted.count(), 1);
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
}

void TestImageDropView::nullImageShowsPlaceholder()
{
    ImageDropView view;
    showView(view, QSize(300, 200));
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::red);
    view.setImage(image);
    view.setImage(QImage());
    QVERIFY(view.image().isNull());

    const QImage shot = view.grab().toImage();
    QVERIFY(shot.pixelColor(150, 100) != QColor(Qt::red));
    // The dashed frame runs along the view's edges, inset; between its dashes the background shows.
    QSet<QRgb> alongTheFrame;
    for (int x = 20; x < 280; ++x)
        alongTheFrame.insert(shot.pixel(x, 12));
    QVERIFY(alongTheFrame.size() > 1);
    QVERIFY(alongTheFrame.contains(shot.pixel(150, 4)));
}

QTEST_MAIN(TestImageDropView)
#include "tst_imagedropview.moc"

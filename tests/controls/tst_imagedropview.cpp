#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
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

// How the drag's payload is made for one case.
enum class Payload { files, text, emptyUrlList, remoteUrl };

QString makeFile(const QTemporaryDir &folder, const QString &name)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("not really a video");
    return path;
}

std::unique_ptr<QMimeData> filesPayload(const QStringList &paths)
{
    auto mimeData = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    mimeData->setUrls(urls);
    return mimeData;
}

struct DragResult
{
    bool enterAccepted = false;
    bool moveAccepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

DragResult dragOver(ImageDropView &view, const QMimeData *mimeData)
{
    const QPoint centre = view.rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, mimeData, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    QDragMoveEvent move(centre, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, mimeData, Qt::LeftButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    return {enter.isAccepted(), move.isAccepted(), enter.dropAction()};
}

bool drop(ImageDropView &view, const QMimeData *mimeData)
{
    QDropEvent event(QPointF(view.rect().center()), Qt::CopyAction | Qt::MoveAction, mimeData, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
    return event.isAccepted();
}

} // namespace

class TestImageDropView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void refusedDrags_data();
    void refusedDrags();
    void dropsNamingNoFile_data();
    void dropsNamingNoFile();
    void firstOfSeveralFilesDecidesAndIsPosted();
    void dropDoesNotTestExistenceAgain();
    void letterboxedImage_data();
    void letterboxedImage();
    void nullImageShowsPlaceholder();

private:
    void showView(ImageDropView &view, const QSize &size = QSize(300, 200));

    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestImageDropView::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void TestImageDropView::showView(ImageDropView &view, const QSize &size)
{
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

void TestImageDropView::refusedDrags_data()
{
    QTest::addColumn<Payload>("payload");
    QTest::addColumn<QStringList>("names");   // files in the drag, in order; "-" a folder, "?" missing

    QTest::newRow("a folder") << Payload::files << QStringList{QStringLiteral("-")};
    QTest::newRow("a missing path") << Payload::files << QStringList{QStringLiteral("?")};
    QTest::newRow("text") << Payload::text << QStringList();
    QTest::newRow("an empty file list") << Payload::emptyUrlList << QStringList();
    QTest::newRow("a remote URL") << Payload::remoteUrl << QStringList();
    QTest::newRow("first of three missing") << Payload::files
                                            << QStringList{QStringLiteral("?"), QStringLiteral("b.mov"),
                                                           QStringLiteral("c.mov")};
    QTest::newRow("first of three a folder") << Payload::files
                                             << QStringList{QStringLiteral("-"), QStringLiteral("b.mov"),
                                                            QStringLiteral("c.mov")};
}

void TestImageDropView::refusedDrags()
{
    QFETCH(Payload, payload);
    QFETCH(QStringList, names);

    std::unique_ptr<QMimeData> mimeData;
    switch (payload) {
    case Payload::files: {
        QStringList paths;
        for (const QString &name : names) {
            if (name == QLatin1String("-"))
                paths << m_folder->path();
            else if (name == QLatin1String("?"))
                paths << m_folder->filePath(QStringLiteral("missing.mov"));
            else
                paths << makeFile(*m_folder, name);
        }
        mimeData = filesPayload(paths);
        break;
    }
    case Payload::text:
        mimeData = std::make_unique<QMimeData>();
        mimeData->setText(makeFile(*m_folder, QStringLiteral("named.mov")));
        break;
    case Payload::emptyUrlList:
        mimeData = filesPayload({});
        break;
    case Payload::remoteUrl:
        mimeData = std::make_unique<QMimeData>();
        mimeData->setUrls({QUrl(QStringLiteral("https://example.org/clip.mov"))});
        break;
    }

    ImageDropView view;
    showView(view);
    QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);

    const DragResult result = dragOver(view, mimeData.get());
    QVERIFY(!result.enterAccepted);
    QVERIFY(!result.moveAccepted);
    QCOMPARE(posted.count(), 0);
    QCOMPARE(view.filePath(), std::optional<QString>());
}

void TestImageDropView::dropsNamingNoFile_data()
{
    QTest::addColumn<Payload>("payload");

    QTest::newRow("text") << Payload::text;
    QTest::newRow("an empty file list") << Payload::emptyUrlList;
    QTest::newRow("a remote URL") << Payload::remoteUrl;
}

void TestImageDropView::dropsNamingNoFile()
{
    QFETCH(Payload, payload);

    QMimeData mimeData;
    if (payload == Payload::text)
        mimeData.setText(makeFile(*m_folder, QStringLiteral("named.mov")));
    else if (payload == Payload::remoteUrl)
        mimeData.setUrls({QUrl(QStringLiteral("https://example.org/clip.mov"))});
    else
        mimeData.setUrls({});

    ImageDropView view;
    showView(view);
    QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);

    QVERIFY(!drop(view, &mimeData));
    QCOMPARE(posted.count(), 0);
    QCOMPARE(view.filePath(), std::optional<QString>());
}

void TestImageDropView::firstOfSeveralFilesDecidesAndIsPosted()
{
    const QString first = makeFile(*m_folder, QStringLiteral("first clip.mov"));
    const QString missing = m_folder->filePath(QStringLiteral("missing.mov"));
    const std::unique_ptr<QMimeData> mimeData = filesPayload({first, missing, m_folder->path()});

    ImageDropView view;
    showView(view);
    QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);

    const DragResult result = dragOver(view, mimeData.get());
    QVERIFY(result.enterAccepted);
    QVERIFY(result.moveAccepted);
    QCOMPARE(result.action, Qt::CopyAction);
    QCOMPARE(posted.count(), 0);

    QVERIFY(drop(view, mimeData.get()));
    // Posted synchronously, within the drop.
    QCOMPARE(posted.count(), 1);
    const QVariantMap userInfo = posted.at(0).at(0).toMap();
    QCOMPARE(userInfo.size(), 1);
    QCOMPARE(userInfo.firstKey(), QStringLiteral("key"));
    QCOMPARE(userInfo.value(ImageDropView::userInfoKey).toUrl(), QUrl::fromLocalFile(first));
    QCOMPARE(view.filePath(), std::optional<QString>(first));
    QCOMPARE(ImageDropView::fileAddedNotification, QStringLiteral("FileAddedByDragAnadDrop"));
}

void TestImageDropView::dropDoesNotTestExistenceAgain()
{
    const QString path = makeFile(*m_folder, QStringLiteral("clip.mp4"));
    const std::unique_ptr<QMimeData> mimeData = filesPayload({path});
    ImageDropView view;
    showView(view);
    QSignalSpy posted(&view, &ImageDropView::fileAddedByDragAndDrop);

    QVERIFY(dragOver(view, mimeData.get()).enterAccepted);
    QVERIFY(QFile::remove(path));
    QVERIFY(drop(view, mimeData.get()));

    QCOMPARE(posted.count(), 1);
    QCOMPARE(posted.at(0).at(0).toMap().value(ImageDropView::userInfoKey).toUrl(), QUrl::fromLocalFile(path));
}

void TestImageDropView::letterboxedImage_data()
{
    QTest::addColumn<QSize>("viewSize");
    QTest::addColumn<QSize>("imageSize");
    QTest::addColumn<QRect>("imageArea");   // where the image lands in the view

    QTest::newRow("square image in a wide view, bars left and right") << QSize(300, 100) << QSize(50, 50) << QRect(100, 0, 100, 100);
    QTest::newRow("wide image, bars above and below") << QSize(300, 300) << QSize(200, 50)
                                                      << QRect(0, 112, 300, 75);
    QTest::newRow("larger image scaled down") << QSize(200, 200) << QSize(800, 400) << QRect(0, 50, 200, 100);
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
    // A blue top-left quarter shows that the picture is not cropped or flipped.
    QPainter(&image).fillRect(QRect(QPoint(), imageSize / 2), Qt::blue);
    view.setImage(image);
    QCOMPARE(view.image(), image);

    const QImage shot = view.grab().toImage();
    const auto colorAt = [&shot](int x, int y) { return shot.pixelColor(x, y); };
    const QRect inner = imageArea.adjusted(2, 2, -2, -2);
    QCOMPARE(colorAt(inner.left(), inner.top()), QColor(Qt::blue));
    QCOMPARE(colorAt(inner.right(), inner.bottom()), QColor(Qt::red));
    QCOMPARE(colorAt(inner.right(), inner.top()), QColor(Qt::red));

    // Outside the image: the same neutral dark background on either side.
    const QPoint before = imageArea.left() > 0 ? QPoint(imageArea.left() - 2, imageArea.center().y())
                                               : QPoint(imageArea.center().x(), imageArea.top() - 2);
    const QPoint after = imageArea.left() > 0 ? QPoint(imageArea.right() + 2, imageArea.center().y())
                                              : QPoint(imageArea.center().x(), imageArea.bottom() + 2);
    if (imageArea.size() != viewSize) {
        const QColor background = colorAt(before.x(), before.y());
        QCOMPARE(colorAt(after.x(), after.y()), background);
        QVERIFY(background.red() == background.green() && background.green() == background.blue());
        QVERIFY(background.value() < 96);
    }
}

void TestImageDropView::nullImageShowsPlaceholder()
{
    ImageDropView view;
    showView(view);
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::red);
    view.setImage(image);
    QCOMPARE(view.grab().toImage().pixelColor(150, 100), QColor(Qt::red));

    view.setImage(QImage());
    QVERIFY(view.image().isNull());
    const QImage shot = view.grab().toImage();
    const QColor middle = shot.pixelColor(150, 100);
    QVERIFY(middle != QColor(Qt::red));
    // The placeholder's dashed frame and text leave more than one colour in the picture.
    bool varied = false;
    for (int y = 0; y < shot.height() && !varied; ++y) {
        for (int x = 0; x < shot.width() && !varied; ++x)
            varied = shot.pixelColor(x, y) != shot.pixelColor(0, 0);
    }
    QVERIFY(varied);
}

QTEST_MAIN(TestImageDropView)
#include "tst_imagedropview.moc"

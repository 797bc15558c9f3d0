#include <QtTest>
#include <QImageReader>
#include <QResource>

// The application icon as the program carries it in Qt's resource system.
class TestAppIcon : public QObject
{
    Q_OBJECT

private slots:
    void isStoredCompressedAtItsPath();
    void holdsBothSizesWithTransparentCorners();
    void themeImagesAreTheIconEnlarged_data();
    void themeImagesAreTheIconEnlarged();
};

namespace {

const char IconPath[] = ":/images/resources/AppIcon.ico";

}

void TestAppIcon::isStoredCompressedAtItsPath()
{
    QFile stored(IconPath);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QFile source(qEnvironmentVariable("APP_ICON_FILE"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), source.readAll());
    QVERIFY(QResource(IconPath).compressionAlgorithm() != QResource::NoCompression);
}

// Each image is read back the way Qt reads it for a window icon. The mask
// must leave the corners around the rounded box transparent and the box
// itself opaque; an inverted or misaligned mask fails here.
void TestAppIcon::holdsBothSizesWithTransparentCorners()
{
    QImageReader reader(IconPath);
    QCOMPARE(reader.format(), QByteArray("ico"));
    QCOMPARE(reader.imageCount(), 2);

    QList<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        sizes << image.width();

        QVERIFY(image.hasAlphaChannel());
        const int last = image.width() - 1;
        for (const QPoint corner : { QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last) })
            QCOMPARE(qAlpha(image.pixel(corner)), 0);
        QCOMPARE(qAlpha(image.pixel(last / 2, last / 2)), 255);
    }
    QCOMPARE(sizes, QList<int>({ 32, 16 }));
}

void TestAppIcon::themeImagesAreTheIconEnlarged_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("iconImage");

    QTest::newRow("16") << 16 << 1;
    QTest::newRow("32") << 32 << 0;
    QTest::newRow("48 from 16") << 48 << 1;
    QTest::newRow("64 from 32") << 64 << 0;
    QTest::newRow("128 from 32") << 128 << 0;
    QTest::newRow("256 from 32") << 256 << 0;
}

// Each theme image must be the window icon's drawing with every pixel
// repeated, transparency included.
void TestAppIcon::themeImagesAreTheIconEnlarged()
{
    QFETCH(int, size);
    QFETCH(int, iconImage);
    const QString path = QString("%1/%2x%2/apps/zorvel-custom-config.png")
                             .arg(qEnvironmentVariable("HICOLOR_DIR"))
                             .arg(size);
    QImageReader png(path);
    QCOMPARE(png.format(), QByteArray("png"));
    const QImage image = png.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(image.size(), QSize(size, size));

    QImageReader ico(IconPath);
    QVERIFY(ico.jumpToImage(iconImage));
    const QImage drawing = ico.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(image, drawing.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

QTEST_GUILESS_MAIN(TestAppIcon)
#include "tst_appicon.moc"

// The picture cache lends the memory of pictures it dropped to the next
// decode: what is drawn must always be the file's current contents, and a
// copy someone still holds must never be written over.
#include "label/label_document.h"
#include "render/label_renderer.h"
#include "render/picture_cache.h"

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>
#include <vector>

namespace {

QImage Solid(const QSize& aSize, QRgb aColor)
{
    QImage image(aSize, QImage::Format_RGB32);
    image.fill(aColor);
    return image;
}

// Saves over aPath and gives it a modification time of its own, for file
// systems that keep whole seconds.
bool SaveOver(const QString& aPath, const QImage& aImage, int aStep)
{
    if (!aImage.save(aPath, nullptr, 95))
        return false;
    QFile file(aPath);
    return file.open(QIODevice::ReadWrite)
           && file.setFileTime(QDateTime::currentDateTime().addSecs(aStep), QFileDevice::FileModificationTime);
}

bool Near(QRgb a, QRgb b, int aTolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= aTolerance && std::abs(qGreen(a) - qGreen(b)) <= aTolerance
           && std::abs(qBlue(a) - qBlue(b)) <= aTolerance;
}

}  // namespace

class TstPictureCache : public QObject
{
    Q_OBJECT

private slots:
    void replacedPhotoShowsItsOwnPixels_data();
    void replacedPhotoShowsItsOwnPixels();
    void heldCopyIsNeverReused();
    void recycledHasTheAskedShape();
    void sharedBetweenThreadsDecodesOnce();
    void derivedIsMadeOnceAndKept();
    void textureMargin_data();
    void textureMargin();

private:
    QTemporaryDir FDir;
};

void TstPictureCache::replacedPhotoShowsItsOwnPixels_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QSize>("secondSize");
    QTest::newRow("JPEG saved over with the same size") << "jpg" << QSize(1800, 1200);
    QTest::newRow("JPEG saved over with another size") << "jpg" << QSize(1500, 1300);
    QTest::newRow("PNG saved over with the same size") << "png" << QSize(1800, 1200);
}

// Each version is drawn whole: a decode into the memory of the version
// before must leave none of it behind.
void TstPictureCache::replacedPhotoShowsItsOwnPixels()
{
    QFETCH(QString, suffix);
    QFETCH(QSize, secondSize);
    const QString path = FDir.filePath(QStringLiteral("photo.") + suffix);
    QVERIFY(SaveOver(path, Solid(QSize(1800, 1200), qRgb(200, 30, 30)), 0));
    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = path;
    doc.FLabelBg.Effect = 0;
    doc.FLabelBg.Trans = 0;
    TLabelRenderer renderer;
    renderer.SetLabelSize(1);
    const QList<QRgb> colors = {qRgb(30, 30, 200), qRgb(30, 200, 30), qRgb(200, 200, 30)};
    renderer.DrawLabel(doc);
    for (int i = 0; i < colors.size(); ++i) {
        // Alternating sizes when they differ, so both reuse and new memory occur.
        const QSize size = i % 2 == 0 ? secondSize : QSize(1800, 1200);
        QVERIFY(SaveOver(path, Solid(size, colors[i]), 10 * (i + 1)));
        renderer.DrawLabel(doc);
        QCOMPARE(renderer.Pictures().DecodeCount(), i + 2);
        for (const QPoint at : {QPoint(600, 600), QPoint(300, 900), QPoint(900, 200)})
            QVERIFY2(Near(renderer.Raster().pixel(at), colors[i], 3),
                     qPrintable(QStringLiteral("version %1 at (%2, %3): %4")
                                    .arg(i + 2)
                                    .arg(at.x())
                                    .arg(at.y())
                                    .arg(renderer.Raster().pixel(at), 8, 16)));
    }
}

void TstPictureCache::heldCopyIsNeverReused()
{
    const QString path = FDir.filePath(QStringLiteral("held.jpg"));
    QVERIFY(SaveOver(path, Solid(QSize(800, 600), qRgb(200, 30, 30)), 0));
    TPictureCache cache;
    const QImage held = cache.Picture(path).Image;
    QVERIFY(Near(held.pixel(400, 300), qRgb(200, 30, 30), 3));
    QVERIFY(SaveOver(path, Solid(QSize(800, 600), qRgb(30, 30, 200)), 10));
    const QImage current = cache.Picture(path).Image;
    QVERIFY(Near(current.pixel(400, 300), qRgb(30, 30, 200), 3));
    QVERIFY(current.constBits() != held.constBits());
    QVERIFY(Near(held.pixel(400, 300), qRgb(200, 30, 30), 3));
}

void TstPictureCache::recycledHasTheAskedShape()
{
    const QString path = FDir.filePath(QStringLiteral("shape.png"));
    QVERIFY(SaveOver(path, Solid(QSize(300, 200), qRgb(10, 20, 30)), 0));
    TPictureCache cache;
    QVERIFY(!cache.Picture(path).IsNull());
    QVERIFY(SaveOver(path, Solid(QSize(300, 200), qRgb(40, 50, 60)), 10));
    QVERIFY(!cache.Picture(path).IsNull());  // drops the first version
    for (const QSize size : {QSize(300, 200), QSize(200, 300), QSize(17, 5)}) {
        const QImage image = cache.Recycled(size, QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(image.size(), size);
        QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    }
    cache.ReleaseRecycled();
    QCOMPARE(cache.Recycled(QSize(4, 4), QImage::Format_RGB32).size(), QSize(4, 4));
}

// Renderers on several threads sharing one cache: the photo and the middle
// picture are decoded once for all of them, and every raster is the same.
void TstPictureCache::sharedBetweenThreadsDecodesOnce()
{
    const QString photo = FDir.filePath(QStringLiteral("shared.jpg"));
    QVERIFY(SaveOver(photo, Solid(QSize(2400, 1600), qRgb(30, 120, 200)), 0));
    const QString middle = FDir.filePath(QStringLiteral("shared.png"));
    QVERIFY(Solid(QSize(300, 100), qRgb(250, 20, 20)).save(middle));
    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = photo;
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = middle;
    const auto cache = std::make_shared<TPictureCache>();
    constexpr int Threads = 4;
    constexpr int Passes = 5;
    QList<QImage> rasters(Threads);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            TLabelRenderer renderer(cache);
            renderer.SetLabelSize(0);
            for (int i = 0; i < Passes; ++i)
                renderer.DrawLabel(doc);
            rasters[t] = renderer.Raster().copy();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    QCOMPARE(cache->DecodeCount(), 2);
    for (int t = 1; t < Threads; ++t)
        QVERIFY(rasters[t] == rasters[0]);
    TLabelRenderer alone;
    alone.SetLabelSize(0);
    alone.DrawLabel(doc);
    QVERIFY(alone.Raster() == rasters[0]);
}

// A warm pass reuses what the last one derived: the very same image, so a PDF
// of many labels embeds the photo once.
void TstPictureCache::derivedIsMadeOnceAndKept()
{
    const QString path = FDir.filePath(QStringLiteral("derived.png"));
    QVERIFY(SaveOver(path, Solid(QSize(30, 20), qRgb(10, 20, 30)), 0));
    TPictureCache cache;
    int made = 0;
    const auto make = [&] {
        ++made;
        return Solid(QSize(3, 2), qRgb(1, 2, 3));
    };
    const QImage first = cache.Derived(path, QStringLiteral("key"), make);
    const QImage second = cache.Derived(path, QStringLiteral("key"), make);
    QCOMPARE(made, 1);
    QVERIFY(!first.isNull());
    QCOMPARE(second.cacheKey(), first.cacheKey());
    QCOMPARE(cache.Derived(path, QStringLiteral("key")).cacheKey(), first.cacheKey());
}

// A texture reaching past the label square for the bleed: inside the label
// circle pixel for pixel the texture without margin; in the margin never
// white, the photo continued or its edge repeated.
void TstPictureCache::textureMargin_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<int>("effect");
    QTest::addColumn<int>("transparency");
    QTest::newRow("reduced, from the corner") << "jpg" << QSize(1600, 1200) << QPoint(0, 0) << 0 << 0;
    QTest::newRow("reduced, moved in, sepia") << "jpg" << QSize(1600, 1200) << QPoint(200, 40) << 1 << 0;
    QTest::newRow("enlarged, half transparent") << "png" << QSize(300, 200) << QPoint(30, 0) << 2 << 50;
    QTest::newRow("moved past the photo's right edge") << "png" << QSize(900, 600) << QPoint(600, 0) << 0 << 0;
    QTest::newRow("moved wholly off the photo") << "png" << QSize(900, 600) << QPoint(-5000, 9000) << 0 << 0;
}

void TstPictureCache::textureMargin()
{
    QFETCH(QString, suffix);
    QFETCH(QSize, photo);
    QFETCH(QPoint, position);
    QFETCH(int, effect);
    QFETCH(int, transparency);
    // Colours far from white, each pixel its own.
    QImage image(photo, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 % 160, y * 5 % 160, (x + y) % 160));
    const QString path = FDir.filePath(QStringLiteral("margin.") + suffix);
    QVERIFY(SaveOver(path, image, 0));
    constexpr int Width = 750;
    constexpr int Margin = 40;
    TPictureCache cache;
    TTextureRequest request{Width, 0, effect, transparency, position, 0};
    const TTexture plain = cache.Texture(path, request);
    request.Margin = Margin;
    const TTexture wide = cache.Texture(path, request);
    QVERIFY(!plain.Image.isNull() && !wide.Image.isNull());
    QCOMPARE(wide.Image.size(), QSize(Width + 2 * Margin, Width + 2 * Margin));
    QCOMPARE(cache.DecodeCount(), 1);
    const QList<TRowSpan> rows = LabelCircleRows(Width);
    for (int y = 0; y < Width; ++y) {
        for (int x = rows[y].first; x < rows[y].second; ++x) {
            if (plain.Image.pixel(x, y) != wide.Image.pixel(x + Margin, y + Margin))
                QFAIL(qPrintable(QStringLiteral("differs at %1, %2").arg(x).arg(y)));
        }
    }
    const QRgb white = qRgb(255, 255, 255);
    for (const QPoint& corner : {QPoint(0, 0), QPoint(Width + 2 * Margin - 1, 0), QPoint(0, Width + Margin),
                                 QPoint(Width + Margin, Width + 2 * Margin - 1)})
        QVERIFY2(wide.Image.pixel(corner) != white, qPrintable(QStringLiteral("%1, %2").arg(corner.x()).arg(corner.y())));
}

QTEST_MAIN(TstPictureCache)
#include "tst_picture_cache.moc"

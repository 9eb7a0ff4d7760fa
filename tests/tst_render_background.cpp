// The background step: colour, photo scaling and crop, colour effects and
// transparency, and photos that cannot be used.
#include "label/label_document.h"
#include "render/label_renderer.h"
#include "tst_render_support.h"

#include <QtTest>

#include <climits>
#include <cmath>

namespace {

// The colour of grid cell (aX, aY) of a test photo.
QRgb CellColor(int aX, int aY)
{
    return qRgb(20 + 40 * aX, 20 + 40 * aY, 128);
}

// A photo of aSize in cells of aCell pixels, each cell its own colour, so the
// raster tells which part of the photo it shows.
QImage GridPhoto(const QSize& aSize, int aCell)
{
    QImage image(aSize, QImage::Format_RGB32);
    for (int y = 0; y < aSize.height(); ++y)
        for (int x = 0; x < aSize.width(); ++x)
            image.setPixel(x, y, CellColor(x / aCell, y / aCell));
    return image;
}

// A label with every ring off and the given background; texts stay empty.
TLabelDocument PhotoDocument(const QString& aPhoto)
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = aPhoto;
    doc.FLabelBg.Color = 0x00FF8000;  // a blue that no test photo contains
    return doc;
}

QRgb CentreOf(const TLabelRenderer& aRenderer)
{
    return aRenderer.FBmp.pixel(aRenderer.FBmp.width() / 2, aRenderer.FBmp.height() / 2);
}

}  // namespace

class TstRenderBackground : public QObject
{
    Q_OBJECT

private slots:
    void colourIgnoresEffectAndTransparency();
    void downsampleSizes_data();
    void downsampleSizes();
    void photoCrop_data();
    void photoCrop();
    void photoPixelsLandOnRasterPixels();
    void effects_data();
    void effects();
    void unusablePhotoKeepsColour_data();
    void unusablePhotoKeepsColour();

private:
    QTemporaryDir FDir;
};

void TstRenderBackground::colourIgnoresEffectAndTransparency()
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x00336699;
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.Trans = 50;
    for (int item = 0; item < 3; ++item) {
        TLabelRenderer renderer;
        renderer.SetLabelSize(item);
        renderer.DrawLabel(doc);
        QCOMPARE(CentreOf(renderer), qRgb(0x99, 0x66, 0x33));
        const int w = renderer.FBmp.width();
        QCOMPARE(renderer.FBmp.pixel(20, w / 2), qRgb(0x99, 0x66, 0x33));
        QCOMPARE(renderer.FBmp.pixel(0, 0), White);
        QCOMPARE(renderer.FBmp.pixel(w - 1, w - 1), White);
    }
}

void TstRenderBackground::downsampleSizes_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<int>("width");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("landscape 3000x2000 to 1200") << QSize(3000, 2000) << 1200 << QSize(1800, 1200);
    QTest::newRow("portrait 1000x2000 to 750") << QSize(1000, 2000) << 750 << QSize(750, 1500);
    QTest::newRow("square to 1650") << QSize(500, 500) << 1650 << QSize(1650, 1650);
    QTest::newRow("small photo enlarged") << QSize(600, 400) << 1200 << QSize(1800, 1200);
    QTest::newRow("landscape tie rounds to even (2.5)") << QSize(5, 2) << 1 << QSize(2, 1);
    QTest::newRow("landscape tie rounds to even (3.5)") << QSize(7, 2) << 1 << QSize(4, 1);
    QTest::newRow("portrait tie rounds to even") << QSize(2, 5) << 1 << QSize(1, 2);
    QTest::newRow("12 MP photo to 1650") << QSize(4000, 3000) << 1650 << QSize(2200, 1650);
}

void TstRenderBackground::downsampleSizes()
{
    QFETCH(QSize, source);
    QFETCH(int, width);
    QFETCH(QSize, expected);
    QImage image(source, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QImage scaled = TLabelRenderer::gdi_Downsample(image, width);
    QCOMPARE(scaled.size(), expected);
    QCOMPARE(scaled.format(), QImage::Format_RGB32);
    QVERIFY(TLabelRenderer::gdi_Downsample(QImage(), width).isNull());
}

void TstRenderBackground::photoCrop_data()
{
    QTest::addColumn<QSize>("photoSize");
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<QPoint>("crop");
    QTest::addColumn<double>("scale");     // scaled photo pixels per photo pixel
    QTest::addColumn<double>("keepAway");  // skip samples this close to a cell edge
    QTest::addColumn<int>("tolerance");

    QTest::newRow("3000x2000 on 1200 shows the left square")
        << QSize(3000, 2000) << 500 << "png" << 1 << QPoint(0, 0) << 0.6 << 0.0 << 3;
    QTest::newRow("3000x2000 on 1200 moved right by 300")
        << QSize(3000, 2000) << 500 << "png" << 1 << QPoint(300, 0) << 0.6 << 0.0 << 3;
    QTest::newRow("1000x2000 on 750 shows the top square")
        << QSize(1000, 2000) << 250 << "png" << 0 << QPoint(0, 0) << 0.75 << 2.0 << 3;
    QTest::newRow("1000x2000 JPEG on 750 shows the top square")
        << QSize(1000, 2000) << 250 << "jpg" << 0 << QPoint(0, 0) << 0.75 << 4.0 << 8;
    QTest::newRow("600x400 enlarged on 1200") << QSize(600, 400) << 100 << "png" << 1 << QPoint(0, 0) << 3.0 << 3.0 << 3;
    QTest::newRow("square photo on 1650") << QSize(800, 800) << 100 << "png" << 2 << QPoint(0, 0) << 2.0625 << 3.0 << 3;
    QTest::newRow("crop starting left of and above the photo")
        << QSize(3000, 2000) << 500 << "png" << 1 << QPoint(-100, -50) << 0.6 << 0.0 << 3;
    QTest::newRow("crop reaching past the photo's right edge")
        << QSize(3000, 2000) << 500 << "png" << 1 << QPoint(1000, 0) << 0.6 << 0.0 << 3;
    QTest::newRow("crop far outside the photo")
        << QSize(3000, 2000) << 500 << "png" << 1 << QPoint(100000, 100000) << 0.6 << 0.0 << 3;
    QTest::newRow("crop at the limits of the integers")
        << QSize(600, 400) << 100 << "png" << 0 << QPoint(INT_MIN, INT_MAX) << 1.875 << 0.0 << 3;
}

// Raster pixel (x, y) inside the circle shows pixel (crop + (x, y)) of the
// scaled photo, or stays white where that lies outside the scaled photo.
void TstRenderBackground::photoCrop()
{
    QFETCH(QSize, photoSize);
    QFETCH(int, cell);
    QFETCH(QString, format);
    QFETCH(int, sizeItem);
    QFETCH(QPoint, crop);
    QFETCH(double, scale);
    QFETCH(double, keepAway);
    QFETCH(int, tolerance);

    const QString path = FDir.filePath(QStringLiteral("grid.") + format);
    QVERIFY(GridPhoto(photoSize, cell).save(path, nullptr, 100));
    TLabelDocument doc = PhotoDocument(path);
    doc.FLabelBg.BgPosX = crop.x();
    doc.FLabelBg.BgPosY = crop.y();
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    renderer.DrawLabel(doc);
    const QImage& raster = renderer.FBmp;
    const int w = raster.width();
    const double centre = w / 2 + 0.5;
    const double scaledCell = cell * scale;
    const QSizeF scaledSize = QSizeF(photoSize) * scale;

    int photoSamples = 0;
    for (int y = 0; y < w; y += 7) {
        for (int x = 0; x < w; x += 7) {
            const double rho = std::hypot(x + 0.5 - centre, y + 0.5 - centre);
            if (rho > (w - 2) / 2.0 - 2)
                continue;  // outside the circle or on its anti-aliased edge
            // The scaled photo's pixels this raster pixel covers.
            const double sx = double(crop.x()) + x;
            const double sy = double(crop.y()) + y;
            QRgb expected = White;
            if (sx >= 0 && sy >= 0 && sx + 1 <= scaledSize.width() && sy + 1 <= scaledSize.height()) {
                // Only pixels well inside one cell of the scaled photo are judged.
                auto inside = [&](double aFrom) {
                    const double start = std::floor(aFrom / scaledCell) * scaledCell;
                    return aFrom - start >= keepAway && start + scaledCell - (aFrom + 1) >= keepAway - 1e-9;
                };
                if (!inside(sx) || !inside(sy))
                    continue;
                expected = CellColor(int(sx / scaledCell), int(sy / scaledCell));
                ++photoSamples;
            } else if (sx > -1 && sy > -1 && sx < scaledSize.width() && sy < scaledSize.height()) {
                continue;  // straddles the photo's edge
            }
            const QRgb actual = raster.pixel(x, y);
            QVERIFY2(Near(actual, expected, tolerance),
                     qPrintable(QStringLiteral("pixel (%1, %2): %3, expected %4")
                                    .arg(x)
                                    .arg(y)
                                    .arg(Describe(actual), Describe(expected))));
        }
    }
    if (std::abs(double(crop.x())) < 10000 && std::abs(double(crop.y())) < 10000)
        QVERIFY(photoSamples > 100);
}

// The texture starts at the raster's origin, unfiltered: a cell edge of the
// scaled photo at x = 300 falls exactly between raster pixels 299 and 300.
void TstRenderBackground::photoPixelsLandOnRasterPixels()
{
    const QString path = FDir.filePath(QStringLiteral("edges.png"));
    QVERIFY(GridPhoto(QSize(3000, 2000), 500).save(path));
    TLabelRenderer renderer;
    renderer.DrawLabel(PhotoDocument(path));
    // Qt's smooth scaling bleeds a level or two across the edge.
    auto check = [&](int aX, int aY, QRgb aExpected) {
        const QRgb actual = renderer.FBmp.pixel(aX, aY);
        QVERIFY2(Near(actual, aExpected, 2), qPrintable(QStringLiteral("(%1, %2): %3, expected %4")
                                                            .arg(aX).arg(aY).arg(Describe(actual), Describe(aExpected))));
    };
    for (int edge : {300, 600, 900}) {
        check(edge - 1, 450, CellColor(edge / 300 - 1, 1));
        check(edge, 450, CellColor(edge / 300, 1));
        check(450, edge - 1, CellColor(1, edge / 300 - 1));
        check(450, edge, CellColor(1, edge / 300));
    }
}

void TstRenderBackground::effects_data()
{
    QTest::addColumn<QRgb>("photoColor");  // straight ARGB
    QTest::addColumn<int>("effect");
    QTest::addColumn<int>("trans");
    QTest::addColumn<QRgb>("expected");  // over the white raster
    QTest::addColumn<int>("tolerance");

    QTest::newRow("no effect") << qRgb(200, 100, 50) << 0 << 0 << qRgb(200, 100, 50) << 1;
    QTest::newRow("sepia of white is pale yellow") << qRgb(255, 255, 255) << 1 << 0 << qRgb(255, 255, 241) << 1;
    QTest::newRow("sepia of an orange brown") << qRgb(200, 100, 50) << 1 << 0 << qRgb(161, 142, 110) << 1;
    QTest::newRow("sepia darkens black to black") << qRgb(0, 0, 0) << 1 << 0 << qRgb(0, 0, 0) << 0;
    QTest::newRow("grey of pure red") << qRgb(255, 0, 0) << 2 << 0 << qRgb(76, 76, 76) << 1;
    QTest::newRow("grey of an orange brown") << qRgb(200, 100, 50) << 2 << 0 << qRgb(124, 124, 124) << 1;
    QTest::newRow("unknown effect 7 is transparency only") << qRgb(200, 100, 50) << 7 << 0 << qRgb(200, 100, 50) << 1;
    QTest::newRow("transparency 50 mixes evenly with white") << qRgb(200, 100, 50) << 0 << 50 << qRgb(227, 177, 152) << 2;
    QTest::newRow("transparency 90 leaves a tenth") << qRgb(200, 100, 50) << 0 << 90 << qRgb(250, 240, 235) << 2;
    QTest::newRow("sepia at transparency 50") << qRgb(255, 255, 255) << 1 << 50 << qRgb(255, 255, 248) << 2;
    QTest::newRow("transparency 100 leaves white") << qRgb(200, 100, 50) << 0 << 100 << qRgb(255, 255, 255) << 0;
    QTest::newRow("transparency above 100 leaves white") << qRgb(200, 100, 50) << 2 << 150 << qRgb(255, 255, 255) << 0;
    // The matrix works on straight colour values: sepia of half-transparent
    // red is (0.4, 0.35, 0.28) at alpha 0.5 over white, not the darker result
    // the constant row would give on premultiplied values.
    QTest::newRow("sepia of half-transparent red") << qRgba(255, 0, 0, 128) << 1 << 0 << qRgb(178, 172, 163) << 2;
    QTest::newRow("grey of half-transparent red") << qRgba(255, 0, 0, 128) << 2 << 0 << qRgb(165, 165, 165) << 2;
}

void TstRenderBackground::effects()
{
    QFETCH(QRgb, photoColor);
    QFETCH(int, effect);
    QFETCH(int, trans);
    QFETCH(QRgb, expected);
    QFETCH(int, tolerance);

    QImage photo(300, 200, QImage::Format_ARGB32);
    photo.fill(photoColor);
    const QString path = FDir.filePath(QStringLiteral("solid.png"));
    QVERIFY(photo.save(path));
    TLabelDocument doc = PhotoDocument(path);
    doc.FLabelBg.Effect = effect;
    doc.FLabelBg.Trans = trans;
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    for (const QPoint at : {QPoint(600, 600), QPoint(100, 600), QPoint(600, 1150)}) {
        const QRgb actual = renderer.FBmp.pixel(at);
        QVERIFY2(Near(actual, expected, tolerance),
                 qPrintable(QStringLiteral("%1, expected %2").arg(Describe(actual), Describe(expected))));
    }
    QCOMPARE(renderer.FBmp.pixel(0, 0), White);
}

void TstRenderBackground::unusablePhotoKeepsColour_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("no photo chosen") << "none";
    QTest::newRow("photo file deleted") << "missing";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("text file named .jpg") << "text";
    QTest::newRow("truncated JPEG") << "truncated";
    QTest::newRow("JPEG claiming 30000 x 30000 pixels") << "huge";
}

// Photo mode without a usable photo fills the circle with the colour, and
// the pass completes.
void TstRenderBackground::unusablePhotoKeepsColour()
{
    QFETCH(QString, kind);
    QString path;
    if (kind == QLatin1String("missing")) {
        path = FDir.filePath(QStringLiteral("gone.jpg"));
    } else if (kind == QLatin1String("folder")) {
        path = FDir.path();
    } else if (kind == QLatin1String("empty")) {
        path = FDir.filePath(QStringLiteral("empty.jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("text")) {
        path = FDir.filePath(QStringLiteral("notes.jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("This is no picture at all.\n");
    } else if (kind == QLatin1String("truncated") || kind == QLatin1String("huge")) {
        // Noise, so that the picture data make up most of the file.
        QImage image(400, 300, QImage::Format_RGB32);
        uint32_t seed = 7;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                image.setPixel(x, y, seed | 0xFF000000u);
            }
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(image.save(&buffer, "JPEG", 90));
        QByteArray bytes = buffer.data();
        if (kind == QLatin1String("truncated")) {
            bytes.truncate(bytes.size() * 6 / 10);
        } else {
            // Baseline frame header: FF C0, length, precision, height, width.
            const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
            QVERIFY(sof > 0);
            for (int i : {5, 7}) {
                bytes[sof + i] = char(30000 >> 8);
                bytes[sof + i + 1] = char(30000 & 0xFF);
            }
        }
        path = FDir.filePath(kind + QStringLiteral(".jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    TLabelDocument doc = PhotoDocument(path);
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.Trans = 50;
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    QCOMPARE(CentreOf(renderer), TLabelRenderer::ColorRefToARGB(doc.FLabelBg.Color));
    QCOMPARE(renderer.FBmp.pixel(0, 0), White);
    QVERIFY(renderer.FGr == nullptr);
    if (kind == QLatin1String("huge") || kind == QLatin1String("truncated"))
        QVERIFY(TPictureCache::Decode(path).IsNull());
}

QTEST_MAIN(TstRenderBackground)
#include "tst_render_background.moc"

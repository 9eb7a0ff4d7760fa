// The middle picture's rectangle, and how pictures are read: decoded once
// while their files stay unchanged, upright, and at reduced size when large.
#include "label/label_document.h"
#include "render/label_renderer.h"
#include "tst_render_support.h"

#include <QImageReader>
#include <QtTest>

#include <climits>
#include <cmath>

namespace {

const QRgb Blue = qRgb(0, 0, 255);

QString SavePicture(const QTemporaryDir& aDir, const QString& aName, const QImage& aImage, int aQuality = -1)
{
    const QString path = aDir.filePath(aName);
    return aImage.save(path, nullptr, aQuality) ? path : QString();
}

QImage Solid(const QSize& aSize, QRgb aColor)
{
    QImage image(aSize, QImage::Format_RGB32);
    image.fill(aColor);
    return image;
}

// White background, no rings, no photo.
TLabelDocument PlainDocument()
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x00FFFFFF;
    return doc;
}

// Four quadrants of distinct colours: red, green / blue, yellow.
QImage Quadrants(const QSize& aSize)
{
    QImage image(aSize, QImage::Format_RGB32);
    const int halfW = aSize.width() / 2, halfH = aSize.height() / 2;
    for (int y = 0; y < aSize.height(); ++y)
        for (int x = 0; x < aSize.width(); ++x)
            image.setPixel(x, y, y < halfH ? (x < halfW ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                           : (x < halfW ? qRgb(0, 0, 255) : qRgb(255, 255, 0)));
    return image;
}

// A JPEG with an EXIF block whose only entry is the orientation tag.
QByteArray JpegWithOrientation(const QImage& aImage, int aOrientation)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    aImage.save(&buffer, "JPEG", 95);
    const QByteArray tiff = QByteArray("MM\x00\x2A\x00\x00\x00\x08", 8)  // big-endian, first IFD at 8
                            + QByteArray("\x00\x01", 2)                   // one entry
                            + QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01", 8)  // orientation, SHORT, 1 value
                            + QByteArray(1, '\0') + QByteArray(1, char(aOrientation)) + QByteArray(2, '\0')
                            + QByteArray(4, '\0');  // no next IFD
    const QByteArray payload = QByteArray("Exif\x00\x00", 6) + tiff;
    const int length = int(payload.size()) + 2;
    const QByteArray app1 = QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
    QByteArray bytes = buffer.data();
    bytes.insert(2, app1);  // right after the start-of-image marker
    return bytes;
}

}  // namespace

class TstRenderPictures : public QObject
{
    Q_OBJECT

private slots:
    void middleRectangle_data();
    void middleRectangle();
    void middlePictureKeepsItsAlphaAndColours();
    void middlePictureSkipped_data();
    void middlePictureSkipped();
    void handEditedExtremes_data();
    void handEditedExtremes();
    void unchangedFilesDecodeNothing();
    void changedFileShowsAtNextPass();
    void exifOrientation_data();
    void exifOrientation();
    void largePicturesDecodedReduced_data();
    void largePicturesDecodedReduced();

private:
    QTemporaryDir FDir;
};

void TstRenderPictures::middleRectangle_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<int>("pngWidth");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<QRectF>("expected");  // tx, ty, tw, th

    const QSize landscape(400, 200);
    QTest::newRow("20 percent, centred") << 1 << landscape << 20 << QPoint(0, 0) << QRectF(480, 540, 240, 120);
    QTest::newRow("50 percent, centred") << 1 << landscape << 50 << QPoint(0, 0) << QRectF(300, 450, 600, 300);
    QTest::newRow("moved 100 right and 50 up") << 1 << landscape << 20 << QPoint(100, -50) << QRectF(580, 490, 240, 120);
    QTest::newRow("width 0 draws at 20 percent") << 1 << landscape << 0 << QPoint(0, 0) << QRectF(480, 540, 240, 120);
    QTest::newRow("negative width draws at 20 percent") << 1 << landscape << -30 << QPoint(0, 0) << QRectF(480, 540, 240, 120);
    QTest::newRow("moved on the 750 label") << 0 << landscape << 20 << QPoint(100, -50) << QRectF(362.5, 306.25, 150, 75);
    QTest::newRow("moved on the 1650 label") << 2 << landscape << 20 << QPoint(100, -50) << QRectF(797.5, 673.75, 330, 165);
    QTest::newRow("portrait keeps its ratio, width from PngWidth")
        << 1 << QSize(200, 400) << 20 << QPoint(0, 0) << QRectF(480, 360, 240, 480);
    QTest::newRow("square at 90 percent") << 1 << QSize(300, 300) << 90 << QPoint(0, 0) << QRectF(60, 60, 1080, 1080);
    QTest::newRow("large picture reduced before drawing")
        << 2 << QSize(1000, 500) << 30 << QPoint(0, 0) << QRectF(577.5, 701.25, 495, 247.5);
}

// The picture's edges lie where the table puts them: the label's coordinate x
// is the centre of raster pixel x, so an edge at x covers half of pixel x.
void TstRenderPictures::middleRectangle()
{
    QFETCH(int, sizeItem);
    QFETCH(QSize, picture);
    QFETCH(int, pngWidth);
    QFETCH(QPoint, offset);
    QFETCH(QRectF, expected);

    TLabelDocument doc = PlainDocument();
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = SavePicture(FDir, QStringLiteral("middle.png"), Solid(picture, Blue));
    doc.FLabelBg.PngWidth = pngWidth;
    doc.FLabelBg.PngPosX = offset.x();
    doc.FLabelBg.PngPosY = offset.y();
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    renderer.DrawLabel(doc);
    const QImage& raster = renderer.FBmp;

    // Raster edges of the rectangle, in Qt's coordinates.
    const QRectF edges = expected.translated(0.5, 0.5);
    const int midX = int(edges.center().x());
    const int midY = int(edges.center().y());
    auto pixelAt = [&](bool aAcross, int aAt) { return aAcross ? raster.pixel(aAt, midY) : raster.pixel(midX, aAt); };
    for (bool across : {true, false}) {
        const double low = across ? edges.left() : edges.top();
        const double high = across ? edges.right() : edges.bottom();
        const QString axis = across ? QStringLiteral("x") : QStringLiteral("y");
        const struct
        {
            int At;
            QRgb Color;
        } checks[] = {{int(std::floor(low)) - 1, White},
                      {int(std::ceil(low)), Blue},
                      {int(std::floor(high)) - 1, Blue},
                      {int(std::ceil(high)), White}};
        for (const auto& check : checks) {
            const QRgb actual = pixelAt(across, check.At);
            QVERIFY2(Near(actual, check.Color, 3), qPrintable(QStringLiteral("%1 = %2: %3, expected %4")
                                                                  .arg(axis)
                                                                  .arg(check.At)
                                                                  .arg(Describe(actual), Describe(check.Color))));
        }
        // An edge through the middle of a pixel covers it about half.
        for (double edge : {low, high}) {
            const double into = edge - std::floor(edge);
            if (into > 0.25 && into < 0.75) {
                const QRgb partial = pixelAt(across, int(std::floor(edge)));
                QVERIFY2(qRed(partial) > 40 && qRed(partial) < 215,
                         qPrintable(QStringLiteral("%1 = %2: %3").arg(axis).arg(std::floor(edge)).arg(Describe(partial))));
            }
        }
    }
    // The picture is not clipped to the label circle.
    if (pngWidth == 90)
        QCOMPARE(raster.pixel(70, 70), Blue);
}

void TstRenderPictures::middlePictureKeepsItsAlphaAndColours()
{
    // Left half transparent, right half opaque blue.
    QImage picture(400, 200, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 0; y < 200; ++y)
        for (int x = 200; x < 400; ++x)
            picture.setPixel(x, y, qRgba(0, 0, 255, 255));
    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = SavePicture(FDir, QStringLiteral("photo.png"), Solid(QSize(300, 300), qRgb(200, 100, 50)));
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.Trans = 50;
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = SavePicture(FDir, QStringLiteral("half.png"), picture);
    doc.FLabelBg.PngWidth = 20;
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    // The background's effect and transparency do not reach the picture.
    QCOMPARE(renderer.FBmp.pixel(660, 600), Blue);
    // Where the picture is transparent the background shows.
    QCOMPARE(renderer.FBmp.pixel(540, 600), renderer.FBmp.pixel(400, 600));
    QVERIFY(renderer.FBmp.pixel(540, 600) != White);
}

void TstRenderPictures::middlePictureSkipped_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("usePng");
    QTest::newRow("switched off with an existing file") << "picture" << false;
    QTest::newRow("switched on without a file") << "none" << true;
    QTest::newRow("switched on with a deleted file") << "deleted" << true;
    QTest::newRow("switched on with a file that is no picture") << "text" << true;
}

void TstRenderPictures::middlePictureSkipped()
{
    QFETCH(QString, kind);
    QFETCH(bool, usePng);
    TLabelDocument doc = PlainDocument();
    doc.FLabelBg.UsePng = usePng;
    doc.FLabelBg.PngWidth = 50;
    if (kind == QLatin1String("picture")) {
        doc.FLabelBg.PngFile = SavePicture(FDir, QStringLiteral("shown.png"), Solid(QSize(40, 40), Blue));
    } else if (kind == QLatin1String("deleted")) {
        doc.FLabelBg.PngFile = SavePicture(FDir, QStringLiteral("deleted.png"), Solid(QSize(40, 40), Blue));
        QVERIFY(QFile::remove(doc.FLabelBg.PngFile));
    } else if (kind == QLatin1String("text")) {
        doc.FLabelBg.PngFile = FDir.filePath(QStringLiteral("text.png"));
        QFile file(doc.FLabelBg.PngFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
    }
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp.pixel(600, 600), White);
    QCOMPARE(renderer.FBmp.pixel(400, 500), White);
}

void TstRenderPictures::handEditedExtremes_data()
{
    QTest::addColumn<int>("pngWidth");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<bool>("covers");  // the picture covers the whole raster
    QTest::newRow("5000 percent wide covers everything") << 5000 << QPoint(0, 0) << true;
    QTest::newRow("moved to the largest offset") << 20 << QPoint(INT_MAX, 0) << false;
    QTest::newRow("moved to the smallest offset") << 20 << QPoint(0, INT_MIN) << false;
    QTest::newRow("so huge that far away still covers") << INT_MAX << QPoint(INT_MIN, INT_MAX) << true;
}

// Values only a hand-edited label file holds draw what they say, quickly and
// without trouble.
void TstRenderPictures::handEditedExtremes()
{
    QFETCH(int, pngWidth);
    QFETCH(QPoint, offset);
    QFETCH(bool, covers);
    TLabelDocument doc = PlainDocument();
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = SavePicture(FDir, QStringLiteral("extreme.png"), Solid(QSize(300, 300), Blue));
    doc.FLabelBg.PngWidth = pngWidth;
    doc.FLabelBg.PngPosX = offset.x();
    doc.FLabelBg.PngPosY = offset.y();
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    const QRgb expected = covers ? Blue : White;
    QCOMPARE(renderer.FBmp.pixel(0, 0), expected);
    QCOMPARE(renderer.FBmp.pixel(600, 600), expected);
    QCOMPARE(renderer.FBmp.pixel(1199, 1199), expected);
}

void TstRenderPictures::unchangedFilesDecodeNothing()
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = SavePicture(FDir, QStringLiteral("count-photo.jpg"), Quadrants(QSize(900, 600)), 90);
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = SavePicture(FDir, QStringLiteral("count-middle.png"), Solid(QSize(400, 200), Blue));
    doc.FLabelBg.PngWidth = 30;
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 2);
    const QImage first = renderer.FBmp.copy();

    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 2);
    QCOMPARE(renderer.FBmp, first);

    // Edits that change how the pictures are drawn, not the files.
    doc.FLabelBg.Trans = 40;
    renderer.DrawLabel(doc);
    doc.FLabelBg.Effect = 2;
    doc.FLabelBg.BgPosX = 30;
    doc.FLabelBg.PngWidth = 60;
    doc.FLabelBg.PngPosX = -40;
    renderer.DrawLabel(doc);
    renderer.SetLabelSize(2);
    renderer.DrawLabel(doc);
    renderer.SetLabelSize(0);
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 2);

    // A file touched on disk is read again.
    QFile photo(doc.FLabelBg.FileName);
    QVERIFY(photo.open(QIODevice::ReadWrite));
    QVERIFY(photo.setFileTime(QDateTime::currentDateTime().addSecs(30), QFileDevice::FileModificationTime));
    photo.close();
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 3);
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 3);
}

void TstRenderPictures::changedFileShowsAtNextPass()
{
    TLabelDocument doc = PlainDocument();
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = SavePicture(FDir, QStringLiteral("replaced.png"), Solid(QSize(400, 200), Blue));
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp.pixel(600, 600), Blue);

    // Replaced by a picture of the same size, as another program saving over it would.
    QVERIFY(Solid(QSize(400, 200), qRgb(255, 0, 0)).save(doc.FLabelBg.PngFile));
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp.pixel(600, 600), qRgb(255, 0, 0));

    QVERIFY(QFile::remove(doc.FLabelBg.PngFile));
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp.pixel(600, 600), White);
}

void TstRenderPictures::exifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    const char* const names[] = {"", "upright", "mirrored", "turned half round", "flipped", "transposed",
                                 "turned a quarter clockwise", "transversed", "turned a quarter anticlockwise"};
    for (int orientation = 1; orientation <= 8; ++orientation)
        QTest::newRow(qPrintable(QStringLiteral("orientation %1, %2").arg(orientation).arg(names[orientation])))
            << orientation;
}

// Decoding honours the EXIF orientation the same way Qt's own reader does.
void TstRenderPictures::exifOrientation()
{
    QFETCH(int, orientation);
    const QString path = FDir.filePath(QStringLiteral("oriented-%1.jpg").arg(orientation));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(JpegWithOrientation(Quadrants(QSize(64, 32)), orientation));
    file.close();

    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage reference = reader.read();
    QVERIFY(!reference.isNull());
    const TPictureCache::TPicture picture = TPictureCache::Decode(path);
    QVERIFY(!picture.IsNull());
    QCOMPARE(picture.Image.size(), reference.size());
    QCOMPARE(picture.FullSize, reference.size());
    const int w = reference.width(), h = reference.height();
    for (const QPoint at : {QPoint(w / 4, h / 4), QPoint(3 * w / 4, h / 4), QPoint(w / 4, 3 * h / 4),
                            QPoint(3 * w / 4, 3 * h / 4)})
        QVERIFY2(Near(picture.Image.pixel(at), reference.pixel(at), 12),
                 qPrintable(Describe(picture.Image.pixel(at)) + QStringLiteral(" vs ") + Describe(reference.pixel(at))));
    if (orientation == 6) {
        // Turned a quarter clockwise: the stored bottom-left quadrant shows top left.
        QCOMPARE(picture.Image.size(), QSize(32, 64));
        QVERIFY(Near(picture.Image.pixel(8, 16), qRgb(0, 0, 255), 12));
    }
}

void TstRenderPictures::largePicturesDecodedReduced_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QSize>("size");
    QTest::newRow("JPEG twice the widest label") << "jpg" << QSize(3600, 3300);
    QTest::newRow("50 MP JPEG") << "jpg" << QSize(8660, 5773);
    // 144 MB decoded: above Qt's default allocation limit of 128 MB.
    QTest::newRow("36 MP PNG") << "png" << QSize(6000, 6000);
}

// A picture more than twice as large as the widest label needs is kept at
// reduced size, and is still cut as the full picture would be.
void TstRenderPictures::largePicturesDecodedReduced()
{
    QFETCH(QString, format);
    QFETCH(QSize, size);
    const int cell = 300;
    QImage photo(size, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb(20 + 8 * (x / cell), 20 + 8 * (y / cell), 128);
    }
    const QString path = SavePicture(FDir, QStringLiteral("large.") + format, photo, 92);
    QVERIFY(!path.isEmpty());
    photo = QImage();
    const TPictureCache::TPicture picture = TPictureCache::Decode(path);
    QCOMPARE(picture.FullSize, size);
    const int shortSide = std::min(picture.Image.width(), picture.Image.height());
    QVERIFY2(shortSide >= TPictureCache::MinDecodedSide && shortSide < std::min(size.width(), size.height()),
             qPrintable(QStringLiteral("%1 x %2").arg(picture.Image.width()).arg(picture.Image.height())));

    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = path;
    TLabelRenderer renderer;
    renderer.SetLabelSize(2);
    renderer.DrawLabel(doc);
    const double scaledCell = cell * 1650.0 / std::min(size.width(), size.height());
    // The middle of the cell around each of a few points well inside the label.
    for (const QPoint near : {QPoint(700, 800), QPoint(900, 600), QPoint(825, 825), QPoint(1000, 1000), QPoint(600, 1100)}) {
        const QPoint cellAt(int(near.x() / scaledCell), int(near.y() / scaledCell));
        const QPoint at(int((cellAt.x() + 0.5) * scaledCell), int((cellAt.y() + 0.5) * scaledCell));
        const QRgb expected = qRgb(20 + 8 * cellAt.x(), 20 + 8 * cellAt.y(), 128);
        QVERIFY2(Near(renderer.FBmp.pixel(at), expected, 6),
                 qPrintable(Describe(renderer.FBmp.pixel(at)) + QStringLiteral(" expected ") + Describe(expected)));
    }
}

QTEST_MAIN(TstRenderPictures)
#include "tst_render_pictures.moc"

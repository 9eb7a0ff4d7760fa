// The middle picture's rectangle, and how pictures are read: decoded once
// while their files stay unchanged, upright, reduced when large, and skipped
// when they cannot be used.
#include "label/label_document.h"
#include "render/label_renderer.h"
#include "tst_render_support.h"

#include <QBuffer>
#include <QPainter>
#include <QtTest>

#include <climits>
#include <cmath>

namespace {

const QRgb Blue = qRgb(0, 0, 255);
const QRgb Red = qRgb(255, 0, 0);

// White background, no rings, aPicture in the middle.
TLabelDocument MiddleDocument(const QString& aPicture, int aPngWidth = 20)
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x00FFFFFF;
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = aPicture;
    doc.FLabelBg.PngWidth = aPngWidth;
    return doc;
}

QByteArray Jpeg(const QImage& aImage)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    aImage.save(&buffer, "JPEG", 95);
    return buffer.data();
}

}  // namespace

class TstRenderPictures : public QObject
{
    Q_OBJECT

private slots:
    void middleRectangle_data();
    void middleRectangle();
    void middlePictureOverPhoto();
    void unusablePicturesSkipped_data();
    void unusablePicturesSkipped();
    void decodesOnlyChangedFiles();
    void exifOrientation_data();
    void exifOrientation();
    void largePictures_data();
    void largePictures();

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
    const QSize wide(400, 200), square(300, 300);
    QTest::newRow("20 percent, centred") << 1 << wide << 20 << QPoint(0, 0) << QRectF(480, 540, 240, 120);
    QTest::newRow("50 percent, centred") << 1 << wide << 50 << QPoint(0, 0) << QRectF(300, 450, 600, 300);
    QTest::newRow("moved 100 right and 50 up") << 1 << wide << 20 << QPoint(100, -50) << QRectF(580, 490, 240, 120);
    QTest::newRow("width 0 draws at 20 percent") << 1 << wide << 0 << QPoint(0, 0) << QRectF(480, 540, 240, 120);
    QTest::newRow("moved on the 750 label") << 0 << wide << 20 << QPoint(100, -50) << QRectF(362.5, 306.25, 150, 75);
    QTest::newRow("portrait keeps its ratio") << 1 << QSize(200, 400) << 20 << QPoint(0, 0) << QRectF(480, 360, 240, 480);
    QTest::newRow("large picture reduced before drawing")
        << 2 << QSize(1000, 500) << 30 << QPoint(0, 0) << QRectF(577.5, 701.25, 495, 247.5);
    QTest::newRow("90 percent, not clipped to the circle") << 1 << square << 90 << QPoint(0, 0) << QRectF(60, 60, 1080, 1080);
    // Values only a hand-edited label file holds.
    QTest::newRow("5000 percent covers everything") << 1 << square << 5000 << QPoint(0, 0) << QRectF(-29400, -29400, 60000, 60000);
    QTest::newRow("moved to the largest offset") << 1 << square << 20 << QPoint(INT_MAX, 0) << QRectF(480.0 + INT_MAX, 480, 240, 240);
    QTest::newRow("so huge that far away still covers")
        << 1 << square << INT_MAX << QPoint(INT_MIN, INT_MAX) << QRectF(-1e10, -1e10, 2e10, 2e10);
}

// Along the lines through the picture's middle, the blue adds up to the
// visible part of the rectangle and balances at its centre. The label's
// coordinate x is the centre of raster pixel x.
void TstRenderPictures::middleRectangle()
{
    QFETCH(int, sizeItem);
    QFETCH(QSize, picture);
    QFETCH(int, pngWidth);
    QFETCH(QPoint, offset);
    QFETCH(QRectF, expected);
    TLabelDocument doc = MiddleDocument(SavedImage(FDir, QStringLiteral("middle.png"), Solid(picture, Blue)), pngWidth);
    doc.FLabelBg.PngPosX = offset.x();
    doc.FLabelBg.PngPosY = offset.y();
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    renderer.DrawLabel(doc);
    const QImage& raster = renderer.FBmp;
    const int w = raster.width();
    // In raster coordinates, where pixel i spans i .. i + 1; inside the
    // outline where it crosses the axes.
    const QRectF visible = expected.translated(0.5, 0.5).intersected(QRectF(3, 3, w - 5, w - 5));
    const QPoint mid = visible.isEmpty() ? QPoint(w / 2, w / 2) : visible.center().toPoint();
    for (bool across : {true, false}) {
        double ink = 0, moment = 0;
        for (int i = 3; i < w - 2; ++i) {
            const QRgb pixel = across ? raster.pixel(i, mid.y()) : raster.pixel(mid.x(), i);
            QVERIFY2(qRed(pixel) == qGreen(pixel) && (qBlue(pixel) == 255 || qBlue(pixel) == qRed(pixel)),
                     qPrintable(Describe(pixel)));  // blue over white, or the grey outline
            ink += (qBlue(pixel) - qRed(pixel)) / 255.0;
            moment += (qBlue(pixel) - qRed(pixel)) / 255.0 * (i + 0.5);
        }
        const double length = across ? visible.width() : visible.height();
        const double centre = across ? visible.center().x() : visible.center().y();
        QVERIFY2(std::abs(ink - length) < 0.1 && (length == 0 || std::abs(moment / ink - centre) < 0.1),
                 qPrintable(QStringLiteral("%1: %2 wide at %3, expected %4 at %5")
                                .arg(across ? 'x' : 'y').arg(ink).arg(moment / ink).arg(length).arg(centre)));
    }
    QCOMPARE(raster.pixel(mid), visible.isEmpty() ? White : Blue);
    if (pngWidth == 90)
        QCOMPARE(raster.pixel(70, 70), Blue);
}

// The background's effect and transparency do not reach the middle picture,
// and the photo shows where the picture is transparent.
void TstRenderPictures::middlePictureOverPhoto()
{
    QImage picture = Solid(QSize(400, 200), qRgba(0, 0, 0, 0));
    QPainter(&picture).fillRect(200, 0, 200, 200, Blue);
    TLabelDocument doc = MiddleDocument(SavedImage(FDir, QStringLiteral("half.png"), picture));
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = SavedImage(FDir, QStringLiteral("photo.png"), Solid(QSize(300, 300), qRgb(200, 100, 50)));
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.Trans = 50;
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp.pixel(660, 600), Blue);
    QCOMPARE(renderer.FBmp.pixel(540, 600), renderer.FBmp.pixel(400, 600));
    QVERIFY(renderer.FBmp.pixel(540, 600) != White);
}

void TstRenderPictures::unusablePicturesSkipped_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("no picture chosen") << "none";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("text file named .jpg") << "text";
    QTest::newRow("truncated JPEG") << "truncated";
    QTest::newRow("JPEG claiming 30000 x 30000 pixels") << "huge";
}

// As background photo and as middle picture, a file that cannot be used is
// skipped: the circle keeps its colour and the pass completes.
void TstRenderPictures::unusablePicturesSkipped()
{
    QFETCH(QString, kind);
    QString path = FDir.filePath(kind + QStringLiteral(".jpg"));
    QByteArray bytes = Jpeg(Noise(QSize(400, 300)));
    if (kind == QLatin1String("huge")) {  // frame header: FF C0, length, precision, height, width
        const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(sof > 0);
        bytes.replace(sof + 5, 4, QByteArray("\x75\x30\x75\x30", 4));
    }
    if (kind == QLatin1String("none"))
        path.clear();
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QLatin1String("empty") || kind == QLatin1String("text"))
        QVERIFY(WriteFile(path, kind == QLatin1String("text") ? QByteArray("This is no picture at all.\n") : QByteArray()));
    else
        QVERIFY(WriteFile(path, kind == QLatin1String("truncated") ? bytes.left(bytes.size() * 6 / 10) : bytes));
    TLabelDocument doc = MiddleDocument(path);
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = path;
    doc.FLabelBg.Color = 0x00FF8000;
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.Trans = 50;
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp.pixel(600, 600), qRgb(0, 128, 255));
    QCOMPARE(renderer.FBmp.pixel(0, 0), White);
    QVERIFY(path.isEmpty() || TPictureCache::Decode(path).IsNull());
}

// A pass whose files did not change decodes nothing, whatever else changed;
// a file changed on disk is read again and shows at the next pass.
void TstRenderPictures::decodesOnlyChangedFiles()
{
    TLabelDocument doc = MiddleDocument(SavedImage(FDir, QStringLiteral("count.png"), Solid(QSize(400, 200), Blue)), 30);
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = SavedImage(FDir, QStringLiteral("count.jpg"), GridPhoto(QSize(900, 600), 300), 90);
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    const QImage first = renderer.FBmp.copy();
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp, first);
    doc.FLabelBg.Effect = 2;
    doc.FLabelBg.Trans = 40;
    doc.FLabelBg.BgPosX = 30;
    doc.FLabelBg.PngWidth = 60;
    doc.FLabelBg.PngPosX = -40;
    renderer.SetLabelSize(2);
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 2);

    QFile photo(doc.FLabelBg.FileName);
    QVERIFY(photo.open(QIODevice::ReadWrite));
    QVERIFY(photo.setFileTime(QDateTime::currentDateTime().addSecs(30), QFileDevice::FileModificationTime));
    photo.close();
    renderer.DrawLabel(doc);
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 3);

    // Saved over with a picture of the same size, as another program would.
    QVERIFY(Solid(QSize(400, 200), Red).save(doc.FLabelBg.PngFile));
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp.pixel(825, 825), Red);
    doc.FLabelBg.UsePng = false;
    renderer.DrawLabel(doc);
    const QImage withoutMiddle = renderer.FBmp.copy();
    QVERIFY(withoutMiddle.pixel(825, 825) != Red);
    doc.FLabelBg.UsePng = true;
    QVERIFY(QFile::remove(doc.FLabelBg.PngFile));
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.FBmp, withoutMiddle);
}

void TstRenderPictures::exifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("topLeftCell");  // of the stored 4 x 2 cells
    QTest::newRow("3, turned half round") << 3 << QSize(64, 32) << QPoint(3, 1);
    QTest::newRow("6, turned a quarter clockwise") << 6 << QSize(32, 64) << QPoint(0, 1);
    QTest::newRow("8, turned a quarter anticlockwise") << 8 << QSize(32, 64) << QPoint(3, 0);
}

void TstRenderPictures::exifOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QPoint, topLeftCell);
    // An EXIF block whose only entry is the orientation: big-endian TIFF,
    // first directory at 8, one entry of tag 0112, one SHORT.
    const QByteArray exif = QByteArray("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25)
                            + char(orientation) + QByteArray(6, '\0');
    QByteArray bytes = Jpeg(GridPhoto(QSize(64, 32), 16));
    bytes.insert(2, QByteArray("\xFF\xE1\0", 3) + char(exif.size() + 2) + exif);
    const QString path = FDir.filePath(QStringLiteral("oriented.jpg"));
    QVERIFY(WriteFile(path, bytes));
    const TPictureCache::TPicture picture = TPictureCache::Decode(path);
    QCOMPARE(picture.Image.size(), size);
    QCOMPARE(picture.FullSize, size);
    const QRgb topLeft = picture.Image.pixel(4, 4);
    const QRgb expected = CellColor(topLeftCell.x(), topLeftCell.y());
    QVERIFY2(Near(topLeft, expected, 12), Mismatch({4, 4}, topLeft, expected).constData());
}

void TstRenderPictures::largePictures_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QSize>("size");
    QTest::newRow("50 MP JPEG") << "jpg" << QSize(8660, 5773);
    // 144 MB decoded: above Qt's default allocation limit of 128 MB.
    QTest::newRow("36 MP PNG") << "png" << QSize(6000, 6000);
}

// A large picture is kept at reduced size, yet cut as the full picture would be.
void TstRenderPictures::largePictures()
{
    QFETCH(QString, format);
    QFETCH(QSize, size);
    const int cell = 1000;
    const QString path = SavedImage(FDir, QStringLiteral("large.") + format, GridPhoto(size, cell), 92);
    QVERIFY(!path.isEmpty());
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
    for (int i = 0; i * scaledCell < 1650; ++i) {  // the middle of each cell on the diagonal, inside the circle
        const QPoint at(int((i + 0.5) * scaledCell), int((i + 0.5) * scaledCell));
        if (std::abs(at.x() - 825) < 500)
            QVERIFY2(Near(renderer.FBmp.pixel(at), CellColor(i, i), 6),
                     Mismatch(at, renderer.FBmp.pixel(at), CellColor(i, i)).constData());
    }
}

QTEST_MAIN(TstRenderPictures)
#include "tst_render_pictures.moc"

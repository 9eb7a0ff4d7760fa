// The render engine: the label raster, the background, the middle picture,
// the outline and the rings, measured on the raster at positions computed
// from the label's geometry; and how pictures are read: decoded once while
// their files stay unchanged, upright, reduced when large, skipped when they
// cannot be used.
#include "label/label_document.h"
#include "render/label_renderer.h"
#include "tst_render_support.h"

#include <QPainter>
#include <QtTest>

#include <climits>
#include <cmath>

namespace {

const QRgb Yellow = qRgb(255, 255, 0);
const QRgb Blue = qRgb(0, 0, 255);
const QRgb Red = qRgb(255, 0, 0);
const QRgb RingColors[] = {qRgb(128, 0, 0), qRgb(0, 128, 0), Blue, Red};

// Yellow, with rings 1 to 4 in maroon, green, blue and red.
TLabelDocument RingDocument(bool aRings, uint32_t aBackground = 0x0000FFFF)
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = aBackground;
    // Ring 1 carries a system-colour top byte, which the colour ignores.
    const uint32_t colors[] = {0xFF000080, 0x00008000, 0x00FF0000, 0x000000FF};
    for (int ring = 1; ring <= 4; ++ring) {
        doc.RingByTag(ring)->Use = aRings;
        doc.RingByTag(ring)->Color = colors[ring - 1];
    }
    return doc;
}

// Photo mode; the colour, (0, 128, 255), is in no test photo.
TLabelDocument PhotoDocument(const QString& aPhoto)
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = aPhoto;
    doc.FLabelBg.Color = 0x00FF8000;
    return doc;
}

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

}  // namespace

class TstRenderLabel : public QObject
{
    Q_OBJECT

private slots:
    void rings_data();
    void rings();
    void stepsLeavePainterAsFound();
    void downsampleSizes_data();
    void downsampleSizes();
    void photoCrop_data();
    void photoCrop();
    void effects_data();
    void effects();
    void middleRectangle_data();
    void middleRectangle();
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

void TstRenderLabel::rings_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("rings");
    for (const auto& [item, width] : {std::pair(0, 750), std::pair(1, 1200), std::pair(2, 1650)}) {
        QTest::addRow("all rings at %d", width) << item << width << true;
        QTest::addRow("no rings at %d", width) << item << width << false;
    }
    QTest::newRow("unknown size item draws at 1200") << 7 << 1200 << true;
}

// Each pixel well away from the shapes' edges shows the last shape drawn
// over it: the background disc; the outline and rings 1 and 2 as inset bands
// r - p .. r; rings 3 and 4 as centred arcs with round caps leaving 40° open
// at 3 and 9 o'clock. Outside the circle the raster stays white.
void TstRenderLabel::rings()
{
    QFETCH(int, sizeItem);
    QFETCH(int, width);
    QFETCH(bool, rings);
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem == 2 ? 0 : 2);  // from another size, so the change shows
    renderer.SetLabelSize(sizeItem);
    QCOMPARE(renderer.Raster().size(), QSize(width, width));
    QCOMPARE(renderer.Raster().format(), QImage::Format_RGB32);
    QCOMPARE(qRound(renderer.Raster().dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(renderer.Raster().dotsPerMeterY() * 0.0254), 300);
    QCOMPARE(renderer.LabelWidth(), width);
    QCOMPARE(renderer.Factor(), width / 1200.0f);
    renderer.DrawLabel(RingDocument(!rings, 0x000000FF));  // an earlier label, which leaves nothing behind
    renderer.DrawLabel(RingDocument(rings));
    TLabelRenderer fresh;
    fresh.SetLabelSize(sizeItem);
    fresh.DrawLabel(RingDocument(rings));
    QCOMPARE(renderer.Raster(), fresh.Raster());
    const QImage& raster = renderer.Raster();

    // A band HalfPen either side of a circle, Open degrees left open either
    // side of 3 and 9 o'clock.
    struct Shape { double Radius, HalfPen, Open; QRgb Color; };
    const double f = width / 1200.0, edge = (width - 2) / 2.0;
    QList<Shape> shapes = {{0, edge, 0, Yellow}, {edge - 0.5, 0.5, 0, qRgb(128, 128, 128)}};
    if (rings)
        shapes += {{edge - 15 * f, 15 * f, 0, RingColors[0]},
                   {width / 2.0 - 45 * f, 5 * f, 0, RingColors[1]},
                   {width / 2.0 - 200 * f, 10 * f, 20, RingColors[2]},
                   {width / 2.0 - 220 * f, 5 * f, 20, RingColors[3]}};
    // From (aX, aY), relative to the centre, to a shape's middle line; the
    // arcs are symmetric about both axes.
    const auto distance = [](const Shape& aShape, double aX, double aY) {
        const double x = std::abs(aX), y = std::abs(aY);
        if (qRadiansToDegrees(std::atan2(y, x)) >= aShape.Open)
            return std::abs(std::hypot(x, y) - aShape.Radius);
        const double end = qDegreesToRadians(aShape.Open);
        return std::hypot(x - aShape.Radius * std::cos(end), y - aShape.Radius * std::sin(end));
    };
    const double margin = 1.25;  // anti-aliasing plus the curve approximation
    const int centre = width / 2;  // the label's centre is this pixel's centre
    int checked = 0;
    for (int y = 0; y < width; y += 2) {
        for (int x = 0; x < width; x += 2) {
            QRgb expected = White;
            bool clear = true;
            for (const Shape& shape : shapes) {
                const double inside = shape.HalfPen - distance(shape, x - centre, y - centre);
                if (inside > margin) {
                    expected = shape.Color;
                    clear = true;  // drawn over any edge below it
                } else if (inside >= -margin) {
                    clear = false;
                }
            }
            if (clear)
                VERIFY_PIXEL(raster, x, y, expected, 3);
            checked += clear;
        }
    }
    QVERIFY(checked > width * width / 5);

    // Where the circle meets the axes, the outline band r - 1 .. r ends on
    // pixel centres: it covers half of each of two pixels, one pixel of grey
    // in all. Ring 1 covers it.
    for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
        const QPoint first = QPoint(centre, centre) + step * ((width - 2) / 2 - 1);
        if (rings) {
            VERIFY_PIXEL(raster, first.x(), first.y(), RingColors[0], 3);
            continue;
        }
        double ink = 0;
        for (int i = -2; i <= 3; ++i) {
            const QPoint at = first + step * i;
            const QRgb pixel = raster.rect().contains(at) ? raster.pixel(at) : White;
            const double cover = (255 - qRed(pixel)) / 127.0;  // grey over white or yellow
            QVERIFY2(qRed(pixel) == qGreen(pixel) && (i == 0 || i == 1 ? cover > 0.3 && cover < 0.7 : cover < 0.03),
                     qPrintable(QStringLiteral("(%1, %2): %3").arg(at.x()).arg(at.y()).arg(Describe(pixel))));
            ink += cover;
        }
        QVERIFY2(ink > 0.75 && ink < 1.15, qPrintable(QString::number(ink)));
    }
}

// The text steps draw after these with the pass's painter: each step leaves
// it as it found it.
void TstRenderLabel::stepsLeavePainterAsFound()
{
    TLabelDocument doc = RingDocument(true);
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = SavedImage(FDir, QStringLiteral("steps.png"), Solid(QSize(400, 300), qRgb(0, 100, 0)));
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.Trans = 30;
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = SavedImage(FDir, QStringLiteral("steps-middle.png"), Solid(QSize(100, 50), Blue));
    TLabelRenderer renderer;
    QImage raster(renderer.LabelWidth(), renderer.LabelWidth(), QImage::Format_RGB32);
    QPainter painter(&raster);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(0.5, 0.5);
    painter.setClipRect(QRect(10, 10, 1000, 1000));
    painter.setPen(QPen(Qt::magenta, 3));
    painter.setBrush(Qt::cyan);
    painter.setOpacity(0.75);
    const QPainter::RenderHints hints = painter.renderHints();
    int number = 0;
    for (const TRenderStep step : {TRenderStep::Background, TRenderStep::MiddlePicture, TRenderStep::OuterRings,
                                   TRenderStep::InnerRings, TRenderStep::CheeseName}) {
        renderer.Paint(painter, doc, step);
        QVERIFY2(painter.transform() == QTransform::fromTranslate(0.5, 0.5) && painter.hasClipping()
                     && painter.clipBoundingRect() == QRectF(10, 10, 1000, 1000) && painter.pen() == QPen(Qt::magenta, 3)
                     && painter.brush() == QBrush(Qt::cyan) && painter.opacity() == 0.75
                     && painter.compositionMode() == QPainter::CompositionMode_SourceOver && painter.renderHints() == hints,
                 qPrintable(QStringLiteral("step %1").arg(++number)));
    }
}

void TstRenderLabel::downsampleSizes_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<int>("width");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("small photo enlarged") << QSize(600, 400) << 1200 << QSize(1800, 1200);
    QTest::newRow("tie 2.5 rounds down to even") << QSize(5, 2) << 1 << QSize(2, 1);
    QTest::newRow("tie 3.5 rounds up to even") << QSize(7, 2) << 1 << QSize(4, 1);
}

void TstRenderLabel::downsampleSizes()
{
    QFETCH(QSize, source);
    QFETCH(int, width);
    QFETCH(QSize, expected);
    const QImage scaled = TLabelRenderer::gdi_Downsample(Solid(source, qRgb(0, 128, 128)), width);
    QCOMPARE(scaled.size(), expected);
    QCOMPARE(scaled.format(), QImage::Format_RGB32);
    QVERIFY(TLabelRenderer::gdi_Downsample(QImage(), width).isNull());
}

void TstRenderLabel::photoCrop_data()
{
    QTest::addColumn<QSize>("photoSize");
    QTest::addColumn<int>("cell");  // a whole number of raster pixels once scaled
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<QPoint>("crop");
    QTest::newRow("3000x2000 on 1200 shows the left square") << QSize(3000, 2000) << 500 << 1 << QPoint(0, 0);
    QTest::newRow("3000x2000 on 1200 moved right by 300") << QSize(3000, 2000) << 500 << 1 << QPoint(300, 0);
    QTest::newRow("1000x2000 on 750 shows the top square") << QSize(1000, 2000) << 200 << 0 << QPoint(0, 0);
    QTest::newRow("crop left of and above the photo") << QSize(3000, 2000) << 500 << 1 << QPoint(-100, -50);
    QTest::newRow("crop past the photo's right edge") << QSize(3000, 2000) << 500 << 1 << QPoint(1000, 0);
    QTest::newRow("crop at the limits of the integers") << QSize(600, 400) << 200 << 0 << QPoint(INT_MIN, INT_MAX);
}

// Raster pixel (x, y) inside the circle shows pixel crop + (x, y) of the
// scaled photo, unfiltered: photo pixels land on raster pixels. Where that
// lies outside the scaled photo it stays white (the photo is not tiled).
void TstRenderLabel::photoCrop()
{
    QFETCH(QSize, photoSize);
    QFETCH(int, cell);
    QFETCH(int, sizeItem);
    QFETCH(QPoint, crop);
    TLabelDocument doc = PhotoDocument(SavedImage(FDir, QStringLiteral("grid.png"), GridPhoto(photoSize, cell)));
    doc.FLabelBg.BgPosX = crop.x();
    doc.FLabelBg.BgPosY = crop.y();
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    renderer.DrawLabel(doc);
    const int w = renderer.Raster().width();
    const double scale = double(w) / std::min(photoSize.width(), photoSize.height());
    const QSizeF scaled = QSizeF(photoSize) * scale;
    int photoPixels = 0;
    for (int y = 0; y < w; ++y) {
        for (int x = 0; x < w; ++x) {
            if (std::hypot(x - w / 2, y - w / 2) > (w - 2) / 2.0 - 2)
                continue;  // outside the circle or on its edge
            const double sx = double(crop.x()) + x, sy = double(crop.y()) + y;
            const bool inPhoto = sx >= 0 && sy >= 0 && sx < scaled.width() && sy < scaled.height();
            const QRgb expected = inPhoto ? CellColor(int(sx / (cell * scale)), int(sy / (cell * scale))) : White;
            VERIFY_PIXEL(renderer.Raster(), x, y, expected, 2);
            photoPixels += inPhoto;
        }
    }
    QVERIFY(photoPixels > 10000 || crop.x() == INT_MIN);
}

void TstRenderLabel::effects_data()
{
    QTest::addColumn<bool>("useColor");
    QTest::addColumn<QRgb>("photoColor");  // straight ARGB
    QTest::addColumn<int>("effect");
    QTest::addColumn<int>("trans");
    QTest::addColumn<QRgb>("expected");  // over the white raster
    const QRgb brown = qRgb(200, 100, 50);
    QTest::newRow("colour mode ignores effect and transparency") << true << brown << 1 << 50 << qRgb(0, 128, 255);
    QTest::newRow("sepia of white is pale yellow") << false << White << 1 << 0 << qRgb(255, 255, 241);
    QTest::newRow("sepia of an orange brown") << false << brown << 1 << 0 << qRgb(161, 142, 110);
    QTest::newRow("sepia of black stays black") << false << qRgb(0, 0, 0) << 1 << 0 << qRgb(0, 0, 0);
    QTest::newRow("grey of an orange brown") << false << brown << 2 << 0 << qRgb(124, 124, 124);
    QTest::newRow("unknown effect 7 acts as none") << false << brown << 7 << 0 << brown;
    QTest::newRow("transparency 50 mixes evenly with white") << false << brown << 0 << 50 << qRgb(227, 177, 152);
    QTest::newRow("transparency 90 leaves a tenth") << false << brown << 0 << 90 << qRgb(250, 240, 235);
    QTest::newRow("sepia at transparency 50") << false << White << 1 << 50 << qRgb(255, 255, 248);
    QTest::newRow("transparency above 100 leaves white") << false << brown << 2 << 150 << White;
    QTest::newRow("transparency 300000 leaves white") << false << brown << 0 << 300000 << White;
    QTest::newRow("transparency -300000 is opaque") << false << brown << 0 << -300000 << brown;
    // On straight values: (0.4, 0.35, 0.28) at alpha 0.5 over white; on
    // premultiplied ones the constant row would darken it.
    QTest::newRow("sepia of half-transparent red") << false << qRgba(255, 0, 0, 128) << 1 << 0 << qRgb(178, 172, 163);
}

// The background with a middle picture over it whose left half is
// transparent: the photo shows through that half, while the effect and the
// transparency do not reach the picture's blue half.
void TstRenderLabel::effects()
{
    QFETCH(bool, useColor);
    QFETCH(QRgb, photoColor);
    QFETCH(int, effect);
    QFETCH(int, trans);
    QFETCH(QRgb, expected);
    QImage half = Solid(QSize(400, 200), qRgba(0, 0, 0, 0));
    QPainter(&half).fillRect(200, 0, 200, 200, Blue);
    TLabelDocument doc = PhotoDocument(SavedImage(FDir, QStringLiteral("solid.png"), Solid(QSize(300, 200), photoColor)));
    doc.FLabelBg.UseColor = useColor;
    doc.FLabelBg.Effect = effect;
    doc.FLabelBg.Trans = trans;
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = SavedImage(FDir, QStringLiteral("half.png"), half);
    doc.FLabelBg.PngWidth = 20;  // 480 .. 720 x 540 .. 660
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    for (const QPoint at : {QPoint(540, 600), QPoint(100, 600), QPoint(600, 1150)})
        VERIFY_PIXEL(renderer.Raster(), at.x(), at.y(), expected, 2);
    QCOMPARE(renderer.Raster().pixel(660, 600), Blue);
    QCOMPARE(renderer.Raster().pixel(0, 0), White);
}

void TstRenderLabel::middleRectangle_data()
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
    QTest::newRow("90 percent, not clipped to the circle")
        << 1 << square << 90 << QPoint(0, 0) << QRectF(60, 60, 1080, 1080);
    // Values only a hand-edited label file holds.
    QTest::newRow("moved to the largest offset")
        << 1 << square << 20 << QPoint(INT_MAX, 0) << QRectF(480.0 + INT_MAX, 480, 240, 240);
    QTest::newRow("so huge that far away still covers")
        << 1 << square << INT_MAX << QPoint(INT_MIN, INT_MAX) << QRectF(-1e10, -1e10, 2e10, 2e10);
}

// Along the lines through the picture's middle, the blue adds up to the
// visible part of the rectangle and balances at its centre. The label's
// coordinate x is the centre of raster pixel x.
void TstRenderLabel::middleRectangle()
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
    const QImage& raster = renderer.Raster();
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

void TstRenderLabel::unusablePicturesSkipped_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");  // as the pass reports it
    QTest::newRow("no picture chosen") << "none" << "";
    QTest::newRow("file not there") << "missing" << "not found";
    QTest::newRow("empty file") << "empty" << "not a picture";
    QTest::newRow("text file named .jpg") << "text" << "not a picture";
    QTest::newRow("truncated JPEG") << "truncated" << "damaged";
    QTest::newRow("JPEG claiming 30000 x 30000 pixels") << "huge" << "damaged";
    QTest::newRow("BMP of 9000 x 9000 pixels") << "bmp" << "too large: 9000 \u00d7 9000";
}

// As background photo and as middle picture, a file that cannot be used is
// skipped: the circle keeps its colour and the pass completes, and reports
// each picture it could not draw with the reason.
void TstRenderLabel::unusablePicturesSkipped()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QString path = FDir.filePath(kind + QStringLiteral(".jpg"));
    QByteArray bytes = ReadAll(SavedImage(FDir, QStringLiteral("noise.jpg"), Noise(QSize(400, 300)), 95));
    if (kind == QLatin1String("huge")) {  // frame header: FF C0, length, precision, height, width
        const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(sof > 0);
        bytes.replace(sof + 5, 4, QByteArray("\x75\x30\x75\x30", 4));
    }
    if (kind == QLatin1String("none"))
        path.clear();
    else if (kind == QLatin1String("missing"))
        ;
    else if (kind == QLatin1String("bmp"))  // the headers alone; 324 MB when decoded
        QVERIFY(WriteFile(path = FDir.filePath(QStringLiteral("big.bmp")),
                          QByteArray("BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x28\x23\0\0\x28\x23\0\0\x01\0\x20\0", 30)
                              + QByteArray(24, '\0')));
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
    QCOMPARE(renderer.Raster().pixel(600, 600), qRgb(0, 128, 255));
    QCOMPARE(renderer.Raster().pixel(0, 0), White);
    QVERIFY(path.isEmpty() || TPictureCache::Decode(path).IsNull());
    const QStringList expected = reason.isEmpty() ? QStringList()
        : QStringList{QStringLiteral("background photo \"%1\": %2").arg(path, reason),
                      QStringLiteral("middle picture \"%1\": %2").arg(path, reason)};
    QCOMPARE(renderer.Report().Warnings(), expected);
}

// A pass whose files did not change decodes nothing, whatever else changed;
// a file changed on disk is read again and shows at the next pass.
void TstRenderLabel::decodesOnlyChangedFiles()
{
    TLabelDocument doc = MiddleDocument(SavedImage(FDir, QStringLiteral("count.png"), Solid(QSize(400, 200), Blue)), 30);
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = SavedImage(FDir, QStringLiteral("count.jpg"), GridPhoto(QSize(900, 600), 300), 90);
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    const QImage first = renderer.Raster().copy();
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Raster(), first);
    doc.FLabelBg.Effect = 2;
    doc.FLabelBg.BgPosX = 30;
    doc.FLabelBg.PngWidth = 60;
    renderer.SetLabelSize(2);
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 2);
    // Saved over with a picture of the same size, as another program would.
    QVERIFY(Solid(QSize(400, 200), Red).save(doc.FLabelBg.PngFile));
    renderer.DrawLabel(doc);
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Pictures().DecodeCount(), 3);
    QCOMPARE(renderer.Raster().pixel(825, 825), Red);
    doc.FLabelBg.UsePng = false;
    renderer.DrawLabel(doc);
    const QImage withoutMiddle = renderer.Raster().copy();
    QVERIFY(withoutMiddle.pixel(825, 825) != Red);
    doc.FLabelBg.UsePng = true;
    QVERIFY(QFile::remove(doc.FLabelBg.PngFile));
    renderer.DrawLabel(doc);
    QCOMPARE(renderer.Raster(), withoutMiddle);
}

void TstRenderLabel::exifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("topLeftCell");  // of the stored 4 x 2 cells
    QTest::newRow("3, turned half round") << 3 << QSize(64, 32) << QPoint(3, 1);
    QTest::newRow("6, turned a quarter clockwise") << 6 << QSize(32, 64) << QPoint(0, 1);
    QTest::newRow("8, turned a quarter anticlockwise") << 8 << QSize(32, 64) << QPoint(3, 0);
}

void TstRenderLabel::exifOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QPoint, topLeftCell);
    // An EXIF block whose only entry is the orientation: big-endian TIFF,
    // first directory at 8, one entry of tag 0112, one SHORT.
    const QByteArray exif = QByteArray("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25)
                            + char(orientation) + QByteArray(6, '\0');
    QByteArray bytes = ReadAll(SavedImage(FDir, QStringLiteral("upright.jpg"), GridPhoto(QSize(64, 32), 16), 95));
    bytes.insert(2, QByteArray("\xFF\xE1\0", 3) + char(exif.size() + 2) + exif);
    const QString path = FDir.filePath(QStringLiteral("oriented.jpg"));
    QVERIFY(WriteFile(path, bytes));
    const TPictureCache::TPicture picture = TPictureCache::Decode(path);
    QCOMPARE(picture.Image.size(), size);
    QCOMPARE(picture.FullSize, size);
    VERIFY_PIXEL(picture.Image, 4, 4, CellColor(topLeftCell.x(), topLeftCell.y()), 12);
}

void TstRenderLabel::largePictures_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QSize>("size");
    QTest::newRow("50 MP JPEG") << "jpg" << QSize(8660, 5773);
    // 407 MB at full size, above the limit; decoded at a quarter of its sides.
    QTest::newRow("102 MP camera JPEG") << "jpg" << QSize(11648, 8736);
    // 144 MB decoded: above Qt's default allocation limit of 128 MB.
    QTest::newRow("36 MP PNG") << "png" << QSize(6000, 6000);
}

// A large picture is kept at reduced size, yet cut as the full picture would be.
void TstRenderLabel::largePictures()
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
            VERIFY_PIXEL(renderer.Raster(), at.x(), at.y(), CellColor(i, i), 6);
    }
}

QTEST_MAIN(TstRenderLabel)
#include "tst_render_label.moc"

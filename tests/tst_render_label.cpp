// The label raster and the steps that draw the background, the outline and
// the rings, measured on the raster at radii and angles computed from the
// label's geometry.
#include "label/label_document.h"
#include "render/label_renderer.h"
#include "tst_render_support.h"

#include <QPainter>
#include <QtTest>

#include <climits>
#include <cmath>

namespace {

const QRgb Yellow = qRgb(255, 255, 0);
const QRgb RingColors[] = {qRgb(128, 0, 0), qRgb(0, 128, 0), qRgb(0, 0, 255), qRgb(255, 0, 0)};

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
    QCOMPARE(renderer.FBmp.size(), QSize(width, width));
    QCOMPARE(renderer.FBmp.format(), QImage::Format_RGB32);
    QCOMPARE(qRound(renderer.FBmp.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(renderer.FBmp.dotsPerMeterY() * 0.0254), 300);
    QCOMPARE(renderer.ImgWidth, width);
    QCOMPARE(renderer.FFactor, width / 1200.0f);
    renderer.DrawLabel(RingDocument(!rings, 0x000000FF));  // an earlier label, which leaves nothing behind
    renderer.DrawLabel(RingDocument(rings));
    QVERIFY(renderer.FGr == nullptr);
    TLabelRenderer fresh;
    fresh.SetLabelSize(sizeItem);
    fresh.DrawLabel(RingDocument(rings));
    QCOMPARE(renderer.FBmp, fresh.FBmp);
    const QImage& raster = renderer.FBmp;

    struct Shape
    {
        double Radius, HalfPen;  // of the pen's middle line
        double Open;             // degrees left open either side of 3 and 9 o'clock
        QRgb Color;
    };
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
            if (clear && !Near(raster.pixel(x, y), expected, 3))
                QFAIL(Mismatch({x, y}, raster.pixel(x, y), expected).constData());
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
            QVERIFY2(Near(raster.pixel(first), RingColors[0], 3), qPrintable(Describe(raster.pixel(first))));
            continue;
        }
        double ink = 0;
        for (int i = -2; i <= 3; ++i) {
            const QPoint at = first + step * i;
            const QRgb pixel = raster.rect().contains(at) ? raster.pixel(at) : White;
            const double cover = (255 - qRed(pixel)) / 127.0;  // grey over white or yellow
            QVERIFY2(qRed(pixel) == qGreen(pixel) && (i == 0 || i == 1 ? cover > 0.3 && cover < 0.7 : cover < 0.03),
                     Mismatch(at, pixel, qRgb(191, 191, 191)).constData());
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
    doc.FLabelBg.PngFile = SavedImage(FDir, QStringLiteral("steps-middle.png"), Solid(QSize(100, 50), qRgba(0, 0, 200, 128)));
    TLabelRenderer renderer;
    QPainter painter(&renderer.FBmp);
    renderer.FGr = &painter;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(0.5, 0.5);
    painter.setClipRect(QRect(10, 10, 1000, 1000));
    painter.setPen(QPen(Qt::magenta, 3));
    painter.setBrush(Qt::cyan);
    painter.setOpacity(0.75);
    const QPainter::RenderHints hints = painter.renderHints();
    using Step = void (TLabelRenderer::*)(const TLabelDocument&);
    int number = 0;
    for (const Step step : {&TLabelRenderer::DrawBackground, &TLabelRenderer::DrawOther,
                            &TLabelRenderer::DrawOuterCircle, &TLabelRenderer::DrawInnerCircle}) {
        (renderer.*step)(doc);
        QVERIFY2(painter.transform() == QTransform::fromTranslate(0.5, 0.5) && painter.hasClipping()
                     && painter.clipBoundingRect() == QRectF(10, 10, 1000, 1000) && painter.pen() == QPen(Qt::magenta, 3)
                     && painter.brush() == QBrush(Qt::cyan) && painter.opacity() == 0.75
                     && painter.compositionMode() == QPainter::CompositionMode_SourceOver && painter.renderHints() == hints,
                 qPrintable(QStringLiteral("step %1").arg(++number)));
    }
    renderer.FGr = nullptr;
}

void TstRenderLabel::downsampleSizes_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<int>("width");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("landscape 3000x2000 to 1200") << QSize(3000, 2000) << 1200 << QSize(1800, 1200);
    QTest::newRow("portrait 1000x2000 to 750") << QSize(1000, 2000) << 750 << QSize(750, 1500);
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
    const int w = renderer.FBmp.width();
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
            if (!Near(renderer.FBmp.pixel(x, y), expected, 2))
                QFAIL(Mismatch({x, y}, renderer.FBmp.pixel(x, y), expected).constData());
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
    // On straight values: (0.4, 0.35, 0.28) at alpha 0.5 over white; on
    // premultiplied ones the constant row would darken it.
    QTest::newRow("sepia of half-transparent red") << false << qRgba(255, 0, 0, 128) << 1 << 0 << qRgb(178, 172, 163);
}

void TstRenderLabel::effects()
{
    QFETCH(bool, useColor);
    QFETCH(QRgb, photoColor);
    QFETCH(int, effect);
    QFETCH(int, trans);
    QFETCH(QRgb, expected);
    TLabelDocument doc = PhotoDocument(SavedImage(FDir, QStringLiteral("solid.png"), Solid(QSize(300, 200), photoColor)));
    doc.FLabelBg.UseColor = useColor;
    doc.FLabelBg.Effect = effect;
    doc.FLabelBg.Trans = trans;
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    for (const QPoint at : {QPoint(600, 600), QPoint(100, 600), QPoint(600, 1150)})
        QVERIFY2(Near(renderer.FBmp.pixel(at), expected, 2), Mismatch(at, renderer.FBmp.pixel(at), expected).constData());
    QCOMPARE(renderer.FBmp.pixel(0, 0), White);
}

QTEST_MAIN(TstRenderLabel)
#include "tst_render_label.moc"

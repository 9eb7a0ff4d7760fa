// The outline and the four rings, measured on the raster at radii and angles
// computed from the ring geometry.
#include "label/label_document.h"
#include "render/label_renderer.h"
#include "tst_render_support.h"

#include <QtTest>

#include <cmath>

namespace {

const QRgb Background = qRgb(255, 255, 0);  // clYellow
const QRgb Grey = qRgb(128, 128, 128);
const uint32_t Ring1Color = 0x00000080;  // maroon
const uint32_t Ring2Color = 0x00008000;  // green
const uint32_t Ring3Color = 0x00FF0000;  // blue
const uint32_t Ring4Color = 0x000000FF;  // red

struct Band
{
    double Inner;
    double Outer;
    QRgb Color;
};

TLabelDocument RingDocument(bool aRing1, bool aRing2, bool aRing3, bool aRing4)
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x0000FFFF;
    doc.FLabelRing1.Use = aRing1;
    doc.FLabelRing1.Color = Ring1Color;
    doc.FLabelRing2.Use = aRing2;
    doc.FLabelRing2.Color = Ring2Color;
    doc.FLabelRing3.Use = aRing3;
    doc.FLabelRing3.Color = Ring3Color;
    doc.FLabelRing4.Use = aRing4;
    doc.FLabelRing4.Color = Ring4Color;
    return doc;
}

}  // namespace

class TstRenderRings : public QObject
{
    Q_OBJECT

private slots:
    void bandsAlongRays_data();
    void bandsAlongRays();
    void outlineIsOnePixelGrey_data();
    void outlineIsOnePixelGrey();
    void innerRingGaps_data();
    void innerRingGaps();
    void cornersStayWhite();
    void ringColourIgnoresTopByte();
};

void TstRenderRings::bandsAlongRays_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<bool>("ring1");
    QTest::addColumn<bool>("ring2");
    QTest::addColumn<bool>("ring3");
    QTest::addColumn<bool>("ring4");
    for (int item = 0; item < 3; ++item) {
        const QByteArray size = QByteArray::number(TLabelRenderer::WidthForSize(item));
        QTest::newRow(("all rings at " + size).constData()) << item << true << true << true << true;
        QTest::newRow(("no rings at " + size).constData()) << item << false << false << false << false;
        QTest::newRow(("thin rings alone at " + size).constData()) << item << false << true << false << true;
        QTest::newRow(("wide rings alone at " + size).constData()) << item << true << false << true << false;
    }
}

// Walks outwards along rays through the arcs of the inner rings and checks
// every pixel whose centre lies clearly inside a band, or clearly between
// bands, against the radii of the ring table.
void TstRenderRings::bandsAlongRays()
{
    QFETCH(int, sizeItem);
    QFETCH(bool, ring1);
    QFETCH(bool, ring2);
    QFETCH(bool, ring3);
    QFETCH(bool, ring4);

    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    renderer.DrawLabel(RingDocument(ring1, ring2, ring3, ring4));
    const QImage& raster = renderer.FBmp;
    const int w = raster.width();
    const double f = w / 1200.0;

    // Band radii as the ring table gives them: inset bands for the closed
    // rings, centred strokes for the arcs.
    QList<Band> bands;
    const double edge = (w - 2) / 2.0;
    bands.append({edge - 1, edge, Grey});
    if (ring1)
        bands.append({edge - 30 * f, edge, TLabelRenderer::ColorRefToARGB(Ring1Color)});
    if (ring2)
        bands.append({w / 2.0 - 40 * f - 10 * f, w / 2.0 - 40 * f, TLabelRenderer::ColorRefToARGB(Ring2Color)});
    if (ring3)
        bands.append({w / 2.0 - 200 * f - 10 * f, w / 2.0 - 200 * f + 10 * f, TLabelRenderer::ColorRefToARGB(Ring3Color)});
    if (ring4)
        bands.append({w / 2.0 - 220 * f - 5 * f, w / 2.0 - 220 * f + 5 * f, TLabelRenderer::ColorRefToARGB(Ring4Color)});

    // Pixel centres sit at integer label coordinates: the label's centre is
    // the centre of pixel (w/2, w/2).
    const double centre = w / 2 + 0.5;
    const double margin = 1.25;  // anti-aliasing plus the curve approximation
    int checked = 0;
    for (double angle : {45.0, 90.0, 135.0, 225.0, 270.0, 315.0, 60.0, 300.0}) {
        const double radians = qDegreesToRadians(angle);
        QPoint previous(-1, -1);
        for (double r = 0; r < w; r += 0.25) {
            const QPoint pixel(int(std::floor(centre + r * std::cos(radians))),
                               int(std::floor(centre + r * std::sin(radians))));
            if (pixel == previous || !raster.rect().contains(pixel))
                continue;
            previous = pixel;
            const double rho = std::hypot(pixel.x() + 0.5 - centre, pixel.y() + 0.5 - centre);
            // Later rings lie over earlier ones: a band that clearly covers
            // the pixel settles it, a band edge near it makes it uncertain.
            QRgb expected = rho < edge ? Background : White;
            bool ambiguous = std::abs(rho - edge) <= margin;
            for (const Band& band : bands) {
                if (rho > band.Inner + margin && rho < band.Outer - margin) {
                    expected = band.Color;
                    ambiguous = false;
                } else if (std::abs(rho - band.Inner) <= margin || std::abs(rho - band.Outer) <= margin) {
                    ambiguous = true;
                }
            }
            if (ambiguous)
                continue;
            const QRgb actual = raster.pixel(pixel);
            QVERIFY2(Near(actual, expected, 3),
                     qPrintable(QStringLiteral("pixel (%1, %2) at radius %3, %4°: %5, expected %6")
                                    .arg(pixel.x())
                                    .arg(pixel.y())
                                    .arg(rho)
                                    .arg(angle)
                                    .arg(Describe(actual), Describe(expected))));
            ++checked;
        }
    }
    QVERIFY(checked > 8 * w / 4);
}

void TstRenderRings::outlineIsOnePixelGrey_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::newRow("6 cm") << 0;
    QTest::newRow("10 cm") << 1;
    QTest::newRow("14 cm") << 2;
}

// Where the circle meets the axes through its centre, the 1-pixel outline
// lies half on each of two pixels: the circle's centre is the centre of pixel
// (w/2, w/2) and its radius (w - 2)/2 is a whole number, so the band from
// radius r - 1 to r ends on pixel centres. Its grey adds up to one pixel.
void TstRenderRings::outlineIsOnePixelGrey()
{
    QFETCH(int, sizeItem);
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    TLabelDocument doc = RingDocument(false, false, false, false);
    doc.FLabelBg.Color = 0x00FFFFFF;
    renderer.DrawLabel(doc);
    const QImage& raster = renderer.FBmp;
    const int w = raster.width();
    const int mid = w / 2;
    const int radius = (w - 2) / 2;
    // Walking outwards from the centre along each axis.
    const QList<QPoint> steps = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const QPoint step : steps) {
        const QPoint first = QPoint(mid, mid) + step * (radius - 1);
        double ink = 0;
        for (int i = -2; i <= 3; ++i) {
            const QPoint at = first + step * i;
            if (!raster.rect().contains(at))
                continue;
            const QRgb pixel = raster.pixel(at);
            QVERIFY2(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel), qPrintable(Describe(pixel)));
            QVERIFY2(qRed(pixel) >= 128 - 2, qPrintable(Describe(pixel)));
            const double cover = (255 - qRed(pixel)) / 127.0;
            if (i == 0 || i == 1)
                QVERIFY2(cover > 0.3 && cover < 0.7, qPrintable(QStringLiteral("half-covered pixel (%1, %2): %3")
                                                                    .arg(at.x()).arg(at.y()).arg(Describe(pixel))));
            else
                QVERIFY2(cover < 0.03, qPrintable(QStringLiteral("pixel (%1, %2) should be white: %3")
                                                      .arg(at.x()).arg(at.y()).arg(Describe(pixel))));
            ink += cover;
        }
        QVERIFY2(ink > 0.75 && ink < 1.15, qPrintable(QString::number(ink)));
    }
    // Nothing else is drawn: the centre stays white.
    QCOMPARE(raster.pixel(mid, mid), White);
}

void TstRenderRings::innerRingGaps_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<bool>("wideRing");
    for (int item = 0; item < 3; ++item) {
        const QByteArray size = QByteArray::number(TLabelRenderer::WidthForSize(item));
        QTest::newRow(("inner ring 1 at " + size).constData()) << item << true;
        QTest::newRow(("inner ring 2 at " + size).constData()) << item << false;
    }
}

// Each inner ring leaves 40° open around 3 and 9 o'clock, plus the round caps.
void TstRenderRings::innerRingGaps()
{
    QFETCH(int, sizeItem);
    QFETCH(bool, wideRing);
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    renderer.DrawLabel(RingDocument(false, false, wideRing, !wideRing));
    const QImage& raster = renderer.FBmp;
    const int w = raster.width();
    const double f = w / 1200.0;
    const double radius = w / 2.0 - (wideRing ? 200 : 220) * f;
    const double pen = (wideRing ? 20 : 10) * f;
    const QRgb ring = TLabelRenderer::ColorRefToARGB(wideRing ? Ring3Color : Ring4Color);
    const double centre = w / 2 + 0.5;
    const double cap = qRadiansToDegrees(pen / 2 / radius);  // a round cap reaches this far past the arc's end

    auto at = [&](double aDegrees) {
        const double radians = qDegreesToRadians(aDegrees);
        return raster.pixel(int(std::floor(centre + radius * std::cos(radians))),
                            int(std::floor(centre + radius * std::sin(radians))));
    };
    // Angles clockwise from 3 o'clock on the raster.
    for (double middle : {0.0, 180.0}) {
        for (double side : {-1.0, 1.0}) {
            const double open = middle + side * (20 - cap - 1.5);
            const double closed = middle + side * 22;
            QVERIFY2(Near(at(open), Background, 3),
                     qPrintable(QStringLiteral("%1° should be open: %2").arg(open).arg(Describe(at(open)))));
            QVERIFY2(Near(at(closed), ring, 3),
                     qPrintable(QStringLiteral("%1° should be drawn: %2").arg(closed).arg(Describe(at(closed)))));
        }
        QVERIFY(Near(at(middle), Background, 3));
    }
    for (double drawn : {90.0, 270.0, 40.0, 140.0, 220.0, 320.0})
        QVERIFY2(Near(at(drawn), ring, 3), qPrintable(QStringLiteral("%1°").arg(drawn)));
}

void TstRenderRings::cornersStayWhite()
{
    for (int item = 0; item < 3; ++item) {
        TLabelRenderer renderer;
        renderer.SetLabelSize(item);
        renderer.DrawLabel(RingDocument(true, true, true, true));
        const QImage& raster = renderer.FBmp;
        const int last = raster.width() - 1;
        // The circle meets the diagonal about 0.29 of the radius in from each corner.
        const int inset = int(raster.width() * 0.14);
        for (const QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last),
                                    QPoint(inset, inset), QPoint(last - inset, inset), QPoint(inset, last - inset),
                                    QPoint(last - inset, last - inset)})
            QVERIFY2(raster.pixel(corner) == White,
                     qPrintable(QStringLiteral("(%1, %2) at %3 px: %4")
                                    .arg(corner.x())
                                    .arg(corner.y())
                                    .arg(raster.width())
                                    .arg(Describe(raster.pixel(corner)))));
    }
}

void TstRenderRings::ringColourIgnoresTopByte()
{
    TLabelRenderer renderer;
    TLabelDocument doc = RingDocument(true, false, false, false);
    doc.FLabelRing1.Color = 0xFF0000FF;  // red with a system-colour top byte
    renderer.DrawLabel(doc);
    const QRgb band = renderer.FBmp.pixel(600 + 599 - 15, 600);
    QCOMPARE(band, qRgb(255, 0, 0));
}

QTEST_MAIN(TstRenderRings)
#include "tst_render_rings.moc"

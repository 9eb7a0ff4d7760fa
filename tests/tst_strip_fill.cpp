// Filling in bands of rows gives the pixels of one fill: every shape the
// render pass fills that way, and some it does not, against
// QPainter::fillPath on the same raster.
#include "label/label_document.h"
#include "render/label_renderer.h"
#include "render/strip_fill.h"

#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <QPolygonF>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace {

struct TCase
{
    QSize Raster;
    QPainterPath Path;
    QBrush Brush;
    QTransform World = QTransform::fromTranslate(0.5, 0.5);
};

QImage Fill(const TCase& aCase, bool aStrips)
{
    QImage image(aCase.Raster, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setTransform(aCase.World);
    if (aStrips)
        FillPathInStrips(painter, aCase.Path, aCase.Brush);
    else
        painter.fillPath(aCase.Path, aCase.Brush);
    painter.end();
    return image;
}

int ChannelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

QPainterPath Ellipse(const QRectF& aRect)
{
    QPainterPath path;
    path.addEllipse(aRect);
    return path;
}

QPainterPath Stroke(const QPainterPath& aPath, double aWidth)
{
    return QPainterPathStroker(QPen(Qt::black, aWidth, Qt::SolidLine, Qt::RoundCap)).createStroke(aPath);
}

// A star of aPoints points that crosses itself, so the fill rule matters.
QPainterPath Star(QPointF aCentre, double aRadius, int aPoints, Qt::FillRule aRule)
{
    QPolygonF polygon;
    for (int i = 0; i < aPoints; ++i) {
        const double angle = 2 * M_PI * (i * (aPoints / 2)) / aPoints;
        polygon << aCentre + QPointF(std::sin(angle), -std::cos(angle)) * aRadius;
    }
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    path.setFillRule(aRule);
    return path;
}

QImage Pattern()
{
    QImage pattern(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < pattern.height(); ++y)
        for (int x = 0; x < pattern.width(); ++x)
            pattern.setPixel(x, y, qRgb(x * 7, y * 11, (x * y) % 256));
    return pattern;
}

}  // namespace

class TstStripFill : public QObject
{
    Q_OBJECT

private slots:
    void sameAsOneFill_data();
    void sameAsOneFill();
    void insideLeftOutForTheCaller();
    void otherTransformsFallBack();
    void shapesOffTheRasterDrawNothing();
    void photoCircleAsQtFillsIt_data();
    void photoCircleAsQtFillsIt();
};

void TstStripFill::sameAsOneFill_data()
{
    QTest::addColumn<int>("shape");
    QTest::newRow("label disc at 14 cm") << 0;
    QTest::newRow("outer ring at 14 cm") << 1;
    QTest::newRow("inner ring arc with round caps") << 2;
    QTest::newRow("self-crossing star, odd-even") << 3;
    QTest::newRow("self-crossing star, winding") << 4;
    QTest::newRow("a line of text") << 5;
    QTest::newRow("disc reaching above and below the raster") << 6;
    QTest::newRow("texture brush with its own transform and origin") << 7;
    QTest::newRow("many small circles") << 8;
    QTest::newRow("ring of a fractional width at 6 cm") << 9;
}

void TstStripFill::sameAsOneFill()
{
    QFETCH(int, shape);
    TCase c;
    c.Raster = QSize(1650, 1650);
    c.Brush = QBrush(QColor(0, 0, 128));
    const QRectF circle(1, 1, 1648, 1648);
    switch (shape) {
    case 0:
        c.Path = Ellipse(circle);
        break;
    case 1:
        c.Path = Stroke(Ellipse(circle.adjusted(20.625, 20.625, -20.625, -20.625)), 41.25);
        break;
    case 2: {
        QPainterPath arc;
        const QRectF ellipse(275, 275, 1100, 1100);
        arc.arcMoveTo(ellipse, 20);
        arc.arcTo(ellipse, 20, 140);
        c.Path = Stroke(arc, 27.5);
        break;
    }
    case 3:
    case 4:
        c.Path = Star(QPointF(800, 900), 700, 7, shape == 3 ? Qt::OddEvenFill : Qt::WindingFill);
        break;
    case 5: {
        QFont font;
        font.setPixelSize(90);
        font.setBold(true);
        c.Path.addText(QPointF(20, 900), font, QStringLiteral("Velmar's Kaaskelder * 15 sept. 2013"));
        break;
    }
    case 6:
        c.Raster = QSize(900, 500);
        c.Path = Ellipse(QRectF(-100.3, -700.7, 1000, 1900));
        break;
    case 7:
        c.Path = Ellipse(circle);
        c.Brush = QBrush(Pattern());
        c.Brush.setTransform(QTransform::fromTranslate(-3.5, 7.25));
        break;
    case 8:
        for (int i = 0; i < 60; ++i)
            c.Path.addEllipse(QPointF(60 + (i % 10) * 150.3, 80 + (i / 10) * 260.7), 40 + i, 35 + i / 2.0);
        break;
    case 9:
        c.Raster = QSize(750, 750);
        c.Path = Stroke(Ellipse(QRectF(40.125, 40.125, 669.75, 669.75)), 6.25);
        break;
    }
    const QImage reference = Fill(c, false);
    const QImage strips = Fill(c, true);
    int worst = 0;
    int differing = 0;
    int painted = 0;
    for (int y = 0; y < reference.height(); ++y) {
        for (int x = 0; x < reference.width(); ++x) {
            const int difference = ChannelDifference(reference.pixel(x, y), strips.pixel(x, y));
            worst = std::max(worst, difference);
            differing += difference > 2;
            painted += reference.pixel(x, y) != qRgb(255, 255, 255);
        }
    }
    QVERIFY2(painted > 1000, "the shape must cover something");
    // The cut points are rounded once more than in one fill: a few levels on
    // a few edge pixels, never a seam along a band.
    QVERIFY2(worst <= 8, qPrintable(QStringLiteral("largest difference %1").arg(worst)));
    QVERIFY2(differing * 100 <= painted, qPrintable(QStringLiteral("%1 of %2 pixels differ").arg(differing).arg(painted)));
}

// The rectangles the caller names are left untouched, and filling them
// afterwards gives the pixels of one fill.
void TstStripFill::insideLeftOutForTheCaller()
{
    TCase c;
    c.Raster = QSize(800, 800);
    c.Path = Ellipse(QRectF(1, 1, 798, 798));
    c.Brush = QBrush(QColor(0, 0, 128));
    QList<QRect> named;
    const auto inside = [&named](int aTop, int aBottom) {
        // A square well inside the disc, cut to the band.
        const QRect rect = QRect(QPoint(250, 250), QPoint(549, 549)).intersected(QRect(0, aTop, 800, aBottom - aTop));
        named.append(rect);
        return rect;
    };
    QImage image(c.Raster, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(c.World);
        FillPathInStrips(painter, c.Path, c.Brush, inside);
    }
    QVERIFY(named.size() > 20);
    for (const QRect& rect : named)
        if (!rect.isEmpty())
            QCOMPARE(image.pixel(rect.center()), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(400, 100), QColor(0, 0, 128).rgb());
    {
        QPainter painter(&image);
        for (const QRect& rect : named)
            painter.fillRect(rect, c.Brush);
    }
    const QImage reference = Fill(c, false);
    int worst = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            worst = std::max(worst, ChannelDifference(image.pixel(x, y), reference.pixel(x, y)));
    QVERIFY2(worst <= 8, qPrintable(QStringLiteral("largest difference %1").arg(worst)));
}

void TstStripFill::otherTransformsFallBack()
{
    TCase c;
    c.Raster = QSize(600, 600);
    c.Path = Star(QPointF(300, 300), 250, 5, Qt::OddEvenFill);
    c.Brush = QBrush(QColor(200, 30, 30));
    c.World = QTransform().translate(300, 300).rotate(17).scale(0.8, 0.8).translate(-300, -300);
    QCOMPARE(Fill(c, true), Fill(c, false));
}

void TstStripFill::shapesOffTheRasterDrawNothing()
{
    TCase c;
    c.Raster = QSize(400, 300);
    c.Brush = QBrush(Qt::black);
    c.Path = Ellipse(QRectF(10, 310, 380, 900));  // wholly below
    c.Path.addEllipse(QRectF(10, -2000, 380, 1990));  // wholly above
    QImage white(c.Raster, QImage::Format_RGB32);
    white.fill(Qt::white);
    QCOMPARE(Fill(c, true), white);
}

void TstStripFill::photoCircleAsQtFillsIt_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("trans");
    QTest::addColumn<QPointF>("shift");
    QTest::newRow("6 cm, opaque") << 0 << 0 << QPointF(0.5, 0.5);
    QTest::newRow("10 cm, transparency 40") << 1 << 40 << QPointF(0.5, 0.5);
    QTest::newRow("14 cm, transparency 90") << 2 << 90 << QPointF(0.5, 0.5);
    QTest::newRow("a painter moved elsewhere") << 1 << 40 << QPointF(40.5, -20.5);
}

// The background step draws the photo's texture into the raster by hand
// where the pass's painter allows; a clipped painter takes Qt's texture
// fill. Both give the same pixels, on a yellow raster so the edge shows.
void TstStripFill::photoCircleAsQtFillsIt()
{
    QFETCH(int, sizeItem);
    QFETCH(int, trans);
    QFETCH(QPointF, shift);
    QTemporaryDir dir;
    QImage photo(900, 700, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb((x * 3) % 256, (y * 5) % 256, (x + y) % 256));
    const QString path = dir.filePath(QStringLiteral("photo.png"));
    QVERIFY(photo.save(path));
    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = path;
    doc.FLabelBg.Trans = trans;
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    QImage drawn[2];
    for (int clipped = 0; clipped < 2; ++clipped) {
        drawn[clipped] = QImage(renderer.LabelWidth(), renderer.LabelWidth(), QImage::Format_RGB32);
        drawn[clipped].fill(qRgb(255, 255, 0));
        QPainter painter(&drawn[clipped]);
        painter.translate(shift);
        if (clipped)
            painter.setClipRect(QRectF(-1, -1, drawn[clipped].width() + 2, drawn[clipped].height() + 2));
        renderer.Paint(painter, doc, TRenderStep::Background);
    }
    int worst = 0;
    for (int y = 0; y < drawn[0].height(); ++y)
        for (int x = 0; x < drawn[0].width(); ++x)
            worst = std::max(worst, ChannelDifference(drawn[0].pixel(x, y), drawn[1].pixel(x, y)));
    QVERIFY2(worst <= 1, qPrintable(QStringLiteral("largest difference %1").arg(worst)));
    const int w = drawn[0].width();
    QVERIFY(drawn[0].pixel(w / 2, w / 2) != qRgb(255, 255, 0));
    QCOMPARE(drawn[0].pixel(2, w - 3), qRgb(255, 255, 0));
}

QTEST_MAIN(TstStripFill)
#include "tst_strip_fill.moc"

// The curved text layout: fonts at fractional pixel sizes, measurements,
// the placement of every character along the circle and the glyphs it draws.
#include "render/curved_text.h"

#include <QBrush>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

// Design units of Liberation Sans Bold, the face "Arial" resolves to.
constexpr double UnitsPerEm = 2048;
constexpr double LineSpacingUnits = 2355;  // ascender 1854 + descender 434 + line gap 67
constexpr double AscentUnits = 1854;
constexpr double NoBreakSpaceUnits = 569;

QImage WhiteRaster(int aWidth)
{
    QImage image(aWidth, aWidth, QImage::Format_RGB32);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    image.fill(Qt::white);
    return image;
}

// Ink of black text on white, as the renderer's painter draws it.
struct TInk
{
    int Count = 0;
    double MinRadius = 1e9;
    double MaxRadius = -1e9;
    QPointF Centroid;
    QRect Bounds;
};

TInk MeasureInk(const QImage& aImage, QPointF aCentre)
{
    TInk ink;
    double sumX = 0;
    double sumY = 0;
    for (int y = 0; y < aImage.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(aImage.constScanLine(y));
        for (int x = 0; x < aImage.width(); ++x) {
            if (qGray(line[x]) >= 128)
                continue;
            ++ink.Count;
            // A pixel's centre x + 0.5 is x in the half-pixel-shifted
            // coordinates the pass draws in.
            const double px = x;
            const double py = y;
            const double radius = std::hypot(px - aCentre.x(), py - aCentre.y());
            ink.MinRadius = std::min(ink.MinRadius, radius);
            ink.MaxRadius = std::max(ink.MaxRadius, radius);
            sumX += px;
            sumY += py;
            ink.Bounds |= QRect(x, y, 1, 1);
        }
    }
    if (ink.Count > 0)
        ink.Centroid = QPointF(sumX / ink.Count, sumY / ink.Count);
    return ink;
}

// Angle of a point about aCentre: from 12 o'clock, clockwise on the raster.
double AngleOf(QPointF aPoint, QPointF aCentre)
{
    double angle = std::atan2(aPoint.x() - aCentre.x(), -(aPoint.y() - aCentre.y()));
    if (angle < 0)
        angle += 2 * Pi;
    return angle;
}

QImage DrawCurved(const QString& aText, const TLabelFont& aFont, double aDistance,
                  double aRadians, bool aTopInside, int aWidth = 1200)
{
    QImage image = WhiteRaster(aWidth);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0.5, 0.5);
    DrawCurvedTextOrg(&painter, aText, QPoint(aWidth / 2, aWidth / 2), aDistance, aRadians, aFont,
                      QBrush(Qt::black), aTopInside);
    painter.end();
    return image;
}

}  // namespace

class TestCurvedText : public QObject
{
    Q_OBJECT

private slots:
    void fontMetricsScaleExactly_data();
    void fontMetricsScaleExactly();
    void unknownFontNameFallsBackToSansSerif();
    void invalidEmSizesGiveNoFont_data();
    void invalidEmSizesGiveNoFont();
    void spaceAndNoBreakSpaceWidths();
    void graphemeClusters_data();
    void graphemeClusters();
    void placementAtDocumentedPositions_data();
    void placementAtDocumentedPositions();
    void placementMiddleOfFirstAndLastCentres_data();
    void placementMiddleOfFirstAndLastCentres();
    void placementBeyondOneTurnGoesOn();
    void placementNeedsPositiveRadius_data();
    void placementNeedsPositiveRadius();
    void glyphStandsOnItsSideOfTheCircle_data();
    void glyphStandsOnItsSideOfTheCircle();
    void drawnGlyphSitsInItsBand_data();
    void drawnGlyphSitsInItsBand();
    void drawnTextReadsLeftToRight_data();
    void drawnTextReadsLeftToRight();
    void nothingDrawn_data();
    void nothingDrawn();
    void hugeInputsFinish_data();
    void hugeInputsFinish();

private:
    TFontCache FFonts;
};

void TestCurvedText::fontMetricsScaleExactly_data()
{
    QTest::addColumn<double>("emSize");
    QTest::newRow("40 px, the 10 cm default") << 40.0;
    QTest::newRow("25 px, the 6 cm default") << 25.0;
    QTest::newRow("55 px, the 14 cm default") << 55.0;
    QTest::newRow("20.625 px, size 33 at 6 cm") << 20.625;
    QTest::newRow("13.75 px, size 10 at 14 cm") << 13.75;
}

void TestCurvedText::fontMetricsScaleExactly()
{
    QFETCH(double, emSize);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), emSize);
    QVERIFY(!font.IsNull());
    QCOMPARE(font.Family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(font.EmSize(), emSize);
    QVERIFY(qFuzzyCompare(font.LineSpacing(), emSize * LineSpacingUnits / UnitsPerEm));
    QVERIFY(qFuzzyCompare(MeasureFnt(font).height(), emSize * LineSpacingUnits / UnitsPerEm));
    QCOMPARE(MeasureFnt(font).width(), 0.0);
    QVERIFY(qFuzzyCompare(font.Ascent(), emSize * AscentUnits / UnitsPerEm));
    // Fractional sizes are not rounded to whole pixels: widths are linear in the em.
    const TLabelFont reference = FFonts.Font(QStringLiteral("Arial"), 100);
    for (const QString& character : {QStringLiteral("W"), QStringLiteral("i"), QStringLiteral("K")})
        QVERIFY(qFuzzyCompare(font.Advance(character) / emSize, reference.Advance(character) / 100));
    const QRectF outline = font.ReferenceOutline(QStringLiteral("H")).boundingRect();
    // The outline's baseline sits at the ascent below the line box's top.
    QVERIFY(qAbs(outline.bottom() * font.Scale() - font.Ascent()) < 1e-6 * emSize);
}

void TestCurvedText::unknownFontNameFallsBackToSansSerif()
{
    for (const QString& name : {QStringLiteral("No Such Font Anywhere"), QString()}) {
        const TLabelFont font = FFonts.Font(name, 40);
        QVERIFY(!font.IsNull());
        QVERIFY2(!font.Family().isEmpty(), qPrintable(name));
        QVERIFY(font.Advance(QStringLiteral("W")) > 10);
        QVERIFY(!font.ReferenceOutline(QStringLiteral("W")).isEmpty());
        const QImage image = DrawCurved(QStringLiteral("Kaas"), font, 400, 0, false);
        QVERIFY2(MeasureInk(image, QPointF(600, 600)).Count > 100, "an unknown font still draws");
    }
}

void TestCurvedText::invalidEmSizesGiveNoFont_data()
{
    QTest::addColumn<double>("emSize");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative") << -40.0;
    QTest::newRow("not a number") << std::nan("");
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
    QTest::newRow("beyond the raster's coordinates") << 3.0e9;
}

void TestCurvedText::invalidEmSizesGiveNoFont()
{
    QFETCH(double, emSize);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), emSize);
    QVERIFY(font.IsNull());
    QCOMPARE(MeasureFnt(font).height(), 0.0);
}

void TestCurvedText::spaceAndNoBreakSpaceWidths()
{
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 40);
    QList<double> widths;
    const double sum = GetCharacterWidths(
        {QStringLiteral("H"), QStringLiteral(" "), QString(QChar(0x00A0)), QStringLiteral("H")}, font, widths);
    QCOMPARE(widths.size(), 4);
    // The space: a third of the em, not the face's own narrower space.
    QVERIFY(qFuzzyCompare(widths[1], 40.0 / 3));
    // The no-break space is measured like any other character.
    QVERIFY(qFuzzyCompare(widths[2], 40 * NoBreakSpaceUnits / UnitsPerEm));
    QVERIFY(qFuzzyCompare(sum, widths[0] + widths[1] + widths[2] + widths[3]));
    QCOMPARE(GetCharacterWidths({}, font, widths), 0.0);
    QVERIFY(widths.isEmpty());
}

void TestCurvedText::graphemeClusters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("clusters");
    QTest::newRow("plain letters") << QStringLiteral("Kaas") << QStringList{"K", "a", "a", "s"};
    QTest::newRow("combining accent stays with its letter")
        << QStringLiteral("Bre\u0301") << QStringList{"B", "r", QStringLiteral("e\u0301")};
    QTest::newRow("character outside the basic plane is one")
        << QString::fromUcs4(U"a\U0001D400b") << QStringList{"a", QString::fromUcs4(U"\U0001D400"), "b"};
    QTest::newRow("spaces are characters") << QStringLiteral(" a  ") << QStringList{" ", "a", " ", " "};
    QTest::newRow("empty") << QString() << QStringList{};
}

void TestCurvedText::graphemeClusters()
{
    QFETCH(QString, text);
    QFETCH(QStringList, clusters);
    QCOMPARE(SplitGraphemes(text), clusters);
    // A letter with a combining accent advances like the letter alone, in one step.
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 40);
    QList<double> widths;
    GetCharacterWidths(SplitGraphemes(text), font, widths);
    QCOMPARE(widths.size(), clusters.size());
    for (double width : widths)
        QVERIFY(width > 0);
    if (text.contains(QChar(0x0301)))
        QVERIFY(qFuzzyCompare(widths.last(), font.Advance(QStringLiteral("e"))));
}

void TestCurvedText::placementAtDocumentedPositions_data()
{
    QTest::addColumn<QList<double>>("widths");
    QTest::addColumn<double>("radians");
    QTest::addColumn<bool>("topInside");
    QTest::addColumn<QList<double>>("expectedRadians");

    const double d = 400;
    QTest::newRow("one character on top, half its width before the middle")
        << QList<double>{42} << 0.0 << false << QList<double>{-42 / (2 * d)};
    QTest::newRow("two of 30 on top: first 30 of arc before, second at the middle")
        << QList<double>{30, 30} << 0.0 << false << QList<double>{-30 / d, 0};
    QTest::newRow("one character at the bottom, reading counter-clockwise")
        << QList<double>{42} << Pi << true << QList<double>{Pi + 42 / (2 * d)};
    QTest::newRow("two of 30 at the bottom")
        << QList<double>{30, 30} << Pi << true << QList<double>{Pi + 30 / d, Pi};
    QTest::newRow("three of unequal widths on top")
        << QList<double>{10, 50, 20} << 0.0 << false
        << QList<double>{-40 / d, -40 / d + 30 / d, -40 / d + 30 / d + 35 / d};
}

void TestCurvedText::placementAtDocumentedPositions()
{
    QFETCH(QList<double>, widths);
    QFETCH(double, radians);
    QFETCH(bool, topInside);
    QFETCH(QList<double>, expectedRadians);

    const QPoint centre(600, 600);
    const double d = 400;
    const QList<TCharacterPlacement> places = PlaceCharacters(widths, centre, d, radians, topInside);
    QCOMPARE(places.size(), expectedRadians.size());
    for (qsizetype i = 0; i < places.size(); ++i) {
        const double a = expectedRadians[i];
        QVERIFY2(qAbs(places[i].Radians - a) < 1e-12, qPrintable(QString::number(i)));
        QVERIFY(qAbs(places[i].OnCircle.x() - (600 + d * std::sin(a))) < 1e-9);
        QVERIFY(qAbs(places[i].OnCircle.y() - (600 - d * std::cos(a))) < 1e-9);
        QVERIFY(qAbs(places[i].RotationDegrees - (a * 180 / Pi - (topInside ? 180 : 0))) < 1e-9);
    }
}

void TestCurvedText::placementMiddleOfFirstAndLastCentres_data()
{
    QTest::addColumn<bool>("topInside");
    QTest::newRow("clockwise on top") << false;
    QTest::newRow("counter-clockwise at the bottom") << true;
}

void TestCurvedText::placementMiddleOfFirstAndLastCentres()
{
    QFETCH(bool, topInside);
    const QList<double> widths{14, 31, 9, 40, 22};
    const double d = 520;
    const double middle = topInside ? Pi : 0;
    const QList<TCharacterPlacement> places =
        PlaceCharacters(widths, QPoint(600, 600), d, middle, topInside);
    // The middle of the first and last centres lies a quarter of their two
    // widths of arc before the middle, in the reading direction.
    const double shift = (widths.first() + widths.last()) / 4 / d;
    const double between = (places.first().Radians + places.last().Radians) / 2;
    QVERIFY(qAbs(between - (topInside ? middle + shift : middle - shift)) < 1e-12);
}

void TestCurvedText::placementBeyondOneTurnGoesOn()
{
    const double d = 100;
    const QList<double> widths(400, 3.0);  // 1200 px of text on a 628 px circle
    const QList<TCharacterPlacement> places = PlaceCharacters(widths, QPoint(600, 600), d, 0, false);
    QCOMPARE(places.size(), widths.size());
    const double span = places.last().Radians - places.first().Radians;
    QVERIFY(qAbs(span - 399 * 3 / d) < 1e-9);
    QVERIFY(span > 2 * Pi);
}

void TestCurvedText::placementNeedsPositiveRadius_data()
{
    QTest::addColumn<double>("distance");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative, a name font taller than the label") << -35.0;
    QTest::newRow("not a number") << std::nan("");
}

void TestCurvedText::placementNeedsPositiveRadius()
{
    QFETCH(double, distance);
    QVERIFY(PlaceCharacters({20, 20}, QPoint(600, 600), distance, 0, false).isEmpty());
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 40);
    QCOMPARE(MeasureInk(DrawCurved(QStringLiteral("Kaas"), font, distance, 0, false), QPointF(600, 600)).Count, 0);
}

void TestCurvedText::glyphStandsOnItsSideOfTheCircle_data()
{
    QTest::addColumn<double>("radians");
    QTest::addColumn<bool>("topInside");
    QTest::newRow("top, tops outwards") << 0.0 << false;
    QTest::newRow("bottom, tops inwards") << Pi << true;
    QTest::newRow("right-hand side, tops outwards") << Pi / 2 << false;
    QTest::newRow("top, tops inwards (upside down)") << 0.0 << true;
}

void TestCurvedText::glyphStandsOnItsSideOfTheCircle()
{
    QFETCH(double, radians);
    QFETCH(bool, topInside);
    const QPointF centre(600, 600);
    const double d = 400;
    const double width = 30;
    const double height = 46;
    const QList<TCharacterPlacement> places =
        PlaceCharacters({width}, centre.toPoint(), d, radians, topInside);
    QCOMPARE(places.size(), 1);
    const QTransform transform = CharacterTransform(places[0], width, height);

    // The middle of the line box's bottom edge lands on the circle ...
    const QPointF base = transform.map(QPointF(width / 2, height));
    QVERIFY(QLineF(base, places[0].OnCircle).length() < 1e-9);
    // ... and its top at the line height outwards or inwards.
    const QPointF top = transform.map(QPointF(width / 2, 0));
    const double topRadius = QLineF(top, centre).length();
    QVERIFY(qAbs(topRadius - (topInside ? d - height : d + height)) < 1e-9);
    // The bottom edge is tangent to the circle: both its ends are equally far out.
    const double leftRadius = QLineF(transform.map(QPointF(0, height)), centre).length();
    const double rightRadius = QLineF(transform.map(QPointF(width, height)), centre).length();
    QVERIFY(qAbs(leftRadius - rightRadius) < 1e-9);
    // Left to right along the glyph follows the text's own direction.
    const double leftAngle = AngleOf(transform.map(QPointF(0, height)), centre);
    const double rightAngle = AngleOf(transform.map(QPointF(width, height)), centre);
    double turn = std::remainder(rightAngle - leftAngle, 2 * Pi);
    QVERIFY(topInside ? turn < 0 : turn > 0);
    // Upright at the top for tops outwards and at the bottom for tops
    // inwards: the glyph's left edge is then on the raster's left.
    if ((radians == 0 && !topInside) || (radians == Pi && topInside))
        QVERIFY(transform.map(QPointF(0, height)).x() < transform.map(QPointF(width, height)).x());
    if (radians == 0 && topInside)
        QVERIFY(transform.map(QPointF(0, height)).x() > transform.map(QPointF(width, height)).x());
}

void TestCurvedText::drawnGlyphSitsInItsBand_data()
{
    QTest::addColumn<double>("emSize");
    QTest::addColumn<bool>("topInside");
    QTest::newRow("tops outwards at 40 px") << 40.0 << false;
    QTest::newRow("tops inwards at 40 px") << 40.0 << true;
    QTest::newRow("tops outwards at 20.625 px") << 20.625 << false;
    QTest::newRow("tops inwards at 55 px") << 55.0 << true;
}

void TestCurvedText::drawnGlyphSitsInItsBand()
{
    QFETCH(double, emSize);
    QFETCH(bool, topInside);
    const QPointF centre(600, 600);
    const double d = 400;
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), emSize);
    const double radians = topInside ? Pi : 0;
    const TInk ink = MeasureInk(DrawCurved(QStringLiteral("H"), font, d, radians, topInside), centre);
    QVERIFY(ink.Count > 0);

    // "H" stands on its baseline, the line height minus the ascent inside the
    // line box's bottom edge, and rises by its cap height.
    const double em = emSize / UnitsPerEm;
    const double baseline = (LineSpacingUnits - AscentUnits) * em;
    const double capHeight = 1409 * em;
    const double tolerance = 1.0;
    if (!topInside) {
        QVERIFY2(qAbs(ink.MinRadius - (d + baseline)) < tolerance, qPrintable(QString::number(ink.MinRadius)));
        QVERIFY(ink.MaxRadius < d + baseline + capHeight + 2 * tolerance);
        QVERIFY(ink.MaxRadius > d + baseline + capHeight - tolerance);
    } else {
        QVERIFY2(qAbs(ink.MaxRadius - (d - baseline)) < tolerance, qPrintable(QString::number(ink.MaxRadius)));
        QVERIFY(ink.MinRadius > d - baseline - capHeight - tolerance);
        QVERIFY(ink.MinRadius < d - baseline - capHeight + tolerance);
    }

    // Its centre: half its advance of arc before the middle in the reading
    // direction, then the outline's left bearing further on.
    const double advance = font.Advance(QStringLiteral("H"));
    const QRectF bounds = font.ReferenceOutline(QStringLiteral("H")).boundingRect();
    const double bearing = bounds.left() * font.Scale();
    const double inkRadius = (ink.MinRadius + ink.MaxRadius) / 2;
    const double along = (-advance / 2) / d + bearing / inkRadius;
    const double expected = topInside ? radians - along : radians + along;
    const double angle = AngleOf(ink.Centroid, centre);
    QVERIFY2(qAbs(std::remainder(angle - expected, 2 * Pi)) * inkRadius < 1.0,
             qPrintable(QStringLiteral("angle %1, expected %2").arg(angle).arg(expected)));
}

void TestCurvedText::drawnTextReadsLeftToRight_data()
{
    QTest::addColumn<double>("radians");
    QTest::addColumn<bool>("topInside");
    QTest::newRow("top, tops outwards") << 0.0 << false;
    QTest::newRow("bottom, tops inwards") << Pi << true;
}

void TestCurvedText::drawnTextReadsLeftToRight()
{
    QFETCH(double, radians);
    QFETCH(bool, topInside);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 60);
    // The full stop after the wide W: reading left to right puts the bulk of
    // the ink left of the middle.
    const TInk ink = MeasureInk(DrawCurved(QStringLiteral("W."), font, 400, radians, topInside), QPointF(600, 600));
    QVERIFY(ink.Count > 0);
    QVERIFY2(ink.Centroid.x() < 600 - 5, qPrintable(QString::number(ink.Centroid.x())));
    // And each glyph is upright: for "L" the foot, at the bottom of the ink,
    // reaches further right than the stem at the top.
    const QImage image = DrawCurved(QStringLiteral("L"), font, 400, radians, topInside);
    const TInk l = MeasureInk(image, QPointF(600, 600));
    const QImage topRows = image.copy(l.Bounds.left(), l.Bounds.top(), l.Bounds.width(), l.Bounds.height() / 4);
    const QImage bottomRows = image.copy(l.Bounds.left(), l.Bounds.bottom() - l.Bounds.height() / 4,
                                         l.Bounds.width(), l.Bounds.height() / 4);
    QVERIFY(MeasureInk(bottomRows, QPointF()).Bounds.right() > MeasureInk(topRows, QPointF()).Bounds.right() + 10);
}

void TestCurvedText::nothingDrawn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("emSize");
    QTest::addColumn<double>("distance");
    QTest::newRow("empty text") << QString() << 40.0 << 400.0;
    QTest::newRow("only spaces") << QStringLiteral("   ") << 40.0 << 400.0;
    QTest::newRow("no font size") << QStringLiteral("Kaas") << 0.0 << 400.0;
    QTest::newRow("negative font size") << QStringLiteral("Kaas") << -40.0 << 400.0;
    QTest::newRow("zero radius") << QStringLiteral("Kaas") << 40.0 << 0.0;
}

void TestCurvedText::nothingDrawn()
{
    QFETCH(QString, text);
    QFETCH(double, emSize);
    QFETCH(double, distance);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), emSize);
    const QImage image = DrawCurved(text, font, distance, 0, false);
    QCOMPARE(MeasureInk(image, QPointF(600, 600)).Count, 0);
}

void TestCurvedText::hugeInputsFinish_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("emSize");
    QTest::addColumn<bool>("topInside");
    QTest::addColumn<double>("distance");
    // Tops inwards on a circle where the huge glyphs reach across the raster.
    QTest::newRow("a 100000 px font") << QStringLiteral("Kaas") << 100000.0 << true << 55000.0;
    QTest::newRow("100000 characters") << QString(100000, QLatin1Char('k')) << 40.0 << false << 400.0;
    QString different;
    for (int i = 0; i < 100000; ++i)
        different += QChar(0x4E00 + i % 20000);
    QTest::newRow("100000 different characters") << different << 40.0 << false << 400.0;
}

void TestCurvedText::hugeInputsFinish()
{
    QFETCH(QString, text);
    QFETCH(double, emSize);
    QFETCH(bool, topInside);
    QFETCH(double, distance);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), emSize);
    QVERIFY(!font.IsNull());
    const QImage image = DrawCurved(text, font, distance, topInside ? Pi : 0, topInside);
    QVERIFY(MeasureInk(image, QPointF(600, 600)).Count > 0);
    QCOMPARE(SplitGraphemes(text, MaxCurvedCharacters).size(),
             std::min(SplitGraphemes(text).size(), MaxCurvedCharacters));
}

QTEST_MAIN(TestCurvedText)
#include "tst_curved_text.moc"

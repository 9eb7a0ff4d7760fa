// The curved text layout: fonts at fractional pixel sizes, measurements and
// the placement of every character along the circle.
#include "render/curved_text.h"

#include <QBrush>
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

// Draws as the render pass does (anti-aliased, pixel centres at integers)
// and returns the ink: pixels more than half dark, as a bounding box and a
// centroid in drawing coordinates.
struct TInk
{
    int Count = 0;
    QPointF Centroid;
    QRect Bounds;
};

TInk Ink(const QImage& aImage)
{
    TInk ink;
    QPointF sum;
    for (int y = 0; y < aImage.height(); ++y)
        for (int x = 0; x < aImage.width(); ++x)
            if (qGray(aImage.pixel(x, y)) < 128) {
                ++ink.Count;
                sum += QPointF(x, y);
                ink.Bounds |= QRect(x, y, 1, 1);
            }
    if (ink.Count > 0)
        ink.Centroid = sum / ink.Count;
    return ink;
}

QImage DrawCurved(const QString& aText, const TLabelFont& aFont, double aDistance, double aRadians,
                  bool aTopInside)
{
    QImage image(1200, 1200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0.5, 0.5);
    DrawCurvedTextOrg(&painter, aText, QPoint(600, 600), aDistance, aRadians, aFont, QBrush(Qt::black),
                      aTopInside);
    return image;
}

}  // namespace

class TestCurvedText : public QObject
{
    Q_OBJECT

private slots:
    void metricsScaleExactly_data();
    void metricsScaleExactly();
    void noFontForUnusableSizes_data();
    void noFontForUnusableSizes();
    void spaceWidths();
    void graphemeClusters_data();
    void graphemeClusters();
    void placement_data();
    void placement();
    void glyphStandsOnItsSide_data();
    void glyphStandsOnItsSide();
    void drawnTextReadsLeftToRight_data();
    void drawnTextReadsLeftToRight();
    void nothingDrawn_data();
    void nothingDrawn();
    void hugeInputsFinish_data();
    void hugeInputsFinish();

private:
    TFontCache FFonts;
};

void TestCurvedText::metricsScaleExactly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("emSize");
    QTest::newRow("Arial, 40 px on the 10 cm label") << "Arial" << 40.0;
    QTest::newRow("Arial, 20.625 px: size 33 at 6 cm") << "Arial" << 20.625;
    QTest::newRow("Arial, 13.75 px: size 10 at 14 cm") << "Arial" << 13.75;
    QTest::newRow("unknown name, default sans-serif") << "Geen Bestaand Lettertype" << 40.0;
    QTest::newRow("empty name, default sans-serif") << "" << 25.0;
}

void TestCurvedText::metricsScaleExactly()
{
    QFETCH(QString, name);
    QFETCH(double, emSize);
    const TLabelFont font = FFonts.Font(name, emSize);
    QVERIFY(!font.IsNull());
    QVERIFY(!font.Family().isEmpty());
    QCOMPARE(MeasureFnt(font).width(), 0.0);
    if (name == QLatin1String("Arial")) {
        QCOMPARE(font.Family(), QStringLiteral("Liberation Sans"));
        QVERIFY(qFuzzyCompare(MeasureFnt(font).height(), emSize * LineSpacingUnits / UnitsPerEm));
        QVERIFY(qFuzzyCompare(font.Ascent(), emSize * AscentUnits / UnitsPerEm));
    }
    // Fractional sizes are not rounded to whole pixels: widths are linear in the em.
    const TLabelFont reference = FFonts.Font(name, 100);
    for (const QString& character : {QStringLiteral("W"), QStringLiteral("i"), QStringLiteral("K")})
        QVERIFY(qFuzzyCompare(font.Advance(character) / emSize, reference.Advance(character) / 100));
    // The outline's baseline (the bottom of "H") lies at the ascent.
    const double bottom = font.ReferenceOutline(QStringLiteral("H")).boundingRect().bottom() * font.Scale();
    QVERIFY(qAbs(bottom - font.Ascent()) < 1e-6 * emSize);
}

void TestCurvedText::noFontForUnusableSizes_data()
{
    QTest::addColumn<double>("emSize");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative") << -40.0;
    QTest::newRow("not a number") << std::nan("");
    QTest::newRow("beyond the raster's coordinates") << 3.0e9;
}

void TestCurvedText::noFontForUnusableSizes()
{
    QFETCH(double, emSize);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), emSize);
    QVERIFY(font.IsNull());
    QCOMPARE(MeasureFnt(font).height(), 0.0);
}

void TestCurvedText::spaceWidths()
{
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 40);
    QList<double> widths;
    const double sum = GetCharacterWidths({"H", " ", QString(QChar(0x00A0))}, font, widths);
    QCOMPARE(widths.size(), 3);
    // The space: a third of the em. The no-break space: measured like any
    // other character, so the face's own width.
    QVERIFY(qFuzzyCompare(widths[1], 40.0 / 3));
    QVERIFY(qFuzzyCompare(widths[2], 40 * NoBreakSpaceUnits / UnitsPerEm));
    QVERIFY(qFuzzyCompare(sum, widths[0] + widths[1] + widths[2]));
    QCOMPARE(GetCharacterWidths({}, font, widths), 0.0);
    QVERIFY(widths.isEmpty());
}

void TestCurvedText::graphemeClusters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("clusters");
    QTest::newRow("plain letters and spaces") << " Ka  " << QStringList{" ", "K", "a", " ", " "};
    QTest::newRow("combining accent stays with its letter")
        << QStringLiteral("Bre\u0301") << QStringList{"B", "r", QStringLiteral("e\u0301")};
    QTest::newRow("character outside the basic plane is one")
        << QString::fromUcs4(U"a\U0001D400") << QStringList{"a", QString::fromUcs4(U"\U0001D400")};
    QTest::newRow("empty") << QString() << QStringList{};
}

void TestCurvedText::graphemeClusters()
{
    QFETCH(QString, text);
    QFETCH(QStringList, clusters);
    QCOMPARE(SplitGraphemes(text), clusters);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 40);
    QList<double> widths;
    GetCharacterWidths(clusters, font, widths);
    for (double width : widths)
        QVERIFY(width > 0);
    // A letter with a combining accent advances like the letter alone.
    if (text.contains(QChar(0x0301)))
        QVERIFY(qFuzzyCompare(widths.last(), font.Advance(QStringLiteral("e"))));
}

void TestCurvedText::placement_data()
{
    QTest::addColumn<QList<double>>("widths");
    QTest::addColumn<bool>("topInside");
    QTest::addColumn<QList<double>>("expected");  // radians of the centres
    // Centre (600, 600), radius 400, centred on 0 (top) or π (bottom).
    const double d = 400;
    QTest::newRow("one character on top: half its width of arc before 0")
        << QList<double>{42} << false << QList<double>{-21 / d};
    QTest::newRow("two of 30 on top: the first 30 of arc before 0, the second at it")
        << QList<double>{30, 30} << false << QList<double>{-30 / d, 0};
    QTest::newRow("two of 30 at the bottom, counter-clockwise")
        << QList<double>{30, 30} << true << QList<double>{Pi + 30 / d, Pi};
    QTest::newRow("unequal widths: steps of half the sum of neighbours")
        << QList<double>{10, 50, 20} << false << QList<double>{-40 / d, -10 / d, 25 / d};
    QTest::newRow("beyond a full turn the layout goes on")
        << QList<double>(1000, 3.0) << false << QList<double>{-1500 / d, -1497 / d};
}

void TestCurvedText::placement()
{
    QFETCH(QList<double>, widths);
    QFETCH(bool, topInside);
    QFETCH(QList<double>, expected);
    const double d = 400;
    const QList<TCharacterPlacement> places =
        PlaceCharacters(widths, QPoint(600, 600), d, topInside ? Pi : 0, topInside);
    QCOMPARE(places.size(), widths.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const double a = expected[i];
        QVERIFY2(qAbs(places[i].Radians - a) < 1e-12, qPrintable(QString::number(places[i].Radians)));
        QVERIFY(QLineF(places[i].OnCircle, QPointF(600 + d * std::sin(a), 600 - d * std::cos(a))).length() < 1e-9);
        QVERIFY(qAbs(places[i].RotationDegrees - (a * 180 / Pi - (topInside ? 180 : 0))) < 1e-9);
    }
}

void TestCurvedText::glyphStandsOnItsSide_data()
{
    QTest::addColumn<double>("radians");
    QTest::addColumn<bool>("topInside");
    QTest::newRow("top, tops outwards") << 0.0 << false;
    QTest::newRow("bottom, tops inwards") << Pi << true;
    QTest::newRow("right-hand side, tops outwards") << Pi / 2 << false;
    QTest::newRow("top, tops inwards (upside down)") << 0.0 << true;
}

void TestCurvedText::glyphStandsOnItsSide()
{
    QFETCH(double, radians);
    QFETCH(bool, topInside);
    const QPointF centre(600, 600);
    const double d = 400;
    const double width = 30;
    const double height = 46;
    const TCharacterPlacement place = PlaceCharacters({width}, centre.toPoint(), d, radians, topInside).at(0);
    const QTransform transform = CharacterTransform(place, width, height);
    const auto radius = [&](QPointF aPoint) { return QLineF(transform.map(aPoint), centre).length(); };

    // The middle of the line box's bottom edge lands on the circle, tangent
    // to it; the box's top lies the line height outwards or inwards.
    QVERIFY(QLineF(transform.map(QPointF(width / 2, height)), place.OnCircle).length() < 1e-9);
    QVERIFY(qAbs(radius(QPointF(0, height)) - radius(QPointF(width, height))) < 1e-9);
    QVERIFY(qAbs(radius(QPointF(width / 2, 0)) - (topInside ? d - height : d + height)) < 1e-9);
    // Upright where it reads: the glyph's left on the raster's left.
    const double leftToRight = transform.map(QPointF(width, height)).x() - transform.map(QPointF(0, height)).x();
    if (radians == Pi / 2)
        QVERIFY(transform.map(QPointF(width, height)).y() > transform.map(QPointF(0, height)).y());
    else
        QVERIFY((leftToRight > 0) == ((radians == 0) != topInside));
}

void TestCurvedText::drawnTextReadsLeftToRight_data()
{
    QTest::addColumn<bool>("topInside");
    QTest::newRow("top, tops outwards") << false;
    QTest::newRow("bottom, tops inwards") << true;
}

void TestCurvedText::drawnTextReadsLeftToRight()
{
    QFETCH(bool, topInside);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 60);
    const double radians = topInside ? Pi : 0;
    // The wide W before the full stop: reading left to right puts the bulk of the ink left.
    QVERIFY(Ink(DrawCurved(QStringLiteral("W."), font, 400, radians, topInside)).Centroid.x() < 600 - 5);
    // Upright "L": its foot, at the bottom of the ink, reaches further right than the stem's top.
    const QImage image = DrawCurved(QStringLiteral("L"), font, 400, radians, topInside);
    const QRect l = Ink(image).Bounds;
    const int quarter = l.height() / 4;
    const TInk top = Ink(image.copy(l.left(), l.top(), l.width(), quarter));
    const TInk bottom = Ink(image.copy(l.left(), l.bottom() - quarter, l.width(), quarter));
    QVERIFY(bottom.Bounds.right() > top.Bounds.right() + 10);
}

void TestCurvedText::nothingDrawn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("emSize");
    QTest::addColumn<double>("distance");
    QTest::newRow("empty text") << QString() << 40.0 << 400.0;
    QTest::newRow("only spaces") << "   " << 40.0 << 400.0;
    QTest::newRow("font size 0") << "Kaas" << 0.0 << 400.0;
    QTest::newRow("negative font size") << "Kaas" << -40.0 << 400.0;
    QTest::newRow("radius 0") << "Kaas" << 40.0 << 0.0;
    QTest::newRow("negative radius: a name font taller than the label") << "Kaas" << 40.0 << -35.0;
    QTest::newRow("radius not a number") << "Kaas" << 40.0 << std::nan("");
}

void TestCurvedText::nothingDrawn()
{
    QFETCH(QString, text);
    QFETCH(double, emSize);
    QFETCH(double, distance);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), emSize);
    QCOMPARE(Ink(DrawCurved(text, font, distance, 0, false)).Count, 0);
}

void TestCurvedText::hugeInputsFinish_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("emSize");
    QTest::addColumn<double>("distance");
    // Tops inwards on a circle where the huge glyphs reach across the raster.
    QTest::newRow("a 100000 px font") << "Kaas" << 100000.0 << 55000.0;
    QTest::newRow("100000 characters") << QString(100000, QLatin1Char('k')) << 40.0 << 400.0;
    QString different;
    for (int i = 0; i < 100000; ++i)
        different += QChar(0x4E00 + i % 20000);
    QTest::newRow("100000 different characters") << different << 40.0 << 400.0;
}

void TestCurvedText::hugeInputsFinish()
{
    QFETCH(QString, text);
    QFETCH(double, emSize);
    QFETCH(double, distance);
    const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), emSize);
    QVERIFY(Ink(DrawCurved(text, font, distance, Pi, true)).Count > 0);
    QCOMPARE(SplitGraphemes(text, MaxCurvedCharacters).size(),
             std::min(SplitGraphemes(text).size(), MaxCurvedCharacters));
}

QTEST_MAIN(TestCurvedText)
#include "tst_curved_text.moc"

// The curved text layout: character widths, the placement of every character
// along the circle and the glyphs drawn there.
#include "render/curved_text.h"

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <climits>
#include <cmath>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

struct TInk
{
    int Count = 0;
    double MeanX = 0;
    int Left = INT_MAX;
    int Right = INT_MIN;
};

// Pixels more than half dark.
TInk Ink(const QImage& aImage)
{
    TInk ink;
    for (int y = 0; y < aImage.height(); ++y)
        for (int x = 0; x < aImage.width(); ++x)
            if (qGray(aImage.pixel(x, y)) < 128) {
                ink.MeanX = (ink.MeanX * ink.Count + x) / (ink.Count + 1);
                ++ink.Count;
                ink.Left = std::min(ink.Left, x);
                ink.Right = std::max(ink.Right, x);
            }
    return ink;
}

// Draws about (600, 600) as the render pass does: anti-aliased, pixel centres at integers.
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

    TFontCache FFonts;

private slots:
    void characters()
    {
        const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 40);
        // The word gap is a third of the em; the no-break space keeps
        // Liberation Sans Bold's own 569 of 2048 units.
        QVERIFY(qFuzzyCompare(font.Advance(QStringLiteral(" ")), 40.0 / 3));
        QVERIFY(qFuzzyCompare(font.Advance(QString(QChar(0x00A0))), 40 * 569 / 2048.0));
        // A letter with its combining accent, and a character outside the basic
        // plane, are one character each: the accent sits on its letter as in
        // the precomposed letter.
        QCOMPARE(SplitGraphemes(QString::fromUcs4(U"a\U0001D400")).size(), 2);
        QCOMPARE(DrawCurved(QStringLiteral("Bre\u0301"), font, 400, 0, false),
                 DrawCurved(QStringLiteral("Br\u00E9"), font, 400, 0, false));
    }

    void placement_data()
    {
        QTest::addColumn<QList<double>>("widths");
        QTest::addColumn<bool>("topInside");
        QTest::addColumn<double>("distance");
        QTest::addColumn<QList<double>>("expected");  // radians of the centres
        // Centre (600, 600), radius 400, centred on 0 (top) or π (bottom).
        const double d = 400;
        QTest::newRow("one of 30 on top: half its width of arc before 0")
            << QList<double>{30} << false << d << QList<double>{-15 / d};
        QTest::newRow("two of 30 on top: the first 30 of arc before 0, the second at it")
            << QList<double>{30, 30} << false << d << QList<double>{-30 / d, 0};
        QTest::newRow("two of 30 at the bottom, counter-clockwise")
            << QList<double>{30, 30} << true << d << QList<double>{Pi + 30 / d, Pi};
        QTest::newRow("unequal widths: steps of half the sum of neighbours")
            << QList<double>{10, 50, 20} << false << d << QList<double>{-40 / d, -10 / d, 25 / d};
        // A circle of no size has no circumference to lay the text along.
        QTest::newRow("radius 0: nothing placed") << QList<double>{30} << false << 0.0 << QList<double>{};
        QTest::newRow("radius not a number: nothing placed")
            << QList<double>{30} << false << std::nan("") << QList<double>{};
    }

    void placement()
    {
        QFETCH(QList<double>, widths);
        QFETCH(bool, topInside);
        QFETCH(double, distance);
        QFETCH(QList<double>, expected);
        const QList<TCharacterPlacement> places =
            PlaceCharacters(widths, QPoint(600, 600), distance, topInside ? Pi : 0, topInside);
        QCOMPARE(places.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(qAbs(places[i].Radians - expected[i]) < 1e-12, qPrintable(QString::number(places[i].Radians)));
    }

    void drawnTextReadsLeftToRight()
    {
        // On top with tops outwards and at the bottom with tops inwards.
        const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 60);
        for (bool topInside : {false, true}) {
            // The wide W before the full stop puts the bulk of the ink left.
            QVERIFY(Ink(DrawCurved(QStringLiteral("W."), font, 400, topInside ? Pi : 0, topInside)).MeanX < 595);
            // An upright, unmirrored "L" has the bulk of its ink in its stem, on the left.
            const TInk l = Ink(DrawCurved(QStringLiteral("L"), font, 400, topInside ? Pi : 0, topInside));
            QVERIFY2(l.MeanX < (l.Left + l.Right) / 2.0 - 5, topInside ? "bottom" : "top");
        }
    }

    void unusualFontsStillDraw()
    {
        // A name that matches nothing gives the default sans-serif.
        const TLabelFont unknown = FFonts.Font(QStringLiteral("Geen Bestaand Lettertype"), 40);
        QVERIFY(Ink(DrawCurved(QStringLiteral("Kaas"), unknown, 400, Pi, true)).Count > 0);
        // Glyphs of a 100000 px font, hanging inwards from far below, reach across the raster.
        const TLabelFont huge = FFonts.Font(QStringLiteral("Arial"), 100000);
        QVERIFY(Ink(DrawCurved(QStringLiteral("Kaas"), huge, 55000, Pi, true)).Count > 0);
        // Sizes beyond what the rasteriser's coordinates hold give no font.
        QVERIFY(FFonts.Font(QStringLiteral("Arial"), 3.0e9).IsNull());
        QVERIFY(FFonts.Font(QStringLiteral("Arial"), std::nan("")).IsNull());
    }

    void longTextLaysOutOnlyItsStart()
    {
        // Small enough that the first MaxCurvedCharacters leave part of the
        // circle free, which the rest would fill.
        const TLabelFont font = FFonts.Font(QStringLiteral("Arial"), 5);
        const auto draw = [&](qsizetype aLength) {
            return DrawCurved(QString(aLength, QLatin1Char('k')), font, 500, 0, false);
        };
        const QImage start = draw(MaxCurvedCharacters);
        QVERIFY(start != draw(MaxCurvedCharacters - 1));
        QCOMPARE(draw(100000), start);
    }
};

QTEST_MAIN(TestCurvedText)
#include "tst_curved_text.moc"

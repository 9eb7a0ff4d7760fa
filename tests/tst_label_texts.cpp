// The four text steps of the render pass, measured on the raster at the
// places the label's geometry gives for each size.
#include "label/label_document.h"
#include "render/label_renderer.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

// Design units of Liberation Sans Bold, the face "Arial" resolves to.
constexpr double UnitsPerEm = 2048;
constexpr double LineSpacingUnits = 2355;
constexpr double AscentUnits = 1854;
constexpr double CapHeightUnits = 1409;
constexpr double HAdvanceUnits = 1479;
constexpr double HBearingUnits = 137;
constexpr double IStemUnits = 295;

using TStep = void (TLabelRenderer::*)(const TLabelDocument&);

const double Factors[] = {0.625, 1.0, 1.375};

TLabelDocument NewDocument()
{
    TLabelDocument doc;
    for (TLabelText* text : {&doc.FLabelName, &doc.FLabelType, &doc.FLabelSub1, &doc.FLabelSub2, &doc.FLabelDate}) {
        text->FontName = QStringLiteral("Arial");
        text->FontSize = 40;
        text->FontColor = 0;
    }
    return doc;
}

// Runs one step on a white raster the way the render pass does.
QImage RunStep(int aSizeItem, const TLabelDocument& aDoc, TStep aStep)
{
    TLabelRenderer renderer;
    renderer.SetLabelSize(aSizeItem);
    renderer.FBmp.fill(Qt::white);
    {
        QPainter painter(&renderer.FBmp);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(0.5, 0.5);
        renderer.FGr = &painter;
        (renderer.*aStep)(aDoc);
        renderer.FGr = nullptr;
    }
    return renderer.FBmp;
}

// Angle about aCentre: from 12 o'clock, clockwise on the raster, 0 to 2π.
double AngleOf(QPointF aPoint, QPointF aCentre)
{
    double angle = std::atan2(aPoint.x() - aCentre.x(), -(aPoint.y() - aCentre.y()));
    if (angle < 0)
        angle += 2 * Pi;
    return angle;
}

struct TInk
{
    int Count = 0;
    double MinRadius = 1e9;
    double MaxRadius = -1e9;
    QPointF Centroid;
    QRect Bounds;
};

// Ink (any pixel more than half dark) for which aTake holds. Positions are
// in the half-pixel-shifted coordinates the pass draws in: pixel x's centre
// x + 0.5 is x there.
TInk MeasureInk(const QImage& aImage, QPointF aCentre,
                const std::function<bool(int, int)>& aTake = [](int, int) { return true; })
{
    TInk ink;
    double sumX = 0;
    double sumY = 0;
    for (int y = 0; y < aImage.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(aImage.constScanLine(y));
        for (int x = 0; x < aImage.width(); ++x) {
            if (qGray(line[x]) >= 128 || !aTake(x, y))
                continue;
            ++ink.Count;
            const double radius = std::hypot(x - aCentre.x(), y - aCentre.y());
            ink.MinRadius = std::min(ink.MinRadius, radius);
            ink.MaxRadius = std::max(ink.MaxRadius, radius);
            sumX += x;
            sumY += y;
            ink.Bounds |= QRect(x, y, 1, 1);
        }
    }
    if (ink.Count > 0)
        ink.Centroid = QPointF(sumX / ink.Count, sumY / ink.Count);
    return ink;
}

// The pixel that differs most from white: fully covered by a glyph.
QRgb DeepestInk(const QImage& aImage)
{
    QRgb deepest = qRgb(255, 255, 255);
    int most = 0;
    for (int y = 0; y < aImage.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(aImage.constScanLine(y));
        for (int x = 0; x < aImage.width(); ++x) {
            const int away = 765 - qRed(line[x]) - qGreen(line[x]) - qBlue(line[x]);
            if (away > most) {
                most = away;
                deepest = line[x];
            }
        }
    }
    return deepest;
}

bool IsWhite(const QImage& aImage)
{
    for (int y = 0; y < aImage.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(aImage.constScanLine(y));
        for (int x = 0; x < aImage.width(); ++x)
            if ((line[x] & 0xFFFFFF) != 0xFFFFFF)
                return false;
    }
    return true;
}

}  // namespace

class TestLabelTexts : public QObject
{
    Q_OBJECT

private slots:
    void nameBandCentredOnItsCircle_data();
    void nameBandCentredOnItsCircle();
    void productionHangsInsideItsCircle_data();
    void productionHangsInsideItsCircle();
    void productionLinesJoined_data();
    void productionLinesJoined();
    void textColourFromLowBytes_data();
    void textColourFromLowBytes();
    void straightTextsCentred_data();
    void straightTextsCentred();
    void straightTextsAreBoldAtFractionalSizes_data();
    void straightTextsAreBoldAtFractionalSizes();
    void straightTextWrapsInsideItsBox_data();
    void straightTextWrapsInsideItsBox();
    void nothingDrawn_data();
    void nothingDrawn();
    void hugeInputsStayInBounds_data();
    void hugeInputsStayInBounds();
    void unknownFontStillDraws_data();
    void unknownFontStillDraws();
};

void TestLabelTexts::nameBandCentredOnItsCircle_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("fontSize");
    QTest::newRow("6 cm, size 40") << 0 << 40;
    QTest::newRow("10 cm, size 40") << 1 << 40;
    QTest::newRow("14 cm, size 40") << 2 << 40;
    QTest::newRow("6 cm, size 33 (20.625 px)") << 0 << 33;
    QTest::newRow("14 cm, size 90") << 2 << 90;
}

void TestLabelTexts::nameBandCentredOnItsCircle()
{
    QFETCH(int, sizeItem);
    QFETCH(int, fontSize);
    TLabelDocument doc = NewDocument();
    doc.FLabelName.Text = QStringLiteral("HHH");
    doc.FLabelName.FontSize = fontSize;
    const QImage image = RunStep(sizeItem, doc, &TLabelRenderer::DrawCheeseName);
    const int W = image.width();
    const double factor = Factors[sizeItem];
    const double em = fontSize * factor / UnitsPerEm;
    const QPointF centre(W / 2, W / 2);
    const TInk ink = MeasureInk(image, centre);
    QVERIFY(ink.Count > 0);

    // The line boxes' band is centred on the circle 0.4 W from the centre;
    // the glyphs stand on their baseline inside the band.
    const double lineSpacing = LineSpacingUnits * em;
    const double bandInner = 0.4 * W - lineSpacing / 2;
    const double baseline = bandInner + (LineSpacingUnits - AscentUnits) * em;
    QVERIFY2(qAbs(ink.MinRadius - baseline) < 1.0,
             qPrintable(QStringLiteral("%1 against %2").arg(ink.MinRadius).arg(baseline)));
    QVERIFY(ink.MaxRadius < bandInner + lineSpacing + 1);
    QVERIFY(ink.MaxRadius > baseline + CapHeightUnits * em - 1);
    // On top, the middle H half its advance of arc left of 12 o'clock and
    // moved on by its left bearing.
    const double inkRadius = baseline + CapHeightUnits * em / 2;
    const double expected = (-HAdvanceUnits / 2 * em) / bandInner + HBearingUnits * em / inkRadius;
    const double angle = std::remainder(AngleOf(ink.Centroid, centre), 2 * Pi);
    QVERIFY2(qAbs(angle - expected) * inkRadius < 1.0,
             qPrintable(QStringLiteral("%1 against %2").arg(angle).arg(expected)));
}

void TestLabelTexts::productionHangsInsideItsCircle_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("fontSize");
    QTest::newRow("6 cm, size 40") << 0 << 40;
    QTest::newRow("10 cm, size 40") << 1 << 40;
    QTest::newRow("14 cm, size 40") << 2 << 40;
    QTest::newRow("10 cm, size 75") << 1 << 75;
}

void TestLabelTexts::productionHangsInsideItsCircle()
{
    QFETCH(int, sizeItem);
    QFETCH(int, fontSize);
    TLabelDocument doc = NewDocument();
    doc.FLabelSub1.Text = QStringLiteral("HHH");
    doc.FLabelSub1.FontSize = fontSize;
    const QImage image = RunStep(sizeItem, doc, &TLabelRenderer::DrawProduction);
    const int W = image.width();
    const double em = fontSize * Factors[sizeItem] / UnitsPerEm;
    const QPointF centre(W / 2, W / 2);
    const TInk ink = MeasureInk(image, centre);
    QVERIFY(ink.Count > 0);
    // Line boxes' outer edge on the circle 13/30 W from the centre, tops
    // inwards, so the baseline lies the descent and gap inside it.
    const double circle = 13.0 * W / 30;
    const double baseline = circle - (LineSpacingUnits - AscentUnits) * em;
    QVERIFY2(qAbs(ink.MaxRadius - baseline) < 1.0,
             qPrintable(QStringLiteral("%1 against %2").arg(ink.MaxRadius).arg(baseline)));
    QVERIFY(ink.MinRadius > circle - LineSpacingUnits * em - 1);
    QVERIFY(ink.Centroid.y() > centre.y() + circle / 2);
}

void TestLabelTexts::productionLinesJoined_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    // Arc lengths of the H centres from the bottom, counted in the reading
    // direction (left to right at the bottom is counter-clockwise), in ems.
    QTest::addColumn<QList<double>>("centres");
    const double h = HAdvanceUnits / UnitsPerEm;
    const double space = 1.0 / 3;
    // "H H": the first centre at the start of the span, the second the space
    // and one H further on.
    QTest::newRow("two lines, one space between")
        << QStringLiteral("H") << QStringLiteral("H") << QList<double>{-(h + space / 2), space / 2};
    QTest::newRow("empty second line, no trailing space")
        << QStringLiteral("H") << QString() << QList<double>{-h / 2};
    QTest::newRow("empty first line, one leading space")
        << QString() << QStringLiteral("H") << QList<double>{0};
}

void TestLabelTexts::productionLinesJoined()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QList<double>, centres);
    TLabelDocument doc = NewDocument();
    doc.FLabelSub1.Text = first;
    doc.FLabelSub2.Text = second;
    // The second line's own font, size and colour play no part.
    doc.FLabelSub2.FontName = QStringLiteral("DejaVu Serif");
    doc.FLabelSub2.FontSize = 200;
    doc.FLabelSub2.FontColor = 0x0000FF;
    const QImage image = RunStep(1, doc, &TLabelRenderer::DrawProduction);
    const QPointF centre(600, 600);
    const double em = 40.0;
    const double radius = 520;
    QCOMPARE(DeepestInk(image), qRgb(0, 0, 0));

    for (qsizetype i = 0; i < centres.size(); ++i) {
        // Two glyphs are told apart by the angle half-way between them.
        const double split = centres.size() == 1 ? 0 : Pi - (centres[0] + centres[1]) / 2 * em / radius;
        const TInk ink = MeasureInk(image, centre, [&](int x, int y) {
            return centres.size() == 1 || (AngleOf(QPointF(x, y), centre) > split) == (i == 0);
        });
        QVERIFY(ink.Count > 0);
        QVERIFY(ink.MaxRadius < radius - (LineSpacingUnits - AscentUnits) / UnitsPerEm * em + 1);
        const double inkRadius = (ink.MinRadius + ink.MaxRadius) / 2;
        // Reading direction at the bottom runs towards smaller angles.
        const double expected = Pi - centres[i] * em / radius - HBearingUnits / UnitsPerEm * em / inkRadius;
        const double angle = AngleOf(ink.Centroid, centre);
        QVERIFY2(qAbs(angle - expected) * inkRadius < 1.0,
                 qPrintable(QStringLiteral("glyph %1 at %2, expected %3").arg(i).arg(angle).arg(expected)));
    }
}

void TestLabelTexts::textColourFromLowBytes_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<uint>("color");
    QTest::addColumn<uint>("rgb");
    const char* names[] = {"name", "production", "type", "date"};
    for (int s = 0; s < 4; ++s) {
        QTest::addRow("%s, plain colour", names[s]) << s << 0x00336699u << 0x996633u;
        QTest::addRow("%s, top byte ignored", names[s]) << s << 0xFF0000FFu << 0xFF0000u;
    }
}

void TestLabelTexts::textColourFromLowBytes()
{
    QFETCH(int, step);
    QFETCH(uint, color);
    QFETCH(uint, rgb);
    const TStep steps[] = {&TLabelRenderer::DrawCheeseName, &TLabelRenderer::DrawProduction,
                           &TLabelRenderer::DrawCheeseType, &TLabelRenderer::DrawCheeseDate};
    TLabelDocument doc = NewDocument();
    for (TLabelText* text : {&doc.FLabelName, &doc.FLabelSub1, &doc.FLabelType, &doc.FLabelDate}) {
        text->Text = QStringLiteral("HI");
        text->FontSize = 120;
        text->FontColor = color;
    }
    const QImage image = RunStep(1, doc, steps[step]);
    QCOMPARE(DeepestInk(image) & 0xFFFFFF, rgb);
}

void TestLabelTexts::straightTextsCentred_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<bool>("date");
    QTest::addColumn<int>("fontSize");
    const char* sizes[] = {"6 cm", "10 cm", "14 cm"};
    for (int s = 0; s < 3; ++s) {
        for (int fontSize : {40, 96}) {
            QTest::addRow("type at %s, size %d", sizes[s], fontSize) << s << false << fontSize;
            QTest::addRow("date at %s, size %d", sizes[s], fontSize) << s << true << fontSize;
        }
    }
}

void TestLabelTexts::straightTextsCentred()
{
    QFETCH(int, sizeItem);
    QFETCH(bool, date);
    QFETCH(int, fontSize);
    TLabelDocument doc = NewDocument();
    TLabelText& text = date ? doc.FLabelDate : doc.FLabelType;
    text.Text = QStringLiteral("H");
    text.FontSize = fontSize;
    const QImage image = RunStep(sizeItem, doc, date ? &TLabelRenderer::DrawCheeseDate : &TLabelRenderer::DrawCheeseType);
    const int W = image.width();
    const double factor = Factors[sizeItem];
    const double em = fontSize * factor / UnitsPerEm;
    const TInk ink = MeasureInk(image, QPointF());
    QVERIFY(ink.Count > 0);

    // The line box centred on the middle line, or 100 × FFactor below it.
    const double lineTop = (W - LineSpacingUnits * em) / 2 + (date ? 100 * factor : 0);
    const double baseline = lineTop + AscentUnits * em;
    QVERIFY2(qAbs(ink.Bounds.bottom() - baseline) < 1.0,
             qPrintable(QStringLiteral("%1 against %2").arg(ink.Bounds.bottom()).arg(baseline)));
    QVERIFY(qAbs(ink.Bounds.top() - (baseline - CapHeightUnits * em)) < 1.0);
    // "H" is symmetric in its advance, so its ink is centred on W/2.
    QVERIFY2(qAbs(ink.Centroid.x() - W / 2.0) < 0.75, qPrintable(QString::number(ink.Centroid.x())));
}

void TestLabelTexts::straightTextsAreBoldAtFractionalSizes_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("fontSize");
    QTest::newRow("size 200 at 10 cm: 200 px") << 1 << 200;
    QTest::newRow("size 333 at 6 cm: 208.125 px") << 0 << 333;
    QTest::newRow("size 151 at 14 cm: 207.625 px") << 2 << 151;
}

void TestLabelTexts::straightTextsAreBoldAtFractionalSizes()
{
    QFETCH(int, sizeItem);
    QFETCH(int, fontSize);
    TLabelDocument doc = NewDocument();
    doc.FLabelType.Text = QStringLiteral("I");
    doc.FLabelType.FontSize = fontSize;
    const QImage image = RunStep(sizeItem, doc, &TLabelRenderer::DrawCheeseType);
    const double em = fontSize * Factors[sizeItem];
    // The stem of a bold I, counted with its anti-aliased edges.
    const int row = MeasureInk(image, QPointF()).Bounds.center().y();
    double coverage = 0;
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
    for (int x = 0; x < image.width(); ++x)
        coverage += (255 - qGray(line[x])) / 255.0;
    const double stem = IStemUnits / UnitsPerEm * em;
    QVERIFY2(qAbs(coverage - stem) < 0.5, qPrintable(QStringLiteral("%1 against %2").arg(coverage).arg(stem)));
}

void TestLabelTexts::straightTextWrapsInsideItsBox_data()
{
    QTest::addColumn<bool>("date");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<int>("lines");
    QTest::newRow("type that fits stays on one line")
        << false << QStringLiteral("* * Proosdij Kaas * *") << 40 << 1;
    QTest::newRow("type wider than the raster breaks between words")
        << false << QStringLiteral("HHHHHHHH HHHHHHHH") << 120 << 2;
    QTest::newRow("what needs a third line is not shown")
        << false << QStringLiteral("HHHHHHHH HHHHHHHH HHHHHHHH HHHHHHHH") << 120 << 2;
    QTest::newRow("a word longer than the raster breaks inside")
        << true << QString(40, QLatin1Char('H')) << 120 << 2;
}

void TestLabelTexts::straightTextWrapsInsideItsBox()
{
    QFETCH(bool, date);
    QFETCH(QString, text);
    QFETCH(int, fontSize);
    QFETCH(int, lines);
    TLabelDocument doc = NewDocument();
    TLabelText& element = date ? doc.FLabelDate : doc.FLabelType;
    element.Text = text;
    element.FontSize = fontSize;
    const QImage image = RunStep(1, doc, date ? &TLabelRenderer::DrawCheeseDate : &TLabelRenderer::DrawCheeseType);
    const double lineSpacing = LineSpacingUnits / UnitsPerEm * fontSize;
    const double boxTop = (1200 - lineSpacing) / 2 + (date ? 100 : 0);

    const TInk ink = MeasureInk(image, QPointF());
    QVERIFY(ink.Count > 0);
    QVERIFY(ink.Bounds.top() >= boxTop - 0.5);
    QVERIFY(ink.Bounds.bottom() <= boxTop + 2 * lineSpacing + 0.5);
    // Each shown line's cap band holds ink, a line not shown has none.
    for (int line = 0; line < 2; ++line) {
        const double baseline = boxTop + line * lineSpacing + AscentUnits / UnitsPerEm * fontSize;
        const int row = int(baseline - CapHeightUnits / UnitsPerEm * fontSize / 2);
        const TInk band = MeasureInk(image, QPointF(), [row](int, int y) { return y == row; });
        QVERIFY2((band.Count > 0) == (line < lines), qPrintable(QStringLiteral("line %1").arg(line + 1)));
        // Every line is centred on the raster's middle.
        if (band.Count > 0)
            QVERIFY(qAbs((band.Bounds.left() + band.Bounds.right()) / 2.0 - 600) < 2);
    }
}

void TestLabelTexts::nothingDrawn_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontSize");
    const char* names[] = {"name", "production", "type", "date"};
    for (int s = 0; s < 4; ++s) {
        QTest::addRow("%s, empty text", names[s]) << s << QString() << 40;
        QTest::addRow("%s, font size 0", names[s]) << s << QStringLiteral("Kaas") << 0;
        QTest::addRow("%s, negative font size", names[s]) << s << QStringLiteral("Kaas") << -40;
    }
    // The name's band would lie beyond the centre: no circle is left for it.
    QTest::newRow("name, font taller than the label") << 0 << QStringLiteral("Kaas") << 1100;
    QTest::newRow("name, font size 100000") << 0 << QStringLiteral("Kaas") << 100000;
}

void TestLabelTexts::nothingDrawn()
{
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(int, fontSize);
    const TStep steps[] = {&TLabelRenderer::DrawCheeseName, &TLabelRenderer::DrawProduction,
                           &TLabelRenderer::DrawCheeseType, &TLabelRenderer::DrawCheeseDate};
    TLabelDocument doc = NewDocument();
    for (TLabelText* element : {&doc.FLabelName, &doc.FLabelSub1, &doc.FLabelType, &doc.FLabelDate}) {
        element->Text = text;
        element->FontSize = fontSize;
    }
    QVERIFY(IsWhite(RunStep(1, doc, steps[step])));
}

void TestLabelTexts::hugeInputsStayInBounds_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<bool>("inked");
    const char* names[] = {"name", "production", "type", "date"};
    const QString words = QStringLiteral("Boerenkaas ").repeated(9100);
    for (int s = 0; s < 4; ++s)
        QTest::addRow("%s, 100000 characters", names[s]) << s << words << 40 << true;
    // The production glyphs then lie far beyond the raster; the straight
    // ones cover their box.
    QTest::newRow("production, font size 100000") << 1 << QStringLiteral("Kaas") << 100000 << false;
    QTest::newRow("type, font size 100000") << 2 << QStringLiteral("Kaas") << 100000 << true;
    QTest::newRow("date, font size 100000") << 3 << QStringLiteral("Kaas") << 100000 << true;
}

void TestLabelTexts::hugeInputsStayInBounds()
{
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(int, fontSize);
    QFETCH(bool, inked);
    const TStep steps[] = {&TLabelRenderer::DrawCheeseName, &TLabelRenderer::DrawProduction,
                           &TLabelRenderer::DrawCheeseType, &TLabelRenderer::DrawCheeseDate};
    TLabelDocument doc = NewDocument();
    for (TLabelText* element : {&doc.FLabelName, &doc.FLabelSub1, &doc.FLabelType, &doc.FLabelDate}) {
        element->Text = text;
        element->FontSize = fontSize;
    }
    const QImage image = RunStep(1, doc, steps[step]);
    const TInk ink = MeasureInk(image, QPointF());
    QCOMPARE(ink.Count > 0, inked);
    if (step >= 2 && ink.Count > 0) {
        // The straight texts stay inside their two-line box.
        const double lineSpacing = LineSpacingUnits / UnitsPerEm * fontSize;
        const double boxTop = (1200 - lineSpacing) / 2 + (step == 3 ? 100 : 0);
        QVERIFY(ink.Bounds.top() >= boxTop - 0.5);
        QVERIFY(ink.Bounds.bottom() <= boxTop + 2 * lineSpacing + 0.5);
    }
}

void TestLabelTexts::unknownFontStillDraws_data()
{
    QTest::addColumn<int>("step");
    QTest::newRow("name") << 0;
    QTest::newRow("production") << 1;
    QTest::newRow("type") << 2;
    QTest::newRow("date") << 3;
}

void TestLabelTexts::unknownFontStillDraws()
{
    QFETCH(int, step);
    const TStep steps[] = {&TLabelRenderer::DrawCheeseName, &TLabelRenderer::DrawProduction,
                           &TLabelRenderer::DrawCheeseType, &TLabelRenderer::DrawCheeseDate};
    TLabelDocument doc = NewDocument();
    for (TLabelText* element : {&doc.FLabelName, &doc.FLabelSub1, &doc.FLabelType, &doc.FLabelDate}) {
        element->Text = QStringLiteral("Kaas");
        element->FontName = QStringLiteral("Geen Bestaand Lettertype");
    }
    QVERIFY(MeasureInk(RunStep(1, doc, steps[step]), QPointF()).Count > 200);
}

QTEST_MAIN(TestLabelTexts)
#include "tst_label_texts.moc"

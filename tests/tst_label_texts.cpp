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

// Design units of Liberation Sans Bold, the face "Arial" resolves to, per em.
constexpr double LineSpacing = 2355 / 2048.0;
constexpr double Ascent = 1854 / 2048.0;
constexpr double CapHeight = 1409 / 2048.0;
constexpr double HAdvance = 1479 / 2048.0;
constexpr double HBearing = 137 / 2048.0;
constexpr double HWidth = 1204 / 2048.0;
constexpr double IStem = 295 / 2048.0;

using TStep = void (TLabelRenderer::*)(const TLabelDocument&);
const TStep Steps[] = {&TLabelRenderer::DrawCheeseName, &TLabelRenderer::DrawProduction,
                       &TLabelRenderer::DrawCheeseType, &TLabelRenderer::DrawCheeseDate};
const char* const StepNames[] = {"name", "production", "type", "date"};
const double Factors[] = {0.625, 1.0, 1.375};

// A document whose four drawn texts (the name, the first production line,
// the type and the date) all hold aText at aFontSize in black Arial.
TLabelDocument Document(const QString& aText, int aFontSize)
{
    TLabelDocument doc;
    for (TLabelText* text : {&doc.FLabelName, &doc.FLabelSub1, &doc.FLabelType, &doc.FLabelDate}) {
        text->Text = aText;
        text->FontName = QStringLiteral("Arial");
        text->FontSize = aFontSize;
    }
    return doc;
}

// Runs one step on a white raster the way the render pass does.
QImage RunStep(int aSizeItem, const TLabelDocument& aDoc, int aStep)
{
    TLabelRenderer renderer;
    renderer.SetLabelSize(aSizeItem);
    renderer.FBmp.fill(Qt::white);
    QPainter painter(&renderer.FBmp);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0.5, 0.5);
    renderer.FGr = &painter;
    (renderer.*Steps[aStep])(aDoc);
    renderer.FGr = nullptr;
    painter.end();
    return renderer.FBmp;
}

// Angle about aCentre: from 12 o'clock, clockwise on the raster, 0 to 2π.
double AngleOf(QPointF aPoint, QPointF aCentre)
{
    const double angle = std::atan2(aPoint.x() - aCentre.x(), aCentre.y() - aPoint.y());
    return angle < 0 ? angle + 2 * Pi : angle;
}

struct TInk
{
    int Count = 0;
    double MinRadius = 1e9;
    double MaxRadius = -1e9;
    QPointF Centroid;
    QRect Bounds;
};

// Pixels more than half dark for which aTake holds, with radii about
// aCentre. Pixel x's centre x + 0.5 is x in the pass's shifted coordinates.
TInk MeasureInk(const QImage& aImage, QPointF aCentre = {},
                const std::function<bool(int, int)>& aTake = [](int, int) { return true; })
{
    TInk ink;
    QPointF sum;
    for (int y = 0; y < aImage.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(aImage.constScanLine(y));
        for (int x = 0; x < aImage.width(); ++x) {
            if (qGray(line[x]) >= 128 || !aTake(x, y))
                continue;
            ++ink.Count;
            const double radius = std::hypot(x - aCentre.x(), y - aCentre.y());
            ink.MinRadius = std::min(ink.MinRadius, radius);
            ink.MaxRadius = std::max(ink.MaxRadius, radius);
            sum += QPointF(x, y);
            ink.Bounds |= QRect(x, y, 1, 1);
        }
    }
    if (ink.Count > 0)
        ink.Centroid = sum / ink.Count;
    return ink;
}

// The pixel that differs most from white: one fully covered by a glyph.
QRgb DeepestInk(const QImage& aImage)
{
    QRgb deepest = 0xFFFFFFFF;
    for (int y = 0; y < aImage.height(); ++y)
        for (int x = 0; x < aImage.width(); ++x) {
            const QRgb pixel = aImage.pixel(x, y);
            if (qRed(pixel) + qGreen(pixel) + qBlue(pixel) < qRed(deepest) + qGreen(deepest) + qBlue(deepest))
                deepest = pixel;
        }
    return deepest & 0xFFFFFF;
}

// Top of a straight text's box on the 10 cm label.
double BoxTop(int aStep, double aEm)
{
    return (1200 - LineSpacing * aEm) / 2 + (aStep == 3 ? 100 : 0);
}

}  // namespace

class TestLabelTexts : public QObject
{
    Q_OBJECT

private slots:
    void curvedBands_data();
    void curvedBands();
    void productionLinesJoined_data();
    void productionLinesJoined();
    void textColourFromLowBytes_data();
    void textColourFromLowBytes();
    void straightTextsCentred_data();
    void straightTextsCentred();
    void boldAtFractionalSizes_data();
    void boldAtFractionalSizes();
    void straightTextWrapsInsideItsBox_data();
    void straightTextWrapsInsideItsBox();
    void nothingDrawn_data();
    void nothingDrawn();
    void hugeInputsStayInBounds_data();
    void hugeInputsStayInBounds();
};

void TestLabelTexts::curvedBands_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("fontSize");
    const char* sizes[] = {"6 cm", "10 cm", "14 cm"};
    for (int step : {0, 1})
        for (int size = 0; size < 3; ++size)
            QTest::addRow("%s at %s", StepNames[step], sizes[size]) << step << size << 40;
    QTest::newRow("name at 6 cm, size 33 (20.625 px)") << 0 << 0 << 33;
    QTest::newRow("production at 14 cm, size 75") << 1 << 2 << 75;
}

void TestLabelTexts::curvedBands()
{
    QFETCH(int, step);
    QFETCH(int, sizeItem);
    QFETCH(int, fontSize);
    const QImage image = RunStep(sizeItem, Document(QStringLiteral("HHH"), fontSize), step);
    const int W = image.width();
    const double em = fontSize * Factors[sizeItem];
    const QPointF centre(W / 2, W / 2);
    const TInk ink = MeasureInk(image, centre);
    QVERIFY(ink.Count > 0);

    // The name's line boxes are centred on the circle 0.4 W from the centre,
    // tops outwards; the production's hang inside the circle 13/30 W, tops
    // inwards. "H" stands on the baseline, Ascent below the box's top.
    const double drop = (LineSpacing - Ascent) * em;
    if (step == 0) {
        const double circle = 0.4 * W - LineSpacing * em / 2;
        QVERIFY2(qAbs(ink.MinRadius - (circle + drop)) < 1.0, qPrintable(QString::number(ink.MinRadius)));
        QVERIFY(ink.MaxRadius > circle + drop + CapHeight * em - 1);
        QVERIFY(ink.MaxRadius < circle + LineSpacing * em + 1);
        // The middle H: half its advance of arc left of 12 o'clock, then its left bearing on.
        const double inkRadius = circle + drop + CapHeight * em / 2;
        const double expected = -HAdvance * em / 2 / circle + HBearing * em / inkRadius;
        const double angle = std::remainder(AngleOf(ink.Centroid, centre), 2 * Pi);
        QVERIFY2(qAbs(angle - expected) * inkRadius < 1.0, qPrintable(QString::number(angle)));
    } else {
        const double circle = 13.0 * W / 30;
        QVERIFY2(qAbs(ink.MaxRadius - (circle - drop)) < 1.0, qPrintable(QString::number(ink.MaxRadius)));
        QVERIFY(ink.MinRadius < circle - drop - CapHeight * em + 1);
        QVERIFY(ink.MinRadius > circle - LineSpacing * em - 1);
        QVERIFY(ink.Centroid.y() > centre.y() + circle / 2);
    }
}

void TestLabelTexts::productionLinesJoined_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    // Arc of each H's centre from the bottom in the reading direction, in ems.
    QTest::addColumn<QList<double>>("centres");
    const double space = 1.0 / 3;
    QTest::newRow("two lines, one space between: first at the start of the span")
        << "H" << "H" << QList<double>{-(HAdvance + space / 2), space / 2};
    QTest::newRow("empty second line, no trailing space") << "H" << "" << QList<double>{-HAdvance / 2};
    QTest::newRow("empty first line, one leading space") << "" << "H" << QList<double>{0};
}

void TestLabelTexts::productionLinesJoined()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QList<double>, centres);
    TLabelDocument doc = Document(first, 40);
    doc.FLabelSub2.Text = second;
    // The second line's own font, size and colour play no part.
    doc.FLabelSub2.FontName = QStringLiteral("DejaVu Serif");
    doc.FLabelSub2.FontSize = 200;
    doc.FLabelSub2.FontColor = 0x0000FF;
    const QImage image = RunStep(1, doc, 1);
    QCOMPARE(DeepestInk(image), 0u);

    const QPointF centre(600, 600);
    const double em = 40;
    const double radius = 520;
    // Two glyphs are told apart by the angle half-way between them.
    const double split = centres.size() == 1 ? 0 : Pi - (centres[0] + centres[1]) / 2 * em / radius;
    for (qsizetype i = 0; i < centres.size(); ++i) {
        const TInk ink = MeasureInk(image, centre, [&](int x, int y) {
            return centres.size() == 1 || (AngleOf(QPointF(x, y), centre) > split) == (i == 0);
        });
        QVERIFY(ink.MaxRadius < radius - (LineSpacing - Ascent) * em + 1);
        // At the bottom the reading direction runs towards smaller angles.
        const double inkRadius = (ink.MinRadius + ink.MaxRadius) / 2;
        const double expected = Pi - centres[i] * em / radius - HBearing * em / inkRadius;
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
    for (int step = 0; step < 4; ++step) {
        QTest::addRow("%s, plain colour", StepNames[step]) << step << 0x00336699u << 0x996633u;
        QTest::addRow("%s, top byte ignored", StepNames[step]) << step << 0xFF0000FFu << 0xFF0000u;
    }
}

void TestLabelTexts::textColourFromLowBytes()
{
    QFETCH(int, step);
    QFETCH(uint, color);
    QFETCH(uint, rgb);
    TLabelDocument doc = Document(QStringLiteral("HI"), 120);
    for (TLabelText* text : {&doc.FLabelName, &doc.FLabelSub1, &doc.FLabelType, &doc.FLabelDate})
        text->FontColor = color;
    QCOMPARE(DeepestInk(RunStep(1, doc, step)), rgb);
}

void TestLabelTexts::straightTextsCentred_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("fontSize");
    const char* sizes[] = {"6 cm", "10 cm", "14 cm"};
    for (int step : {2, 3})
        for (int size = 0; size < 3; ++size)
            for (int fontSize : {40, 96})
                QTest::addRow("%s at %s, size %d", StepNames[step], sizes[size], fontSize) << step << size << fontSize;
}

void TestLabelTexts::straightTextsCentred()
{
    QFETCH(int, step);
    QFETCH(int, sizeItem);
    QFETCH(int, fontSize);
    const QImage image = RunStep(sizeItem, Document(QStringLiteral("H"), fontSize), step);
    const int W = image.width();
    const double factor = Factors[sizeItem];
    const double em = fontSize * factor;
    const TInk ink = MeasureInk(image);
    // The line box is centred on the middle line, or 100 × FFactor below it,
    // whatever the font size.
    const double baseline = (W - LineSpacing * em) / 2 + (step == 3 ? 100 * factor : 0) + Ascent * em;
    QVERIFY2(qAbs(ink.Bounds.bottom() - baseline) < 1.0, qPrintable(QString::number(ink.Bounds.bottom())));
    QVERIFY(qAbs(ink.Bounds.top() - (baseline - CapHeight * em)) < 1.0);
    // "H" is symmetric in its advance, so its ink is centred on W/2.
    QVERIFY2(qAbs(ink.Centroid.x() - W / 2.0) < 0.75, qPrintable(QString::number(ink.Centroid.x())));
}

void TestLabelTexts::boldAtFractionalSizes_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("fontSize");
    QTest::newRow("size 36 at 6 cm: 22.5 px") << 0 << 36;
    QTest::newRow("size 17 at 14 cm: 23.375 px") << 2 << 17;
    QTest::newRow("size 23 at 10 cm: 23 px") << 1 << 23;
    QTest::newRow("size 90 at 10 cm: 90 px") << 1 << 90;
}

void TestLabelTexts::boldAtFractionalSizes()
{
    QFETCH(int, sizeItem);
    QFETCH(int, fontSize);
    const double em = fontSize * Factors[sizeItem];
    // The coverage across the stem of a bold I, anti-aliased edges included.
    const QImage stemImage = RunStep(sizeItem, Document(QStringLiteral("I"), fontSize), 2);
    const int row = MeasureInk(stemImage).Bounds.center().y();
    double coverage = 0;
    for (int x = 0; x < stemImage.width(); ++x)
        coverage += (255 - qGray(stemImage.pixel(x, row))) / 255.0;
    QVERIFY2(qAbs(coverage - IStem * em) < 0.5, qPrintable(QString::number(coverage)));
    // Ten H's, nine advances and one outline wide: a size rounded to whole
    // pixels would be off by several pixels.
    const int width = MeasureInk(RunStep(sizeItem, Document(QString(10, 'H'), fontSize), 2)).Bounds.width();
    const double expected = (9 * HAdvance + HWidth) * em;
    QVERIFY2(qAbs(width - expected) < 1.0, qPrintable(QStringLiteral("%1 against %2").arg(width).arg(expected)));
}

void TestLabelTexts::straightTextWrapsInsideItsBox_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<int>("lines");
    QTest::newRow("type that fits stays on one line") << 2 << "* * Proosdij Kaas * *" << 40 << 1;
    QTest::newRow("type wider than the raster breaks between words") << 2 << "HHHHHHHH HHHHHHHH" << 120 << 2;
    QTest::newRow("what needs a third line is not shown")
        << 2 << "HHHHHHHH HHHHHHHH HHHHHHHH HHHHHHHH" << 120 << 2;
    QTest::newRow("a date word longer than the raster breaks inside") << 3 << QString(40, 'H') << 120 << 2;
}

void TestLabelTexts::straightTextWrapsInsideItsBox()
{
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(int, fontSize);
    QFETCH(int, lines);
    const QImage image = RunStep(1, Document(text, fontSize), step);
    const double boxTop = BoxTop(step, fontSize);
    const TInk ink = MeasureInk(image);
    QVERIFY(ink.Bounds.top() >= boxTop - 0.5);
    QVERIFY(ink.Bounds.bottom() <= boxTop + 2 * LineSpacing * fontSize + 0.5);
    // Each shown line's cap band holds ink, centred on the raster's middle.
    for (int line = 0; line < 2; ++line) {
        const int row = int(boxTop + (line * LineSpacing + Ascent - CapHeight / 2) * fontSize);
        const TInk band = MeasureInk(image, {}, [row](int, int y) { return y == row; });
        QVERIFY2((band.Count > 0) == (line < lines), qPrintable(QStringLiteral("line %1").arg(line + 1)));
        if (band.Count > 0)
            QVERIFY(qAbs((band.Bounds.left() + band.Bounds.right()) / 2.0 - 600) < 2);
    }
}

void TestLabelTexts::nothingDrawn_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontSize");
    for (int step = 0; step < 4; ++step) {
        QTest::addRow("%s, empty text", StepNames[step]) << step << QString() << 40;
        QTest::addRow("%s, font size 0", StepNames[step]) << step << "Kaas" << 0;
        QTest::addRow("%s, negative font size", StepNames[step]) << step << "Kaas" << -40;
    }
    // The name's band would lie beyond the centre: no circle is left for it.
    QTest::newRow("name, font taller than the label") << 0 << "Kaas" << 1100;
    QTest::newRow("name, font size 100000") << 0 << "Kaas" << 100000;
}

void TestLabelTexts::nothingDrawn()
{
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(int, fontSize);
    const QImage image = RunStep(1, Document(text, fontSize), step);
    QCOMPARE(DeepestInk(image), 0xFFFFFFu);
}

void TestLabelTexts::hugeInputsStayInBounds_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<bool>("inked");
    const QString words = QStringLiteral("Boerenkaas ").repeated(9100);
    for (int step = 0; step < 4; ++step)
        QTest::addRow("%s, 100000 characters", StepNames[step]) << step << words << 40 << true;
    // The production glyphs then lie far beyond the raster; the straight ones cover their box.
    QTest::newRow("production, font size 100000") << 1 << "Kaas" << 100000 << false;
    QTest::newRow("type, font size 100000") << 2 << "Kaas" << 100000 << true;
    QTest::newRow("date, font size 100000") << 3 << "Kaas" << 100000 << true;
}

void TestLabelTexts::hugeInputsStayInBounds()
{
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(int, fontSize);
    QFETCH(bool, inked);
    const TInk ink = MeasureInk(RunStep(1, Document(text, fontSize), step));
    QCOMPARE(ink.Count > 0, inked);
    // The straight texts stay inside their two-line box.
    if (step >= 2) {
        QVERIFY(ink.Bounds.top() >= BoxTop(step, fontSize) - 0.5);
        QVERIFY(ink.Bounds.bottom() <= BoxTop(step, fontSize) + 2 * LineSpacing * fontSize + 0.5);
    }
}

QTEST_MAIN(TestLabelTexts)
#include "tst_label_texts.moc"

// The four text steps of the render pass, measured on the raster at the
// places the label's geometry gives for each size.
#include "label/label_document.h"
#include "render/label_renderer.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
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
constexpr double HStems = 590 / 2048.0;  // both stems; the regular face's are 382

const double Factors[] = {0.625, 1.0, 1.375};  // 6, 10 and 14 cm
// 0x00BBGGRR with the top byte set, which is ignored; dark, so the ink's
// half-dark edge lies about where half the pixel is covered.
constexpr uint32_t TextColour = 0xFF081018u;
constexpr QRgb TextRgb = 0x181008u;

// Runs step aStep (name, production, type, date) on a white raster the way
// the render pass does, its four texts (the first production line among them)
// holding aText at aFontSize in Arial and TextColour.
QImage RunStep(int aSizeItem, const QString& aText, int aFontSize, int aStep,
               TLabelDocument aDoc = TLabelDocument())
{
    for (TLabelText* text : {&aDoc.FLabelName, &aDoc.FLabelSub1, &aDoc.FLabelType, &aDoc.FLabelDate}) {
        text->Text = aText;
        text->FontName = QStringLiteral("Arial");
        text->FontSize = aFontSize;
        text->FontColor = TextColour;
    }
    const TRenderStep steps[] = {TRenderStep::CheeseName, TRenderStep::Production, TRenderStep::CheeseType,
                                 TRenderStep::CheeseDate};
    TLabelRenderer renderer;
    renderer.SetLabelSize(aSizeItem);
    QImage raster(renderer.LabelWidth(), renderer.LabelWidth(), QImage::Format_RGB32);
    raster.fill(Qt::white);
    QPainter painter(&raster);
    painter.translate(0.5, 0.5);
    renderer.Paint(painter, aDoc, steps[aStep]);
    painter.end();
    return raster;
}

struct TInk
{
    int Count = 0;
    double MinRadius = 1e9;
    double MaxRadius = -1e9;
    QPointF Centroid;
    QRect Bounds;
    QRgb Deepest = 0xFFFFFF;  // the pixel furthest from white: one fully covered
};

// Pixels more than half dark, with radii about aCentre.
TInk MeasureInk(const QImage& aImage, QPointF aCentre = {})
{
    TInk ink;
    QPointF sum;
    for (int y = 0; y < aImage.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(aImage.constScanLine(y));
        for (int x = 0; x < aImage.width(); ++x) {
            if (qGray(line[x]) < qGray(ink.Deepest))
                ink.Deepest = line[x] & 0xFFFFFF;
            if (qGray(line[x]) >= 128)
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

}  // namespace

class TestLabelTexts : public QObject
{
    Q_OBJECT

private slots:
    void curvedTexts_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("sizeItem");
        QTest::addColumn<int>("fontSize");
        QTest::newRow("name at 10 cm") << 0 << 1 << 40;
        QTest::newRow("name at 6 cm, size 33: 20.625 px") << 0 << 0 << 33;
        QTest::newRow("production at 10 cm, empty second line: no trailing space") << 1 << 1 << 40;
        QTest::newRow("production at 14 cm, size 75") << 1 << 2 << 75;
    }

    void curvedTexts()
    {
        QFETCH(int, step);
        QFETCH(int, sizeItem);
        QFETCH(int, fontSize);
        const QImage image = RunStep(sizeItem, QStringLiteral("H"), fontSize, step);
        const int W = image.width();
        const double em = fontSize * Factors[sizeItem];
        const QPointF centre(W / 2, W / 2);
        const TInk ink = MeasureInk(image, centre);
        QCOMPARE(ink.Deepest, TextRgb);
        // The name's line box is centred on 0.4 W from the centre, top outwards,
        // reading clockwise from 12 o'clock; the production's hangs inside 13/30 W,
        // top inwards, reading counter-clockwise from 6 o'clock.
        const bool name = step == 0;
        const double circle = name ? 0.4 * W - LineSpacing * em / 2 : 13.0 * W / 30;
        const double outwards = name ? 1 : -1;
        const double foot = circle + outwards * (LineSpacing - Ascent) * em;
        const double head = foot + outwards * CapHeight * em;
        QVERIFY2(qAbs(std::min(foot, head) - ink.MinRadius) < 1.0, qPrintable(QString::number(ink.MinRadius)));
        QVERIFY2(qAbs(std::max(foot, head) - ink.MaxRadius) < 1.0, qPrintable(QString::number(ink.MaxRadius)));
        // Its centre half its advance of arc before the text's angle; the ink
        // starts its left bearing later.
        const double middle = (foot + head) / 2;
        const double expected = -HAdvance * em / 2 / circle + HBearing * em / middle;
        // Angles from 12 o'clock (or 6 o'clock), in the reading direction.
        const QPointF c = ink.Centroid - centre;
        const double angle = std::remainder(outwards * std::atan2(c.x(), -c.y()) + (name ? 0 : Pi), 2 * Pi);
        QVERIFY2(qAbs(angle - expected) * middle < 1.0, qPrintable(QString::number(angle)));
    }

    void productionLinesJoined_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("joined");  // drawn as this first line alone
        QTest::newRow("two lines, one space between") << "Kaas" << "H" << "Kaas H";
        QTest::newRow("empty first line, one leading space") << "" << "H" << " H";
    }

    void productionLinesJoined()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, joined);
        TLabelDocument doc;
        doc.FLabelSub2.Text = second;
        // The second line's own font, size and colour play no part.
        doc.FLabelSub2.FontName = QStringLiteral("DejaVu Serif");
        doc.FLabelSub2.FontSize = 200;
        doc.FLabelSub2.FontColor = 0x0000FF;
        const QImage image = RunStep(1, first, 40, 1, doc);
        QVERIFY(MeasureInk(image).Count > 0);
        QCOMPARE(image, RunStep(1, joined, 40, 1));
    }

    void straightTexts_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("sizeItem");
        QTest::addColumn<int>("fontSize");
        QTest::newRow("type at 10 cm") << 2 << 1 << 40;
        QTest::newRow("type at 6 cm, size 36: 22.5 px") << 2 << 0 << 36;
        QTest::newRow("type at 14 cm, size 70: 96.25 px") << 2 << 2 << 70;
        QTest::newRow("date at 14 cm, size 17: 23.375 px") << 3 << 2 << 17;
        QTest::newRow("date at 6 cm, size 97: 60.625 px") << 3 << 0 << 97;
    }

    void straightTexts()
    {
        QFETCH(int, step);
        QFETCH(int, sizeItem);
        QFETCH(int, fontSize);
        const QImage image = RunStep(sizeItem, QString(10, 'H'), fontSize, step);
        const int W = image.width();
        const double factor = Factors[sizeItem];
        const double em = fontSize * factor;
        const TInk ink = MeasureInk(image);
        QCOMPARE(ink.Deepest, TextRgb);
        // The line box is centred on the middle line, or 100 × FFactor below it,
        // whatever the font size.
        const double baseline = (W - LineSpacing * em) / 2 + (step == 3 ? 100 * factor : 0) + Ascent * em;
        QVERIFY2(qAbs(ink.Bounds.bottom() - baseline) < 1.0, qPrintable(QString::number(ink.Bounds.bottom())));
        QVERIFY(qAbs(ink.Bounds.top() - (baseline - CapHeight * em)) < 1.0);
        // "H" is symmetric in its advance, so the line's ink is centred on W/2.
        QVERIFY2(qAbs(ink.Centroid.x() - W / 2.0) < 0.75, qPrintable(QString::number(ink.Centroid.x())));
        // Nine advances and one outline wide: a size rounded to whole pixels
        // would be off by several pixels.
        const double width = (9 * HAdvance + HWidth) * em;
        QVERIFY2(qAbs(ink.Bounds.width() - width) < 1.0, qPrintable(QString::number(ink.Bounds.width())));
        // Bold: the coverage across the stems above the crossbars, anti-aliased edges included.
        const int row = ink.Bounds.top() + ink.Bounds.height() / 4;
        double coverage = 0;
        for (int x = 0; x < W; ++x)
            coverage += (255 - qRed(image.pixel(x, row))) / (255.0 - qRed(TextRgb));
        QVERIFY2(qAbs(coverage - 10 * HStems * em) < 1.0, qPrintable(QString::number(coverage)));
    }

    void straightTextWrapsInsideItsBox_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::newRow("type that fits stays on one line") << 2 << "* * Proosdij * *" << 1;
        QTest::newRow("type wider than the raster breaks between words") << 2 << "HHHHHHHH HHHHHHHH" << 2;
        QTest::newRow("100000 characters: no third line shown")
            << 2 << QStringLiteral("HHHHHHHH ").repeated(11112) << 2;
        QTest::newRow("a date word longer than the raster breaks inside") << 3 << QString(40, 'H') << 2;
        QTest::newRow("accents stacked above the box are cut off")
            << 2 << QStringLiteral("H\u0302\u0302\u0302\u0302") << 1;
    }

    void straightTextWrapsInsideItsBox()
    {
        QFETCH(int, step);
        QFETCH(QString, text);
        QFETCH(int, lines);
        const int em = 120;
        const QImage image = RunStep(1, text, em, step);
        const double boxTop = (1200 - LineSpacing * em) / 2 + (step == 3 ? 100 : 0);
        const TInk ink = MeasureInk(image);
        QVERIFY(ink.Bounds.top() >= boxTop - 0.5);
        QVERIFY(ink.Bounds.bottom() <= boxTop + 2 * LineSpacing * em + 0.5);
        // Each shown line's cap band holds ink, centred on the raster's middle.
        for (int line = 0; line < 2; ++line) {
            const int row = int(boxTop + (line * LineSpacing + Ascent - CapHeight / 2) * em);
            const TInk band = MeasureInk(image.copy(0, row, image.width(), 1));
            QVERIFY2((band.Count > 0) == (line < lines), qPrintable(QStringLiteral("line %1").arg(line + 1)));
            if (band.Count > 0)
                QVERIFY(qAbs((band.Bounds.left() + band.Bounds.right()) / 2.0 - 600) < 2);
        }
    }

    void extremeInputs_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("fontSize");
        QTest::addColumn<bool>("inked");
        QTest::newRow("name, font size 0") << 0 << 0 << false;
        QTest::newRow("production, negative font size") << 1 << -40 << false;
        QTest::newRow("type, font size 0") << 2 << 0 << false;
        // The name's band would lie beyond the centre: no circle is left for it.
        QTest::newRow("name, font taller than the label") << 0 << 1100 << false;
        // The production glyphs then lie far beyond the raster; the date covers its box.
        QTest::newRow("production, font size 100000") << 1 << 100000 << false;
        QTest::newRow("date, font size 100000") << 3 << 100000 << true;
    }

    void extremeInputs()
    {
        QFETCH(int, step);
        QFETCH(int, fontSize);
        QFETCH(bool, inked);
        QCOMPARE(MeasureInk(RunStep(1, QStringLiteral("Kaas"), fontSize, step)).Deepest != 0xFFFFFFu, inked);
    }
};

QTEST_MAIN(TestLabelTexts)
#include "tst_label_texts.moc"

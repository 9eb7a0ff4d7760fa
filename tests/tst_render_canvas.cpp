// The label raster, the size change and the contract of the drawing steps.
#include "label/label_document.h"
#include "render/label_renderer.h"

#include <QPainter>
#include <QtTest>

class TstRenderCanvas : public QObject
{
    Q_OBJECT

private slots:
    void sizeChange_data();
    void sizeChange();
    void exportImage();
    void stepsLeavePainterAsFound();
    void passStartsFromWhite();

private:
    QTemporaryDir FDir;
};

void TstRenderCanvas::sizeChange_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("width");
    QTest::addColumn<float>("factor");
    QTest::newRow("6 cm") << 0 << 750 << 0.625f;
    QTest::newRow("10 cm") << 1 << 1200 << 1.0f;
    QTest::newRow("14 cm") << 2 << 1650 << 1.375f;
    QTest::newRow("unknown item keeps 10 cm") << 7 << 1200 << 1.0f;
}

void TstRenderCanvas::sizeChange()
{
    QFETCH(int, item);
    QFETCH(int, width);
    QFETCH(float, factor);
    TLabelRenderer renderer;
    // A new renderer starts at 10 cm.
    QCOMPARE(renderer.FBmp.size(), QSize(1200, 1200));
    QCOMPARE(renderer.ImgWidth, 1200);
    QVERIFY(renderer.FGr == nullptr);
    renderer.SetLabelSize(item == 2 ? 0 : 2);  // from another size, so the change is seen
    renderer.SetLabelSize(item);
    QCOMPARE(renderer.FBmp.size(), QSize(width, width));
    QCOMPARE(renderer.FBmp.format(), QImage::Format_RGB32);
    QCOMPARE(renderer.FFactor, factor);
    QCOMPARE(renderer.ImgWidth, width);
    // 300 dpi as metadata.
    QCOMPARE(qRound(renderer.FBmp.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(renderer.FBmp.dotsPerMeterY() * 0.0254), 300);
}

void TstRenderCanvas::exportImage()
{
    TLabelRenderer renderer;
    renderer.SetLabelSize(0);
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x00123456;
    doc.FLabelRing1.Use = true;
    doc.FLabelRing1.Color = 0x000000FF;
    renderer.DrawLabel(doc);
    const QImage image = renderer.ExportImage();
    QCOMPARE(image.format(), QImage::Format_RGB888);
    QCOMPARE(image.size(), QSize(750, 750));
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(image.dotsPerMeterY() * 0.0254), 300);
    QCOMPARE(image.convertToFormat(QImage::Format_RGB32), renderer.FBmp);
    QCOMPARE(image.pixel(375, 375), qRgb(0x56, 0x34, 0x12));
}

// Every step restores the painter: transform, clip, pen, brush, opacity,
// composition mode and hints are as before, whatever the step drew.
void TstRenderCanvas::stepsLeavePainterAsFound()
{
    QImage photo(400, 300, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    const QString photoPath = FDir.filePath(QStringLiteral("photo.png"));
    QVERIFY(photo.save(photoPath));
    QImage middle(100, 50, QImage::Format_ARGB32);
    middle.fill(qRgba(0, 0, 200, 128));
    const QString middlePath = FDir.filePath(QStringLiteral("middle.png"));
    QVERIFY(middle.save(middlePath));

    TLabelDocument doc;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = photoPath;
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.Trans = 30;
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = middlePath;
    doc.FLabelBg.PngWidth = 40;
    for (int ring = 1; ring <= 4; ++ring) {
        doc.RingByTag(ring)->Use = true;
        doc.RingByTag(ring)->Color = 0x00008000;
    }

    TLabelRenderer renderer;
    QPainter painter(&renderer.FBmp);
    renderer.FGr = &painter;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.translate(0.5, 0.5);
    painter.setClipRect(QRect(10, 10, 1000, 1000));
    painter.setPen(QPen(Qt::magenta, 3));
    painter.setBrush(Qt::cyan);
    painter.setOpacity(0.75);
    const QPainter::RenderHints hints = painter.renderHints();
    const auto expectState = [&](const char* aStep) {
        QVERIFY2(painter.transform() == QTransform::fromTranslate(0.5, 0.5), aStep);
        QVERIFY2(painter.hasClipping() && painter.clipBoundingRect() == QRectF(10, 10, 1000, 1000), aStep);
        QVERIFY2(painter.pen() == QPen(Qt::magenta, 3), aStep);
        QVERIFY2(painter.brush() == QBrush(Qt::cyan), aStep);
        QVERIFY2(painter.opacity() == 0.75, aStep);
        QVERIFY2(painter.compositionMode() == QPainter::CompositionMode_SourceOver, aStep);
        QVERIFY2(painter.renderHints() == hints, aStep);
    };
    renderer.DrawBackground(doc);
    expectState("DrawBackground");
    renderer.DrawOther(doc);
    expectState("DrawOther");
    renderer.DrawOuterCircle(doc);
    expectState("DrawOuterCircle");
    renderer.DrawInnerCircle(doc);
    expectState("DrawInnerCircle");
    renderer.FGr = nullptr;
}

// A pass redraws everything from white: a second pass over a changed label
// leaves nothing of the first.
void TstRenderCanvas::passStartsFromWhite()
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x000000FF;
    doc.FLabelRing3.Use = true;
    TLabelRenderer renderer;
    renderer.DrawLabel(doc);
    QVERIFY(renderer.FGr == nullptr);

    TLabelDocument plain;
    plain.FLabelBg.UseColor = true;
    plain.FLabelBg.Color = 0x00FFFFFF;
    renderer.DrawLabel(plain);
    TLabelRenderer fresh;
    fresh.DrawLabel(plain);
    QCOMPARE(renderer.FBmp, fresh.FBmp);
}

QTEST_MAIN(TstRenderCanvas)
#include "tst_render_canvas.moc"

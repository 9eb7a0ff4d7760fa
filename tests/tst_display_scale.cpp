// The window's scaling of the label raster: area averaging as Qt's smooth
// scaling does it, for every size the window can take.
#include "editor/image_view.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cstdlib>

namespace {

// Fine detail everywhere, so a misplaced or misweighted tap shows.
QImage Detailed(int aSide, QImage::Format aFormat)
{
    QImage image(aSide, aSide, aFormat);
    QRandomGenerator random(aSide);
    for (int y = 0; y < aSide; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < aSide; ++x) {
            const int a = aFormat == QImage::Format_RGB32 ? 255 : int(random.bounded(256));
            const int noise = int(random.bounded(64));
            line[x] = qPremultiply(qRgba((x * 255 / aSide + noise) % 256, (y * 3 + noise) % 256,
                                         ((x / 5 + y / 7) % 2) * 200 + noise / 2, a));
        }
    }
    return image;
}

}  // namespace

class TstDisplayScale : public QObject
{
    Q_OBJECT

private slots:
    void averagesLikeQt_data();
    void averagesLikeQt();
    void enlargingIsQtsScaling();
    void emptyTargets();
};

void TstDisplayScale::averagesLikeQt_data()
{
    QTest::addColumn<int>("raster");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<int>("format");
    const int opaque = QImage::Format_RGB32;
    QTest::newRow("14 cm in the default window") << 1650 << QSize(641, 641) << 1.0 << opaque;
    QTest::newRow("10 cm in the default window") << 1200 << QSize(641, 641) << 1.0 << opaque;
    QTest::newRow("6 cm in the default window") << 750 << QSize(641, 641) << 1.0 << opaque;
    QTest::newRow("14 cm in a small window, many taps") << 1650 << QSize(300, 410) << 1.0 << opaque;
    QTest::newRow("14 cm on a screen of ratio 2") << 1650 << QSize(641, 641) << 2.0 << opaque;
    QTest::newRow("same size") << 750 << QSize(750, 800) << 1.0 << opaque;
    QTest::newRow("premultiplied transparency") << 1200 << QSize(500, 500) << 1.0
                                                << int(QImage::Format_ARGB32_Premultiplied);
}

void TstDisplayScale::averagesLikeQt()
{
    QFETCH(int, raster);
    QFETCH(QSize, target);
    QFETCH(qreal, dpr);
    QFETCH(int, format);
    const QImage image = Detailed(raster, QImage::Format(format));
    const QImage shown = ScaleForDisplay(image, target, dpr);
    const int side = int(std::lround(std::min(target.width(), target.height()) * dpr));
    QCOMPARE(shown.size(), QSize(side, side));
    QCOMPARE(shown.format(), image.format());
    QCOMPARE(shown.devicePixelRatio(), dpr);
    const QImage qt = image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int worst = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const QRgb a = shown.pixel(x, y), b = qt.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
        }
    }
    // Rounding differs: 8-bit weights and a rounding between the two passes
    // here, 14-bit weights in Qt.
    QVERIFY2(worst <= 3, qPrintable(QStringLiteral("largest difference %1").arg(worst)));
}

void TstDisplayScale::enlargingIsQtsScaling()
{
    const QImage image = Detailed(300, QImage::Format_RGB32);
    const QImage shown = ScaleForDisplay(image, QSize(641, 700), 1.0);
    QCOMPARE(shown, image.scaled(641, 641, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void TstDisplayScale::emptyTargets()
{
    const QImage image = Detailed(100, QImage::Format_RGB32);
    QVERIFY(ScaleForDisplay(image, QSize(0, 50), 1.0).isNull());
    QVERIFY(ScaleForDisplay(QImage(), QSize(50, 50), 1.0).isNull());
    QVERIFY(ScaleForDisplay(image, QSize(50, 50), 0).isNull());
}

QTEST_MAIN(TstDisplayScale)
#include "tst_display_scale.moc"

// The background texture's colour matrix against the matrix worked out in
// floating point on straight values and drawn over white.
#include "render/color_matrix.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using TMatrix = std::array<std::array<float, 5>, 5>;

TMatrix Transparency(float aT)
{
    TMatrix m{};
    for (int i = 0; i < 5; ++i)
        m[i][i] = 1;
    m[3][3] = aT;
    return m;
}

// What the matrix makes of a straight pixel, drawn over white, in 0..255.
QRgb Reference(QRgb aStraight, const TMatrix& aMatrix)
{
    const double in[5] = {qRed(aStraight) / 255.0, qGreen(aStraight) / 255.0, qBlue(aStraight) / 255.0,
                          qAlpha(aStraight) / 255.0, 1.0};
    double out[4];
    for (int column = 0; column < 4; ++column) {
        double sum = 0;
        for (int row = 0; row < 5; ++row)
            sum += in[row] * aMatrix[row][column];
        out[column] = std::clamp(sum, 0.0, 1.0);
    }
    const auto channel = [&](int aIndex) { return int(std::lround(255 * (out[aIndex] * out[3] + 1 - out[3]))); };
    return qRgb(channel(0), channel(1), channel(2));
}

int ChannelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

QImage RandomPicture(QImage::Format aFormat, quint32 aSeed)
{
    QRandomGenerator random(aSeed);
    QImage picture(256, 48, aFormat);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb straight = qRgba(random.bounded(256), random.bounded(256), random.bounded(256),
                                        aFormat == QImage::Format_RGB32 ? 255 : random.bounded(256));
            picture.setPixel(x, y, aFormat == QImage::Format_RGB32 ? straight : qPremultiply(straight));
        }
    }
    // Every value of every channel in the first row.
    for (int x = 0; x < 256; ++x)
        picture.setPixel(x, 0, qRgb(x, 255 - x, x * 7 % 256));
    return picture;
}

QList<TRowSpan> WholeRows(int aRows, int aWidth)
{
    return QList<TRowSpan>(aRows, TRowSpan(0, aWidth));
}

}  // namespace

Q_DECLARE_METATYPE(TMatrix)

class TstColorMatrix : public QObject
{
    Q_OBJECT

private slots:
    void matchesFloatingPoint_data();
    void matchesFloatingPoint();
    void whiteOutsideSourceAndSpans();
};

void TstColorMatrix::matchesFloatingPoint_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<TMatrix>("matrix");
    TMatrix sepia = Transparency(0.7f);
    const float rows[4][3] = {{0.5f, 0.45f, 0.38f}, {0.769f, 0.686f, 0.534f}, {0.189f, 0.168f, 0.131f}, {-0.1f, -0.1f, -0.1f}};
    for (int column = 0; column < 3; ++column) {
        sepia[0][column] = rows[0][column];
        sepia[1][column] = rows[1][column];
        sepia[2][column] = rows[2][column];
        sepia[4][column] = rows[3][column];
    }
    TMatrix grey = Transparency(1.0f);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            grey[row][column] = std::array<float, 3>{0.299f, 0.587f, 0.114f}[row];
    TMatrix contrast = Transparency(0.9f);
    for (int i = 0; i < 3; ++i) {
        contrast[i][i] = 1.8f;
        contrast[4][i] = -0.4f;
    }
    contrast[1][0] = -0.35f;
    TMatrix alphaFromColour = Transparency(1.0f);
    alphaFromColour[0][3] = 0.5f;
    alphaFromColour[3][3] = 0.5f;
    TMatrix tiny = Transparency(0.5f);
    tiny[2][0] = 1e-9f;

    for (const int format : {int(QImage::Format_RGB32), int(QImage::Format_ARGB32_Premultiplied)}) {
        const QString kind = format == QImage::Format_RGB32 ? QStringLiteral("opaque") : QStringLiteral("transparent");
        const auto row = [&](const char* aName, const TMatrix& aMatrix) {
            QTest::newRow(qPrintable(kind + QStringLiteral(" photo, ") + QLatin1String(aName))) << format << aMatrix;
        };
        row("unchanged", Transparency(1.0f));
        row("transparency 50", Transparency(0.5f));
        row("sepia at transparency 30", sepia);
        row("grey tones", grey);
        row("negative and large factors", contrast);
        row("alpha taken from red", alphaFromColour);
        row("a factor too small for integer steps", tiny);
    }
}

void TstColorMatrix::matchesFloatingPoint()
{
    QFETCH(int, format);
    QFETCH(TMatrix, matrix);
    float plain[5][5];
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 5; ++column)
            plain[row][column] = matrix[row][column];
    const QImage source = RandomPicture(QImage::Format(format), 7);
    QImage target(source.size(), QImage::Format_RGB32);
    ApplyColorMatrixOverWhite(source, QPoint(0, 0), plain, WholeRows(source.height(), source.width()), target);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QRgb straight = qUnpremultiply(source.pixel(x, y));
            const QRgb expected = Reference(straight, matrix);
            // Premultiplied sources lose a little in unpremultiplying.
            const int tolerance = format == QImage::Format_RGB32 ? 1 : 2;
            if (ChannelDifference(target.pixel(x, y), expected) > tolerance)
                QFAIL(qPrintable(QStringLiteral("(%1, %2): %3 for %4, expected %5")
                                     .arg(x)
                                     .arg(y)
                                     .arg(target.pixel(x, y), 8, 16)
                                     .arg(straight, 8, 16)
                                     .arg(expected, 8, 16)));
        }
    }
}

void TstColorMatrix::whiteOutsideSourceAndSpans()
{
    const QImage source = RandomPicture(QImage::Format_RGB32, 3);
    float identity[5][5] = {};
    for (int i = 0; i < 5; ++i)
        identity[i][i] = 1;
    QImage target(100, 60, QImage::Format_RGB32);
    target.fill(qRgb(1, 2, 3));
    QList<TRowSpan> rows(target.height(), TRowSpan(10, 90));
    rows[5] = TRowSpan(0, 0);
    // Target (x, y) shows source (x - 20, y + 4).
    ApplyColorMatrixOverWhite(source, QPoint(-20, 4), identity, rows, target);
    const QRgb white = qRgb(255, 255, 255);
    QCOMPARE(target.pixel(5, 10), white);     // left of the span
    QCOMPARE(target.pixel(95, 10), white);    // right of the span
    QCOMPARE(target.pixel(50, 5), white);     // an empty row
    QCOMPARE(target.pixel(15, 10), white);    // left of the source
    QCOMPARE(target.pixel(50, 57), white);    // below the source (48 high)
    QCOMPARE(target.pixel(20, 10), source.pixel(0, 14));
    QCOMPARE(target.pixel(89, 43), source.pixel(69, 47));
}

QTEST_MAIN(TstColorMatrix)
#include "tst_color_matrix.moc"

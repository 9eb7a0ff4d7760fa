#pragma once

// Pixel and file helpers shared by the rendering tests.
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

inline constexpr QRgb White = 0xFFFFFFFFu;

// Every channel within aTolerance levels: room for anti-aliasing and filters.
inline bool Near(QRgb aA, QRgb aB, int aTolerance)
{
    return std::abs(qRed(aA) - qRed(aB)) <= aTolerance && std::abs(qGreen(aA) - qGreen(aB)) <= aTolerance
           && std::abs(qBlue(aA) - qBlue(aB)) <= aTolerance;
}

inline QString Describe(QRgb aColor)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(aColor)).arg(qGreen(aColor)).arg(qBlue(aColor));
}

// Fails the test function unless pixel (aX, aY) of aImage is within
// aTolerance levels of aExpected.
#define VERIFY_PIXEL(aImage, aX, aY, aExpected, aTolerance)                                                   \
    do {                                                                                                      \
        const QRgb actual_ = (aImage).pixel((aX), (aY)), expected_ = (aExpected);                             \
        if (!Near(actual_, expected_, (aTolerance)))                                                          \
            QFAIL(qPrintable(QStringLiteral("(%1, %2): %3, expected %4")                                      \
                                 .arg(aX).arg(aY).arg(Describe(actual_), Describe(expected_))));               \
    } while (false)

// One colour throughout; with alpha when aColor is not opaque.
inline QImage Solid(const QSize& aSize, QRgb aColor)
{
    QImage image(aSize, qAlpha(aColor) == 255 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    image.fill(aColor);
    return image;
}

// Square cells of aCell pixels, cell (x, y) in CellColor(x, y): the raster
// tells which part of the photo it shows.
inline QRgb CellColor(int aX, int aY)
{
    return qRgb(20 + 40 * aX, 20 + 40 * aY, 128);
}

inline QImage GridPhoto(const QSize& aSize, int aCell)
{
    QImage image(aSize, QImage::Format_RGB32);
    for (int y = 0; y < aSize.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < aSize.width(); ++x)
            line[x] = CellColor(x / aCell, y / aCell);
    }
    return image;
}

// Noise compresses badly: picture data make up most of its JPEG.
inline QImage Noise(const QSize& aSize)
{
    QImage image(aSize, QImage::Format_RGB32);
    uint32_t seed = 7;
    for (int y = 0; y < aSize.height(); ++y)
        for (int x = 0; x < aSize.width(); ++x)
            image.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) | 0xFF000000u);
    return image;
}

inline bool WriteFile(const QString& aPath, const QByteArray& aBytes)
{
    QFile file(aPath);
    return file.open(QIODevice::WriteOnly) && file.write(aBytes) == aBytes.size();
}

inline QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The path aImage was saved to in aDir, or an empty path when it was not.
inline QString SavedImage(const QTemporaryDir& aDir, const QString& aName, const QImage& aImage, int aQuality = -1)
{
    const QString path = aDir.filePath(aName);
    return aImage.save(path, nullptr, aQuality) ? path : QString();
}

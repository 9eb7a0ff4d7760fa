#pragma once

// Pixel helpers shared by the rendering tests.
#include <QRgb>
#include <QString>

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

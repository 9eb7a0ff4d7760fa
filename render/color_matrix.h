#pragma once

#include <QImage>
#include <QList>
#include <QPoint>

#include <utility>

// The pixels [first, second) of one row.
using TRowSpan = std::pair<int, int>;

// The background texture of the label: for every row y of aTarget and every
// x in aRows[y], the pixel (x + aOffset.x(), y + aOffset.y()) of aSource with
// the colour matrix aMatrix (rows R, G, B, A, constant) applied to its
// straight, not premultiplied, values and drawn over white; white where that
// pixel lies outside aSource, and outside the spans.
//
// aTarget must be a Format_RGB32 image with as many rows as aRows. An opaque
// texture makes the background fill a copy, where a transparent one would be
// blended over the white raster pixel by pixel on every pass.
void ApplyColorMatrixOverWhite(const QImage& aSource, QPoint aOffset, const float aMatrix[5][5],
                               const QList<TRowSpan>& aRows, QImage& aTarget);

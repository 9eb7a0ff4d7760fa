#pragma once

#include <QRect>

#include <functional>

class QBrush;
class QPainter;
class QPainterPath;

// Fills aPath (in the painter's coordinates) with aBrush as QPainter::fillPath
// does, but cut into bands of raster rows, one fill per band.
//
// Qt's anti-aliasing rasteriser works in a fixed 8 KB cell pool: when a shape
// needs more cells than fit, it halves the band of rows it renders and walks
// the whole outline again for every band. A label-sized ring or a line of
// text is walked a hundred times over. Cut into bands of a few rows, each
// fill walks only its own piece of the outline. The cuts lie on pixel row
// boundaries, where an edge adds nothing to a pixel's coverage, and the
// curves are flattened exactly as Qt flattens them, so the pixels are those
// of one fill up to the rounding of the cut points.
//
// aInside, when given, names for the raster rows [top, bottom) of a band a
// rectangle of raster pixels that aPath, filled odd-even, covers wholly; the
// band's fill leaves it out, for the caller to fill some cheaper way. Its
// edges lie on pixel boundaries, so the pixels around it keep their coverage.
// A path filled in one piece (the fallbacks) fills the rectangles too: what
// the caller draws there must not depend on their being left out.
//
// Falls back to QPainter::fillPath for transforms other than translations
// and on every paint engine but the raster's.
using TInsideRect = std::function<QRect(int aTop, int aBottom)>;

// QPainter::fillPath; on a PDF, with the path's points rounded to whole
// device units, which prints them in a third of the bytes.
void FillPath(QPainter& aPainter, const QPainterPath& aPath, const QBrush& aBrush);

void FillPathInStrips(QPainter& aPainter, const QPainterPath& aPath, const QBrush& aBrush,
                      const TInsideRect& aInside = {});

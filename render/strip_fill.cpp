#include "render/strip_fill.h"

#include <QBrush>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Rows per fill. Measured on the label's rings and disc: 8 rows cost more in
// per-fill overhead, 32 rows in outline walks again.
constexpr int StripRows = 16;
// The distance to which Qt's rasteriser flattens curves, in device pixels.
constexpr double FlatteningThreshold = 0.25;

struct TPoint
{
    double X = 0;
    double Y = 0;
};

struct TCubic
{
    double x1, y1, x2, y2, x3, y3, x4, y4;
};

// De Casteljau halving with the same operations, in the same order, as Qt's
// curve splitting: the flattened points come out bit for bit as Qt's.
void Halve(const TCubic& aIn, TCubic& aFirst, TCubic& aSecond)
{
    const double cx = (aIn.x2 + aIn.x3) * .5;
    const double cy = (aIn.y2 + aIn.y3) * .5;
    TCubic first{};
    TCubic second{};
    first.x1 = aIn.x1;
    first.y1 = aIn.y1;
    first.x2 = (aIn.x1 + aIn.x2) * .5;
    first.y2 = (aIn.y1 + aIn.y2) * .5;
    second.x3 = (aIn.x3 + aIn.x4) * .5;
    second.y3 = (aIn.y3 + aIn.y4) * .5;
    second.x4 = aIn.x4;
    second.y4 = aIn.y4;
    first.x3 = (first.x2 + cx) * .5;
    first.y3 = (first.y2 + cy) * .5;
    second.x2 = (second.x3 + cx) * .5;
    second.y2 = (second.y3 + cy) * .5;
    first.x4 = second.x1 = (first.x3 + second.x2) * .5;
    first.y4 = second.y1 = (first.y3 + second.y2) * .5;
    aFirst = first;
    aSecond = second;
}

// Appends the ends of the line segments that replace aCurve, moved by
// (aDx, aDy): halves until both control points are near enough to the chord
// (Qt's test, with its Manhattan lengths), at most nine times deep.
void Flatten(const TCubic& aCurve, double aDx, double aDy, std::vector<TPoint>& aPoints)
{
    TCubic stack[10];
    int levels[10];
    stack[0] = aCurve;
    levels[0] = 9;
    int top = 0;
    while (top >= 0) {
        const TCubic& b = stack[top];
        const double x4x1 = b.x4 - b.x1;
        const double y4y1 = b.y4 - b.y1;
        double length = std::abs(x4x1) + std::abs(y4y1);
        double distance;
        if (length > 1.) {
            distance = std::abs(x4x1 * (b.y1 - b.y2) - y4y1 * (b.x1 - b.x2))
                       + std::abs(x4x1 * (b.y1 - b.y3) - y4y1 * (b.x1 - b.x3));
        } else {
            distance = std::abs(b.x1 - b.x2) + std::abs(b.y1 - b.y2) + std::abs(b.x1 - b.x3) + std::abs(b.y1 - b.y3);
            length = 1.;
        }
        if (distance < FlatteningThreshold * length || levels[top] == 0) {
            aPoints.push_back({b.x4 + aDx, b.y4 + aDy});
            --top;
        } else {
            TCubic first{};
            TCubic second{};
            Halve(b, first, second);
            stack[top] = second;
            stack[top + 1] = first;
            levels[top + 1] = --levels[top];
            ++top;
        }
    }
}

// A piece of a contour inside one strip.
struct TRun
{
    std::vector<TPoint> Points;
    // The strip edge the run comes in and goes out through: -1 top, +1
    // bottom; 0 for a contour that lies inside the strip.
    int Entry = 0;
    int Exit = 0;
};

}  // namespace

void FillPath(QPainter& aPainter, const QPainterPath& aPath, const QBrush& aBrush)
{
    const QPaintEngine* engine = aPainter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Pdf || aPath.isEmpty()) {
        aPainter.fillPath(aPath, aBrush);
        return;
    }
    // Qt's PDF writer prints every coordinate with nine significant digits,
    // and an outline is many curve points. Whole device units (at a
    // PDF's 1200 dpi, 1/50 mm) print in a third of the bytes and look the
    // same; a curve that is straight to within half a unit becomes a line,
    // and a point where the last one was is left out.
    const QPainterPath mapped = aPainter.deviceTransform().map(aPath);
    QPainterPath device;
    device.setFillRule(mapped.fillRule());
    const auto rounded = [](const QPainterPath::Element& aElement) {
        return QPointF(std::round(aElement.x), std::round(aElement.y));
    };
    // Distance of aPoint from the line through aFrom and aTo, or from aFrom when they meet.
    const auto offLine = [](QPointF aPoint, QPointF aFrom, QPointF aTo) {
        const QPointF chord = aTo - aFrom;
        const double length = std::hypot(chord.x(), chord.y());
        const QPointF towards = aPoint - aFrom;
        if (length == 0)
            return std::hypot(towards.x(), towards.y());
        return std::abs(chord.x() * towards.y() - chord.y() * towards.x()) / length;
    };
    QPointF current;
    for (int i = 0; i < mapped.elementCount(); ++i) {
        const QPainterPath::Element element = mapped.elementAt(i);
        const QPointF point = rounded(element);
        if (element.isMoveTo()) {
            device.moveTo(point);
            current = point;
        } else if (element.isLineTo()) {
            if (point != current)
                device.lineTo(point);
            current = point;
        } else if (element.isCurveTo() && i + 2 < mapped.elementCount()) {
            const QPointF control = point;
            const QPointF control2 = rounded(mapped.elementAt(i + 1));
            const QPointF end = rounded(mapped.elementAt(i + 2));
            i += 2;
            if (offLine(control, current, end) <= 0.5 && offLine(control2, current, end) <= 0.5) {
                if (end != current)
                    device.lineTo(end);
            } else {
                device.cubicTo(control, control2, end);
            }
            current = end;
        }
    }
    QBrush brush = aBrush;
    brush.setTransform(brush.transform() * aPainter.worldTransform());
    aPainter.save();
    aPainter.resetTransform();
    aPainter.fillPath(device, brush);
    aPainter.restore();
}

void FillPathInStrips(QPainter& aPainter, const QPainterPath& aPath, const QBrush& aBrush, const TInsideRect& aInside)
{
    const QTransform world = aPainter.worldTransform();
    const QPaintDevice* device = aPainter.device();
    // Bands are a raster shortcut: on a PDF or a printer each band would be a
    // fill of its own, which viewers show with hairline seams between them.
    // A device pixel ratio other than 1 shows as a device transform of its own.
    if (aPath.isEmpty() || !device || !aPainter.paintEngine() || aPainter.paintEngine()->type() != QPaintEngine::Raster
        || world.type() > QTransform::TxTranslate || aPainter.deviceTransform() != world) {
        FillPath(aPainter, aPath, aBrush);
        return;
    }
    const double dx = world.dx();
    const double dy = world.dy();

    // The contours in device pixels, each closed.
    std::vector<std::vector<TPoint>> contours;
    const int elements = aPath.elementCount();
    for (int i = 0; i < elements; ++i) {
        const QPainterPath::Element element = aPath.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            if (i + 1 < elements)
                contours.push_back({{element.x + dx, element.y + dy}});
            break;
        case QPainterPath::LineToElement:
            contours.back().push_back({element.x + dx, element.y + dy});
            break;
        case QPainterPath::CurveToElement: {
            if (i + 2 >= elements)
                break;
            const QPainterPath::Element control = aPath.elementAt(i + 1);
            const QPainterPath::Element end = aPath.elementAt(i + 2);
            std::vector<TPoint>& contour = contours.back();
            // Flattened before the translation, as Qt does.
            const TCubic curve{contour.back().X - dx, contour.back().Y - dy, element.x, element.y,
                               control.x, control.y, end.x, end.y};
            Flatten(curve, dx, dy, contour);
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break;
        }
    }

    double minY = HUGE_VAL;
    double maxY = -HUGE_VAL;
    bool finite = true;
    for (const std::vector<TPoint>& contour : contours) {
        for (const TPoint& point : contour) {
            finite = finite && std::isfinite(point.X) && std::isfinite(point.Y);
            minY = std::min(minY, point.Y);
            maxY = std::max(maxY, point.Y);
        }
    }
    // Leaving a rectangle out takes the odd-even rule; a fallback fills it all.
    const bool leaveOut = aInside && aPath.fillRule() == Qt::OddEvenFill;
    if (!finite || contours.empty()) {
        aPainter.fillPath(aPath, aBrush);
        return;
    }
    // Only the raster's rows are cut into strips; what lies above or below
    // them cannot colour a pixel and is dropped.
    const double top = std::max(0.0, std::floor(minY));
    const double bottom = std::min(double(device->height()), std::ceil(maxY));
    if (!(bottom > top))
        return;
    const int strips = int(std::ceil((bottom - top) / StripRows));
    if (strips <= 1) {
        aPainter.fillPath(aPath, aBrush);
        return;
    }
    // -1 above the first strip, strips below the last; a point on a strip
    // boundary belongs to the strip below it.
    const auto stripOf = [&](double aY) {
        if (aY < top)
            return -1;
        return int(std::min<double>(strips, std::floor((aY - top) / StripRows)));
    };
    const auto keep = [&](std::vector<std::vector<TRun>>& aRuns, int aStrip, TRun&& aRun) {
        if (aStrip >= 0 && aStrip < strips)
            aRuns[aStrip].push_back(std::move(aRun));
    };

    // Cut each contour where it crosses a strip boundary. Walking from the
    // first crossing, every run but the first ends on a boundary; the last
    // run returns to where the first began and the two are joined.
    std::vector<std::vector<TRun>> runs(strips);
    for (std::vector<TPoint>& contour : contours) {
        if (contour.back().X != contour.front().X || contour.back().Y != contour.front().Y)
            contour.push_back(contour.front());
        const int points = int(contour.size());
        int first = -1;
        for (int i = 0; i + 1 < points && first < 0; ++i)
            if (stripOf(contour[i].Y) != stripOf(contour[i + 1].Y))
                first = i;
        if (first < 0) {
            TRun whole;
            whole.Points = std::move(contour);
            keep(runs, stripOf(whole.Points.front().Y), std::move(whole));
            continue;
        }
        TRun head;
        bool haveHead = false;
        TRun current;
        current.Points.push_back(contour[first]);
        for (int k = 0; k + 1 < points; ++k) {
            const int i = (first + k) % (points - 1);
            const TPoint from = contour[i];
            const TPoint to = contour[i + 1];
            const int target = stripOf(to.Y);
            for (int strip = stripOf(from.Y); strip != target;) {
                const bool down = target > strip;
                const double boundary = top + double(down ? strip + 1 : strip) * StripRows;
                const double t = (boundary - from.Y) / (to.Y - from.Y);
                const TPoint cut{from.X + (to.X - from.X) * t, boundary};
                current.Points.push_back(cut);
                current.Exit = down ? 1 : -1;
                if (haveHead) {
                    keep(runs, strip, std::move(current));
                } else {
                    head = std::move(current);
                    haveHead = true;
                }
                current = TRun();
                current.Entry = down ? -1 : 1;
                current.Points.push_back(cut);
                strip += down ? 1 : -1;
            }
            current.Points.push_back(to);
        }
        current.Points.insert(current.Points.end(), head.Points.begin() + 1, head.Points.end());
        current.Exit = head.Exit;
        keep(runs, stripOf(contour[first].Y), std::move(current));
    }

    // A run that leaves through the edge it came in by is closed along that
    // edge; a run going down is joined to one going up, along the bottom edge
    // and back along the top. Those joins lie on row boundaries: they add no
    // coverage. A closed contour crosses every boundary as often down as up,
    // so the two kinds pair up; should rounding ever say otherwise, the path
    // is filled in one piece.
    for (const std::vector<TRun>& strip : runs) {
        int balance = 0;
        for (const TRun& run : strip)
            if (run.Entry != run.Exit && run.Entry != 0)
                balance += run.Entry;
        if (balance != 0) {
            aPainter.fillPath(aPath, aBrush);
            return;
        }
    }

    aPainter.save();
    // Device coordinates from here on; the brush keeps its place.
    QBrush brush = aBrush;
    if (brush.style() != Qt::SolidPattern)
        brush.setTransform(brush.transform() * QTransform::fromTranslate(aPainter.brushOrigin().x(),
                                                                          aPainter.brushOrigin().y())
                           * world);
    aPainter.resetTransform();
    aPainter.setBrushOrigin(0, 0);
    QPainterPath piece;
    std::vector<const TRun*> downs;
    std::vector<const TRun*> ups;
    for (int index = 0; index < strips; ++index) {
        const std::vector<TRun>& strip = runs[index];
        if (strip.empty())
            continue;
        piece.clear();
        piece.setFillRule(aPath.fillRule());
        downs.clear();
        ups.clear();
        const auto addPoints = [&piece](const TRun& aRun, bool aStart) {
            for (std::size_t i = 0; i < aRun.Points.size(); ++i) {
                if (aStart && i == 0)
                    piece.moveTo(aRun.Points[i].X, aRun.Points[i].Y);
                else
                    piece.lineTo(aRun.Points[i].X, aRun.Points[i].Y);
            }
        };
        for (const TRun& run : strip) {
            if (run.Entry == run.Exit || run.Entry == 0) {
                addPoints(run, true);
                piece.closeSubpath();
            } else {
                (run.Entry < 0 ? downs : ups).push_back(&run);
            }
        }
        for (std::size_t i = 0; i < downs.size(); ++i) {
            addPoints(*downs[i], true);
            addPoints(*ups[i], false);
            piece.closeSubpath();
        }
        if (leaveOut) {
            const int stripTop = int(top) + index * StripRows;
            const QRect inside = aInside(stripTop, stripTop + StripRows)
                                     .intersected(QRect(0, stripTop, device->width(), StripRows));
            if (!inside.isEmpty())
                piece.addRect(inside);
        }
        aPainter.fillPath(piece, brush);
    }
    aPainter.restore();
}

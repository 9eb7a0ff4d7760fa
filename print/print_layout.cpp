#include "print/print_layout.h"

#include <algorithm>
#include <cmath>

namespace {

// Lengths typed in tenths of a millimetre, or read back from text, may miss
// an exact fit by a rounding error.
constexpr double Tolerance = 1e-6;

// How many labels of aDiameter fit along aLength with the built-in margins.
int FittingCount(double aLength, double aDiameter)
{
    const double count = std::floor((aLength - 2 * SheetMargin + LabelGap) / (aDiameter + LabelGap) + Tolerance);
    return count > 0 ? int(count) : 0;
}

// The centre of the first of aCount labels, the row centred on aLength.
double FirstCentre(double aLength, double aDiameter, int aCount)
{
    const double row = aCount * aDiameter + (aCount - 1) * LabelGap;
    return (aLength - row) / 2 + aDiameter / 2;
}

// The index (from 0) of the first of aCount labels, centred aFirst + i ×
// aPitch, whose far edge passes aLength; the last one is known to.
int FirstOutside(double aLength, double aFirst, double aPitch, double aDiameter, int aCount)
{
    if (aCount == 1 || !(aPitch > 0))
        return 0;
    const double inside = std::floor((aLength - aDiameter / 2 - aFirst) / aPitch + Tolerance);
    if (!(inside >= 0))
        return 0;
    return int(std::min(inside + 1, double(aCount - 1)));
}

}  // namespace

QString PaperName(TPaper aPaper)
{
    switch (aPaper) {
    case TPaper::Label: return QStringLiteral("label");
    case TPaper::A4: return QStringLiteral("a4");
    case TPaper::Letter: return QStringLiteral("letter");
    case TPaper::Other: return QStringLiteral("other");
    }
    return {};
}

std::optional<TPaper> PaperFromName(const QString& aName)
{
    for (TPaper paper : {TPaper::Label, TPaper::A4, TPaper::Letter, TPaper::Other}) {
        if (aName.compare(PaperName(paper), Qt::CaseInsensitive) == 0)
            return paper;
    }
    return std::nullopt;
}

double DefaultDiameter(int aSizeItem)
{
    switch (aSizeItem) {
    case 0: return 60;
    case 2: return 140;
    default: return 100;
    }
}

QPointF TSheetGrid::Centre(int aIndex) const
{
    const int columns = Columns > 0 ? Columns : 1;
    return {X0 + (aIndex % columns) * Dx, Y0 + (aIndex / columns) * Dy};
}

QList<TSheetGrid> TSheetLayout::Grids() const
{
    QList<TSheetGrid> grids{{Columns, Rows, X0, Y0, Dx, Dy}};
    grids.append(MoreGrids);
    return grids;
}

int TSheetLayout::Positions() const
{
    int positions = Columns * Rows;
    for (const TSheetGrid& grid : MoreGrids)
        positions += grid.Positions();
    return positions;
}

QPointF TSheetLayout::Centre(int aPosition) const
{
    int index = aPosition - 1;
    const TSheetGrid first{Columns, Rows, X0, Y0, Dx, Dy};
    if (MoreGrids.isEmpty() || index < first.Positions())
        return first.Centre(index);
    index -= first.Positions();
    for (const TSheetGrid& grid : MoreGrids) {
        if (index < grid.Positions())
            return grid.Centre(index);
        index -= grid.Positions();
    }
    // Beyond the last position: continue the last grid, as a single grid does.
    return MoreGrids.last().Centre(MoreGrids.last().Positions() + index);
}

QRectF TSheetLayout::Square(int aPosition) const
{
    const QPointF centre = Centre(aPosition);
    return {centre.x() - Diameter / 2, centre.y() - Diameter / 2, Diameter, Diameter};
}

QSizeF TSheetLayout::PaperSize() const
{
    switch (Paper) {
    case TPaper::Label: return {Diameter, Diameter};
    case TPaper::A4: return QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    case TPaper::Letter: return QPageSize(QPageSize::Letter).size(QPageSize::Millimeter);
    case TPaper::Other: return OtherPaper;
    }
    return {};
}

QPageSize TSheetLayout::PageSize() const
{
    switch (Paper) {
    case TPaper::Label:
    case TPaper::Other:
        return QPageSize(PaperSize(), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    case TPaper::A4: return QPageSize(QPageSize::A4);
    case TPaper::Letter: return QPageSize(QPageSize::Letter);
    }
    return {};
}

TSheetLayout BuiltInLayout(TPaper aPaper, double aDiameter)
{
    TSheetLayout layout;
    layout.Paper = aPaper;
    layout.Diameter = aDiameter;
    if (aPaper == TPaper::Label) {
        layout.Columns = layout.Rows = 1;
        layout.X0 = layout.Y0 = aDiameter / 2;
        layout.Dx = layout.Dy = aDiameter;
        return layout;
    }
    const QSizeF paper = layout.PaperSize();
    layout.Columns = FittingCount(paper.width(), aDiameter);
    layout.Rows = FittingCount(paper.height(), aDiameter);
    layout.X0 = FirstCentre(paper.width(), aDiameter, layout.Columns);
    layout.Y0 = FirstCentre(paper.height(), aDiameter, layout.Rows);
    layout.Dx = layout.Dy = aDiameter + LabelGap;
    return layout;
}

namespace {

// One grid of a layout whose first position is aFirst: at least one label,
// none overlapping another of the grid, none leaving the paper.
TPrintProblem CheckGrid(const TSheetGrid& aGrid, double aDiameter, const QSizeF& aPaper, int aFirst)
{
    using TKind = TPrintProblem::TKind;
    const double d = aDiameter;
    if (aGrid.Columns < 1 || aGrid.Rows < 1)
        return {TKind::NoLabelFits, d};
    if (aGrid.Columns > 1 && !(aGrid.Dx >= d - Tolerance))
        return {TKind::Overlap, aGrid.Dx, d, 0, 0, true};
    if (aGrid.Rows > 1 && !(aGrid.Dy >= d - Tolerance))
        return {TKind::Overlap, aGrid.Dy, d, 0, 0, false};

    // With positive pitches the first and the last label are the outermost;
    // in doubles, so a hand-edited count cannot overflow.
    const double left = aGrid.X0 - d / 2;
    const double top = aGrid.Y0 - d / 2;
    const double right = aGrid.X0 + (aGrid.Columns - 1.0) * aGrid.Dx + d / 2;
    const double bottom = aGrid.Y0 + (aGrid.Rows - 1.0) * aGrid.Dy + d / 2;
    if (!(left >= -Tolerance && top >= -Tolerance))
        return {TKind::OutsidePage, 0, 0, aFirst};
    // The first position that sticks out, counting row by row: one in the
    // first row when the rows are too long, else the first of a row too low.
    if (!(right <= aPaper.width() + Tolerance))
        return {TKind::OutsidePage, 0, 0, aFirst + FirstOutside(aPaper.width(), aGrid.X0, aGrid.Dx, d, aGrid.Columns)};
    if (!(bottom <= aPaper.height() + Tolerance)) {
        const int row = FirstOutside(aPaper.height(), aGrid.Y0, aGrid.Dy, d, aGrid.Rows);
        return {TKind::OutsidePage, 0, 0, aFirst + row * aGrid.Columns};
    }
    return {};
}

}  // namespace

TPrintProblem CheckLayout(const TSheetLayout& aLayout)
{
    using TKind = TPrintProblem::TKind;
    const double d = aLayout.Diameter;
    // Written so that NaN fails too.
    if (!(d >= MinDiameter - Tolerance && d <= MaxDiameter + Tolerance))
        return {TKind::DiameterOutOfRange, d};
    if (aLayout.DieCutDiameter > 0 && !(d <= aLayout.DieCutDiameter + DieCutTolerance))
        return {TKind::LargerThanDieCut, d, aLayout.DieCutDiameter};

    const QSizeF paper = aLayout.PaperSize();
    const QList<TSheetGrid> grids = aLayout.Grids();
    int first = 1;
    for (const TSheetGrid& grid : grids) {
        const TPrintProblem problem = CheckGrid(grid, d, paper, first);
        if (!problem.IsNone())
            return problem;
        first += grid.Positions();
    }
    if (grids.size() == 1)
        return {};

    // Labels of different grids must not overlap either; a product has a
    // few dozen positions at most, so every pair is compared.
    const int positions = aLayout.Positions();
    QList<int> gridOf;
    for (int g = 0; g < grids.size(); ++g)
        gridOf.append(QList<int>(grids[g].Positions(), g));
    for (int a = 1; a <= positions; ++a) {
        const QPointF centreA = aLayout.Centre(a);
        for (int b = a + 1; b <= positions; ++b) {
            if (gridOf[a - 1] == gridOf[b - 1])
                continue;
            const QPointF between = aLayout.Centre(b) - centreA;
            if (std::hypot(between.x(), between.y()) < d - Tolerance)
                return {TKind::GridsOverlap, 0, 0, a, b};
        }
    }
    return {};
}

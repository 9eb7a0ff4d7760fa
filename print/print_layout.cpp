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
    }
    return {};
}

std::optional<TPaper> PaperFromName(const QString& aName)
{
    for (TPaper paper : {TPaper::Label, TPaper::A4, TPaper::Letter}) {
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

int TSheetLayout::Positions() const
{
    return Columns * Rows;
}

QPointF TSheetLayout::Centre(int aPosition) const
{
    const int index = aPosition - 1;
    const int columns = Columns > 0 ? Columns : 1;
    return {X0 + (index % columns) * Dx, Y0 + (index / columns) * Dy};
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
    }
    return {};
}

QPageSize TSheetLayout::PageSize() const
{
    switch (Paper) {
    case TPaper::Label:
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

TPrintProblem CheckLayout(const TSheetLayout& aLayout)
{
    using TKind = TPrintProblem::TKind;
    const double d = aLayout.Diameter;
    // Written so that NaN fails too.
    if (!(d >= MinDiameter - Tolerance && d <= MaxDiameter + Tolerance))
        return {TKind::DiameterOutOfRange, d};
    if (aLayout.Columns < 1 || aLayout.Rows < 1)
        return {TKind::NoLabelFits, d};
    if (aLayout.Columns > 1 && !(aLayout.Dx >= d - Tolerance))
        return {TKind::Overlap, aLayout.Dx, d, 0, 0, true};
    if (aLayout.Rows > 1 && !(aLayout.Dy >= d - Tolerance))
        return {TKind::Overlap, aLayout.Dy, d, 0, 0, false};

    // With positive pitches the first and the last label are the outermost;
    // in doubles, so a hand-edited count cannot overflow.
    const QSizeF paper = aLayout.PaperSize();
    const double left = aLayout.X0 - d / 2;
    const double top = aLayout.Y0 - d / 2;
    const double right = aLayout.X0 + (aLayout.Columns - 1.0) * aLayout.Dx + d / 2;
    const double bottom = aLayout.Y0 + (aLayout.Rows - 1.0) * aLayout.Dy + d / 2;
    if (!(left >= -Tolerance && top >= -Tolerance))
        return {TKind::OutsidePage, 0, 0, 1};
    // The first position that sticks out, counting row by row: one in the
    // first row when the rows are too long, else the first of a row too low.
    if (!(right <= paper.width() + Tolerance))
        return {TKind::OutsidePage, 0, 0, FirstOutside(paper.width(), aLayout.X0, aLayout.Dx, d, aLayout.Columns) + 1};
    if (!(bottom <= paper.height() + Tolerance)) {
        const int row = FirstOutside(paper.height(), aLayout.Y0, aLayout.Dy, d, aLayout.Rows);
        return {TKind::OutsidePage, 0, 0, row * aLayout.Columns + 1};
    }
    return {};
}

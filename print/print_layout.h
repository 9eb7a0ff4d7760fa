#pragma once

#include <QPageSize>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// The paper a print run goes on: one label per page, page exactly D × D, or
// a sheet of labels: A4, Letter or a label product's paper of another size
// (TSheetLayout::OtherPaper).
enum class TPaper { Label, A4, Letter, Other };

// "label", "a4", "letter", "other": the names in the settings file and on the command line.
QString PaperName(TPaper aPaper);
std::optional<TPaper> PaperFromName(const QString& aName);

// Printed diameters in mm.
inline constexpr double MinDiameter = 20;
inline constexpr double MaxDiameter = 300;
// The built-in sheet layouts keep this much from the paper's edge and between labels, in mm.
inline constexpr double SheetMargin = 5;
inline constexpr double LabelGap = 3;

// The printed diameter of the label size item 0, 1, 2 ("6 cm", "10 cm",
// "14 cm"): 60, 100 or 140 mm, the stock sold under those names.
double DefaultDiameter(int aSizeItem);

// A grid of Columns × Rows label positions; lengths in mm from the paper's
// top-left corner.
struct TSheetGrid
{
    int Columns = 1;
    int Rows = 1;
    double X0 = 30;  // centre of the grid's first position
    double Y0 = 30;
    double Dx = 0;  // from one centre to the next in a row
    double Dy = 0;  // ...and in a column

    int Positions() const { return Columns * Rows; }
    // The centre of the grid's position aIndex (from 0), row by row.
    QPointF Centre(int aIndex) const;

    bool operator==(const TSheetGrid&) const = default;
};

// Where the labels of one page go: labels of diameter D in one or more
// grids, the first one in the layout's own fields, further ones (a label
// product whose labels sit in offset grids) in MoreGrids. Positions are
// numbered grid by grid, each row by row, left to right, top to bottom,
// from 1. Lengths in mm from the paper's top-left corner.
struct TSheetLayout
{
    QString Name;  // a kept layout's or a product's name; empty for the built-in ones
    TPaper Paper = TPaper::A4;
    QSizeF OtherPaper;  // the paper in mm when Paper is TPaper::Other
    double Diameter = 60;
    int Columns = 1;
    int Rows = 1;
    double X0 = 30;  // centre of position 1
    double Y0 = 30;
    double Dx = 0;  // from one centre to the next in a row
    double Dy = 0;  // ...and in a column
    QList<TSheetGrid> MoreGrids;  // after the first, in their order
    double DieCutDiameter = 0;  // a product's die-cut in mm; 0 on plain paper and kept layouts

    // Every grid, the first one made of the layout's own fields.
    QList<TSheetGrid> Grids() const;
    // Positions of all grids; meaningful for a layout CheckLayout() accepts.
    int Positions() const;
    // Centre and square of position aPosition (from 1), in mm.
    QPointF Centre(int aPosition) const;
    QRectF Square(int aPosition) const;
    // The paper in mm: D × D for TPaper::Label, OtherPaper for TPaper::Other.
    QSizeF PaperSize() const;
    QPageSize PageSize() const;

    bool operator==(const TSheetLayout&) const = default;
};

// The layout of aPaper for labels of aDiameter: on a sheet as many as fit
// with SheetMargin from the edges and LabelGap between them, the grid
// centred on the paper (no columns or rows when none fits); for
// TPaper::Label the one label filling its page.
TSheetLayout BuiltInLayout(TPaper aPaper, double aDiameter);

// Why a print run is refused, with the values a message needs; each program
// words it in its own language.
struct TPrintProblem
{
    enum class TKind {
        None,
        DiameterOutOfRange,  // Value: D
        NoLabelFits,         // Value: D; no columns or rows, or the paper is too small
        Overlap,             // Value: the pitch, Limit: D; Horizontal: dx, else dy
        OutsidePage,         // Position: a position whose label leaves the paper
        StartOutOfRange,     // Position: the start, Count: positions on a page
        OffsetOutOfRange,    // Value: the offset; Horizontal: x, else y
        ScaleOutOfRange,     // Value: the scale in percent; Horizontal: x, else y
        NothingToPrint,      // no labels (no documents, or no copies)
        LargerThanDieCut,    // Value: D, Limit: the die-cut; the print would cross the cut
        GridsOverlap,        // Position, Count: two positions of different grids whose labels overlap
        BleedOutOfRange,     // Value: the bleed in mm
        BleedTooWide,        // Value: the bleed, Limit: half the smallest gap between labels, in mm
        CropMarksOnSheet,    // crop marks asked for labels on a sheet
    };

    TKind Kind = TKind::None;
    double Value = 0;
    double Limit = 0;
    int Position = 0;
    int Count = 0;
    bool Horizontal = true;

    bool IsNone() const { return Kind == TKind::None; }
    bool operator==(const TPrintProblem&) const = default;
};

// How far a printed diameter may pass a product's die-cut: die-cuts given in
// inches are rounded in millimetres.
inline constexpr double DieCutTolerance = 0.05;

// Whether labels can be printed with aLayout: D in range and not beyond the
// die-cut, at least one label, none overlapping another, none leaving the
// paper.
TPrintProblem CheckLayout(const TSheetLayout& aLayout);

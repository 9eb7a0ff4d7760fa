#pragma once

#include "label/label_document.h"
#include "print/print_layout.h"
#include "render/picture_cache.h"

#include <QLineF>
#include <QList>
#include <QString>
#include <QTransform>

#include <functional>

class QPagedPaintDevice;
class QPainter;
class TLabelRenderer;

// Corrects a printer that prints off place or off size: applied to the whole
// page as the last step before the device, scaled about the page's top-left
// corner, then moved (a positive offset moves the print right and down).
struct TCalibration
{
    static constexpr double MinOffset = -20;  // mm
    static constexpr double MaxOffset = 20;
    static constexpr double MinScale = 90;  // percent
    static constexpr double MaxScale = 110;

    double OffsetX = 0;
    double OffsetY = 0;
    double ScaleX = 100;
    double ScaleY = 100;

    // Page millimetres to the millimetres the printer is to print at.
    QTransform Transform() const;

    bool operator==(const TCalibration&) const = default;
};

// What a print shop asks of a PDF. The bleed goes to printers too: a home
// sheet forgives a print a little off place. The die line and crop marks go
// into PDFs only; a printer would print them in colour.
struct TPrintShop
{
    static constexpr double MaxBleed = 5;       // mm
    static constexpr double LineWidth = 0.25;   // pt: die line and crop marks
    static constexpr double CropMarkGap = 1;    // mm between the bleed and a crop mark
    static constexpr double CropMarkLength = 5;  // mm

    double Bleed = 0;         // mm the background reaches past the label (on a product, its die-cut)
    bool CutContour = false;  // the die line, in the spot colour "CutContour"
    bool CropMarks = false;   // one label per page: marks at the corners of the trim

    bool operator==(const TPrintShop&) const = default;
};

// One label design and how many times to print it.
struct TPrintJob
{
    TLabelDocument Document;
    int Copies = 1;
};

// How a print run lays out its labels.
struct TPrintSettings
{
    TSheetLayout Layout = BuiltInLayout(TPaper::A4, 60);
    int Start = 1;  // the first free position on the first page (a partly used sheet)
    TCalibration Calibration;
    // For a preview only: every position's die-cut as a faint outline under
    // the labels, and the positions before Start greyed as used.
    bool Outlines = false;
    TPrintShop Shop;

    bool operator==(const TPrintSettings&) const = default;
};

// The layout (CheckLayout), the start position, the calibration values and
// the print-shop values: the bleed from 0 to 5 mm and no wider than half
// the smallest gap between labels, crop marks only with a label a page.

TPrintProblem CheckSettings(const TPrintSettings& aSettings);

// The diameter the labels of aLayout are cut at, in mm: a product's die-cut,
// else the printed diameter.
double CutDiameter(const TSheetLayout& aLayout);
// The smallest distance between the cut circles of two positions of aLayout
// (centre distance less the cut diameter), in mm; infinite for one position.
double SmallestGap(const TSheetLayout& aLayout);
// The paper a print run of aSettings goes on, in mm: on one label a page
// the label grown by the bleed, and by room for crop marks when asked.
QSizeF PrintPaperSize(const TPrintSettings& aSettings);
// Layout millimetres (from the layout's paper corner) to the millimetres of
// a page of aPaper (its size as the device has it), the calibration last.
QTransform LayoutToPage(const TPrintSettings& aSettings, const QSizeF& aPaper);

// The die lines and crop marks of one page, in layout millimetres.
struct TPrintShopMarks
{
    QList<QPointF> CutCentres;  // a circle of CutDiameter around each
    double CutDiameter = 0;
    QList<QLineF> CropMarks;
    QRectF Trim;   // one label a page: the label's square; else null
    QRectF Bleed;  // ...grown by the bleed
    QRectF Media;  // ...the page, PrintPaperSize() around the label
};
// The marks of a page holding aPositions, as aSettings.Shop asks for them.
TPrintShopMarks PrintShopMarks(const TPrintSettings& aSettings, const QList<int>& aPositions);

// Where one printed label goes: aJobs[Job] at Position (from 1) of page
// Page (from 0).
struct TPlacement
{
    int Job = 0;
    int Page = 0;
    int Position = 1;

    bool operator==(const TPlacement&) const = default;
};

// Every copy of every job in order, filling positions from aSettings.Start
// on the first page and from 1 on each further page. aSettings must pass
// CheckSettings().
QList<TPlacement> PlaceLabels(const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings);

// A picture that could not be drawn on the labels of aJobs[Job].
struct TPrintWarning
{
    int Job = 0;
    bool Middle = false;  // the middle picture, else the background photo
    QString File;         // as the document holds it
    TPictureProblem Problem;

    bool operator==(const TPrintWarning&) const = default;
};

// Why a print run stopped after it began: the device could not be painted on
// or the file not written.
struct TPrintError
{
    enum class TKind {
        None,
        PaperRefused,  // Paper: the size the printer does not take
        CannotStart,   // the painter could not begin on the device
        CannotStartPage,  // Page: the page (from 1) the device would not begin
        File,          // File: the PDF file could not be written
        PrintShopMarks,  // Detail: why the print shop's boxes, die line or crop marks could not be added
    };

    TKind Kind = TKind::None;
    QSizeF Paper;
    int Page = 0;
    TFileProblem File;
    QString Detail;  // the PDF library's own words

    bool IsNone() const { return Kind == TKind::None; }
    bool operator==(const TPrintError&) const = default;
};

// What a print run did.
struct TPrintResult
{
    TPrintProblem Problem;  // refused before anything was painted
    TPrintError Error;
    QList<TPrintWarning> Warnings;  // each once per job, however many copies
    int Pages = 0;
    int Labels = 0;
    bool Cancelled = false;

    bool Ok() const { return Problem.IsNone() && Error.IsNone() && !Cancelled; }
};

// In English, as merovik-render prints them.
QString PrintErrorText(const TPrintError& aError);
// "background photo "x.jpg": not found"
QString PrintWarningText(const TPrintWarning& aWarning);

// Told after each label painted (aDone of aTotal); returning false stops the run.
using TPrintProgress = std::function<bool(int aDone, int aTotal)>;

// Sets aDevice to the layout's paper without margins and paints the labels
// of aJobs on its pages with aRenderer, at the renderer's label size. Works
// for a QPdfWriter, a QPrinter and the printer a print preview paints on; a
// merge hands it many jobs and a renderer sharing the picture cache of others.
TPrintResult PrintLabels(QPagedPaintDevice& aDevice, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                         TLabelRenderer& aRenderer, const TPrintProgress& aProgress = {});

// PrintLabels for a preview: the die lines and crop marks shown as well.
TPrintResult PreviewLabels(QPagedPaintDevice& aDevice, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                           TLabelRenderer& aRenderer, const TPrintProgress& aProgress = {});

// A page to measure a printer by ("Kalibratiepagina"): a numbered cross at
// the centre of each label position of the layout inside its die-cut
// outline, a ruler of 100 mm (less on a small page) along each axis
// numbered from the paper's edge, and on a sheet what to do with it, in
// Dutch; calibrated as labels are.
TPrintResult PrintCalibrationPage(QPagedPaintDevice& aDevice, const TPrintSettings& aSettings);

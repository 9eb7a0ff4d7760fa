#pragma once

#include "label/label_document.h"
#include "print/print_layout.h"
#include "render/picture_cache.h"

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

    bool operator==(const TPrintSettings&) const = default;
};

// The layout (CheckLayout), the start position and the calibration values.
TPrintProblem CheckSettings(const TPrintSettings& aSettings);

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
    };

    TKind Kind = TKind::None;
    QSizeF Paper;
    int Page = 0;
    TFileProblem File;

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

// A page to measure a printer by ("Kalibratiepagina"): a numbered cross at
// the centre of each label position of the layout and a ruler of 100 mm
// (less on a small page) along each axis, calibrated as labels are.
TPrintResult PrintCalibrationPage(QPagedPaintDevice& aDevice, const TPrintSettings& aSettings);

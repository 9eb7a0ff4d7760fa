#pragma once

// The PDF side of merovik-render: its options, their checks and the run.
#include "print/label_catalogue.h"
#include "print/label_printer.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QCommandLineParser;
class TLabelDocument;

// The options that only a PDF output takes.
struct TPdfOptions
{
    QCommandLineOption Diameter{QStringLiteral("diameter"),
                                QStringLiteral("PDF: printed diameter of the label in mm, 20 to 300. "
                                               "Default 60, 100 or 140 by --size."),
                                QStringLiteral("mm")};
    QCommandLineOption Sheet{QStringLiteral("sheet"),
                             QStringLiteral("PDF: put the labels on sheets of a4 or letter paper, as many "
                                            "as fit. Without it, each label gets a page of its own size."),
                             QStringLiteral("a4|letter")};
    QCommandLineOption Product{QStringLiteral("product"),
                               QStringLiteral("PDF: put the labels on sheets of the round label product \"BRAND "
                                              "PART\" of the label catalogue (see --list-products), at its "
                                              "die-cut diameter unless --diameter is smaller."),
                               QStringLiteral("name")};
    QCommandLineOption Copies{QStringLiteral("copies"), QStringLiteral("PDF: copies of each label. Default 1."),
                              QStringLiteral("n")};
    QCommandLineOption Start{QStringLiteral("start"),
                             QStringLiteral("PDF with --sheet or --product: the first free position on the "
                                            "first sheet, counted row by row from 1. Default 1."),
                             QStringLiteral("k")};
    QCommandLineOption Offset{QStringLiteral("offset"),
                              QStringLiteral("PDF: printer calibration, move the print X mm right and Y mm "
                                             "down, each -20 to 20."),
                              QStringLiteral("x,y")};
    QCommandLineOption Scale{QStringLiteral("scale"),
                             QStringLiteral("PDF: printer calibration, scale the print to SX and SY percent, "
                                            "each 90 to 110."),
                             QStringLiteral("sx,sy")};

    QCommandLineOption Bleed{QStringLiteral("bleed"),
                             QStringLiteral("PDF: let the background run MM past the cut, 0 to 5, for a print "
                                            "shop or forgiving home sheets. Default 0."),
                             QStringLiteral("mm")};
    QCommandLineOption CutContour{QStringLiteral("cut-contour"),
                                  QStringLiteral("PDF: add the die line of each label in the spot colour "
                                                 "CutContour, overprinting.")};
    QCommandLineOption CropMarks{QStringLiteral("crop-marks"),
                                 QStringLiteral("PDF without --sheet or --product: add crop marks at the corners of each "
                                                "label's trim.")};

    QList<QCommandLineOption> All() const
    {
        return {Diameter, Sheet, Product, Copies, Start, Offset, Scale, Bleed, CutContour, CropMarks};
    }
    // The first of them on the command line, as "--name"; empty when none is.
    QString FirstGiven(const QCommandLineParser& aParser) const;
};

// A PDF run as the options ask for it.
struct TPdfRequest
{
    TPrintSettings Settings;
    int Copies = 1;
};

// The request of the options in aParser for labels of size item aSizeItem,
// or nothing with aError set to a message for the user (bad usage); a
// --product is looked up in aCatalogue.
std::optional<TPdfRequest> ReadPdfOptions(const TPdfOptions& aOptions, const QCommandLineParser& aParser,
                                          int aSizeItem, const std::function<const TLabelCatalogue&()>& aCatalogue,
                                          QString& aError);

// The offered round products of aCatalogue, one a line: name, paper,
// die-cut with one decimal, labels per sheet and description, separated by
// tabs; those closest to aDiameter first when it is given.
QString ProductList(const TLabelCatalogue& aCatalogue, std::optional<double> aDiameter);
// A catalogue file that could not be read, in words.
QString CatalogueWarningText(const TCatalogueWarning& aWarning);

// aProblem in words; a value out of range as aGiven when that is not empty,
// so that the message quotes what the user typed.
QString ProblemText(const TPrintProblem& aProblem, const QString& aGiven = {});

// Reads a label file into aDoc, printing why it could not; false then.
using TLabelLoader = std::function<bool(const QString& aLabel, TLabelDocument& aDoc)>;
// Prints one message on stderr.
using TMessageSink = std::function<void(const QString& aMessage)>;

// Told aDone of aTotal labels are done.
using TProgressSink = std::function<void(int aDone, int aTotal)>;

// Renders aLabels into the PDF aOutput; the exit code: 0, or 1 when a label
// could not be read (nothing is written then) or the PDF not written.
int RenderPdf(const TPdfRequest& aRequest, const QStringList& aLabels, const QString& aOutput, int aSizeItem,
              const TLabelLoader& aLoad, const TMessageSink& aError, const TProgressSink& aProgress = {});

// Renders aJobs into the PDF aOutput, warnings naming aSources (one for each
// job); the exit code: 0, or 1 when the PDF could not be written. A job that
// cannot draw one of its aRequired pictures (one list for each job, or none)
// stops the run and nothing is written: a label left out would shift every
// later one on the sheet.
int WritePdfJobs(const TPdfRequest& aRequest, const QList<TPrintJob>& aJobs, const QStringList& aSources,
                 const QString& aOutput, int aSizeItem, const TMessageSink& aError, const TProgressSink& aProgress = {},
                 const QList<QStringList>& aRequired = {});

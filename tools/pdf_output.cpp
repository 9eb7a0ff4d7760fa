#include "tools/pdf_output.h"

#include "print/pdf_writer.h"
#include "render/label_renderer.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

constexpr int MaxCopies = 9999;

std::optional<double> Number(const QString& aText)
{
    bool ok = false;
    const double value = aText.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// "X,Y" as two numbers.
std::optional<QPointF> Pair(const QString& aText)
{
    const QStringList parts = aText.split(QLatin1Char(','));
    if (parts.size() != 2)
        return std::nullopt;
    const std::optional<double> x = Number(parts[0]);
    const std::optional<double> y = Number(parts[1]);
    if (!x || !y)
        return std::nullopt;
    return QPointF(*x, *y);
}

std::optional<int> WholeNumber(const QString& aText)
{
    bool ok = false;
    const int value = aText.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QString PaperText(TPaper aPaper)
{
    return aPaper == TPaper::Letter ? QStringLiteral("Letter") : QStringLiteral("A4");
}

}  // namespace

QString TPdfOptions::FirstGiven(const QCommandLineParser& aParser) const
{
    for (const QCommandLineOption& option : All()) {
        if (aParser.isSet(option))
            return QStringLiteral("--") + option.names().first();
    }
    return {};
}

std::optional<TPdfRequest> ReadPdfOptions(const TPdfOptions& aOptions, const QCommandLineParser& aParser,
                                          int aSizeItem, QString& aError)
{
    TPdfRequest request;
    double diameter = DefaultDiameter(aSizeItem);
    if (aParser.isSet(aOptions.Diameter)) {
        const std::optional<double> value = Number(aParser.value(aOptions.Diameter));
        if (!value) {
            aError = QStringLiteral("--diameter must be a number of mm, not \"%1\"").arg(aParser.value(aOptions.Diameter));
            return std::nullopt;
        }
        diameter = *value;
    }
    TPaper paper = TPaper::Label;
    if (aParser.isSet(aOptions.Sheet)) {
        const std::optional<TPaper> sheet = PaperFromName(aParser.value(aOptions.Sheet));
        if (!sheet || *sheet == TPaper::Label) {
            aError = QStringLiteral("--sheet must be a4 or letter, not \"%1\"").arg(aParser.value(aOptions.Sheet));
            return std::nullopt;
        }
        paper = *sheet;
    }
    if (aParser.isSet(aOptions.Copies)) {
        const std::optional<int> copies = WholeNumber(aParser.value(aOptions.Copies));
        if (!copies || *copies < 1 || *copies > MaxCopies) {
            aError = QStringLiteral("--copies must be a whole number from 1 to %1, not \"%2\"")
                         .arg(MaxCopies)
                         .arg(aParser.value(aOptions.Copies));
            return std::nullopt;
        }
        request.Copies = *copies;
    }
    if (aParser.isSet(aOptions.Start)) {
        if (paper == TPaper::Label) {
            aError = QStringLiteral("--start goes with --sheet: without it every label has a page of its own");
            return std::nullopt;
        }
        const std::optional<int> start = WholeNumber(aParser.value(aOptions.Start));
        if (!start) {
            aError = QStringLiteral("--start must be a whole number, not \"%1\"").arg(aParser.value(aOptions.Start));
            return std::nullopt;
        }
        request.Settings.Start = *start;
    }
    TCalibration& calibration = request.Settings.Calibration;
    if (aParser.isSet(aOptions.Offset)) {
        const std::optional<QPointF> offset = Pair(aParser.value(aOptions.Offset));
        if (!offset) {
            aError = QStringLiteral("--offset must be two numbers of mm as X,Y, not \"%1\"")
                         .arg(aParser.value(aOptions.Offset));
            return std::nullopt;
        }
        calibration.OffsetX = offset->x();
        calibration.OffsetY = offset->y();
    }
    if (aParser.isSet(aOptions.Scale)) {
        const std::optional<QPointF> scale = Pair(aParser.value(aOptions.Scale));
        if (!scale) {
            aError = QStringLiteral("--scale must be two percentages as SX,SY, not \"%1\"")
                         .arg(aParser.value(aOptions.Scale));
            return std::nullopt;
        }
        calibration.ScaleX = scale->x();
        calibration.ScaleY = scale->y();
    }
    request.Settings.Layout = BuiltInLayout(paper, diameter);
    const TPrintProblem problem = CheckSettings(request.Settings);
    if (problem.Kind == TPrintProblem::TKind::NoLabelFits) {
        const QSizeF size = request.Settings.Layout.PaperSize();
        aError = QStringLiteral("no label of %1 mm fits on %2 paper (%3 x %4 mm) with a %5 mm margin")
                     .arg(diameter)
                     .arg(PaperText(paper))
                     .arg(size.width())
                     .arg(size.height())
                     .arg(SheetMargin);
        return std::nullopt;
    }
    if (!problem.IsNone()) {
        aError = ProblemText(problem);
        return std::nullopt;
    }
    return request;
}

QString ProblemText(const TPrintProblem& aProblem)
{
    using TKind = TPrintProblem::TKind;
    const QString axis = aProblem.Horizontal ? QStringLiteral("X") : QStringLiteral("Y");
    switch (aProblem.Kind) {
    case TKind::None: return {};
    case TKind::DiameterOutOfRange:
        return QStringLiteral("--diameter must be from %1 to %2 mm, not %3")
            .arg(MinDiameter)
            .arg(MaxDiameter)
            .arg(aProblem.Value);
    case TKind::NoLabelFits:
        return QStringLiteral("no label of %1 mm fits on the page").arg(aProblem.Value);
    case TKind::Overlap:
        return QStringLiteral("the labels overlap: %1 pitch %2 mm is less than the diameter %3 mm")
            .arg(aProblem.Horizontal ? QStringLiteral("horizontal") : QStringLiteral("vertical"))
            .arg(aProblem.Value)
            .arg(aProblem.Limit);
    case TKind::OutsidePage:
        return QStringLiteral("the label at position %1 lies partly outside the page").arg(aProblem.Position);
    case TKind::StartOutOfRange:
        return QStringLiteral("--start must be from 1 to %1, the positions on a sheet, not %2")
            .arg(aProblem.Count)
            .arg(aProblem.Position);
    case TKind::OffsetOutOfRange:
        return QStringLiteral("--offset %1 must be from %2 to %3 mm, not %4")
            .arg(axis)
            .arg(TCalibration::MinOffset)
            .arg(TCalibration::MaxOffset)
            .arg(aProblem.Value);
    case TKind::ScaleOutOfRange:
        return QStringLiteral("--scale %1 must be from %2 to %3 percent, not %4")
            .arg(axis == QLatin1String("X") ? QStringLiteral("SX") : QStringLiteral("SY"))
            .arg(TCalibration::MinScale)
            .arg(TCalibration::MaxScale)
            .arg(aProblem.Value);
    case TKind::NothingToPrint: return QStringLiteral("nothing to print");
    }
    return {};
}

int RenderPdf(const TPdfRequest& aRequest, const QStringList& aLabels, const QString& aOutput, int aSizeItem,
              const TLabelLoader& aLoad, const TMessageSink& aError, const TProgressSink& aProgress)
{
    // A sheet with a label left out would put the others on the wrong
    // positions: every label must read before anything is written.
    QList<TPrintJob> jobs;
    bool read = true;
    for (const QString& label : aLabels) {
        TPrintJob job;
        job.Copies = aRequest.Copies;
        read = aLoad(label, job.Document) && read;
        jobs.append(std::move(job));
    }
    if (!read) {
        aError(QStringLiteral("%1: not written, a label could not be read").arg(aOutput));
        return 1;
    }
    return WritePdfJobs(aRequest, jobs, aLabels, aOutput, aSizeItem, aError, aProgress);
}

int WritePdfJobs(const TPdfRequest& aRequest, const QList<TPrintJob>& aJobs, const QStringList& aSources,
                 const QString& aOutput, int aSizeItem, const TMessageSink& aError, const TProgressSink& aProgress)
{
    TLabelRenderer renderer;
    renderer.SetLabelSize(aSizeItem);
    const TPrintProgress progress = [&](int aDone, int aTotal) {
        if (aProgress)
            aProgress(aDone, aTotal);
        return true;
    };
    const TPrintResult result = WriteLabelsPdf(aOutput, aJobs, aRequest.Settings, renderer, progress);
    // The label is drawn without what it could not use; the user hears why.
    for (const TPrintWarning& warning : result.Warnings)
        aError(QStringLiteral("warning: %1: %2").arg(aSources.value(warning.Job), PrintWarningText(warning)));
    if (!result.Problem.IsNone()) {
        aError(ProblemText(result.Problem));
        return 1;
    }
    if (!result.Error.IsNone()) {
        aError(PrintErrorText(result.Error));
        return 1;
    }
    return 0;
}

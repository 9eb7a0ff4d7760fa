#include "tools/pdf_output.h"

#include "print/pdf_writer.h"
#include "render/label_renderer.h"

#include "label/atomic_file.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>
#include <utility>

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
                                          int aSizeItem, const std::function<const TLabelCatalogue&()>& aCatalogue,
                                          QString& aError)
{
    TPdfRequest request;
    double diameter = DefaultDiameter(aSizeItem);
    std::optional<TSheetLayout> product;
    if (aParser.isSet(aOptions.Product)) {
        if (aParser.isSet(aOptions.Sheet)) {
            aError = QStringLiteral("--product and --sheet exclude each other: a product brings its own sheet");
            return std::nullopt;
        }
        const QString name = aParser.value(aOptions.Product);
        const TLabelCatalogue& catalogue = aCatalogue();
        const TLabelProduct* found = catalogue.Find(name);
        if (!found) {
            const QStringList close = catalogue.Suggestions(name);
            aError = close.isEmpty()
                         ? QStringLiteral("--product: no round label product \"%1\" in the label catalogue").arg(name)
                         : QStringLiteral("--product: no round label product \"%1\"; did you mean \"%2\"?")
                               .arg(name, close.join(QStringLiteral("\", \"")));
            return std::nullopt;
        }
        if (!found->Offered()) {
            aError = QStringLiteral("--product %1: its die-cut of %2 mm is smaller than the %3 mm a label needs")
                         .arg(found->Name())
                         .arg(found->DieCut())
                         .arg(MinDiameter);
            return std::nullopt;
        }
        product = found->Layout;
        diameter = found->DieCut();
    }
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
        if (!sheet || *sheet == TPaper::Label || *sheet == TPaper::Other) {
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
        if (paper == TPaper::Label && !product) {
            aError = QStringLiteral("--start goes with --sheet or --product: without them every label has a page "
                                    "of its own");
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
    TPrintShop& shop = request.Settings.Shop;
    if (aParser.isSet(aOptions.Bleed)) {
        const std::optional<double> bleed = Number(aParser.value(aOptions.Bleed));
        if (!bleed) {
            aError = QStringLiteral("--bleed must be a number of mm, not \"%1\"").arg(aParser.value(aOptions.Bleed));
            return std::nullopt;
        }
        shop.Bleed = *bleed;
    }
    shop.CutContour = aParser.isSet(aOptions.CutContour);
    shop.CropMarks = aParser.isSet(aOptions.CropMarks);
    if ((shop.CutContour || shop.CropMarks) && (aParser.isSet(aOptions.Offset) || aParser.isSet(aOptions.Scale))) {
        aError = QStringLiteral("%1 makes a file for a print shop, which is never calibrated for a home printer: "
                                "leave out %2")
                     .arg(shop.CutContour ? QStringLiteral("--cut-contour") : QStringLiteral("--crop-marks"),
                          aParser.isSet(aOptions.Offset) ? QStringLiteral("--offset") : QStringLiteral("--scale"));
        return std::nullopt;
    }
    if (product) {
        request.Settings.Layout = *product;
        request.Settings.Layout.Diameter = diameter;
    } else {
        request.Settings.Layout = BuiltInLayout(paper, diameter);
    }
    const TPrintProblem problem = CheckSettings(request.Settings);
    if (problem.Kind == TPrintProblem::TKind::NoLabelFits && !product) {
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
        // "20.0000001" is out of range, and a message saying "not 20" would puzzle.
        QString given;
        const auto part = [&](const QCommandLineOption& aOption) {
            return aParser.value(aOption).split(QLatin1Char(',')).value(problem.Horizontal ? 0 : 1).trimmed();
        };
        if (problem.Kind == TPrintProblem::TKind::OffsetOutOfRange)
            given = part(aOptions.Offset);
        else if (problem.Kind == TPrintProblem::TKind::ScaleOutOfRange)
            given = part(aOptions.Scale);
        else if (problem.Kind == TPrintProblem::TKind::DiameterOutOfRange && aParser.isSet(aOptions.Diameter))
            given = aParser.value(aOptions.Diameter).trimmed();
        aError = ProblemText(problem, given);
        return std::nullopt;
    }
    return request;
}

QString ProductList(const TLabelCatalogue& aCatalogue, std::optional<double> aDiameter)
{
    QList<const TLabelProduct*> products = aCatalogue.ByDiameter(aDiameter.value_or(0));
    if (!aDiameter) {
        // ByDiameter keeps the catalogue's order among equals: by brand, then part.
        products.clear();
        for (const TLabelProduct& product : aCatalogue.Products) {
            if (product.Offered())
                products.append(&product);
        }
    }
    QString text;
    for (const TLabelProduct* product : products) {
        // A tab or line break inside a field would split the line.
        const auto field = [](const QString& aText) { return aText.simplified(); };
        text += QStringList{field(product->Name()), field(product->PaperName),
                            QString::number(product->DieCut(), 'f', 1), QString::number(product->Layout.Positions()),
                            field(product->Description)}
                    .join(QLatin1Char('\t'))
                + QLatin1Char('\n');
    }
    return text;
}

QString CatalogueWarningText(const TCatalogueWarning& aWarning)
{
    return aWarning.Line > 0
               ? QStringLiteral("warning: %1: skipped, line %2: %3").arg(aWarning.File).arg(aWarning.Line).arg(aWarning.Detail)
               : QStringLiteral("warning: %1: skipped: %2").arg(aWarning.File, aWarning.Detail);
}

QString ProblemText(const TPrintProblem& aProblem, const QString& aGiven)
{
    const QString value = aGiven.isEmpty() ? QString::number(aProblem.Value) : aGiven;
    using TKind = TPrintProblem::TKind;
    const QString axis = aProblem.Horizontal ? QStringLiteral("X") : QStringLiteral("Y");
    switch (aProblem.Kind) {
    case TKind::None: return {};
    case TKind::DiameterOutOfRange:
        return QStringLiteral("--diameter must be from %1 to %2 mm, not %3")
            .arg(MinDiameter)
            .arg(MaxDiameter)
            .arg(value);
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
            .arg(value);
    case TKind::ScaleOutOfRange:
        return QStringLiteral("--scale %1 must be from %2 to %3 percent, not %4")
            .arg(axis == QLatin1String("X") ? QStringLiteral("SX") : QStringLiteral("SY"))
            .arg(TCalibration::MinScale)
            .arg(TCalibration::MaxScale)
            .arg(value);
    case TKind::NothingToPrint: return QStringLiteral("nothing to print");
    case TKind::LargerThanDieCut:
        return QStringLiteral("--diameter %1 mm is larger than the product's die-cut of %2 mm: the print would cross the cut")
            .arg(aProblem.Value)
            .arg(aProblem.Limit);
    case TKind::GridsOverlap:
        return QStringLiteral("the labels at positions %1 and %2 overlap").arg(aProblem.Position).arg(aProblem.Count);
    case TKind::BleedOutOfRange:
        return QStringLiteral("--bleed must be from 0 to %1 mm, not %2").arg(TPrintShop::MaxBleed).arg(aProblem.Value);
    case TKind::BleedTooWide:
        return QStringLiteral("--bleed %1 mm is wider than half the gap between the labels, %2 mm")
            .arg(aProblem.Value)
            .arg(aProblem.Limit, 0, 'f', 2);
    case TKind::CropMarksOnSheet:
        return QStringLiteral("--crop-marks goes with a page for each label, not with --sheet or --product");
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
                 const QString& aOutput, int aSizeItem, const TMessageSink& aError, const TProgressSink& aProgress,
                 const QList<QStringList>& aRequired)
{
    RemoveTemporaryLeftovers(QFileInfo(aOutput).absolutePath());
    TLabelRenderer renderer;
    renderer.SetLabelSize(aSizeItem);
    // The labels come in job order, each job's copies together.
    QList<int> lastLabel;
    int labels = 0;
    for (const TPrintJob& job : aJobs)
        lastLabel << (labels += job.Copies);
    QString missing;
    const TPrintProgress progress = [&](int aDone, int aTotal) {
        if (!aRequired.isEmpty()) {
            const int job = int(std::lower_bound(lastLabel.begin(), lastLabel.end(), aDone) - lastLabel.begin());
            const TRenderReport& report = renderer.Report();
            for (const auto& [file, problem] : {std::pair(report.BackgroundFile, report.Background),
                                                std::pair(report.MiddleFile, report.Middle)}) {
                if (!problem.IsNone() && aRequired.value(job).contains(file)) {
                    missing = QStringLiteral("%1: \"%2\" cannot be drawn (%3); %4 is not written")
                                  .arg(aSources.value(job), file, problem.Reason(), aOutput);
                    return false;
                }
            }
        }
        if (aProgress)
            aProgress(aDone, aTotal);
        return true;
    };
    const TPrintResult result = WriteLabelsPdf(aOutput, aJobs, aRequest.Settings, renderer, progress);
    if (!missing.isEmpty()) {
        aError(missing);
        return 1;
    }
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

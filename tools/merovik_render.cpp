// merovik-render: renders label files to 300 dpi pictures without a window,
// for batch work and scripts.
#include "label/label_document.h"
#include "merge/label_pool.h"
#include "merge/merge_table.h"
#include "merge/picture_batch.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"
#include "tools/merge_text.h"
#include "tools/pdf_output.h"
#include "tools/thumbnail.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>

#include <cmath>
#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

enum ExitCode { ExitSuccess = 0, ExitFailure = 1, ExitUsage = 2 };

// More threads than this would only queue behind one another.
constexpr int MaxJobs = 256;

// One line a form, "or:" before each further one, as help2man reads a
// synopsis for the manual page.
const char* const Synopsis =
    "Usage: merovik-render [--size 6|10|14] [--quality 1-100] LABEL.lbl OUTPUT.jpg|.jpeg|.png\n"
    "  or:  merovik-render [--size 6|10|14] [--quality 1-100] [--format jpg|png] --out-dir DIR LABEL.lbl...\n"
    "  or:  merovik-render [--size 6|10|14] [--quality 1-100] [--format jpg|png] --merge TABLE --out-dir DIR DESIGN.lbl\n"
    "  or:  merovik-render [--size 6|10|14] [PDF OPTION...] LABEL.lbl... OUTPUT.pdf\n"
    "  or:  merovik-render [--size 6|10|14] [PDF OPTION...] --merge TABLE DESIGN.lbl OUTPUT.pdf\n"
    "  or:  merovik-render --list-products [--diameter MM]\n"
    "  or:  merovik-render --thumbnail SIZE LABEL.lbl OUTPUT\n"
    "\n"
    "Renders Merovik label files to square 24-bit RGB pictures at 300 dpi, or to a PDF\n"
    "at true size: a page of the label's size per label, or sheets of labels. The PDF\n"
    "options are --diameter, --sheet or --product, --copies, --start, --offset, --scale,\n"
    "--bleed, --cut-contour and --crop-marks. Every form but --list-products and\n"
    "--thumbnail takes --jobs N: the labels are rendered on N threads (default: one\n"
    "per core).\n"
    "\n"
    "Exit status:\n"
    "  0  every label rendered and written (a picture a label file names that cannot\n"
    "     be drawn is a warning; in a merge it fails the row)\n"
    "  1  a label could not be read, or a picture or PDF not written\n"
    "  2  bad usage, or a merge table that cannot be used\n";

void PrintLine(FILE* aStream, const QString& aText)
{
    std::fputs(aText.toLocal8Bit().constData(), aStream);
    std::fputc('\n', aStream);
}

void Error(const QString& aText)
{
    PrintLine(stderr, QStringLiteral("merovik-render: ") + aText);
}

// Qt's own output on stderr: its debug, info and warning output is dropped.
// The warnings are the picture libraries' raw lines ("libpng error: Read
// Error", dozens in one run) and QStandardPaths' notices about the runtime
// folder (on every run from cron or in a container); what they are about,
// a picture that cannot be drawn, merovik-render says itself, naming the
// picture and the label. Critical and fatal messages still reach the user.
void FilterQtMessages(QtMsgType aType, const QMessageLogContext& aContext, const QString& aMessage)
{
    if (aType == QtDebugMsg || aType == QtInfoMsg || aType == QtWarningMsg)
        return;
    Error(qFormatLogMessage(aType, aContext, aMessage));
}

QString UsageText(const QCommandLineParser& aParser)
{
    // QCommandLineParser's own first line cannot show two forms; keep its
    // option list and put the synopsis above it.
    const QString help = aParser.helpText();
    const qsizetype options = help.indexOf(QLatin1String("Options:"));
    return QString::fromLatin1(Synopsis) + QLatin1Char('\n') + (options >= 0 ? help.mid(options) : help);
}

int UsageError(const QCommandLineParser& aParser, const QString& aProblem)
{
    Error(aProblem);
    std::fputs(UsageText(aParser).toLocal8Bit().constData(), stderr);
    return ExitUsage;
}

bool IsPictureFormat(const QString& aFormat)
{
    return aFormat == QLatin1String("jpg") || aFormat == QLatin1String("jpeg") || aFormat == QLatin1String("png");
}

bool IsPdf(const QString& aOutput)
{
    return QFileInfo(aOutput).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

// Reads one label file into aDoc; false after printing why it failed.
bool LoadLabel(const QString& aLabel, TLabelDocument& aDoc)
{
    const TLabelRead read = ReadLabelToRender(aLabel, aDoc);
    if (!read.Ok()) {
        Error(LabelReadErrorText(read.Problem));
        return false;
    }
    for (const QString& problem : read.WarningTexts())
        Error(QStringLiteral("warning: %1: %2").arg(aLabel, problem));
    return true;
}

// A line on stderr telling how far a batch is, while stderr is a terminal;
// nothing otherwise, so logs and scripts see only the messages.
class TProgressLine
{
public:
    TProgressLine() : FShown(isatty(STDERR_FILENO) != 0) {}
    ~TProgressLine() { Clear(); }

    void Update(int aDone, int aTotal)
    {
        // A few labels are done before anyone could read the line.
        if (!FShown || aTotal <= MinLabels)
            return;
        std::fprintf(stderr, "\rmerovik-render: %d of %d labels", aDone, aTotal);
        std::fflush(stderr);
        FPending = aDone < aTotal;
        if (!FPending)
            std::fputc('\n', stderr);
    }
    // Takes the line away before a message is printed.
    void Clear()
    {
        if (!FPending)
            return;
        std::fputs("\r\x1b[K", stderr);
        FPending = false;
    }
    TProgressSink Sink()
    {
        return [this](int aDone, int aTotal) { Update(aDone, aTotal); };
    }

private:
    static constexpr int MinLabels = 5;
    bool FShown = false;
    bool FPending = false;
};

// Renders every picture job on the pool and writes them in order; false
// when one of them failed (the others are still written).
bool RenderPictureJobs(const QList<TPictureJob>& aJobs, const QString& aFormat, int aQuality, int aSizeItem,
                       int aThreads, TProgressLine& aProgress)
{
    TLabelPool pool(aThreads, aSizeItem);
    TBatchCallbacks callbacks;
    callbacks.Warning = [&](const TBatchMessage& aMessage) {
        aProgress.Clear();
        Error(QStringLiteral("warning: ") + BatchMessageText(aMessage, aJobs));
    };
    callbacks.Error = [&](const TBatchMessage& aMessage) {
        aProgress.Clear();
        Error(BatchMessageText(aMessage, aJobs));
    };
    callbacks.Progress = [&](int aDone, int aTotal) {
        aProgress.Update(aDone, aTotal);
        return true;
    };
    const TBatchResult result = RenderPictures(pool, aJobs, aFormat, aQuality, callbacks);
    if (!result.Stopped.IsNone()) {
        aProgress.Clear();
        const int left = int(aJobs.size()) - result.Written;
        Error(QStringLiteral("%1; stopped, %2 of %3 pictures not written")
                  .arg(FileProblemText(result.Stopped))
                  .arg(left)
                  .arg(aJobs.size()));
    }
    return result.Failed == 0;
}

// The files a merge reads besides the table and its rows' pictures.
QStringList DesignInputs(const QString& aDesign, const TLabelDocument& aDocument)
{
    QStringList inputs{aDesign};
    for (const QString& picture : {aDocument.FLabelBg.FileName, aDocument.FLabelBg.PngFile}) {
        if (!picture.isEmpty())
            inputs << aDocument.PicturePath(picture);
    }
    return inputs;
}

// One label for each row of aTable from the design aDesign: pictures into
// aOutDir, or all of them into the PDF aPdfOutput. Nothing is written unless
// the design and the whole table can be used.
int RenderMerge(const QString& aTable, const QString& aDesign, const QString& aPdfOutput, const QString& aOutDir,
                const QString& aFormat, int aQuality, int aSizeItem, int aThreads,
                const std::optional<TPdfRequest>& aPdf, TProgressLine& aProgress)
{
    TLabelDocument design;
    if (!LoadLabel(aDesign, design))
        return ExitFailure;
    const TMergeRead read = TMergeTable::Read(aTable);
    if (!read.Ok()) {
        for (const QString& message : MergeErrorLines(read.Errors))
            Error(message);
        return ExitUsage;
    }
    const TMergeTable& table = *read.Table;
    const auto source = [&](int aRow) {
        return QStringLiteral("%1, row %2").arg(aTable).arg(table.Row(aRow).SourceRow);
    };
    const QStringList inputs = DesignInputs(aDesign, design);

    if (aPdf) {
        // Checked before any work: a million labels would run for hours.
        const qint64 labels = qint64(table.LabelCount()) * aPdf->Copies;
        if (labels > TMergeTable::MaxLabels) {
            Error(QStringLiteral("%1: the table gives %2 labels, with --copies %3 that is %4, more than the %5 "
                                 "one run may give")
                      .arg(aTable)
                      .arg(table.LabelCount())
                      .arg(aPdf->Copies)
                      .arg(labels)
                      .arg(TMergeTable::MaxLabels));
            return ExitUsage;
        }
        if (const std::optional<TMergeError> error = table.OutputIsInput(aPdfOutput, inputs)) {
            for (const QString& message : MergeErrorLines({*error}))
                Error(message);
            return ExitUsage;
        }
        QList<TPrintJob> jobs;
        QStringList sources;
        QList<QStringList> required;
        for (int row = 0; row < table.RowCount(); ++row) {
            jobs.append({table.Document(row, design), table.Copies(row) * aPdf->Copies});
            sources << source(row);
            required << table.Row(row).Pictures();
        }
        return WritePdfJobs(*aPdf, jobs, sources, aPdfOutput, aSizeItem, Error, aProgress.Sink(), required);
    }

    const TMergeOutputs outputs =
        table.OutputFiles(aOutDir, QFileInfo(aDesign).completeBaseName(), aFormat, inputs);
    if (!outputs.Ok()) {
        for (const QString& message : MergeErrorLines(outputs.Errors))
            Error(message);
        return ExitUsage;
    }
    if (!QDir().mkpath(aOutDir)) {
        Error(QStringLiteral("%1: cannot create the output folder").arg(aOutDir));
        return ExitFailure;
    }
    QList<TPictureJob> jobs;
    for (int row = 0; row < table.RowCount(); ++row)
        jobs.append({aTable, table.Row(row).SourceRow, QString(), table.Document(row, design), outputs.Files[row],
                     table.Row(row).Pictures()});
    return RenderPictureJobs(jobs, aFormat, aQuality, aSizeItem, aThreads, aProgress) ? ExitSuccess : ExitFailure;
}

}  // namespace

int main(int argc, char* argv[])
{
    // Under a file-size limit a write past it then fails with EFBIG and is
    // reported, instead of the signal ending the program and the batch.
    std::signal(SIGXFSZ, SIG_IGN);
    qInstallMessageHandler(FilterQtMessages);
    // Rendering needs fonts but no display: work on a headless machine
    // unless the user chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("merovik-render"));
    QGuiApplication::setApplicationVersion(QStringLiteral(MEROVIK_VERSION));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
                                        QStringLiteral("Label size in cm: 6, 10 or 14 (750, 1200 or 1650 pixels). "
                                                       "Default 10."),
                                        QStringLiteral("cm"), QStringLiteral("10"));
    const QCommandLineOption qualityOption(QStringLiteral("quality"),
                                           QStringLiteral("JPEG quality, 1 to 100. Default 98."),
                                           QStringLiteral("1-100"), QStringLiteral("98"));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("Picture format with --out-dir: jpg or png. Default jpg."),
                                          QStringLiteral("jpg|png"), QStringLiteral("jpg"));
    const QCommandLineOption outDirOption(QStringLiteral("out-dir"),
                                          QStringLiteral("Render every label into DIR as <label name>.<format>."),
                                          QStringLiteral("DIR"));
    const QCommandLineOption mergeOption(QStringLiteral("merge"),
                                         QStringLiteral("One label for each row of TABLE (CSV or TSV, the first row "
                                                        "names the columns) from the design DESIGN.lbl: pictures into "
                                                        "--out-dir, or every row's labels in the PDF."),
                                         QStringLiteral("TABLE"));
    const QCommandLineOption jobsOption(QStringLiteral("jobs"),
                                        QStringLiteral("Render on N threads. Default: one per core."),
                                        QStringLiteral("N"));
    const QCommandLineOption listProductsOption(
        QStringLiteral("list-products"),
        QStringLiteral("List the round label products of the label catalogue, one a line: name, paper, die-cut "
                       "in mm, labels per sheet, description, separated by tabs; with --diameter the closest "
                       "first."));
    const QCommandLineOption thumbnailOption = ThumbnailOption();
    parser.addOptions({helpOption, sizeOption, qualityOption, formatOption, outDirOption, mergeOption, jobsOption,
                       listProductsOption, thumbnailOption});
    const QCommandLineOption versionOption = parser.addVersionOption();
    const TPdfOptions pdfOptions;
    parser.addOptions(pdfOptions.All());
    parser.addPositionalArgument(QStringLiteral("LABEL.lbl"), QStringLiteral("Label file to render."));
    parser.addPositionalArgument(QStringLiteral("OUTPUT"),
                                 QStringLiteral("Picture or PDF to write; its extension (.jpg, .jpeg, .png, "
                                                ".pdf) sets the format. Not with --out-dir."));

    if (!parser.parse(QGuiApplication::arguments()))
        return UsageError(parser, parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(UsageText(parser).toLocal8Bit().constData(), stdout);
        return ExitSuccess;
    }
    if (parser.isSet(versionOption))
        parser.showVersion();  // prints "merovik-render <version>" and exits with 0
    if (parser.isSet(thumbnailOption))
        return RenderThumbnail(
            parser, thumbnailOption, [&](const QString& aProblem) { return UsageError(parser, aProblem); }, Error);

    const QString sizeText = parser.value(sizeOption);
    int sizeItem = -1;
    if (sizeText == QLatin1String("6"))
        sizeItem = 0;
    else if (sizeText == QLatin1String("10"))
        sizeItem = 1;
    else if (sizeText == QLatin1String("14"))
        sizeItem = 2;
    else
        return UsageError(parser, QStringLiteral("--size must be 6, 10 or 14, not \"%1\"").arg(sizeText));

    bool qualityOk = false;
    const int quality = parser.value(qualityOption).toInt(&qualityOk);
    if (!qualityOk || quality < 1 || quality > 100)
        return UsageError(parser, QStringLiteral("--quality must be a whole number from 1 to 100, not \"%1\"")
                                      .arg(parser.value(qualityOption)));

    int jobs = 0;
    if (parser.isSet(jobsOption)) {
        bool jobsOk = false;
        jobs = parser.value(jobsOption).toInt(&jobsOk);
        if (!jobsOk || jobs < 1 || jobs > MaxJobs)
            return UsageError(parser, QStringLiteral("--jobs must be a whole number from 1 to %1, not \"%2\"")
                                          .arg(MaxJobs)
                                          .arg(parser.value(jobsOption)));
        if (jobs > TLabelPool::MaxWorkers())
            Error(QStringLiteral("note: rendering on %1 threads, twice the cores; more would take memory without "
                                 "finishing sooner")
                      .arg(TLabelPool::MaxWorkers()));
    }

    // The catalogue is read only when a product is asked for; files it had
    // to skip are named once.
    const auto catalogue = []() -> const TLabelCatalogue& {
        static const TLabelCatalogue read = [] {
            TLabelCatalogue found = ReadCatalogue(DefaultCatalogueFolders());
            for (const TCatalogueWarning& warning : found.Warnings)
                Error(CatalogueWarningText(warning));
            return found;
        }();
        return read;
    };
    const QStringList arguments = parser.positionalArguments();
    if (parser.isSet(listProductsOption)) {
        for (const QCommandLineOption& option : pdfOptions.All()) {
            if (option.names() != pdfOptions.Diameter.names() && parser.isSet(option))
                return UsageError(parser, QStringLiteral("--list-products takes only --diameter"));
        }
        if (!arguments.isEmpty() || parser.isSet(outDirOption) || parser.isSet(mergeOption))
            return UsageError(parser, QStringLiteral("--list-products takes only --diameter"));
        std::optional<double> diameter;
        if (parser.isSet(pdfOptions.Diameter)) {
            bool ok = false;
            diameter = parser.value(pdfOptions.Diameter).toDouble(&ok);
            if (!ok || !std::isfinite(*diameter))
                return UsageError(parser, QStringLiteral("--diameter must be a number of mm, not \"%1\"")
                                              .arg(parser.value(pdfOptions.Diameter)));
        }
        std::fputs(ProductList(catalogue(), diameter).toUtf8().constData(), stdout);
        return ExitSuccess;
    }
    const bool toFolder = parser.isSet(outDirOption);
    const bool toPdf = !toFolder && arguments.size() >= 2 && IsPdf(arguments.last());
    QString format;
    if (toFolder) {
        if (const QString pdfOnly = pdfOptions.FirstGiven(parser); !pdfOnly.isEmpty())
            return UsageError(parser, QStringLiteral("%1 goes with a PDF output, not with --out-dir").arg(pdfOnly));
        format = parser.value(formatOption).toLower();
        if (!IsPictureFormat(format))
            return UsageError(parser, QStringLiteral("--format must be jpg or png, not \"%1\"")
                                          .arg(parser.value(formatOption)));
        if (arguments.isEmpty())
            return UsageError(parser, QStringLiteral("no label file given"));
        if (parser.value(outDirOption).isEmpty())
            return UsageError(parser, QStringLiteral("--out-dir needs a folder"));
    } else {
        if (parser.isSet(formatOption))
            return UsageError(parser, QStringLiteral("--format goes with --out-dir; otherwise OUTPUT's extension "
                                                     "sets the format"));
        if (!toPdf) {
            if (const QString pdfOnly = pdfOptions.FirstGiven(parser); !pdfOnly.isEmpty())
                return UsageError(parser, QStringLiteral("%1 goes with a PDF output").arg(pdfOnly));
            if (parser.isSet(mergeOption))
                return UsageError(parser, QStringLiteral("--merge goes with --out-dir or a PDF output"));
            if (arguments.size() != 2)
                return UsageError(parser, QStringLiteral("give one label file and one output picture"));
            format = QFileInfo(arguments[1]).suffix().toLower();
            if (!IsPictureFormat(format))
                return UsageError(parser, QStringLiteral("%1: the output must end in .jpg, .jpeg, .png or .pdf")
                                              .arg(arguments[1]));
        }
    }
    std::optional<TPdfRequest> pdf;
    if (toPdf) {
        QString problem;
        pdf = ReadPdfOptions(pdfOptions, parser, sizeItem, catalogue, problem);
        if (!pdf)
            return UsageError(parser, problem);
    }

    TProgressLine progress;
    if (parser.isSet(mergeOption)) {
        const QStringList designs = toPdf ? arguments.first(arguments.size() - 1) : arguments;
        if (designs.size() != 1)
            return UsageError(parser, QStringLiteral("--merge takes one design label file"));
        return RenderMerge(parser.value(mergeOption), designs.first(), toPdf ? arguments.last() : QString(),
                           parser.value(outDirOption), format, quality, sizeItem, jobs, pdf, progress);
    }
    if (toPdf)
        return RenderPdf(*pdf, arguments.first(arguments.size() - 1), arguments.last(), sizeItem, LoadLabel, Error,
                         progress.Sink());

    // Each label with the picture it becomes.
    QList<TPictureJob> pictures;
    int result = ExitSuccess;
    if (toFolder) {
        const QString outDir = parser.value(outDirOption);
        // Two labels of the same name from different folders would write one
        // picture twice; the second is refused rather than overwrite the first.
        QHash<QString, QString> written;
        for (const QString& label : arguments) {
            const QString output = QDir(outDir).filePath(QFileInfo(label).completeBaseName() + QLatin1Char('.') + format);
            const QString outputKey = QFileInfo(output).absoluteFilePath();
            if (written.contains(outputKey)) {
                Error(QStringLiteral("%1: not rendered, %2 already holds the picture of %3")
                          .arg(label, output, written.value(outputKey)));
                result = ExitFailure;
                continue;
            }
            written.insert(outputKey, label);
            pictures.append({label, 0, label, TLabelDocument(), output, {}});
        }
        if (!QDir().mkpath(outDir)) {
            Error(QStringLiteral("%1: cannot create the output folder").arg(outDir));
            return ExitFailure;
        }
    } else {
        pictures.append({arguments[0], 0, arguments[0], TLabelDocument(), arguments[1], {}});
    }
    if (!RenderPictureJobs(pictures, format, quality, sizeItem, jobs, progress))
        result = ExitFailure;
    return result;
}

// Render-pass benchmarks: the whole label at each size, with and without a
// photo background, with picture files unchanged (warm) or just touched
// (cold), plus the JPEG and PNG export, the scaling the window does to show
// it, PDFs of one label and of a sheet of twelve, and a 200-row merge on one
// worker and on all cores.
// Time is wall-clock time and CPU the benchmark thread's; the counter
// process_cpu_ms adds up every thread of the process (Qt scales and fills on
// its thread pool), which on a busy machine tells more than the wall clock.
#include "editor/image_view.h"
#include "label/label_document.h"
#include "merge/label_pool.h"
#include "merge/merge_table.h"
#include "merge/picture_batch.h"
#include "print/label_catalogue.h"
#include "print/pdf_writer.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

struct BenchFiles
{
    QTemporaryDir Dir;
    QString Photo;
    QString Middle;
    QString Export;
};

BenchFiles* Files = nullptr;

// A 4000 x 3000 photo with real detail: smooth colour fields, fine stripes and
// noise, so the decoder and the scaler do work comparable to a camera picture.
QImage MakePhoto()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    uint32_t seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 27) - 16;
            const double wave = std::sin(x * 0.013) * std::cos(y * 0.021);
            const int r = qBound(0, int(128 + 90 * wave + (x * 60) / 4000) + noise, 255);
            const int g = qBound(0, int(110 + 70 * std::sin((x + y) * 0.004)) + noise, 255);
            const int b = qBound(0, int(90 + ((x / 7 + y / 5) % 40)) + noise, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

// A 1000 x 500 picture with an alpha channel: soft discs on a transparent ground.
QImage MakeMiddlePicture()
{
    QImage image(1000, 500, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 12; ++i) {
        const QPointF centre(80 + i * 75, 250 + 120 * std::sin(i * 0.9));
        QRadialGradient gradient(centre, 140);
        gradient.setColorAt(0, QColor::fromHsv((i * 30) % 360, 220, 230, 255));
        gradient.setColorAt(1, QColor::fromHsv((i * 30) % 360, 220, 230, 0));
        painter.setBrush(gradient);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(centre, 140, 140);
    }
    return image;
}

void FillPlain(TLabelDocument& aDoc)
{
    const QString texts[5] = {QStringLiteral("Velmar's Kaaskelder"), QStringLiteral("* * Proosdij Kaas * *"),
                              QStringLiteral("Huisgemaakt in Brekvelde"), QStringLiteral("door P. Orvelink"),
                              QStringLiteral("15 sept. 2013")};
    for (int tag = 1; tag <= 5; ++tag) {
        TLabelText* text = aDoc.TextByTag(tag);
        text->Text = texts[tag - 1];
        text->FontName = QStringLiteral("Arial");
        text->FontSize = 40;
        text->FontColor = 0x00000000;
    }
    aDoc.FLabelBg.UseColor = true;
    aDoc.FLabelBg.Color = 0x0000FFFF;
    for (int tag = 1; tag <= 4; ++tag) {
        aDoc.RingByTag(tag)->Use = true;
        aDoc.RingByTag(tag)->Color = 0x00000080;
    }
}

void FillPhoto(TLabelDocument& aDoc)
{
    FillPlain(aDoc);
    aDoc.FLabelBg.UseColor = false;
    aDoc.FLabelBg.FileName = Files->Photo;
    aDoc.FLabelBg.Effect = 1;
    aDoc.FLabelBg.Trans = 50;
    aDoc.FLabelBg.UsePng = true;
    aDoc.FLabelBg.PngFile = Files->Middle;
    aDoc.FLabelBg.PngWidth = 30;
}

int SizeItem(int aPixels)
{
    return aPixels == 750 ? 0 : aPixels == 1200 ? 1 : 2;
}

// Gives a file a new modification time, as an edit in another program would.
bool Touch(const QString& aPath, int aStep)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadWrite)
           && file.setFileTime(QDateTime::currentDateTime().addSecs(aStep), QFileDevice::FileModificationTime);
}

// CPU time of all threads of the process from its construction to Report(),
// per iteration.
class ProcessCpu
{
public:
    void Report(benchmark::State& aState) const
    {
        const double milliseconds = 1000.0 * double(std::clock() - FStart) / CLOCKS_PER_SEC;
        aState.counters["process_cpu_ms"] = benchmark::Counter(milliseconds, benchmark::Counter::kAvgIterations);
    }

private:
    std::clock_t FStart = std::clock();
};

void DrawLabelBench(benchmark::State& aState, bool aPhoto, int aPixels, bool aCold)
{
    TLabelDocument doc;
    aPhoto ? FillPhoto(doc) : FillPlain(doc);
    TLabelRenderer renderer;
    renderer.SetLabelSize(SizeItem(aPixels));
    renderer.DrawLabel(doc);
    int step = 0;
    const ProcessCpu cpu;
    for (auto _ : aState) {
        const int decodes = renderer.Pictures().DecodeCount();
        if (aCold) {
            aState.PauseTiming();
            ++step;
            if (!Touch(Files->Photo, step) || !Touch(Files->Middle, step)) {
                aState.SkipWithError("cannot touch the pictures");
                break;
            }
            aState.ResumeTiming();
        }
        renderer.DrawLabel(doc);
        benchmark::DoNotOptimize(renderer.Raster().constBits());
        // Cold passes decode both pictures, warm ones nothing: anything else
        // would measure another pass than the name says.
        const int expected = aCold && aPhoto ? 2 : 0;
        if (renderer.Pictures().DecodeCount() - decodes != expected) {
            aState.SkipWithError("the pass decoded another number of pictures than its name says");
            break;
        }
    }
    cpu.Report(aState);
}

// A renderer holding the plain or photo label, drawn once, at that raster width.
TLabelRenderer Rendered(bool aPhoto, int aPixels)
{
    TLabelDocument doc;
    aPhoto ? FillPhoto(doc) : FillPlain(doc);
    TLabelRenderer renderer;
    renderer.SetLabelSize(SizeItem(aPixels));
    renderer.DrawLabel(doc);
    return renderer;
}

TLabelRenderer RenderedPlain(int aPixels)
{
    return Rendered(false, aPixels);
}

void ExportBench(benchmark::State& aState, int aPixels)
{
    const TLabelRenderer renderer = RenderedPlain(aPixels);
    const ProcessCpu cpu;
    for (auto _ : aState) {
        const QString error = FileProblemText(WriteJpeg(renderer.Raster(), Files->Export, 98));
        if (!error.isEmpty()) {
            aState.SkipWithError(error.toUtf8().constData());
            break;
        }
    }
    cpu.Report(aState);
}

// The raster as a batch writes it, with the file's size as a counter.
void ExportPngBench(benchmark::State& aState, bool aPhoto, int aPixels)
{
    const TLabelRenderer renderer = Rendered(aPhoto, aPixels);
    const QString file = Files->Dir.filePath(QStringLiteral("export.png"));
    const ProcessCpu cpu;
    for (auto _ : aState) {
        const QString error = FileProblemText(WritePng(renderer.Raster(), file));
        if (!error.isEmpty()) {
            aState.SkipWithError(error.toUtf8().constData());
            break;
        }
    }
    cpu.Report(aState);
    aState.counters["bytes"] = double(QFileInfo(file).size());
}

void ShowInWindowBench(benchmark::State& aState, int aPixels)
{
    const TLabelRenderer renderer = RenderedPlain(aPixels);
    const ProcessCpu cpu;
    for (auto _ : aState) {
        QImage shown = ScaleForDisplay(renderer.Raster(), QSize(641, 641), 1.0);
        benchmark::DoNotOptimize(shown.constBits());
    }
    cpu.Report(aState);
}

// A PDF in memory of one 60 mm label on its own page, or of a 12-label A4
// sheet of them, drawn at 6 cm with the pictures decoded (warm); the counter
// Reading the whole installed label catalogue, as the print dialog and
// --product do once per run; products gives how many round ones it holds.
void CatalogueBench(benchmark::State& aState)
{
    const TCatalogueFolders folders = DefaultCatalogueFolders();
    const int products = int(ReadCatalogue(folders).Products.size());
    for (auto _ : aState) {
        const TLabelCatalogue catalogue = ReadCatalogue(folders);
        benchmark::DoNotOptimize(catalogue.Products.constData());
    }
    if (products == 0)
        aState.SkipWithError("no label catalogue installed");
    aState.counters["products"] = benchmark::Counter(double(products));
}

// pdf_kb gives the file's size.
void PdfBench(benchmark::State& aState, bool aPhoto, int aLabels, bool aShop = false)
{
    TLabelDocument doc;
    aPhoto ? FillPhoto(doc) : FillPlain(doc);
    TLabelRenderer renderer;
    renderer.SetLabelSize(0);
    TPrintSettings settings;
    settings.Layout = BuiltInLayout(aLabels == 1 ? TPaper::Label : TPaper::A4, 60);
    // What a print shop asks for: 3 mm bleed, the die line, crop marks.
    if (aShop)
        settings.Shop = {3, true, true};
    const QList<TPrintJob> jobs{TPrintJob{doc, aLabels}};
    QByteArray pdf;
    LabelsPdf(pdf, jobs, settings, renderer);
    const ProcessCpu cpu;
    for (auto _ : aState) {
        const TPrintResult result = LabelsPdf(pdf, jobs, settings, renderer);
        if (!result.Ok() || result.Labels != aLabels) {
            aState.SkipWithError("the PDF was not made");
            break;
        }
        benchmark::DoNotOptimize(pdf.constData());
    }
    cpu.Report(aState);
    aState.counters["pdf_kb"] = benchmark::Counter(double(pdf.size()) / 1024);
}

// A merge of a 200-row table (cheese name and date per row) with the plain
// design at 6 cm into JPEGs, on aJobs workers (0: one per core); the counter
// labels_per_s is the rate, by the wall clock.
void MergeBench(benchmark::State& aState, int aJobs)
{
    constexpr int Rows = 200;
    QByteArray csv("Naam kaas;Datum productie\n");
    for (int row = 1; row <= Rows; ++row)
        csv += "Gouda partij " + QByteArray::number(row) + ";" + QByteArray::number(1 + row % 28) + " mei 2026\n";
    const QString table = Files->Dir.filePath(QStringLiteral("merge.csv"));
    QFile file(table);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size()) {
        aState.SkipWithError("cannot write the table");
        return;
    }
    file.close();
    const TMergeRead read = TMergeTable::Read(table);
    if (!read.Ok()) {
        aState.SkipWithError("the table was not read");
        return;
    }
    TLabelDocument design;
    FillPlain(design);
    const QString folder = Files->Dir.filePath(QStringLiteral("merge-out"));
    QDir().mkpath(folder);
    const TMergeOutputs outputs = read.Table->OutputFiles(folder, QStringLiteral("Gouda"), QStringLiteral("jpg"));
    TLabelPool pool(aJobs, 0);
    const ProcessCpu cpu;
    for (auto _ : aState) {
        QList<TPictureJob> jobs;
        for (int row = 0; row < read.Table->RowCount(); ++row)
            jobs.append({QString(), 0, QString(), read.Table->Document(row, design), outputs.Files[row],
                         read.Table->Row(row).Pictures()});
        const TBatchResult result = RenderPictures(pool, jobs, QStringLiteral("jpg"), 98, {});
        if (result.Written != Rows) {
            aState.SkipWithError("the pictures were not written");
            break;
        }
    }
    cpu.Report(aState);
    aState.counters["jobs"] = pool.Jobs();
    aState.counters["labels_per_s"] = benchmark::Counter(double(Rows), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    BenchFiles files;
    Files = &files;
    files.Photo = files.Dir.filePath(QStringLiteral("photo.jpg"));
    files.Middle = files.Dir.filePath(QStringLiteral("middle.png"));
    files.Export = files.Dir.filePath(QStringLiteral("export.jpg"));
    if (!files.Dir.isValid() || !MakePhoto().save(files.Photo, "JPEG", 90)
        || !MakeMiddlePicture().save(files.Middle, "PNG")) {
        std::fprintf(stderr, "merovik-bench: cannot write the test pictures to %s\n", qPrintable(files.Dir.path()));
        return 1;
    }

    for (const char* scene : {"plain", "photo"}) {
        for (int pixels : {750, 1200, 1650}) {
            for (const char* mode : {"warm", "cold"}) {
                const bool photo = QByteArray(scene) == "photo";
                const bool cold = QByteArray(mode) == "cold";
                const std::string name = std::string("BM_DrawLabel/") + scene + "/" + std::to_string(pixels) + "/" + mode;
                benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                    DrawLabelBench(state, photo, pixels, cold);
                })->Unit(benchmark::kMillisecond);
            }
        }
    }
    for (int pixels : {750, 1200, 1650}) {
        benchmark::RegisterBenchmark(("BM_Export/" + std::to_string(pixels)).c_str(),
                                     [=](benchmark::State& state) { ExportBench(state, pixels); })
            ->Unit(benchmark::kMillisecond);
        for (const char* scene : {"plain", "photo"}) {
            const bool photo = QByteArray(scene) == "photo";
            benchmark::RegisterBenchmark(("BM_ExportPng/" + std::string(scene) + "/" + std::to_string(pixels)).c_str(),
                                         [=](benchmark::State& state) { ExportPngBench(state, photo, pixels); })
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark(("BM_ShowInWindow/" + std::to_string(pixels)).c_str(),
                                     [=](benchmark::State& state) { ShowInWindowBench(state, pixels); })
            ->Unit(benchmark::kMillisecond);
    }

    for (const char* scene : {"plain", "photo"}) {
        for (int labels : {1, 12}) {
            const bool photo = QByteArray(scene) == "photo";
            const std::string name = std::string("BM_Pdf/") + scene + "/" + std::to_string(labels);
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                PdfBench(state, photo, labels);
            })->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark("BM_Pdf/photo/1/shop", [](benchmark::State& state) {
        PdfBench(state, true, 1, true);
    })->Unit(benchmark::kMillisecond);

    for (int jobs : {1, 0}) {
        const std::string name = "BM_Merge/" + (jobs ? std::to_string(jobs) : std::string("all"));
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) { MergeBench(state, jobs); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }

    benchmark::RegisterBenchmark("BM_Catalogue", CatalogueBench)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

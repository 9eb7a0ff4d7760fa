// Printing and PDF: layouts, placement, calibration and the PDFs made, each
// measured with poppler's tools as a viewer would show it; merovik-render's
// PDF options end to end.
#include "label/ini_file.h"
#include "print/label_catalogue.h"
#include "print/label_printer.h"
#include "print/pdf_writer.h"
#include "print/print_settings.h"
#include "render/label_renderer.h"
#include "tst_render_support.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <climits>
#include <cmath>

Q_DECLARE_METATYPE(TPaper)
Q_DECLARE_METATYPE(TPrintSettings)
Q_DECLARE_METATYPE(TPrintProblem)
Q_DECLARE_METATYPE(TCalibration)

namespace {

constexpr double MmPerInch = 25.4;

struct Run
{
    int ExitCode = -1;
    QString Out, Err;
};

Run Execute(const QString& aProgram, const QStringList& aArguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(aProgram, aArguments);
    const bool finished = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    return {finished ? process.exitCode() : -1, QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// "Page size", "Pages", "Title"... of pdfinfo.
QString PdfInfo(const QString& aPdf, const QString& aKey)
{
    const Run run = Execute(QStringLiteral("pdfinfo"), {aPdf});
    for (const QString& line : run.Out.split(QLatin1Char('\n'))) {
        if (line.startsWith(aKey + QLatin1Char(':')))
            return line.mid(aKey.size() + 1).trimmed();
    }
    return {};
}

struct TEmbeddedImage
{
    QString Type;  // "image", "smask"
    int Width = 0;
    int Height = 0;
    int Object = 0;
};

// The images the pages show, one row for each time an image is shown.
QList<TEmbeddedImage> PdfImages(const QString& aPdf)
{
    QList<TEmbeddedImage> images;
    const QStringList lines = Execute(QStringLiteral("pdfimages"), {QStringLiteral("-list"), aPdf}).Out.split('\n');
    for (const QString& line : lines.mid(2)) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() > 10)
            images.append({fields[2], fields[3].toInt(), fields[4].toInt(), fields[10].toInt()});
    }
    return images;
}

QSet<int> Objects(const QList<TEmbeddedImage>& aImages)
{
    QSet<int> objects;
    for (const TEmbeddedImage& image : aImages)
        objects.insert(image.Object);
    return objects;
}

// Page aPage of aPdf at aDpi, as poppler draws it.
QImage Rasterise(const QString& aPdf, int aDpi, int aPage = 1)
{
    const QString base = aPdf + QStringLiteral("-page");
    Execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(aDpi), QStringLiteral("-f"),
                                         QString::number(aPage), QStringLiteral("-l"), QString::number(aPage),
                                         QStringLiteral("-png"), QStringLiteral("-singlefile"), aPdf, base});
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// Rings, outline and five texts in black on yellow.
TLabelDocument PlainLabel()
{
    TLabelDocument doc;
    const char* const texts[5] = {"Velmar's Kaaskelder", "* * Proosdij Kaas * *", "Huisgemaakt in Brekvelde",
                                  "door P. Orvelink", "15 sept. 2013"};
    for (int tag = 1; tag <= 5; ++tag) {
        TLabelText* text = doc.TextByTag(tag);
        text->Text = QString::fromLatin1(texts[tag - 1]);
        text->FontName = QStringLiteral("DejaVu Sans");
        text->FontSize = 40;
        text->FontColor = 0;
    }
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x0000FFFF;
    for (int tag = 1; tag <= 4; ++tag) {
        doc.RingByTag(tag)->Use = true;
        doc.RingByTag(tag)->Color = 0x00000080;
    }
    return doc;
}

// The rings and the outline alone.
TLabelDocument RingsOnly()
{
    TLabelDocument doc = PlainLabel();
    for (int tag = 1; tag <= 5; ++tag)
        doc.TextByTag(tag)->Text.clear();
    return doc;
}

// A pure red disc: nothing but the background, so each label is found by its colour.
TLabelDocument RedDisc()
{
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x000000FF;
    for (int tag = 1; tag <= 4; ++tag)
        doc.RingByTag(tag)->Use = false;
    return doc;
}

bool IsRed(QRgb aPixel)
{
    return qRed(aPixel) > 200 && qGreen(aPixel) < 80 && qBlue(aPixel) < 80;
}

// The red pixels within aWindow (pixels) of aImage: their centre and extent.
struct TBlob
{
    QPointF Centre;
    QSizeF Size;
    int Count = 0;
};

TBlob RedBlob(const QImage& aImage, const QRect& aWindow)
{
    TBlob blob;
    double sumX = 0, sumY = 0;
    int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
    const QRect window = aWindow.intersected(aImage.rect());
    for (int y = window.top(); y <= window.bottom(); ++y) {
        for (int x = window.left(); x <= window.right(); ++x) {
            if (!IsRed(aImage.pixel(x, y)))
                continue;
            ++blob.Count;
            sumX += x + 0.5;
            sumY += y + 0.5;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (blob.Count > 0) {
        blob.Centre = QPointF(sumX / blob.Count, sumY / blob.Count);
        blob.Size = QSizeF(right - left + 1, bottom - top + 1);
    }
    return blob;
}

TPrintSettings Sheet(TPaper aPaper, double aDiameter)
{
    TPrintSettings settings;
    settings.Layout = BuiltInLayout(aPaper, aDiameter);
    return settings;
}

// The separations of page 1 of aPdf as Ghostscript's tiffsep device draws
// them, by ink name ("Cyan"... "CutContour"); ink is dark.
QHash<QString, QImage> Separations(const QString& aPdf, int aDpi)
{
    const QString base = aPdf + QStringLiteral("-sep");
    Execute(QStringLiteral("gs"), {QStringLiteral("-q"), QStringLiteral("-dSAFER"), QStringLiteral("-dBATCH"),
                                   QStringLiteral("-dNOPAUSE"), QStringLiteral("-dLastPage=1"),
                                   QStringLiteral("-sDEVICE=tiffsep"), QStringLiteral("-r%1").arg(aDpi),
                                   QStringLiteral("-sOutputFile=%1.tif").arg(base), aPdf});
    QHash<QString, QImage> separations;
    for (const char* ink : {"Cyan", "Magenta", "Yellow", "Black", "CutContour"}) {
        const QImage image(QStringLiteral("%1(%2).tif").arg(base, QLatin1String(ink)));
        if (!image.isNull())
            separations.insert(QLatin1String(ink), image.convertToFormat(QImage::Format_Grayscale8));
    }
    return separations;
}

bool Inked(const QImage& aSeparation, const QPoint& aAt)
{
    return aSeparation.valid(aAt) && qGray(aSeparation.pixel(aAt)) < 128;
}

// "MediaBox" and the others of pdfinfo -box, in mm.
QRectF PdfBox(const QString& aPdf, const QString& aBox)
{
    const Run run = Execute(QStringLiteral("pdfinfo"), {QStringLiteral("-box"), aPdf});
    for (const QString& line : run.Out.split(QLatin1Char('\n'))) {
        if (!line.startsWith(aBox + QLatin1Char(':')))
            continue;
        const QStringList v = line.mid(aBox.size() + 1).simplified().split(QLatin1Char(' '));
        if (v.size() == 4) {
            constexpr double mm = 25.4 / 72;
            return QRectF(QPointF(v[0].toDouble() * mm, v[1].toDouble() * mm),
                          QPointF(v[2].toDouble() * mm, v[3].toDouble() * mm));
        }
    }
    return {};
}

bool Near(const QRectF& aFound, const QRectF& aExpected, double aTolerance)
{
    return std::abs(aFound.left() - aExpected.left()) <= aTolerance
           && std::abs(aFound.top() - aExpected.top()) <= aTolerance
           && std::abs(aFound.right() - aExpected.right()) <= aTolerance
           && std::abs(aFound.bottom() - aExpected.bottom()) <= aTolerance;
}

// A product of two offset grids on A4, each label's nearest neighbour on
// the diagonal, 50 mm from centre to centre; 3 x 3 and 2 x 2 labels.
TSheetLayout OffsetGrids(double aDiameter, double aDieCut)
{
    TSheetLayout layout = BuiltInLayout(TPaper::A4, aDiameter);
    layout.Name = QStringLiteral("Offset grids");
    layout.Columns = layout.Rows = 3;
    layout.X0 = layout.Y0 = 40;
    layout.Dx = 60;
    layout.Dy = 80;
    layout.MoreGrids = {TSheetGrid{2, 2, 70, 80, 60, 80}};
    layout.DieCutDiameter = aDieCut;
    return layout;
}

QString PlacementText(const QList<TPlacement>& aPlacements)
{
    QStringList parts;
    for (const TPlacement& p : aPlacements)
        parts << QStringLiteral("%1.%2:%3").arg(p.Page + 1).arg(p.Position).arg(p.Job);
    return parts.join(QLatin1Char(' '));
}

}  // namespace

class TstPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void builtInLayouts_data();
    void builtInLayouts();
    void refusedSettings_data();
    void refusedSettings();
    void placements_data();
    void placements();
    void preferencesRoundTrip();

    void pdfPages_data();
    void pdfPages();
    void labelMatchesRaster_data();
    void labelMatchesRaster();
    void sheetPositions_data();
    void sheetPositions();
    void catalogueFiles();
    void productCentres_data();
    void productCentres();
    void pictures_data();
    void pictures();
    void renderPdf_data();
    void renderPdf();
    void printShopPdf_data();
    void printShopPdf();

private:
    QTemporaryDir FDir;
    QString FPhoto;
    QString FMiddle;
};

void TstPrint::initTestCase()
{
    for (const char* tool : {"pdfinfo", "pdfimages", "pdftoppm"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP("poppler-utils is not installed (scripts/install-deps.sh installs it)");
    }
    FPhoto = SavedImage(FDir, QStringLiteral("photo.jpg"), Noise(QSize(2000, 1500)), 90);
    QImage middle(400, 200, QImage::Format_ARGB32);
    middle.fill(qRgba(0, 0, 255, 128));
    FMiddle = SavedImage(FDir, QStringLiteral("middle.png"), middle);
    QVERIFY(!FPhoto.isEmpty() && !FMiddle.isEmpty());
}

void TstPrint::builtInLayouts_data()
{
    QTest::addColumn<TPaper>("paper");
    QTest::addColumn<double>("diameter");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");

    QTest::newRow("A4, 60 mm: twelve") << TPaper::A4 << 60.0 << 3 << 4;
    QTest::newRow("A4, 100 mm: two") << TPaper::A4 << 100.0 << 1 << 2;
    QTest::newRow("A4, 20 mm: eight by twelve") << TPaper::A4 << 20.0 << 8 << 12;
    QTest::newRow("A4, 200 mm: one, margins exactly 5 mm") << TPaper::A4 << 200.0 << 1 << 1;
    QTest::newRow("A4, 201 mm: none") << TPaper::A4 << 201.0 << 0 << 1;
    QTest::newRow("Letter, 60 mm: twelve") << TPaper::Letter << 60.0 << 3 << 4;
    QTest::newRow("Letter, 140 mm: one") << TPaper::Letter << 140.0 << 1 << 1;
    QTest::newRow("one label per page") << TPaper::Label << 60.0 << 1 << 1;
}

// As many as fit: every label at least 5 mm inside the paper and 3 mm from
// its neighbours, one more column or row would not fit, the grid centred.
void TstPrint::builtInLayouts()
{
    QFETCH(TPaper, paper);
    QFETCH(double, diameter);
    QFETCH(int, columns);
    QFETCH(int, rows);
    const TSheetLayout layout = BuiltInLayout(paper, diameter);
    QCOMPARE(layout.Columns, columns);
    QCOMPARE(layout.Rows, rows);
    if (columns == 0) {
        QCOMPARE(CheckLayout(layout).Kind, TPrintProblem::TKind::NoLabelFits);
        return;
    }
    QVERIFY(CheckLayout(layout).IsNone());
    const QSizeF size = layout.PaperSize();
    const QRectF first = layout.Square(1);
    const QRectF last = layout.Square(layout.Positions());
    if (paper == TPaper::Label) {
        QCOMPARE(size, QSizeF(diameter, diameter));
        QCOMPARE(first, QRectF(0, 0, diameter, diameter));
        return;
    }
    QVERIFY(first.left() >= 5 - 1e-9 && first.top() >= 5 - 1e-9);
    QVERIFY(last.right() <= size.width() - 5 + 1e-9 && last.bottom() <= size.height() - 5 + 1e-9);
    QVERIFY(layout.Dx >= diameter + 3 - 1e-9 && layout.Dy >= diameter + 3 - 1e-9);
    QVERIFY(last.right() + layout.Dx > size.width() - 5);
    QVERIFY(last.bottom() + layout.Dy > size.height() - 5);
    QVERIFY(qFuzzyCompare(first.left(), size.width() - last.right()));
    QVERIFY(qFuzzyCompare(first.top(), size.height() - last.bottom()));
    // Row by row: the second position right of the first, the first of the
    // second row below it.
    if (columns > 1)
        QCOMPARE(layout.Centre(2), QPointF(layout.X0 + layout.Dx, layout.Y0));
    if (rows > 1)
        QCOMPARE(layout.Centre(columns + 1), QPointF(layout.X0, layout.Y0 + layout.Dy));
}

void TstPrint::refusedSettings_data()
{
    using TKind = TPrintProblem::TKind;
    QTest::addColumn<TPrintSettings>("settings");
    QTest::addColumn<TPrintProblem>("problem");

    const TPrintSettings a4 = Sheet(TPaper::A4, 60);  // 3 x 4, centres from (42, 54), pitch 63
    const auto with = [&](auto aChange) {
        TPrintSettings settings = a4;
        aChange(settings);
        return settings;
    };
    const auto problem = [](TKind aKind, double aValue = 0, double aLimit = 0, int aPosition = 0, int aCount = 0,
                            bool aHorizontal = true) {
        return TPrintProblem{aKind, aValue, aLimit, aPosition, aCount, aHorizontal};
    };
    QTest::newRow("diameter under 20 mm")
        << with([](TPrintSettings& s) { s.Layout.Diameter = 19.5; }) << problem(TKind::DiameterOutOfRange, 19.5);
    QTest::newRow("diameter over 300 mm")
        << with([](TPrintSettings& s) { s.Layout = BuiltInLayout(TPaper::Label, 301); })
        << problem(TKind::DiameterOutOfRange, 301);
    QTest::newRow("a sheet too small for the label")
        << with([](TPrintSettings& s) { s.Layout = BuiltInLayout(TPaper::Letter, 220); })
        << problem(TKind::NoLabelFits, 220);
    QTest::newRow("no rows") << with([](TPrintSettings& s) { s.Layout.Rows = 0; }) << problem(TKind::NoLabelFits, 60);
    QTest::newRow("columns closer than the diameter")
        << with([](TPrintSettings& s) { s.Layout.Dx = 59; }) << problem(TKind::Overlap, 59, 60);
    QTest::newRow("rows closer than the diameter")
        << with([](TPrintSettings& s) { s.Layout.Dy = 50; }) << problem(TKind::Overlap, 50, 60, 0, 0, false);
    QTest::newRow("first label over the left edge")
        << with([](TPrintSettings& s) { s.Layout.X0 = 29; }) << problem(TKind::OutsidePage, 0, 0, 1);
    QTest::newRow("third column over the right edge")
        << with([](TPrintSettings& s) { s.Layout.Dx = 70; }) << problem(TKind::OutsidePage, 0, 0, 3);
    QTest::newRow("fourth row below the page")
        << with([](TPrintSettings& s) { s.Layout.Dy = 72; }) << problem(TKind::OutsidePage, 0, 0, 10);
    QTest::newRow("start beyond the sheet")
        << with([](TPrintSettings& s) { s.Start = 13; }) << problem(TKind::StartOutOfRange, 0, 0, 13, 12);
    QTest::newRow("start before the first position")
        << with([](TPrintSettings& s) { s.Start = 0; }) << problem(TKind::StartOutOfRange, 0, 0, 0, 12);
    QTest::newRow("offset down beyond 20 mm")
        << with([](TPrintSettings& s) { s.Calibration.OffsetY = 20.5; })
        << problem(TKind::OffsetOutOfRange, 20.5, 0, 0, 0, false);
    QTest::newRow("horizontal scale under 90 percent")
        << with([](TPrintSettings& s) { s.Calibration.ScaleX = 89.9; }) << problem(TKind::ScaleOutOfRange, 89.9);
    QTest::newRow("labels touching are accepted")
        << with([](TPrintSettings& s) { s.Layout.Dx = 60; }) << problem(TKind::None);
    // Three rows, then a second grid of 2 x 1 below them, numbered from 10.
    const auto twoGrids = [&](double aY0, double aDx) {
        return with([=](TPrintSettings& s) {
            s.Layout.Rows = 3;
            s.Layout.MoreGrids = {TSheetGrid{2, 1, 42, aY0, aDx, 0}};
        });
    };
    QTest::newRow("a second grid clear of the first") << twoGrids(240, 63) << problem(TKind::None);
    QTest::newRow("a second grid over the first") << twoGrids(230, 63) << problem(TKind::GridsOverlap, 0, 0, 7, 10);
    QTest::newRow("a second grid's own labels overlap")
        << twoGrids(240, 40) << problem(TKind::Overlap, 40, 60);
    QTest::newRow("a second grid's label below the page")
        << twoGrids(270, 63) << problem(TKind::OutsidePage, 0, 0, 10);
    const auto dieCut = [&](double aDiameter) {
        return with([=](TPrintSettings& s) {
            s.Layout.Columns = s.Layout.Rows = 1;
            s.Layout.DieCutDiameter = 63.5;
            s.Layout.Diameter = aDiameter;
        });
    };
    QTest::newRow("a die-cut in inches, rounded") << dieCut(63.54) << problem(TKind::None);
    QTest::newRow("larger than the die-cut") << dieCut(63.6) << problem(TKind::LargerThanDieCut, 63.6, 63.5);
    QTest::newRow("bleed over 5 mm")
        << with([](TPrintSettings& s) { s.Layout = BuiltInLayout(TPaper::Label, 60); s.Shop.Bleed = 5.1; })
        << problem(TKind::BleedOutOfRange, 5.1);
    QTest::newRow("negative bleed") << with([](TPrintSettings& s) { s.Shop.Bleed = -1; })
                                    << problem(TKind::BleedOutOfRange, -1);
    QTest::newRow("bleed wider than half the 3 mm gap")
        << with([](TPrintSettings& s) { s.Shop.Bleed = 1.6; }) << problem(TKind::BleedTooWide, 1.6, 1.5);
    QTest::newRow("bleed of half the gap is accepted") << with([](TPrintSettings& s) { s.Shop.Bleed = 1.5; })
                                                       << problem(TKind::None);
    QTest::newRow("labels touching leave no room for bleed")
        << with([](TPrintSettings& s) { s.Layout.Dx = 60; s.Shop.Bleed = 0.5; })
        << problem(TKind::BleedTooWide, 0.5, 0);
    QTest::newRow("bleed past half the gap on the diagonal of offset grids")
        << with([](TPrintSettings& s) {
               s.Layout = OffsetGrids(47.7, 47.7);
               s.Shop.Bleed = 1.2;
           })
        << problem(TKind::BleedTooWide, 1.2, (50 - 47.7) / 2);
    QTest::newRow("crop marks on a sheet") << with([](TPrintSettings& s) { s.Shop.CropMarks = true; })
                                           << problem(TKind::CropMarksOnSheet);
    QTest::newRow("5 mm bleed and crop marks on a label's page")
        << with([](TPrintSettings& s) {
               s.Layout = BuiltInLayout(TPaper::Label, 60);
               s.Shop = {5, true, true};
           })
        << problem(TKind::None);
}

void TstPrint::refusedSettings()
{
    QFETCH(TPrintSettings, settings);
    QFETCH(TPrintProblem, problem);
    const TPrintProblem found = CheckSettings(settings);
    QCOMPARE(int(found.Kind), int(problem.Kind));
    QVERIFY2(found == problem, qPrintable(QStringLiteral("value %1 limit %2 position %3 count %4")
                                              .arg(found.Value)
                                              .arg(found.Limit)
                                              .arg(found.Position)
                                              .arg(found.Count)));
    // Nothing refused is printed.
    if (!problem.IsNone()) {
        QByteArray bytes;
        TLabelRenderer renderer;
        const TPrintResult result = LabelsPdf(bytes, {TPrintJob{RedDisc(), 1}}, settings, renderer);
        QCOMPARE(result.Problem, problem);
        QVERIFY(bytes.isEmpty());
    }
}

void TstPrint::placements_data()
{
    QTest::addColumn<TPaper>("paper");
    QTest::addColumn<QList<int>>("copies");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("placed");  // page.position:job

    QTest::newRow("three copies from the first position") << TPaper::A4 << QList<int>{3} << 1 << "1.1:0 1.2:0 1.3:0";
    QTest::newRow("a partly used sheet, then a new one")
        << TPaper::A4 << QList<int>{2, 2} << 11 << "1.11:0 1.12:0 2.1:1 2.2:1";
    QTest::newRow("exactly one full sheet from position 12") << TPaper::A4 << QList<int>{1} << 12 << "1.12:0";
    QTest::newRow("one page per label and copy") << TPaper::Label << QList<int>{2, 1} << 1 << "1.1:0 2.1:0 3.1:1";
    QTest::newRow("a design without copies is left out") << TPaper::A4 << QList<int>{0, 1} << 1 << "1.1:1";
}

void TstPrint::placements()
{
    QFETCH(TPaper, paper);
    QFETCH(QList<int>, copies);
    QFETCH(int, start);
    QFETCH(QString, placed);
    TPrintSettings settings = Sheet(paper, 60);
    settings.Start = start;
    QList<TPrintJob> jobs;
    for (int count : copies)
        jobs.append({TLabelDocument(), count});
    QCOMPARE(PlacementText(PlaceLabels(jobs, settings)), placed);
}

// Written and read back, every value is as it was, and the rest of the file too.
void TstPrint::preferencesRoundTrip()
{
    TPrintPreferences preferences;
    preferences.Paper = TPaper::Letter;
    preferences.LayoutName = QStringLiteral("Doos 24, 40 mm");
    preferences.ProductBrand = QStringLiteral("Online Labels");
    preferences.ProductPart = QStringLiteral("OL320 (round)");
    preferences.Diameter = 62.5;
    preferences.DiameterSize = 0;
    preferences.Copies = 7;
    preferences.Start = 5;
    preferences.Calibration = {-1.3, 2.7, 99.4, 100.8};
    preferences.Bleed = 2.5;
    TSheetLayout kept = BuiltInLayout(TPaper::Letter, 40);
    kept.Name = preferences.LayoutName;
    kept.X0 = 24.35;
    preferences.KeepLayout(kept);
    kept.Name = QStringLiteral("Tweede");
    kept.Paper = TPaper::A4;
    preferences.KeepLayout(kept);

    const QString path = FDir.filePath(QStringLiteral("roundtrip.ini"));
    const QByteArray before = "; hand-written\n[Name]\nText=Gouda\n";
    QVERIFY(WriteFile(path, before));
    {
        TIniFile file(path);
        SavePrintPreferences(file, preferences);
        QCOMPARE(FileProblemText(file.Commit()), QString());
    }
    QVERIFY(ReadAll(path).startsWith(before));
    QVERIFY(LoadPrintPreferences(TIniFile(path)) == preferences);

    QVERIFY(!LoadPrintPreferences(TIniFile(path)).CalibrationUnreadable);

    // By hand: a decimal comma is read; a calibration value out of range or
    // no number is neutral, never clamped, and said to be so.
    const QList<std::pair<QByteArray, TCalibration>> byHand{
        {"OffsetX=1,5\nOffsetY=-99\nScaleX=300\n", {1.5, 0, 100, 100}},
        {"ScaleY=-0\nScaleX=95\n", {0, 0, 95, 100}},
        {"OffsetX=1e308\nOffsetY=2\n", {0, 2, 100, 100}},
        {"ScaleX=honderd\n", {0, 0, 100, 100}},
    };
    for (const auto& [lines, calibration] : byHand) {
        QVERIFY(WriteFile(path, "[Print]\n" + lines));
        const TPrintPreferences read = LoadPrintPreferences(TIniFile(path));
        QCOMPARE(read.Calibration, calibration);
        QVERIFY2(read.CalibrationUnreadable, lines.constData());
    }
}

void TstPrint::pdfPages_data()
{
    QTest::addColumn<TPaper>("paper");
    QTest::addColumn<double>("diameter");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("pageSize");
    QTest::addColumn<int>("pages");

    // Qt keeps page sizes in whole points (1/72 inch).
    QTest::newRow("one 60 mm label") << TPaper::Label << 60.0 << 1 << 1 << "170 x 170 pts" << 1;
    QTest::newRow("a 2.5 inch label, three copies") << TPaper::Label << 63.5 << 3 << 1 << "180 x 180 pts" << 3;
    QTest::newRow("twelve on one A4 sheet") << TPaper::A4 << 60.0 << 12 << 1 << "595 x 842 pts (A4)" << 1;
    QTest::newRow("thirteen need a second A4 sheet") << TPaper::A4 << 60.0 << 13 << 1 << "595 x 842 pts (A4)" << 2;
    QTest::newRow("two from position 12 of a Letter sheet")
        << TPaper::Letter << 60.0 << 2 << 12 << "612 x 792 pts (letter)" << 2;
}

void TstPrint::pdfPages()
{
    QFETCH(TPaper, paper);
    QFETCH(double, diameter);
    QFETCH(int, copies);
    QFETCH(int, start);
    QFETCH(QString, pageSize);
    QFETCH(int, pages);
    TPrintSettings settings = Sheet(paper, diameter);
    settings.Start = start;
    TLabelDocument doc = PlainLabel();
    doc.FLabelName.Text = QStringLiteral("Gruyère d'été");
    const QString pdf = FDir.filePath(QStringLiteral("pages.pdf"));
    TLabelRenderer renderer;
    const TPrintResult result = WriteLabelsPdf(pdf, {TPrintJob{doc, copies}}, settings, renderer);
    QVERIFY2(result.Ok(), qPrintable(PrintErrorText(result.Error)));
    QCOMPARE(result.Pages, pages);
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Page size")), pageSize);
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Pages")), QString::number(pages));
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Title")), doc.FLabelName.Text);
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Creator")), QStringLiteral("Merovik"));
    // No raster picture: rings are paths, texts are text in embedded fonts,
    // so a reader finds the straight ones.
    QCOMPARE(PdfImages(pdf).size(), 0);
    const QString text = Execute(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).Out;
    QVERIFY2(text.contains(doc.FLabelType.Text) && text.contains(doc.FLabelDate.Text), qPrintable(text));
    const QStringList fonts = Execute(QStringLiteral("pdffonts"), {pdf}).Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString& font : fonts) {
        // name, type, encoding, then "emb sub uni object generation".
        const QStringList fields = font.simplified().split(QLatin1Char(' '));
        QVERIFY2(fields.size() >= 8 && fields[fields.size() - 5] == QLatin1String("yes"), qPrintable(font));
    }
}

void TstPrint::labelMatchesRaster_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::newRow("6 cm") << 0;
    QTest::newRow("10 cm") << 1;
    QTest::newRow("14 cm") << 2;
}

// A label printed at the raster's own size (W pixels at 300 dpi), drawn by
// poppler at 300 dpi, lies on the raster pass: the outline and the rings
// have their edges in the same places and the texts cover the same pixels.
void TstPrint::labelMatchesRaster()
{
    QFETCH(int, sizeItem);
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    const int w = renderer.LabelWidth();
    const TPrintSettings settings = Sheet(TPaper::Label, w * MmPerInch / 300);
    const QString pdf = FDir.filePath(QStringLiteral("true-size.pdf"));
    // The raster pass and poppler's drawing of the PDF at 300 dpi.
    const auto draw = [&](const TLabelDocument& aDoc, QImage& aRaster, QImage& aPrinted) {
        renderer.DrawLabel(aDoc);
        aRaster = renderer.Raster().convertToFormat(QImage::Format_RGB32);
        const TPrintResult result = WriteLabelsPdf(pdf, {TPrintJob{aDoc, 1}}, settings, renderer);
        aPrinted = result.Ok() ? Rasterise(pdf, 300) : QImage();
    };

    // Rings alone, along the middle row and column from each side to the
    // centre: where each ring begins and ends.
    QImage raster, printed;
    draw(RingsOnly(), raster, printed);
    QCOMPARE(printed.size(), raster.size());
    const auto edges = [w](const QImage& aImage, int aSide) {
        QList<int> found;
        bool dark = false;
        for (int i = 0; i < w / 2; ++i) {
            const int along = aSide < 2 ? i : w - 1 - i;
            const QRgb pixel = aSide % 2 == 0 ? aImage.pixel(along, w / 2) : aImage.pixel(w / 2, along);
            const bool now = qGray(pixel) < 100;
            if (now != dark)
                found << i;
            dark = now;
        }
        return found;
    };
    for (int side = 0; side < 4; ++side) {
        const QList<int> expected = edges(raster, side);
        const QList<int> actual = edges(printed, side);
        QVERIFY2(expected.size() >= 4 && actual.size() == expected.size(),
                 qPrintable(QStringLiteral("side %1: %2 edges, raster %3").arg(side).arg(actual.size()).arg(expected.size())));
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(std::abs(actual[i] - expected[i]) <= 1,
                     qPrintable(QStringLiteral("side %1 edge %2 at %3, raster %4").arg(side).arg(i).arg(actual[i]).arg(expected[i])));
    }

    // With the texts: pixels clearly dark in one and light in the other are
    // few, against those a shift of the raster by one pixel makes.
    draw(PlainLabel(), raster, printed);
    QCOMPARE(printed.size(), raster.size());
    const auto mismatch = [&](const QImage& aOther, int aShift) {
        int count = 0;
        for (int y = 2; y < w - 2; ++y)
            for (int x = 2; x < w - 2; ++x)
                count += std::abs(qGray(raster.pixel(x, y)) - qGray(aOther.pixel(x + aShift, y + aShift))) > 128;
        return count;
    };
    const int differing = mismatch(printed, 0);
    const int shifted = mismatch(raster, 1);
    QVERIFY2(differing * 4 < shifted, qPrintable(QStringLiteral("%1 pixels differ; a shift by one pixel makes %2")
                                                     .arg(differing)
                                                     .arg(shifted)));
}

void TstPrint::sheetPositions_data()
{
    QTest::addColumn<TPaper>("paper");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("start");
    QTest::addColumn<TCalibration>("calibration");

    QTest::newRow("twelve on A4") << TPaper::A4 << 12 << 1 << TCalibration{};
    QTest::newRow("moved 5 mm right and 3 mm up") << TPaper::A4 << 12 << 1 << TCalibration{5, -3, 100, 100};
    QTest::newRow("scaled 105 % wide, 95 % high") << TPaper::A4 << 12 << 1 << TCalibration{0, 0, 105, 95};
    QTest::newRow("Letter, scaled, then moved") << TPaper::Letter << 12 << 1 << TCalibration{-2, 4, 98, 102};
    // Moved first, then scaled, the centres would be 1 mm off.
    QTest::newRow("scaled about the corner, then moved") << TPaper::A4 << 12 << 1 << TCalibration{10, -10, 90, 110};
    QTest::newRow("three from position 5") << TPaper::A4 << 3 << 5 << TCalibration{};
    QTest::newRow("one label per page, scaled") << TPaper::Label << 1 << 1 << TCalibration{0, 0, 95, 97};
}

// Each 60 mm label sits on its layout position, calibrated: its centre and
// size as poppler draws it, within a pixel of 0.254 mm; positions without a
// label stay white.
void TstPrint::sheetPositions()
{
    QFETCH(TPaper, paper);
    QFETCH(int, copies);
    QFETCH(int, start);
    QFETCH(TCalibration, calibration);
    TPrintSettings settings = Sheet(paper, 60);
    settings.Start = start;
    settings.Calibration = calibration;
    const QString pdf = FDir.filePath(QStringLiteral("sheet.pdf"));
    TLabelRenderer renderer;
    renderer.SetLabelSize(0);
    QVERIFY(WriteLabelsPdf(pdf, {TPrintJob{RedDisc(), copies}}, settings, renderer).Ok());
    constexpr int Dpi = 100;
    const double pixel = MmPerInch / Dpi;
    const QImage page = Rasterise(pdf, Dpi);
    QVERIFY(!page.isNull());

    const TSheetLayout& layout = settings.Layout;
    for (int position = 1; position <= layout.Positions(); ++position) {
        // Scaled about the paper's top-left corner, then moved.
        const QPointF centre0 = layout.Centre(position);
        const QPointF expected(centre0.x() * calibration.ScaleX / 100 + calibration.OffsetX,
                               centre0.y() * calibration.ScaleY / 100 + calibration.OffsetY);
        // Up to halfway to the neighbours.
        const QSizeF half(layout.Dx * calibration.ScaleX / 200, layout.Dy * calibration.ScaleY / 200);
        const QRect window =
            QRectF(QPointF(expected.x() - half.width(), expected.y() - half.height()) / pixel, 2 * half / pixel).toRect();
        const TBlob blob = RedBlob(page, window);
        const bool printed = position >= start && position < start + copies;
        if (!printed) {
            QVERIFY2(blob.Count == 0, qPrintable(QStringLiteral("position %1 is not empty").arg(position)));
            continue;
        }
        const QPointF centre = blob.Centre * pixel;
        const QSizeF size = blob.Size * pixel;
        const QString where = QStringLiteral("position %1: centre (%2, %3) mm, expected (%4, %5); size %6 x %7 mm")
                                  .arg(position)
                                  .arg(centre.x())
                                  .arg(centre.y())
                                  .arg(expected.x())
                                  .arg(expected.y())
                                  .arg(size.width())
                                  .arg(size.height());
        QVERIFY2(std::abs(centre.x() - expected.x()) < pixel && std::abs(centre.y() - expected.y()) < pixel,
                 qPrintable(where));
        // Edge pixels that are not wholly red do not count.
        QVERIFY2(std::abs(size.width() - 60 * calibration.ScaleX / 100) < 3 * pixel
                     && std::abs(size.height() - 60 * calibration.ScaleY / 100) < 3 * pixel,
                 qPrintable(where));
    }
}

void TstPrint::pictures_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<double>("diameter");
    QTest::addColumn<bool>("middle");

    QTest::newRow("6 cm label at 60 mm") << 0 << 60.0 << false;
    QTest::newRow("10 cm label at 100 mm, with a middle picture") << 1 << 100.0 << true;
    QTest::newRow("10 cm label at 60 mm") << 1 << 60.0 << false;
    QTest::newRow("6 cm label at 100 mm: no finer than the label") << 0 << 100.0 << false;
}

// Twelve labels with the same photo embed it once, at 300 dpi of its
// printed size but never finer than the label's own raster; a middle
// picture with transparency adds one picture and its mask.
void TstPrint::pictures()
{
    QFETCH(int, sizeItem);
    QFETCH(double, diameter);
    QFETCH(bool, middle);
    TLabelDocument doc = PlainLabel();
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = FPhoto;
    doc.FLabelBg.Effect = 1;
    doc.FLabelBg.Trans = 30;
    doc.FLabelBg.UsePng = middle;
    doc.FLabelBg.PngFile = middle ? FMiddle : QString();
    doc.FLabelBg.PngWidth = 30;
    TLabelRenderer renderer;
    renderer.SetLabelSize(sizeItem);
    const QString pdf = FDir.filePath(QStringLiteral("photos.pdf"));
    TPrintSettings settings = Sheet(TPaper::A4, diameter);
    const int labels = settings.Layout.Positions();
    const TPrintResult result = WriteLabelsPdf(pdf, {TPrintJob{doc, labels}}, settings, renderer);
    QVERIFY2(result.Ok() && result.Warnings.isEmpty(), qPrintable(PrintErrorText(result.Error)));

    // pdfimages lists an image for every time a page shows it, its mask
    // under the image's own object.
    const QList<TEmbeddedImage> images = PdfImages(pdf);
    QCOMPARE(images.size(), labels * (middle ? 3 : 1));
    QCOMPARE(Objects(images).size(), middle ? 2 : 1);
    const int expected = std::min(renderer.LabelWidth(), int(std::ceil(diameter / MmPerInch * 300 - 1e-9)));
    const TEmbeddedImage& photo = images.first();
    QCOMPARE(photo.Type, QStringLiteral("image"));
    QCOMPARE(photo.Width, expected);
    QCOMPARE(photo.Height, expected);
}

void TstPrint::renderPdf_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");  // in the test folder; "below-file/" puts it under a file
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");  // on stderr; for success: "<pages> <page size>"

    QTest::newRow("one label per page, each copy") << QStringList{"--size", "6", "--copies", "2"} << "a.pdf" << 0
                                                   << "2 170 x 170 pts";
    QTest::newRow("a sheet from position 11") << QStringList{"--sheet", "a4", "--diameter", "60", "--start", "11"}
                                              << "b.pdf" << 0 << "1 595 x 842 pts (A4)";
    QTest::newRow("two labels, three copies each, on Letter")
        << QStringList{"--sheet", "letter", "--size", "6", "--copies", "3", "--offset", "-1.5,2", "--scale",
                       "99,101", "@second"}
        << "c.pdf" << 0 << "1 612 x 792 pts (letter)";
    QTest::newRow("diameter under 20 mm") << QStringList{"--diameter", "19"} << "d.pdf" << 2
                                          << "--diameter must be from 20 to 300 mm, not 19";
    QTest::newRow("no copies") << QStringList{"--copies", "0"} << "d.pdf" << 2
                               << "--copies must be a whole number from 1 to 9999, not \"0\"";
    QTest::newRow("start without a sheet") << QStringList{"--start", "2"} << "d.pdf" << 2 << "--start goes with --sheet";
    QTest::newRow("start beyond the sheet") << QStringList{"--sheet", "a4", "--diameter", "60", "--start", "13"}
                                            << "d.pdf" << 2 << "--start must be from 1 to 12";
    QTest::newRow("a sheet that fits no label") << QStringList{"--sheet", "a4", "--diameter", "250"} << "d.pdf" << 2
                                                << "no label of 250 mm fits on A4 paper";
    QTest::newRow("offset of one number") << QStringList{"--offset", "3"} << "d.pdf" << 2
                                          << "--offset must be two numbers of mm as X,Y, not \"3\"";
    QTest::newRow("scale with a semicolon") << QStringList{"--scale", "100;100"} << "d.pdf" << 2
                                            << "--scale must be two percentages as SX,SY";
    QTest::newRow("a sheet for a JPEG") << QStringList{"--sheet", "a4"} << "d.jpg" << 2 << "--sheet goes with a PDF output";
    QTest::newRow("a diameter for a PNG") << QStringList{"--diameter", "80"} << "d.png" << 2
                                          << "--diameter goes with a PDF output";
    QTest::newRow("a print shop's label page") << QStringList{"--size", "6", "--bleed", "3", "--crop-marks"}
                                               << "e.pdf" << 0 << "1 221.102 x 221.102 pts";
    QTest::newRow("bleed over 5 mm") << QStringList{"--bleed", "5.5"} << "d.pdf" << 2
                                     << "--bleed must be from 0 to 5 mm, not 5.5";
    QTest::newRow("bleed not a number") << QStringList{"--bleed", "3mm"} << "d.pdf" << 2
                                        << "--bleed must be a number of mm, not \"3mm\"";
    QTest::newRow("bleed for a JPEG") << QStringList{"--bleed", "2"} << "d.jpg" << 2 << "--bleed goes with a PDF output";
    QTest::newRow("bleed wider than half the gap") << QStringList{"--sheet", "a4", "--size", "6", "--bleed", "2"}
                                                   << "d.pdf" << 2 << "wider than half the gap between the labels, 1.50 mm";
    QTest::newRow("crop marks on a sheet") << QStringList{"--sheet", "a4", "--crop-marks"} << "d.pdf" << 2
                                           << "--crop-marks goes with a page for each label";
    QTest::newRow("die line with a calibration") << QStringList{"--cut-contour", "--scale", "99,101"} << "d.pdf" << 2
                                                 << "leave out --scale";
    QTest::newRow("crop marks with an offset") << QStringList{"--crop-marks", "--offset", "1,0"} << "d.pdf" << 2
                                               << "leave out --offset";
    QTest::newRow("a PDF that cannot be written") << QStringList{"--sheet", "a4"} << "below-file/d.pdf" << 1
                                                  << "Unable to write to";
    QTest::newRow("a label that cannot be read: nothing written")
        << QStringList{"--sheet", "a4", "@missing"} << "d.pdf" << 1 << "not written, a label could not be read";
}

void TstPrint::renderPdf()
{
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString folder = FDir.filePath(QStringLiteral("render-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
    QVERIFY(QDir().mkpath(folder));
    const QString label = folder + QStringLiteral("/label.lbl");
    QVERIFY(WriteFile(label, "[Name]\nText=Gouda\n[Back]\nUseColor=1\nColor=clYellow\n[Ring1]\nUse=1\n"));
    QVERIFY(WriteFile(folder + QStringLiteral("/below-file"), "x"));
    QStringList arguments;
    QStringList labels = {label};
    for (const QString& option : options) {
        if (option == QLatin1String("@second"))
            labels << label;
        else if (option == QLatin1String("@missing"))
            labels << folder + QStringLiteral("/missing.lbl");
        else
            arguments << option;
    }
    const QString path = output.isEmpty() ? QString() : folder + QLatin1Char('/') + output;
    arguments << labels;
    if (!path.isEmpty())
        arguments << path;
    const Run run = Execute(QStringLiteral(MEROVIK_RENDER_BIN), arguments);
    QVERIFY2(run.ExitCode == exitCode, qPrintable(run.Err));
    if (exitCode != 0) {
        QVERIFY2(run.Err.contains(message), qPrintable(run.Err));
        if (!path.isEmpty())
            QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);  // the label, below-file
        return;
    }
    QVERIFY2(!run.Err.contains(QStringLiteral("merovik-render:")), qPrintable(run.Err));
    QCOMPARE(QStringLiteral("%1 %2").arg(PdfInfo(path, QStringLiteral("Pages")), PdfInfo(path, QStringLiteral("Page size"))),
             message);
    QCOMPARE(PdfInfo(path, QStringLiteral("Title")), QStringLiteral("Gouda"));
}


namespace {

void WriteText(const QString& aPath, const QByteArray& aText)
{
    QDir().mkpath(QFileInfo(aPath).absolutePath());
    QFile file(aPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(aText);
}

// The centres of a grid as the catalogue gives it: the first label's square
// at (aX0, aY0), radius aR.
QList<QPointF> GridCentres(int aColumns, int aRows, double aX0, double aY0, double aDx, double aDy, double aR)
{
    QList<QPointF> centres;
    for (int row = 0; row < aRows; ++row)
        for (int column = 0; column < aColumns; ++column)
            centres << QPointF(aX0 + aR + column * aDx, aY0 + aR + row * aDy);
    return centres;
}

}  // namespace

// Units, equivalent parts, several grids, bad values, other shapes, a file
// that is not XML and a user's file replacing the catalogue's product.
void TstPrint::catalogueFiles()
{
    const QString system = FDir.filePath(QStringLiteral("catalogue/system"));
    const QString user = FDir.filePath(QStringLiteral("catalogue/user"));
    WriteText(system + QStringLiteral("/paper-sizes.xml"),
              R"(<Glabels-paper-sizes><Paper-size id="A4" _name="A4" width="210mm" height="297mm"/>
                 <Paper-size id="A5" _name="A5" width="148mm" height="210mm"/></Glabels-paper-sizes>)");
    WriteText(system + QStringLiteral("/kaas-templates.xml"), R"(<?xml version="1.0"?>
<Glabels-templates xmlns="http://glabels.org/xmlns/3.0/">
  <Template brand="Kaas" part="R60" size="A4" _description="Rond">
    <Label-round id="0" radius="3cm" waste="1mm"><Layout nx="3" ny="4" x0="8mm" y0="18mm" dx="67mm" dy="67mm"/></Label-round>
  </Template>
  <Template brand="Kaas" part="R60-B" equiv="R60"/>
  <Template brand="Kaas" part="Twee" size="Other" width="8.5in" height="11in" description="Twee roosters">
    <Label-round id="0" radius="2.75in"><Layout nx="1" ny="1" x0="0.25in" y0="0.25in"/>
      <Layout nx="1" ny="1" x0="2.75in" y0="5.25in" dx="5.5in" dy="5.5in"/></Label-round>
  </Template>
  <Template brand="Kaas" part="Punten" size="A5"><Label-round radius="36pt"><Layout nx="1" ny="1" x0="6pc" y0="72"/></Label-round></Template>
  <Template brand="Kaas" part="Leeg" size="A4"><Label-round radius="30mm"><Layout nx="3" ny="4" x0="" y0="18mm" dx="67mm" dy="67mm"/></Label-round></Template>
  <Template brand="Kaas" part="Hoek" size="A4"><Label-rectangle width="30mm" height="20mm"><Layout nx="1" ny="1" x0="0" y0="0"/></Label-rectangle></Template>
  <Template brand="Kaas" part="Klein" size="A4"><Label-round radius="5mm"><Layout nx="1" ny="1" x0="0" y0="0"/></Label-round></Template>
</Glabels-templates>)");
    WriteText(system + QStringLiteral("/kapot-templates.xml"), "dit is geen XML <Template");
    WriteText(user + QStringLiteral("/eigen.template"), R"(<Template brand="kaas" part="r60" size="A4" _description="Eigen">
    <Label-round radius="29mm"><Layout nx="2" ny="2" x0="10mm" y0="10mm" dx="70mm" dy="70mm"/></Label-round></Template>)");

    const TLabelCatalogue catalogue = ReadCatalogue({{system}, {user}});
    QCOMPARE(catalogue.Warnings.size(), 1);
    QVERIFY(catalogue.Warnings.first().File.endsWith(QStringLiteral("kapot-templates.xml")));
    QStringList names;
    for (const TLabelProduct& product : catalogue.Products)
        names << product.Name();
    // "Leeg" has a bad value, "Hoek" is no circle.
    QCOMPARE(names, (QStringList{"Kaas Klein", "Kaas Punten", "kaas r60", "Kaas Twee"}));

    const TLabelProduct* own = catalogue.Find(QStringLiteral("KAAS   R60-b"));
    QVERIFY(own);
    QVERIFY(own->User);
    QCOMPARE(own->Equivalents, QStringList{"R60-B"});
    QCOMPARE(own->DieCut(), 58.0);
    QCOMPARE(own->Layout.Positions(), 4);
    QCOMPARE(own->Layout.Centre(4), QPointF(109, 109));

    const TLabelProduct* two = catalogue.Find(QStringLiteral("kaas twee"));
    QVERIFY(two);
    QCOMPARE(two->Layout.Paper, TPaper::Other);
    QVERIFY(std::abs(two->Layout.PaperSize().width() - 215.9) < 1e-9);
    QCOMPARE(two->Layout.Positions(), 2);
    QVERIFY((two->Layout.Centre(2) - QPointF(5.5 * 25.4, 8 * 25.4)).manhattanLength() < 1e-9);
    QVERIFY(CheckLayout(two->Layout).IsNone());

    const TLabelProduct* points = catalogue.Find(QStringLiteral("Kaas Punten"));
    QVERIFY(points);
    QCOMPARE(points->PaperName, QStringLiteral("A5"));
    // 36 pt radius, 6 pc and 72 pt to the square: the centre at 1.5 in, 1.5 in.
    QVERIFY((points->Layout.Centre(1) - QPointF(38.1, 38.1)).manhattanLength() < 1e-9);

    const TLabelProduct* small = catalogue.Find(QStringLiteral("Kaas Klein"));
    QVERIFY(small && !small->Offered());
    QCOMPARE(catalogue.ByDiameter(60).size(), 3);
    QCOMPARE(catalogue.Suggestions(QStringLiteral("Kaas Twe")).first(), QStringLiteral("Kaas Twee"));
    QVERIFY(!catalogue.Find(QStringLiteral("Kaas Leeg")));
}

void TstPrint::productCentres_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<double>("diameter");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<QPointF>>("centres");  // the die-cuts' centres by the catalogue's numbers, in mm

    constexpr double In = 25.4;
    const QList<QPointF> gb3020 = GridCentres(3, 4, 8, 18, 67, 67, 30);
    QTest::newRow("Hisago GB3020, a full sheet") << "Hisago GB3020" << 60.0 << 12 << 1 << gb3020;
    QTest::newRow("Hisago GB3020, 50 mm centred, five from position 6") << "Hisago GB3020" << 50.0 << 5 << 6 << gb3020;
    QTest::newRow("Rayfilm 6060K, typed in lower case")
        << "rayfilm 6060k" << 60.0 << 12 << 1 << GridCentres(3, 4, 9, 13.5, 66, 70, 30);
    QTest::newRow("Avery 5194 in inches")
        << "Avery 5194" << 63.5 << 12 << 1 << GridCentres(3, 4, 0.21 * In, 0.425 * In, 2.75 * In, 2.515 * In, 1.25 * In);
    // Smaller than the die-cut, so that the diagonal labels keep out of each other's square.
    QTest::newRow("Online Labels OL320: two offset grids, 100 mm")
        << "Online Labels OL320 (round)" << 100.0 << 2 << 1
        << (GridCentres(1, 1, 0.25 * In, 0.25 * In, 0, 0, 2.75 * In) + GridCentres(1, 1, 2.75 * In, 5.25 * In, 0, 0, 2.75 * In));
}

// Each label lands on its die-cut centre of a real product of the installed
// catalogue, within a pixel of 0.254 mm; the positions left free stay white.
void TstPrint::productCentres()
{
    QFETCH(QString, product);
    QFETCH(double, diameter);
    QFETCH(int, copies);
    QFETCH(int, start);
    QFETCH(QList<QPointF>, centres);
    const TLabelCatalogue& catalogue = InstalledCatalogue();
    const TLabelProduct* found = catalogue.Find(product);
    if (!found)
        QSKIP("the label catalogue is not installed");
    TPrintSettings settings;
    settings.Layout = found->Layout;
    settings.Layout.Diameter = diameter;
    settings.Start = start;
    QCOMPARE(settings.Layout.Positions(), int(centres.size()));
    const QString pdf = FDir.filePath(QStringLiteral("product.pdf"));
    TLabelRenderer renderer;
    renderer.SetLabelSize(0);
    QVERIFY(WriteLabelsPdf(pdf, {TPrintJob{RedDisc(), copies}}, settings, renderer).Ok());
    constexpr int Dpi = 100;
    const double pixel = MmPerInch / Dpi;
    const QImage page = Rasterise(pdf, Dpi);
    QVERIFY(!page.isNull());
    for (int position = 1; position <= centres.size(); ++position) {
        const QPointF expected = centres[position - 1];
        const double half = diameter / 2 + 1;
        const QRect window = QRectF((expected - QPointF(half, half)) / pixel, QSizeF(2 * half, 2 * half) / pixel).toRect();
        const TBlob blob = RedBlob(page, window);
        if (position < start || position >= start + copies) {
            QVERIFY2(blob.Count == 0, qPrintable(QStringLiteral("position %1 is not empty").arg(position)));
            continue;
        }
        const QPointF centre = blob.Centre * pixel;
        const QString where = QStringLiteral("position %1: centre (%2, %3) mm, die-cut (%4, %5), size %6 mm")
                                  .arg(position)
                                  .arg(centre.x())
                                  .arg(centre.y())
                                  .arg(expected.x())
                                  .arg(expected.y())
                                  .arg(blob.Size.width() * pixel);
        QVERIFY2(std::abs(centre.x() - expected.x()) < pixel && std::abs(centre.y() - expected.y()) < pixel,
                 qPrintable(where));
        QVERIFY2(std::abs(blob.Size.width() * pixel - diameter) < 3 * pixel, qPrintable(where));
    }
}

// A print shop's PDF: the page boxes, the die line alone in its spot
// colour, the background reaching past the cut by the bleed with the photo
// continued, and inside the trim the label as without bleed.
void TstPrint::printShopPdf_data()
{
    QTest::addColumn<TPrintSettings>("settings");
    QTest::addColumn<int>("copies");

    TPrintSettings label = Sheet(TPaper::Label, 60);
    label.Shop = {3, true, true};
    QTest::newRow("one label, 3 mm bleed, die line, crop marks") << label << 1;
    TPrintSettings sheet = Sheet(TPaper::A4, 60);
    sheet.Shop = {1.5, true, false};
    QTest::newRow("A4 sheet, 1.5 mm bleed, die lines") << sheet << 12;
    TPrintSettings product;
    product.Layout = OffsetGrids(44, 46);
    product.Shop = {2, true, false};
    QTest::newRow("A4 product, printed inside its die-cut, 2 mm bleed, die lines") << product << 13;
}

void TstPrint::printShopPdf()
{
    QFETCH(TPrintSettings, settings);
    QFETCH(int, copies);
    if (QStandardPaths::findExecutable(QStringLiteral("gs")).isEmpty())
        QSKIP("ghostscript is not installed (scripts/install-deps.sh installs it)");
    // Left half red, right half blue: the label shows the red half, the
    // bleed on its right the blue one, on its left the red edge repeated.
    QImage halves(1200, 600, QImage::Format_RGB32);
    halves.fill(qRgb(220, 0, 0));
    for (int y = 0; y < halves.height(); ++y)
        std::fill_n(reinterpret_cast<QRgb*>(halves.scanLine(y)) + 600, 600, qRgb(0, 0, 220));
    const QString photo = SavedImage(FDir, QStringLiteral("halves.png"), halves);
    TLabelDocument doc = PlainLabel();
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = photo;
    const QList<TPrintJob> jobs{TPrintJob{doc, copies}};
    const QString pdf = FDir.filePath(QStringLiteral("shop.pdf"));
    const QString plain = FDir.filePath(QStringLiteral("shop-today.pdf"));
    TLabelRenderer renderer;
    renderer.SetLabelSize(0);
    const TPrintResult result = WriteLabelsPdf(pdf, jobs, settings, renderer);
    QVERIFY2(result.Ok(), qPrintable(PrintErrorText(result.Error)));
    TPrintSettings today = settings;
    today.Shop = {};
    QVERIFY(WriteLabelsPdf(plain, jobs, today, renderer).Ok());

    // The photo still embedded once, the fonts still embedded.
    QCOMPARE(Objects(PdfImages(pdf)).size(), 1);
    const QStringList fonts = Execute(QStringLiteral("pdffonts"), {pdf}).Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString& font : fonts) {
        const QStringList fields = font.simplified().split(QLatin1Char(' '));
        QVERIFY2(fields.size() >= 8 && fields[fields.size() - 5] == QLatin1String("yes"), qPrintable(font));
    }

    const TSheetLayout& layout = settings.Layout;
    const double d = layout.Diameter;
    const double cutDiameter = CutDiameter(layout);
    const double bleed = settings.Shop.Bleed;
    const bool onePerPage = layout.Paper == TPaper::Label;
    // Layout mm to the page's mm: a label's page is centred on its MediaBox.
    QPointF origin;
    const QRectF media = PdfBox(pdf, QStringLiteral("MediaBox"));
    if (onePerPage) {
        const QSizeF page = PrintPaperSize(settings);
        QVERIFY2(std::abs(media.width() - page.width()) <= 0.1 && std::abs(media.height() - page.height()) <= 0.1,
                 qPrintable(QStringLiteral("%1 x %2 mm").arg(media.width()).arg(media.height())));
        const QRectF trim = PdfBox(pdf, QStringLiteral("TrimBox"));
        QVERIFY(Near(trim, QRectF(media.center() - QPointF(d / 2, d / 2), QSizeF(d, d)), 0.1));
        QVERIFY(Near(PdfBox(pdf, QStringLiteral("BleedBox")), trim.adjusted(-bleed, -bleed, bleed, bleed), 0.1));
        origin = QPointF(page.width() - d, page.height() - d) / 2;
    } else {
        // Boxes belong to pages of one label only.
        QCOMPARE(PdfBox(pdf, QStringLiteral("TrimBox")), media);
    }

    constexpr int Dpi = 300;
    const auto px = [](double aMm) { return aMm * Dpi / 25.4; };
    const auto at = [&](const QPointF& aMm) { return QPoint(int(std::floor(px(aMm.x()))), int(std::floor(px(aMm.y())))); };
    const QHash<QString, QImage> inks = Separations(pdf, Dpi);
    QVERIFY2(inks.contains(QStringLiteral("CutContour")), qPrintable(inks.keys().join(' ')));
    const QImage cut = inks.value(QStringLiteral("CutContour"));
    const int positions = onePerPage ? 1 : layout.Positions();
    QList<QPointF> centres;
    for (int position = 1; position <= positions; ++position)
        centres << origin + layout.Centre(position);
    // Every inked pixel of CutContour lies on a die line, and each die line
    // is whole: inked at its four extreme points.
    int stray = 0;
    for (int y = 0; y < cut.height(); ++y) {
        for (int x = 0; x < cut.width(); ++x) {
            if (!Inked(cut, {x, y}))
                continue;
            const QPointF mm((x + 0.5) * 25.4 / Dpi, (y + 0.5) * 25.4 / Dpi);
            bool onLine = false;
            for (const QPointF& c : centres)
                onLine = onLine || std::abs(std::hypot(mm.x() - c.x(), mm.y() - c.y()) - cutDiameter / 2) < 0.25;
            stray += onLine ? 0 : 1;
        }
    }
    QCOMPARE(stray, 0);
    for (const QPointF& c : centres) {
        for (const QPointF& arm : {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)}) {
            bool found = false;
            for (int step = -3; step <= 3 && !found; ++step)
                found = Inked(cut, at(c + arm * (cutDiameter / 2)) + QPoint(int(arm.x()) * step, int(arm.y()) * step));
            QVERIFY2(found, qPrintable(QStringLiteral("no die line at (%1, %2) + (%3, %4) r").arg(c.x()).arg(c.y())
                                           .arg(arm.x()).arg(arm.y())));
        }
    }
    if (settings.Shop.CropMarks) {
        // A crop mark in all four process inks, none of it in CutContour.
        const QPoint mark = at(origin + QPointF(-(bleed + 3), 0));
        for (const char* ink : {"Cyan", "Magenta", "Yellow", "Black"})
            QVERIFY2(Inked(inks.value(QLatin1String(ink)), mark), ink);
        QVERIFY(!Inked(cut, mark));
    }

    // The background reaches D/2 + bleed, the photo continued: red on the
    // left (its edge repeated), blue on the right (its own next pixels).
    const QImage page = Rasterise(pdf, Dpi);
    const QPointF first = centres.first();
    const auto colour = [&](double aDx, double aDy) { return page.pixel(at(first + QPointF(aDx, aDy))); };
    const double reach = cutDiameter / 2 + bleed;
    QVERIFY(IsRed(colour(-(reach - 0.25), 0)));
    QVERIFY(IsRed(colour(0, -(reach - 0.25))));
    QCOMPARE(colour(-(reach + 0.3), 0), qRgb(255, 255, 255));
    QCOMPARE(colour(0, -(reach + 0.3)), qRgb(255, 255, 255));
    const QRgb right = colour(reach - 0.25, 0);
    QVERIFY2(qBlue(right) > 150 && qRed(right) < 80, qPrintable(QString::number(right, 16)));

    // Inside the trim's circle the page is drawn as without bleed.
    const QImage before = Rasterise(plain, Dpi);
    QPointF beforeOrigin;
    if (onePerPage)
        beforeOrigin = QPointF(before.width(), before.height()) * 25.4 / Dpi / 2 - QPointF(d / 2, d / 2);
    const QPointF beforeCentre = beforeOrigin + layout.Centre(1);
    double difference = 0;
    int compared = 0;
    const int radius = int(px(d / 2 - 0.5));
    for (int dy = -radius; dy <= radius; dy += 2) {
        for (int dx = -radius; dx <= radius; dx += 2) {
            if (dx * dx + dy * dy > radius * radius)
                continue;
            const QRgb a = page.pixel(at(first) + QPoint(dx, dy));
            const QRgb b = before.pixel(at(beforeCentre) + QPoint(dx, dy));
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
            ++compared;
        }
    }
    QVERIFY2(difference / compared / 3 < 3, qPrintable(QString::number(difference / compared / 3)));
}

QTEST_MAIN(TstPrint)
#include "tst_print.moc"

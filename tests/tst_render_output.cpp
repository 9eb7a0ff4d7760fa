// The picture writers (full chroma, 300 dpi in the file, atomic writes) and
// merovik-render end to end.
#include "render/raster_writer.h"
#include "tst_render_support.h"

#include <QImageReader>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>

namespace {

// One-pixel squares of red and blue: what chroma subsampling smears.
QImage Checkers()
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(220, 20, 20) : qRgb(20, 20, 220));
    return image;
}

QStringList Entries(const QString& aFolder)
{
    return QDir(aFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

struct Run { int ExitCode; QString Out, Err; };

// Without a platform, a display or a runtime folder set, as on a headless
// machine or from cron.
Run Render(const QStringList& aArguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
        environment.remove(QString::fromLatin1(name));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(MEROVIK_RENDER_BIN), aArguments);
    const bool finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {finished ? process.exitCode() : -1, QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// Yellow background, a maroon outer ring, nothing else.
const char* const LabelText = "[Back]\nUseColor=1\nColor=clYellow\n[Ring1]\nUse=1\nColor=clMaroon\n"
                              "[Ring2]\nUse=0\n[Ring3]\nUse=0\n[Ring4]\nUse=0\n";

QString WriteLabel(const QString& aPath, const QByteArray& aText = LabelText)
{
    QDir().mkpath(QFileInfo(aPath).path());
    return WriteFile(aPath, aText) ? aPath : QString();
}

}  // namespace

class TstRenderOutput : public QObject
{
    Q_OBJECT

private slots:
    void jpegFullChromaAt300Dpi_data();
    void jpegFullChromaAt300Dpi();
    void pngExactAt300Dpi_data();
    void pngExactAt300Dpi();
    void failedWriteKeepsFiles_data();
    void failedWriteKeepsFiles();
    void rendersOneLabel_data();
    void rendersOneLabel();
    void batchIntoFolder();
    void picturesBesideTheLabel();
    void mergeFromTable();
    void mergeRowWithDamagedPicture();
    void quality();
    void failures_data();
    void failures();
    void thumbnail_data();
    void thumbnail();

private:
    QTemporaryDir FDir;
};

void TstRenderOutput::jpegFullChromaAt300Dpi_data()
{
    QTest::addColumn<QImage::Format>("source");
    QTest::newRow("24-bit copy, as the editor exports") << QImage::Format_RGB888;
    QTest::newRow("RGB32 raster, as merovik-render writes") << QImage::Format_RGB32;
}

void TstRenderOutput::jpegFullChromaAt300Dpi()
{
    QFETCH(QImage::Format, source);
    const QImage image = Checkers().convertToFormat(source);  // 72 dpi: the writer sets 300
    const QString path = FDir.filePath(QStringLiteral("written.jpg"));
    QCOMPARE(FileProblemText(WriteJpeg(image, path, 98)), QString());
    QCOMPARE(EncodeRaster(image, QStringLiteral("jpg"), 98).Bytes, ReadAll(path));
    // A JFIF header giving 300 x 300 dots per inch.
    const QByteArray bytes = ReadAll(path);
    QCOMPARE(bytes.mid(6, 5), QByteArray("JFIF\0", 5));
    QCOMPARE(bytes.mid(13, 5), QByteArray("\x01\x01\x2C\x01\x2C", 5));
    // Full chroma (4:4:4): every one-pixel square keeps its own colour.
    const QImage written(path);
    QCOMPARE(written.size(), image.size());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            VERIFY_PIXEL(written, x, y, image.pixel(x, y), 24);
}

void TstRenderOutput::pngExactAt300Dpi_data()
{
    QTest::addColumn<QImage>("image");
    QTest::newRow("RGB32 raster, as a batch writes it") << Noise(QSize(61, 37));
    QTest::newRow("24-bit copy, as the editor exports") << Noise(QSize(61, 37)).convertToFormat(QImage::Format_RGB888);
    QImage translucent = Noise(QSize(40, 30)).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < translucent.height(); ++y)
        for (int x = 0; x < translucent.width(); ++x)
            translucent.setPixel(x, y, (translucent.pixel(x, y) & 0x00FFFFFFu) | (uint((x * 7 + y) % 256) << 24));
    QTest::newRow("alpha kept") << translucent;
    QTest::newRow("premultiplied alpha") << translucent.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Lossless whatever the speed setting: every pixel reads back as written.
void TstRenderOutput::pngExactAt300Dpi()
{
    QFETCH(QImage, image);
    const QString path = FDir.filePath(QStringLiteral("written.png"));
    QCOMPARE(FileProblemText(WritePng(image, path)), QString());
    // Encoded in memory by a worker, the same bytes.
    QCOMPARE(EncodeRaster(image, QStringLiteral("png"), 98).Bytes, ReadAll(path));
    const QImage written(path);
    QCOMPARE(written.size(), image.size());
    QCOMPARE(written.hasAlphaChannel(), image.hasAlphaChannel());
    QCOMPARE(written.dotsPerMeterX(), 11811);
    QCOMPARE(written.dotsPerMeterY(), 11811);
    const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
    const QImage actual = written.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("(%1, %2): %3, expected %4").arg(x).arg(y)
                                     .arg(actual.pixel(x, y), 8, 16).arg(expected.pixel(x, y), 8, 16)));
}

void TstRenderOutput::failedWriteKeepsFiles_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("where");
    QTest::newRow("jpg below a file") << "jpg" << "below-file";
    QTest::newRow("png over a folder") << "png" << "folder";
    QTest::newRow("jpg of an empty picture") << "jpg" << "empty";
    QTest::newRow("bmp is refused") << "bmp" << "earlier";
    QTest::newRow("jpg cut short, as by a full disk") << "jpg" << "limit";
}

// The message names the file; the folder and any earlier file stay as they
// were, without a temporary file left beside them.
void TstRenderOutput::failedWriteKeepsFiles()
{
    QFETCH(QString, format);
    QFETCH(QString, where);
    const QString folder = FDir.filePath(where);
    QVERIFY(QDir().mkpath(folder));
    QString path = folder + QStringLiteral("/label.") + format;
    QImage image = Checkers();
    if (where == QLatin1String("below-file")) {
        QVERIFY(WriteFile(folder + QStringLiteral("/file"), {}));
        path = folder + QStringLiteral("/file/label.") + format;
    } else if (where == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (where == QLatin1String("empty")) {
        image = QImage();
    } else {
        QCOMPARE(FileProblemText(WriteJpeg(image, path)), QString());  // an earlier picture
    }
    const QStringList before = Entries(folder);
    const QByteArray old = ReadAll(path);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    if (where == QLatin1String("limit")) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{std::min<rlim_t>(8192, saved.rlim_max), saved.rlim_max};
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        image = Noise(QSize(300, 300));  // far above the limit as JPEG
    }
    const QString message = FileProblemText(WriteRaster(image, path, format, 98));
    QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);
    QVERIFY2(message.startsWith(QStringLiteral("Unable to write to ") + path), qPrintable(message));
    QCOMPARE(Entries(folder), before);
    QCOMPARE(ReadAll(path), old);
}

void TstRenderOutput::rendersOneLabel_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("width");
    // "colour": ring 1's colour unreadable; "sections": a text without the
    // label's sections. Either gives a warning, and ring 1 the default black.
    QTest::addColumn<QString>("problem");
    QTest::newRow("default size as JPEG") << QStringList() << "label.jpg" << 1200 << "";
    QTest::newRow("6 cm as PNG") << QStringList{"--size", "6"} << "label.png" << 750 << "";
    QTest::newRow("14 cm as .jpeg") << QStringList{"--size", "14"} << "label.jpeg" << 1650 << "";
    QTest::newRow("extension in capitals") << QStringList{"--size", "10"} << "LABEL.JPG" << 1200 << "";
    QTest::newRow("unreadable colour") << QStringList() << "badcolour.png" << 1200 << "colour";
    QTest::newRow("text without the label's sections") << QStringList() << "sections.png" << 1200 << "sections";
}

void TstRenderOutput::rendersOneLabel()
{
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(int, width);
    QFETCH(QString, problem);
    QByteArray text = LabelText;
    if (problem == QLatin1String("colour"))
        text.replace("clMaroon", "mauve");
    else if (problem == QLatin1String("sections"))
        text = "Gouda, belegen\n";
    const QString out = FDir.filePath(output);
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("one.lbl")), text);
    const Run run = Render(options + QStringList{label, out});
    QCOMPARE(run.ExitCode, 0);
    // Its own messages only: none of Qt's notices about the missing runtime folder.
    const QString warning = QStringLiteral("merovik-render: warning: %1: ").arg(label);
    if (problem.isEmpty())
        QCOMPARE(run.Err, QString());
    else if (problem == QLatin1String("colour"))
        QCOMPARE(run.Err, warning + QStringLiteral("[Ring1] Color: ''mauve'' is not a valid integer value\n"));
    else
        QVERIFY2(run.Err.startsWith(warning) && run.Err.contains(QLatin1String("none of the label's sections"))
                     && run.Err.count(QLatin1Char('\n')) == 1,
                 qPrintable(run.Err));
    QImageReader reader(out);
    QCOMPARE(reader.format(), output.endsWith(QLatin1String("png")) ? QByteArray("png") : QByteArray("jpeg"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(width, width));
    QVERIFY(!image.hasAlphaChannel());
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(image.dotsPerMeterY() * 0.0254), 300);
    VERIFY_PIXEL(image, width / 2, width / 2, qRgb(255, 255, 0), 4);
    VERIFY_PIXEL(image, width - 1 - 15 * width / 1200, width / 2, problem.isEmpty() ? qRgb(128, 0, 0) : qRgb(0, 0, 0), 6);
    VERIFY_PIXEL(image, 0, 0, White, 4);
}

// Every label goes into the folder as <name>.<format>; a missing label or a
// second label of the same name fails without stopping the others.
void TstRenderOutput::batchIntoFolder()
{
    const QString first = WriteLabel(FDir.filePath(QStringLiteral("batch/first.lbl")));
    const QString second = WriteLabel(FDir.filePath(QStringLiteral("batch/more/second.lbl")));
    const QString missing = FDir.filePath(QStringLiteral("batch/missing.lbl"));
    const QString sameName = WriteLabel(FDir.filePath(QStringLiteral("batch/other/first.lbl")),
                                        QByteArray("[Back]\nUseColor=1\nColor=clBlue\n"));
    const QString out = FDir.filePath(QStringLiteral("batch-out/new"));
    const Run run = Render({"--size", "6", "--format", "png", "--out-dir", out, first, missing, sameName, second});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains(missing) && run.Err.contains(sameName), qPrintable(run.Err));
    QCOMPARE(Entries(out), QStringList({QStringLiteral("first.png"), QStringLiteral("second.png")}));
    const QImage image(QDir(out).filePath(QStringLiteral("first.png")));
    QCOMPARE(image.size(), QSize(750, 750));
    VERIFY_PIXEL(image, 375, 375, qRgb(255, 255, 0), 4);  // not overwritten by the other "first"

    const Run jpegs = Render({"--out-dir", out, second});
    QVERIFY2(jpegs.ExitCode == 0, qPrintable(jpegs.Err));
    QCOMPARE(QImage(QDir(out).filePath(QStringLiteral("second.jpg"))).size(), QSize(1200, 1200));
}

// Relative picture paths are found beside the label, wherever it is run
// from; a picture that cannot be used is named on stderr, and the label is
// rendered all the same.
void TstRenderOutput::picturesBesideTheLabel()
{
    const QString folder = FDir.filePath(QStringLiteral("beside"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Solid(QSize(300, 300), qRgb(0, 160, 0)).save(QDir(folder).filePath(QStringLiteral("photo.png"))));
    QVERIFY(WriteFile(QDir(folder).filePath(QStringLiteral("broken.png")), QByteArray("\x89PNG\r\n\x1a\n", 8)));
    const QString label = WriteLabel(QDir(folder).filePath(QStringLiteral("label.lbl")),
                                     "[Back]\nUseColor=0\nFileName=photo.png\nUsePng=1\nPngFile=broken.png\n");
    QVERIFY(QDir::currentPath() != folder);
    const QString out = FDir.filePath(QStringLiteral("beside.png"));
    const Run run = Render({"--size", "6", label, out});
    QCOMPARE(run.ExitCode, 0);
    QVERIFY2(run.Err.contains(QStringLiteral("warning: %1: middle picture \"broken.png\": damaged").arg(label)),
             qPrintable(run.Err));
    VERIFY_PIXEL(QImage(out), 375, 375, qRgb(0, 160, 0), 4);
}

// A table gives one picture per row, named by its File column or numbered,
// on several threads; or all its rows' labels, with their copies, in a PDF.
void TstRenderOutput::mergeFromTable()
{
    const QString design = WriteLabel(FDir.filePath(QStringLiteral("merge/Gouda_10.lbl")));
    const QString table = FDir.filePath(QStringLiteral("merge/rows.csv"));
    QVERIFY(WriteFile(table, "Naam kaas;File;Copies\r\nJong;;2\r\nBelegen;belegen;1\r\nOud;;3\r\n"));
    const QString out = FDir.filePath(QStringLiteral("merge/out"));
    // More threads than twice the cores are cut to that, with a note.
    const int jobs = 2 * QThread::idealThreadCount() + 1;
    const Run pictures = Render({"--size", "6", "--jobs", QString::number(jobs), "--merge", table, "--out-dir", out, design});
    QCOMPARE(pictures.ExitCode, 0);
    QCOMPARE(pictures.Err, QStringLiteral("merovik-render: note: rendering on %1 threads, twice the cores; more would "
                                          "take memory without finishing sooner\n")
                               .arg(jobs - 1));
    QCOMPARE(Entries(out), QStringList({"belegen.jpg", "Gouda_10-001.jpg", "Gouda_10-003.jpg"}));
    QCOMPARE(QImage(QDir(out).filePath(QStringLiteral("belegen.jpg"))).size(), QSize(750, 750));

    const QString pdf = FDir.filePath(QStringLiteral("merge/rows.pdf"));
    const Run sheets = Render({"--size", "6", "--merge", table, "--sheet", "a4", "--start", "11", design, pdf});
    QVERIFY2(sheets.ExitCode == 0 && sheets.Err.isEmpty(), qPrintable(sheets.Err));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY(info.waitForFinished(30000));
    // Six labels from position 11 of twelve: two on the first sheet, four on the next.
    QVERIFY2(QString::fromLocal8Bit(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+2\\n")),
             "expected two pages");
}

// A picture a row names that cannot be drawn fails that row, never the
// label without it: the other pictures are written, a merged PDF is not (a
// label left out would shift the later ones). Every line on stderr is the
// program's own, none the picture library's.
void TstRenderOutput::mergeRowWithDamagedPicture()
{
    const QString folder = FDir.filePath(QStringLiteral("damaged"));
    const QString design = WriteLabel(QDir(folder).filePath(QStringLiteral("Gouda.lbl")));
    QVERIFY(WriteJpeg(Checkers(), QDir(folder).filePath(QStringLiteral("good.jpg"))).IsNone());
    const QByteArray photo = ReadAll(QDir(folder).filePath(QStringLiteral("good.jpg")));
    QVERIFY(WriteFile(QDir(folder).filePath(QStringLiteral("cut.jpg")), photo.left(photo.size() / 2)));
    const QString table = QDir(folder).filePath(QStringLiteral("rows.csv"));
    QVERIFY(WriteFile(table, "Name;FileName\nA;good.jpg\nB;cut.jpg\nC;good.jpg\nD;cut.jpg\n"));
    const QString message = QStringLiteral("merovik-render: %1, row 3: \"%2\" cannot be drawn (damaged)")
                                .arg(table, QDir(folder).filePath(QStringLiteral("cut.jpg")));
    const auto ownLines = [](const QString& aErr) {
        const QStringList lines = aErr.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return std::all_of(lines.begin(), lines.end(), [](const QString& aLine) { return aLine.startsWith("merovik-render: "); });
    };

    const QString out = QDir(folder).filePath(QStringLiteral("out"));
    const Run pictures = Render({"--size", "6", "--jobs", "2", "--merge", table, "--out-dir", out, design});
    QCOMPARE(pictures.ExitCode, 1);
    QVERIFY2(pictures.Err.contains(message) && pictures.Err.contains("row 5: ") && ownLines(pictures.Err),
             qPrintable(pictures.Err));
    QCOMPARE(Entries(out), QStringList({"Gouda-001.jpg", "Gouda-003.jpg"}));

    const QString pdf = QDir(folder).filePath(QStringLiteral("rows.pdf"));
    const Run sheets = Render({"--size", "6", "--merge", table, "--sheet", "a4", design, pdf});
    QCOMPARE(sheets.ExitCode, 1);
    QVERIFY2(sheets.Err.startsWith(message) && sheets.Err.count('\n') == 1, qPrintable(sheets.Err));
    QVERIFY(!QFileInfo::exists(pdf));
}

void TstRenderOutput::quality()
{
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("quality.lbl")));
    const QString low = FDir.filePath(QStringLiteral("low.jpg"));
    const QString high = FDir.filePath(QStringLiteral("high.jpg"));
    QCOMPARE(Render({"--quality", "5", label, low}).ExitCode, 0);
    QCOMPARE(Render({label, high}).ExitCode, 0);
    QVERIFY(QFileInfo(low).size() < QFileInfo(high).size());
}

void TstRenderOutput::failures_data()
{
    QTest::addColumn<QStringList>("arguments");  // %1 is a good label, %2 the test's folder, %3 a photo
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");  // on standard output for exit code 0, else on standard error
    const QString usage = QStringLiteral("Usage: merovik-render");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage;
    QTest::newRow("label file does not exist") << QStringList{"%2/none.lbl", "%2/none.jpg"} << 1 << "%2/none.lbl";
    QTest::newRow("label path is a folder") << QStringList{"%2", "%2/none.jpg"} << 1 << "%2: not a label file";
    QTest::newRow("photo given as the label") << QStringList{"%3", "%2/out.png"} << 1 << "Unable to read %3: not a label file";
    QTest::newRow("output below a file") << QStringList{"%1", "%1/label.jpg"} << 1 << "Unable to write to %1/label.jpg";
    QTest::newRow("label without output") << QStringList{"%1"} << 2 << usage;
    QTest::newRow("size in pixels") << QStringList{"--size", "1200", "%1", "a.jpg"} << 2 << usage;
    QTest::newRow("quality 101") << QStringList{"--quality", "101", "%1", "a.jpg"} << 2 << usage;
    QTest::newRow("output in an unknown format") << QStringList{"%1", "a.bmp"} << 2 << usage;
    QTest::newRow("unknown option") << QStringList{"--colour", "red", "%1", "a.jpg"} << 2 << usage;
    QTest::newRow("format without out-dir") << QStringList{"--format", "png", "%1", "a.png"} << 2 << usage;
    QTest::newRow("unknown format with out-dir") << QStringList{"--format", "gif", "--out-dir", "%2", "%1"} << 2 << usage;
    QTest::newRow("out-dir without labels") << QStringList{"--out-dir", "%2"} << 2 << usage;
    QTest::newRow("jobs 0") << QStringList{"--jobs", "0", "%1", "a.jpg"} << 2 << "--jobs must be a whole number";
    QTest::newRow("merge into one picture") << QStringList{"--merge", "%4", "%1", "a.jpg"} << 2 << usage;
    QTest::newRow("merge of two designs") << QStringList{"--merge", "%4", "--out-dir", "%2/m", "%1", "%1"} << 2 << usage;
    QTest::newRow("merge table with an unknown column")
        << QStringList{"--merge", "%4", "--out-dir", "%2/m", "%1"} << 2 << "%4, row 1, column A: unknown column \"Naam\"";
    QTest::newRow("merge table into a PDF, unknown column")
        << QStringList{"--merge", "%4", "%1", "%2/m.pdf"} << 2 << "unknown column \"Naam\"";
    QTest::newRow("merge rows naming one file")
        << QStringList{"--merge", "%5", "--out-dir", "%2/m", "%1"} << 2 << "is also row 2's";
    QTest::newRow("merge output that is the photo its rows read")
        << QStringList{"--merge", "%6", "--out-dir", "%2", "%1"} << 2
        << "%6, row 2, column C (File): the output file \"%2/photo.jpg\" is a file this run reads";
    QTest::newRow("merged PDF in the table's place")
        << QStringList{"--merge", "%7", "%1", "%7"} << 2 << "the output file \"%7\" is a file this run reads";
    QTest::newRow("merge copies times --copies past the limit, before any work")
        << QStringList{"--merge", "%7", "--copies", "101", "%1", "%2/m.pdf"} << 2
        << "the table gives 1000 labels, with --copies 101 that is 101000, more than the 100000";
    QTest::newRow("offset just past its range, quoted as given")
        << QStringList{"--offset", "20.0000001,0", "%1", "%2/o.pdf"} << 2 << "--offset X must be from -20 to 20 mm, not 20.0000001";
}

// Exit code 0 for help, 1 for a label that cannot be read or written, 2 for
// bad usage; a failure writes nothing.
void TstRenderOutput::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("good.lbl")));
    const QString photo = FDir.filePath(QStringLiteral("photo.jpg"));
    QCOMPARE(FileProblemText(WriteJpeg(Checkers(), photo)), QString());
    const QString unknownColumn = FDir.filePath(QStringLiteral("unknown.csv"));
    const QString sameFile = FDir.filePath(QStringLiteral("samefile.csv"));
    QVERIFY(WriteFile(unknownColumn, "Naam;Datum\nGouda;1 mei\n") && WriteFile(sameFile, "Name;File\nA;x\nB;X.jpg\n"));
    const QString overPhoto = FDir.filePath(QStringLiteral("overphoto.csv"));
    const QString thousand = FDir.filePath(QStringLiteral("thousand.pdf"));
    QVERIFY(WriteFile(overPhoto, "Name;FileName;File\nA;photo.jpg;photo\nB;photo.jpg;b\n")
            && WriteFile(thousand, "Copies\n1000\n"));
    const QByteArray photoBytes = ReadAll(photo);
    const auto fill = [&](const QString& aText) {
        return QString(aText).replace(QLatin1String("%1"), label).replace(QLatin1String("%2"), FDir.path())
            .replace(QLatin1String("%3"), photo).replace(QLatin1String("%4"), unknownColumn)
            .replace(QLatin1String("%5"), sameFile).replace(QLatin1String("%6"), overPhoto)
            .replace(QLatin1String("%7"), thousand);
    };
    for (QString& argument : arguments)
        argument = fill(argument);
    const QStringList before = Entries(FDir.path());
    const Run run = Render(arguments);
    QCOMPARE(run.ExitCode, exitCode);
    QVERIFY2((exitCode == 0 ? run.Out : run.Err).contains(fill(message)), qPrintable(run.Out + run.Err));
    QVERIFY(exitCode != 2 || run.Out.isEmpty());
    QCOMPARE(Entries(FDir.path()), before);
    QCOMPARE(ReadAll(label), QByteArray(LabelText));
    QCOMPARE(ReadAll(photo), photoBytes);
}

void TstRenderOutput::thumbnail_data()
{
    QTest::addColumn<QStringList>("arguments");  // %1 the label, %2 the test's folder, %3 a photo
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("size");  // of the thumbnail written for exit code 0
    QTest::addColumn<QString>("message");  // on standard error; none for exit code 0
    // As a file manager runs it: the output's name says nothing of the format.
    QTest::newRow("16 px") << QStringList{"--thumbnail", "16", "%1", "%2/thumb-16"} << 0 << 16 << "";
    QTest::newRow("1024 px, named .jpg") << QStringList{"--thumbnail", "1024", "%1", "%2/thumb.jpg"} << 0 << 1024 << "";
    QTest::newRow("pictures that are not there") << QStringList{"--thumbnail", "100", "%2/pictures.lbl", "%2/t.png"}
                                                 << 0 << 100 << "";
    QTest::newRow("photo given as the label") << QStringList{"--thumbnail", "128", "%3", "%2/t.png"} << 1 << 0
                                              << "%3: not a label file";
    QTest::newRow("no such label") << QStringList{"--thumbnail", "128", "%2/none.lbl", "%2/t.png"} << 1 << 0
                                   << "%2/none.lbl: no such label file";
    QTest::newRow("output below a file") << QStringList{"--thumbnail", "128", "%1", "%1/t.png"} << 1 << 0
                                         << "%1/t.png";
    for (const char* size : {"15", "1025", "64.5", "groot", ""})
        QTest::newRow(qPrintable(QStringLiteral("size \"%1\"").arg(QLatin1String(size))))
            << QStringList{"--thumbnail", size, "%1", "%2/t.png"} << 2 << 0 << "--thumbnail must be a whole number";
    QTest::newRow("with --size") << QStringList{"--thumbnail", "64", "--size", "6", "%1", "%2/t.png"} << 2 << 0
                                 << "--size does not go with --thumbnail";
    QTest::newRow("without output") << QStringList{"--thumbnail", "64", "%1"} << 2 << 0 << "one label file and one";
    QTest::newRow("output is the label") << QStringList{"--thumbnail", "64", "%1", "%2/./good.lbl"} << 2 << 0
                                         << "would replace the label file";
}

// Square, the label opaque in its circle and clear outside it; a label that
// cannot be read or a bad size writes nothing.
void TstRenderOutput::thumbnail()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(int, size);
    QFETCH(QString, message);
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("good.lbl")));
    QVERIFY(WriteLabel(FDir.filePath(QStringLiteral("pictures.lbl")),
                       QByteArray(LabelText) + "[Back]\nFileName=gone.jpg\nUsePng=1\nPngFile=gone.png\n")
                .size());
    const QString photo = FDir.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(WriteJpeg(Checkers(), photo).IsNone());
    const auto fill = [&](const QString& aText) {
        return QString(aText).replace(QLatin1String("%1"), label).replace(QLatin1String("%2"), FDir.path())
            .replace(QLatin1String("%3"), photo);
    };
    for (QString& argument : arguments)
        argument = fill(argument);
    const QStringList before = Entries(FDir.path());
    const Run run = Render(arguments);
    QCOMPARE(run.ExitCode, exitCode);
    if (exitCode != 0) {
        QVERIFY2(run.Err.contains(fill(message)), qPrintable(run.Err));
        QCOMPARE(Entries(FDir.path()), before);
        QCOMPARE(ReadAll(label), QByteArray(LabelText));
        return;
    }
    QCOMPARE(run.Err, QString());
    QImageReader reader(arguments.last());
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(size, size));
    const int last = size - 1;
    for (const QPoint outside : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last),
                                 QPoint(size / 10, size / 10), QPoint(last - size / 10, last - size / 10)})
        QCOMPARE(qAlpha(image.pixel(outside)), 0);
    VERIFY_PIXEL(image, size / 2, size / 2, qRgb(255, 255, 0), 4);
    for (const QPoint rim : {QPoint(size / 2, size / 10), QPoint(size / 10, size / 2)})
        QCOMPARE(qAlpha(image.pixel(rim)), 255);
}

QTEST_GUILESS_MAIN(TstRenderOutput)
#include "tst_render_output.moc"

// The picture writers (full chroma, 300 dpi in the file, atomic writes) and
// merovik-render end to end.
#include "render/raster_writer.h"
#include "tst_render_support.h"

#include <QImageReader>
#include <QProcess>
#include <QtTest>

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

int MaxError(const QImage& aA, const QImage& aB)
{
    int worst = 0;
    for (int y = 0; y < aA.height(); ++y)
        for (int x = 0; x < aA.width(); ++x) {
            const QRgb a = aA.pixel(x, y), b = aB.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    return worst;
}

QStringList Entries(const QString& aFolder)
{
    return QDir(aFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

struct Run
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

Run Render(const QStringList& aArguments, const QProcessEnvironment& aEnvironment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(aEnvironment);
    process.start(QStringLiteral(MEROVIK_RENDER_BIN), aArguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.ExitCode = process.exitCode();
    run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
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
    void writersAt300Dpi_data();
    void writersAt300Dpi();
    void failedWriteKeepsFiles_data();
    void failedWriteKeepsFiles();
    void rendersOneLabel_data();
    void rendersOneLabel();
    void batchIntoFolder();
    void unreadableColourIsAWarning();
    void quality();
    void failures_data();
    void failures();

private:
    QTemporaryDir FDir;
};

void TstRenderOutput::writersAt300Dpi_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QImage::Format>("source");
    QTest::newRow("JPEG of the RGB32 raster") << "jpg" << QImage::Format_RGB32;
    QTest::newRow("JPEG of the 24-bit export copy") << "jpg" << QImage::Format_RGB888;
    QTest::newRow("PNG of the RGB32 raster") << "png" << QImage::Format_RGB32;
    QTest::newRow("PNG of the 24-bit export copy") << "png" << QImage::Format_RGB888;
}

void TstRenderOutput::writersAt300Dpi()
{
    QFETCH(QString, format);
    QFETCH(QImage::Format, source);
    const QImage image = Checkers().convertToFormat(source);  // 72 dpi: the writer sets 300
    const QString path = FDir.filePath(QStringLiteral("written.") + format);
    QCOMPARE(WriteRaster(image, path, format, 98), QString());
    QImageReader reader(path);
    QCOMPARE(reader.format(), format == QLatin1String("jpg") ? QByteArray("jpeg") : QByteArray("png"));
    const QImage written = reader.read();
    QCOMPARE(written.size(), image.size());
    QVERIFY(!written.hasAlphaChannel());
    QCOMPARE(qRound(written.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(written.dotsPerMeterY() * 0.0254), 300);
    // Full chroma (4:4:4): every one-pixel square keeps its own colour.
    QVERIFY2(MaxError(written, image) < 24, qPrintable(QString::number(MaxError(written, image))));
    if (format == QLatin1String("jpg")) {  // a JFIF header: 300 x 300 dots per inch
        const QByteArray bytes = ReadAll(path);
        QCOMPARE(bytes.mid(6, 5), QByteArray("JFIF\0", 5));
        QCOMPARE(bytes.mid(13, 5), QByteArray("\x01\x01\x2C\x01\x2C", 5));
    }
}

void TstRenderOutput::failedWriteKeepsFiles_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("where");
    QTest::newRow("jpg below a file") << "jpg" << "below-file";
    QTest::newRow("png over a folder") << "png" << "folder";
    QTest::newRow("jpg of an empty picture") << "jpg" << "empty";
    QTest::newRow("png of an empty picture") << "png" << "empty";
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
        QCOMPARE(WriteJpeg(image, path), QString());  // an earlier picture
    }
    const QStringList before = Entries(folder);
    const QByteArray old = ReadAll(path);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    if (where == QLatin1String("limit")) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{8192, saved.rlim_max};
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        image = Noise(QSize(300, 300));  // far above the limit as JPEG
    }
    const QString message = WriteRaster(image, path, format, 98);
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
    QTest::addColumn<bool>("headless");  // no platform and no display set
    QTest::newRow("default size as JPEG") << QStringList() << "label.jpg" << 1200 << false;
    QTest::newRow("6 cm as PNG") << QStringList{"--size", "6"} << "label.png" << 750 << false;
    QTest::newRow("14 cm as .jpeg") << QStringList{"--size", "14"} << "label.jpeg" << 1650 << false;
    QTest::newRow("extension in capitals") << QStringList{"--size", "10"} << "LABEL.JPG" << 1200 << false;
    QTest::newRow("no platform or display set") << QStringList() << "headless.jpg" << 1200 << true;
}

void TstRenderOutput::rendersOneLabel()
{
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(int, width);
    QFETCH(bool, headless);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (headless)
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
    const QString out = FDir.filePath(output);
    const Run run = Render(options + QStringList{WriteLabel(FDir.filePath(QStringLiteral("one.lbl"))), out}, environment);
    QVERIFY2(run.ExitCode == 0 && !run.Err.contains(QLatin1String("merovik-render:")), qPrintable(run.Err));
    QImageReader reader(out);
    QCOMPARE(reader.format(), output.endsWith(QLatin1String("png")) ? QByteArray("png") : QByteArray("jpeg"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(width, width));
    QVERIFY(!image.hasAlphaChannel());
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(image.dotsPerMeterY() * 0.0254), 300);
    QVERIFY(Near(image.pixel(width / 2, width / 2), qRgb(255, 255, 0), 4));
    QVERIFY(Near(image.pixel(width / 2 + (width - 2) / 2 - 15 * width / 1200, width / 2), qRgb(128, 0, 0), 6));
    QVERIFY(Near(image.pixel(0, 0), White, 4));
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
    QVERIFY(Near(image.pixel(375, 375), qRgb(255, 255, 0), 4));  // not overwritten by the other "first"

    const Run jpegs = Render({"--out-dir", out, second});
    QVERIFY2(jpegs.ExitCode == 0, qPrintable(jpegs.Err));
    QCOMPARE(QImage(QDir(out).filePath(QStringLiteral("second.jpg"))).size(), QSize(1200, 1200));
}

// A colour that cannot be read is reported and takes the key's default.
void TstRenderOutput::unreadableColourIsAWarning()
{
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("badcolour.lbl")),
                                     QByteArray("[Back]\nUseColor=1\nColor=clYellow\n[Ring1]\nUse=1\nColor=mauve\n"));
    const QString out = FDir.filePath(QStringLiteral("badcolour.png"));
    const Run run = Render({label, out});
    QCOMPARE(run.ExitCode, 0);
    QVERIFY2(run.Err.contains(QLatin1String("warning")), qPrintable(run.Err));
    QVERIFY2(run.Err.contains(QLatin1String("''mauve'' is not a valid integer value")), qPrintable(run.Err));
    QVERIFY(Near(QImage(out).pixel(600 + 599 - 15, 600), qRgb(0, 0, 0), 4));  // clBlack, the default
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
    QTest::addColumn<QStringList>("arguments");  // %1 is a good label, %2 the test's folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");  // on standard output for exit code 0, else on standard error
    const QString usage = QStringLiteral("Usage: merovik-render");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage;
    QTest::newRow("label file does not exist") << QStringList{"%2/none.lbl", "%2/none.jpg"} << 1 << "%2/none.lbl";
    QTest::newRow("label path is a folder") << QStringList{"%2", "%2/none.jpg"} << 1 << "%2: not a label file";
    QTest::newRow("output below a file") << QStringList{"%1", "%1/label.jpg"} << 1 << "Unable to write to %1/label.jpg";
    QTest::newRow("label without output") << QStringList{"%1"} << 2 << usage;
    QTest::newRow("size in pixels") << QStringList{"--size", "1200", "%1", "a.jpg"} << 2 << usage;
    QTest::newRow("quality 101") << QStringList{"--quality", "101", "%1", "a.jpg"} << 2 << usage;
    QTest::newRow("quality not a number") << QStringList{"--quality", "high", "%1", "a.jpg"} << 2 << usage;
    QTest::newRow("output in an unknown format") << QStringList{"%1", "a.bmp"} << 2 << usage;
    QTest::newRow("unknown option") << QStringList{"--colour", "red", "%1", "a.jpg"} << 2 << usage;
    QTest::newRow("format without out-dir") << QStringList{"--format", "png", "%1", "a.png"} << 2 << usage;
    QTest::newRow("unknown format with out-dir") << QStringList{"--format", "gif", "--out-dir", "%2", "%1"} << 2 << usage;
    QTest::newRow("out-dir without labels") << QStringList{"--out-dir", "%2"} << 2 << usage;
}

// Exit code 0 for help, 1 for a label that cannot be read or written, 2 for
// bad usage; a failure writes nothing.
void TstRenderOutput::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("good.lbl")));
    const auto fill = [&](const QString& aText) {
        return QString(aText).replace(QLatin1String("%1"), label).replace(QLatin1String("%2"), FDir.path());
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
}

QTEST_GUILESS_MAIN(TstRenderOutput)
#include "tst_render_output.moc"

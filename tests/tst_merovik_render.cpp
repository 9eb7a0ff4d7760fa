// merovik-render end to end: sizes, formats, 300 dpi, exit codes, bad input.
#include "tst_render_support.h"

#include <QImageReader>
#include <QProcess>
#include <QtTest>

namespace {

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
const char* const LabelText = "[Back]\nUseColor=1\nColor=clYellow\n"
                              "[Ring1]\nUse=1\nColor=clMaroon\n"
                              "[Ring2]\nUse=0\n[Ring3]\nUse=0\n[Ring4]\nUse=0\n";

QString WriteLabel(const QString& aPath, const QByteArray& aText = LabelText)
{
    QDir().mkpath(QFileInfo(aPath).path());
    QFile file(aPath);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(aText);
    return aPath;
}

}  // namespace

class TstMerovikRender : public QObject
{
    Q_OBJECT

private slots:
    void rendersOneLabel_data();
    void rendersOneLabel();
    void batchIntoFolder();
    void batchGoesOnAfterMissingLabel();
    void batchRefusesSameOutputTwice();
    void unreadableColourIsAWarning();
    void labelErrors_data();
    void labelErrors();
    void unwritableOutput();
    void badUsage_data();
    void badUsage();
    void help();
    void worksWithoutPlatformSet();
    void quality();

private:
    QTemporaryDir FDir;
};

void TstMerovikRender::rendersOneLabel_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("width");
    QTest::newRow("default size as JPEG") << QStringList() << "label.jpg" << 1200;
    QTest::newRow("6 cm as PNG") << QStringList{"--size", "6"} << "label.png" << 750;
    QTest::newRow("14 cm as .jpeg") << QStringList{"--size", "14"} << "label.jpeg" << 1650;
    QTest::newRow("extension in capitals") << QStringList{"--size", "10"} << "LABEL.JPG" << 1200;
}

void TstMerovikRender::rendersOneLabel()
{
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(int, width);
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("one.lbl")));
    const QString out = FDir.filePath(output);
    QFile::remove(out);
    const Run run = Render(options + QStringList{label, out});
    QVERIFY2(run.ExitCode == 0, qPrintable(run.Err));
    QVERIFY2(run.Err.trimmed().isEmpty() || !run.Err.contains(QLatin1String("merovik-render:")), qPrintable(run.Err));

    QImageReader reader(out);
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(width, width));
    QVERIFY(!image.hasAlphaChannel());
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(image.dotsPerMeterY() * 0.0254), 300);
    QVERIFY(Near(image.pixel(width / 2, width / 2), qRgb(255, 255, 0), 4));
    const int band = width / 2 + (width - 2) / 2 - int(15 * width / 1200.0);
    QVERIFY(Near(image.pixel(band, width / 2), qRgb(128, 0, 0), 6));
    QVERIFY(Near(image.pixel(0, 0), qRgb(255, 255, 255), 4));
}

void TstMerovikRender::batchIntoFolder()
{
    const QString a = WriteLabel(FDir.filePath(QStringLiteral("batch/first.lbl")));
    const QString b = WriteLabel(FDir.filePath(QStringLiteral("batch/more/second.lbl")));
    const QString out = FDir.filePath(QStringLiteral("batch-out/new"));
    const Run run = Render({"--size", "6", "--format", "png", "--out-dir", out, a, b});
    QVERIFY2(run.ExitCode == 0, qPrintable(run.Err));
    for (const QString& name : {QStringLiteral("first.png"), QStringLiteral("second.png")}) {
        const QImage image(QDir(out).filePath(name));
        QCOMPARE(image.size(), QSize(750, 750));
    }

    const Run jpegs = Render({"--out-dir", out, a});
    QVERIFY2(jpegs.ExitCode == 0, qPrintable(jpegs.Err));
    QCOMPARE(QImage(QDir(out).filePath(QStringLiteral("first.jpg"))).size(), QSize(1200, 1200));
}

void TstMerovikRender::batchGoesOnAfterMissingLabel()
{
    const QString good = WriteLabel(FDir.filePath(QStringLiteral("goon/good.lbl")));
    const QString missing = FDir.filePath(QStringLiteral("goon/missing.lbl"));
    const QString later = WriteLabel(FDir.filePath(QStringLiteral("goon/later.lbl")));
    const QString out = FDir.filePath(QStringLiteral("goon-out"));
    const Run run = Render({"--out-dir", out, good, missing, later});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains(missing), qPrintable(run.Err));
    QVERIFY(QFileInfo::exists(QDir(out).filePath(QStringLiteral("good.jpg"))));
    QVERIFY(QFileInfo::exists(QDir(out).filePath(QStringLiteral("later.jpg"))));
    QVERIFY(!QFileInfo::exists(QDir(out).filePath(QStringLiteral("missing.jpg"))));
}

void TstMerovikRender::batchRefusesSameOutputTwice()
{
    const QString first = WriteLabel(FDir.filePath(QStringLiteral("twice/a/label.lbl")));
    const QString second = WriteLabel(FDir.filePath(QStringLiteral("twice/b/label.lbl")),
                                      QByteArray("[Back]\nUseColor=1\nColor=clBlue\n"));
    const QString out = FDir.filePath(QStringLiteral("twice-out"));
    const Run run = Render({"--out-dir", out, first, second});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains(second), qPrintable(run.Err));
    // The first label's picture was not overwritten by the second.
    const QImage image(QDir(out).filePath(QStringLiteral("label.jpg")));
    QVERIFY(Near(image.pixel(600, 600), qRgb(255, 255, 0), 4));
}

// A colour that cannot be read is reported and takes the key's default.
void TstMerovikRender::unreadableColourIsAWarning()
{
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("badcolour.lbl")),
                                     QByteArray("[Back]\nUseColor=1\nColor=clYellow\n[Ring1]\nUse=1\nColor=mauve\n"));
    const QString out = FDir.filePath(QStringLiteral("badcolour.png"));
    const Run run = Render({label, out});
    QCOMPARE(run.ExitCode, 0);
    QVERIFY2(run.Err.contains(QLatin1String("warning")), qPrintable(run.Err));
    QVERIFY2(run.Err.contains(QLatin1String("''mauve'' is not a valid integer value")), qPrintable(run.Err));
    const QImage image(out);
    QVERIFY(Near(image.pixel(600 + 599 - 15, 600), qRgb(0, 0, 0), 4));  // clBlack, the default
}

void TstMerovikRender::labelErrors_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("label file does not exist") << "missing";
    QTest::newRow("label path is a folder") << "folder";
}

void TstMerovikRender::labelErrors()
{
    QFETCH(QString, kind);
    QString label = FDir.filePath(QStringLiteral("nothing-here.lbl"));
    if (kind == QLatin1String("folder")) {
        label = FDir.filePath(QStringLiteral("a-folder.lbl"));
        QVERIFY(QDir().mkpath(label));
    }
    const QString out = FDir.filePath(QStringLiteral("never.jpg"));
    const Run run = Render({label, out});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains(label), qPrintable(run.Err));
    QVERIFY(!QFileInfo::exists(out));
}

void TstMerovikRender::unwritableOutput()
{
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("fine.lbl")));
    const QString blocker = FDir.filePath(QStringLiteral("plain-file"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString out = blocker + QStringLiteral("/label.jpg");
    const Run run = Render({label, out});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains(QStringLiteral("Unable to write to ") + out), qPrintable(run.Err));
    QCOMPARE(QFileInfo(blocker).size(), 0);
}

void TstMerovikRender::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("label without output") << QStringList{"a.lbl"};
    QTest::newRow("three files") << QStringList{"a.lbl", "b.jpg", "c.jpg"};
    QTest::newRow("size 7") << QStringList{"--size", "7", "a.lbl", "a.jpg"};
    QTest::newRow("size in pixels") << QStringList{"--size", "1200", "a.lbl", "a.jpg"};
    QTest::newRow("quality 0") << QStringList{"--quality", "0", "a.lbl", "a.jpg"};
    QTest::newRow("quality 101") << QStringList{"--quality", "101", "a.lbl", "a.jpg"};
    QTest::newRow("quality not a number") << QStringList{"--quality", "high", "a.lbl", "a.jpg"};
    QTest::newRow("size without value") << QStringList{"a.lbl", "a.jpg", "--size"};
    QTest::newRow("output in an unknown format") << QStringList{"a.lbl", "a.bmp"};
    QTest::newRow("output without extension") << QStringList{"a.lbl", "picture"};
    QTest::newRow("unknown option") << QStringList{"--colour", "red", "a.lbl", "a.jpg"};
    QTest::newRow("format without out-dir") << QStringList{"--format", "png", "a.lbl", "a.png"};
    QTest::newRow("unknown format with out-dir") << QStringList{"--format", "gif", "--out-dir", "x", "a.lbl"};
    QTest::newRow("out-dir without labels") << QStringList{"--out-dir", "x"};
}

void TstMerovikRender::badUsage()
{
    QFETCH(QStringList, arguments);
    const Run run = Render(arguments);
    QCOMPARE(run.ExitCode, 2);
    QVERIFY2(run.Err.contains(QLatin1String("Usage: merovik-render")), qPrintable(run.Err));
    QVERIFY(run.Out.isEmpty());
}

void TstMerovikRender::help()
{
    const Run run = Render({"--help"});
    QCOMPARE(run.ExitCode, 0);
    QVERIFY(run.Out.contains(QLatin1String("Usage: merovik-render")));
    QVERIFY(run.Out.contains(QLatin1String("--out-dir")));
    QVERIFY(!run.Err.contains(QLatin1String("Usage")));
}

// On a machine without a display and nothing set, it picks the offscreen platform.
void TstMerovikRender::worksWithoutPlatformSet()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("DISPLAY"),
                               QStringLiteral("WAYLAND_DISPLAY")})
        environment.remove(name);
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("headless.lbl")));
    const QString out = FDir.filePath(QStringLiteral("headless.jpg"));
    const Run run = Render({label, out}, environment);
    QVERIFY2(run.ExitCode == 0, qPrintable(run.Err));
    QCOMPARE(QImage(out).size(), QSize(1200, 1200));
}

void TstMerovikRender::quality()
{
    const QString label = WriteLabel(FDir.filePath(QStringLiteral("quality.lbl")));
    const QString low = FDir.filePath(QStringLiteral("low.jpg"));
    const QString high = FDir.filePath(QStringLiteral("high.jpg"));
    QCOMPARE(Render({"--quality", "5", label, low}).ExitCode, 0);
    QCOMPARE(Render({label, high}).ExitCode, 0);
    QVERIFY(QFileInfo(low).size() < QFileInfo(high).size());
}

QTEST_GUILESS_MAIN(TstMerovikRender)
#include "tst_merovik_render.moc"

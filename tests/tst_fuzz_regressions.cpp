// Replays the inputs of the fuzz targets through the same checks: the inputs
// that once failed them (tests/data/fuzz_regressions/<target>/) and the seed
// corpus (fuzz/corpus/<target>/), so that `make test` keeps them passing
// without a fuzzing build.
#include "fuzz/fuzz_checks.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>

namespace {

const QString TestData = QStringLiteral(MEROVIK_TEST_DATA);

// One data row per input file of aTarget.
void AddInputRows(const QString& aTarget)
{
    QTest::addColumn<QString>("path");
    const QStringList folders = {TestData + QStringLiteral("/fuzz_regressions/") + aTarget,
                                 TestData + QStringLiteral("/../../fuzz/corpus/") + aTarget};
    int rows = 0;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            const QString kind = folder.contains(QLatin1String("fuzz_regressions")) ? QStringLiteral("regression")
                                                                                    : QStringLiteral("seed");
            QTest::addRow("%s %s", qPrintable(kind), qPrintable(name)) << dir.filePath(name);
            ++rows;
        }
    }
    if (rows == 0)
        QTest::newRow("no inputs found") << QString();
}

QByteArray Input(const QString& aPath)
{
    QFile file(aPath);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(aPath));
    return file.readAll();
}

}  // namespace

class TstFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void iniFile_data() { AddInputRows(QStringLiteral("fuzz_ini_file")); }
    void iniFile();
    void colorText_data() { AddInputRows(QStringLiteral("fuzz_colors")); }
    void colorText();
    void labelRender_data() { AddInputRows(QStringLiteral("fuzz_label_render")); }
    void labelRender();
    void mergeTable_data() { AddInputRows(QStringLiteral("fuzz_merge_table")); }
    void mergeTable();
    void middlePictureWiderThanAnInt();

private:
    QTemporaryDir FDir;
    std::unique_ptr<MerovikFuzz::TFuzzPictures> FPictures;
    TLabelRenderer FRenderer;
};

void TstFuzzRegressions::initTestCase()
{
    QVERIFY(FDir.isValid());
    FPictures = std::make_unique<MerovikFuzz::TFuzzPictures>(FDir.path());
    // As the fuzz target draws: 750 px, one renderer for every input.
    FRenderer.SetLabelSize(0);
}

void TstFuzzRegressions::iniFile()
{
    QFETCH(QString, path);
    QVERIFY2(!path.isEmpty(), "no inputs for this target");
    const QString failure = MerovikFuzz::CheckIniRoundTrip(Input(path), FDir.path());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TstFuzzRegressions::colorText()
{
    QFETCH(QString, path);
    QVERIFY2(!path.isEmpty(), "no inputs for this target");
    const QString failure = MerovikFuzz::CheckColorText(Input(path));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TstFuzzRegressions::labelRender()
{
    QFETCH(QString, path);
    QVERIFY2(!path.isEmpty(), "no inputs for this target");
    const QString failure = MerovikFuzz::CheckLabelRender(Input(path), FDir.path(), *FPictures, FRenderer);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TstFuzzRegressions::mergeTable()
{
    QFETCH(QString, path);
    QVERIFY2(!path.isEmpty(), "no inputs for this target");
    const QString failure = MerovikFuzz::CheckMergeTable(Input(path), FDir.path());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

// What fuzz_label_render found: a middle picture whose hand-edited width
// makes it billions of pixels wide was reduced to one pixel, its size having
// overflowed an int. Its middle, under the raster's centre, is drawn.
void TstFuzzRegressions::middlePictureWiderThanAnInt()
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (int y = 3; y <= 4; ++y)
        for (int x = 3; x <= 4; ++x)
            picture.setPixel(x, y, qRgb(0, 255, 0));
    const QString path = FDir.filePath(QStringLiteral("centre.png"));
    QVERIFY(picture.save(path, "PNG"));
    TLabelDocument doc;
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = path;
    doc.FLabelBg.PngWidth = INT32_MAX;
    doc.FLabelBg.PngPosX = 0;
    doc.FLabelBg.PngPosY = 0;
    FRenderer.DrawLabel(doc);
    const QRgb centre = FRenderer.Raster().pixel(375, 375);
    QVERIFY2(qGreen(centre) > 200 && qRed(centre) < 50,
             qPrintable(QStringLiteral("rgb(%1, %2, %3)").arg(qRed(centre)).arg(qGreen(centre)).arg(qBlue(centre))));
}

QTEST_MAIN(TstFuzzRegressions)
#include "tst_fuzz_regressions.moc"

// Replays the inputs of the fuzz targets through the same checks: the inputs
// that once failed them (tests/data/fuzz_regressions/<target>/) and the seed
// corpus (fuzz/corpus/<target>/), so that `make test` keeps them passing
// without a fuzzing build.
#include "fuzz/fuzz_checks.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

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

QTEST_MAIN(TstFuzzRegressions)
#include "tst_fuzz_regressions.moc"

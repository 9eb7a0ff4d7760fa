// The toolbar commands: new label, load, save and delete label files, and the
// JPEG export, through the window's buttons and its dialog seam.
#include "editor/main_window.h"
#include "editor/radio_group.h"
#include "editor_fixture.h"
#include "kit/color_selector.h"

#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtEndian>
#include <QtTest>
#include <cmath>

namespace {

// What the export's file says about itself.
struct TJpegFacts
{
    bool Valid = false;
    int DensityUnits = -1;  // 1: dots per inch
    int XDensity = 0;
    int YDensity = 0;
    QList<QByteArray> LuminanceTables;  // 64 bytes each, 8-bit tables only
    QByteArray Sampling;                // one byte per component, 0x11 = full resolution
};

TJpegFacts ReadJpegFacts(const QByteArray& aData)
{
    TJpegFacts facts;
    const auto byte = [&](qsizetype aAt) { return aAt < aData.size() ? quint8(aData[aAt]) : 0; };
    if (byte(0) != 0xFF || byte(1) != 0xD8)
        return facts;
    qsizetype at = 2;
    while (at + 4 <= aData.size() && byte(at) == 0xFF) {
        const int marker = byte(at + 1);
        const int length = byte(at + 2) << 8 | byte(at + 3);
        const qsizetype body = at + 4;
        if (marker == 0xE0 && aData.mid(body, 5) == QByteArray("JFIF\0", 5)) {
            facts.DensityUnits = byte(body + 7);
            facts.XDensity = byte(body + 8) << 8 | byte(body + 9);
            facts.YDensity = byte(body + 10) << 8 | byte(body + 11);
        } else if (marker == 0xDB) {
            for (qsizetype t = body; t < at + 2 + length;) {
                const bool wide = byte(t) >> 4;
                const int id = byte(t) & 0x0F;
                if (!wide && id == 0)
                    facts.LuminanceTables << aData.mid(t + 1, 64);
                t += 1 + (wide ? 128 : 64);
            }
        } else if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            const int components = byte(body + 5);
            for (int c = 0; c < components; ++c)
                facts.Sampling.append(char(byte(body + 6 + 3 * c + 1)));
        } else if (marker == 0xDA) {
            facts.Valid = true;
            break;
        }
        at += 2 + length;
    }
    return facts;
}

// The quality whose scaled standard luminance table (the one libjpeg and
// most encoders use) is closest to aTable.
int EstimateQuality(const QByteArray& aTable)
{
    static const int Standard[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                     14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                     18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                     49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    int observed = 0;
    for (char value : aTable)
        observed += quint8(value);
    int best = -1;
    int bestError = INT_MAX;
    for (int quality = 1; quality <= 100; ++quality) {
        const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
        int sum = 0;
        for (int value : Standard)
            sum += std::clamp((value * scale + 50) / 100, 1, 255);
        if (std::abs(sum - observed) < bestError) {
            bestError = std::abs(sum - observed);
            best = quality;
        }
    }
    return best;
}

double MeanDifference(const QImage& aA, const QImage& aB)
{
    const QImage a = aA.convertToFormat(QImage::Format_RGB32);
    const QImage b = aB.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qRed(ra[x]) - qRed(rb[x])) + std::abs(qGreen(ra[x]) - qGreen(rb[x]))
                   + std::abs(qBlue(ra[x]) - qBlue(rb[x]));
    }
    return sum / (3.0 * a.width() * a.height());
}

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TstLibrary : public QObject
{
    Q_OBJECT

private slots:
    void newLabelSetsValuesControlsAndDrawsOnce();
    void suggestedLabelNames_data();
    void suggestedLabelNames();
    void suggestedPictureNames_data();
    void suggestedPictureNames();
    void saveThenLoadRestoresEveryElement();
    void savingOverAFileKeepsHandAddedKeys();
    void failedSaveIsReportedAndKeepsTheOldFile();
    void loadingAMissingFileGivesDefaults();
    void deleteAsksAndObeys_data();
    void deleteAsksAndObeys();
    void failedDeleteIsReported_data();
    void failedDeleteIsReported();
    void exportWritesTheFullRaster_data();
    void exportWritesTheFullRaster();
    void exportReplacesAnEarlierPicture();
    void failedExportIsReported_data();
    void failedExportIsReported();
};

void TstLibrary::newLabelSetsValuesControlsAndDrawsOnce()
{
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar\nFontName=DejaVu Serif\nFontSize=55\nFontColor=255\n"
                    "[Back]\nEffect=2\nTrans=30\nPngWidth=40\nColor=clRed\n[Ring2]\nColor=clBlue\n");
    TFrmMain& w = f.Open();
    const TLabelDocument before = w.Document();
    const int draws = w.DrawCount();

    Click(w.btnNew);
    QCOMPARE(w.DrawCount(), draws + 1);
    QVERIFY(!w.Timer->isActive());
    QTest::qWait(500);
    QCOMPARE(w.DrawCount(), draws + 1);

    const TLabelDocument& doc = w.Document();
    QCOMPARE(doc.FLabelName.Text, QStringLiteral("Naam kaasmerk"));
    QCOMPARE(doc.FLabelType.Text, QStringLiteral("Type van de kaas"));
    QCOMPARE(doc.FLabelSub1.Text, QStringLiteral("plaats productie"));
    QCOMPARE(doc.FLabelSub2.Text, QStringLiteral("naam producent"));
    QCOMPARE(doc.FLabelDate.Text, QStringLiteral("datum"));
    QVERIFY(doc.FLabelBg.UseColor);
    QVERIFY(doc.FLabelBg.FileName.isEmpty());
    QCOMPARE(doc.FLabelBg.Color, 0x00FFFFFFu);
    for (int ring = 1; ring <= 4; ++ring)
        QVERIFY(!w.Document().RingByTag(ring)->Use);
    // Fonts, ring colours, effect, transparency and the middle picture stay.
    QCOMPARE(doc.FLabelName.FontName, QStringLiteral("DejaVu Serif"));
    QCOMPARE(doc.FLabelName.FontSize, 55);
    QCOMPARE(doc.FLabelName.FontColor, 0x000000FFu);
    QCOMPARE(doc.FLabelBg.Effect, 2);
    QCOMPARE(doc.FLabelBg.Trans, 30);
    QCOMPARE(doc.FLabelBg.PngWidth, before.FLabelBg.PngWidth);
    QCOMPARE(doc.FLabelRing2.Color, 0x00FF0000u);

    // The controls show the new label.
    QCOMPARE(w.edtName->text(), QStringLiteral("Naam kaasmerk"));
    QCOMPARE(w.edtDate->text(), QStringLiteral("datum"));
    QCOMPARE(w.rdgBgSelection->ItemIndex(), 1);
    QCOMPARE(w.colbBackground->SelectedColor(), 0x00FFFFFFu);
    QVERIFY(!w.chkbRing1->isChecked());
    QVERIFY(!w.chkbRing4->isChecked());

    // White inside the circle, no rings: the raster at the middle of a ring band is white.
    const QImage& raster = w.Renderer().FBmp;
    QCOMPARE(raster.pixel(raster.width() / 2, 30), qRgb(255, 255, 255));
}

void TstLibrary::suggestedLabelNames_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("name");
    QTest::newRow("asterisks and spaces kept, 10 cm")
        << "* * Proosdij Kaas * *" << 1 << "* * Proosdij Kaas * *_10.lbl";
    QTest::newRow("Gouda at 6 cm") << "Gouda" << 0 << "Gouda_6.lbl";
    QTest::newRow("14 cm") << "Edam" << 2 << "Edam_14.lbl";
    QTest::newRow("empty type") << "" << 1 << "_10.lbl";
    QTest::newRow("slash becomes dash") << "Jong/Belegen" << 0 << "Jong-Belegen_6.lbl";
}

void TstLibrary::suggestedLabelNames()
{
    QFETCH(QString, type);
    QFETCH(int, size);
    QFETCH(QString, name);
    QCOMPARE(SuggestedLabelName(type, size), name);

    TFixture f;
    TFrmMain& w = f.Open();
    w.edtType->setText(type);
    Click(w.rdgLabelSize->Item(size));
    Click(w.btnSaveLbl);  // cancelled: nothing is written
    QCOMPARE(f.Dialogs.SaveLabelRequests.size(), 1);
    QCOMPARE(f.Dialogs.SaveLabelRequests.first().FileName, name);
    QCOMPARE(f.Dialogs.SaveLabelRequests.first().Folder, f.Paths().LabelsFolder);
    QVERIFY(QFileInfo(f.Paths().LabelsFolder).isDir());
    QCOMPARE(QDir(f.Paths().LabelsFolder).entryList(QDir::Files), QStringList());
    // The text itself keeps its slash.
    QCOMPARE(w.Document().FLabelType.Text, type);
}

void TstLibrary::suggestedPictureNames_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("name");
    QTest::newRow("asterisks kept") << "* * Proosdij Kaas * *" << "* * Proosdij Kaas * *.jpg";
    QTest::newRow("empty type gives .jpg alone") << "" << ".jpg";
    QTest::newRow("slash becomes dash") << "48+/Extra belegen" << "48+-Extra belegen.jpg";
}

void TstLibrary::suggestedPictureNames()
{
    QFETCH(QString, type);
    QFETCH(QString, name);
    TFixture f;
    TFrmMain& w = f.Open();
    w.edtType->setText(type);
    Click(w.BtnSave);
    QCOMPARE(f.Dialogs.SavePictureRequests.size(), 1);
    QCOMPARE(f.Dialogs.SavePictureRequests.first().FileName, name);
    QCOMPARE(f.Dialogs.SavePictureRequests.first().Folder, f.Paths().LabelsFolder);
    QCOMPARE(QDir(f.Paths().LabelsFolder).entryList(QDir::Files), QStringList());
}

void TstLibrary::saveThenLoadRestoresEveryElement()
{
    TFixture f;
    const QString picture = f.Picture();
    f.WriteSettings(QByteArray("[Name]\nText=Velmar's Kaaskelder\nFontName=DejaVu Serif\nFontSize=64\nFontColor=6697728\n"
                               "[Type]\nText=* * Proosdij Kaas * *\n[Sub1]\nText=Huisgemaakt\nFontSize=44\n"
                               "[Sub2]\nText=door P. Orvelink\n[Date]\nText=15 sept. 2013\nFontColor=255\n"
                               "[Back]\nUseColor=0\nFileName=")
                    + picture.toUtf8() + "\nColor=$000080FF\nEffect=1\nTrans=40\nPngFile=" + picture.toUtf8()
                    + "\nUsePng=1\nBgPosX=12\nBgPosY=34\nPngPosX=-50\nPngPosY=70\nPngWidth=32\n"
                      "[Ring1]\nColor=clNavy\n[Ring2]\nUse=0\n[Ring3]\nColor=$00336699\n[Ring4]\nUse=0\nColor=clLime\n");
    TFrmMain& w = f.Open();
    QVERIFY(f.Dialogs.Errors.isEmpty());
    const TLabelDocument saved = w.Document();
    const QString file = QDir(f.Paths().LabelsFolder).filePath(QStringLiteral("Proosdij_10.lbl"));

    f.Dialogs.SaveLabelAnswers.push_back(file);
    const int draws = w.DrawCount();
    Click(w.btnSaveLbl);
    QVERIFY(QFile::exists(file));
    QCOMPARE(w.DrawCount(), draws);  // saving draws nothing

    Click(w.btnNew);
    QVERIFY(!Differences(w.Document(), saved).isEmpty());

    f.Dialogs.OpenLabelAnswers.push_back(file);
    Click(w.btnLoad);
    QCOMPARE(f.Dialogs.OpenLabelRequests.last().Folder, f.Paths().LabelsFolder);
    QCOMPARE(Differences(w.Document(), saved), QStringList());
    QCOMPARE(w.DrawCount(), draws + 2);
    QCOMPARE(w.edtName->text(), QStringLiteral("Velmar's Kaaskelder"));
    QCOMPARE(w.rdgBgSelection->ItemIndex(), 0);
    QVERIFY(w.chkMiddleImg->isChecked());
    QVERIFY(f.Dialogs.Errors.isEmpty());

    // Written again from the loaded state: the same bytes.
    const QByteArray first = ReadAll(file);
    const QString again = f.Dir.filePath(QStringLiteral("again.lbl"));
    f.Dialogs.SaveLabelAnswers.push_back(again);
    Click(w.btnSaveLbl);
    QCOMPARE(ReadAll(again), first);
}

void TstLibrary::savingOverAFileKeepsHandAddedKeys()
{
    TFixture f;
    TFrmMain& w = f.Open();
    const QString file = f.Dir.filePath(QStringLiteral("Gouda_6.lbl"));
    TFixture::WriteFile(file, "[Name]\nText=Oud\nNotitie=met de hand toegevoegd\n[Eigen]\nSleutel=1\n");
    w.edtName->setText(QStringLiteral("Nieuw"));
    f.Dialogs.SaveLabelAnswers.push_back(file);
    Click(w.btnSaveLbl);
    QVERIFY(f.Dialogs.Errors.isEmpty());  // no question, no message
    const QByteArray text = ReadAll(file);
    QVERIFY(text.contains("Notitie=met de hand toegevoegd"));
    QVERIFY(text.contains("[Eigen]"));
    QVERIFY(text.contains("Text=Nieuw"));
    QVERIFY(!text.contains("Text=Oud"));
}

void TstLibrary::failedSaveIsReportedAndKeepsTheOldFile()
{
    TFixture f;
    TFrmMain& w = f.Open();
    const QString blocker = f.Dir.filePath(QStringLiteral("blocker"));
    TFixture::WriteFile(blocker, "not a folder");
    const QString file = blocker + QStringLiteral("/Gouda_10.lbl");
    f.Dialogs.SaveLabelAnswers.push_back(file);
    Click(w.btnSaveLbl);
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    QVERIFY2(f.Dialogs.Errors.first().startsWith(QStringLiteral("Unable to write to ")), qPrintable(f.Dialogs.Errors.first()));
    QVERIFY(f.Dialogs.Errors.first().contains(QStringLiteral("Gouda_10.lbl")));
    QCOMPARE(ReadAll(blocker), QByteArray("not a folder"));
}

void TstLibrary::loadingAMissingFileGivesDefaults()
{
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar\n[Back]\nColor=clRed\n[Ring1]\nUse=0\nColor=clBlue\n");
    TFrmMain& w = f.Open();
    const int draws = w.DrawCount();
    const QString missing = QDir(f.Paths().LabelsFolder).filePath(QStringLiteral("bestaat niet.lbl"));
    f.Dialogs.OpenLabelAnswers.push_back(missing);
    Click(w.btnLoad);
    QCOMPARE(w.DrawCount(), draws + 1);
    QVERIFY(f.Dialogs.Errors.isEmpty());
    QVERIFY(w.edtName->text().isEmpty());
    QCOMPARE(w.Document().FLabelBg.Color, 0x0000FFFFu);
    QVERIFY(w.Document().FLabelBg.UseColor);
    for (int ring = 1; ring <= 4; ++ring) {
        QVERIFY(w.Document().RingByTag(ring)->Use);
        QCOMPARE(w.Document().RingByTag(ring)->Color, 0u);
    }
    // Reading creates no file.
    QVERIFY(!QFile::exists(missing));
}

void TstLibrary::deleteAsksAndObeys_data()
{
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("remains");
    QTest::newRow("Yes deletes") << true << true << false;
    QTest::newRow("No keeps") << true << false << true;
    QTest::newRow("cancelled dialog asks nothing") << false << true << true;
}

void TstLibrary::deleteAsksAndObeys()
{
    QFETCH(bool, chosen);
    QFETCH(bool, yes);
    QFETCH(bool, remains);

    TFixture f;
    TFrmMain& w = f.Open();
    QVERIFY(QDir().mkpath(f.Paths().LabelsFolder));
    const QString file = QDir(f.Paths().LabelsFolder).filePath(QStringLiteral("Gouda_6.lbl"));
    TFixture::WriteFile(file, "[Name]\nText=Gouda\n");
    // The label on screen came from that very file.
    w.HandleIniFile(file, false);
    const TLabelDocument shown = w.Document();
    const QImage raster = w.Renderer().FBmp.copy();
    const int draws = w.DrawCount();

    if (chosen)
        f.Dialogs.OpenLabelAnswers.push_back(file);
    f.Dialogs.ConfirmAnswers.push_back(yes);
    Click(w.btnDel);

    QCOMPARE(f.Dialogs.Questions, chosen ? QStringList{QStringLiteral("Wilt u \"Gouda_6.lbl\" verwijderen?")} : QStringList());
    QCOMPARE(QFile::exists(file), remains);
    QVERIFY(f.Dialogs.Errors.isEmpty());
    QCOMPARE(Differences(w.Document(), shown), QStringList());
    QCOMPARE(w.DrawCount(), draws);
    QCOMPARE(w.Renderer().FBmp, raster);
    QCOMPARE(w.edtName->text(), QStringLiteral("Gouda"));
}

void TstLibrary::failedDeleteIsReported_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");
    QTest::newRow("file already gone") << "weg.lbl" << false;
    QTest::newRow("a folder of that name") << "map.lbl" << true;
}

void TstLibrary::failedDeleteIsReported()
{
    QFETCH(QString, name);
    QFETCH(bool, folder);
    TFixture f;
    TFrmMain& w = f.Open();
    const QString path = f.Dir.filePath(name);
    if (folder)
        QVERIFY(QDir().mkpath(path));
    f.Dialogs.OpenLabelAnswers.push_back(path);
    f.Dialogs.ConfirmAnswers.push_back(true);
    Click(w.btnDel);
    QCOMPARE(f.Dialogs.Questions.size(), 1);
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    QVERIFY2(f.Dialogs.Errors.first().contains(name), qPrintable(f.Dialogs.Errors.first()));
    QCOMPARE(QFileInfo(path).isDir(), folder);
}

void TstLibrary::exportWritesTheFullRaster_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("width");
    QTest::newRow("6 cm") << 0 << 750;
    QTest::newRow("10 cm") << 1 << 1200;
    QTest::newRow("14 cm") << 2 << 1650;
}

void TstLibrary::exportWritesTheFullRaster()
{
    QFETCH(int, size);
    QFETCH(int, width);
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar's Kaaskelder\n[Type]\nText=Gouda\n[Back]\nColor=$0099E6FF\n"
                    "[Ring1]\nColor=$00336699\n");
    TFrmMain& w = f.Open();
    Click(w.rdgLabelSize->Item(size));
    const int draws = w.DrawCount();
    const QString file = QDir(f.Paths().LabelsFolder).filePath(QStringLiteral("Gouda.jpg"));
    f.Dialogs.SavePictureAnswers.push_back(file);
    Click(w.BtnSave);
    QVERIFY2(f.Dialogs.Errors.isEmpty(), qPrintable(f.Dialogs.Errors.join(QLatin1Char('\n'))));
    QCOMPARE(w.DrawCount(), draws);

    const QByteArray data = ReadAll(file);
    const TJpegFacts facts = ReadJpegFacts(data);
    QVERIFY(facts.Valid);
    QCOMPARE(facts.DensityUnits, 1);
    QCOMPARE(facts.XDensity, 300);
    QCOMPARE(facts.YDensity, 300);
    QCOMPARE(facts.Sampling, QByteArray("\x11\x11\x11"));
    QCOMPARE(facts.LuminanceTables.size(), 1);
    const int quality = EstimateQuality(facts.LuminanceTables.first());
    QVERIFY2(quality >= 96 && quality <= 100, qPrintable(QString::number(quality)));

    QImage picture;
    QVERIFY(picture.loadFromData(data, "JPEG"));
    QCOMPARE(picture.size(), QSize(width, width));
    // The corners outside the label circle are white.
    for (const QPoint corner : {QPoint(2, 2), QPoint(width - 3, 2), QPoint(2, width - 3), QPoint(width - 3, width - 3)}) {
        const QRgb pixel = picture.pixel(corner);
        QVERIFY2(qRed(pixel) >= 250 && qGreen(pixel) >= 250 && qBlue(pixel) >= 250, qPrintable(QString::number(pixel, 16)));
    }
    // The picture is the raster, at full resolution and near-lossless.
    const double difference = MeanDifference(picture, w.Renderer().FBmp);
    QVERIFY2(difference < 1.5, qPrintable(QString::number(difference)));
}

void TstLibrary::exportReplacesAnEarlierPicture()
{
    TFixture f;
    TFrmMain& w = f.Open();
    const QString file = f.Dir.filePath(QStringLiteral("label.jpg"));
    TFixture::WriteFile(file, "an older picture");
    f.Dialogs.SavePictureAnswers.push_back(file);
    Click(w.BtnSave);
    QVERIFY(f.Dialogs.Errors.isEmpty());
    QCOMPARE(QImageReader(file).size(), QSize(1200, 1200));
    QCOMPARE(QDir(f.Dir.path()).entryList({QStringLiteral("label*")}, QDir::Files), QStringList{QStringLiteral("label.jpg")});
}

void TstLibrary::failedExportIsReported_data()
{
    QTest::addColumn<QString>("target");  // relative to the temporary folder
    QTest::addColumn<bool>("makeFolder");
    QTest::newRow("under a regular file") << "blocker/label.jpg" << false;
    QTest::newRow("a folder of that name") << "label.jpg" << true;
}

void TstLibrary::failedExportIsReported()
{
    QFETCH(QString, target);
    QFETCH(bool, makeFolder);
    TFixture f;
    TFixture::WriteFile(f.Dir.filePath(QStringLiteral("blocker")), "a file");
    const QString path = f.Dir.filePath(target);
    if (makeFolder)
        QVERIFY(QDir().mkpath(path));
    TFrmMain& w = f.Open();
    f.Dialogs.SavePictureAnswers.push_back(path);
    Click(w.BtnSave);
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    QVERIFY2(f.Dialogs.Errors.first().contains(QStringLiteral("label.jpg")), qPrintable(f.Dialogs.Errors.first()));
    QCOMPARE(QFileInfo(path).isDir(), makeFolder);
    // Nothing half-written is left beside the target.
    const QStringList left = QDir(f.Dir.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, QStringList{QStringLiteral("blocker")});
}

QTEST_MAIN(TstLibrary)
#include "tst_library.moc"

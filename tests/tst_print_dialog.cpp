// The print dialog driven from the window through the dialog seam: what
// prints, what is refused, what is kept in the settings file; merge tables
// printed and exported as pictures.
#include "editor/print_dialog.h"
#include "editor/print_layout_box.h"
#include "editor/print_shop_box.h"
#include "editor/radio_group.h"
#include "editor_fixture.h"
#include "label/ini_file.h"
#include "print/label_catalogue.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

namespace {

QString PdfInfo(const QString& aPdf, const QString& aKey)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {aPdf});
    process.waitForFinished(60000);
    for (const QString& line : QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(aKey + QLatin1Char(':')))
            return line.mid(aKey.size() + 1).trimmed();
    }
    return {};
}

void Choose(QComboBox* aBox, const QString& aText)
{
    const int index = aBox->findText(aText);
    QVERIFY2(index >= 0, qPrintable(aText));
    aBox->setCurrentIndex(index);
}

// The section names of an INI file, in order.
QStringList Sections(const QString& aPath)
{
    QStringList sections;
    QFile file(aPath);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith('['))
                sections << QString::fromUtf8(line.trimmed());
        }
    }
    return sections;
}

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FilesIn(const QString& aFolder)
{
    return QDir(aFolder).entryList(QDir::Files, QDir::Name);
}

// The window at 6 cm showing the cheese "Gouda" of type "Jong/belegen"; the
// table dialog answers kazen.csv holding aTable, the folder dialog twice the
// empty folder aF.Dir/uit.
TFrmMain& OpenWithTable(TFixture& aF, const QByteArray& aTable)
{
    TFrmMain& w = aF.Open();
    Click(w.rdgLabelSize->Item(0));
    w.edtName->setText(QStringLiteral("Gouda"));
    w.edtType->setText(QStringLiteral("Jong/belegen"));
    const QString table = aF.Dir.filePath(QStringLiteral("kazen.csv"));
    TFixture::WriteFile(table, aTable);
    aF.Dialogs.OpenTableAnswers.push_back(table);
    const QString out = aF.Dir.filePath(QStringLiteral("uit"));
    QDir().mkpath(out);
    aF.Dialogs.FolderAnswers = {out, out};
    return w;
}

}  // namespace

class TstPrintDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void printsTheDesignOnScreen_data();
    void printsTheDesignOnScreen();
    void refusedLayoutPrintsNothing();
    void productPicker();
    void brokenProductFileIsSaid();
    void keptLayoutAndCalibrationComeBack();
    void tableInTheDialog_data();
    void tableInTheDialog();
    void exportWritesOnePicturePerRow_data();
    void exportWritesOnePicturePerRow();
    void unreadableCalibrationIsNeutralAndSaidOnce();
    void cancelledRunsStop_data();
    void cancelledRunsStop();
};

void TstPrintDialog::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("poppler-utils is not installed (scripts/install-deps.sh installs it)");
}

void TstPrintDialog::printsTheDesignOnScreen_data()
{
    QTest::addColumn<bool>("printer");  // else "Opslaan als PDF..."
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("copies");
    QTest::addColumn<bool>("calibrationPage");
    QTest::addColumn<QString>("pageSize");
    QTest::addColumn<int>("pages");

    QTest::newRow("printer: twelve on A4") << true << "A4, gewoon papier (zelf knippen)" << 12 << false << "595 x 842 pts (A4)" << 1;
    QTest::newRow("printer: one label per page, twice") << true << "Eén label per pagina" << 2 << false
                                                        << "170 x 170 pts" << 2;
    QTest::newRow("PDF: thirteen on Letter") << false << "Letter, gewoon papier (zelf knippen)" << 13 << false
                                             << "612 x 792 pts (letter)" << 2;
    QTest::newRow("PDF: the calibration page") << false << "A4, gewoon papier (zelf knippen)" << 1 << true << "595 x 842 pts (A4)" << 1;
}

// Ctrl+P while the last keys are still waiting for their redraw: the window
// draws them first, and the PDF carries the cheese name as typed.
void TstPrintDialog::printsTheDesignOnScreen()
{
    QFETCH(bool, printer);
    QFETCH(QString, layout);
    QFETCH(int, copies);
    QFETCH(bool, calibrationPage);
    QFETCH(QString, pageSize);
    QFETCH(int, pages);
    TFixture f;
    TFrmMain& w = f.Open();
    Click(w.rdgLabelSize->Item(0));
    QTest::keyClicks(w.edtName, QStringLiteral("Gouda"));
    QVERIFY(w.Timer->isActive());
    const int draws = w.DrawCount();
    const QString pdf = f.Dir.filePath(QStringLiteral("out.pdf"));
    (printer ? f.Dialogs.PrinterAnswers : f.Dialogs.SavePdfAnswers).push_back(pdf);
    bool drawnFirst = false;
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        drawnFirst = !w.Timer->isActive() && w.DrawCount() == draws + 1;
        Choose(aDlg.LayoutBox->cmbLayout, layout);
        aDlg.LayoutBox->speDiameter->setValue(60);
        aDlg.speCopies->setValue(copies);
        aDlg.chkCalibrationPage->setChecked(calibrationPage);
        QCOMPARE(aDlg.PageCount(), pages);
        QVERIFY(aDlg.btnPrint->isEnabled());
        Click(printer ? aDlg.btnPrint : aDlg.btnSavePdf);
    };
    QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(f.Dialogs.PrintDialogRuns, 1);
    QVERIFY(drawnFirst);
    QVERIFY2(f.Dialogs.Errors.isEmpty(), qPrintable(f.Dialogs.Errors.join('\n')));
    if (printer)
        QCOMPARE(f.Dialogs.PrinterRequests, QStringList{calibrationPage ? "Kalibratiepagina" : "Gouda"});
    else
        QCOMPARE(f.Dialogs.SavePdfRequests.size(), 1);
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Page size")), pageSize);
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Pages")), QString::number(pages));
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Title")), calibrationPage ? QStringLiteral("Kalibratiepagina") : QStringLiteral("Gouda"));
}

// A product found by typing, chosen from the list: its die-cut as the
// diameter and no more; a run moves the start on; without a printer the
// dialog points to the PDF; the product is remembered by brand and part.
void TstPrintDialog::productPicker()
{
    if (!InstalledCatalogue().Find(QStringLiteral("Hisago GB3020")))
        QSKIP("the label catalogue is not installed");
    TFixture f;
    TFrmMain& w = f.Open();
    Click(w.rdgLabelSize->Item(0));
    const QString pdf = f.Dir.filePath(QStringLiteral("product.pdf"));
    f.Dialogs.SavePdfAnswers.push_back(pdf);
    f.Dialogs.PrinterInstalled = false;
    TPrintPreferences kept;
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        QCOMPARE(aDlg.speCopies->value(), 1);
        aDlg.LayoutBox->edtSearch->setText(QStringLiteral("6060"));
        QCOMPARE(aDlg.LayoutBox->cmbLayout->currentText(), QStringLiteral("Rayfilm 6060K"));
        QCOMPARE(aDlg.Settings().Layout.DieCutDiameter, 60.0);
        // Nothing found: the choice stays and the box says so.
        aDlg.LayoutBox->edtSearch->setText(QStringLiteral("geen zulk etiket"));
        QCOMPARE(aDlg.LayoutBox->cmbLayout->currentText(), QStringLiteral("Rayfilm 6060K"));
        QVERIFY(!aDlg.LayoutBox->lblLayoutNote->text().isEmpty());
        aDlg.LayoutBox->edtSearch->clear();

        Choose(aDlg.LayoutBox->cmbLayout, QStringLiteral("Hisago GB3020"));
        QCOMPARE(aDlg.LayoutBox->speDiameter->value(), 60.0);
        QVERIFY(!aDlg.LayoutBox->speColumns->isEnabled());
        QCOMPARE(aDlg.Settings().Layout.Positions(), 12);
        aDlg.LayoutBox->speDiameter->setValue(61);
        QCOMPARE(aDlg.Problem().Kind, TPrintProblem::TKind::LargerThanDieCut);
        QVERIFY(!aDlg.btnPrint->isEnabled());
        aDlg.LayoutBox->speDiameter->setValue(55);
        QVERIFY(aDlg.Problem().IsNone());

        aDlg.speStart->setValue(11);
        aDlg.speCopies->setValue(3);
        QCOMPARE(aDlg.lblTotal->text(), QStringLiteral("= 3 labels"));
        Click(aDlg.btnPrint);
        QCOMPARE(f.Dialogs.Errors.size(), 1);
        QVERIFY2(f.Dialogs.Errors.first().contains(QStringLiteral("Opslaan als PDF...")), qPrintable(f.Dialogs.Errors.first()));
        QVERIFY(f.Dialogs.PrinterRequests.isEmpty());
        Click(aDlg.btnSavePdf);
        QVERIFY2(aDlg.lblRun->text().contains(QDir::toNativeSeparators(pdf)), qPrintable(aDlg.lblRun->text()));
        // Positions 11 and 12, then 1 of a new sheet: 2 is the next free one.
        QCOMPARE(aDlg.speStart->value(), 2);
        kept = aDlg.Preferences();
    };
    QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(f.Dialogs.PrintDialogRuns, 1);
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("2"));
    QCOMPARE(kept.ProductBrand, QStringLiteral("Hisago"));
    QCOMPARE(kept.ProductPart, QStringLiteral("GB3020"));
    QCOMPARE(kept.Start, 2);
}

// A product file that is not XML leaves its products out of the list: the
// layout box names the file and the line when it opens.
void TstPrintDialog::brokenProductFileIsSaid()
{
    TScriptedDialogs dialogs;
    TLabelCatalogue catalogue;
    catalogue.Warnings.append({QStringLiteral("/home/kaas/.glabels/eigen.template"), 12, QStringLiteral("Premature end")});
    const TPrintLayoutBox box(dialogs, TPrintPreferences(), 1, catalogue);
    const QString note = box.lblLayoutNote->text();
    QVERIFY2(note.contains(QStringLiteral("eigen.template")) && note.contains(QStringLiteral("regel 12"))
                 && !note.contains(QStringLiteral("Premature")),
             qPrintable(note));
}

// Labels closer than their diameter: the dialog says why, offers no
// printing, and an action started all the same shows the reason and asks
// for no file.
void TstPrintDialog::refusedLayoutPrintsNothing()
{
    TFixture f;
    TFrmMain& w = f.Open();
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        Choose(aDlg.LayoutBox->cmbLayout, QStringLiteral("Eigen indeling"));
        aDlg.LayoutBox->speDiameter->setValue(60);
        aDlg.LayoutBox->speColumns->setValue(3);
        aDlg.LayoutBox->speRows->setValue(1);
        aDlg.LayoutBox->speX0->setValue(40);
        aDlg.LayoutBox->speY0->setValue(40);
        aDlg.LayoutBox->speDx->setValue(55);
        const QString reason = QStringLiteral(
            "De labels overlappen: de afstand tussen de kolommen (55 mm) is kleiner dan de diameter (60 mm)");
        QCOMPARE(aDlg.lblMessage->text(), reason);
        QVERIFY(!aDlg.btnPrint->isEnabled() && !aDlg.btnSavePdf->isEnabled());
        aDlg.btnSavePdfClick();
        aDlg.btnPrintClick();
        QCOMPARE(f.Dialogs.Errors, QStringList({reason, reason}));
        // Nor can it be kept.
        aDlg.LayoutBox->edtLayoutName->setText(QStringLiteral("Te krap"));
        aDlg.LayoutBox->KeepLayout();
        QCOMPARE(f.Dialogs.Errors.last(), QStringLiteral("De indeling is niet bewaard. ") + reason);
        QCOMPARE(aDlg.LayoutBox->cmbLayout->findText(QStringLiteral("Te krap")), -1);
    };
    Click(w.btnPrint);
    QCOMPARE(f.Dialogs.PrintDialogRuns, 1);
    QVERIFY(f.Dialogs.SavePdfRequests.isEmpty() && f.Dialogs.PrinterRequests.isEmpty());
}

// A layout measured from a box of labels, kept under its name, and the
// calibration: in the settings file after the label's sections, and in the
// dialog again after a restart.
void TstPrintDialog::keptLayoutAndCalibrationComeBack()
{
    TFixture f;
    {
        TFrmMain& w = f.Open();
        f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
            Choose(aDlg.LayoutBox->cmbLayout, QStringLiteral("Eigen indeling"));
            Choose(aDlg.LayoutBox->cmbPaper, QStringLiteral("Letter"));
            aDlg.LayoutBox->speDiameter->setValue(51);
            aDlg.LayoutBox->speColumns->setValue(3);
            aDlg.LayoutBox->speRows->setValue(4);
            aDlg.LayoutBox->speX0->setValue(40.5);
            aDlg.LayoutBox->speY0->setValue(45);
            aDlg.LayoutBox->speDx->setValue(66.5);
            aDlg.LayoutBox->speDy->setValue(63.25);
            aDlg.LayoutBox->edtLayoutName->setText(QStringLiteral("Doos van 12"));
            Click(aDlg.LayoutBox->btnKeepLayout);
            QCOMPARE(aDlg.LayoutBox->cmbLayout->currentText(), QStringLiteral("Doos van 12"));
            aDlg.speStart->setValue(7);
            aDlg.speOffsetX->setValue(-1.5);
            aDlg.speScaleY->setValue(101.2);
            aDlg.grbPrintShop->speBleed->setValue(1.5);
            aDlg.grbPrintShop->chkCutContour->setChecked(true);
            // Crop marks belong to pages of one label.
            QVERIFY(!aDlg.grbPrintShop->chkCropMarks->isEnabled());
            Click(aDlg.btnClose);
        };
        Click(w.btnPrint);
        QVERIFY(w.close());
        f.Window.reset();
    }
    QVERIFY(f.Dialogs.Errors.isEmpty());
    const QStringList sections = Sections(f.Paths().SettingsFile);
    QCOMPARE(sections.size(), 11);
    QCOMPARE(sections.last(), QStringLiteral("[Print]"));

    TFrmMain& again = f.Open();
    bool checked = false;
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        QCOMPARE(aDlg.LayoutBox->cmbLayout->currentText(), QStringLiteral("Doos van 12"));
        const TPrintSettings settings = aDlg.Settings();
        QCOMPARE(settings.Layout.Paper, TPaper::Letter);
        QCOMPARE(settings.Layout.Diameter, 51.0);
        QCOMPARE(settings.Layout.Dy, 63.25);
        QCOMPARE(settings.Start, 7);
        QCOMPARE(settings.Calibration, (TCalibration{-1.5, 0, 100, 101.2}));
        // The bleed comes back; the die line is asked for each PDF anew.
        QCOMPARE(settings.Shop, (TPrintShop{1.5, false, false}));
        // Changing a kept layout's measurements makes them the user's own,
        // leaving the kept one as it was.
        aDlg.LayoutBox->speDx->setValue(70);
        QCOMPARE(aDlg.LayoutBox->cmbLayout->currentText(), QStringLiteral("Eigen indeling"));
        QCOMPARE(aDlg.Preferences().Layout(QStringLiteral("Doos van 12"))->Dx, 66.5);
        checked = true;
    };
    Click(again.btnPrint);
    QVERIFY(checked);
}

void TstPrintDialog::tableInTheDialog_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("said");  // the dialog's line about the table, or part of the refusal
    QTest::addColumn<int>("pages");     // twelve to an A4 sheet; 1 when refused

    QTest::newRow("semicolons, copies and a picture: its rows and labels")
        << QByteArray("Naam kaas;Copies;PngFile\r\nBoerenkaas;400;middle.png\r\nGeitenkaas;;\r\n")
        << "Tabel kazen.csv: 2 rijen, 401 labels" << 34;
    QTest::newRow("refused: an unknown column")
        << QByteArray("Naam kaas;Datum\nBoerenkaas;1 mei\n")
        << QStringLiteral("kolom B: onbekende kolom \u201cDatum\u201d\nDe kolommen zijn: Naam kaas (Name)") << 1;
    QTest::newRow("refused: a row longer than the first")
        << QByteArray("Naam kaas,Copies\nBoerenkaas,1\nGeitenkaas,2,3\n") << "rij 3, kolom C: de rij heeft 3 velden" << 1;
}

// A table picked in the dialog gives one label per row to the preview and
// the PDF, or, when it has errors, shows them and leaves the design to print
// as it was; "Zonder tabel" goes back to the design.
void TstPrintDialog::tableInTheDialog()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, said);
    QFETCH(int, pages);
    const bool merged = said.startsWith(QStringLiteral("Tabel "));
    TFixture f;
    f.Picture();
    TFrmMain& w = OpenWithTable(f, table);
    const QString pdf = f.Dir.filePath(QStringLiteral("kazen.pdf"));
    f.Dialogs.SavePdfAnswers.push_back(pdf);
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        Choose(aDlg.LayoutBox->cmbLayout, QStringLiteral("A4, gewoon papier (zelf knippen)"));
        aDlg.LayoutBox->speDiameter->setValue(60);
        const QString noTable = aDlg.lblTable->text();
        Click(aDlg.btnMerge);
        QCOMPARE(aDlg.lblTable->text(), merged ? said : noTable);
        QCOMPARE(aDlg.btnExport->isEnabled(), merged);
        QCOMPARE(aDlg.Jobs().last().Document.FLabelName.Text, merged ? "Geitenkaas" : "Gouda");
        QCOMPARE(aDlg.PageCount(), pages);
        // Copies of a table's labels stay within what one table may give.
        QCOMPARE(aDlg.speCopies->maximum(), merged ? TMergeTable::MaxLabels / 401 : 9999);
        Click(aDlg.btnSavePdf);
        Click(aDlg.btnUnmerge);
        QCOMPARE(aDlg.PageCount(), 1);
        QCOMPARE(aDlg.speCopies->maximum(), 9999);
    };
    Click(w.btnPrint);
    QCOMPARE(f.Dialogs.OpenTableRequests, QStringList{f.Paths().LabelsFolder});
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Pages")), QString::number(pages));
    QCOMPARE(f.Dialogs.Errors.size(), merged ? 0 : 1);
    if (!merged)
        QVERIFY2(f.Dialogs.Errors[0].startsWith(QStringLiteral("De tabel kazen.csv is niet gebruikt\n"))
                     && f.Dialogs.Errors[0].contains(said),
                 qPrintable(f.Dialogs.Errors[0]));
}

void TstPrintDialog::exportWritesOnePicturePerRow_data()
{
    QTest::addColumn<bool>("saved");        // the design comes from Gouda_10.lbl
    QTest::addColumn<QStringList>("rows");  // "name;date;file;middle picture"
    QTest::addColumn<QStringList>("files");  // in table order; none: refused
    QTest::addColumn<bool>("vanish");        // the middle picture is deleted after the table is read

    QTest::newRow("saved design: numbered and named pictures, one with a middle picture")
        << true
        << QStringList{"Kaas 1;1 mei;;", "Kaas 2;;week 2;middle.png", ";8 mei;;", "Kaas 4;;;", "Kaas 5;;;",
                       "Kaas 6;;;", "Kaas 7;15 mei;;"}
        << QStringList{"Gouda_10-001.jpg", "week 2.jpg", "Gouda_10-003.jpg", "Gouda_10-004.jpg", "Gouda_10-005.jpg",
                       "Gouda_10-006.jpg", "Gouda_10-007.jpg"}
        << false;
    QTest::newRow("unsaved design, named after the cheese type; its picture gone since the table was read: not written")
        << false << QStringList{"Kaas 1;;;middle.png", "Kaas 2;;;middle.png"}
        << QStringList{"Jong-belegen-001.jpg", "Jong-belegen-002.jpg"} << true;
    QTest::newRow("refused: a named row taking a numbered one's name")
        << true << QStringList{"Kaas 1;;;", "Kaas 2;;Gouda_10-001;"} << QStringList() << false;
}

// "Exporteer afbeeldingen...": one JPEG per row into the folder chosen, each
// the picture of the design with that row's values rendered alone; an
// existing picture is replaced only when the user agrees.
void TstPrintDialog::exportWritesOnePicturePerRow()
{
    QFETCH(bool, saved);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, files);
    QFETCH(bool, vanish);
    QByteArray table("Naam kaas;Datum productie;File;PngFile\n");
    for (const QString& row : rows)
        table += row.toUtf8() + '\n';
    TFixture f;
    f.Picture();
    TFrmMain& w = OpenWithTable(f, table);
    if (saved) {
        f.Dialogs.SaveLabelAnswers.push_back(f.Dir.filePath(QStringLiteral("Gouda_10.lbl")));
        Click(w.btnSaveLbl);
    }
    const TLabelDocument design = w.Document();
    const QDir out(f.Dir.filePath(QStringLiteral("uit")));
    const QString older = files.isEmpty() ? QStringLiteral("older.jpg") : files.last();
    TFixture::WriteFile(out.filePath(older), "an older picture");
    f.Dialogs.ConfirmAnswers = {true};
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        Click(aDlg.btnMerge);
        if (vanish)
            QVERIFY(QFile::remove(f.Picture()));
        Click(aDlg.btnExport);
    };
    Click(w.btnPrint);
    // The table beside the label file; the pictures in the labels folder.
    QCOMPARE(f.Dialogs.OpenTableRequests, QStringList{saved ? f.Dir.path() : f.Paths().LabelsFolder});
    QCOMPARE(f.Dialogs.FolderRequests, QStringList{f.Paths().LabelsFolder});
    QCOMPARE(FilesIn(out.path()).size(), vanish ? 1 : std::max<qsizetype>(files.size(), 1));
    if (files.isEmpty()) {
        QVERIFY2(f.Dialogs.Errors.size() == 1
                     && f.Dialogs.Errors[0].startsWith(QStringLiteral("Er zijn geen afbeeldingen geschreven\n"))
                     && f.Dialogs.Errors[0].contains(QStringLiteral("rij 3, kolom C (File): het bestand "
                                                                    "\u201cGouda_10-001.jpg\u201d is ook dat van rij 2")),
                 qPrintable(f.Dialogs.Errors.join('\n')));
        QVERIFY(f.Dialogs.Questions.isEmpty());
        return;
    }
    QCOMPARE(f.Dialogs.Questions, QStringList{QStringLiteral("De afbeelding \"%1\" bestaat al in %2. Wilt u die "
                                                             "overschrijven?")
                                                  .arg(older, QDir::toNativeSeparators(out.path()))});
    // A row whose picture is gone is not written: its label would lack it.
    if (vanish) {
        QCOMPARE(f.Dialogs.Errors.size(), 1);
        QVERIFY2(f.Dialogs.Errors[0].startsWith(QStringLiteral("2 van de 2 afbeeldingen zijn niet geschreven\n"))
                     && f.Dialogs.Errors[0].count(QStringLiteral("kan niet getekend worden (niet gevonden)")) == 2,
                 qPrintable(f.Dialogs.Errors[0]));
        QCOMPARE(ReadAll(out.filePath(older)), QByteArray("an older picture"));
        return;
    }
    QCOMPARE(f.Dialogs.Errors, QStringList());
    // More than a few pictures show their progress.
    QCOMPARE(f.Dialogs.ProgressRuns.size(), rows.size() > 5 ? 1 : 0);
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList cells = rows[i].split(QLatin1Char(';'));
        TLabelDocument expected = design;
        // An empty cell empties its text or picture.
        expected.FLabelName.Text = cells[0];
        expected.FLabelDate.Text = cells[1];
        expected.FLabelBg.PngFile = cells[3].isEmpty() ? QString() : f.Dir.filePath(cells[3]);
        expected.FLabelBg.UsePng = !cells[3].isEmpty();
        TLabelRenderer alone;
        alone.SetLabelSize(0);
        alone.DrawLabel(expected);
        QVERIFY2(ReadAll(out.filePath(files[i])) == EncodeRaster(alone.Raster(), "jpg", 98).Bytes,
                 qPrintable(files[i]));
    }
}

// A calibration out of range in the settings file prints neutral, never
// clamped, and the dialog says so the first time it opens.
void TstPrintDialog::unreadableCalibrationIsNeutralAndSaidOnce()
{
    TFixture f;
    f.WriteSettings("[Print]\nScaleY=-0\nOffsetX=3\n");
    TFrmMain& w = f.Open();
    QStringList notes;
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        notes << aDlg.lblRun->text();
        QCOMPARE(aDlg.Settings().Calibration, (TCalibration{3, 0, 100, 100}));
        // Notes are shown whole, every line, however long.
        aDlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&aDlg));
        QLabel* layoutNote = aDlg.LayoutBox->lblLayoutNote;
        layoutNote->setText(notes[0] + QLatin1Char(' ') + notes[0]);
        QCoreApplication::sendPostedEvents();
        for (const QLabel* note : {aDlg.lblRun, layoutNote})
            QVERIFY2(note->height() >= note->heightForWidth(note->width()),
                     qPrintable(QStringLiteral("%1 < %2").arg(note->height()).arg(note->heightForWidth(note->width()))));
    };
    Click(w.btnPrint);
    Click(w.btnPrint);
    QCOMPARE(notes.size(), 2);
    QVERIFY2(notes[0].startsWith(QStringLiteral("De kalibratie in het instellingenbestand was onleesbaar")),
             qPrintable(notes[0]));
    QCOMPARE(notes[1], QString());
}

void TstPrintDialog::cancelledRunsStop_data()
{
    QTest::addColumn<bool>("pdf");  // else "Exporteer afbeeldingen..."
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("said");

    QTest::newRow("export: the pictures written so far stay")
        << false << QStringList{"Jong-belegen-001.jpg", "Jong-belegen-002.jpg", "Jong-belegen-003.jpg"}
        << "Exporteren afgebroken: 3 van de 20 afbeeldingen geschreven in %1";
    QTest::newRow("PDF: nothing is written") << true << QStringList() << "Afgebroken: er is geen PDF geschreven";
}

// The user cancels a run of twenty labels at the third.
void TstPrintDialog::cancelledRunsStop()
{
    QFETCH(bool, pdf);
    QFETCH(QStringList, files);
    QFETCH(QString, said);
    QByteArray table("Naam kaas\n");
    for (int i = 1; i <= 20; ++i)
        table += "Kaas " + QByteArray::number(i) + '\n';
    TFixture f;
    TFrmMain& w = OpenWithTable(f, table);
    const QString out = f.Dir.filePath(QStringLiteral("uit"));
    f.Dialogs.SavePdfAnswers.push_back(QDir(out).filePath(QStringLiteral("kazen.pdf")));
    f.Dialogs.CancelProgressAt = 3;
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        Click(aDlg.btnMerge);
        Click(pdf ? aDlg.btnSavePdf : aDlg.btnExport);
        QCOMPARE(aDlg.lblRun->text(), pdf ? said : said.arg(QDir::toNativeSeparators(out)));
    };
    Click(w.btnPrint);
    QVERIFY2(f.Dialogs.Errors.isEmpty(), qPrintable(f.Dialogs.Errors.join('\n')));
    QCOMPARE(f.Dialogs.ProgressRuns.size(), 1);
    QCOMPARE(f.Dialogs.ProgressRuns[0].Done, 3);
    QCOMPARE(f.Dialogs.ProgressRuns[0].Total, 20);
    QCOMPARE(FilesIn(out), files);
}

QTEST_MAIN(TstPrintDialog)
#include "tst_print_dialog.moc"

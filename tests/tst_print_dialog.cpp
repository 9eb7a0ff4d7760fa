// The print dialog driven from the window through the dialog seam: what
// prints, what is refused, what is kept in the settings file.
#include "editor/print_dialog.h"
#include "editor/radio_group.h"
#include "editor_fixture.h"
#include "label/ini_file.h"

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

}  // namespace

class TstPrintDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void printsTheDesignOnScreen_data();
    void printsTheDesignOnScreen();
    void refusedLayoutPrintsNothing();
    void keptLayoutAndCalibrationComeBack();
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

    QTest::newRow("printer: twelve on A4") << true << "A4, automatisch" << 12 << false << "595 x 842 pts (A4)" << 1;
    QTest::newRow("printer: one label per page, twice") << true << "Eén label per pagina" << 2 << false
                                                        << "170 x 170 pts" << 2;
    QTest::newRow("PDF: thirteen on Letter") << false << "Letter, automatisch" << 13 << false
                                             << "612 x 792 pts (letter)" << 2;
    QTest::newRow("PDF: the calibration page") << false << "A4, automatisch" << 1 << true << "595 x 842 pts (A4)" << 1;
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
        Choose(aDlg.cmbLayout, layout);
        aDlg.speDiameter->setValue(60);
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

// Labels closer than their diameter: the dialog says why, offers no
// printing, and an action started all the same shows the reason and asks
// for no file.
void TstPrintDialog::refusedLayoutPrintsNothing()
{
    TFixture f;
    TFrmMain& w = f.Open();
    f.Dialogs.PrintDialogScript = [&](TPrintDialog& aDlg) {
        Choose(aDlg.cmbLayout, QStringLiteral("Eigen indeling"));
        aDlg.speDiameter->setValue(60);
        aDlg.speColumns->setValue(3);
        aDlg.speRows->setValue(1);
        aDlg.speX0->setValue(40);
        aDlg.speY0->setValue(40);
        aDlg.speDx->setValue(55);
        const QString reason = QStringLiteral(
            "De labels overlappen: de afstand tussen de kolommen (55 mm) is kleiner dan de diameter (60 mm)");
        QCOMPARE(aDlg.lblMessage->text(), reason);
        QVERIFY(!aDlg.btnPrint->isEnabled() && !aDlg.btnSavePdf->isEnabled());
        aDlg.btnSavePdfClick();
        aDlg.btnPrintClick();
        QCOMPARE(f.Dialogs.Errors, QStringList({reason, reason}));
        // Nor can it be kept.
        aDlg.edtLayoutName->setText(QStringLiteral("Te krap"));
        aDlg.btnKeepLayoutClick();
        QCOMPARE(f.Dialogs.Errors.last(), QStringLiteral("De indeling is niet bewaard. ") + reason);
        QCOMPARE(aDlg.cmbLayout->findText(QStringLiteral("Te krap")), -1);
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
            Choose(aDlg.cmbLayout, QStringLiteral("Eigen indeling"));
            Choose(aDlg.cmbPaper, QStringLiteral("Letter"));
            aDlg.speDiameter->setValue(51);
            aDlg.speColumns->setValue(3);
            aDlg.speRows->setValue(4);
            aDlg.speX0->setValue(40.5);
            aDlg.speY0->setValue(45);
            aDlg.speDx->setValue(66.5);
            aDlg.speDy->setValue(63.25);
            aDlg.edtLayoutName->setText(QStringLiteral("Doos van 12"));
            Click(aDlg.btnKeepLayout);
            QCOMPARE(aDlg.cmbLayout->currentText(), QStringLiteral("Doos van 12"));
            aDlg.speStart->setValue(7);
            aDlg.speOffsetX->setValue(-1.5);
            aDlg.speScaleY->setValue(101.2);
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
        QCOMPARE(aDlg.cmbLayout->currentText(), QStringLiteral("Doos van 12"));
        const TPrintSettings settings = aDlg.Settings();
        QCOMPARE(settings.Layout.Paper, TPaper::Letter);
        QCOMPARE(settings.Layout.Diameter, 51.0);
        QCOMPARE(settings.Layout.Dy, 63.25);
        QCOMPARE(settings.Start, 7);
        QCOMPARE(settings.Calibration, (TCalibration{-1.5, 0, 100, 101.2}));
        // Changing a kept layout's measurements makes them the user's own,
        // leaving the kept one as it was.
        aDlg.speDx->setValue(70);
        QCOMPARE(aDlg.cmbLayout->currentText(), QStringLiteral("Eigen indeling"));
        QCOMPARE(aDlg.Preferences().Layout(QStringLiteral("Doos van 12"))->Dx, 66.5);
        checked = true;
    };
    Click(again.btnPrint);
    QVERIFY(checked);
}

QTEST_MAIN(TstPrintDialog)
#include "tst_print_dialog.moc"

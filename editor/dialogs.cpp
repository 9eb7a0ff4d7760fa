#include "editor/dialogs.h"

#include "editor/font_dialog.h"
#include "editor/print_dialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>

#include <algorithm>

namespace {

const QString LabelFilterName = QStringLiteral("Label bestand (*.lbl)");
const QString LabelsFilterName = QStringLiteral("Label bestanden (*.lbl)");
// "*" rather than "*.*": on this platform many files have no extension.
const QString AllFilesFilter = QStringLiteral("Alle bestanden (*)");

// Shown only when a run takes longer than this, so a quick one does not flash.
constexpr int ProgressDelayMs = 400;

class TQtProgress : public TProgress
{
public:
    TQtProgress(QWidget* aParent, const QString& aText, int aTotal)
        : FDlg(aText, QStringLiteral("Annuleren"), 0, std::max(aTotal, 1), aParent), FText(aText), FTotal(aTotal)
    {
        FDlg.setWindowTitle(QStringLiteral("Merovik"));
        // Modal: setValue then runs the event loop, so the bar moves and
        // Cancel is heard while the run goes on on this thread.
        FDlg.setWindowModality(Qt::WindowModal);
        FDlg.setMinimumDuration(ProgressDelayMs);
        FDlg.setAutoReset(false);
        FDlg.setValue(0);
    }

    bool Step(int aDone) override
    {
        FDlg.setLabelText(QStringLiteral("%1 (%2 van %3)").arg(FText).arg(aDone).arg(FTotal));
        FDlg.setValue(aDone);
        return !FDlg.wasCanceled();
    }

private:
    QProgressDialog FDlg;
    QString FText;
    int FTotal = 0;
};

QString RunFileDialog(QFileDialog& aDlg)
{
    if (aDlg.exec() != QDialog::Accepted)
        return {};
    const QStringList files = aDlg.selectedFiles();
    return files.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(files.first()).absoluteFilePath());
}

}  // namespace

QString ErrorBoxText(const QString& aMessage)
{
    // Several messages come one to a line; each ends as a sentence.
    QStringList lines = aMessage.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (!line.isEmpty() && line.back() > QLatin1Char('.'))
            line += QLatin1Char('.');
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList PictureNameFilters()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format).toLower();
    patterns.removeDuplicates();
    return {QStringLiteral("Afbeeldingen (%1)").arg(patterns.join(QLatin1Char(' '))), AllFilesFilter};
}

QString TQtDialogs::OpenLabel(QWidget* aParent, const QString& aFolder)
{
    QFileDialog dlg(aParent);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name need not exist: it then loads a label of defaults.
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilters({LabelFilterName, AllFilesFilter});
    dlg.setDefaultSuffix(QStringLiteral("lbl"));
    dlg.setDirectory(aFolder);
    return RunFileDialog(dlg);
}

QString TQtDialogs::SaveLabel(QWidget* aParent, const QString& aFolder, const QString& aFileName)
{
    QFileDialog dlg(aParent);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.setNameFilters({LabelsFilterName, AllFilesFilter});
    dlg.setDefaultSuffix(QStringLiteral("lbl"));
    dlg.setDirectory(aFolder);
    dlg.selectFile(aFileName);
    return RunFileDialog(dlg);
}

QString TQtDialogs::OpenPicture(QWidget* aParent, const QString& aFileName)
{
    QFileDialog dlg(aParent, QStringLiteral("Achtergrond afbeelding"));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilters(PictureNameFilters());
    if (!aFileName.isEmpty()) {
        const QFileInfo file(aFileName);
        dlg.setDirectory(file.absolutePath());
        dlg.selectFile(file.fileName());
    }
    return RunFileDialog(dlg);
}

QString TQtDialogs::SavePicture(QWidget* aParent, const QString& aFolder, const QString& aFileName)
{
    QFileDialog dlg(aParent, QStringLiteral("Opslaan Kaaslabel"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.setNameFilter(QStringLiteral("JPEG Image File (*.jpg)"));
    dlg.setDefaultSuffix(QStringLiteral("jpg"));
    dlg.setDirectory(aFolder);
    dlg.selectFile(aFileName);
    return RunFileDialog(dlg);
}

QString TQtDialogs::OpenTable(QWidget* aParent, const QString& aFolder)
{
    QFileDialog dlg(aParent, QStringLiteral("Samenvoegen met tabel"));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilters({QStringLiteral("Tabellen (*.csv *.tsv *.tab *.txt)"), AllFilesFilter});
    dlg.setDirectory(aFolder);
    return RunFileDialog(dlg);
}

QString TQtDialogs::ChooseFolder(QWidget* aParent, const QString& aFolder)
{
    QFileDialog dlg(aParent, QStringLiteral("Map voor de afbeeldingen"));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    dlg.setDirectory(aFolder);
    return RunFileDialog(dlg);
}

std::unique_ptr<TProgress> TQtDialogs::StartProgress(QWidget* aParent, const QString& aText, int aTotal)
{
    return std::make_unique<TQtProgress>(aParent, aText, aTotal);
}

QString TQtDialogs::SavePdf(QWidget* aParent, const QString& aFolder, const QString& aFileName)
{
    QFileDialog dlg(aParent, QStringLiteral("Opslaan als PDF"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilter(QStringLiteral("PDF-bestand (*.pdf)"));
    dlg.setDefaultSuffix(QStringLiteral("pdf"));
    dlg.setDirectory(aFolder);
    dlg.selectFile(aFileName);
    return RunFileDialog(dlg);
}

bool TQtDialogs::HasPrinter()
{
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

bool TQtDialogs::ChoosePrinter(QWidget* aParent, QPrinter& aPrinter)
{
    QPrintDialog dlg(&aPrinter, aParent);
    dlg.setWindowTitle(QStringLiteral("Afdrukken"));
    // Every page is printed; which labels go on them the print dialog decides.
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, false);
    dlg.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dlg.exec() == QDialog::Accepted;
}

void TQtDialogs::RunPrintDialog(TPrintDialog& aDlg)
{
    aDlg.exec();
}

std::optional<TFontChoice> TQtDialogs::ChooseFont(QWidget* aParent, const TFontChoice& aInitial,
                                                  const QString& aSample)
{
    TFontDialog dlg(aParent);
    dlg.SetSampleText(aSample);
    dlg.SetFontName(aInitial.Name);
    dlg.SetFontSize(aInitial.Size);
    dlg.SetFontColor(aInitial.Color);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return TFontChoice{dlg.FontName(), dlg.FontSize(), dlg.FontColor()};
}

bool TQtDialogs::Confirm(QWidget* aParent, const QString& aQuestion)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), aQuestion,
                    QMessageBox::Yes | QMessageBox::No, aParent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TQtDialogs::ShowError(QWidget* aParent, const QString& aMessage)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Merovik"), ErrorBoxText(aMessage),
                    QMessageBox::Ok, aParent);
    box.exec();
}

void TQtDialogs::OpenLink(const QUrl& aUrl)
{
    // Like the shell, nothing to report when no browser can be started.
    QDesktopServices::openUrl(aUrl);
}

#pragma once

#include "merge/merge_table.h"
#include "print/label_printer.h"
#include "print/print_settings.h"
#include "render/label_renderer.h"

#include <QDialog>
#include <QList>
#include <QPrinter>

#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPrintPreviewWidget;
class QPushButton;
class QSpinBox;
class QTimer;
class TDialogs;
class TPrintLayoutBox;
class TPictureCache;
class TPrintShopBox;
class TProgress;

// The print dialog: page kind and layout, diameter, copies, start position
// and calibration, with a live preview, printing through the system's print
// dialog and saving as PDF. A merge table turns the design into one label
// per row, for printing, PDF and one JPEG picture per row. Its controls and
// actions are public so that tests drive it through the dialog seam without
// a person.
class TPrintDialog : public QDialog
{
    Q_OBJECT

public:
    // Starts from aPreferences; labels are drawn at label size aSizeItem,
    // from the pictures of aPictures (a cache of its own when null). PDFs are
    // offered in aFolder. All dialogs and messages go through aDialogs.
    TPrintDialog(TDialogs& aDialogs, const TPrintPreferences& aPreferences, int aSizeItem, const QString& aFolder,
                 std::shared_ptr<TPictureCache> aPictures = {}, QWidget* aParent = nullptr);
    ~TPrintDialog() override;

    // What is printed without a table (and drops one that was merged); each
    // job is printed its Copies times the dialog's copies.
    void SetJobs(const QList<TPrintJob>& aJobs);
    // The design a table fills in row by row, the base name of the rows'
    // pictures (DesignBaseName) and the folder the table dialog opens in.
    // Merging is offered once a design is set.
    void SetDesign(const TLabelDocument& aDesign, const QString& aBaseName, const QString& aTableFolder);
    // What is printed now: the jobs given, or one per row of the merged table.
    const QList<TPrintJob>& Jobs() const { return FJobs; }
    QList<TPrintJob> PrintedJobs() const;
    // The merged table; null when there is none.
    const TMergeTable* Table() const { return FTable ? &*FTable : nullptr; }

    // The settings the controls show; the layout of a built-in or kept
    // layout exactly, not as the fields round it.
    TPrintSettings Settings() const;
    // Why the controls' settings cannot be printed; None when they can.
    TPrintProblem Problem() const;
    // The preferences to keep: those given, with the controls' values and the kept layouts.
    TPrintPreferences Preferences() const;
    // Pages of what is printed now, 0 when nothing can be.
    int PageCount() const;

    // The actions of the buttons.
    void btnPrintClick();
    void btnSavePdfClick();
    void btnMergeClick();
    void btnUnmergeClick();
    void btnExportClick();

    // Reads aFile and, when it has no errors, prints one label per row of
    // it; otherwise shows its errors and changes nothing. True when merged.
    bool MergeTable(const QString& aFile);

    // "Indeling": paper, label products, kept layouts and the user's own.
    TPrintLayoutBox* LayoutBox = nullptr;

    QSpinBox* speCopies = nullptr;
    QLabel* lblCopies = nullptr;  // what the copies multiply
    QLabel* lblTotal = nullptr;   // how many labels that makes
    QSpinBox* speStart = nullptr;

    QDoubleSpinBox* speOffsetX = nullptr;
    QDoubleSpinBox* speOffsetY = nullptr;
    QDoubleSpinBox* speScaleX = nullptr;
    QDoubleSpinBox* speScaleY = nullptr;
    QCheckBox* chkCalibrationPage = nullptr;
    TPrintShopBox* grbPrintShop = nullptr;  // bleed, die line, crop marks

    QPushButton* btnMerge = nullptr;    // "Samenvoegen met tabel..."
    QPushButton* btnUnmerge = nullptr;  // "Zonder tabel"
    QLabel* lblTable = nullptr;         // the table with its rows and labels, or none
    QPushButton* btnExport = nullptr;   // "Exporteer afbeeldingen...", with a table only

    QLabel* lblRun = nullptr;      // how the last export, print or PDF ended, when worth saying
    QLabel* lblMessage = nullptr;  // what would be printed, or why nothing can be
    QPrintPreviewWidget* Preview = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnSavePdf = nullptr;
    QPushButton* btnClose = nullptr;

private:
    QWidget* CreateCopiesBox();
    QWidget* CreateCalibrationBox();
    QWidget* CreateTableBox();
    void UpdateState();
    void UpdateTable();
    void PreviewPaint(QPrinter* aPrinter);
    // A progress for a run of aTotal labels when there are more than a few.
    std::unique_ptr<TProgress> StartProgress(const QString& aText, int aTotal);
    // After a print or PDF: brings the preview up to date if it waited.
    void RunEnded();

    // After a run of labels: the start moves on to the next free position of the last sheet.
    void MoveStart(const TPrintSettings& aSettings, const QList<TPrintJob>& aJobs);
    // Shows aProblem in the error box when it is one; true when none.
    bool Printable();
    // Shows what a print or PDF run did wrong, if anything.
    void ShowResult(const TPrintResult& aResult, const QString& aFailed);

    TDialogs& FDialogs;
    TPrintPreferences FPreferences;
    int FSizeItem = 1;
    QString FFolder;
    QList<TPrintJob> FJobs;
    QList<TPrintJob> FPlainJobs;  // the jobs given, printed without a table
    std::optional<TLabelDocument> FDesign;
    QString FBaseName;
    QString FTableFolder;
    QString FExportFolder;
    std::optional<TMergeTable> FTable;
    std::shared_ptr<TPictureCache> FPictures;  // the preview's, the print's and the export's workers'
    TLabelRenderer FRenderer;
    QPrinter FPreviewPrinter{QPrinter::HighResolution};
    QTimer* FPreviewTimer = nullptr;
    bool FFilling = false;  // the program is filling the controls
    // A print or PDF is running: the preview, which paints with the same
    // renderer, waits until it is done.
    bool FRunning = false;
    bool FPreviewMissed = false;
};

// aProblem as the print dialog words it, in Dutch.
QString PrintProblemText(const TPrintProblem& aProblem);

// The PDF name the save dialog suggests: the cheese type, "/" made "-", with ".pdf".
QString SuggestedPdfName(const QString& aCheeseType);

// The base name of a merge's pictures: the label file's ("Gouda_10" for
// Gouda_10.lbl) when the design came from one, else the cheese type as the
// picture export suggests it; empty when neither gives a name, which makes
// the pictures "label-001.jpg" and so on.
QString DesignBaseName(const QString& aLabelFile, const QString& aCheeseType);

#pragma once

#include "print/label_printer.h"
#include "print/print_settings.h"
#include "render/label_renderer.h"

#include <QDialog>
#include <QList>
#include <QPrinter>

#include <memory>

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
class TPictureCache;

// The print dialog: page kind and layout, diameter, copies, start position
// and calibration, with a live preview, printing through the system's print
// dialog and saving as PDF. Its controls and actions are public so that
// tests drive it through the dialog seam without a person.
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

    // What is printed; each job is printed its Copies times the dialog's copies.
    void SetJobs(const QList<TPrintJob>& aJobs);
    const QList<TPrintJob>& Jobs() const { return FJobs; }
    QList<TPrintJob> PrintedJobs() const;

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
    void btnKeepLayoutClick();
    void btnDeleteLayoutClick();

    // "Indeling": built-in layouts, the kept ones by name, "Eigen indeling".
    QComboBox* cmbLayout = nullptr;
    QComboBox* cmbPaper = nullptr;  // A4 or Letter, for a layout of the user's
    QDoubleSpinBox* speDiameter = nullptr;
    QSpinBox* speColumns = nullptr;
    QSpinBox* speRows = nullptr;
    QDoubleSpinBox* speX0 = nullptr;
    QDoubleSpinBox* speY0 = nullptr;
    QDoubleSpinBox* speDx = nullptr;
    QDoubleSpinBox* speDy = nullptr;
    QLineEdit* edtLayoutName = nullptr;
    QPushButton* btnKeepLayout = nullptr;
    QPushButton* btnDeleteLayout = nullptr;

    QSpinBox* speCopies = nullptr;
    QSpinBox* speStart = nullptr;

    QDoubleSpinBox* speOffsetX = nullptr;
    QDoubleSpinBox* speOffsetY = nullptr;
    QDoubleSpinBox* speScaleX = nullptr;
    QDoubleSpinBox* speScaleY = nullptr;
    QCheckBox* chkCalibrationPage = nullptr;

    QLabel* lblMessage = nullptr;  // what would be printed, or why nothing can be
    QPrintPreviewWidget* Preview = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnSavePdf = nullptr;
    QPushButton* btnClose = nullptr;

    // Item data of cmbLayout for the built-in layouts and the user's own.
    static const QString CustomLayout;  // "Eigen indeling"

private:
    QWidget* CreateLayoutBox();
    QWidget* CreateCopiesBox();
    QWidget* CreateCalibrationBox();
    void FillLayouts(const QString& aSelect);
    void SelectLayout(const QString& aKey);

    void cmbLayoutChange();
    void speDiameterChange();
    void GridChange();
    void UpdateState();
    void PreviewPaint(QPrinter* aPrinter);

    // The layout the combo box and fields stand for.
    TSheetLayout CurrentLayout() const;
    TSheetLayout LayoutFromFields() const;
    void ShowLayout(const TSheetLayout& aLayout);
    // Shows aProblem in the error box when it is one; true when none.
    bool Printable();
    // Shows what a print or PDF run did wrong, if anything.
    void ShowResult(const TPrintResult& aResult, const QString& aFailed);

    TDialogs& FDialogs;
    TPrintPreferences FPreferences;
    int FSizeItem = 1;
    QString FFolder;
    QList<TPrintJob> FJobs;
    TLabelRenderer FRenderer;
    QPrinter FPreviewPrinter{QPrinter::HighResolution};
    QTimer* FPreviewTimer = nullptr;
    bool FFilling = false;  // the program is filling the controls
};

// aProblem as the print dialog words it, in Dutch.
QString PrintProblemText(const TPrintProblem& aProblem);

// The PDF name the save dialog suggests: the cheese type, "/" made "-", with ".pdf".
QString SuggestedPdfName(const QString& aCheeseType);

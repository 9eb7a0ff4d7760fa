#pragma once

#include <QString>
#include <QUrl>
#include <cstdint>
#include <memory>
#include <optional>

class QPrinter;
class QWidget;
class TPrintDialog;

// What the font dialog edits: family, size and colour (0x00BBGGRR).
struct TFontChoice
{
    QString Name;
    int Size = 0;
    uint32_t Color = 0;

    bool operator==(const TFontChoice&) const = default;
};

// A long run as the user sees it: a bar that the user can cancel.
class TProgress
{
public:
    virtual ~TProgress() = default;
    // aDone of the run's total are done; false when the user cancelled.
    virtual bool Step(int aDone) = 0;
};

// Every dialog, message box and shell call the main window makes goes
// through this seam, so tests can answer them without a person.
// The file dialogs return the chosen full path, or an empty string when the
// user cancels.
class TDialogs
{
public:
    virtual ~TDialogs() = default;

    // Label files (*.lbl): open (also used to pick a file to delete) and save.
    virtual QString OpenLabel(QWidget* aParent, const QString& aFolder) = 0;
    virtual QString SaveLabel(QWidget* aParent, const QString& aFolder, const QString& aFileName) = 0;

    // A picture to read; aFileName presets the dialog and may be empty.
    virtual QString OpenPicture(QWidget* aParent, const QString& aFileName) = 0;
    // The JPEG export.
    virtual QString SavePicture(QWidget* aParent, const QString& aFolder, const QString& aFileName) = 0;

    // A merge table (CSV, TSV) to read.
    virtual QString OpenTable(QWidget* aParent, const QString& aFolder) = 0;
    // An existing folder to write into.
    virtual QString ChooseFolder(QWidget* aParent, const QString& aFolder) = 0;
    // Shows the progress of a run of aTotal steps, aText saying what it does,
    // until the object is destroyed; modal, so nothing else changes meanwhile.
    virtual std::unique_ptr<TProgress> StartProgress(QWidget* aParent, const QString& aText, int aTotal) = 0;

    // A PDF to write.
    virtual QString SavePdf(QWidget* aParent, const QString& aFolder, const QString& aFileName) = 0;
    // Whether the system has a printer to print on.
    virtual bool HasPrinter() = 0;
    // The system's print dialog for aPrinter, which it sets up; true to print.
    virtual bool ChoosePrinter(QWidget* aParent, QPrinter& aPrinter) = 0;
    // Shows the program's print dialog until the user closes it.
    virtual void RunPrintDialog(TPrintDialog& aDlg) = 0;

    // Family, size and colour; nothing when cancelled. aSample is the text
    // the preview shows.
    virtual std::optional<TFontChoice> ChooseFont(QWidget* aParent, const TFontChoice& aInitial,
                                                  const QString& aSample) = 0;

    // A Yes/No question; true for Yes.
    virtual bool Confirm(QWidget* aParent, const QString& aQuestion) = 0;

    // The error box. aMessage as the program words it; the box adds the full stop.
    virtual void ShowError(QWidget* aParent, const QString& aMessage) = 0;

    // Opens a web address in the user's browser.
    virtual void OpenLink(const QUrl& aUrl) = 0;
};

// The dialogs users see.
class TQtDialogs : public TDialogs
{
public:
    QString OpenLabel(QWidget* aParent, const QString& aFolder) override;
    QString SaveLabel(QWidget* aParent, const QString& aFolder, const QString& aFileName) override;
    QString OpenPicture(QWidget* aParent, const QString& aFileName) override;
    QString SavePicture(QWidget* aParent, const QString& aFolder, const QString& aFileName) override;
    QString OpenTable(QWidget* aParent, const QString& aFolder) override;
    QString ChooseFolder(QWidget* aParent, const QString& aFolder) override;
    std::unique_ptr<TProgress> StartProgress(QWidget* aParent, const QString& aText, int aTotal) override;
    QString SavePdf(QWidget* aParent, const QString& aFolder, const QString& aFileName) override;
    bool HasPrinter() override;
    bool ChoosePrinter(QWidget* aParent, QPrinter& aPrinter) override;
    void RunPrintDialog(TPrintDialog& aDlg) override;
    std::optional<TFontChoice> ChooseFont(QWidget* aParent, const TFontChoice& aInitial,
                                          const QString& aSample) override;
    bool Confirm(QWidget* aParent, const QString& aQuestion) override;
    void ShowError(QWidget* aParent, const QString& aMessage) override;
    void OpenLink(const QUrl& aUrl) override;
};

// The text of the error box: each line of aMessage with a full stop added
// when its last character sorts after ".".
QString ErrorBoxText(const QString& aMessage);

// Name filters of the picture dialog: every format the image readers know.
QStringList PictureNameFilters();

#pragma once

#include "editor/program_paths.h"
#include "label/label_document.h"
#include "print/print_settings.h"
#include "render/label_renderer.h"

#include <QKeySequence>
#include <QList>
#include <QMainWindow>

class QAction;
class TManualWindow;
class QCheckBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTimer;
class QToolButton;
class QUndoStack;
class TColorSelector;
class TDialogs;
class TImageView;
class TLinkLabel;
class TRadioGroup;
class TRepeatButton;
class TSpinEdit;

// The one window of the editor: a toolbar, three tabs of editing controls
// and the label picture. It owns the label document and its renderer.
//
// Construction, layout, settings and the render pass wrapper are in
// main_window.cpp; the editing handlers in main_window_edit.cpp; the label
// library commands and the export in main_window_library.cpp; undo and redo
// in main_window_undo.cpp; dropped files and the text edits' event filter in
// main_window_drop.cpp; printing in main_window_print.cpp.
class TFrmMain : public QMainWindow
{
    Q_OBJECT

public:
    // Reads the settings file of aPaths and draws the label.
    TFrmMain(TDialogs& aDialogs, const TProgramPaths& aPaths, QWidget* aParent = nullptr);
    // Writes the settings file if closing has not done so.
    ~TFrmMain() override;

    const TLabelDocument& Document() const { return FDocument; }
    TLabelDocument& Document() { return FDocument; }
    const TLabelRenderer& Renderer() const { return FRenderer; }
    TLabelRenderer& Renderer() { return FRenderer; }
    const TProgramPaths& Paths() const { return FPaths; }
    bool Loading() const { return FLoading; }
    // Render passes run so far.
    int DrawCount() const { return FDrawCount; }

    // Reads (aDoSave false) or writes all elements from or to aName, or the
    // settings file when aName is empty. Reading refreshes the controls and
    // draws once; errors are shown in the error box. A label file that cannot
    // be read at all leaves the design as it is; one that is read is an undo
    // step and names the title, as does one written.
    void HandleIniFile(const QString& aName, bool aDoSave);
    // A label file named on the command line or dropped on the window, read
    // as "Inlezen opgeslagen label" reads it; a file that does not exist is
    // reported and changes nothing.
    void OpenLabelFile(const QString& aFile);
    // The label file the design was last read from or written to; empty
    // after a new label and at start.
    const QString& FileName() const { return FFileName; }
    // Fills the controls from the elements.
    void IniToUI();
    // The render pass; does nothing while loading.
    void DrawLabel();
    // Runs the typing timer's pending redraw now, so the raster holds every
    // change; whatever uses the raster calls this first.
    void DrawPending();
    // Writes the settings file, once per window.
    void FormDestroy();

    void CenterOnScreen();

    // Undo and redo of the label document; at most UndoLimit steps.
    static constexpr int UndoLimit = 100;
    const QUndoStack& UndoStack() const { return *FUndo; }

    // Toolbar. Each button runs its action, so its shortcuts work anywhere
    // in the window.
    QWidget* Panel1 = nullptr;
    QToolButton* btnNew = nullptr;
    QToolButton* btnLoad = nullptr;
    QToolButton* btnSaveLbl = nullptr;
    QToolButton* btnDel = nullptr;
    QToolButton* BtnSave = nullptr;
    QToolButton* btnPrint = nullptr;
    QToolButton* btnUndo = nullptr;
    TManualWindow* FManual = nullptr;
    QToolButton* btnRedo = nullptr;
    TRadioGroup* rdgLabelSize = nullptr;
    QWidget* Panel13 = nullptr;
    TLinkLabel* LinkLabel1 = nullptr;

    QTabWidget* pcLayout = nullptr;
    TImageView* Image1 = nullptr;

    // Tab "Achtergrond".
    QWidget* TabSheet1 = nullptr;
    TRadioGroup* rdgBgSelection = nullptr;
    QGroupBox* gbBgImage = nullptr;
    TRadioGroup* rdgEffect = nullptr;
    QLineEdit* edtBgImage = nullptr;
    QToolButton* btnBgImage = nullptr;
    QLabel* Label2 = nullptr;
    TSpinEdit* spEdit = nullptr;
    QLabel* Label12 = nullptr;
    // In red under a picture's path row while the pass cannot use the picture.
    QLabel* lblBgImageNotice = nullptr;
    QLabel* lblMiddleImgNotice = nullptr;
    QGroupBox* gbBgColor = nullptr;
    TColorSelector* colbBackground = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QCheckBox* chkMiddleImg = nullptr;
    QLineEdit* edtMiddleImg = nullptr;
    QToolButton* btnMiddleImg = nullptr;
    QLabel* Label10 = nullptr;
    TSpinEdit* spePngWidth = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label1 = nullptr;
    TRepeatButton* AdvRepeatButton1 = nullptr;
    QLabel* Label7 = nullptr;
    TRepeatButton* AdvRepeatButton3 = nullptr;
    QLabel* Label8 = nullptr;
    TRepeatButton* AdvRepeatButton2 = nullptr;
    QLabel* Label9 = nullptr;
    TRepeatButton* AdvRepeatButton4 = nullptr;

    // Tab "Tekst".
    QWidget* TabSheet2 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    QGroupBox* GroupBox8 = nullptr;
    QLineEdit* edtName = nullptr;
    QLineEdit* edtType = nullptr;
    QLineEdit* edtSub1 = nullptr;
    QLineEdit* edtSub2 = nullptr;
    QLineEdit* edtDate = nullptr;
    QToolButton* spbFontName = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton3 = nullptr;

    // Tab "Ringen".
    QWidget* TabSheet3 = nullptr;
    QGroupBox* grbRing1 = nullptr;
    QGroupBox* grbRing2 = nullptr;
    QGroupBox* grbRing3 = nullptr;
    QGroupBox* grbRing4 = nullptr;
    QCheckBox* chkbRing1 = nullptr;
    QCheckBox* chkbRing2 = nullptr;
    QCheckBox* chkbRing3 = nullptr;
    QCheckBox* chkbRing4 = nullptr;
    TColorSelector* colbRing1 = nullptr;
    TColorSelector* colbRing2 = nullptr;
    TColorSelector* colbRing3 = nullptr;
    TColorSelector* colbRing4 = nullptr;

    // Restarted by every keystroke in the text edits; its expiry redraws.
    QTimer* Timer = nullptr;

    // The shared handlers tell their element by this tag of the control.
    static int Tag(const QObject* aControl);

protected:
    void closeEvent(QCloseEvent* aEvent) override;
    // Label files anywhere on the window, pictures on the label picture
    // (main_window_drop.cpp).
    void dragEnterEvent(QDragEnterEvent* aEvent) override;
    void dragMoveEvent(QDragMoveEvent* aEvent) override;
    void dropEvent(QDropEvent* aEvent) override;
    // Keeps the text edits' own undo and file drops away from them.
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override;

private:
    // Construction (main_window.cpp).
    // A toolbar button running a new action of the window; the hint names
    // the first shortcut.
    QToolButton* ToolbarButton(int aIcon, const QString& aHint, const QList<QKeySequence>& aShortcuts = {});
    void CreateToolbar();
    QWidget* CreateBackgroundTab();
    QWidget* CreateTextTab();
    QWidget* CreateRingTab();
    void Connect();
    void ShowErrors(const QStringList& aMessages);
    // The notices under the picture rows, from what the last pass could not draw.
    void ShowPictureNotices();
    // The title names the label file aFile, or only the program when empty.
    void SetFileName(const QString& aFile);
    // Sets the document, fills the controls from it under FLoading and draws once.
    void ShowDocument(const TLabelDocument& aDocument);

    // Undo and redo (main_window_undo.cpp).
    // After a change by the user: one undo step from the document as last
    // recorded to the document now, none when nothing changed. Steps of one
    // aMergeId and aMergeKey in a row merge. aFileBefore, for a load or a new
    // label, is the file the title named before.
    void RecordStep(int aMergeId = -1, qint64 aMergeKey = 0, const QString* aFileBefore = nullptr);
    // Merge ids: typing in the text edit of a tag, presses of the move button of a tag.
    static constexpr int TypingStep = 100;
    static constexpr int MoveStep = 200;
    // The stack's way back or forward to aDocument (and the title's file).
    void ApplyStep(const TLabelDocument& aDocument, const QString* aFileName);
    // The document as it is now is where the next step starts.
    void ResetUndoBase();
    void actUndoClick();
    // F1: the manual in a window of its own.
    void actHelpClick();
    void actRedoClick();

    // Label size and link (main_window.cpp).
    void rdgLabelSizeClick();
    void LinkLabel1LinkClick(const QString& aLink);

    // Editing handlers (main_window_edit.cpp).
    void edtNameChange(QObject* aSender);
    void TimerTimer();
    void spbFontNameClick(QObject* aSender);
    void chkbRing1Click(QObject* aSender);
    void colbRing1SelectColor(QObject* aSender);
    void colbBackgroundSelectColor();
    void rdgBgSelectionClick();
    void rdgEffectClick();
    void spEditChange();
    void btnBgImageClick();
    void chkMiddleImgClick();
    void btnMiddleImgClick();
    void spePngWidthChange();
    void btnPngXClick(QObject* aSender);
    void ChangeFont(TLabelText& aText);
    // Runs the picture dialog; a chosen file goes into the edit and aField, then the label is redrawn.
    void BrowsePicture(QLineEdit* aPathEdit, QString& aField);

    // Drops (main_window_drop.cpp).
    enum class TDropKind { None, Label, Photo, MiddlePicture };
    // What dropping aEvent's data at aPos (window coordinates) would do.
    TDropKind DropKind(const QDropEvent* aEvent, const QPoint& aPos) const;
    // Accepts or refuses a drag at aPos (window coordinates), or carries out the drop.
    void AnswerDrag(QDropEvent* aEvent, const QPoint& aPos) const;
    // Accepts a usable file entering anywhere, refuses anything else.
    void EnterDrag(QDropEvent* aEvent) const;
    void DropAt(QDropEvent* aEvent, const QPoint& aPos);

    // Label library and export (main_window_library.cpp).
    void btnNewClick();
    void btnLoadClick();
    void btnSaveLblClick();
    void btnDelClick();
    void btnSaveClick();
    QString LabelsFolder() const;

    // Printing (main_window_print.cpp).
    void btnPrintClick();
    // The [Print] section of the settings file aFile.
    void LoadPrintSettings(const QString& aFile);
    TFileProblem SavePrintSettings(const QString& aFile) const;

    TDialogs& FDialogs;
    const TProgramPaths FPaths;
    TLabelDocument FDocument;
    QString FFileName;
    QUndoStack* FUndo = nullptr;
    // The document as of the last step: what the next step starts from.
    TLabelDocument FUndoBase;
    // Typing merges into one step until the timer's redraw ends the burst.
    qint64 FTypingBurst = 0;
    // A held move button merges its repeats: one step per press.
    qint64 FMovePress = 0;
    bool FMoveHeld = false;
    // Decoded pictures, shared by the window's renderer and the print dialog's.
    std::shared_ptr<TPictureCache> FPictures = std::make_shared<TPictureCache>();
    TLabelRenderer FRenderer{FPictures};
    TPrintPreferences FPrintPreferences;
    bool FLoading = false;
    bool FSettingsWritten = false;
    int FDrawCount = 0;
    // The picture dialog's file name after its last use.
    QString FPictureDlgFile;
};

// A web link of the label's link markup as an address to open: a bare host
// name gets "https://".
QUrl LinkTarget(const QString& aLink);

// The names the save dialogs suggest: the cheese type with "/" made "-", so
// it stays one file name, then the size suffix ("_6", "_10", "_14") and
// ".lbl", or ".jpg" for the picture.
QString SuggestedLabelName(const QString& aCheeseType, int aSizeIndex);
QString SuggestedPictureName(const QString& aCheeseType);

#include "editor/main_window.h"

#include "editor/dialogs.h"
#include "editor/image_view.h"
#include "editor/manual_window.h"
#include "editor/messages.h"
#include "editor/radio_group.h"
#include "editor/undo.h"
#include "kit/color_selector.h"
#include "kit/icons.h"
#include "kit/link_label.h"
#include "kit/repeat_button.h"
#include "kit/spin_edit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

const char* const TagProperty = "tag";

// The heights of the two picture group boxes without a notice.
constexpr int BgImageHeight = 153;
constexpr int MiddleImgHeight = 180;

// The forum the link label opens; a bare host name, as the markup holds it.
const QString ForumLink = QStringLiteral("<a href=\"cheeseforum.org\">Het kaasforum</a>");

QFont Tahoma(int aPointSize)
{
    QFont font(QStringLiteral("Tahoma"), aPointSize);
    // Where Tahoma is not installed, any plain sans serif of that size will do.
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void SetTag(QObject* aControl, int aTag)
{
    aControl->setProperty(TagProperty, aTag);
}

QToolButton* BrowseButton(QWidget* aParent)
{
    auto* button = new QToolButton(aParent);
    button->setIcon(MerovikIcon(0));
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(28, 27);
    return button;
}

// A picture path edit filling the row, with its browse button at the right.
QHBoxLayout* PathRow(QWidget* aParent, QLineEdit*& aEdit, QToolButton*& aButton)
{
    aEdit = new QLineEdit(aParent);
    aEdit->setFont(Tahoma(10));
    // Only the browse button sets the picture; the path stays selectable and copyable.
    aEdit->setReadOnly(true);
    aButton = BrowseButton(aParent);
    auto* row = new QHBoxLayout;
    row->addWidget(aEdit, 1);
    row->addWidget(aButton);
    return row;
}

// A short red notice under a path row, hidden while all is well.
QLabel* PictureNotice(QWidget* aParent)
{
    auto* notice = new QLabel(aParent);
    notice->setObjectName(QStringLiteral("PictureNotice"));  // red in the visual style
    notice->hide();
    return notice;
}

// The notice for a picture that cannot be used: what a cheesemaker can act on.
QString NoticeText(const TPictureProblem& aProblem)
{
    switch (aProblem.Kind) {
    case TPictureProblem::TKind::None:
        return {};
    case TPictureProblem::TKind::NotFound:
        return QStringLiteral("Bestand niet gevonden");
    case TPictureProblem::TKind::Unreadable:
        return QStringLiteral("Bestand kan niet gelezen worden");
    case TPictureProblem::TKind::NotAPicture:
        return QStringLiteral("Bestand is geen afbeelding");
    case TPictureProblem::TKind::Damaged:
        return QStringLiteral("Afbeelding is beschadigd");
    case TPictureProblem::TKind::TooLarge:
        return QStringLiteral("Afbeelding is te groot (%1 \u00d7 %2 pixels)")
            .arg(aProblem.Size.width())
            .arg(aProblem.Size.height());
    }
    return {};
}

// A caption, a 44 pixel spin edit and its unit, left-aligned.
QHBoxLayout* SpinRow(QWidget* aParent, QLabel*& aCaption, const QString& aCaptionText, TSpinEdit* aSpin,
                     QLabel*& aUnit, const QString& aUnitText)
{
    aCaption = new QLabel(aCaptionText, aParent);
    aSpin->setFixedWidth(44);
    aUnit = new QLabel(aUnitText, aParent);
    auto* row = new QHBoxLayout;
    row->addWidget(aCaption);
    row->addWidget(aSpin);
    row->addWidget(aUnit);
    row->addStretch(1);
    return row;
}

}  // namespace

TFrmMain::TFrmMain(TDialogs& aDialogs, const TProgramPaths& aPaths, QWidget* aParent)
    : QMainWindow(aParent), FDialogs(aDialogs), FPaths(aPaths)
{
    SetFileName(QString());
    setFont(Tahoma(8));
    setAcceptDrops(true);

    FUndo = new QUndoStack(this);
    FUndo->setUndoLimit(UndoLimit);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Tab follows the order the controls are made in: the toolbar from left
    // to right, then the tabs and their controls from top to bottom.
    CreateToolbar();
    column->addWidget(Panel1);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    pcLayout = new QTabWidget(central);
    pcLayout->setFixedWidth(463);
    pcLayout->addTab(CreateBackgroundTab(), QStringLiteral("Achtergrond"));
    pcLayout->addTab(CreateTextTab(), QStringLiteral("Tekst"));
    pcLayout->addTab(CreateRingTab(), QStringLiteral("Ringen"));
    pcLayout->setCurrentIndex(0);
    body->addWidget(pcLayout);
    Image1 = new TImageView(central);
    Image1->setMinimumSize(1, 1);
    Image1->setToolTip(QStringLiteral("Sleep een foto hierheen voor de achtergrond, met Shift ingedrukt voor het "
                                      "midden van het label; een labelbestand mag overal in het venster"));
    body->addWidget(Image1, 1);
    column->addLayout(body, 1);
    setCentralWidget(central);
    resize(1104, 682);

    Timer = new QTimer(this);
    Timer->setInterval(400);

    // The raster starts at 10 cm, whatever size was shown last time.
    FRenderer.SetLabelSize(1);
    Image1->SetRaster(&FRenderer.Raster());

    Connect();
    HandleIniFile(QString(), false);
    // Start on the tabs, where arrows only switch the tab, rather than on
    // the first toolbar button, where a stray Space would start a new label.
    pcLayout->setFocus();
}

TFrmMain::~TFrmMain()
{
    FormDestroy();
    Image1->SetRaster(nullptr);
}

QToolButton* TFrmMain::ToolbarButton(int aIcon, const QString& aHint, const QList<QKeySequence>& aShortcuts)
{
    auto* action = new QAction(MerovikIcon(aIcon), aHint, this);
    action->setShortcuts(aShortcuts);
    action->setToolTip(aShortcuts.isEmpty()
                           ? aHint
                           : QStringLiteral("%1 (%2)").arg(aHint, aShortcuts.first().toString(QKeySequence::PortableText)));
    // Added to the window, so the shortcuts work wherever the focus is.
    addAction(action);
    auto* button = new QToolButton(Panel1);
    button->setDefaultAction(action);
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(34, 33);
    // Reached by Tab, but a click leaves the focus where the user was typing.
    button->setFocusPolicy(Qt::TabFocus);
    button->setAutoRaise(false);
    return button;
}

void TFrmMain::actHelpClick()
{
    // One window, raised again when it is open already.
    if (!FManual)
        FManual = new TManualWindow(this);
    FManual->show();
    FManual->raise();
    FManual->activateWindow();
}

void TFrmMain::CreateToolbar()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(3, 3, 3, 3);
    row->setSpacing(3);

    btnNew = ToolbarButton(1, QStringLiteral("Nieuw label maken"), {QKeySequence(Qt::CTRL | Qt::Key_N)});
    btnLoad = ToolbarButton(2, QStringLiteral("Inlezen opgeslagen label"), {QKeySequence(Qt::CTRL | Qt::Key_O)});
    btnSaveLbl = ToolbarButton(3, QStringLiteral("Label opslaan"), {QKeySequence(Qt::CTRL | Qt::Key_S)});
    btnDel = ToolbarButton(4, QStringLiteral("Opgeslagen label verwijderen"));
    BtnSave = ToolbarButton(5, QStringLiteral("Label opslaan als JPG"), {QKeySequence(Qt::CTRL | Qt::Key_E)});
    btnPrint = ToolbarButton(7, QStringLiteral("Afdrukken"), {QKeySequence(Qt::CTRL | Qt::Key_P)});
    btnUndo = ToolbarButton(13, QStringLiteral("Ongedaan maken"), {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    btnRedo = ToolbarButton(14, QStringLiteral("Opnieuw"),
                            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QToolButton* button : {btnNew, btnLoad, btnSaveLbl, btnDel, BtnSave, btnPrint, btnUndo, btnRedo})
        row->addWidget(button);
    auto* help = new QAction(QStringLiteral("Handleiding"), this);
    help->setShortcut(QKeySequence::HelpContents);
    help->setShortcutContext(Qt::ApplicationShortcut);
    connect(help, &QAction::triggered, this, &TFrmMain::actHelpClick);
    addAction(help);
    row->addSpacing(50);

    rdgLabelSize = new TRadioGroup(QStringLiteral("Formaat"),
                                   {QStringLiteral("6 cm"), QStringLiteral("10 cm"), QStringLiteral("14 cm")}, 3, Panel1);
    rdgLabelSize->setFixedWidth(212);
    rdgLabelSize->SetItemIndex(1);
    row->addWidget(rdgLabelSize);
    row->addStretch(1);

    Panel13 = new QWidget(Panel1);
    Panel13->setFixedWidth(143);
    auto* linkRow = new QHBoxLayout(Panel13);
    linkRow->setContentsMargins(0, 0, 0, 0);
    LinkLabel1 = new TLinkLabel(ForumLink, Panel13);
    LinkLabel1->setFont(Tahoma(10));
    linkRow->addWidget(LinkLabel1, 0, Qt::AlignVCenter | Qt::AlignLeft);
    row->addWidget(Panel13);
}

QWidget* TFrmMain::CreateBackgroundTab()
{
    TabSheet1 = new QWidget;
    auto* column = new QVBoxLayout(TabSheet1);
    column->setContentsMargins(6, 10, 6, 6);
    column->setSpacing(10);

    rdgBgSelection = new TRadioGroup(QStringLiteral("Gebruik een..."),
                                     {QStringLiteral("...achtergrond foto"), QStringLiteral("...achtergrond kleur")}, 2,
                                     TabSheet1);
    rdgBgSelection->setFixedHeight(49);
    rdgBgSelection->SetItemIndex(0);
    column->addWidget(rdgBgSelection);

    gbBgImage = new QGroupBox(QStringLiteral("Achtergrond foto"), TabSheet1);
    gbBgImage->setFixedHeight(BgImageHeight);
    auto* image = new QVBoxLayout(gbBgImage);
    image->setSpacing(6);
    rdgEffect = new TRadioGroup(QStringLiteral("Effect"),
                                {QStringLiteral("Geen"), QStringLiteral("Sepia"), QStringLiteral("Grijstinten")}, 3,
                                gbBgImage);
    rdgEffect->SetItemIndex(0);
    image->addWidget(rdgEffect);
    image->addLayout(PathRow(gbBgImage, edtBgImage, btnBgImage));
    lblBgImageNotice = PictureNotice(gbBgImage);
    image->addWidget(lblBgImageNotice);
    spEdit = new TSpinEdit(0, 90, 10, 0, gbBgImage);
    image->addLayout(
        SpinRow(gbBgImage, Label2, QStringLiteral("Transparantie"), spEdit, Label12, QStringLiteral("%")));
    column->addWidget(gbBgImage);

    gbBgColor = new QGroupBox(QStringLiteral("Achtergrond kleur"), TabSheet1);
    gbBgColor->setFixedHeight(58);
    auto* colorRow = new QHBoxLayout(gbBgColor);
    colbBackground = new TColorSelector(gbBgColor);
    colbBackground->setFixedSize(89, 25);
    colorRow->addWidget(colbBackground);
    colorRow->addStretch(1);
    column->addWidget(gbBgColor);

    GroupBox3 = new QGroupBox(QStringLiteral("Foto midden"), TabSheet1);
    GroupBox3->setFixedHeight(MiddleImgHeight);
    auto* middle = new QVBoxLayout(GroupBox3);
    middle->setSpacing(6);
    chkMiddleImg = new QCheckBox(QStringLiteral("Gebruik foto in midden label"), GroupBox3);
    middle->addWidget(chkMiddleImg);
    middle->addLayout(PathRow(GroupBox3, edtMiddleImg, btnMiddleImg));
    lblMiddleImgNotice = PictureNotice(GroupBox3);
    middle->addWidget(lblMiddleImgNotice);
    spePngWidth = new TSpinEdit(10, 90, 2, 10, GroupBox3);
    middle->addLayout(SpinRow(GroupBox3, Label10, QStringLiteral("Breedte:"), spePngWidth, Label11,
                              QStringLiteral("% van de breedte van het label")));

    auto* moveRow = new QHBoxLayout;
    const auto addMove = [&](QLabel*& aLabel, const QString& aCaption, TRepeatButton*& aButton, int aTag, int aIcon) {
        aLabel = new QLabel(aCaption, GroupBox3);
        aButton = new TRepeatButton(GroupBox3);
        aButton->setIcon(MerovikIcon(aIcon));
        SetTag(aButton, aTag);
        moveRow->addWidget(aLabel);
        moveRow->addWidget(aButton);
        moveRow->addSpacing(6);
    };
    addMove(Label1, QStringLiteral("Naar links"), AdvRepeatButton1, 1, 11);
    addMove(Label7, QStringLiteral("Naar rechts"), AdvRepeatButton3, 2, 12);
    addMove(Label8, QStringLiteral("Naar onder"), AdvRepeatButton2, 3, 9);
    addMove(Label9, QStringLiteral("Naar boven"), AdvRepeatButton4, 4, 10);
    moveRow->addStretch(1);
    middle->addLayout(moveRow);
    column->addWidget(GroupBox3);
    column->addStretch(1);
    return TabSheet1;
}

QWidget* TFrmMain::CreateTextTab()
{
    TabSheet2 = new QWidget;
    auto* column = new QVBoxLayout(TabSheet2);
    column->setContentsMargins(6, 10, 6, 6);
    column->setSpacing(10);

    const auto addRow = [&](QGroupBox*& aBox, const QString& aCaption, QLineEdit*& aEdit, QToolButton** aFontButton,
                            int aTag) {
        aBox = new QGroupBox(aCaption, TabSheet2);
        aBox->setFixedHeight(70);
        auto* row = new QHBoxLayout(aBox);
        aEdit = new QLineEdit(aBox);
        aEdit->setFont(Tahoma(10));
        SetTag(aEdit, aTag);
        row->addWidget(aEdit, 1);
        if (aFontButton) {
            auto* button = new QToolButton(aBox);
            button->setText(QStringLiteral("A"));
            button->setFont(Tahoma(10));
            button->setAutoRaise(true);
            button->setFixedSize(27, 27);
            button->setToolTip(QStringLiteral("Kies font"));
            SetTag(button, aTag);
            row->addWidget(button);
            *aFontButton = button;
        } else {
            // No font button here: keep the edit as wide as the others.
            row->addSpacing(27 + row->spacing());
        }
        column->addWidget(aBox);
    };
    addRow(GroupBox4, QStringLiteral("Naam kaas"), edtName, &spbFontName, 1);
    addRow(GroupBox5, QStringLiteral("Type kaas"), edtType, &SpeedButton1, 2);
    addRow(GroupBox6, QStringLiteral("Productie 1"), edtSub1, &SpeedButton4, 3);
    addRow(GroupBox7, QStringLiteral("Productie 2"), edtSub2, nullptr, 4);
    addRow(GroupBox8, QStringLiteral("Datum productie"), edtDate, &SpeedButton3, 5);
    edtName->setText(QStringLiteral("Velmar's Kaaskelder"));
    edtType->setText(QStringLiteral("* * Proosdij Kaas * *"));
    edtSub1->setText(QStringLiteral("Huisgemaakt in Brekvelde"));
    edtSub2->setText(QStringLiteral("door P. Orvelink"));
    edtDate->setText(QStringLiteral("15 sept. 2013"));
    column->addStretch(1);
    return TabSheet2;
}

QWidget* TFrmMain::CreateRingTab()
{
    TabSheet3 = new QWidget;
    auto* column = new QVBoxLayout(TabSheet3);
    column->setContentsMargins(10, 10, 10, 6);
    column->setSpacing(2);

    const auto addRing = [&](QGroupBox*& aBox, const QString& aCaption, QCheckBox*& aCheck, TColorSelector*& aColor,
                             int aTag) {
        aBox = new QGroupBox(aCaption, TabSheet3);
        aBox->setFixedHeight(55);
        auto* row = new QHBoxLayout(aBox);
        aCheck = new QCheckBox(QStringLiteral("Gebruiken"), aBox);
        aCheck->setFixedWidth(86);
        aCheck->setChecked(true);
        SetTag(aCheck, aTag);
        aColor = new TColorSelector(aBox);
        aColor->setFixedSize(65, 21);
        SetTag(aColor, aTag);
        row->addWidget(aCheck);
        row->addWidget(aColor);
        row->addStretch(1);
        column->addWidget(aBox);
    };
    addRing(grbRing1, QStringLiteral("Buitenring 1"), chkbRing1, colbRing1, 1);
    addRing(grbRing2, QStringLiteral("Buitenring 2"), chkbRing2, colbRing2, 2);
    addRing(grbRing3, QStringLiteral("Binnenring 1"), chkbRing3, colbRing3, 3);
    addRing(grbRing4, QStringLiteral("Binnenring 2"), chkbRing4, colbRing4, 4);
    column->addStretch(1);
    return TabSheet3;
}

void TFrmMain::Connect()
{
    connect(btnNew->defaultAction(), &QAction::triggered, this, &TFrmMain::btnNewClick);
    connect(btnLoad->defaultAction(), &QAction::triggered, this, &TFrmMain::btnLoadClick);
    connect(btnSaveLbl->defaultAction(), &QAction::triggered, this, &TFrmMain::btnSaveLblClick);
    connect(btnDel->defaultAction(), &QAction::triggered, this, &TFrmMain::btnDelClick);
    connect(BtnSave->defaultAction(), &QAction::triggered, this, &TFrmMain::btnSaveClick);
    connect(btnPrint->defaultAction(), &QAction::triggered, this, &TFrmMain::btnPrintClick);
    connect(btnUndo->defaultAction(), &QAction::triggered, this, &TFrmMain::actUndoClick);
    connect(btnRedo->defaultAction(), &QAction::triggered, this, &TFrmMain::actRedoClick);
    btnUndo->defaultAction()->setEnabled(false);
    btnRedo->defaultAction()->setEnabled(false);
    connect(FUndo, &QUndoStack::canUndoChanged, btnUndo->defaultAction(), &QAction::setEnabled);
    connect(FUndo, &QUndoStack::canRedoChanged, btnRedo->defaultAction(), &QAction::setEnabled);
    connect(rdgLabelSize, &TRadioGroup::Click, this, &TFrmMain::rdgLabelSizeClick);
    connect(LinkLabel1, &QLabel::linkActivated, this, &TFrmMain::LinkLabel1LinkClick);

    connect(rdgBgSelection, &TRadioGroup::Click, this, &TFrmMain::rdgBgSelectionClick);
    connect(rdgEffect, &TRadioGroup::Click, this, &TFrmMain::rdgEffectClick);
    connect(spEdit, &QSpinBox::valueChanged, this, &TFrmMain::spEditChange);
    connect(btnBgImage, &QToolButton::clicked, this, &TFrmMain::btnBgImageClick);
    connect(colbBackground, &TColorSelector::SelectColor, this, &TFrmMain::colbBackgroundSelectColor);
    // Checked state set by the program counts as a click too, as the loading relies on.
    connect(chkMiddleImg, &QCheckBox::toggled, this, &TFrmMain::chkMiddleImgClick);
    connect(btnMiddleImg, &QToolButton::clicked, this, &TFrmMain::btnMiddleImgClick);
    connect(spePngWidth, &QSpinBox::valueChanged, this, &TFrmMain::spePngWidthChange);
    for (TRepeatButton* button : {AdvRepeatButton1, AdvRepeatButton3, AdvRepeatButton2, AdvRepeatButton4})
        connect(button, &TRepeatButton::clicked, this, [this, button] { btnPngXClick(button); });

    // textChanged, not textEdited: filling the edits from a file must reach the elements too.
    for (QLineEdit* edit : {edtName, edtType, edtSub1, edtSub2, edtDate}) {
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { edtNameChange(edit); });
        edit->installEventFilter(this);
    }
    for (QToolButton* button : {spbFontName, SpeedButton1, SpeedButton4, SpeedButton3})
        connect(button, &QToolButton::clicked, this, [this, button] { spbFontNameClick(button); });
    connect(Timer, &QTimer::timeout, this, &TFrmMain::TimerTimer);

    for (QCheckBox* check : {chkbRing1, chkbRing2, chkbRing3, chkbRing4})
        connect(check, &QCheckBox::toggled, this, [this, check] { chkbRing1Click(check); });
    for (TColorSelector* color : {colbRing1, colbRing2, colbRing3, colbRing4})
        connect(color, &TColorSelector::SelectColor, this, [this, color] { colbRing1SelectColor(color); });
}

int TFrmMain::Tag(const QObject* aControl)
{
    return aControl ? aControl->property(TagProperty).toInt() : 0;
}

void TFrmMain::CenterOnScreen()
{
    const QScreen* current = screen();
    if (!current)
        return;
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(current->availableGeometry().center());
    move(frame.topLeft());
}

void TFrmMain::HandleIniFile(const QString& aName, bool aDoSave)
{
    const bool settings = aName.isEmpty();
    const QString file = settings ? FPaths.SettingsFile : aName;
    if (aDoSave) {
        // The settings may live in a per-user folder that does not exist yet.
        if (settings)
            QDir().mkpath(QFileInfo(file).absolutePath());
        TFileProblem error = FDocument.SaveToFile(file);
        if (error.IsNone() && settings)
            error = SavePrintSettings(file);
        if (!error.IsNone())
            ShowErrors({LabelWriteMessage(error)});
        else if (!settings)
            SetFileName(file);
        return;
    }

    // Read apart from the design on screen, which a label file that cannot
    // be used must not replace. At start there is no design yet: the
    // settings file's defaults stand in for what could not be read.
    TLabelDocument loaded;
    const TLoadReport report = loaded.LoadFromFile(file);
    if (!settings && !report.ReadError.IsNone()) {
        ShowErrors({FileProblemMessage(report.ReadError)});
        return;
    }
    if (settings)
        LoadPrintSettings(file);
    const QString fileBefore = FFileName;
    ShowDocument(loaded);
    if (settings) {
        ResetUndoBase();
    } else {
        SetFileName(file);
        RecordStep(-1, 0, &fileBefore);
    }

    // A colour that could not be read has taken its default; the rest of the
    // file is in, so the label is drawn before the message is shown. What the
    // user loads also tells what of it cannot be used, such as a photo that
    // is gone; the settings read at start keep quiet about that.
    ShowErrors(LoadReportMessages(report, !settings));
}

void TFrmMain::OpenLabelFile(const QString& aFile)
{
    // The load dialog reads a typed name that does not exist as a label of
    // defaults; a name given from outside that names no file is a mistake.
    if (!QFileInfo::exists(aFile)) {
        ShowErrors({NoSuchFileMessage(aFile)});
        return;
    }
    HandleIniFile(QFileInfo(aFile).absoluteFilePath(), false);
}

void TFrmMain::ShowDocument(const TLabelDocument& aDocument)
{
    // A pending redraw of typing would only draw the document being replaced.
    Timer->stop();
    FLoading = true;
    FDocument = aDocument;
    IniToUI();
    FLoading = false;
    DrawLabel();
}

void TFrmMain::SetFileName(const QString& aFile)
{
    FFileName = aFile;
    setWindowTitle(aFile.isEmpty() ? QStringLiteral("Merovik")
                                   : QFileInfo(aFile).fileName() + QStringLiteral(" \u2013 Merovik"));
}

void TFrmMain::ShowErrors(const QStringList& aMessages)
{
    if (!aMessages.isEmpty())
        FDialogs.ShowError(this, aMessages.join(QLatin1Char('\n')));
}

void TFrmMain::DrawLabel()
{
    if (FLoading)
        return;
    FRenderer.DrawLabel(FDocument);
    Image1->RasterChanged();
    ShowPictureNotices();
    ++FDrawCount;
}

void TFrmMain::ShowPictureNotices()
{
    const TRenderReport& report = FRenderer.Report();
    const auto show = [](QGroupBox* aBox, int aHeight, QLabel* aNotice, const TPictureProblem& aProblem) {
        const QString text = NoticeText(aProblem);
        if (text == aNotice->text() && aNotice->isVisibleTo(aBox) == !text.isEmpty())
            return;
        aNotice->setText(text);
        aNotice->setToolTip(text.isEmpty() ? QString() : PictureReasonText(aProblem));
        aNotice->setVisible(!text.isEmpty());
        // The boxes keep their height while all is well; a notice adds its line.
        const QVBoxLayout* layout = qobject_cast<const QVBoxLayout*>(aBox->layout());
        const int line = aNotice->sizeHint().height() + (layout ? layout->spacing() : 6);
        aBox->setFixedHeight(aHeight + (text.isEmpty() ? 0 : line));
    };
    show(gbBgImage, BgImageHeight, lblBgImageNotice, report.Background);
    show(GroupBox3, MiddleImgHeight, lblMiddleImgNotice, report.Middle);
}

void TFrmMain::DrawPending()
{
    if (Timer->isActive())
        TimerTimer();
}

void TFrmMain::FormDestroy()
{
    if (FSettingsWritten)
        return;
    FSettingsWritten = true;
    Timer->stop();
    HandleIniFile(QString(), true);
}

void TFrmMain::closeEvent(QCloseEvent* aEvent)
{
    // A failed write has been reported; the window closes all the same.
    FormDestroy();
    aEvent->accept();
}

void TFrmMain::rdgLabelSizeClick()
{
    const int item = rdgLabelSize->ItemIndex();
    if (item < 0)
        return;
    FRenderer.SetLabelSize(item);
    DrawLabel();
}

void TFrmMain::LinkLabel1LinkClick(const QString& aLink)
{
    FDialogs.OpenLink(LinkTarget(aLink));
}

QUrl LinkTarget(const QString& aLink)
{
    const QUrl url(aLink);
    if (url.scheme().isEmpty())
        return QUrl(QStringLiteral("https://") + aLink);
    return url;
}

#include "editor/print_dialog.h"

#include "editor/dialogs.h"
#include "editor/print_shop_box.h"
#include "editor/print_layout_box.h"
#include "editor/merge_messages.h"
#include "editor/messages.h"
#include "kit/decimal_spin_box.h"
#include "merge/label_pool.h"
#include "merge/picture_batch.h"
#include "print/pdf_writer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPrintPreviewWidget>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The preview paints this many pages at most: a long merge need not wait for all.
constexpr int MaxPreviewPages = 10;
// A run of more labels than this shows its progress and can be cancelled.
constexpr int ProgressAbove = 5;
// Lines of one error box at most: a thousand rows missing the same picture
// must not fill the screen.
constexpr int MaxShownMessages = 20;
constexpr int MaxCopies = 9999;
// A table's pictures as the picture export writes the label's.
const QString PictureFormat = QStringLiteral("jpg");
constexpr int PictureQuality = 98;

QString Counted(int aCount, const QString& aOne, const QString& aMany)
{
    return aCount == 1 ? QStringLiteral("1 %1").arg(aOne) : QStringLiteral("%1 %2").arg(aCount).arg(aMany);
}

// Keeps a fixed-width column as tall as its wrapped texts need. A window's
// minimum size leaves out what wrapped labels need at the column's width, so
// a long note would otherwise be cut off.
class TColumnHeightKeeper : public QObject
{
public:
    explicit TColumnHeightKeeper(QWidget* aColumn) : QObject(aColumn), FColumn(aColumn)
    {
        aColumn->installEventFilter(this);
        Update();
    }

    bool eventFilter(QObject* aObject, QEvent* aEvent) override
    {
        if (aEvent->type() == QEvent::LayoutRequest)
            Update();
        return QObject::eventFilter(aObject, aEvent);
    }

private:
    void Update()
    {
        if (FColumn->layout())
            FColumn->setMinimumHeight(FColumn->layout()->totalHeightForWidth(FColumn->minimumWidth()));
    }

    QWidget* FColumn;
};

// aLines for the error box, the last of them saying how many more there are.
QString MessageLines(QStringList aLines)
{
    if (aLines.size() > MaxShownMessages) {
        const qsizetype more = aLines.size() - (MaxShownMessages - 1);
        aLines.resize(MaxShownMessages - 1);
        aLines << QStringLiteral("... en nog %1 meldingen").arg(more);
    }
    return aLines.join(QLatin1Char('\n'));
}

QString Millimetres(double aValue)
{
    return QLocale(QLocale::Dutch).toString(aValue, 'g', QLocale::FloatingPointShortest);
}

}  // namespace

QString PrintProblemText(const TPrintProblem& aProblem)
{
    using TKind = TPrintProblem::TKind;
    switch (aProblem.Kind) {
    case TKind::None: return {};
    case TKind::DiameterOutOfRange:
        return QStringLiteral("De diameter moet tussen %1 en %2 mm liggen, niet %3 mm")
            .arg(Millimetres(MinDiameter), Millimetres(MaxDiameter), Millimetres(aProblem.Value));
    case TKind::NoLabelFits:
        return QStringLiteral("Op deze pagina past geen label van %1 mm").arg(Millimetres(aProblem.Value));
    case TKind::Overlap:
        return QStringLiteral("De labels overlappen: de afstand tussen de %1 (%2 mm) is kleiner dan de diameter (%3 mm)")
            .arg(aProblem.Horizontal ? QStringLiteral("kolommen") : QStringLiteral("rijen"),
                 Millimetres(aProblem.Value), Millimetres(aProblem.Limit));
    case TKind::OutsidePage:
        return QStringLiteral("Het label op positie %1 valt buiten de pagina").arg(aProblem.Position);
    case TKind::StartOutOfRange:
        return QStringLiteral("De beginpositie moet tussen 1 en %1 liggen").arg(aProblem.Count);
    case TKind::OffsetOutOfRange:
        return QStringLiteral("De verschuiving moet tussen %1 en %2 mm liggen")
            .arg(Millimetres(TCalibration::MinOffset), Millimetres(TCalibration::MaxOffset));
    case TKind::ScaleOutOfRange:
        return QStringLiteral("De schaal moet tussen %1 en %2 % liggen")
            .arg(Millimetres(TCalibration::MinScale), Millimetres(TCalibration::MaxScale));
    case TKind::NothingToPrint: return QStringLiteral("Er is niets om af te drukken");
    case TKind::LargerThanDieCut:
        return QStringLiteral("De diameter (%1 mm) is groter dan de uitsnede van het etiket (%2 mm): de druk zou over de rand gaan")
            .arg(Millimetres(aProblem.Value), Millimetres(aProblem.Limit));
    case TKind::GridsOverlap:
        return QStringLiteral("De labels op positie %1 en %2 overlappen").arg(aProblem.Position).arg(aProblem.Count);
    case TKind::BleedOutOfRange:
        return QStringLiteral("De afloop moet tussen 0 en %1 mm liggen").arg(Millimetres(TPrintShop::MaxBleed));
    case TKind::BleedTooWide:
        return QStringLiteral("De afloop (%1 mm) is breder dan de helft van de ruimte tussen de labels (%2 mm)")
            .arg(Millimetres(aProblem.Value), QLocale(QLocale::Dutch).toString(aProblem.Limit, 'f', 2));
    case TKind::CropMarksOnSheet: return QStringLiteral("Snijtekens kunnen alleen bij één label per pagina");
    }
    return {};
}

QString SuggestedPdfName(const QString& aCheeseType)
{
    QString name = aCheeseType;
    // A "/" would make the suggested name a path into a folder.
    return name.replace(QLatin1Char('/'), QLatin1Char('-')) + QStringLiteral(".pdf");
}

QString DesignBaseName(const QString& aLabelFile, const QString& aCheeseType)
{
    if (!aLabelFile.isEmpty())
        return QFileInfo(aLabelFile).completeBaseName();
    if (aCheeseType.trimmed().isEmpty())
        return {};
    // As the picture export suggests it: a "/" would make it a path.
    QString name = aCheeseType;
    return name.replace(QLatin1Char('/'), QLatin1Char('-'));
}

TPrintDialog::TPrintDialog(TDialogs& aDialogs, const TPrintPreferences& aPreferences, int aSizeItem,
                           const QString& aFolder, std::shared_ptr<TPictureCache> aPictures, QWidget* aParent)
    : QDialog(aParent), FDialogs(aDialogs), FPreferences(aPreferences), FSizeItem(aSizeItem), FFolder(aFolder),
      FPictures(aPictures ? std::move(aPictures) : std::make_shared<TPictureCache>()), FRenderer(FPictures)
{
    setWindowTitle(QStringLiteral("Afdrukken"));
    FRenderer.SetLabelSize(aSizeItem);

    auto* column = new QVBoxLayout;
    LayoutBox = new TPrintLayoutBox(aDialogs, aPreferences, aSizeItem, InstalledCatalogue(), this);
    column->addWidget(LayoutBox);
    column->addWidget(CreateCopiesBox());
    column->addWidget(CreateCalibrationBox());
    grbPrintShop = new TPrintShopBox(this);
    column->addWidget(grbPrintShop);
    column->addWidget(CreateTableBox());
    lblMessage = new QLabel(this);
    lblMessage->setWordWrap(true);
    column->addWidget(lblMessage);
    lblRun = new QLabel(this);
    lblRun->setWordWrap(true);
    column->addWidget(lblRun);
    column->addStretch(1);
    auto* buttons = new QHBoxLayout;
    btnPrint = new QPushButton(QStringLiteral("Afdrukken..."), this);
    btnSavePdf = new QPushButton(QStringLiteral("Opslaan als PDF..."), this);
    btnClose = new QPushButton(QStringLiteral("Sluiten"), this);
    btnPrint->setDefault(true);
    buttons->addWidget(btnPrint);
    buttons->addWidget(btnSavePdf);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    column->addLayout(buttons);

    auto* side = new QWidget(this);
    side->setLayout(column);
    side->setFixedWidth(400);
    FPreviewPrinter.setFullPage(true);
    FPreviewPrinter.setOutputFormat(QPrinter::PdfFormat);  // asks no printer system, paints only
    Preview = new QPrintPreviewWidget(&FPreviewPrinter, this);
    Preview->setZoomMode(QPrintPreviewWidget::FitInView);
    auto* row = new QHBoxLayout(this);
    row->addWidget(side);
    row->addWidget(Preview, 1);
    new TColumnHeightKeeper(side);
    resize(1040, 720);

    // One preview for a burst of changes, such as a held spin arrow.
    FPreviewTimer = new QTimer(this);
    FPreviewTimer->setSingleShot(true);
    FPreviewTimer->setInterval(150);
    connect(FPreviewTimer, &QTimer::timeout, Preview, &QPrintPreviewWidget::updatePreview);
    connect(Preview, &QPrintPreviewWidget::paintRequested, this, &TPrintDialog::PreviewPaint);

    // The last values; the copies start at 1, so that last week's number
    // does not multiply this week's table.
    FFilling = true;
    speOffsetX->setValue(aPreferences.Calibration.OffsetX);
    speOffsetY->setValue(aPreferences.Calibration.OffsetY);
    speScaleX->setValue(aPreferences.Calibration.ScaleX);
    speScaleY->setValue(aPreferences.Calibration.ScaleY);
    grbPrintShop->speBleed->setValue(aPreferences.Bleed);
    FFilling = false;
    if (aPreferences.CalibrationUnreadable)
        lblRun->setText(QStringLiteral("De kalibratie in het instellingenbestand was onleesbaar of buiten bereik. "
                                       "Er wordt afgedrukt zonder verschuiving en op 100 %; kalibreer de printer "
                                       "zo nodig opnieuw."));
    UpdateState();
    // After the layout, whose positions bound it.
    speStart->setValue(aPreferences.Start);

    connect(LayoutBox, &TPrintLayoutBox::Changed, this, &TPrintDialog::UpdateState);
    for (QSpinBox* box : {speCopies, speStart})
        connect(box, &QSpinBox::valueChanged, this, &TPrintDialog::UpdateState);
    for (QDoubleSpinBox* box : {speOffsetX, speOffsetY, speScaleX, speScaleY})
        connect(box, &QDoubleSpinBox::valueChanged, this, &TPrintDialog::UpdateState);
    connect(chkCalibrationPage, &QCheckBox::toggled, this, &TPrintDialog::UpdateState);
    connect(grbPrintShop, &TPrintShopBox::Changed, this, &TPrintDialog::UpdateState);
    connect(btnPrint, &QPushButton::clicked, this, &TPrintDialog::btnPrintClick);
    connect(btnSavePdf, &QPushButton::clicked, this, &TPrintDialog::btnSavePdfClick);
    connect(btnMerge, &QPushButton::clicked, this, &TPrintDialog::btnMergeClick);
    connect(btnUnmerge, &QPushButton::clicked, this, &TPrintDialog::btnUnmergeClick);
    connect(btnExport, &QPushButton::clicked, this, &TPrintDialog::btnExportClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    UpdateTable();
    UpdateState();
}

TPrintDialog::~TPrintDialog()
{
    // Before FPreviewPrinter, whose pages it shows.
    delete Preview;
}

QWidget* TPrintDialog::CreateCopiesBox()
{
    auto* box = new QGroupBox(QStringLiteral("Labels"), this);
    auto* form = new QFormLayout(box);
    speCopies = CountBox(box, 1, MaxCopies);
    lblCopies = new QLabel(QStringLiteral("Aantal per label:"), box);
    lblTotal = new QLabel(box);
    form->addRow(lblCopies, Pair(speCopies, lblTotal));
    speStart = CountBox(box, 1, 1);
    speStart->setToolTip(QStringLiteral("De eerste vrije plaats op een deels gebruikt vel, rij voor rij geteld"));
    form->addRow(QStringLiteral("Beginpositie:"), speStart);
    return box;
}

QWidget* TPrintDialog::CreateCalibrationBox()
{
    auto* box = new QGroupBox(QStringLiteral("Kalibratie"), this);
    auto* form = new QFormLayout(box);
    const QString x = QStringLiteral("x ");
    const QString y = QStringLiteral("y ");
    speOffsetX = NumberBox(box, TCalibration::MinOffset, TCalibration::MaxOffset, 0.1, 1, QStringLiteral(" mm"), x);
    speOffsetY = NumberBox(box, TCalibration::MinOffset, TCalibration::MaxOffset, 0.1, 1, QStringLiteral(" mm"), y);
    speOffsetX->setToolTip(QStringLiteral("Meer dan 0 schuift de afdruk naar rechts"));
    speOffsetY->setToolTip(QStringLiteral("Meer dan 0 schuift de afdruk naar onder"));
    form->addRow(QStringLiteral("Verschuiving:"), Pair(speOffsetX, speOffsetY));
    speScaleX = NumberBox(box, TCalibration::MinScale, TCalibration::MaxScale, 0.1, 1, QStringLiteral(" %"), x);
    speScaleY = NumberBox(box, TCalibration::MinScale, TCalibration::MaxScale, 0.1, 1, QStringLiteral(" %"), y);
    speScaleX->setToolTip(QStringLiteral("Vanaf de linkerbovenhoek van de pagina; meet de liniaal van 100 mm "
                                         "op de kalibratiepagina"));
    speScaleY->setToolTip(speScaleX->toolTip());
    form->addRow(QStringLiteral("Schaal:"), Pair(speScaleX, speScaleY));
    chkCalibrationPage = new QCheckBox(QStringLiteral("Kalibratiepagina"), box);
    chkCalibrationPage->setToolTip(QStringLiteral("Drukt een kruis op het midden van elk label en een liniaal "
                                                  "van 100 mm af, om de printer na te meten"));
    form->addRow(chkCalibrationPage);
    return box;
}

QWidget* TPrintDialog::CreateTableBox()
{
    auto* box = new QGroupBox(QStringLiteral("Tabel"), this);
    auto* rows = new QVBoxLayout(box);
    btnMerge = new QPushButton(QStringLiteral("Samenvoegen met tabel..."), box);
    btnMerge->setToolTip(QStringLiteral("Eén label per rij van een tabel (CSV of TSV, bijvoorbeeld uit een "
                                        "spreadsheet), met de teksten en afbeeldingen uit de kolommen"));
    btnUnmerge = new QPushButton(QStringLiteral("Zonder tabel"), box);
    btnUnmerge->setToolTip(QStringLiteral("Weer het label zoals in het venster"));
    btnExport = new QPushButton(QStringLiteral("Exporteer afbeeldingen..."), box);
    btnExport->setToolTip(QStringLiteral("Eén JPG-afbeelding per rij van de tabel, in een map naar keuze"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnMerge);
    buttons->addWidget(btnUnmerge);
    rows->addLayout(buttons);
    lblTable = new QLabel(box);
    lblTable->setWordWrap(true);
    rows->addWidget(lblTable);
    auto* exportRow = new QHBoxLayout;
    exportRow->addWidget(btnExport);
    exportRow->addStretch(1);
    rows->addLayout(exportRow);
    return box;
}

void TPrintDialog::SetJobs(const QList<TPrintJob>& aJobs)
{
    FPlainJobs = aJobs;
    FJobs = aJobs;
    FTable.reset();
    UpdateTable();
    UpdateState();
}

void TPrintDialog::SetDesign(const TLabelDocument& aDesign, const QString& aBaseName, const QString& aTableFolder)
{
    FDesign = aDesign;
    FBaseName = aBaseName;
    FTableFolder = aTableFolder;
    UpdateTable();
}

QList<TPrintJob> TPrintDialog::PrintedJobs() const
{
    QList<TPrintJob> jobs = FJobs;
    for (TPrintJob& job : jobs)
        job.Copies *= speCopies->value();
    return jobs;
}

TPrintSettings TPrintDialog::Settings() const
{
    TPrintSettings settings;
    settings.Layout = LayoutBox->Layout();
    settings.Start = speStart->value();
    settings.Calibration = {speOffsetX->value(), speOffsetY->value(), speScaleX->value(), speScaleY->value()};
    settings.Shop = grbPrintShop->Shop();
    return settings;
}

TPrintProblem TPrintDialog::Problem() const
{
    TPrintSettings settings = Settings();
    // The calibration page has neither a start position nor a print shop's marks.
    if (chkCalibrationPage->isChecked()) {
        settings.Start = 1;
        settings.Shop = {};
    }
    const TPrintProblem problem = CheckSettings(settings);
    if (problem.IsNone() && !chkCalibrationPage->isChecked() && PlaceLabels(PrintedJobs(), settings).isEmpty())
        return {TPrintProblem::TKind::NothingToPrint};
    return problem;
}

int TPrintDialog::PageCount() const
{
    if (!Problem().IsNone())
        return 0;
    if (chkCalibrationPage->isChecked())
        return 1;
    const QList<TPlacement> placements = PlaceLabels(PrintedJobs(), Settings());
    return placements.isEmpty() ? 0 : placements.last().Page + 1;
}

TPrintPreferences TPrintDialog::Preferences() const
{
    TPrintPreferences preferences = FPreferences;
    LayoutBox->Remember(preferences);
    preferences.DiameterSize = FSizeItem;
    preferences.Copies = speCopies->value();
    preferences.Start = speStart->value();
    preferences.Calibration = Settings().Calibration;
    preferences.Bleed = grbPrintShop->speBleed->value();
    // Said once, in this dialog; the values are now the ones it shows.
    preferences.CalibrationUnreadable = false;
    return preferences;
}

void TPrintDialog::UpdateState()
{
    if (FFilling)
        return;
    const TSheetLayout layout = LayoutBox->Layout();
    const bool sheet = layout.Paper != TPaper::Label;
    {
        const bool filling = FFilling;
        FFilling = true;
        // An invalid layout leaves the start as it is, for when it is put right.
        if (CheckLayout(layout).IsNone())
            speStart->setMaximum(std::max(layout.Positions(), 1));
        speStart->setEnabled(sheet && !chkCalibrationPage->isChecked());
        grbPrintShop->SetOneLabelPerPage(!sheet);
        FFilling = filling;
    }
    lblCopies->setText(FTable ? QStringLiteral("Aantal per rij:") : QStringLiteral("Aantal per label:"));
    int total = 0;
    for (const TPrintJob& job : PrintedJobs())
        total += job.Copies;
    lblTotal->setText(QStringLiteral("= %1").arg(Counted(total, QStringLiteral("label"), QStringLiteral("labels"))));
    const TPrintProblem problem = Problem();
    if (!problem.IsNone()) {
        lblMessage->setStyleSheet(QStringLiteral("color: #b00000;"));
        lblMessage->setText(PrintProblemText(problem));
    } else {
        lblMessage->setStyleSheet(QString());
        const int pages = PageCount();
        const QString pageText = pages == 1 ? QStringLiteral("1 pagina") : QStringLiteral("%1 pagina's").arg(pages);
        if (chkCalibrationPage->isChecked()) {
            lblMessage->setText(QStringLiteral("Kalibratiepagina: %1").arg(pageText));
        } else {
            const int labels = int(PlaceLabels(PrintedJobs(), Settings()).size());
            lblMessage->setText(QStringLiteral("%1 op %2, %3 per pagina")
                                    .arg(labels == 1 ? QStringLiteral("1 label") : QStringLiteral("%1 labels").arg(labels),
                                         pageText)
                                    .arg(layout.Positions()));
        }
    }
    btnPrint->setEnabled(problem.IsNone());
    btnSavePdf->setEnabled(problem.IsNone());
    FPreviewTimer->start();
}

void TPrintDialog::UpdateTable()
{
    // A table's labels times the copies stay within what one table may
    // give, so that no print lays out millions of labels.
    const int labels = FTable ? std::max(FTable->LabelCount(), 1) : 1;
    speCopies->setMaximum(std::clamp(TMergeTable::MaxLabels / labels, 1, MaxCopies));
    btnMerge->setEnabled(FDesign.has_value());
    btnUnmerge->setEnabled(FTable.has_value());
    btnExport->setEnabled(FTable.has_value());
    if (FTable) {
        lblTable->setText(QStringLiteral("Tabel %1: %2, %3")
                              .arg(QFileInfo(FTable->FileName()).fileName(),
                                   Counted(FTable->RowCount(), QStringLiteral("rij"), QStringLiteral("rijen")),
                                   Counted(FTable->LabelCount(), QStringLiteral("label"), QStringLiteral("labels"))));
    } else {
        lblTable->setText(QStringLiteral("Geen tabel: het label zoals in het venster"));
    }
}

void TPrintDialog::PreviewPaint(QPrinter* aPrinter)
{
    // Painting now would draw with the renderer a run is using.
    if (FRunning) {
        FPreviewMissed = true;
        return;
    }
    if (!Problem().IsNone()) {
        // One blank page: the preview must not go on showing the last valid layout.
        QPainter blank(aPrinter);
        return;
    }
    TPrintSettings settings = Settings();
    if (chkCalibrationPage->isChecked()) {
        PrintCalibrationPage(*aPrinter, settings);
        return;
    }
    settings.Outlines = true;
    const int shown = MaxPreviewPages * settings.Layout.Positions() - (settings.Start - 1);
    PreviewLabels(*aPrinter, PrintedJobs(), settings, FRenderer, [shown](int aDone, int) { return aDone < shown; });
}

bool TPrintDialog::Printable()
{
    const TPrintProblem problem = Problem();
    if (problem.IsNone())
        return true;
    FDialogs.ShowError(this, PrintProblemText(problem));
    return false;
}

void TPrintDialog::ShowResult(const TPrintResult& aResult, const QString& aFailed)
{
    QStringList messages;
    if (!aResult.Problem.IsNone())
        messages << PrintProblemText(aResult.Problem);
    if (!aResult.Error.IsNone())
        messages << aFailed.arg(PrintErrorMessage(aResult.Error));
    // Each once: the rows of a table often share the picture that is missing.
    for (const TPrintWarning& warning : aResult.Warnings) {
        const QString message = QStringLiteral("Niet afgedrukt: %1").arg(PrintWarningMessage(warning));
        if (!messages.contains(message))
            messages << message;
    }
    if (!messages.isEmpty())
        FDialogs.ShowError(this, MessageLines(messages));
}

std::unique_ptr<TProgress> TPrintDialog::StartProgress(const QString& aText, int aTotal)
{
    if (aTotal <= ProgressAbove)
        return nullptr;
    return FDialogs.StartProgress(this, aText, aTotal);
}

void TPrintDialog::btnPrintClick()
{
    lblRun->clear();
    if (!Printable())
        return;
    if (!FDialogs.HasPrinter()) {
        FDialogs.ShowError(this, QStringLiteral("Er is op deze computer geen printer ingesteld. Kies \"Opslaan als "
                                                "PDF...\" om de labels als PDF te bewaren; die kunt u op een andere "
                                                "computer afdrukken of naar een drukkerij sturen."));
        return;
    }
    TPrintSettings settings = Settings();
    // On a printer they would print in colour: a print shop's marks go into PDFs only.
    settings.Shop.CutContour = settings.Shop.CropMarks = false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageSize(settings.Layout.PageSize());
    printer.setDocName(FJobs.isEmpty() || chkCalibrationPage->isChecked() ? QStringLiteral("Kalibratiepagina")
                                                                          : FJobs.first().Document.FLabelName.Text);
    printer.setCreator(QStringLiteral("Merovik"));
    if (!FDialogs.ChoosePrinter(this, printer))
        return;
    if (chkCalibrationPage->isChecked()) {
        ShowResult(PrintCalibrationPage(printer, settings), QStringLiteral("Afdrukken is niet gelukt: %1"));
        return;
    }
    FRunning = true;
    const auto done = qScopeGuard([this] { RunEnded(); });
    const QList<TPrintJob> jobs = PrintedJobs();
    const int total = int(PlaceLabels(jobs, settings).size());
    std::unique_ptr<TProgress> progress = StartProgress(QStringLiteral("Labels afdrukken"), total);
    const TPrintResult result = PrintLabels(printer, jobs, settings, FRenderer, [&](int aDone, int) {
        if (!progress || progress->Step(aDone))
            return true;
        // Where the print system can, nothing of the run is printed.
        printer.abort();
        return false;
    });
    progress.reset();
    if (result.Cancelled) {
        lblRun->setText(printer.printerState() == QPrinter::Aborted
                            ? QStringLiteral("Afdrukken afgebroken: er is niets afgedrukt")
                            : QStringLiteral("Afdrukken afgebroken na %1 van %2 labels: de pagina's tot dan toe "
                                             "gaan naar de printer")
                                  .arg(result.Labels)
                                  .arg(total));
    } else if (result.Ok()) {
        MoveStart(settings, jobs);
    }
    ShowResult(result, QStringLiteral("Afdrukken is niet gelukt: %1"));
}

void TPrintDialog::btnSavePdfClick()
{
    lblRun->clear();
    if (!Printable())
        return;
    QString name;
    if (chkCalibrationPage->isChecked())
        name = SuggestedPdfName(QStringLiteral("Kalibratiepagina"));
    else if (FTable)
        name = QFileInfo(FTable->FileName()).completeBaseName() + QStringLiteral(".pdf");
    else
        name = SuggestedPdfName(FJobs.isEmpty() ? QString() : FJobs.first().Document.FLabelType.Text);
    const QString file = FDialogs.SavePdf(this, FFolder, name);
    if (file.isEmpty())
        return;
    const TPrintSettings settings = Settings();
    const QString written = QStringLiteral("PDF geschreven: %1").arg(QDir::toNativeSeparators(file));
    if (chkCalibrationPage->isChecked()) {
        const TPrintResult result = WriteCalibrationPdf(file, settings);
        if (result.Ok())
            lblRun->setText(written);
        ShowResult(result, QStringLiteral("%1"));
        return;
    }
    FRunning = true;
    const auto done = qScopeGuard([this] { RunEnded(); });
    const QList<TPrintJob> jobs = PrintedJobs();
    std::unique_ptr<TProgress> progress =
        StartProgress(QStringLiteral("PDF maken"), int(PlaceLabels(jobs, settings).size()));
    const TPrintResult result = WriteLabelsPdf(file, jobs, settings, FRenderer, [&](int aDone, int) {
        return !progress || progress->Step(aDone);
    });
    progress.reset();
    if (result.Cancelled) {
        lblRun->setText(QStringLiteral("Afgebroken: er is geen PDF geschreven"));
    } else if (result.Ok()) {
        lblRun->setText(QStringLiteral("%1 (%2 op %3)")
                            .arg(written, Counted(result.Labels, QStringLiteral("label"), QStringLiteral("labels")),
                                 Counted(result.Pages, QStringLiteral("pagina"), QStringLiteral("pagina's"))));
        MoveStart(settings, jobs);
    }
    ShowResult(result, QStringLiteral("%1"));
}

void TPrintDialog::MoveStart(const TPrintSettings& aSettings, const QList<TPrintJob>& aJobs)
{
    if (aSettings.Layout.Paper == TPaper::Label)
        return;
    const QList<TPlacement> placements = PlaceLabels(aJobs, aSettings);
    if (placements.isEmpty())
        return;
    // A full last sheet leaves a new one to start on.
    const int next = placements.last().Position + 1;
    speStart->setValue(next > aSettings.Layout.Positions() ? 1 : next);
}

void TPrintDialog::btnMergeClick()
{
    lblRun->clear();
    const QString file = FDialogs.OpenTable(this, FTableFolder.isEmpty() ? FFolder : FTableFolder);
    if (!file.isEmpty())
        MergeTable(file);
}

bool TPrintDialog::MergeTable(const QString& aFile)
{
    if (!FDesign)
        return false;
    TMergeRead read = TMergeTable::Read(aFile);
    if (!read.Ok()) {
        // Nothing of it is used: a table half read would print wrong labels.
        FDialogs.ShowError(this, MessageLines(QStringList{QStringLiteral("De tabel %1 is niet gebruikt")
                                                              .arg(QFileInfo(aFile).fileName())}
                                              + MergeErrorLines(read.Errors)));
        return false;
    }
    FTable = std::move(read.Table);
    FTableFolder = QFileInfo(aFile).absolutePath();
    FJobs.clear();
    FJobs.reserve(FTable->RowCount());
    for (int row = 0; row < FTable->RowCount(); ++row)
        FJobs.append(TPrintJob{FTable->Document(row, *FDesign), FTable->Copies(row)});
    UpdateTable();
    UpdateState();
    return true;
}

void TPrintDialog::btnUnmergeClick()
{
    lblRun->clear();
    FTable.reset();
    FJobs = FPlainJobs;
    UpdateTable();
    UpdateState();
}

void TPrintDialog::btnExportClick()
{
    lblRun->clear();
    if (!FTable || !FDesign)
        return;
    const QString folder = FDialogs.ChooseFolder(this, FExportFolder.isEmpty() ? FFolder : FExportFolder);
    if (folder.isEmpty())
        return;
    const QString shownFolder = QDir::toNativeSeparators(folder);
    if (!QFileInfo(folder).isDir()) {
        FDialogs.ShowError(this, QStringLiteral("De map %1 bestaat niet").arg(shownFolder));
        return;
    }
    FExportFolder = folder;
    // Every name is checked before the first picture is written.
    // The design's own pictures are read by every row: none may be overwritten.
    QStringList inputs;
    for (const QString& picture : {FDesign->FLabelBg.FileName, FDesign->FLabelBg.PngFile}) {
        if (!picture.isEmpty())
            inputs << FDesign->PicturePath(picture);
    }
    const TMergeOutputs outputs = FTable->OutputFiles(folder, FBaseName, PictureFormat, inputs);
    if (!outputs.Ok()) {
        FDialogs.ShowError(this, MessageLines(QStringList{QStringLiteral("Er zijn geen afbeeldingen geschreven")}
                                              + MergeErrorLines(outputs.Errors)));
        return;
    }
    QStringList existing;
    for (const QString& file : outputs.Files) {
        if (QFileInfo::exists(file))
            existing << file;
    }
    if (!existing.isEmpty()) {
        const QString question =
            existing.size() == 1
                ? QStringLiteral("De afbeelding \"%1\" bestaat al in %2. Wilt u die overschrijven?")
                      .arg(QFileInfo(existing.first()).fileName(), shownFolder)
                : QStringLiteral("%1 van de %2 afbeeldingen bestaan al in %3. Wilt u ze overschrijven?")
                      .arg(existing.size())
                      .arg(outputs.Files.size())
                      .arg(shownFolder);
        if (!FDialogs.Confirm(this, question))
            return;
    }

    const QString source = QFileInfo(FTable->FileName()).fileName();
    QList<TPictureJob> jobs;
    jobs.reserve(FTable->RowCount());
    for (int row = 0; row < FTable->RowCount(); ++row)
        jobs.append(TPictureJob{source, FTable->Row(row).SourceRow, QString(), FTable->Document(row, *FDesign),
                                outputs.Files[row], FTable->Row(row).Pictures()});
    std::unique_ptr<TProgress> progress = StartProgress(QStringLiteral("Afbeeldingen schrijven"), int(jobs.size()));
    QStringList errors;
    QStringList warnings;
    // On every core, sharing the decoded pictures with the window.
    TLabelPool pool(0, FSizeItem, FPictures);
    const TBatchCallbacks callbacks{
        [&](const TBatchMessage& aWarning) {
            warnings << QStringLiteral("Niet getekend: %1").arg(BatchMessageText(aWarning, jobs));
        },
        [&](const TBatchMessage& aError) { errors << BatchMessageText(aError, jobs); },
        [&](int aDone, int) { return !progress || progress->Step(aDone); }};
    const TBatchResult result = RenderPictures(pool, jobs, PictureFormat, PictureQuality, callbacks);
    progress.reset();

    const int total = int(jobs.size());
    const QString written = Counted(result.Written, QStringLiteral("afbeelding"), QStringLiteral("afbeeldingen"));
    if (result.Cancelled)
        lblRun->setText(QStringLiteral("Exporteren afgebroken: %1 van de %2 afbeeldingen geschreven in %3")
                            .arg(result.Written)
                            .arg(total)
                            .arg(shownFolder));
    else
        lblRun->setText(QStringLiteral("%1 geschreven in %2").arg(written, shownFolder));
    QStringList messages;
    if (!result.Stopped.IsNone())
        messages << QStringLiteral("Exporteren gestopt: %1 van de %2 afbeeldingen zijn niet geschreven")
                        .arg(total - result.Written)
                        .arg(total)
                 << FileProblemMessage(result.Stopped);
    else if (result.Failed > 0)
        messages << QStringLiteral("%1 van de %2 afbeeldingen zijn niet geschreven").arg(result.Failed).arg(total);
    messages << errors;
    messages << warnings;
    if (!messages.isEmpty())
        FDialogs.ShowError(this, MessageLines(messages));
}

void TPrintDialog::RunEnded()
{
    FRunning = false;
    if (FPreviewMissed) {
        FPreviewMissed = false;
        FPreviewTimer->start();
    }
}


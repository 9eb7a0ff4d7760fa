#include "editor/print_layout_box.h"

#include "editor/dialogs.h"
#include "editor/messages.h"
#include "editor/print_dialog.h"
#include "kit/decimal_spin_box.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

const QString KeptPrefix = QStringLiteral("kept:");
const QString ProductPrefix = QStringLiteral("product:");
// Between brand and part in a product's key; in neither of them.
const QChar KeySeparator = QChar(0x1f);

QString ProductKey(const QString& aBrand, const QString& aPart)
{
    return ProductPrefix + aBrand + KeySeparator + aPart;
}

QString OneDecimal(double aValue)
{
    return QLocale(QLocale::Dutch).toString(aValue, 'f', 1);
}

// A product's paper as the list shows it: its name, or for a paper without
// one its size with decimal commas, as every number in the dialog.
QString PaperText(const TLabelProduct& aProduct)
{
    if (aProduct.Layout.Paper != TPaper::Other || !aProduct.PaperName.endsWith(QLatin1String(" mm")))
        return aProduct.PaperName;
    const QSizeF size = aProduct.Layout.PaperSize();
    return QStringLiteral("%1 \u00d7 %2 mm").arg(OneDecimal(size.width()), OneDecimal(size.height()));
}

QString PlainPaperName(TPaper aPaper)
{
    switch (aPaper) {
    case TPaper::A4: return QStringLiteral("A4, gewoon papier (zelf knippen)");
    case TPaper::Letter: return QStringLiteral("Letter, gewoon papier (zelf knippen)");
    case TPaper::Label: return QStringLiteral("Eén label per pagina");
    case TPaper::Other: break;
    }
    return {};
}

// One row of the list: name, paper, diameter, labels per sheet, description.
QList<QStandardItem*> Row(const QString& aKey, const QStringList& aTexts, const QString& aToolTip = {})
{
    QList<QStandardItem*> row;
    for (const QString& text : aTexts) {
        auto* item = new QStandardItem(text);
        item->setEditable(false);
        item->setToolTip(aToolTip);
        row << item;
    }
    row.first()->setData(aKey, Qt::UserRole);
    return row;
}

}  // namespace

QDoubleSpinBox* NumberBox(QWidget* aParent, double aMin, double aMax, double aStep, int aDecimals,
                          const QString& aSuffix, const QString& aPrefix)
{
    auto* box = new TDecimalSpinBox(aParent);
    box->setPrefix(aPrefix);
    box->setRange(aMin, aMax);
    box->setSingleStep(aStep);
    box->setDecimals(aDecimals);
    box->setSuffix(aSuffix);
    box->setKeyboardTracking(false);
    return box;
}

QSpinBox* CountBox(QWidget* aParent, int aMin, int aMax)
{
    auto* box = new QSpinBox(aParent);
    box->setRange(aMin, aMax);
    box->setKeyboardTracking(false);
    return box;
}

QHBoxLayout* Pair(QWidget* aFirst, QWidget* aSecond)
{
    auto* row = new QHBoxLayout;
    row->addWidget(aFirst, 1);
    row->addWidget(aSecond, 1);
    return row;
}

const QString TPrintLayoutBox::CustomLayout = QStringLiteral("custom");

TPrintLayoutBox::TPrintLayoutBox(TDialogs& aDialogs, const TPrintPreferences& aPreferences, int aSizeItem,
                                 const TLabelCatalogue& aCatalogue, QWidget* aParent)
    : QGroupBox(QStringLiteral("Indeling"), aParent), FDialogs(aDialogs), FCatalogue(aCatalogue),
      FLayouts(aPreferences.Layouts), FSizeDiameter(DefaultDiameter(aSizeItem))
{
    auto* form = new QFormLayout(this);
    edtSearch = new QLineEdit(this);
    edtSearch->setPlaceholderText(QStringLiteral("merk, nummer of omschrijving, bijvoorbeeld 6060"));
    edtSearch->setClearButtonEnabled(true);
    form->addRow(QStringLiteral("Zoeken:"), edtSearch);
    cmbLayout = new QComboBox(this);
    FModel = new QStandardItemModel(this);
    FModel->setHorizontalHeaderLabels({QStringLiteral("Indeling"), QStringLiteral("Papier"),
                                       QStringLiteral("Diameter"), QStringLiteral("Per vel"),
                                       QStringLiteral("Omschrijving")});
    cmbLayout->setModel(FModel);
    // The list shows what a box of labels says: paper, diameter, labels per sheet.
    auto* view = new QTreeView(cmbLayout);
    view->setRootIsDecorated(false);
    view->setAllColumnsShowFocus(true);
    view->setMinimumWidth(760);
    cmbLayout->setView(view);
    cmbLayout->setMaxVisibleItems(20);
    cmbLayout->setToolTip(QStringLiteral("Het vel met labels uit de doos, of gewoon papier om zelf te knippen"));
    form->addRow(QStringLiteral("Indeling:"), cmbLayout);
    cmbPaper = new QComboBox(this);
    cmbPaper->addItem(QStringLiteral("A4"), PaperName(TPaper::A4));
    cmbPaper->addItem(QStringLiteral("Letter"), PaperName(TPaper::Letter));
    form->addRow(QStringLiteral("Papier:"), cmbPaper);
    speDiameter = NumberBox(this, MinDiameter, MaxDiameter, 1, 1, QStringLiteral(" mm"));
    form->addRow(QStringLiteral("Diameter:"), speDiameter);
    speColumns = CountBox(this, 1, 50);
    speRows = CountBox(this, 1, 50);
    form->addRow(QStringLiteral("Kolommen, rijen:"), Pair(speColumns, speRows));
    cmbFirst = new QComboBox(this);
    cmbFirst->addItem(QStringLiteral("Midden 1e label:"));
    cmbFirst->addItem(QStringLiteral("Marge 1e label:"));
    cmbFirst->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cmbFirst->setToolTip(QStringLiteral("Het midden van het eerste label, of de afstand van de linker- en "
                                        "bovenrand van het papier tot de rand van het eerste label, zoals op de "
                                        "doos staat"));
    const QString x = QStringLiteral("x ");
    const QString y = QStringLiteral("y ");
    speX0 = NumberBox(this, 0, 500, 0.5, 2, QStringLiteral(" mm"), x);
    speY0 = NumberBox(this, 0, 500, 0.5, 2, QStringLiteral(" mm"), y);
    speX0->setToolTip(cmbFirst->toolTip());
    speY0->setToolTip(cmbFirst->toolTip());
    form->addRow(cmbFirst, Pair(speX0, speY0));
    speDx = NumberBox(this, 0, 500, 0.5, 2, QStringLiteral(" mm"), x);
    speDy = NumberBox(this, 0, 500, 0.5, 2, QStringLiteral(" mm"), y);
    speDx->setToolTip(QStringLiteral("Van het midden van een label tot dat van het volgende in de rij (x) "
                                     "of de kolom (y): de steek"));
    speDy->setToolTip(speDx->toolTip());
    form->addRow(QStringLiteral("Afstand middens:"), Pair(speDx, speDy));
    edtLayoutName = new QLineEdit(this);
    edtLayoutName->setPlaceholderText(QStringLiteral("bijvoorbeeld de naam op de doos"));
    form->addRow(QStringLiteral("Naam:"), edtLayoutName);
    btnKeepLayout = new QPushButton(QStringLiteral("Indeling bewaren"), this);
    btnDeleteLayout = new QPushButton(QStringLiteral("Indeling verwijderen"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnKeepLayout);
    buttons->addWidget(btnDeleteLayout);
    form->addRow(buttons);
    lblLayoutNote = new QLabel(this);
    lblLayoutNote->setWordWrap(true);
    form->addRow(lblLayoutNote);

    // The last choice: a product, a kept layout or a plain paper.
    FFilling = true;
    speDiameter->setValue(aPreferences.DiameterFor(aSizeItem));
    QString select = aPreferences.LayoutName.isEmpty() ? PaperName(aPreferences.Paper)
                                                       : KeptPrefix + aPreferences.LayoutName;
    if (!aPreferences.ProductBrand.isEmpty()) {
        if (FCatalogue.Find(aPreferences.ProductBrand, aPreferences.ProductPart)) {
            select = ProductKey(aPreferences.ProductBrand, aPreferences.ProductPart);
        } else {
            select = PaperName(TPaper::A4);
            lblLayoutNote->setText(QStringLiteral("Het etiket %1 %2 is niet meer te vinden in de etikettencatalogus; "
                                                  "gekozen is A4, gewoon papier")
                                       .arg(aPreferences.ProductBrand, aPreferences.ProductPart));
        }
    }
    // A product file of the user's with a typing error would otherwise just be missing from the list.
    if (lblLayoutNote->text().isEmpty())
        lblLayoutNote->setText(CatalogueWarningMessage(FCatalogue.Warnings));
    FillLayouts(select);
    FFilling = false;
    cmbLayoutChange();

    connect(edtSearch, &QLineEdit::textChanged, this, &TPrintLayoutBox::edtSearchChange);
    connect(cmbLayout, &QComboBox::currentIndexChanged, this, &TPrintLayoutBox::cmbLayoutChange);
    connect(cmbFirst, &QComboBox::currentIndexChanged, this, &TPrintLayoutBox::cmbFirstChange);
    connect(speDiameter, &QDoubleSpinBox::valueChanged, this, &TPrintLayoutBox::speDiameterChange);
    connect(cmbPaper, &QComboBox::currentIndexChanged, this, &TPrintLayoutBox::GridChange);
    for (QSpinBox* box : {speColumns, speRows})
        connect(box, &QSpinBox::valueChanged, this, &TPrintLayoutBox::GridChange);
    for (QDoubleSpinBox* box : {speX0, speY0, speDx, speDy})
        connect(box, &QDoubleSpinBox::valueChanged, this, &TPrintLayoutBox::GridChange);
    connect(edtLayoutName, &QLineEdit::returnPressed, this, &TPrintLayoutBox::KeepLayout);
    connect(btnKeepLayout, &QPushButton::clicked, this, &TPrintLayoutBox::KeepLayout);
    connect(btnDeleteLayout, &QPushButton::clicked, this, &TPrintLayoutBox::DeleteLayout);
}

void TPrintLayoutBox::FillLayouts(const QString& aSelect, const QString& aSearch)
{
    const bool filling = FFilling;
    FFilling = true;
    const QString search = CatalogueKey(aSearch);
    const auto matches = [&](const QString& aText) { return search.isEmpty() || CatalogueKey(aText).contains(search); };
    // Rows removed, not the model cleared: the combo box follows removals.
    FModel->removeRows(0, FModel->rowCount());
    const QString handCut = QStringLiteral("Gewoon papier: zoveel labels als passen, zelf uitknippen");
    for (TPaper paper : {TPaper::A4, TPaper::Letter}) {
        if (matches(PlainPaperName(paper)))
            FModel->appendRow(Row(PaperName(paper), {PlainPaperName(paper), paper == TPaper::A4 ? QStringLiteral("A4")
                                                                                              : QStringLiteral("Letter"),
                                                     QString(), QString(), handCut}));
    }
    if (matches(PlainPaperName(TPaper::Label)))
        FModel->appendRow(Row(PaperName(TPaper::Label),
                              {PlainPaperName(TPaper::Label), QString(), QString(), QStringLiteral("1"),
                               QStringLiteral("Een pagina zo groot als het label")}));
    for (const TSheetLayout& layout : FLayouts) {
        if (matches(layout.Name))
            FModel->appendRow(Row(KeptPrefix + layout.Name,
                                  {layout.Name, layout.Paper == TPaper::Letter ? QStringLiteral("Letter") : QStringLiteral("A4"),
                                   OneDecimal(layout.Diameter) + QStringLiteral(" mm"),
                                   QString::number(layout.Positions()), QStringLiteral("Bewaarde indeling")}));
    }
    for (const TLabelProduct* product : FCatalogue.ByDiameter(FSizeDiameter)) {
        const QString equivalents = product->Equivalents.join(QLatin1Char(' '));
        if (!matches(product->Name() + QLatin1Char(' ') + equivalents + QLatin1Char(' ') + product->Description
                     + QLatin1Char(' ') + product->PaperName)
            && !matches(product->Brand + QLatin1Char(' ') + equivalents))
            continue;
        const QString tip = product->Equivalents.isEmpty()
                                ? product->File
                                : QStringLiteral("Ook verkocht als %1\n%2").arg(product->Equivalents.join(QStringLiteral(", ")),
                                                                             product->File);
        FModel->appendRow(Row(ProductKey(product->Brand, product->Part),
                              {product->Name(), PaperText(*product), OneDecimal(product->DieCut()) + QStringLiteral(" mm"),
                               QString::number(product->Layout.Positions()), product->Description},
                              tip));
    }
    // Always there: the fields keep the user's own layout whatever the search.
    FModel->appendRow(Row(CustomLayout, {QStringLiteral("Eigen indeling"), QString(), QString(), QString(),
                                         QStringLiteral("Zelf opgemeten")}));
    auto* view = static_cast<QTreeView*>(cmbLayout->view());
    view->header()->resizeSections(QHeaderView::ResizeToContents);
    const int index = cmbLayout->findData(aSelect);
    cmbLayout->setCurrentIndex(index >= 0 ? index : 0);
    FFilling = filling;
}

void TPrintLayoutBox::SelectLayout(const QString& aKey)
{
    const int index = cmbLayout->findData(aKey);
    if (index >= 0)
        cmbLayout->setCurrentIndex(index);
}

void TPrintLayoutBox::edtSearchChange()
{
    const QString before = cmbLayout->currentData().toString();
    FillLayouts(before, edtSearch->text());
    // Only the user's own layout left: nothing found, and the whole list stays.
    if (!edtSearch->text().trimmed().isEmpty() && FModel->rowCount() == 1) {
        FillLayouts(before);
        lblLayoutNote->setText(QStringLiteral("Geen indeling gevonden met \"%1\"").arg(edtSearch->text().trimmed()));
    } else {
        lblLayoutNote->clear();
    }
    // The first match is chosen when the one before is filtered out.
    if (cmbLayout->findData(before) < 0 && FModel->rowCount() > 1)
        cmbLayout->setCurrentIndex(0);
    if (cmbLayout->currentData().toString() != before)
        cmbLayoutChange();
}

const TLabelProduct* TPrintLayoutBox::Product() const
{
    const QString key = cmbLayout->currentData().toString();
    if (!key.startsWith(ProductPrefix))
        return nullptr;
    const QStringList parts = key.mid(ProductPrefix.size()).split(KeySeparator);
    return parts.size() == 2 ? FCatalogue.Find(parts[0], parts[1]) : nullptr;
}

double TPrintLayoutBox::FirstShift() const
{
    return FEdgeForm ? speDiameter->value() / 2 : 0;
}

TSheetLayout TPrintLayoutBox::LayoutFromFields() const
{
    TSheetLayout layout;
    layout.Paper = PaperFromName(cmbPaper->currentData().toString()).value_or(TPaper::A4);
    layout.Diameter = speDiameter->value();
    layout.Columns = speColumns->value();
    layout.Rows = speRows->value();
    layout.X0 = speX0->value() + FirstShift();
    layout.Y0 = speY0->value() + FirstShift();
    layout.Dx = speDx->value();
    layout.Dy = speDy->value();
    return layout;
}

TSheetLayout TPrintLayoutBox::Layout() const
{
    const QString key = cmbLayout->currentData().toString();
    if (const std::optional<TPaper> paper = PaperFromName(key))
        return BuiltInLayout(*paper, speDiameter->value());
    if (key.startsWith(KeptPrefix)) {
        for (const TSheetLayout& layout : FLayouts) {
            if (layout.Name == key.mid(KeptPrefix.size()))
                return layout;
        }
    }
    if (const TLabelProduct* product = Product()) {
        // Centred on the die-cuts; CheckLayout refuses a diameter that crosses them.
        TSheetLayout layout = product->Layout;
        layout.Diameter = speDiameter->value();
        return layout;
    }
    return LayoutFromFields();
}

void TPrintLayoutBox::ShowLayout(const TSheetLayout& aLayout)
{
    const bool filling = FFilling;
    FFilling = true;
    if (aLayout.Paper == TPaper::A4 || aLayout.Paper == TPaper::Letter)
        cmbPaper->setCurrentIndex(cmbPaper->findData(PaperName(aLayout.Paper)));
    speDiameter->setValue(aLayout.Diameter);
    speColumns->setValue(aLayout.Columns);
    speRows->setValue(aLayout.Rows);
    speX0->setValue(aLayout.X0 - FirstShift());
    speY0->setValue(aLayout.Y0 - FirstShift());
    speDx->setValue(aLayout.Dx);
    speDy->setValue(aLayout.Dy);
    FFilling = filling;
}

void TPrintLayoutBox::Remember(TPrintPreferences& aPreferences) const
{
    const QString key = cmbLayout->currentData().toString();
    const TSheetLayout layout = Layout();
    const TLabelProduct* product = Product();
    aPreferences.Paper = product || layout.Paper == TPaper::Other ? TPaper::A4 : layout.Paper;
    aPreferences.LayoutName = key.startsWith(KeptPrefix) ? key.mid(KeptPrefix.size()) : QString();
    aPreferences.ProductBrand = product ? product->Brand : QString();
    aPreferences.ProductPart = product ? product->Part : QString();
    aPreferences.Diameter = speDiameter->value();
    aPreferences.Layouts = FLayouts;
}

void TPrintLayoutBox::cmbLayoutChange()
{
    if (FFilling)
        return;
    const QString key = cmbLayout->currentData().toString();
    const bool builtIn = PaperFromName(key).has_value();
    const TLabelProduct* product = Product();
    if (key.startsWith(KeptPrefix)) {
        ShowLayout(Layout());
        const bool filling = FFilling;
        FFilling = true;
        edtLayoutName->setText(key.mid(KeptPrefix.size()));
        FFilling = filling;
    } else if (product) {
        // Printed at the die-cut; the user may make it smaller.
        ShowLayout(product->Layout);
    } else if (builtIn) {
        ShowLayout(Layout());
    }
    // A built-in layout follows from the paper and D alone, a product from its sheet.
    const bool fixed = builtIn || product;
    for (QWidget* field :
         std::initializer_list<QWidget*>{cmbPaper, speColumns, speRows, cmbFirst, speX0, speY0, speDx, speDy})
        field->setEnabled(!fixed);
    btnDeleteLayout->setEnabled(key.startsWith(KeptPrefix));
    emit Changed();
}

void TPrintLayoutBox::cmbFirstChange()
{
    // The same layout in the other form.
    const TSheetLayout layout = LayoutFromFields();
    FEdgeForm = cmbFirst->currentIndex() == 1;
    ShowLayout(layout);
}

void TPrintLayoutBox::speDiameterChange()
{
    if (FFilling)
        return;
    const QString key = cmbLayout->currentData().toString();
    if (PaperFromName(key))
        ShowLayout(Layout());
    else if (!Product())
        GridChange();
    emit Changed();
}

void TPrintLayoutBox::GridChange()
{
    if (FFilling)
        return;
    // A kept layout changes only when kept again: editing it makes it the user's own.
    if (cmbLayout->currentData().toString().startsWith(KeptPrefix)) {
        const bool filling = FFilling;
        FFilling = true;
        SelectLayout(CustomLayout);
        FFilling = filling;
        btnDeleteLayout->setEnabled(false);
    }
    emit Changed();
}

void TPrintLayoutBox::KeepLayout()
{
    const QString name = edtLayoutName->text().trimmed();
    if (name.isEmpty()) {
        FDialogs.ShowError(this, QStringLiteral("Geef de indeling een naam, bijvoorbeeld die op de doos met labels"));
        return;
    }
    if (Product()) {
        FDialogs.ShowError(this, QStringLiteral("Dit etiket staat al in de lijst; bewaren is niet nodig"));
        return;
    }
    TSheetLayout layout = Layout();
    if (layout.Paper != TPaper::A4 && layout.Paper != TPaper::Letter) {
        FDialogs.ShowError(this, QStringLiteral("Alleen een indeling op A4 of Letter kan bewaard worden"));
        return;
    }
    const TPrintProblem problem = CheckLayout(layout);
    if (!problem.IsNone()) {
        FDialogs.ShowError(this, QStringLiteral("De indeling is niet bewaard. %1").arg(PrintProblemText(problem)));
        return;
    }
    layout.Name = name;
    bool replaced = false;
    for (TSheetLayout& kept : FLayouts) {
        if (kept.Name == name) {
            kept = layout;
            replaced = true;
        }
    }
    if (!replaced)
        FLayouts.append(layout);
    FillLayouts(KeptPrefix + name);
    cmbLayoutChange();
}

void TPrintLayoutBox::DeleteLayout()
{
    const QString key = cmbLayout->currentData().toString();
    if (!key.startsWith(KeptPrefix))
        return;
    const TSheetLayout layout = Layout();
    FLayouts.removeIf([&](const TSheetLayout& aLayout) { return aLayout.Name == key.mid(KeptPrefix.size()); });
    // The fields keep its values, as the user's own layout.
    FillLayouts(CustomLayout);
    ShowLayout(layout);
    cmbLayoutChange();
}

#include "editor/print_shop_box.h"

#include "kit/decimal_spin_box.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>

TPrintShopBox::TPrintShopBox(QWidget* aParent) : QGroupBox(QStringLiteral("Drukkerij"), aParent)
{
    auto* form = new QFormLayout(this);
    speBleed = new TDecimalSpinBox(this);
    speBleed->setRange(0, TPrintShop::MaxBleed);
    speBleed->setSingleStep(0.5);
    speBleed->setDecimals(1);
    speBleed->setSuffix(QStringLiteral(" mm"));
    speBleed->setKeyboardTracking(false);
    speBleed->setToolTip(QStringLiteral("De achtergrond loopt zo ver door buiten de snijrand, zodat een snede "
                                        "die iets verschuift geen witte rand laat. Ook bij afdrukken."));
    form->addRow(QStringLiteral("Afloop"), speBleed);
    chkCutContour = new QCheckBox(QStringLiteral("Snijlijn (steunkleur CutContour)"), this);
    chkCutContour->setToolTip(QStringLiteral("De snijlijn van elk label als steunkleur CutContour, overdrukkend, "
                                             "voor de snijmachine van de drukkerij. Alleen in een PDF."));
    form->addRow(chkCutContour);
    chkCropMarks = new QCheckBox(QStringLiteral("Snijtekens"), this);
    chkCropMarks->setToolTip(QStringLiteral("Snijtekens op de hoeken van elk label. Alleen in een PDF met één "
                                            "label per pagina."));
    form->addRow(chkCropMarks);
    auto* note = new QLabel(QStringLiteral("Snijlijn en snijtekens komen alleen in een PDF, nooit op de printer."),
                            this);
    note->setWordWrap(true);
    form->addRow(note);

    connect(speBleed, &QDoubleSpinBox::valueChanged, this, &TPrintShopBox::Changed);
    connect(chkCutContour, &QCheckBox::toggled, this, &TPrintShopBox::Changed);
    connect(chkCropMarks, &QCheckBox::toggled, this, &TPrintShopBox::Changed);
}

TPrintShop TPrintShopBox::Shop() const
{
    TPrintShop shop;
    shop.Bleed = speBleed->value();
    shop.CutContour = chkCutContour->isChecked();
    shop.CropMarks = chkCropMarks->isEnabled() && chkCropMarks->isChecked();
    return shop;
}

void TPrintShopBox::SetShop(const TPrintShop& aShop)
{
    speBleed->setValue(aShop.Bleed);
    chkCutContour->setChecked(aShop.CutContour);
    chkCropMarks->setChecked(aShop.CropMarks);
}

void TPrintShopBox::SetOneLabelPerPage(bool aOnePerPage)
{
    chkCropMarks->setEnabled(aOnePerPage);
}

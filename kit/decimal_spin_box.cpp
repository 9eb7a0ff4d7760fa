#include "kit/decimal_spin_box.h"

namespace {

// A point typed as the decimal sign reads as the comma shown.
QString WithComma(QString aText)
{
    return aText.replace(QLatin1Char('.'), QLatin1Char(','));
}

}  // namespace

TDecimalSpinBox::TDecimalSpinBox(QWidget* aParent) : QDoubleSpinBox(aParent)
{
    // Dutch numbers without group separators: no comma is ever taken for one.
    QLocale dutch(QLocale::Dutch, QLocale::Netherlands);
    dutch.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    setLocale(dutch);
}

QValidator::State TDecimalSpinBox::validate(QString& aText, int& aPos) const
{
    aText = WithComma(aText);
    return QDoubleSpinBox::validate(aText, aPos);
}

double TDecimalSpinBox::valueFromText(const QString& aText) const
{
    return QDoubleSpinBox::valueFromText(WithComma(aText));
}

void TDecimalSpinBox::fixup(QString& aText) const
{
    aText = WithComma(aText);
    QDoubleSpinBox::fixup(aText);
}

#pragma once

#include <QDoubleSpinBox>

// A number field that shows a decimal comma and reads a comma and a point
// alike, whatever the system's locale: "1,5" and "1.5" are both 1.5. A plain
// QDoubleSpinBox under an English locale takes the comma of a Dutch "1,5" for
// a thousands separator and reads 15.
class TDecimalSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit TDecimalSpinBox(QWidget* aParent = nullptr);

    QValidator::State validate(QString& aText, int& aPos) const override;
    double valueFromText(const QString& aText) const override;
    void fixup(QString& aText) const override;
};

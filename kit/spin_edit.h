#pragma once

#include <QSpinBox>

// An integer spin edit with minimum, maximum and increment; typing is
// disabled, only the arrows, keys and wheel change it, and the value never
// leaves its limits. valueChanged fires also when the program sets the value.
class TSpinEdit : public QSpinBox
{
    Q_OBJECT

public:
    TSpinEdit(int aMinimum, int aMaximum, int aIncrement, int aValue, QWidget* aParent = nullptr);

protected:
    // No selection on focus: the text cannot be typed over.
    void focusInEvent(QFocusEvent* aEvent) override;
};

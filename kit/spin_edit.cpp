#include "kit/spin_edit.h"

#include <QLineEdit>

TSpinEdit::TSpinEdit(int aMinimum, int aMaximum, int aIncrement, int aValue, QWidget* aParent)
    : QSpinBox(aParent)
{
    setRange(aMinimum, aMaximum);
    setSingleStep(aIncrement);
    setValue(aValue);
    // Only the line edit is read-only: the spin box itself must stay writable,
    // or the arrows, keys and wheel would stop stepping as well.
    lineEdit()->setReadOnly(true);
    // With tracking on, Return re-announces the unchanged value as a change.
    setKeyboardTracking(false);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TSpinEdit::focusInEvent(QFocusEvent* aEvent)
{
    // QAbstractSpinBox selects all its text when Tab brings the focus, which
    // invites typing that is refused.
    QSpinBox::focusInEvent(aEvent);
    lineEdit()->deselect();
}

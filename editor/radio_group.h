#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A captioned group of radio buttons in a number of columns, with one
// selected item index (-1: none). Click fires whenever the selected item
// changes, by the user or by SetItemIndex, as the handlers expect.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT

public:
    TRadioGroup(const QString& aCaption, const QStringList& aItems, int aColumns, QWidget* aParent = nullptr);

    int ItemIndex() const;
    // An index outside the items selects none.
    void SetItemIndex(int aIndex);

    QRadioButton* Item(int aIndex) const;
    int Count() const;

signals:
    void Click();

private:
    // Makes the selected item (or the first, while none is) the group's Tab stop.
    void TabToChecked();

    QButtonGroup* FButtons = nullptr;
};

#include "editor/radio_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

TRadioGroup::TRadioGroup(const QString& aCaption, const QStringList& aItems, int aColumns, QWidget* aParent)
    : QGroupBox(aCaption, aParent), FButtons(new QButtonGroup(this))
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 2, 8, 2);
    grid->setVerticalSpacing(2);
    for (int i = 0; i < aItems.size(); ++i) {
        auto* button = new QRadioButton(aItems[i], this);
        FButtons->addButton(button, i);
        grid->addWidget(button, i / aColumns, i % aColumns);
    }
    connect(FButtons, &QButtonGroup::idToggled, this, [this](int, bool aChecked) {
        if (aChecked) {
            TabToChecked();
            emit Click();
        }
    });
    TabToChecked();
}

void TRadioGroup::TabToChecked()
{
    // Qt gives the Tab stop to the item that last had the focus, at first the
    // first item; a keyboard user expects the selected one, then the arrows.
    QAbstractButton* stop = FButtons->checkedButton();
    if (!stop && !FButtons->buttons().isEmpty())
        stop = FButtons->buttons().first();
    for (QAbstractButton* button : FButtons->buttons())
        button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

int TRadioGroup::ItemIndex() const
{
    return FButtons->checkedId();
}

void TRadioGroup::SetItemIndex(int aIndex)
{
    if (aIndex == ItemIndex())
        return;
    if (QAbstractButton* button = FButtons->button(aIndex)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group cannot uncheck its last button.
    if (QAbstractButton* checked = FButtons->checkedButton()) {
        FButtons->setExclusive(false);
        checked->setChecked(false);
        FButtons->setExclusive(true);
        TabToChecked();
    }
}

QRadioButton* TRadioGroup::Item(int aIndex) const
{
    return qobject_cast<QRadioButton*>(FButtons->button(aIndex));
}

int TRadioGroup::Count() const
{
    return int(FButtons->buttons().size());
}

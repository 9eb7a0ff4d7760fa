#include "kit/link_label.h"

#include <QFocusEvent>

TLinkLabel::TLinkLabel(const QString& aMarkup, QWidget* aParent) : QLabel(aMarkup, aParent)
{
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setOpenExternalLinks(false);
}

void TLinkLabel::focusInEvent(QFocusEvent* aEvent)
{
    QLabel::focusInEvent(aEvent);
    // QLabel moves between its links in focusNextPrevChild(); with no link
    // focused yet, that selects the first one (or the last, going back).
    if (aEvent->reason() == Qt::TabFocusReason)
        focusNextPrevChild(true);
    else if (aEvent->reason() == Qt::BacktabFocusReason)
        focusNextPrevChild(false);
}

#pragma once

#include <QLabel>

// A label of rich text whose links open by mouse or keyboard; the owner
// handles linkActivated. Tab lands on the first link (Shift+Tab on the last)
// at once: a plain QLabel first takes the focus itself, showing nothing, and
// needs a second Tab to reach a link.
class TLinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TLinkLabel(const QString& aMarkup, QWidget* aParent = nullptr);

protected:
    void focusInEvent(QFocusEvent* aEvent) override;
};

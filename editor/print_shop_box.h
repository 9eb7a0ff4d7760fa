#pragma once

#include "print/label_printer.h"

#include <QGroupBox>

class QCheckBox;
class QDoubleSpinBox;

// The print dialog's group for print shops ("Drukkerij"): the bleed, which
// printers get too, and the die line and crop marks, which only PDFs get.
class TPrintShopBox : public QGroupBox
{
    Q_OBJECT

public:
    explicit TPrintShopBox(QWidget* aParent = nullptr);

    // The values shown; crop marks only while a label has a page of its own.
    TPrintShop Shop() const;
    void SetShop(const TPrintShop& aShop);
    // Crop marks belong to pages of one label: off and greyed out on sheets.
    void SetOneLabelPerPage(bool aOnePerPage);

    QDoubleSpinBox* speBleed = nullptr;  // "Afloop"
    QCheckBox* chkCutContour = nullptr;  // "Snijlijn (steunkleur CutContour)"
    QCheckBox* chkCropMarks = nullptr;   // "Snijtekens"

signals:
    void Changed();
};

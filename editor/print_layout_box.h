#pragma once

#include "print/label_catalogue.h"
#include "print/print_settings.h"

#include <QGroupBox>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QHBoxLayout;
class TDialogs;

// The print dialog's number fields: a decimal one with its unit, a count,
// and two of them side by side on one form row.
QDoubleSpinBox* NumberBox(QWidget* aParent, double aMin, double aMax, double aStep, int aDecimals,
                          const QString& aSuffix, const QString& aPrefix = {});
QSpinBox* CountBox(QWidget* aParent, int aMin, int aMax);
QHBoxLayout* Pair(QWidget* aFirst, QWidget* aSecond);

// The print dialog's "Indeling" box: a search field and one list of the
// label products of the catalogue, the layouts the user keeps, the
// plain-paper grids and the user's own layout, with the diameter and the
// fields of a layout of the user's own.
class TPrintLayoutBox : public QGroupBox
{
    Q_OBJECT

public:
    // Starts at the layout or product of aPreferences; the products come
    // from aCatalogue and are sorted by how close they are to the diameter
    // of label size aSizeItem.
    TPrintLayoutBox(TDialogs& aDialogs, const TPrintPreferences& aPreferences, int aSizeItem,
                    const TLabelCatalogue& aCatalogue, QWidget* aParent = nullptr);

    // The layout the list and fields stand for; a product's or a kept
    // layout exactly, not as the fields round it.
    TSheetLayout Layout() const;
    // The chosen product; null when the layout is not a product's.
    const TLabelProduct* Product() const;
    // Writes the chosen layout, the diameter and the kept layouts into aPreferences.
    void Remember(TPrintPreferences& aPreferences) const;

    // Keeps the fields' layout under the name typed; messages through the dialogs.
    void KeepLayout();
    void DeleteLayout();

    QLineEdit* edtSearch = nullptr;  // filters the list as one types
    // "Indeling": plain-paper grids, kept layouts, products, "Eigen indeling".
    QComboBox* cmbLayout = nullptr;
    QComboBox* cmbPaper = nullptr;  // A4 or Letter, for a layout of the user's
    QDoubleSpinBox* speDiameter = nullptr;
    QSpinBox* speColumns = nullptr;
    QSpinBox* speRows = nullptr;
    // Whether speX0, speY0 give the first label's centre or the margin to its edge.
    QComboBox* cmbFirst = nullptr;
    QDoubleSpinBox* speX0 = nullptr;
    QDoubleSpinBox* speY0 = nullptr;
    QDoubleSpinBox* speDx = nullptr;
    QDoubleSpinBox* speDy = nullptr;
    QLineEdit* edtLayoutName = nullptr;
    QPushButton* btnKeepLayout = nullptr;
    QPushButton* btnDeleteLayout = nullptr;
    QLabel* lblLayoutNote = nullptr;  // a remembered product gone, a search without result

    // Item data of cmbLayout for the user's own layout.
    static const QString CustomLayout;  // "Eigen indeling"

signals:
    // The layout or the diameter changed.
    void Changed();

private:
    // The list with those matching aSearch (all when empty), aSelect chosen.
    void FillLayouts(const QString& aSelect, const QString& aSearch = {});
    void SelectLayout(const QString& aKey);
    void cmbLayoutChange();
    void edtSearchChange();
    void cmbFirstChange();
    void speDiameterChange();
    void GridChange();
    TSheetLayout LayoutFromFields() const;
    void ShowLayout(const TSheetLayout& aLayout);
    // The edge form of the fields shows the margin, the centre less D / 2.
    double FirstShift() const;

    TDialogs& FDialogs;
    const TLabelCatalogue& FCatalogue;
    QList<TSheetLayout> FLayouts;  // kept ones
    double FSizeDiameter = 60;     // the label size's own diameter, which sorts the products
    QStandardItemModel* FModel = nullptr;
    bool FFilling = false;
    bool FEdgeForm = false;  // cmbFirst's form the fields show now
};

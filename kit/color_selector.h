#pragma once

#include <QList>
#include <QToolButton>
#include <cstdint>

class QAbstractButton;
class QMenu;

// A drop-down colour selector: "Automatic" across the top, 40 preset colours
// in 8 columns and 5 rows, and "More Colors..." across the bottom.
// Colours are 0x00BBGGRR values.
class TColorSelector : public QToolButton
{
    Q_OBJECT

public:
    explicit TColorSelector(QWidget* aParent = nullptr);

    // The colour last picked or set; 0 while nothing is selected.
    uint32_t SelectedColor() const { return FSelectedColor; }
    bool HasSelection() const { return FHasSelection; }
    // Sets the shown colour; emits nothing.
    void SetSelectedColor(uint32_t aColor);

    // The 40 preset colours, row by row, as 0x00BBGGRR.
    static const uint32_t PresetColors[40];

    // Picks aColor as if the user had clicked it: sets it and emits SelectColor.
    void Pick(uint32_t aColor);

    // The drop-down; its buttons are "colorAutomatic", "colorPreset0" to
    // "colorPreset39" (row by row) and "colorMore".
    QMenu* Menu() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // After each pick by the user.
    void SelectColor(uint32_t aColor);

protected:
    void paintEvent(QPaintEvent* aEvent) override;

private:
    void UpdateSwatch();
    void PickFromMenu(uint32_t aColor);
    void ShowMoreColors();
    void MarkSelectedSwatch();
    void RefreshHover();

    uint32_t FSelectedColor = 0;
    bool FHasSelection = false;
    QMenu* FMenu = nullptr;
    QList<QAbstractButton*> FSwatches;
};

#pragma once

#include <QToolButton>
#include <cstdint>

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

signals:
    // After each pick by the user.
    void SelectColor(uint32_t aColor);

private:
    void UpdateSwatch();

    uint32_t FSelectedColor = 0;
    bool FHasSelection = false;
    QMenu* FMenu = nullptr;
};

#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QCheckBox;
class QFontComboBox;
class QLabel;
class QListWidget;
class QSpinBox;
class TColorSelector;

// The font dialog of the texts: family, size and colour in one dialog, with
// bold and italic offered for the preview. Sizes are whole numbers; colours
// are 0x00BBGGRR values.
class TFontDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TFontDialog(QWidget* aParent = nullptr);

    static constexpr int MinFontSize = 1;
    static constexpr int MaxFontSize = 999;

    void SetFontName(const QString& aName);
    void SetFontSize(int aSize);
    void SetFontColor(uint32_t aColor);
    // The text the preview shows; a short sample while empty.
    void SetSampleText(const QString& aText);

    QString FontName() const { return FFontName; }
    int FontSize() const;
    uint32_t FontColor() const;
    bool Bold() const;
    bool Italic() const;

private:
    void FamilyChosen();
    void SizeChanged(int aSize);
    void SizeListClicked();
    void UpdatePreview();

    // The family as set or chosen. Kept apart from the combo box, which can
    // only show installed families: confirming the dialog must not swap a
    // label's font for a look-alike just because it is missing here.
    QString FFontName;
    QString FSampleText;
    QFontComboBox* cbFontName = nullptr;
    QLabel* lblMissingFont = nullptr;
    QSpinBox* speFontSize = nullptr;
    QListWidget* lbFontSizes = nullptr;
    QCheckBox* chkBold = nullptr;
    QCheckBox* chkItalic = nullptr;
    TColorSelector* colbFontColor = nullptr;
    QLabel* lblPreview = nullptr;
};

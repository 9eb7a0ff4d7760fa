#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QFontComboBox;
class QLabel;
class QListWidget;
class QSpinBox;
class TColorSelector;

// The font dialog of the texts: family, size and colour in one dialog, and a
// preview in bold, as the label draws every text. Sizes are whole numbers;
// colours are 0x00BBGGRR values.
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

    // The preview area keeps this size, whatever the sample and the font
    // size, so the dialog keeps its width.
    static constexpr int PreviewWidth = 360;
    static constexpr int PreviewHeight = 80;
    // The largest point size, up to aWanted, at which aText in aFont fits
    // aArea whole; never below a readable minimum, where the preview elides.
    static int PreviewPointSize(const QFont& aFont, const QString& aText, const QSize& aArea, int aWanted);

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
    TColorSelector* colbFontColor = nullptr;
    QLabel* lblPreview = nullptr;
};

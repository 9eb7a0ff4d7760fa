// The editing handlers: each writes its control's value into one element
// field and redraws, at once or, for typing, through the timer; each change
// is an undo step.
#include "editor/main_window.h"

#include "editor/dialogs.h"
#include "editor/radio_group.h"
#include "kit/color_selector.h"
#include "kit/spin_edit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QTimer>

namespace {

// A folder or an empty name is no picture file.
bool FileExists(const QString& aPath)
{
    return !aPath.isEmpty() && QFileInfo(aPath).isFile();
}

}  // namespace

void TFrmMain::edtNameChange(QObject* aSender)
{
    const auto* edit = qobject_cast<const QLineEdit*>(aSender);
    if (TLabelText* text = FDocument.TextByTag(Tag(aSender)); text && edit)
        text->Text = edit->text();
    // Stopping and starting again gives the full 400 ms after every key, so a
    // burst of typing draws once.
    Timer->stop();
    if (!FLoading)
        Timer->start();
    // The keys of one burst, up to the timer's redraw, are one step.
    RecordStep(TypingStep + Tag(aSender), FTypingBurst);
}

void TFrmMain::TimerTimer()
{
    Timer->stop();
    ++FTypingBurst;
    DrawLabel();
}

void TFrmMain::ChangeFont(TLabelText& aText)
{
    const std::optional<TFontChoice> choice =
        FDialogs.ChooseFont(this, TFontChoice{aText.FontName, aText.FontSize, aText.FontColor}, aText.Text);
    if (!choice)
        return;
    aText.FontName = choice->Name;
    aText.FontSize = choice->Size;
    aText.FontColor = choice->Color;
}

void TFrmMain::spbFontNameClick(QObject* aSender)
{
    // The second production line (tag 4) has no button: it is drawn in the
    // font of the first.
    if (TLabelText* text = FDocument.TextByTag(Tag(aSender)))
        ChangeFont(*text);
    DrawLabel();
    RecordStep();
}

void TFrmMain::chkbRing1Click(QObject* aSender)
{
    const auto* check = qobject_cast<const QCheckBox*>(aSender);
    if (TLabelItem* ring = FDocument.RingByTag(Tag(aSender)); ring && check)
        ring->Use = check->isChecked();
    DrawLabel();
    RecordStep();
}

void TFrmMain::colbRing1SelectColor(QObject* aSender)
{
    const auto* selector = qobject_cast<const TColorSelector*>(aSender);
    if (TLabelItem* ring = FDocument.RingByTag(Tag(aSender)); ring && selector)
        ring->Color = selector->SelectedColor();
    DrawLabel();
    RecordStep();
}

void TFrmMain::colbBackgroundSelectColor()
{
    FDocument.FLabelBg.Color = colbBackground->SelectedColor();
    DrawLabel();
    RecordStep();
}

void TFrmMain::rdgBgSelectionClick()
{
    switch (rdgBgSelection->ItemIndex()) {
    case 0:
        gbBgImage->setEnabled(true);
        gbBgColor->setEnabled(false);
        FDocument.FLabelBg.UseColor = false;
        break;
    case 1:
        gbBgImage->setEnabled(false);
        gbBgColor->setEnabled(true);
        FDocument.FLabelBg.UseColor = true;
        break;
    default:
        break;
    }
    if (!FLoading)
        DrawLabel();
    RecordStep();
}

void TFrmMain::rdgEffectClick()
{
    const int item = rdgEffect->ItemIndex();
    if (item >= 0)
        FDocument.FLabelBg.Effect = item;
    DrawLabel();
    RecordStep();
}

void TFrmMain::spEditChange()
{
    FDocument.FLabelBg.Trans = spEdit->value();
    if (!FLoading)
        DrawLabel();
    RecordStep();
}

void TFrmMain::BrowsePicture(QLineEdit* aPathEdit, QString& aField)
{
    // A relative path is looked for beside the label file first, as drawing does.
    if (const QString shown = FDocument.PicturePath(aPathEdit->text()); FileExists(shown))
        FPictureDlgFile = shown;
    const QString chosen = FDialogs.OpenPicture(this, FPictureDlgFile);
    // A cancelled dialog changes nothing and draws nothing.
    if (chosen.isEmpty())
        return;
    FPictureDlgFile = chosen;
    aPathEdit->setText(chosen);
    aField = chosen;
    DrawLabel();
    RecordStep();
}

void TFrmMain::btnBgImageClick()
{
    BrowsePicture(edtBgImage, FDocument.FLabelBg.FileName);
}

void TFrmMain::chkMiddleImgClick()
{
    FDocument.FLabelBg.UsePng = chkMiddleImg->isChecked();
    if (FileExists(FDocument.PicturePath(FDocument.FLabelBg.PngFile)) && !FLoading)
        DrawLabel();
    RecordStep();
}

void TFrmMain::btnMiddleImgClick()
{
    BrowsePicture(edtMiddleImg, FDocument.FLabelBg.PngFile);
}

void TFrmMain::spePngWidthChange()
{
    FDocument.FLabelBg.PngWidth = spePngWidth->value();
    DrawLabel();
    RecordStep();
}

void TFrmMain::btnPngXClick(QObject* aSender)
{
    TLabelImage& bg = FDocument.FLabelBg;
    if (bg.UsePng && FileExists(FDocument.PicturePath(bg.PngFile))) {
        // Offsets in pixels of the 10 cm label; y grows downwards.
        switch (Tag(aSender)) {
        case 1:
            if (bg.PngPosX > -590)
                bg.PngPosX -= 10;
            break;
        case 2:
            if (bg.PngPosX < 590)
                bg.PngPosX += 10;
            break;
        case 3:
            if (bg.PngPosY < 590)
                bg.PngPosY += 10;
            break;
        case 4:
            if (bg.PngPosY > -590)
                bg.PngPosY -= 10;
            break;
        default:
            break;
        }
    }
    DrawLabel();
    // A held button clicks again every 100 ms while it stays down and once
    // more on release: the clicks of one press are one step.
    const auto* button = qobject_cast<const QAbstractButton*>(aSender);
    if (!FMoveHeld)
        ++FMovePress;
    FMoveHeld = button && button->isDown();
    RecordStep(MoveStep + Tag(aSender), FMovePress);
}

void TFrmMain::IniToUI()
{
    TLabelImage& bg = FDocument.FLabelBg;
    rdgBgSelection->SetItemIndex(bg.UseColor ? 1 : 0);
    // Also when the item did not change, so the group boxes match.
    rdgBgSelectionClick();
    // An effect outside the items draws as none, so it shows as "Geen" and,
    // like the spins below, the element takes what the control shows.
    rdgEffect->SetItemIndex(bg.Effect >= 0 && bg.Effect < rdgEffect->Count() ? bg.Effect : 0);
    if (bg.Effect != rdgEffect->ItemIndex())
        rdgEffectClick();
    colbBackground->SetSelectedColor(bg.Color);
    edtBgImage->setText(bg.FileName);
    edtMiddleImg->setText(bg.PngFile);
    chkMiddleImg->setChecked(bg.UsePng);

    // The spins limit what they show; the element takes the shown value, so
    // what is drawn and saved is what the controls say. The change handler
    // does that when the value moved; run it also when the spin already
    // showed the limited value.
    spEdit->setValue(bg.Trans);
    if (bg.Trans != spEdit->value())
        spEditChange();
    spePngWidth->setValue(bg.PngWidth);
    if (bg.PngWidth != spePngWidth->value())
        spePngWidthChange();

    chkbRing1->setChecked(FDocument.FLabelRing1.Use);
    chkbRing2->setChecked(FDocument.FLabelRing2.Use);
    chkbRing3->setChecked(FDocument.FLabelRing3.Use);
    chkbRing4->setChecked(FDocument.FLabelRing4.Use);
    colbRing1->SetSelectedColor(FDocument.FLabelRing1.Color);
    colbRing2->SetSelectedColor(FDocument.FLabelRing2.Color);
    colbRing3->SetSelectedColor(FDocument.FLabelRing3.Color);
    colbRing4->SetSelectedColor(FDocument.FLabelRing4.Color);

    edtName->setText(FDocument.FLabelName.Text);
    edtType->setText(FDocument.FLabelType.Text);
    edtSub1->setText(FDocument.FLabelSub1.Text);
    edtSub2->setText(FDocument.FLabelSub2.Text);
    edtDate->setText(FDocument.FLabelDate.Text);
}

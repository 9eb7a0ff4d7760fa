// The editor window driven through its own controls, offscreen, with the
// dialogs answered by a script.
#include "editor/image_view.h"
#include "editor/main_window.h"
#include "editor/radio_group.h"
#include "kit/color_selector.h"
#include "kit/repeat_button.h"
#include "kit/spin_edit.h"
#include "editor_fixture.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

constexpr uint32_t Red = 0x000000FF;
constexpr uint32_t Yellow = 0x0000FFFF;

bool IsRed(QRgb aPixel)
{
    return qRed(aPixel) > 170 && qGreen(aPixel) < 90 && qBlue(aPixel) < 90;
}

// Red pixels in the lower half of the raster, left and right of the middle.
std::pair<int, int> RedInLowerHalves(const QImage& aRaster)
{
    int left = 0;
    int right = 0;
    const int w = aRaster.width();
    for (int y = w / 2 + w / 8; y < w; ++y) {
        for (int x = 0; x < w; ++x) {
            if (IsRed(aRaster.pixel(x, y)))
                ++(x < w / 2 ? left : right);
        }
    }
    return {left, right};
}

}  // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void firstStartShowsReadDefaults();
    void layoutKeepsTabsAndToolbarOnResize();
    void typingRedrawsOnceAfterTheLastKey();
    void typingThenRingSwitchRedrawsTwice();
    void eachEditWritesItsOwnText_data();
    void eachEditWritesItsOwnText();
    void loadingStartsNoTimerAndDrawsOnce();
    void unreadableColourStillLoadsAndDraws();
    void moveButtonsStepAndStop_data();
    void moveButtonsStepAndStop();
    void colourBackgroundDisablesPhotoGroup();
    void spinLimits_data();
    void spinLimits();
    void storedValuesBeyondTheSpinLimits_data();
    void storedValuesBeyondTheSpinLimits();
    void fontDialogCancelKeepsFontAndRedraws();
    void fontDialogConfirmStoresNameSizeColour();
    void production1FontColoursBothLines();
    void colourSelectorChangesOnlyItsRing_data();
    void colourSelectorChangesOnlyItsRing();
    void pictureBrowse();
    void middlePictureTickRedrawsOnlyWithAFile();
    void labelSizeReplacesTheRaster_data();
    void labelSizeReplacesTheRaster();
    void stateWrittenAtCloseReadsBack();
    void failedSettingsWriteIsReportedAndWindowCloses();
    void linkOpensTheForum();
};

void TstMainWindow::firstStartShowsReadDefaults()
{
    TFixture f;
    TFrmMain& w = f.Open();

    QCOMPARE(w.DrawCount(), 1);
    QVERIFY(f.Dialogs.Errors.isEmpty());
    QVERIFY(!w.Timer->isActive());
    QCOMPARE(w.windowTitle(), QStringLiteral("Merovik"));
    QCOMPARE(w.pcLayout->currentIndex(), 0);
    QCOMPARE(w.rdgLabelSize->ItemIndex(), 1);
    QCOMPARE(w.Renderer().FBmp.width(), 1200);

    // Not the layout's sample texts: the file's (missing) keys.
    for (QLineEdit* edit : {w.edtName, w.edtType, w.edtSub1, w.edtSub2, w.edtDate})
        QVERIFY2(edit->text().isEmpty(), qPrintable(edit->text()));
    QCOMPARE(w.rdgBgSelection->ItemIndex(), 1);
    QVERIFY(!w.gbBgImage->isEnabled());
    QVERIFY(w.gbBgColor->isEnabled());
    QCOMPARE(w.colbBackground->SelectedColor(), Yellow);
    QCOMPARE(w.rdgEffect->ItemIndex(), 0);
    QCOMPARE(w.spEdit->value(), 0);
    QCOMPARE(w.spePngWidth->value(), 20);
    QVERIFY(!w.chkMiddleImg->isChecked());
    QVERIFY(w.edtBgImage->text().isEmpty());
    QVERIFY(w.edtMiddleImg->text().isEmpty());
    for (QCheckBox* check : {w.chkbRing1, w.chkbRing2, w.chkbRing3, w.chkbRing4})
        QVERIFY(check->isChecked());
    for (TColorSelector* color : {w.colbRing1, w.colbRing2, w.colbRing3, w.colbRing4})
        QCOMPARE(color->SelectedColor(), 0u);
    const TLabelText& name = w.Document().FLabelName;
    QCOMPARE(name.FontName, QStringLiteral("Arial"));
    QCOMPARE(name.FontSize, 40);

    // The label is on screen: yellow inside the circle.
    const QImage& shown = w.Image1->Shown();
    QVERIFY(!shown.isNull());
    QCOMPARE(shown.pixel(shown.width() / 2, shown.height() / 2 - shown.height() / 8), qRgb(255, 255, 0));
}

void TstMainWindow::layoutKeepsTabsAndToolbarOnResize()
{
    TFixture f;
    TFrmMain& w = f.Open();
    QCOMPARE(w.size(), QSize(1104, 682));
    QCOMPARE(w.Panel1->height(), 41);
    QCOMPARE(w.pcLayout->width(), 463);
    QCOMPARE(w.Image1->geometry(), QRect(463, 41, 641, 641));

    w.resize(1500, 800);
    QTRY_COMPARE(w.Image1->width(), 1500 - 463);
    QCOMPARE(w.pcLayout->width(), 463);
    QCOMPARE(w.Panel1->height(), 41);
    // Square and anchored top-left in the wider area.
    const QImage& shown = w.Image1->Shown();
    const qreal dpr = w.Image1->devicePixelRatioF();
    QCOMPARE(shown.width(), shown.height());
    QCOMPARE(qRound(shown.width() / dpr), 800 - 41);
}

void TstMainWindow::typingRedrawsOnceAfterTheLastKey()
{
    TFixture f;
    TFrmMain& w = f.Open();
    w.pcLayout->setCurrentIndex(1);
    const int before = w.DrawCount();

    // 120 ms between keys: the whole burst is longer than the timer's interval.
    QTest::keyClicks(w.edtName, QStringLiteral("Gouda"), Qt::NoModifier, 120);
    QCOMPARE(w.Document().FLabelName.Text, QStringLiteral("Gouda"));
    QCOMPARE(w.DrawCount(), before);
    QVERIFY(w.Timer->isActive());
    QCOMPARE(w.Timer->interval(), 400);

    QTest::qWait(250);
    QCOMPARE(w.DrawCount(), before);
    QTRY_COMPARE(w.DrawCount(), before + 1);
    QVERIFY(!w.Timer->isActive());
    QTest::qWait(600);
    QCOMPARE(w.DrawCount(), before + 1);

    // Emptied completely: an empty text, still one redraw.
    w.edtName->selectAll();
    QTest::keyClick(w.edtName, Qt::Key_Backspace);
    QCOMPARE(w.Document().FLabelName.Text, QString());
    QTRY_COMPARE(w.DrawCount(), before + 2);
}

void TstMainWindow::typingThenRingSwitchRedrawsTwice()
{
    TFixture f;
    TFrmMain& w = f.Open();
    w.pcLayout->setCurrentIndex(1);
    const int before = w.DrawCount();
    QTest::keyClicks(w.edtType, QStringLiteral("Edam"));

    w.pcLayout->setCurrentIndex(2);
    Click(w.chkbRing2);
    QCOMPARE(w.DrawCount(), before + 1);
    QVERIFY(!w.Document().FLabelRing2.Use);
    QVERIFY(w.Timer->isActive());
    QTRY_COMPARE(w.DrawCount(), before + 2);
    QTest::qWait(500);
    QCOMPARE(w.DrawCount(), before + 2);
}

void TstMainWindow::eachEditWritesItsOwnText_data()
{
    QTest::addColumn<int>("tag");
    QTest::newRow("Naam kaas -> Name") << 1;
    QTest::newRow("Type kaas -> Type") << 2;
    QTest::newRow("Productie 1 -> Sub1") << 3;
    QTest::newRow("Productie 2 -> Sub2") << 4;
    QTest::newRow("Datum productie -> Date") << 5;
}

void TstMainWindow::eachEditWritesItsOwnText()
{
    QFETCH(int, tag);
    TFixture f;
    TFrmMain& w = f.Open();
    w.pcLayout->setCurrentIndex(1);
    QLineEdit* edits[] = {w.edtName, w.edtType, w.edtSub1, w.edtSub2, w.edtDate};
    QLineEdit* edit = edits[tag - 1];
    QCOMPARE(TFrmMain::Tag(edit), tag);

    // Spaces are kept as typed.
    QTest::keyClicks(edit, QStringLiteral(" x "));
    for (int other = 1; other <= 5; ++other) {
        const QString expected = other == tag ? QStringLiteral(" x ") : QString();
        QCOMPARE(w.Document().TextByTag(other)->Text, expected);
    }
}

void TstMainWindow::loadingStartsNoTimerAndDrawsOnce()
{
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar\n[Type]\nText=Belegen\n[Sub1]\nText=Brekvelde\n"
                    "[Back]\nUseColor=0\nEffect=1\nTrans=30\nPngWidth=44\n[Ring3]\nUse=0\nColor=clRed\n");
    TFrmMain& w = f.Open();
    QCOMPARE(w.DrawCount(), 1);
    QVERIFY(!w.Timer->isActive());
    QCOMPARE(w.edtName->text(), QStringLiteral("Velmar"));
    QCOMPARE(w.edtType->text(), QStringLiteral("Belegen"));
    QCOMPARE(w.edtSub1->text(), QStringLiteral("Brekvelde"));
    // No photo was ever chosen, so the plain colour is used after all.
    QCOMPARE(w.rdgBgSelection->ItemIndex(), 1);
    QCOMPARE(w.rdgEffect->ItemIndex(), 1);
    QCOMPARE(w.spEdit->value(), 30);
    QCOMPARE(w.spePngWidth->value(), 44);
    QVERIFY(!w.chkbRing3->isChecked());
    QCOMPARE(w.colbRing3->SelectedColor(), Red);

    // Loading a label file while the window is open: the same, once.
    const QString label = f.Dir.filePath(QStringLiteral("other.lbl"));
    TFixture::WriteFile(label, "[Name]\nText=Kanter\n[Ring1]\nUse=0\n");
    w.HandleIniFile(label, false);
    QCOMPARE(w.DrawCount(), 2);
    QVERIFY(!w.Timer->isActive());
    QCOMPARE(w.edtName->text(), QStringLiteral("Kanter"));
    QVERIFY(w.edtType->text().isEmpty());
    QVERIFY(!w.chkbRing1->isChecked());
    QVERIFY(w.chkbRing3->isChecked());
    QTest::qWait(600);
    QCOMPARE(w.DrawCount(), 2);
    QVERIFY(f.Dialogs.Errors.isEmpty());
}

void TstMainWindow::unreadableColourStillLoadsAndDraws()
{
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar\n[Back]\nColor=geel\nTrans=20\n[Ring1]\nColor=clGreen\n[Date]\nText=mei\n");
    TFrmMain& w = f.Open();
    QCOMPARE(f.Dialogs.Errors, QStringList{QStringLiteral("''geel'' is not a valid integer value")});
    QCOMPARE(w.DrawCount(), 1);
    QVERIFY(!w.Image1->Shown().isNull());
    // What comes before and after the bad value is in.
    QCOMPARE(w.edtName->text(), QStringLiteral("Velmar"));
    QCOMPARE(w.edtDate->text(), QStringLiteral("mei"));
    QCOMPARE(w.spEdit->value(), 20);
    QCOMPARE(w.colbRing1->SelectedColor(), 0x00008000u);
    QVERIFY(!w.Loading());
}

void TstMainWindow::moveButtonsStepAndStop_data()
{
    QTest::addColumn<int>("button");  // index into left, right, down, up
    QTest::addColumn<bool>("usePng");
    QTest::addColumn<bool>("pictureExists");
    QTest::addColumn<int>("startX");
    QTest::addColumn<int>("startY");
    QTest::addColumn<int>("endX");
    QTest::addColumn<int>("endY");

    QTest::newRow("right steps by 10 to 590 and stops") << 1 << true << true << 560 << 0 << 590 << 0;
    QTest::newRow("left stops at -590") << 0 << true << true << -560 << 0 << -590 << 0;
    QTest::newRow("down stops at 590") << 2 << true << true << 0 << 570 << 0 << 590;
    QTest::newRow("up stops at -590") << 3 << true << true << 0 << -570 << 0 << -590;
    QTest::newRow("left from 0 steps four times") << 0 << true << true << 0 << 0 << -40 << 0;
    QTest::newRow("off-grid offset passes the bound once") << 1 << true << true << 585 << 0 << 595 << 0;
    QTest::newRow("beyond the bound does not move outwards") << 1 << true << true << 700 << 0 << 700 << 0;
    QTest::newRow("beyond the bound comes back") << 0 << true << true << 700 << 0 << 660 << 0;
    QTest::newRow("picture unticked: no move") << 1 << false << true << 0 << 0 << 0 << 0;
    QTest::newRow("picture file missing: no move") << 3 << true << false << 0 << 0 << 0 << 0;
}

void TstMainWindow::moveButtonsStepAndStop()
{
    QFETCH(int, button);
    QFETCH(bool, usePng);
    QFETCH(bool, pictureExists);
    QFETCH(int, startX);
    QFETCH(int, startY);
    QFETCH(int, endX);
    QFETCH(int, endY);

    TFixture f;
    const QString picture = pictureExists ? f.Picture() : f.Dir.filePath(QStringLiteral("gone.png"));
    TFrmMain& w = f.Open();
    w.Document().FLabelBg.PngFile = picture;
    w.Document().FLabelBg.PngPosX = startX;
    w.Document().FLabelBg.PngPosY = startY;
    w.chkMiddleImg->setChecked(usePng);
    QCOMPARE(w.Document().FLabelBg.UsePng, usePng);

    TRepeatButton* buttons[] = {w.AdvRepeatButton1, w.AdvRepeatButton3, w.AdvRepeatButton2, w.AdvRepeatButton4};
    const int before = w.DrawCount();
    for (int i = 0; i < 4; ++i)
        Click(buttons[button]);
    QCOMPARE(w.Document().FLabelBg.PngPosX, endX);
    QCOMPARE(w.Document().FLabelBg.PngPosY, endY);
    // Every click redraws, also when nothing moved.
    QCOMPARE(w.DrawCount(), before + 4);
}

void TstMainWindow::colourBackgroundDisablesPhotoGroup()
{
    TFixture f;
    f.WriteSettings("[Back]\nUseColor=0\nFileName=" + f.Picture().toUtf8() + "\n");
    TFrmMain& w = f.Open();
    QCOMPARE(w.rdgBgSelection->ItemIndex(), 0);
    QVERIFY(w.btnBgImage->isEnabled());
    QVERIFY(w.spEdit->isEnabled());
    QVERIFY(!w.colbBackground->isEnabled());
    QVERIFY(!w.Document().FLabelBg.UseColor);

    const int before = w.DrawCount();
    Click(w.rdgBgSelection->Item(1));
    QCOMPARE(w.rdgBgSelection->ItemIndex(), 1);
    QVERIFY(w.Document().FLabelBg.UseColor);
    QCOMPARE(w.DrawCount(), before + 1);
    QVERIFY(!w.gbBgImage->isEnabled());
    for (QWidget* control : std::initializer_list<QWidget*>{w.rdgEffect, w.edtBgImage, w.btnBgImage, w.spEdit})
        QVERIFY2(!control->isEnabled(), qPrintable(control->metaObject()->className()));
    QVERIFY(w.colbBackground->isEnabled());
    // The middle picture's group stays usable.
    QVERIFY(w.GroupBox3->isEnabled());
    QVERIFY(w.AdvRepeatButton1->isEnabled());

    Click(w.rdgBgSelection->Item(0));
    QVERIFY(!w.Document().FLabelBg.UseColor);
    QVERIFY(w.btnBgImage->isEnabled());
    QVERIFY(!w.colbBackground->isEnabled());
    QCOMPARE(w.DrawCount(), before + 2);
}

void TstMainWindow::spinLimits_data()
{
    QTest::addColumn<bool>("transparency");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("steps");  // positive up, negative down
    QTest::addColumn<int>("expected");

    QTest::newRow("transparency steps by 10") << true << 0 << 2 << 20;
    QTest::newRow("transparency stops at 90") << true << 70 << 5 << 90;
    QTest::newRow("transparency stops at 0") << true << 20 << -5 << 0;
    QTest::newRow("width steps by 2") << false << 20 << 3 << 26;
    QTest::newRow("width stops at 90") << false << 86 << 5 << 90;
    QTest::newRow("width stops at 10") << false << 14 << -5 << 10;
}

void TstMainWindow::spinLimits()
{
    QFETCH(bool, transparency);
    QFETCH(int, start);
    QFETCH(int, steps);
    QFETCH(int, expected);

    TFixture f;
    f.WriteSettings("[Back]\nUseColor=0\nFileName=" + f.Picture().toUtf8() + "\n");
    TFrmMain& w = f.Open();
    TSpinEdit* spin = transparency ? w.spEdit : w.spePngWidth;
    spin->setValue(start);
    const int before = w.DrawCount();
    for (int i = 0; i < std::abs(steps); ++i)
        QTest::keyClick(spin, steps > 0 ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(spin->value(), expected);
    const TLabelImage& bg = w.Document().FLabelBg;
    QCOMPARE(transparency ? bg.Trans : bg.PngWidth, expected);
    QVERIFY(w.DrawCount() > before);

    // Typing digits changes nothing.
    QTest::keyClicks(spin, QStringLiteral("4"));
    QCOMPARE(spin->value(), expected);
}

void TstMainWindow::storedValuesBeyondTheSpinLimits_data()
{
    QTest::addColumn<QByteArray>("back");
    QTest::addColumn<int>("trans");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("effect");

    QTest::newRow("transparency 150 shows and keeps 90") << QByteArray("Trans=150\n") << 90 << 20 << 0;
    QTest::newRow("transparency -5 shows and keeps 0") << QByteArray("Trans=-5\n") << 0 << 20 << 0;
    QTest::newRow("width 5 shows and keeps 10") << QByteArray("PngWidth=5\n") << 0 << 10 << 0;
    QTest::newRow("width 120 shows and keeps 90") << QByteArray("PngWidth=120\n") << 0 << 90 << 0;
    QTest::newRow("effect 7 shows and keeps none") << QByteArray("Effect=7\n") << 0 << 20 << 0;
    QTest::newRow("in range stays as stored") << QByteArray("Trans=40\nPngWidth=36\nEffect=2\n") << 40 << 36 << 2;
}

void TstMainWindow::storedValuesBeyondTheSpinLimits()
{
    QFETCH(QByteArray, back);
    QFETCH(int, trans);
    QFETCH(int, width);
    QFETCH(int, effect);

    TFixture f;
    TFrmMain& w = f.Open();
    // Loaded twice: once onto the start values, once onto spins that
    // already show the limited value (and so do not signal a change).
    for (int pass = 0; pass < 2; ++pass) {
        const QString file = f.Dir.filePath(QStringLiteral("hand.lbl"));
        TFixture::WriteFile(file, "[Back]\n" + back);
        w.HandleIniFile(file, false);
        QCOMPARE(w.spEdit->value(), trans);
        QCOMPARE(w.spePngWidth->value(), width);
        QCOMPARE(w.rdgEffect->ItemIndex(), effect);
        const TLabelImage& bg = w.Document().FLabelBg;
        QCOMPARE(bg.Trans, trans);
        QCOMPARE(bg.PngWidth, width);
        QCOMPARE(bg.Effect, effect);
    }
}

void TstMainWindow::fontDialogCancelKeepsFontAndRedraws()
{
    TFixture f;
    TFrmMain& w = f.Open();
    w.pcLayout->setCurrentIndex(1);
    const int before = w.DrawCount();
    Click(w.spbFontName);  // no answer scripted: cancelled
    QCOMPARE(f.Dialogs.FontRequests.size(), 1);
    QCOMPARE(f.Dialogs.FontRequests.first(), (TFontChoice{QStringLiteral("Arial"), 40, 0}));
    const TLabelText& name = w.Document().FLabelName;
    QCOMPARE(name.FontName, QStringLiteral("Arial"));
    QCOMPARE(name.FontSize, 40);
    QCOMPARE(name.FontColor, 0u);
    QCOMPARE(w.DrawCount(), before + 1);
}

void TstMainWindow::fontDialogConfirmStoresNameSizeColour()
{
    TFixture f;
    TFrmMain& w = f.Open();
    w.pcLayout->setCurrentIndex(1);
    QToolButton* buttons[] = {w.spbFontName, w.SpeedButton1, w.SpeedButton4, w.SpeedButton3};
    const int tags[] = {1, 2, 3, 5};
    for (int i = 0; i < 4; ++i) {
        const TFontChoice choice{QStringLiteral("DejaVu Serif"), 30 + i, 0x00112233u + uint32_t(i)};
        f.Dialogs.FontAnswers.push_back(choice);
        Click(buttons[i]);
        const TLabelText& text = *w.Document().TextByTag(tags[i]);
        QCOMPARE((TFontChoice{text.FontName, text.FontSize, text.FontColor}), choice);
    }
    // "Productie 2" has no button of its own: its font fields are untouched.
    QCOMPARE(w.Document().FLabelSub2.FontName, QStringLiteral("Arial"));
}

void TstMainWindow::production1FontColoursBothLines()
{
    TFixture f;
    f.WriteSettings("[Sub1]\nText=MMMMMMMM\nFontSize=60\n[Sub2]\nText=WWWWWWWW\nFontColor=16711680\n"
                    "[Back]\nColor=clWhite\n[Ring1]\nUse=0\n[Ring2]\nUse=0\n[Ring3]\nUse=0\n[Ring4]\nUse=0\n");
    TFrmMain& w = f.Open();
    const auto [leftBefore, rightBefore] = RedInLowerHalves(w.Renderer().FBmp);
    QCOMPARE(leftBefore, 0);
    QCOMPARE(rightBefore, 0);

    w.pcLayout->setCurrentIndex(1);
    f.Dialogs.FontAnswers.push_back(TFontChoice{QStringLiteral("Arial"), 60, Red});
    Click(w.SpeedButton4);
    // The first line lies left of the bottom, the second right of it; both red.
    const auto [left, right] = RedInLowerHalves(w.Renderer().FBmp);
    QVERIFY2(left > 500, qPrintable(QString::number(left)));
    QVERIFY2(right > 500, qPrintable(QString::number(right)));
}

void TstMainWindow::colourSelectorChangesOnlyItsRing_data()
{
    QTest::addColumn<int>("tag");
    QTest::newRow("Buitenring 1") << 1;
    QTest::newRow("Buitenring 2") << 2;
    QTest::newRow("Binnenring 1") << 3;
    QTest::newRow("Binnenring 2") << 4;
}

void TstMainWindow::colourSelectorChangesOnlyItsRing()
{
    QFETCH(int, tag);
    TFixture f;
    TFrmMain& w = f.Open();
    w.pcLayout->setCurrentIndex(2);
    TColorSelector* selectors[] = {w.colbRing1, w.colbRing2, w.colbRing3, w.colbRing4};
    const int before = w.DrawCount();
    selectors[tag - 1]->Pick(Red);
    QCOMPARE(w.DrawCount(), before + 1);
    for (int ring = 1; ring <= 4; ++ring)
        QCOMPARE(w.Document().RingByTag(ring)->Color, ring == tag ? Red : 0u);

    // The background selector changes the background only.
    w.pcLayout->setCurrentIndex(0);
    w.colbBackground->Pick(0x00C0DCC0);
    QCOMPARE(w.Document().FLabelBg.Color, 0x00C0DCC0u);
    QCOMPARE(w.Document().RingByTag(tag)->Color, Red);
    QCOMPARE(w.DrawCount(), before + 2);
}

void TstMainWindow::pictureBrowse()
{
    TFixture f;
    const QString first = f.Picture();
    const QString second = f.Dir.filePath(QStringLiteral("second.png"));
    QVERIFY(QFile::copy(first, second));
    TFrmMain& w = f.Open();

    // Cancelled: nothing changes, nothing is drawn.
    int before = w.DrawCount();
    Click(w.btnMiddleImg);
    QCOMPARE(w.DrawCount(), before);
    QVERIFY(w.Document().FLabelBg.PngFile.isEmpty());

    f.Dialogs.OpenPictureAnswers.push_back(first);
    Click(w.btnMiddleImg);
    QCOMPARE(w.edtMiddleImg->text(), first);
    QCOMPARE(w.Document().FLabelBg.PngFile, first);
    QCOMPARE(w.DrawCount(), before + 1);
    // Choosing a picture ticks nothing.
    QVERIFY(!w.chkMiddleImg->isChecked());

    // The photo browse starts from the last choice while its own edit names no file.
    w.rdgBgSelection->SetItemIndex(0);
    w.edtBgImage->setText(QStringLiteral("/no/such/photo.jpg"));
    f.Dialogs.OpenPictureAnswers.push_back(second);
    Click(w.btnBgImage);
    QCOMPARE(f.Dialogs.OpenPictureRequests.last(), first);
    QCOMPARE(w.Document().FLabelBg.FileName, second);
    QCOMPARE(w.edtBgImage->text(), second);

    // ...and from the file its edit names when there is one.
    Click(w.btnMiddleImg);
    QCOMPARE(f.Dialogs.OpenPictureRequests.last(), first);
    Click(w.btnBgImage);
    QCOMPARE(f.Dialogs.OpenPictureRequests.last(), second);
}

void TstMainWindow::middlePictureTickRedrawsOnlyWithAFile()
{
    TFixture f;
    TFrmMain& w = f.Open();
    int before = w.DrawCount();
    Click(w.chkMiddleImg);
    QVERIFY(w.Document().FLabelBg.UsePng);
    QCOMPARE(w.DrawCount(), before);

    Click(w.chkMiddleImg);
    w.Document().FLabelBg.PngFile = f.Picture();
    Click(w.chkMiddleImg);
    QVERIFY(w.Document().FLabelBg.UsePng);
    QCOMPARE(w.DrawCount(), before + 1);
}

void TstMainWindow::labelSizeReplacesTheRaster_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("width");
    QTest::newRow("6 cm") << 0 << 750;
    QTest::newRow("14 cm") << 2 << 1650;
}

void TstMainWindow::labelSizeReplacesTheRaster()
{
    QFETCH(int, item);
    QFETCH(int, width);
    TFixture f;
    TFrmMain& w = f.Open();
    const int before = w.DrawCount();
    Click(w.rdgLabelSize->Item(item));
    QCOMPARE(w.DrawCount(), before + 1);
    QCOMPARE(w.Renderer().FBmp.width(), width);
    QCOMPARE(w.Renderer().ImgWidth, width);
    QCOMPARE(w.Renderer().FFactor, float(width) / 1200.0f);
    // The picture on screen is the new raster's, corners white, middle yellow.
    const QImage& shown = w.Image1->Shown();
    QCOMPARE(shown.pixel(1, 1), qRgb(255, 255, 255));
    QCOMPARE(shown.pixel(shown.width() / 2, shown.height() / 3), qRgb(255, 255, 0));
}

void TstMainWindow::stateWrittenAtCloseReadsBack()
{
    TFixture f;
    const QString picture = f.Picture();
    TLabelDocument written{};
    {
        TFrmMain& w = f.Open();
        w.pcLayout->setCurrentIndex(1);
        QTest::keyClicks(w.edtName, QStringLiteral("Velmar's Kaaskelder"));
        QTest::keyClicks(w.edtType, QStringLiteral("* * Proosdij Kaas * *"));
        QTest::keyClicks(w.edtSub1, QStringLiteral("Huisgemaakt in Brekvelde"));
        QTest::keyClicks(w.edtSub2, QStringLiteral("door P. Orvelink"));
        QTest::keyClicks(w.edtDate, QStringLiteral("15 sept. 2013"));
        f.Dialogs.FontAnswers.push_back(TFontChoice{QStringLiteral("DejaVu Serif"), 52, 0x00336699});
        Click(w.SpeedButton1);

        w.pcLayout->setCurrentIndex(0);
        f.Dialogs.OpenPictureAnswers.push_back(picture);
        Click(w.btnMiddleImg);
        Click(w.chkMiddleImg);
        Click(w.AdvRepeatButton1);
        Click(w.AdvRepeatButton2);
        QTest::keyClick(w.spePngWidth, Qt::Key_Up);
        w.colbBackground->Pick(0x000080FF);  // orange: stored as a number, not a name
        Click(w.rdgBgSelection->Item(0));
        f.Dialogs.OpenPictureAnswers.push_back(picture);
        Click(w.btnBgImage);
        Click(w.rdgEffect->Item(1));
        QTest::keyClick(w.spEdit, Qt::Key_Up);

        w.pcLayout->setCurrentIndex(2);
        Click(w.chkbRing2);
        w.colbRing4->Pick(0x00FF0000);
        Click(w.rdgLabelSize->Item(2));

        written = w.Document();
        QVERIFY(w.close());
        QVERIFY(QFile::exists(f.Paths().SettingsFile));
        f.Window.reset();
    }
    QVERIFY(f.Dialogs.Errors.isEmpty());

    TFrmMain& again = f.Open();
    QCOMPARE(Differences(again.Document(), written), QStringList());
    QCOMPARE(again.Document().FLabelBg.PngWidth, 22);
    QCOMPARE(again.Document().FLabelBg.Trans, 10);
    QCOMPARE(again.edtType->text(), QStringLiteral("* * Proosdij Kaas * *"));
    QCOMPARE(again.rdgBgSelection->ItemIndex(), 0);
    QVERIFY(again.chkMiddleImg->isChecked());
    QVERIFY(!again.chkbRing2->isChecked());
    QCOMPARE(again.colbRing4->SelectedColor(), 0x00FF0000u);
    // The size is not part of the state.
    QCOMPARE(again.rdgLabelSize->ItemIndex(), 1);
    QCOMPARE(again.Renderer().FBmp.width(), 1200);
    QCOMPARE(again.pcLayout->currentIndex(), 0);
}

void TstMainWindow::failedSettingsWriteIsReportedAndWindowCloses()
{
    TFixture f;
    // The settings file would have to live inside a regular file: no write
    // can succeed, whoever runs the test.
    const QString blocker = f.Dir.filePath(QStringLiteral("blocker"));
    TFixture::WriteFile(blocker, "");
    TProgramPaths paths = f.Paths();
    paths.SettingsFile = blocker + QStringLiteral("/merovik.ini");

    auto window = std::make_unique<TFrmMain>(f.Dialogs, paths);
    window->show();
    QVERIFY(f.Dialogs.Errors.isEmpty());
    QVERIFY(window->close());
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    QVERIFY2(f.Dialogs.Errors.first().startsWith(QStringLiteral("Unable to write to ")), qPrintable(f.Dialogs.Errors.first()));
    QVERIFY(f.Dialogs.Errors.first().contains(QStringLiteral("merovik.ini")));
    // Written once per window: destroying it asks nothing more.
    window.reset();
    QCOMPARE(f.Dialogs.Errors.size(), 1);
}

void TstMainWindow::linkOpensTheForum()
{
    TFixture f;
    TFrmMain& w = f.Open();
    const QRegularExpressionMatch anchor =
        QRegularExpression(QStringLiteral("<a href=\"([^\"]+)\">Het kaasforum</a>")).match(w.LinkLabel1->text());
    QVERIFY(anchor.hasMatch());
    const QString host = anchor.captured(1);
    QVERIFY2(!host.contains(QLatin1Char(':')), qPrintable(host));

    const int before = w.DrawCount();
    // What QLabel does when the link is clicked.
    emit w.LinkLabel1->linkActivated(host);
    QCOMPARE(f.Dialogs.Links, QList<QUrl>{QUrl(QStringLiteral("https://") + host)});
    QVERIFY(f.Dialogs.Links.first().isValid());
    QCOMPARE(f.Dialogs.Links.first().host(), host);
    QCOMPARE(w.DrawCount(), before);
}

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"

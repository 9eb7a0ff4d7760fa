// The editor window driven through its own controls, offscreen, with the
// dialogs answered by a script.
#include "editor/image_view.h"
#include "editor/manual_window.h"
#include "editor/radio_group.h"
#include "kit/color_selector.h"
#include "kit/link_label.h"
#include "kit/repeat_button.h"
#include "kit/spin_edit.h"
#include "kit/visual_style.h"
#include "editor_fixture.h"

#include <QAction>
#include <QTextBlock>
#include <QTextDocument>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>

#include <cerrno>
#include <cstring>

namespace {

const TFontChoice DefaultFont{QStringLiteral("Arial"), 40, 0};

// Red pixels in the lower part of the raster, left and right of the middle.
std::pair<int, int> RedInLowerHalves(const QImage& aRaster)
{
    std::pair<int, int> red;
    const int w = aRaster.width();
    for (int y = w / 2 + w / 8; y < w; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb pixel = aRaster.pixel(x, y);
            if (qRed(pixel) > 170 && qGreen(pixel) < 90 && qBlue(pixel) < 90)
                ++(x < w / 2 ? red.first : red.second);
        }
    return red;
}

// What a step must restore: the document, every control, the raster, the title.
QStringList Shown(const TFrmMain& aWindow)
{
    QStringList shown{QString::number(aWindow.rdgBgSelection->ItemIndex()),
                      QString::number(aWindow.rdgEffect->ItemIndex()),
                      QString::number(aWindow.colbBackground->SelectedColor(), 16), aWindow.edtBgImage->text(),
                      aWindow.edtMiddleImg->text(), QString::number(aWindow.chkMiddleImg->isChecked()),
                      aWindow.spEdit->text(), aWindow.spePngWidth->text(),
                      QString::number(aWindow.gbBgImage->isEnabled()), aWindow.windowTitle(),
                      QString::number(qHash(QByteArrayView(aWindow.Renderer().Raster().constBits(),
                                                           aWindow.Renderer().Raster().sizeInBytes())))};
    for (const QCheckBox* check : {aWindow.chkbRing1, aWindow.chkbRing2, aWindow.chkbRing3, aWindow.chkbRing4})
        shown << QString::number(check->isChecked());
    for (const TColorSelector* color : {aWindow.colbRing1, aWindow.colbRing2, aWindow.colbRing3, aWindow.colbRing4})
        shown << QString::number(color->SelectedColor(), 16);
    for (const QLineEdit* edit : {aWindow.edtName, aWindow.edtType, aWindow.edtSub1, aWindow.edtSub2, aWindow.edtDate})
        shown << edit->text();
    return shown;
}

enum TChange {
    TypeName, FontDate, Ring2Off, Ring3Colour, ColourBackground, BackgroundColour, PhotoBrowsed, EffectSepia,
    TransparencyUp, MiddleOff, MiddleBrowsed, MiddleWider, MoveRight, MoveHeld, NewLabel, LoadLabel
};

// Presses a key combination as the user does, into the widget with the focus.
void Press(TFrmMain& aWindow, const QKeySequence& aKeys)
{
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &aWindow;
    QTest::keyClick(target, aKeys[0].key(), aKeys[0].keyboardModifiers());
}

}  // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void f1OpensTheManual();
    void firstStartShowsReadDefaultsAndKeepsItsLayout();
    void typingRedrawsOnceAfterTheLastKey();
    void loadingStartsNoTimerAndDrawsOnce_data();
    void loadingStartsNoTimerAndDrawsOnce();
    void moveButtonsStepAndStop_data();
    void moveButtonsStepAndStop();
    void colourBackgroundDisablesPhotoGroup();
    void fontButtons_data();
    void fontButtons();
    void production1FontColoursBothLines();
    void eachColourSelectorChangesOnlyItsElement();
    void middlePicture();
    void stateWrittenAtCloseReadsBack();
    void failedSettingsWriteIsReportedAndWindowCloses();
    void linkOpensTheForum();
    void undoRedoRestoresEachKindOfChange_data();
    void undoRedoRestoresEachKindOfChange();
    void typingBurstIsOneStep();
    void undoKeepsTheLast100Steps();
    void savesExportsDeletesAndSizeAreNoSteps();
    void shortcutsNamedInTheHints();
    void tabReachesEveryControlOnce_data();
    void tabReachesEveryControlOnce();
};

void TstMainWindow::initTestCase()
{
    // The look the program runs with: the focus frames are part of it.
    QString error;
    QVERIFY2(ApplyVisualStyle(*qApp, &error), qPrintable(error));
}

void TstMainWindow::firstStartShowsReadDefaultsAndKeepsItsLayout()
{
    TFixture f;
    TFrmMain& w = f.Open();
    QCOMPARE(w.DrawCount(), 1);
    QVERIFY(f.Dialogs.Errors.isEmpty());
    // The file's (missing) keys, not the layout's sample texts.
    for (QLineEdit* edit : {w.edtName, w.edtType, w.edtSub1, w.edtSub2, w.edtDate})
        QVERIFY2(edit->text().isEmpty(), qPrintable(edit->text()));
    QVERIFY(!w.gbBgImage->isEnabled());
    QCOMPARE(w.spePngWidth->value(), 20);
    for (QCheckBox* check : {w.chkbRing1, w.chkbRing2, w.chkbRing3, w.chkbRing4})
        QVERIFY(check->isChecked());
    const QImage& shown = w.Image1->Shown();
    QCOMPARE(shown.pixel(shown.width() / 2, shown.height() * 3 / 8), qRgb(255, 255, 0));

    // Grown, the tabs and the toolbar keep their size; the label fills the rest, square.
    QCOMPARE(w.Image1->geometry(), QRect(463, 41, 641, 641));
    w.resize(1500, 800);
    QTRY_COMPARE(w.Image1->width(), 1500 - 463);
    QCOMPARE(w.pcLayout->width(), 463);
    QCOMPARE(w.Panel1->height(), 41);
    QCOMPARE(shown.width(), shown.height());
    QCOMPARE(qRound(shown.width() / w.Image1->devicePixelRatioF()), 800 - 41);
}

void TstMainWindow::typingRedrawsOnceAfterTheLastKey()
{
    TFixture f;
    TFrmMain& w = f.Open();
    w.pcLayout->setCurrentIndex(1);
    const int before = w.DrawCount();
    // 120 ms between keys: the burst outlasts the interval, so every key must restart it.
    QTest::keyClicks(w.edtName, QStringLiteral("Gouda"), Qt::NoModifier, 120);
    QCOMPARE(w.Document().FLabelName.Text, QStringLiteral("Gouda"));
    QCOMPARE(w.DrawCount(), before);
    QCOMPARE(w.Timer->interval(), 400);
    QTRY_COMPARE(w.DrawCount(), before + 1);
    QTest::qWait(600);
    QCOMPARE(w.DrawCount(), before + 1);

    // Typing, then a ring switched within the interval: drawn at once and after the interval.
    QTest::keyClicks(w.edtType, QStringLiteral("Edam"));
    w.pcLayout->setCurrentIndex(2);
    Click(w.chkbRing2);
    QCOMPARE(w.DrawCount(), before + 2);
    QVERIFY(!w.Document().FLabelRing2.Use);
    QTRY_COMPARE(w.DrawCount(), before + 3);
    QTest::qWait(500);
    QCOMPARE(w.DrawCount(), before + 3);
}

void TstMainWindow::loadingStartsNoTimerAndDrawsOnce_data()
{
    QTest::addColumn<QByteArray>("back");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QList<int>>("shown");  // transparency, width, effect: in controls and elements
    const QStringList none;
    QTest::newRow("readable") << QByteArray("Trans=20\nPngWidth=36\nEffect=2\n") << none << QList<int>{20, 36, 2};
    QTest::newRow("unreadable colour: one error, the rest loaded") << QByteArray("Color=geel\nTrans=20\n")
        << QStringList{QStringLiteral("[Back] Color: ''geel'' is not a valid integer value")} << QList<int>{20, 20, 0};
    QTest::newRow("transparency 150 shows and keeps 90") << QByteArray("Trans=150\n") << none << QList<int>{90, 20, 0};
    QTest::newRow("transparency -5 shows and keeps 0") << QByteArray("Trans=-5\n") << none << QList<int>{0, 20, 0};
    QTest::newRow("width 5 shows and keeps 10") << QByteArray("PngWidth=5\n") << none << QList<int>{0, 10, 0};
    QTest::newRow("width 120 shows and keeps 90") << QByteArray("PngWidth=120\n") << none << QList<int>{0, 90, 0};
    QTest::newRow("effect 7 shows and keeps none") << QByteArray("Effect=7\n") << none << QList<int>{0, 20, 0};
}

void TstMainWindow::loadingStartsNoTimerAndDrawsOnce()
{
    QFETCH(QByteArray, back);
    QFETCH(QStringList, errors);
    QFETCH(QList<int>, shown);
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar\n[Back]\n" + back + "[Ring3]\nUse=0\nColor=clGreen\n[Date]\nText=mei\n");
    TFrmMain& w = f.Open();
    QCOMPARE(f.Dialogs.Errors, errors);
    QVERIFY(!w.Image1->Shown().isNull());
    QCOMPARE(w.edtName->text(), QStringLiteral("Velmar"));
    QCOMPARE(w.edtDate->text(), QStringLiteral("mei"));
    QVERIFY(!w.chkbRing3->isChecked());
    QCOMPARE(w.colbRing3->SelectedColor(), 0x00008000u);
    // Loaded again into the open window, onto controls that already show the
    // limited values and so signal no change.
    for (int pass = 1; pass <= 2; ++pass) {
        if (pass == 2)
            w.HandleIniFile(QString(), false);
        QCOMPARE(w.DrawCount(), pass);
        QVERIFY(!w.Timer->isActive());
        QCOMPARE(QList<int>({w.spEdit->value(), w.spePngWidth->value(), w.rdgEffect->ItemIndex()}), shown);
        const TLabelImage& bg = w.Document().FLabelBg;
        QCOMPARE(QList<int>({bg.Trans, bg.PngWidth, bg.Effect}), shown);
    }
    QTest::qWait(600);
    QCOMPARE(w.DrawCount(), 2);
}

void TstMainWindow::moveButtonsStepAndStop_data()
{
    QTest::addColumn<int>("button");  // left, right, down, up
    QTest::addColumn<bool>("usePng");
    QTest::addColumn<bool>("pictureExists");
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");  // after four clicks
    QTest::addColumn<bool>("relative");  // the picture named relative to the label's folder
    QTest::newRow("right steps by 10 and stops at 590") << 1 << true << true << QPoint(560, 0) << QPoint(590, 0)
                                                        << false;
    QTest::newRow("picture beside the label, named relative to it") << 1 << true << true << QPoint(0, 0)
                                                                    << QPoint(40, 0) << true;
    QTest::newRow("left stops at -590") << 0 << true << true << QPoint(-560, 0) << QPoint(-590, 0) << false;
    QTest::newRow("down stops at 590") << 2 << true << true << QPoint(0, 570) << QPoint(0, 590) << false;
    QTest::newRow("up stops at -590") << 3 << true << true << QPoint(0, -570) << QPoint(0, -590) << false;
    QTest::newRow("picture unticked: no move") << 1 << false << true << QPoint() << QPoint() << false;
    QTest::newRow("picture file missing: no move") << 3 << true << false << QPoint() << QPoint() << false;
}

void TstMainWindow::moveButtonsStepAndStop()
{
    QFETCH(int, button);
    QFETCH(bool, usePng);
    QFETCH(bool, pictureExists);
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(bool, relative);
    TFixture f;
    TFrmMain& w = f.Open();
    TLabelImage& bg = w.Document().FLabelBg;
    bg.PngFile = pictureExists ? f.Picture() : f.Dir.filePath(QStringLiteral("gone.png"));
    if (relative) {
        w.Document().Folder = f.Dir.path();
        bg.PngFile = QFileInfo(bg.PngFile).fileName();
    }
    bg.PngPosX = start.x();
    bg.PngPosY = start.y();
    w.chkMiddleImg->setChecked(usePng);
    TRepeatButton* buttons[] = {w.AdvRepeatButton1, w.AdvRepeatButton3, w.AdvRepeatButton2, w.AdvRepeatButton4};
    const int before = w.DrawCount();
    for (int i = 0; i < 4; ++i)
        Click(buttons[button]);
    QCOMPARE(QPoint(bg.PngPosX, bg.PngPosY), end);
    QCOMPARE(w.DrawCount(), before + 4);  // also when nothing moved
}

void TstMainWindow::colourBackgroundDisablesPhotoGroup()
{
    TFixture f;
    f.WriteSettings("[Back]\nUseColor=0\nFileName=" + f.Picture().toUtf8() + "\n");
    TFrmMain& w = f.Open();
    QVERIFY(w.btnBgImage->isEnabled() && !w.colbBackground->isEnabled());
    const int before = w.DrawCount();
    Click(w.rdgBgSelection->Item(1));
    QVERIFY(w.Document().FLabelBg.UseColor);
    QCOMPARE(w.DrawCount(), before + 1);
    for (QWidget* control : std::initializer_list<QWidget*>{w.rdgEffect, w.edtBgImage, w.btnBgImage, w.spEdit})
        QVERIFY2(!control->isEnabled(), control->metaObject()->className());
    QVERIFY(w.colbBackground->isEnabled());
    QVERIFY(w.AdvRepeatButton1->isEnabled());  // the middle picture stays movable

    Click(w.rdgBgSelection->Item(0));
    QVERIFY(!w.Document().FLabelBg.UseColor);
    QVERIFY(w.btnBgImage->isEnabled() && !w.colbBackground->isEnabled());
}

void TstMainWindow::fontButtons_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("Naam kaas cancelled: font kept, still redrawn") << 1 << false;
    QTest::newRow("Naam kaas") << 1 << true;
    QTest::newRow("Type kaas") << 2 << true;
    QTest::newRow("Productie 1, also for Productie 2") << 3 << true;
    QTest::newRow("Datum productie") << 5 << true;
}

void TstMainWindow::fontButtons()
{
    QFETCH(int, tag);
    QFETCH(bool, confirmed);
    TFixture f;
    TFrmMain& w = f.Open();
    w.pcLayout->setCurrentIndex(1);
    const TFontChoice choice{QStringLiteral("DejaVu Serif"), 30, 0x00112233u};
    if (confirmed)
        f.Dialogs.FontAnswers.push_back(choice);
    const int before = w.DrawCount();
    QToolButton* buttons[] = {w.spbFontName, w.SpeedButton1, w.SpeedButton4, nullptr, w.SpeedButton3};
    Click(buttons[tag - 1]);
    QCOMPARE(f.Dialogs.FontRequests, QList<TFontChoice>{DefaultFont});
    QCOMPARE(w.DrawCount(), before + 1);
    for (int other = 1; other <= 5; ++other) {
        const TLabelText& text = *w.Document().TextByTag(other);
        QCOMPARE((TFontChoice{text.FontName, text.FontSize, text.FontColor}),
                 confirmed && other == tag ? choice : DefaultFont);
    }
}

void TstMainWindow::production1FontColoursBothLines()
{
    TFixture f;
    f.WriteSettings("[Sub1]\nText=MMMMMMMM\nFontSize=60\n[Sub2]\nText=WWWWWWWW\nFontColor=16711680\n"
                    "[Back]\nColor=clWhite\n[Ring1]\nUse=0\n[Ring2]\nUse=0\n[Ring3]\nUse=0\n[Ring4]\nUse=0\n");
    TFrmMain& w = f.Open();
    QCOMPARE(RedInLowerHalves(w.Renderer().Raster()), std::make_pair(0, 0));
    w.pcLayout->setCurrentIndex(1);
    f.Dialogs.FontAnswers.push_back(TFontChoice{QStringLiteral("Arial"), 60, 0x000000FF});
    Click(w.SpeedButton4);
    // The first line lies left of the bottom, the second right of it; both red.
    const auto [left, right] = RedInLowerHalves(w.Renderer().Raster());
    QVERIFY2(left > 500 && right > 500, qPrintable(QStringLiteral("%1, %2").arg(left).arg(right)));
}

void TstMainWindow::eachColourSelectorChangesOnlyItsElement()
{
    TFixture f;
    TFrmMain& w = f.Open();
    const int before = w.DrawCount();
    TColorSelector* selectors[] = {w.colbRing1, w.colbRing2, w.colbRing3, w.colbRing4};
    for (int tag = 1; tag <= 4; ++tag) {
        selectors[tag - 1]->Pick(0x100u * tag);
        for (int ring = 1; ring <= 4; ++ring)
            QCOMPARE(w.Document().RingByTag(ring)->Color, ring <= tag ? 0x100u * ring : 0u);
    }
    w.colbBackground->Pick(0x00C0DCC0);
    QCOMPARE(w.Document().FLabelBg.Color, 0x00C0DCC0u);
    QCOMPARE(w.Document().FLabelRing4.Color, 0x400u);
    QCOMPARE(w.DrawCount(), before + 5);
}

void TstMainWindow::middlePicture()
{
    TFixture f;
    const QString first = f.Picture();
    const QString second = f.Dir.filePath(QStringLiteral("second.png"));
    QVERIFY(QFile::copy(first, second));
    TFrmMain& w = f.Open();
    const int before = w.DrawCount();
    Click(w.chkMiddleImg);  // ticked without a file: nothing to draw
    Click(w.btnMiddleImg);  // cancelled: nothing changes
    QVERIFY(w.Document().FLabelBg.UsePng && w.Document().FLabelBg.PngFile.isEmpty());
    QCOMPARE(w.DrawCount(), before);
    f.Dialogs.OpenPictureAnswers = {first, second};
    Click(w.btnMiddleImg);
    QCOMPARE(w.edtMiddleImg->text(), first);
    QCOMPARE(w.Document().FLabelBg.PngFile, first);
    Click(w.chkMiddleImg);  // with a file, the tick redraws
    QCOMPARE(w.DrawCount(), before + 2);

    // Either browse starts from the file its edit names, else from the last choice.
    w.rdgBgSelection->SetItemIndex(0);
    w.edtBgImage->setText(QStringLiteral("/no/such/photo.jpg"));
    Click(w.btnBgImage);
    QCOMPARE(f.Dialogs.OpenPictureRequests.last(), first);
    QCOMPARE(w.Document().FLabelBg.FileName, second);
    Click(w.btnMiddleImg);
    QCOMPARE(f.Dialogs.OpenPictureRequests.last(), first);
    Click(w.btnBgImage);
    QCOMPARE(f.Dialogs.OpenPictureRequests.last(), second);

    // A picture that breaks or goes away is named under its row, in red,
    // without a box at every redraw; the row's box grows for the line and
    // shrinks back once the picture is usable again.
    const int boxHeight = w.gbBgImage->height();
    const QByteArray good = [&] { QFile file(second); return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(); }();
    TFixture::WriteFile(second, good.left(good.size() / 2));
    QVERIFY(QFile::remove(first));
    w.chkMiddleImg->setChecked(true);
    w.spEdit->stepUp();
    QCOMPARE(w.lblBgImageNotice->text(), QStringLiteral("Afbeelding is beschadigd"));
    QCOMPARE(w.lblMiddleImgNotice->text(), QStringLiteral("Bestand niet gevonden"));
    QVERIFY(w.lblBgImageNotice->isVisible() && w.lblMiddleImgNotice->isVisible());
    QVERIFY(w.gbBgImage->height() > boxHeight);
    w.spEdit->stepUp();
    QVERIFY(f.Dialogs.Errors.isEmpty());
    TFixture::WriteFile(second, good);
    QVERIFY(QFile::copy(second, first));
    w.spEdit->stepDown();
    QVERIFY(!w.lblBgImageNotice->isVisible() && !w.lblMiddleImgNotice->isVisible());
    QCOMPARE(w.gbBgImage->height(), boxHeight);
}

void TstMainWindow::stateWrittenAtCloseReadsBack()
{
    TFixture f;
    const QStringList texts{QStringLiteral("Velmar's Kaaskelder"), QStringLiteral("* * Proosdij Kaas * *"),
                            QStringLiteral(" Brekvelde "), QStringLiteral("door P. Orvelink"), QStringLiteral("15-9")};
    TLabelDocument written{};
    {
        TFrmMain& w = f.Open();
        // A label with every element away from its defaults, then edited.
        w.HandleIniFile(QStringLiteral(MEROVIK_TEST_DATA "/label_windows1252.lbl"), false);
        // Its photo is not here, and the load says so.
        QCOMPARE(f.Dialogs.Errors.size(), 1);
        QVERIFY2(f.Dialogs.Errors.takeFirst().contains(QLatin1String("achtergrond.jpg")), "no word of the photo");
        w.pcLayout->setCurrentIndex(1);
        const QList<QLineEdit*> edits{w.edtName, w.edtType, w.edtSub1, w.edtSub2, w.edtDate};
        for (int tag = 1; tag <= 5; ++tag) {
            edits[tag - 1]->clear();
            QTest::keyClicks(edits[tag - 1], texts[tag - 1]);
            QCOMPARE(w.Document().TextByTag(tag)->Text, texts[tag - 1]);  // its own element, spaces kept
        }
        w.pcLayout->setCurrentIndex(0);
        f.Dialogs.OpenPictureAnswers.push_back(f.Picture());  // the file's photo is missing here
        Click(w.rdgBgSelection->Item(0));
        Click(w.btnBgImage);
        QTest::keyClick(w.spEdit, Qt::Key_Up);
        QTest::keyClick(w.spePngWidth, Qt::Key_Up);
        w.pcLayout->setCurrentIndex(2);
        Click(w.chkbRing2);
        Click(w.rdgLabelSize->Item(2));
        written = w.Document();
        QVERIFY(w.close());
        f.Window.reset();
    }
    QVERIFY(f.Dialogs.Errors.isEmpty());

    TFrmMain& again = f.Open();
    QCOMPARE(Differences(again.Document(), written), QStringList());
    QCOMPARE(again.edtSub1->text(), texts[2]);
    // The spins stepped by their increments.
    QCOMPARE(again.spEdit->value(), 40);
    QCOMPARE(again.spePngWidth->value(), 32);
    QVERIFY(again.chkbRing2->isChecked());
    // The size is not part of the state.
    QCOMPARE(again.Renderer().Raster().width(), 1200);
}

void TstMainWindow::failedSettingsWriteIsReportedAndWindowCloses()
{
    TFixture f;
    // Inside a regular file: no write can succeed, whoever runs the test.
    const QString blocker = f.Dir.filePath(QStringLiteral("blocker"));
    TFixture::WriteFile(blocker, "");
    TProgramPaths paths = f.Paths();
    paths.SettingsFile = blocker + QStringLiteral("/merovik.ini");
    auto window = std::make_unique<TFrmMain>(f.Dialogs, paths);
    window->show();
    QVERIFY(window->close());
    QCOMPARE(f.Dialogs.Errors, QStringList{QStringLiteral("Unable to write to %1: een deel van het pad is geen map").arg(paths.SettingsFile)});
    window.reset();  // written once per window: nothing more to report
    QCOMPARE(f.Dialogs.Errors.size(), 1);
}

void TstMainWindow::linkOpensTheForum()
{
    TFixture f;
    TFrmMain& w = f.Open();
    const QString host =
        QRegularExpression(QStringLiteral("<a href=\"([^\"]+)\">")).match(w.LinkLabel1->text()).captured(1);
    QVERIFY2(!host.isEmpty() && !host.contains(QLatin1Char(':')), qPrintable(host));
    emit w.LinkLabel1->linkActivated(host);  // what QLabel does on a click
    QCOMPARE(f.Dialogs.Links, QList<QUrl>{QUrl(QStringLiteral("https://") + host)});
}

void TstMainWindow::undoRedoRestoresEachKindOfChange_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("typing a burst in Naam kaas") << int(TypeName);
    QTest::newRow("font of Datum productie") << int(FontDate);
    QTest::newRow("Buitenring 2 switched off") << int(Ring2Off);
    QTest::newRow("colour of Binnenring 1") << int(Ring3Colour);
    QTest::newRow("colour background chosen") << int(ColourBackground);
    QTest::newRow("background colour picked") << int(BackgroundColour);
    QTest::newRow("background photo browsed") << int(PhotoBrowsed);
    QTest::newRow("effect Sepia") << int(EffectSepia);
    QTest::newRow("transparency stepped up") << int(TransparencyUp);
    QTest::newRow("middle picture switched off") << int(MiddleOff);
    QTest::newRow("middle picture browsed") << int(MiddleBrowsed);
    QTest::newRow("middle picture wider") << int(MiddleWider);
    QTest::newRow("middle picture moved right") << int(MoveRight);
    QTest::newRow("move button held down: one step") << int(MoveHeld);
    QTest::newRow("Nieuw label maken") << int(NewLabel);
    QTest::newRow("Inlezen opgeslagen label") << int(LoadLabel);
}

void TstMainWindow::undoRedoRestoresEachKindOfChange()
{
    QFETCH(int, change);
    TFixture f;
    const QString photo = f.Dir.filePath(QStringLiteral("photo.png"));
    QImage red(60, 60, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(photo));
    f.WriteSettings("[Name]\nText=Velmar\n[Back]\nUseColor=0\nTrans=20\nUsePng=1\nFileName=" + f.Picture().toUtf8()
                    + "\nPngFile=" + f.Picture().toUtf8() + "\n");
    const QString label = f.Dir.filePath(QStringLiteral("Gouda_10.lbl"));
    TFixture::WriteFile(label, "[Name]\nText=Gouda\n[Back]\nColor=clAqua\n[Ring2]\nUse=0\n");
    f.Dialogs.OpenPictureAnswers.push_back(photo);
    f.Dialogs.OpenLabelAnswers.push_back(label);
    f.Dialogs.FontAnswers.push_back(TFontChoice{QStringLiteral("DejaVu Serif"), 30, 0x000000FF});
    TFrmMain& w = f.Open();
    QVERIFY(!w.btnUndo->isEnabled());
    // A step before it, which the change must keep on the stack.
    Click(change == BackgroundColour ? w.rdgBgSelection->Item(1) : static_cast<QAbstractButton*>(w.chkbRing4));
    const QStringList before = Shown(w);
    const TLabelDocument document = w.Document();

    switch (change) {
    case TypeName:
        QTest::keyClicks(w.edtName, QStringLiteral(" Kaas"));
        QTRY_VERIFY(!w.Timer->isActive());
        break;
    case FontDate: Click(w.SpeedButton3); break;
    case Ring2Off: Click(w.chkbRing2); break;
    case Ring3Colour: w.colbRing3->Pick(0x0000FF00); break;
    case ColourBackground: Click(w.rdgBgSelection->Item(1)); break;
    case BackgroundColour: w.colbBackground->Pick(0x00FF0000); break;
    case PhotoBrowsed: Click(w.btnBgImage); break;
    case EffectSepia: Click(w.rdgEffect->Item(1)); break;
    case TransparencyUp: QTest::keyClick(w.spEdit, Qt::Key_Up); break;
    case MiddleOff: Click(w.chkMiddleImg); break;
    case MiddleBrowsed: Click(w.btnMiddleImg); break;
    case MiddleWider: QTest::keyClick(w.spePngWidth, Qt::Key_Up); break;
    case MoveRight: Click(w.AdvRepeatButton3); break;
    case MoveHeld:
        QTest::mousePress(w.AdvRepeatButton3, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w.Document().FLabelBg.PngPosX >= 30, 10000);
        QTest::mouseRelease(w.AdvRepeatButton3, Qt::LeftButton);
        break;
    case NewLabel: Click(w.btnNew); break;
    case LoadLabel: Click(w.btnLoad); break;
    default: QFAIL("no such change");
    }
    const QStringList after = Shown(w);
    QVERIFY(!(w.Document() == document));
    QCOMPARE(w.UndoStack().count(), 2);
    QVERIFY(!w.btnRedo->isEnabled());

    // Each way back or forward draws once and shows in every control.
    const int draws = w.DrawCount();
    Click(w.btnUndo);
    QCOMPARE(Shown(w), before);
    QCOMPARE(Differences(w.Document(), document), QStringList());
    QVERIFY(w.btnUndo->isEnabled() && w.btnRedo->isEnabled());
    Click(w.btnRedo);
    QCOMPARE(Shown(w), after);
    QCOMPARE(w.DrawCount(), draws + 2);
    QVERIFY(f.Dialogs.Errors.isEmpty());
}

void TstMainWindow::typingBurstIsOneStep()
{
    TFixture f;
    TFrmMain& w = f.Open();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.pcLayout->setCurrentIndex(1);
    w.edtType->setFocus();
    QTest::keyClicks(w.edtType, QStringLiteral("Gouda"), Qt::NoModifier, 50);
    QTRY_VERIFY(!w.Timer->isActive());  // its redraw ends the burst
    QTest::keyClicks(w.edtType, QStringLiteral(" 48"));
    // A burst typed and wiped out again is no step.
    QTest::keyClicks(w.edtDate, QStringLiteral("mei"));
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(w.edtDate, Qt::Key_Backspace);
    QCOMPARE(w.UndoStack().count(), 2);

    // Ctrl+Z in a text edit takes back the window's steps, not the edit's own
    // typing (which would come back as a step of its own).
    Press(w, QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(w.edtType->text(), QStringLiteral("Gouda"));
    Press(w, QKeySequence(Qt::CTRL | Qt::Key_Y));
    QCOMPARE(w.Document().FLabelType.Text, QStringLiteral("Gouda 48"));
    QCOMPARE(w.UndoStack().count(), 2);
    QVERIFY(!w.Timer->isActive());
}

void TstMainWindow::undoKeepsTheLast100Steps()
{
    TFixture f;
    TFrmMain& w = f.Open();
    for (uint32_t color = 1; color <= 120; ++color)
        w.colbRing1->Pick(color);
    QCOMPARE(w.UndoStack().count(), TFrmMain::UndoLimit);
    for (int i = 0; i < TFrmMain::UndoLimit; ++i)
        Click(w.btnUndo);
    QVERIFY(!w.btnUndo->isEnabled());
    QCOMPARE(w.colbRing1->SelectedColor(), 20u);
}

void TstMainWindow::savesExportsDeletesAndSizeAreNoSteps()
{
    TFixture f;
    TFrmMain& w = f.Open();
    Click(w.chkbRing2);
    const QString label = f.Dir.filePath(QStringLiteral("Gouda_10.lbl"));
    f.Dialogs.SaveLabelAnswers.push_back(label);
    f.Dialogs.SavePictureAnswers.push_back(f.Dir.filePath(QStringLiteral("Gouda.jpg")));
    f.Dialogs.OpenLabelAnswers.push_back(label);
    f.Dialogs.ConfirmAnswers.push_back(true);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             w.btnSaveLbl, w.BtnSave, w.btnDel, w.rdgLabelSize->Item(2), w.btnBgImage, w.SpeedButton1})
        Click(button);  // the last two cancelled
    QVERIFY(f.Dialogs.Errors.isEmpty() && !QFile::exists(label));
    QCOMPARE(w.UndoStack().count(), 1);
    Click(w.btnUndo);
    QVERIFY(w.Document().FLabelRing2.Use);
    // The size is no part of the label: it stays, and the label is drawn at it.
    QCOMPARE(w.Renderer().Raster().width(), 1650);
}

void TstMainWindow::shortcutsNamedInTheHints()
{
    TFixture f;
    TFrmMain& w = f.Open();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const QStringList hints{"Nieuw label maken (Ctrl+N)", "Inlezen opgeslagen label (Ctrl+O)",
                            "Label opslaan (Ctrl+S)", "Opgeslagen label verwijderen", "Label opslaan als JPG (Ctrl+E)",
                            "Afdrukken (Ctrl+P)", "Ongedaan maken (Ctrl+Z)", "Opnieuw (Ctrl+Shift+Z)"};
    QToolButton* buttons[] = {w.btnNew, w.btnLoad, w.btnSaveLbl, w.btnDel, w.BtnSave, w.btnPrint, w.btnUndo, w.btnRedo};
    for (int i = 0; i < hints.size(); ++i)
        QCOMPARE(buttons[i]->toolTip(), hints[i]);
    // From a text edit, the keys run the commands (their dialogs cancelled).
    w.edtName->setFocus();
    for (const QKeyCombination keys : {Qt::CTRL | Qt::Key_O, Qt::CTRL | Qt::Key_S, Qt::CTRL | Qt::Key_E})
        Press(w, QKeySequence(keys));
    QVERIFY(f.Dialogs.OpenLabelRequests.size() == 1 && f.Dialogs.SaveLabelRequests.size() == 1
            && f.Dialogs.SavePictureRequests.size() == 1);
    Press(w, QKeySequence(Qt::CTRL | Qt::Key_N));
    QCOMPARE(w.edtName->text(), QStringLiteral("Naam kaasmerk"));
    Press(w, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));  // nothing to do again
    Press(w, QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(w.edtName->text(), QString());
    Press(w, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QCOMPARE(w.edtName->text(), QStringLiteral("Naam kaasmerk"));
}

void TstMainWindow::tabReachesEveryControlOnce_data()
{
    QTest::addColumn<int>("tab");
    QTest::newRow("Achtergrond, photo background") << 0;
    QTest::newRow("Tekst") << 1;
    QTest::newRow("Ringen") << 2;
}

void TstMainWindow::tabReachesEveryControlOnce()
{
    QFETCH(int, tab);
    TFixture f;
    f.WriteSettings("[Back]\nUseColor=0\nEffect=2\nFileName=" + f.Picture().toUtf8() + "\n");
    TFrmMain& w = f.Open();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.pcLayout->setCurrentIndex(tab);
    QList<QWidget*> expected{w.btnNew, w.btnLoad, w.btnSaveLbl, w.btnDel, w.BtnSave, w.btnPrint,
                             w.rdgLabelSize->Item(1), w.LinkLabel1, w.pcLayout->tabBar()};
    if (tab == 0)
        expected << w.rdgBgSelection->Item(0) << w.rdgEffect->Item(2) << w.edtBgImage << w.btnBgImage << w.spEdit
                 << w.chkMiddleImg << w.edtMiddleImg << w.btnMiddleImg << w.spePngWidth << w.AdvRepeatButton1
                 << w.AdvRepeatButton3 << w.AdvRepeatButton2 << w.AdvRepeatButton4;
    else if (tab == 1)
        expected << w.edtName << w.spbFontName << w.edtType << w.SpeedButton1 << w.edtSub1 << w.SpeedButton4
                 << w.edtSub2 << w.edtDate << w.SpeedButton3;
    else
        expected << w.chkbRing1 << w.colbRing1 << w.chkbRing2 << w.colbRing2 << w.chkbRing3 << w.colbRing3
                 << w.chkbRing4 << w.colbRing4;

    // Around the window once. Every stop shows that it has the focus: its
    // picture with the focus differs from the one without.
    w.btnNew->setFocus(Qt::TabFocusReason);
    QList<QWidget*> reached;
    for (QWidget* current = w.btnNew; reached.size() <= expected.size();) {
        reached << current;
        if (current == w.LinkLabel1)
            QCOMPARE(w.LinkLabel1->selectedText(), QStringLiteral("Het kaasforum"));  // no stop without the link
        const QImage focused = current->grab().toImage();
        QTest::keyClick(current, Qt::Key_Tab);
        QVERIFY2(current->grab().toImage() != focused,
                 qPrintable(QStringLiteral("no focus shown on stop %1").arg(reached.size())));
        current = QApplication::focusWidget();
        if (current == w.btnNew)
            break;
    }
    QCOMPARE(reached, expected);
}

void TstMainWindow::f1OpensTheManual()
{
    TFixture f;
    TFrmMain& w = f.Open();
    w.activateWindow();
    QTest::keyClick(&w, Qt::Key_F1);
    const QList<TManualWindow*> manuals = w.findChildren<TManualWindow*>();
    QCOMPARE(manuals.size(), 1);
    QVERIFY(manuals[0]->isWindow() && manuals[0]->isVisible());
    const QString text = manuals[0]->toPlainText();
    for (const char* heading : {"De drie tabbladen", "Opslaan en de labelbibliotheek", "Exporteren",
                                "Afdrukken op vellen", "Kalibreren, stap voor stap", "Samenvoegen met een tabel",
                                "PDF voor de drukkerij"})
        QVERIFY2(text.contains(QLatin1String(heading)), heading);
    // Every screenshot it shows is bundled with it.
    int images = 0;
    for (QTextBlock block = manuals[0]->document()->begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            const QVariant image = manuals[0]->loadResource(QTextDocument::ImageResource, QUrl(name));
            QVERIFY2(!image.isNull() && !image.toByteArray().isEmpty(), qPrintable(name));
            ++images;
        }
    }
    QVERIFY(images > 0);
    // A second F1 raises the same window.
    QTest::keyClick(&w, Qt::Key_F1);
    QCOMPARE(w.findChildren<TManualWindow*>().size(), 1);
}

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"

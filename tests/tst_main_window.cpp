// The editor window driven through its own controls, offscreen, with the
// dialogs answered by a script.
#include "editor/image_view.h"
#include "editor/radio_group.h"
#include "kit/color_selector.h"
#include "kit/repeat_button.h"
#include "kit/spin_edit.h"
#include "editor_fixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

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

}  // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

private slots:
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
};

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
    QTest::newRow("right steps by 10 and stops at 590") << 1 << true << true << QPoint(560, 0) << QPoint(590, 0);
    QTest::newRow("left stops at -590") << 0 << true << true << QPoint(-560, 0) << QPoint(-590, 0);
    QTest::newRow("down stops at 590") << 2 << true << true << QPoint(0, 570) << QPoint(0, 590);
    QTest::newRow("up stops at -590") << 3 << true << true << QPoint(0, -570) << QPoint(0, -590);
    QTest::newRow("picture unticked: no move") << 1 << false << true << QPoint() << QPoint();
    QTest::newRow("picture file missing: no move") << 3 << true << false << QPoint() << QPoint();
}

void TstMainWindow::moveButtonsStepAndStop()
{
    QFETCH(int, button);
    QFETCH(bool, usePng);
    QFETCH(bool, pictureExists);
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    TFixture f;
    TFrmMain& w = f.Open();
    TLabelImage& bg = w.Document().FLabelBg;
    bg.PngFile = pictureExists ? f.Picture() : f.Dir.filePath(QStringLiteral("gone.png"));
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
    QCOMPARE(f.Dialogs.Errors, QStringList{QStringLiteral("Unable to write to %1: %2").arg(paths.SettingsFile, QString::fromLocal8Bit(std::strerror(ENOTDIR)))});
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

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"

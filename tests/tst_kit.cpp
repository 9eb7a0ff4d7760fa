#include "kit/color_selector.h"
#include "kit/icons.h"
#include "kit/repeat_button.h"
#include "kit/spin_edit.h"
#include "kit/visual_style.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QSvgRenderer>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>

namespace
{
// Runs aAction on the next modal dialog as soon as one is open. Polls, because
// the dialog may start only after other queued work.
void ActOnModalDialog(QObject* aOwner, std::function<void(QWidget*)> aAction)
{
    auto* timer = new QTimer(aOwner);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, aAction] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            aAction(dialog);
        }
    });
    timer->start();
}

struct TDropDownClick
{
    bool Clicked = false;          // the drop-down opened and held the button
    bool OpenAfterClick = false;   // it was still open right after the click
};

// Presses the selector, and while its drop-down runs its own event loop,
// clicks the button named aButton in it.
TDropDownClick ClickInDropDown(TColorSelector& aSelector, const QString& aButton)
{
    TDropDownClick outcome;
    QTimer::singleShot(0, &aSelector, [&aSelector, &aButton, &outcome] {
        QMenu* menu = aSelector.Menu();
        auto* button = menu->findChild<QAbstractButton*>(aButton);
        if (menu->isVisible() && button) {
            outcome.Clicked = true;
            QTest::mouseClick(button, Qt::LeftButton);
            outcome.OpenAfterClick = menu->isVisible();
        }
        // A drop-down left open would block the test for good.
        menu->hide();
    });
    QTest::mouseClick(&aSelector, Qt::LeftButton);
    return outcome;
}

int DarkestLightness(const QImage& aImage)
{
    int darkest = 255;
    for (int y = 0; y < aImage.height(); ++y)
        for (int x = 0; x < aImage.width(); ++x)
            darkest = std::min(darkest, QColor(aImage.pixel(x, y)).lightness());
    return darkest;
}

bool Near(QRgb aPixel, QRgb aExpected, int aTolerance = 6)
{
    return std::abs(qRed(aPixel) - qRed(aExpected)) <= aTolerance
           && std::abs(qGreen(aPixel) - qGreen(aExpected)) <= aTolerance
           && std::abs(qBlue(aPixel) - qBlue(aExpected)) <= aTolerance;
}
}

class TestKit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void presetColors_data();
    void presetColors();
    void dropDownLayout();
    void pickFromDropDown_data();
    void pickFromDropDown();
    void moreColors_data();
    void moreColors();
    void setFromCodeEmitsNothing();

    void spinEdit_data();
    void spinEdit();

    void repeatButtonSingleClick();
    void repeatButtonHeld();
    void repeatButtonLook_data();
    void repeatButtonLook();

    void icons_data();
    void icons();
    void iconSet();
    void arrowsPoint_data();
    void arrowsPoint();

    void styleSheetResource();
    void missingStyleChangesNothing();
    void tabWidth();
    void disabledIsGreyed_data();
    void disabledIsGreyed();
};

void TestKit::initTestCase()
{
    // The widgets are tested under the look the program runs with.
    QString error;
    QVERIFY2(ApplyVisualStyle(*qApp, &error), qPrintable(error));
}

void TestKit::presetColors_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("value");
    QTest::addColumn<QString>("hint");

    QTest::newRow("row 1 first: black") << 0 << 0x00000000u << "#000000";
    QTest::newRow("row 1 second: brown") << 1 << 0x00003399u << "#993300";
    QTest::newRow("row 1 seventh: blue-tinged grey") << 6 << 0x00353333u << "#333335";
    QTest::newRow("row 2 second: orange") << 9 << 0x000066FFu << "#FF6600";
    QTest::newRow("row 2 sixth: blue") << 13 << 0x00FF0000u << "#0000FF";
    QTest::newRow("row 3 first: red") << 16 << 0x000000FFu << "#FF0000";
    QTest::newRow("row 3 fourth: sea green") << 19 << 0x00669933u << "#339966";
    QTest::newRow("row 4 sixth: sky blue") << 29 << 0x00FFCC00u << "#00CCFF";
    QTest::newRow("row 5 first: rose") << 32 << 0x00CC99FFu << "#FF99CC";
    QTest::newRow("row 5 last: white") << 39 << 0x00FFFFFFu << "#FFFFFF";
}

void TestKit::presetColors()
{
    QFETCH(int, index);
    QFETCH(uint, value);
    QFETCH(QString, hint);

    QCOMPARE(TColorSelector::PresetColors[index], uint32_t(value));

    TColorSelector selector;
    auto* button = selector.Menu()->findChild<QAbstractButton*>(QStringLiteral("colorPreset%1").arg(index));
    QVERIFY(button);
    QCOMPARE(button->toolTip(), hint);
}

void TestKit::dropDownLayout()
{
    TColorSelector selector;
    selector.show();
    QMenu* menu = selector.Menu();
    QVERIFY(!menu->isTearOffEnabled());
    menu->popup(selector.mapToGlobal(QPoint(0, selector.height())));
    QVERIFY(QTest::qWaitForWindowExposed(menu));

    auto center = [menu](const QString& aName) {
        auto* w = menu->findChild<QWidget*>(aName);
        return w ? w->mapTo(menu, w->rect().center()) : QPoint(-1, -1);
    };
    const QPoint first = center(QStringLiteral("colorPreset0"));
    const QPoint last = center(QStringLiteral("colorPreset39"));
    for (int i = 0; i < 40; ++i) {
        const QPoint p = center(QStringLiteral("colorPreset%1").arg(i));
        const QPoint rowStart = center(QStringLiteral("colorPreset%1").arg(i / 8 * 8));
        const QPoint colTop = center(QStringLiteral("colorPreset%1").arg(i % 8));
        QVERIFY2(p.y() == rowStart.y(), qPrintable(QStringLiteral("preset %1 leaves its row").arg(i)));
        QVERIFY2(p.x() == colTop.x(), qPrintable(QStringLiteral("preset %1 leaves its column").arg(i)));
        if (i % 8 > 0)
            QVERIFY(p.x() > center(QStringLiteral("colorPreset%1").arg(i - 1)).x());
    }
    QVERIFY(last.y() > first.y());

    auto* automatic = menu->findChild<QAbstractButton*>(QStringLiteral("colorAutomatic"));
    auto* more = menu->findChild<QAbstractButton*>(QStringLiteral("colorMore"));
    QVERIFY(automatic && more);
    QCOMPARE(automatic->text(), QStringLiteral("Automatic"));
    QCOMPARE(more->text(), QStringLiteral("More Colors..."));
    QCOMPARE(more->toolTip(), QStringLiteral("More Colors"));
    QVERIFY(center(QStringLiteral("colorAutomatic")).y() < first.y());
    QVERIFY(center(QStringLiteral("colorMore")).y() > last.y());
    // Across the top and bottom: as wide as the grid.
    const int gridWidth = center(QStringLiteral("colorPreset7")).x() - center(QStringLiteral("colorPreset0")).x();
    QVERIFY(automatic->width() > gridWidth);
    QVERIFY(more->width() > gridWidth);
    menu->hide();
}

void TestKit::pickFromDropDown_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<uint>("value");

    QTest::newRow("orange preset") << "colorPreset9" << 0x000066FFu;
    QTest::newRow("white preset, last of the grid") << "colorPreset39" << 0x00FFFFFFu;
    QTest::newRow("automatic gives black") << "colorAutomatic" << 0x00000000u;
    QTest::newRow("same colour picked again still fires") << "colorPreset13" << 0x00FF0000u;
}

void TestKit::pickFromDropDown()
{
    QFETCH(QString, button);
    QFETCH(uint, value);

    TColorSelector selector;
    selector.resize(89, 25);
    selector.show();
    QVERIFY(QTest::qWaitForWindowExposed(&selector));
    selector.SetSelectedColor(0x00FF0000);
    QSignalSpy spy(&selector, &TColorSelector::SelectColor);

    const TDropDownClick click = ClickInDropDown(selector, button);
    QVERIFY(click.Clicked);
    QVERIFY2(!click.OpenAfterClick, "the drop-down stays open after a pick");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<uint32_t>(), uint32_t(value));
    QCOMPARE(selector.SelectedColor(), uint32_t(value));
    QVERIFY(selector.HasSelection());
}

void TestKit::moreColors_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("picks");
    QTest::addColumn<uint>("value");

    QTest::newRow("accepted dialog picks its colour") << true << 1 << 0x00563412u;
    QTest::newRow("cancelled dialog picks nothing") << false << 0 << 0x0000FF00u;
}

void TestKit::moreColors()
{
    QFETCH(bool, accept);
    QFETCH(int, picks);
    QFETCH(uint, value);

    TColorSelector selector;
    selector.show();
    QVERIFY(QTest::qWaitForWindowExposed(&selector));
    selector.SetSelectedColor(0x0000FF00);
    QSignalSpy spy(&selector, &TColorSelector::SelectColor);

    bool closed = false;
    QColor offered;
    QString title;
    ActOnModalDialog(this, [&](QWidget* aDialog) {
        auto* dialog = qobject_cast<QColorDialog*>(aDialog);
        if (dialog) {
            offered = dialog->currentColor();
            title = dialog->windowTitle();
            dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
            accept ? dialog->accept() : dialog->reject();
        } else {
            aDialog->close();
        }
        closed = true;
    });
    const TDropDownClick click = ClickInDropDown(selector, QStringLiteral("colorMore"));
    QVERIFY(click.Clicked);
    QVERIFY(!click.OpenAfterClick);
    QTRY_VERIFY(closed);

    QCOMPARE(title, QStringLiteral("More Colors"));
    QCOMPARE(offered, QColor(0x00, 0xFF, 0x00));
    QCOMPARE(spy.count(), picks);
    QCOMPARE(selector.SelectedColor(), uint32_t(value));
}

void TestKit::setFromCodeEmitsNothing()
{
    TColorSelector selector;
    QVERIFY(!selector.HasSelection());
    QCOMPARE(selector.SelectedColor(), 0u);

    QSignalSpy spy(&selector, &TColorSelector::SelectColor);
    selector.SetSelectedColor(0x00123456);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(selector.SelectedColor(), 0x00123456u);
    QVERIFY(selector.HasSelection());

    // The swatch shows the colour: red in the low byte of the value.
    selector.resize(89, 25);
    const QImage shot = selector.grab().toImage();
    QVERIFY(Near(shot.pixel(20, shot.height() / 2), qRgb(0x56, 0x34, 0x12), 2));

    selector.Pick(0x00ABCDEF);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<uint32_t>(), 0x00ABCDEFu);
}

void TestKit::spinEdit_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("increment");
    QTest::addColumn<int>("start");

    QTest::newRow("transparency 0 to 90 by 10") << 0 << 90 << 10 << 0;
    QTest::newRow("picture width 10 to 90 by 2") << 10 << 90 << 2 << 10;
}

void TestKit::spinEdit()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, increment);
    QFETCH(int, start);

    TSpinEdit spin(minimum, maximum, increment, start);
    spin.resize(44, 22);
    spin.show();
    QVERIFY(QTest::qWaitForWindowExposed(&spin));
    spin.setFocus();
    QCOMPARE(spin.value(), start);
    QSignalSpy spy(&spin, &QSpinBox::valueChanged);

    // Typing is refused; the text stays what the value says.
    spin.selectAll();
    QTest::keyClicks(&spin, QStringLiteral("57"));
    QTest::keyClick(&spin, Qt::Key_Backspace);
    QTest::keyClick(&spin, Qt::Key_Return);
    QCOMPARE(spin.value(), start);
    QCOMPARE(spin.text(), QString::number(start));
    QCOMPARE(spy.count(), 0);

    // The key, the arrow button and the wheel each step by the increment.
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(spin.value(), start + increment);

    QStyleOptionSpinBox opt;
    opt.initFrom(&spin);
    opt.subControls = QStyle::SC_SpinBoxUp;
    opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    const QRect up = spin.style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxUp, &spin);
    QVERIFY(!up.isEmpty());
    QTest::mouseClick(&spin, Qt::LeftButton, Qt::NoModifier, up.center());
    QCOMPARE(spin.value(), start + 2 * increment);

    QWheelEvent wheel(QPointF(10, 10), spin.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&spin, &wheel);
    QCOMPARE(spin.value(), start + 3 * increment);
    QCOMPARE(spy.count(), 3);

    // Setting from code fires too, and never leaves the limits.
    spin.setValue(maximum + 50);
    QCOMPARE(spin.value(), maximum);
    QCOMPARE(spy.count(), 4);
    QCOMPARE(spy.last().at(0).toInt(), maximum);
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(spin.value(), maximum);

    spin.setValue(minimum - 50);
    QCOMPARE(spin.value(), minimum);
    QCOMPARE(spy.last().at(0).toInt(), minimum);
    QTest::keyClick(&spin, Qt::Key_Down);
    QCOMPARE(spin.value(), minimum);
}

void TestKit::repeatButtonSingleClick()
{
    TRepeatButton button;
    button.setIcon(MerovikIcon(12));
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QSignalSpy spy(&button, &QAbstractButton::clicked);

    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QTest::keyClick(&button, Qt::Key_Space);
    QCOMPARE(spy.count(), 2);
}

void TestKit::repeatButtonHeld()
{
    TRepeatButton button;
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QSignalSpy spy(&button, &QAbstractButton::clicked);

    QTest::mousePress(&button, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 4, 10000);
    QTest::mouseRelease(&button, Qt::LeftButton);

    // Released, it stops repeating.
    const int afterRelease = spy.count();
    QTest::qWait(3 * TRepeatButton::RepeatIntervalMs);
    QCOMPARE(spy.count(), afterRelease);
}

void TestKit::repeatButtonLook_data()
{
    QTest::addColumn<bool>("down");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<uint>("fill");

    QTest::newRow("held down") << true << false << uint(qRgb(0xD2, 0xD3, 0xD8));
    QTest::newRow("under the mouse") << false << true << uint(qRgb(0xC7, 0xC7, 0xCA));
}

void TestKit::repeatButtonLook()
{
    QFETCH(bool, down);
    QFETCH(bool, hovered);
    QFETCH(uint, fill);

    // Under the application's sheet, which styles every other tool button.
    QWidget host;
    host.resize(80, 80);
    auto* button = new TRepeatButton(&host);
    button->move(20, 20);
    button->setIcon(MerovikIcon(9));
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(button->size(), QSize(27, 27));

    if (hovered) {
        QTest::mouseMove(button, QPoint(13, 13));
        QTRY_VERIFY(button->underMouse());
    }
    button->setDown(down);
    const QImage shot = button->grab().toImage();
    button->setDown(false);

    // Beside the icon, inside the border; the border black on all four sides.
    QVERIFY2(Near(shot.pixel(2, 13), fill), qPrintable(QColor(shot.pixel(2, 13)).name()));
    QVERIFY2(Near(shot.pixel(24, 13), fill), qPrintable(QColor(shot.pixel(24, 13)).name()));
    for (const QPoint edge : {QPoint(0, 13), QPoint(26, 13), QPoint(13, 0), QPoint(13, 26)})
        QVERIFY2(QColor(shot.pixel(edge)).lightness() < 60, qPrintable(QColor(shot.pixel(edge)).name()));
    // Rounded: the very corner is not border.
    QVERIFY(QColor(shot.pixel(0, 0)).lightness() > 100);
}

void TestKit::icons_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("file");

    const char* names[] = {"00_photo",      "01_new",     "02_load",      "03_save_label", "04_delete",
                           "05_export",     "06_folder_up", "07_printer", "08_colours",    "09_arrow_down",
                           "10_arrow_up",   "11_arrow_left", "12_arrow_right"};
    for (int i = 0; i < 13; ++i)
        QTest::newRow(names[i]) << i << QStringLiteral(":/icons/%1.svg").arg(QLatin1String(names[i]));
}

void TestKit::icons()
{
    QFETCH(int, index);
    QFETCH(QString, file);

    QCOMPARE(MerovikIconPath(index), file);
    QSvgRenderer svg(file);
    QVERIFY2(svg.isValid(), qPrintable(file));
    QCOMPARE(svg.viewBoxF(), QRectF(0, 0, 24, 24));

    const QIcon icon = MerovikIcon(index);
    QVERIFY(!icon.isNull());
    const QImage image = icon.pixmap(QSize(24, 24)).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(24, 24));
    int opaque = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            opaque += qAlpha(image.pixel(x, y)) > 128;
    // A drawing, not a speck: at least a fifth of the square is covered,
    // and the corners of the square stay see-through somewhere.
    QVERIFY2(opaque > 24 * 24 / 5, qPrintable(QString::number(opaque)));
    QVERIFY(opaque < 24 * 24);
}

void TestKit::iconSet()
{
    const QStringList files = QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")}, QDir::Files);
    QCOMPARE(files.size(), MerovikIconCount);
    QVERIFY(MerovikIcon(-1).isNull());
    QVERIFY(MerovikIcon(MerovikIconCount).isNull());
}

void TestKit::arrowsPoint_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QPoint>("direction");

    QTest::newRow("arrow down") << 9 << QPoint(0, 1);
    QTest::newRow("arrow up") << 10 << QPoint(0, -1);
    QTest::newRow("arrow left") << 11 << QPoint(-1, 0);
    QTest::newRow("arrow right") << 12 << QPoint(1, 0);
}

void TestKit::arrowsPoint()
{
    QFETCH(int, index);
    QFETCH(QPoint, direction);

    // The tail is a flat end, the tip a point: along the direction it points,
    // the far end of the drawing is much narrower than the near end.
    QImage image(48, 48, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        QSvgRenderer(MerovikIconPath(index)).render(&p, QRectF(0, 0, 48, 48));
    }
    const bool horizontal = direction.x() != 0;
    QList<int> widths;
    for (int along = 0; along < 48; ++along) {
        int across = 0;
        for (int i = 0; i < 48; ++i) {
            const QRgb px = horizontal ? image.pixel(along, i) : image.pixel(i, along);
            if (qAlpha(px) > 128) {
                ++across;
                // The arrows are green.
                QVERIFY(qGreen(px) >= qRed(px) && qGreen(px) >= qBlue(px));
            }
        }
        widths.append(across);
    }
    int first = 0;
    while (first < 48 && widths[first] == 0)
        ++first;
    int last = 47;
    while (last >= 0 && widths[last] == 0)
        --last;
    QVERIFY(last - first > 24);
    const int nearEnd = widths[first + 2];
    const int farEnd = widths[last - 2];
    const bool pointsForward = horizontal ? direction.x() > 0 : direction.y() > 0;
    const int tip = pointsForward ? farEnd : nearEnd;
    const int tail = pointsForward ? nearEnd : farEnd;
    QVERIFY2(tip * 2 < tail, qPrintable(QStringLiteral("tip %1, tail %2").arg(tip).arg(tail)));
}

void TestKit::styleSheetResource()
{
    QFile file(VisualStyleResource);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QString sheet = QString::fromUtf8(file.readAll());
    QVERIFY(sheet.contains(QStringLiteral("QTabBar::tab")));
    QCOMPARE(qApp->styleSheet(), sheet);
}

void TestKit::missingStyleChangesNothing()
{
    const QString before = qApp->styleSheet();
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.qss"));
    QString error;
    QVERIFY(!ApplyVisualStyleFrom(*qApp, missing, &error));
    QVERIFY2(error.contains(missing), qPrintable(error));
    QCOMPARE(qApp->styleSheet(), before);

    QFile empty(dir.filePath(QStringLiteral("empty.qss")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(!ApplyVisualStyleFrom(*qApp, empty.fileName(), nullptr));
    QCOMPARE(qApp->styleSheet(), before);
}

void TestKit::tabWidth()
{
    QTabWidget tabs;
    for (const char* caption : {"Achtergrond", "Tekst", "Ringen"})
        tabs.addTab(new QWidget, QString::fromLatin1(caption));
    tabs.resize(463, 300);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(tabs.tabBar()->tabRect(i).width(), 100);
}

void TestKit::disabledIsGreyed_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"check box", "radio button", "push button", "line edit", "spin edit"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestKit::disabledIsGreyed()
{
    QFETCH(QString, kind);

    QWidget host;
    QWidget* widget = nullptr;
    if (kind == QLatin1String("check box"))
        widget = new QCheckBox(QStringLiteral("Gebruiken"), &host);
    else if (kind == QLatin1String("radio button"))
        widget = new QRadioButton(QStringLiteral("...achtergrond kleur"), &host);
    else if (kind == QLatin1String("push button"))
        widget = new QPushButton(QStringLiteral("Bladeren"), &host);
    else if (kind == QLatin1String("line edit"))
        widget = new QLineEdit(QStringLiteral("Huisgemaakt in Brekvelde"), &host);
    else
        widget = new TSpinEdit(0, 90, 10, 80, &host);
    widget->resize(widget->sizeHint().expandedTo(QSize(60, 22)));
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    const int enabled = DarkestLightness(widget->grab().toImage());
    widget->setEnabled(false);
    const int disabled = DarkestLightness(widget->grab().toImage());
    // The darkest ink is the text's: readable when enabled, clearly pale when not.
    QVERIFY2(enabled < 80, qPrintable(QString::number(enabled)));
    QVERIFY2(disabled > enabled + 60, qPrintable(QStringLiteral("%1 vs %2").arg(disabled).arg(enabled)));
}

QTEST_MAIN(TestKit)
#include "tst_kit.moc"

#include "kit/color_selector.h"
#include "kit/decimal_spin_box.h"
#include "kit/icons.h"
#include "kit/repeat_button.h"
#include "kit/spin_edit.h"
#include "kit/visual_style.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestKit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unreadableStyleChangesNothing();
    void pickFromDropDown_data();
    void pickFromDropDown();
    void setFromCodeEmitsNothing();
    void spinEdit();
    void repeatButtonRepeatsWhileHeld();
    void icons();
    void decimalComma_data();
    void decimalComma();
};

void TestKit::initTestCase()
{
    // The widgets are tested under the look the program runs with.
    QString error;
    QVERIFY2(ApplyVisualStyle(*qApp, &error), qPrintable(error));
    QFile sheet(VisualStyleResource);
    QVERIFY(sheet.open(QIODevice::ReadOnly));
    QCOMPARE(qApp->styleSheet(), QString::fromUtf8(sheet.readAll()));
}

void TestKit::unreadableStyleChangesNothing()
{
    const QString before = qApp->styleSheet();
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.qss"));
    QString error;
    QVERIFY(!ApplyVisualStyleFrom(*qApp, missing, &error));
    QVERIFY2(error.contains(missing), qPrintable(error));
    QFile empty(dir.filePath(QStringLiteral("empty.qss")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(!ApplyVisualStyleFrom(*qApp, empty.fileName(), nullptr));
    QCOMPARE(qApp->styleSheet(), before);
}

void TestKit::pickFromDropDown_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<uint>("value");
    QTest::newRow("#FF6600 preset gives 0x000066FF") << "colorPreset9" << 0x000066FFu;
    QTest::newRow("#339966 preset gives 0x00669933") << "colorPreset19" << 0x00669933u;
    QTest::newRow("automatic gives black") << "colorAutomatic" << 0u;
    QTest::newRow("the selected colour again still fires") << "colorPreset13" << 0x00FF0000u;
}

void TestKit::pickFromDropDown()
{
    QFETCH(QString, button);
    QFETCH(uint, value);
    TColorSelector selector;
    selector.show();
    QVERIFY(QTest::qWaitForWindowExposed(&selector));
    selector.SetSelectedColor(0x00FF0000);
    QSignalSpy spy(&selector, &TColorSelector::SelectColor);
    // Clicked while the drop-down runs its own event loop.
    bool clicked = false;
    bool openAfter = true;
    QTimer::singleShot(0, &selector, [&] {
        QMenu* menu = selector.Menu();
        if (auto* swatch = menu->findChild<QAbstractButton*>(button); swatch && menu->isVisible()) {
            clicked = true;
            QTest::mouseClick(swatch, Qt::LeftButton);
            openAfter = menu->isVisible();
        }
        menu->hide();  // one left open would block the test for good
    });
    QTest::mouseClick(&selector, Qt::LeftButton);
    QVERIFY(clicked);
    QVERIFY2(!openAfter, "the drop-down stays open after a pick");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<uint32_t>(), uint32_t(value));
    QCOMPARE(selector.SelectedColor(), uint32_t(value));
}

void TestKit::setFromCodeEmitsNothing()
{
    TColorSelector selector;
    QSignalSpy spy(&selector, &TColorSelector::SelectColor);
    selector.SetSelectedColor(0x00123456);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(selector.SelectedColor(), 0x00123456u);
}

void TestKit::spinEdit()
{
    QWidget window;
    auto* before = new QLineEdit(&window);
    TSpinEdit spin(0, 90, 10, 0, &window);  // the transparency spin
    spin.move(0, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // Tab brings the focus without selecting the text that cannot be typed over.
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    QVERIFY(spin.hasFocus());
    QVERIFY(!spin.findChild<QLineEdit*>()->hasSelectedText());
    QSignalSpy spy(&spin, &QSpinBox::valueChanged);
    // Typing is refused, and Return announces no change.
    spin.selectAll();
    QTest::keyClicks(&spin, QStringLiteral("57"));
    QTest::keyClick(&spin, Qt::Key_Backspace);
    QTest::keyClick(&spin, Qt::Key_Return);
    QCOMPARE(spin.text(), QStringLiteral("0"));
    QCOMPARE(spy.count(), 0);
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(spin.value(), 10);
    // Setting from code fires too, and never leaves the limits.
    spin.setValue(140);
    QCOMPARE(spy.count(), 2);
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(spin.value(), 90);
    spin.setValue(-5);
    QCOMPARE(spin.value(), 0);
}

void TestKit::repeatButtonRepeatsWhileHeld()
{
    TRepeatButton button;
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QCOMPARE(button.size(), QSize(27, 27));  // the application's sheet does not reshape it
    QSignalSpy spy(&button, &QAbstractButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 4, 10000);
    QTest::mouseRelease(&button, Qt::LeftButton);
    const int afterRelease = spy.count();
    QTest::qWait(3 * TRepeatButton::RepeatIntervalMs);
    QCOMPARE(spy.count(), afterRelease);
}

void TestKit::icons()
{
    QCOMPARE(QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")}).size(), MerovikIconCount);
    for (int index = 0; index < MerovikIconCount; ++index) {
        const QImage image = MerovikIcon(index).pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128;
        // A drawing, not a speck nor a filled square.
        QVERIFY2(opaque > 24 * 24 / 5 && opaque < 24 * 24, qPrintable(MerovikIconPath(index)));
    }
    QVERIFY(MerovikIcon(MerovikIconCount).isNull());
}

void TestKit::decimalComma_data()
{
    QTest::addColumn<QString>("systemLocale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("value");
    for (const QString& locale : {QStringLiteral("C"), QStringLiteral("en_US"), QStringLiteral("nl_NL")}) {
        QTest::newRow(qPrintable(locale + " comma")) << locale << "1,5" << 1.5;
        QTest::newRow(qPrintable(locale + " point")) << locale << "1.5" << 1.5;
        QTest::newRow(qPrintable(locale + " negative")) << locale << "-2,25" << -2.25;
        QTest::newRow(qPrintable(locale + " whole")) << locale << "12" << 12.0;
        // Never ten times what was typed: a second sign is refused, not a separator.
        QTest::newRow(qPrintable(locale + " two signs")) << locale << "1,5,0" << 1.5;
    }
}

void TestKit::decimalComma()
{
    QFETCH(QString, systemLocale);
    QFETCH(QString, typed);
    QFETCH(double, value);
    const QLocale before;
    QLocale::setDefault(QLocale(systemLocale));
    TDecimalSpinBox box;
    box.setRange(-20, 20);
    box.setDecimals(2);
    box.setSuffix(QStringLiteral(" mm"));
    box.setValue(3);
    QCOMPARE(box.text(), QStringLiteral("3,00 mm"));
    box.show();
    QLineEdit* edit = box.findChild<QLineEdit*>();
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Enter);
    QLocale::setDefault(before);
    QCOMPARE(box.value(), value);
    QCOMPARE(box.text(), box.locale().toString(value, 'f', 2) + QStringLiteral(" mm"));
}

QTEST_MAIN(TestKit)
#include "tst_kit.moc"

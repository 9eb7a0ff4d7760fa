#include "editor/font_dialog.h"
#include "kit/color_selector.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace
{
template <typename T>
T* Child(const TFontDialog& aDialog, const char* aName)
{
    return aDialog.findChild<T*>(QLatin1String(aName));
}

void ClickListItem(QListWidget* aList, const QString& aText)
{
    const QList<QListWidgetItem*> items = aList->findItems(aText, Qt::MatchExactly);
    QVERIFY(!items.isEmpty());
    aList->scrollToItem(items.first());
    QTest::mouseClick(aList->viewport(), Qt::LeftButton, Qt::NoModifier,
                      aList->visualItemRect(items.first()).center());
}

// Colour distance of the nearest pixel of aImage to aColor.
int NearestDistance(const QImage& aImage, const QColor& aColor)
{
    int best = 3 * 255;
    for (int y = 0; y < aImage.height(); ++y)
        for (int x = 0; x < aImage.width(); ++x) {
            const QColor c(aImage.pixel(x, y));
            best = std::min(best, std::abs(c.red() - aColor.red()) + std::abs(c.green() - aColor.green())
                                      + std::abs(c.blue() - aColor.blue()));
        }
    return best;
}
}

class TestFontDialog : public QObject
{
    Q_OBJECT

private slots:
    void confirmKeepsWhatWasSet_data();
    void confirmKeepsWhatWasSet();
    void userChoices();
    void cancel_data();
    void cancel();
    void runModally();
    void sizeWithinRange_data();
    void sizeWithinRange();
    void emptyNameTakesShownFamily();
    void previewInkStaysVisible_data();
    void previewInkStaysVisible();
};

void TestFontDialog::confirmKeepsWhatWasSet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<uint>("color");

    QTest::newRow("installed family at the label's default size") << "Liberation Serif" << 40 << 0x000066FFu;
    QTest::newRow("family not installed here stays as it was") << "Tahoma" << 12 << 0x00000000u;
    QTest::newRow("white ink at a large size") << "DejaVu Sans Mono" << 300 << 0x00FFFFFFu;
    QTest::newRow("colour with a marker in the top byte") << "Liberation Sans" << 8 << 0xFF000008u;
}

void TestFontDialog::confirmKeepsWhatWasSet()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(uint, color);

    TFontDialog dialog;
    dialog.SetFontName(name);
    dialog.SetFontSize(size);
    dialog.SetFontColor(color);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QTest::mouseClick(Child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.FontName(), name);
    QCOMPARE(dialog.FontSize(), size);
    QCOMPARE(dialog.FontColor(), uint32_t(color));
    QVERIFY(!dialog.Bold());
    QVERIFY(!dialog.Italic());
}

void TestFontDialog::userChoices()
{
    TFontDialog dialog;
    dialog.SetFontName(QStringLiteral("Liberation Sans"));
    dialog.SetFontSize(40);
    dialog.SetFontColor(0x00000000);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    auto* family = Child<QFontComboBox>(dialog, "cbFontName");
    const int serif = family->findText(QStringLiteral("DejaVu Serif"));
    QVERIFY(serif >= 0);
    family->setCurrentIndex(serif);
    QCOMPARE(dialog.FontName(), QStringLiteral("DejaVu Serif"));

    ClickListItem(Child<QListWidget>(dialog, "lbFontSizes"), QStringLiteral("72"));
    QCOMPARE(dialog.FontSize(), 72);
    auto* size = Child<QSpinBox>(dialog, "speFontSize");
    size->setFocus();
    QTest::keyClick(size, Qt::Key_Up);
    QCOMPARE(dialog.FontSize(), 73);

    QTest::mouseClick(Child<QCheckBox>(dialog, "chkBold"), Qt::LeftButton);
    QTest::mouseClick(Child<QCheckBox>(dialog, "chkItalic"), Qt::LeftButton);
    QVERIFY(dialog.Bold());
    QVERIFY(dialog.Italic());

    // The colour through the selector's own drop-down.
    auto* color = Child<TColorSelector>(dialog, "colbFontColor");
    bool clicked = false;
    QTimer::singleShot(0, color, [color, &clicked] {
        if (auto* orange = color->Menu()->findChild<QAbstractButton*>(QStringLiteral("colorPreset9"));
            orange && color->Menu()->isVisible()) {
            QTest::mouseClick(orange, Qt::LeftButton);
            clicked = true;
        }
        color->Menu()->hide();
    });
    QTest::mouseClick(color, Qt::LeftButton);
    QVERIFY(clicked);
    QCOMPARE(dialog.FontColor(), 0x000066FFu);
    QVERIFY(dialog.isVisible());

    QTest::mouseClick(Child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.FontName(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(dialog.FontSize(), 73);
    QCOMPARE(dialog.FontColor(), 0x000066FFu);
}

void TestFontDialog::cancel_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("Annuleren button") << false;
    QTest::newRow("Escape key") << true;
}

void TestFontDialog::cancel()
{
    QFETCH(bool, byKey);

    TFontDialog dialog;
    dialog.SetFontName(QStringLiteral("Liberation Sans"));
    dialog.SetFontSize(40);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Child<QListWidget>(dialog, "lbFontSizes")->setFocus();

    auto* cancelButton = Child<QPushButton>(dialog, "btnCancel");
    QCOMPARE(cancelButton->text(), QStringLiteral("Annuleren"));
    if (byKey)
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        QTest::mouseClick(cancelButton, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
}

void TestFontDialog::runModally()
{
    // As the window runs it: exec(), closed here through the OK button.
    TFontDialog dialog;
    dialog.SetFontName(QStringLiteral("DejaVu Sans"));
    dialog.SetFontSize(24);
    dialog.SetFontColor(0x00FF0000);
    bool clicked = false;
    QTimer::singleShot(0, &dialog, [&dialog, &clicked] {
        if (dialog.isVisible()) {
            QTest::mouseClick(Child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
            clicked = true;
        }
        if (dialog.isVisible())
            dialog.done(QDialog::Rejected);  // ends a run that the click did not
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(clicked);
    QCOMPARE(dialog.FontName(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(dialog.FontSize(), 24);
    QCOMPARE(dialog.FontColor(), 0x00FF0000u);
}

void TestFontDialog::sizeWithinRange_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("shown");

    QTest::newRow("zero from a hand-edited file") << 0 << TFontDialog::MinFontSize;
    QTest::newRow("negative") << -12 << TFontDialog::MinFontSize;
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("beyond the largest") << 5000 << TFontDialog::MaxFontSize;
}

void TestFontDialog::sizeWithinRange()
{
    QFETCH(int, set);
    QFETCH(int, shown);

    TFontDialog dialog;
    dialog.SetFontSize(set);
    QCOMPARE(dialog.FontSize(), shown);
}

void TestFontDialog::emptyNameTakesShownFamily()
{
    // A new text has no font yet: confirming gives the family the dialog shows.
    TFontDialog dialog;
    dialog.SetFontName(QString());
    QVERIFY(!dialog.FontName().isEmpty());
    QCOMPARE(dialog.FontName(), Child<QFontComboBox>(dialog, "cbFontName")->currentFont().family());
}

void TestFontDialog::previewInkStaysVisible_data()
{
    QTest::addColumn<uint>("color");
    QTest::addColumn<QColor>("ink");

    QTest::newRow("black") << 0x00000000u << QColor(0, 0, 0);
    QTest::newRow("white") << 0x00FFFFFFu << QColor(255, 255, 255);
    QTest::newRow("pale yellow") << 0x0099FFFFu << QColor(0xFF, 0xFF, 0x99);
    QTest::newRow("navy") << 0x00800000u << QColor(0, 0, 0x80);
}

void TestFontDialog::previewInkStaysVisible()
{
    QFETCH(uint, color);
    QFETCH(QColor, ink);

    TFontDialog dialog;
    dialog.SetFontName(QStringLiteral("DejaVu Sans"));
    dialog.SetFontSize(20);
    dialog.SetFontColor(color);
    dialog.SetSampleText(QStringLiteral("Velmar's Kaaskelder"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    auto* preview = Child<QLabel>(dialog, "lblPreview");
    QCOMPARE(preview->text(), QStringLiteral("Velmar's Kaaskelder"));
    const QImage shot = preview->grab().toImage();
    // The text is drawn in the ink, on a ground far from it.
    QVERIFY(NearestDistance(shot, ink) < 30);
    const QColor ground(shot.pixel(4, shot.height() / 2));
    QVERIFY2(std::abs(ground.lightness() - ink.lightness()) > 100, qPrintable(ground.name()));
}

QTEST_MAIN(TestFontDialog)
#include "tst_font_dialog.moc"

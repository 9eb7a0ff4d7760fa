#include "editor/font_dialog.h"
#include "kit/color_selector.h"

#include <QCheckBox>
#include <QFontComboBox>
#include <QLabel>
#include <QListWidget>
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
}

class TestFontDialog : public QObject
{
    Q_OBJECT

private slots:
    void closeKeepsWhatWasSet_data();
    void closeKeepsWhatWasSet();
    void userChoices();
    void emptyNameTakesTheShownFamily();
    void previewBoldWholeAndSteady_data();
    void previewBoldWholeAndSteady();
};

void TestFontDialog::closeKeepsWhatWasSet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<uint>("color");
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("OK, installed family") << "Liberation Serif" << 40 << 0x000066FFu << QByteArray("btnOk") << 1;
    // Confirming must not swap a label's font for a look-alike.
    QTest::newRow("OK, family not installed here") << "Tahoma" << 12 << 0u << QByteArray("btnOk") << 1;
    QTest::newRow("OK, colour marked in the top byte") << "DejaVu Sans" << 300 << 0xFF000008u << QByteArray("btnOk") << 1;
    QTest::newRow("Annuleren") << "Liberation Sans" << 40 << 0x00FF0000u << QByteArray("btnCancel") << 0;
}

void TestFontDialog::closeKeepsWhatWasSet()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(uint, color);
    QFETCH(QByteArray, button);
    QFETCH(int, result);
    TFontDialog dialog;
    dialog.SetFontName(name);
    dialog.SetFontSize(size);
    dialog.SetFontColor(color);
    // Run modally, as the window runs it.
    QTimer::singleShot(0, &dialog, [&dialog, button] {
        if (dialog.isVisible())
            QTest::mouseClick(Child<QPushButton>(dialog, button.constData()), Qt::LeftButton);
        if (dialog.isVisible())
            dialog.done(-1);  // a run the click did not end fails, not hangs
    });
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(dialog.FontName(), name);
    QCOMPARE(dialog.FontSize(), size);
    QCOMPARE(dialog.FontColor(), uint32_t(color));
}

void TestFontDialog::userChoices()
{
    TFontDialog dialog;
    dialog.SetFontName(QStringLiteral("Liberation Sans"));
    dialog.SetFontSize(40);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* family = Child<QFontComboBox>(dialog, "cbFontName");
    family->setCurrentIndex(family->findText(QStringLiteral("DejaVu Serif")));
    auto* list = Child<QListWidget>(dialog, "lbFontSizes");
    QListWidgetItem* item = list->findItems(QStringLiteral("72"), Qt::MatchExactly).value(0);
    QVERIFY(item);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(item).center());
    QCOMPARE(dialog.FontSize(), 72);
    Child<QSpinBox>(dialog, "speFontSize")->setFocus();
    QTest::keyClick(Child<QSpinBox>(dialog, "speFontSize"), Qt::Key_Up);
    Child<TColorSelector>(dialog, "colbFontColor")->Pick(0x000066FF);

    QTest::mouseClick(Child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.FontName(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(dialog.FontSize(), 73);
    QCOMPARE(dialog.FontColor(), 0x000066FFu);
}

void TestFontDialog::emptyNameTakesTheShownFamily()
{
    // A text without a font confirms the family the dialog shows, not an empty one.
    TFontDialog dialog;
    dialog.SetFontName(QString());
    QVERIFY(!dialog.FontName().isEmpty());
    QCOMPARE(dialog.FontName(), Child<QFontComboBox>(dialog, "cbFontName")->currentFont().family());
}

void TestFontDialog::previewBoldWholeAndSteady_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<int>("size");
    QTest::newRow("short sample, largest size") << "Gouda" << 999;
    QTest::newRow("long production line at 100") << "Huisgemaakt in Brekvelde door P. Orvelink" << 100;
    QTest::newRow("text far too long for any size") << QString(300, QLatin1Char('W')) << 40;
    QTest::newRow("no text: the dialog's own sample") << "" << 500;
}

void TestFontDialog::previewBoldWholeAndSteady()
{
    QFETCH(QString, sample);
    QFETCH(int, size);
    TFontDialog reference;
    reference.SetSampleText(QStringLiteral("Gouda"));
    reference.show();
    QVERIFY(QTest::qWaitForWindowExposed(&reference));

    TFontDialog dialog;
    dialog.SetFontName(QStringLiteral("DejaVu Serif"));
    dialog.SetSampleText(sample);
    dialog.SetFontSize(size);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Only what the label uses: it draws every text bold, never italic.
    QVERIFY(dialog.findChildren<QCheckBox*>().isEmpty());
    QCOMPARE(dialog.width(), reference.width());
    const QLabel* preview = Child<QLabel>(dialog, "lblPreview");
    QVERIFY(preview->font().bold());
    const QFontMetrics metrics(preview->font());
    const QRect room = preview->contentsRect();
    QVERIFY2(metrics.horizontalAdvance(preview->text()) <= room.width() && metrics.height() <= room.height(),
             qPrintable(QString::number(preview->font().pointSize())));
    if (sample.size() < 50)
        QCOMPARE(preview->text(), sample.isEmpty() ? QStringLiteral("AaBbYyZz 123") : sample);
}

QTEST_MAIN(TestFontDialog)
#include "tst_font_dialog.moc"

#include "label/colors.h"

#include <QTest>

class TstColors : public QObject
{
    Q_OBJECT

private slots:
    void identifierTable_data();
    void identifierTable();
    void colorToStringWithoutIdentifier_data();
    void colorToStringWithoutIdentifier();
    void stringToColor_data();
    void stringToColor();
    void invalidColor_data();
    void invalidColor();
};

void TstColors::identifierTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("value");

    const QList<QPair<QString, uint>> table = {
        {"clBlack", 0x00000000}, {"clMaroon", 0x00000080}, {"clGreen", 0x00008000},
        {"clOlive", 0x00008080}, {"clNavy", 0x00800000}, {"clPurple", 0x00800080},
        {"clTeal", 0x00808000}, {"clGray", 0x00808080}, {"clSilver", 0x00C0C0C0},
        {"clRed", 0x000000FF}, {"clLime", 0x0000FF00}, {"clYellow", 0x0000FFFF},
        {"clBlue", 0x00FF0000}, {"clFuchsia", 0x00FF00FF}, {"clAqua", 0x00FFFF00},
        {"clWhite", 0x00FFFFFF}, {"clMoneyGreen", 0x00C0DCC0}, {"clSkyBlue", 0x00F0CAA6},
        {"clCream", 0x00F0FBFF}, {"clMedGray", 0x00A4A0A0}, {"clNone", 0x1FFFFFFF},
        {"clDefault", 0x20000000}, {"clScrollBar", 0xFF000000}, {"clBackground", 0xFF000001},
        {"clActiveCaption", 0xFF000002}, {"clInactiveCaption", 0xFF000003}, {"clMenu", 0xFF000004},
        {"clWindow", 0xFF000005}, {"clWindowFrame", 0xFF000006}, {"clMenuText", 0xFF000007},
        {"clWindowText", 0xFF000008}, {"clCaptionText", 0xFF000009}, {"clActiveBorder", 0xFF00000A},
        {"clInactiveBorder", 0xFF00000B}, {"clAppWorkSpace", 0xFF00000C}, {"clHighlight", 0xFF00000D},
        {"clHighlightText", 0xFF00000E}, {"clBtnFace", 0xFF00000F}, {"clBtnShadow", 0xFF000010},
        {"clGrayText", 0xFF000011}, {"clBtnText", 0xFF000012}, {"clInactiveCaptionText", 0xFF000013},
        {"clBtnHighlight", 0xFF000014}, {"cl3DDkShadow", 0xFF000015}, {"cl3DLight", 0xFF000016},
        {"clInfoText", 0xFF000017}, {"clInfoBk", 0xFF000018}, {"clHotLight", 0xFF00001A},
        {"clGradientActiveCaption", 0xFF00001B}, {"clGradientInactiveCaption", 0xFF00001C},
        {"clMenuHighlight", 0xFF00001D}, {"clMenuBar", 0xFF00001E},
    };
    QCOMPARE(table.size(), 52);
    for (const auto& [name, value] : table)
        QTest::newRow(qPrintable(name)) << name << value;
}

void TstColors::identifierTable()
{
    QFETCH(QString, name);
    QFETCH(uint, value);

    QCOMPARE(ColorToString(value), name);
    for (const QString& spelling : {name, name.toUpper(), name.toLower()}) {
        const TColorConversion conversion = StringToColor(spelling);
        QVERIFY2(conversion.Ok, qPrintable(spelling));
        QCOMPARE(conversion.Value, value);
        QVERIFY(conversion.Error.isEmpty());
    }
    // The hexadecimal form reads as the same colour.
    QCOMPARE(StringToColor(QStringLiteral("$%1").arg(value, 8, 16, QLatin1Char('0'))).Value, value);
}

void TstColors::colorToStringWithoutIdentifier_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("orange") << 0x000080FFu << "$000080FF";
    QTest::newRow("almost black") << 0x00000001u << "$00000001";
    QTest::newRow("lower-case hex digits become upper case") << 0x00ABCDEFu << "$00ABCDEF";
    QTest::newRow("unused system colour index 25") << 0xFF000019u << "$FF000019";
    QTest::newRow("all bits") << 0xFFFFFFFFu << "$FFFFFFFF";
    QTest::newRow("white with a top byte") << 0x01FFFFFFu << "$01FFFFFF";
}

void TstColors::colorToStringWithoutIdentifier()
{
    QFETCH(uint, value);
    QFETCH(QString, expected);
    QCOMPARE(ColorToString(value), expected);
    QCOMPARE(StringToColor(expected).Value, value);
}

void TstColors::stringToColor_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("expected");

    QTest::newRow("CLYELLOW") << "CLYELLOW" << 0x0000FFFFu;
    QTest::newRow("clyellow") << "clyellow" << 0x0000FFFFu;
    QTest::newRow("decimal 65535") << "65535" << 0x0000FFFFu;
    QTest::newRow("$0000FFFF") << "$0000FFFF" << 0x0000FFFFu;
    QTest::newRow("$FFFF") << "$FFFF" << 0x0000FFFFu;
    QTest::newRow("0xFFFF") << "0xFFFF" << 0x0000FFFFu;
    QTest::newRow("0XFFFF") << "0XFFFF" << 0x0000FFFFu;
    QTest::newRow("xffff") << "xffff" << 0x0000FFFFu;
    QTest::newRow("leading spaces") << "  65535" << 0x0000FFFFu;
    QTest::newRow("orange") << "$000080FF" << 0x000080FFu;
    QTest::newRow("system colour as pattern") << "$FF00000F" << 0xFF00000Fu;
    QTest::newRow("minus one is all bits") << "-1" << 0xFFFFFFFFu;
    QTest::newRow("zero") << "0" << 0u;
}

void TstColors::stringToColor()
{
    QFETCH(QString, text);
    QFETCH(uint, expected);
    const TColorConversion conversion = StringToColor(text);
    QVERIFY2(conversion.Ok, qPrintable(conversion.Error));
    QCOMPARE(conversion.Value, expected);
}

void TstColors::invalidColor_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << "";
    QTest::newRow("english colour word") << "yellow";
    QTest::newRow("identifier with a suffix") << "clYellowish";
    QTest::newRow("identifier with a blank") << "cl Yellow";
    QTest::newRow("html notation") << "#FFFF00";
    QTest::newRow("hex wider than 32 bits") << "$1FFFFFFFF";
    QTest::newRow("decimal above int32") << "4278190095";
    QTest::newRow("trailing garbage") << "65535;";
    QTest::newRow("percent placeholder") << "%1";
}

void TstColors::invalidColor()
{
    QFETCH(QString, text);
    const TColorConversion conversion = StringToColor(text);
    QVERIFY(!conversion.Ok);
    QCOMPARE(conversion.Error, QStringLiteral("''") + text + QStringLiteral("'' is not a valid integer value"));
    QCOMPARE(InvalidIntegerMessage(text), conversion.Error);
}

QTEST_GUILESS_MAIN(TstColors)
#include "tst_colors.moc"

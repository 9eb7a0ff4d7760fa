#include "label/ini_file.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool WriteAll(const QString& aPath, const QByteArray& aBytes)
{
    QFile file(aPath);
    return file.open(QIODevice::WriteOnly) && file.write(aBytes) == aBytes.size();
}

} // namespace

class TstIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void integerLiteral_data();
    void integerLiteral();
    void invalidIntegerLiteral_data();
    void invalidIntegerLiteral();

    void readValues_data();
    void readValues();
    void readIntegerAndBool_data();
    void readIntegerAndBool();

    void newFileIsUtf8WithLf();
    void unchangedFileKeepsItsBytes_data();
    void unchangedFileKeepsItsBytes();
    void writeInPlaceKeepsOtherLines();
    void writeAddsKeyAndSection_data();
    void writeAddsKeyAndSection();
    void duplicateKeysFirstWins();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void lineBreakInValueStaysOneLine();

    void windows1252Fallback();
    void windows1252WriteKeepsEncoding();
    void windows1252WriteSwitchesToUtf8WhenNeeded();

    void missingFile();
    void folderIsNoFile();
    void largeFile();
    void longLine();
    void binaryGarbage();

    void refusedWrite_data();
    void refusedWrite();
    void fileSizeLimitKeepsOldFile();

private:
    QString Path(const QString& aName) const { return FDir->filePath(aName); }

    std::unique_ptr<QTemporaryDir> FDir;
};

void TstIniFile::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
}

void TstIniFile::integerLiteral_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("decimal") << "40" << 40;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("plus sign") << "+12" << 12;
    QTest::newRow("minus sign") << "-12" << -12;
    QTest::newRow("leading spaces") << "   5" << 5;
    QTest::newRow("int32 maximum") << "2147483647" << 2147483647;
    QTest::newRow("int32 minimum") << "-2147483648" << int(INT32_MIN);
    QTest::newRow("dollar hex") << "$FFFF" << 0xFFFF;
    QTest::newRow("dollar hex lower case") << "$ffff" << 0xFFFF;
    QTest::newRow("x hex") << "xFF" << 255;
    QTest::newRow("X hex") << "XFF" << 255;
    QTest::newRow("0x hex") << "0xFF" << 255;
    QTest::newRow("0X hex") << "0XfF" << 255;
    QTest::newRow("hex needing all 32 bits") << "$FFFFFFFF" << -1;
    QTest::newRow("hex system colour pattern") << "$FF00000F" << int(0xFF00000Fu);
    QTest::newRow("hex with many leading zeros") << "$0000000000FF" << 255;
    QTest::newRow("negative hex") << "-$10" << -16;
    QTest::newRow("signed 0x hex after spaces") << "  +0x10" << 16;
}

void TstIniFile::integerLiteral()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    const std::optional<int32_t> value = ParseIntegerLiteral(text);
    QVERIFY2(value.has_value(), qPrintable(text));
    QCOMPARE(*value, expected);
}

void TstIniFile::invalidIntegerLiteral_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << "";
    QTest::newRow("only spaces") << "   ";
    QTest::newRow("word") << "abc";
    QTest::newRow("sign only") << "-";
    QTest::newRow("dollar only") << "$";
    QTest::newRow("0x only") << "0x";
    QTest::newRow("trailing space") << "12 ";
    QTest::newRow("trailing letters") << "12px";
    QTest::newRow("decimal point") << "1.5";
    QTest::newRow("space after sign") << "- 5";
    QTest::newRow("two signs") << "--5";
    QTest::newRow("leading tab") << "\t5";
    QTest::newRow("hex digit in decimal") << "1F";
    QTest::newRow("int32 maximum plus one") << "2147483648";
    QTest::newRow("int32 minimum minus one") << "-2147483649";
    QTest::newRow("uint32 maximum in decimal") << "4294967295";
    QTest::newRow("huge decimal") << "99999999999999999999999";
    QTest::newRow("hex wider than 32 bits") << "$100000000";
    QTest::newRow("double prefix") << "0x$FF";
    QTest::newRow("zero then x twice") << "00x1F";
    QTest::newRow("hash prefix") << "#FF";
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662");
}

void TstIniFile::invalidIntegerLiteral()
{
    QFETCH(QString, text);
    QVERIFY2(!ParseIntegerLiteral(text).has_value(), qPrintable(text));
}

void TstIniFile::readValues_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");  // "<default>" when the key must be missing

    const QByteArray plain = "[Name]\nText=Gouda\n";
    QTest::newRow("plain") << plain << "Name" << "Text" << "Gouda";
    QTest::newRow("section in other case") << plain << "NAME" << "Text" << "Gouda";
    QTest::newRow("key in other case") << plain << "Name" << "tEXT" << "Gouda";
    QTest::newRow("blanks around key and value")
        << QByteArray("  [ Name ]  \n\t Text \t=  Oude Gouda  \n") << "Name" << "Text" << "Oude Gouda";
    QTest::newRow("crlf line ends") << QByteArray("[Name]\r\nText=Gouda\r\n") << "Name" << "Text" << "Gouda";
    QTest::newRow("utf-8 byte-order mark") << QByteArray("\xEF\xBB\xBF[Name]\nText=Gouda\n")
                                           << "Name" << "Text" << "Gouda";
    QTest::newRow("utf-8 text") << QByteArray("[Name]\nText=Gruy\xC3\xA8re\n") << "Name" << "Text"
                                << QString::fromUtf8("Gruy\u00E8re");
    QTest::newRow("no line end at end of file") << QByteArray("[Name]\nText=Gouda") << "Name" << "Text" << "Gouda";
    QTest::newRow("empty value is empty, not the default") << QByteArray("[Name]\nText=\n") << "Name" << "Text" << "";
    QTest::newRow("value holding an equals sign") << QByteArray("[Name]\nText=a=b\n") << "Name" << "Text" << "a=b";
    QTest::newRow("double-quoted value") << QByteArray("[Name]\nText=\" Gouda \"\n") << "Name" << "Text" << " Gouda ";
    QTest::newRow("single-quoted value") << QByteArray("[Name]\nText='Gouda'\n") << "Name" << "Text" << "Gouda";
    QTest::newRow("lone quote kept") << QByteArray("[Name]\nText='t Kaasje\n") << "Name" << "Text" << "'t Kaasje";
    QTest::newRow("key in another section") << QByteArray("[Type]\nText=Gouda\n") << "Name" << "Text" << "<default>";
    QTest::newRow("key before the first section") << QByteArray("Text=Gouda\n[Name]\n") << "Name" << "Text" << "<default>";
    QTest::newRow("semicolon comment") << QByteArray("[Name]\n;Text=Gouda\n") << "Name" << "Text" << "<default>";
    QTest::newRow("hash comment") << QByteArray("[Name]\n# Text=Gouda\n") << "Name" << "Text" << "<default>";
    QTest::newRow("line without equals sign") << QByteArray("[Name]\nText\n") << "Name" << "Text" << "<default>";
    QTest::newRow("header without closing bracket")
        << QByteArray("[Name]\n[Type\nText=Gouda\n") << "Name" << "Text" << "Gouda";
    QTest::newRow("section given twice") << QByteArray("[Name]\nFontName=Arial\n[Type]\n[Name]\nText=Gouda\n")
                                         << "Name" << "Text" << "Gouda";
    QTest::newRow("old mac line ends are no line ends")
        << QByteArray("[Name]\rText=Gouda\r") << "Name" << "Text" << "<default>";
}

void TstIniFile::readValues()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    QVERIFY(WriteAll(Path("a.ini"), contents));
    const TIniFile ini(Path("a.ini"));
    QVERIFY(ini.Exists());
    QVERIFY(ini.ReadError().isEmpty());
    QCOMPARE(ini.ReadString(section, key, QStringLiteral("<default>")), expected);
    QCOMPARE(ini.HasKey(section, key), expected != QLatin1String("<default>"));
}

void TstIniFile::readIntegerAndBool_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("integer");  // read with default 40
    QTest::addColumn<bool>("boolTrueDefault");
    QTest::addColumn<bool>("boolFalseDefault");

    QTest::newRow("one") << QByteArray("1") << 1 << true << true;
    QTest::newRow("zero") << QByteArray("0") << 0 << false << false;
    QTest::newRow("two reads as true") << QByteArray("2") << 2 << true << true;
    QTest::newRow("minus one reads as true") << QByteArray("-1") << -1 << true << true;
    QTest::newRow("hex") << QByteArray("$28") << 40 << true << true;
    QTest::newRow("word takes the default") << QByteArray("true") << 40 << true << false;
    QTest::newRow("empty takes the default") << QByteArray("") << 40 << true << false;
    QTest::newRow("overflow takes the default") << QByteArray("2147483648") << 40 << true << false;
    QTest::newRow("blanks around the number") << QByteArray("  7  ") << 7 << true << true;
    QTest::newRow("quoted number") << QByteArray("\"7\"") << 7 << true << true;
}

void TstIniFile::readIntegerAndBool()
{
    QFETCH(QByteArray, value);
    QFETCH(int, integer);
    QFETCH(bool, boolTrueDefault);
    QFETCH(bool, boolFalseDefault);

    QVERIFY(WriteAll(Path("a.ini"), "[S]\nK=" + value + "\n"));
    const TIniFile ini(Path("a.ini"));
    QCOMPARE(ini.ReadInteger("S", "K", 40), integer);
    QCOMPARE(ini.ReadBool("S", "K", true), boolTrueDefault);
    QCOMPARE(ini.ReadBool("S", "K", false), boolFalseDefault);
    QCOMPARE(ini.ReadInteger("S", "Missing", 40), 40);
    QCOMPARE(ini.ReadBool("S", "Missing", true), true);
}

void TstIniFile::newFileIsUtf8WithLf()
{
    TIniFile ini(Path("new.ini"));
    QVERIFY(!ini.Exists());
    ini.WriteString("Name", "Text", QString::fromUtf8("Gruy\u00E8re"));
    ini.WriteInteger("Name", "FontSize", -40);
    ini.WriteBool("Back", "UseColor", true);
    ini.WriteBool("Back", "UsePng", false);
    QVERIFY(!QFile::exists(Path("new.ini")));  // nothing reaches the disk before Commit()
    QCOMPARE(ini.Commit(), QString());
    QCOMPARE(ReadAll(Path("new.ini")),
             QByteArray("[Name]\nText=Gruy\xC3\xA8re\nFontSize=-40\n\n[Back]\nUseColor=1\nUsePng=0\n"));
}

void TstIniFile::unchangedFileKeepsItsBytes_data()
{
    QTest::addColumn<QByteArray>("contents");

    QTest::newRow("lf") << QByteArray("; made by hand\n[Name]\nText = Gouda\n\n[Type]\nText=Jong\n");
    QTest::newRow("crlf") << QByteArray("[Name]\r\nText=Gouda\r\n[Type]\r\nText=Jong\r\n");
    QTest::newRow("mixed line ends") << QByteArray("[Name]\r\nText=Gouda\n[Type]\r\nText=Jong");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[Name]\nText=Gouda\n");
    QTest::newRow("windows-1252") << QByteArray("[Name]\r\nText=Gruy\xE8re \x80 \x81\r\n");
    QTest::newRow("trailing blanks and tabs") << QByteArray("[Name]  \n\tText=Gouda \t\n");
}

void TstIniFile::unchangedFileKeepsItsBytes()
{
    QFETCH(QByteArray, contents);
    QVERIFY(WriteAll(Path("a.ini"), contents));
    TIniFile ini(Path("a.ini"));
    // Writing the value already there changes nothing.
    ini.WriteString("Name", "Text", ini.ReadString("Name", "Text", QString()));
    QCOMPARE(ini.Contents(), contents);
    QCOMPARE(ini.Commit(), QString());
    QCOMPARE(ReadAll(Path("a.ini")), contents);
}

void TstIniFile::writeInPlaceKeepsOtherLines()
{
    const QByteArray before = "; label made by hand\r\n"
                              "[Name]\r\n"
                              "FontName = Arial\r\n"
                              "Extra=kept\r\n"
                              "  text\t= Gouda\r\n"
                              "; note\r\n"
                              "\r\n"
                              "[Ring1]\r\n"
                              "Use=1\r\n";
    QVERIFY(WriteAll(Path("a.ini"), before));
    TIniFile ini(Path("a.ini"));
    ini.WriteString("NAME", "Text", "Edam");
    ini.WriteString("Name", "FontName", "Verdana");
    ini.WriteBool("ring1", "USE", false);
    QCOMPARE(ini.Commit(), QString());
    // Key spelling and the spacing before the value are the user's and stay.
    QCOMPARE(ReadAll(Path("a.ini")), QByteArray("; label made by hand\r\n"
                                                 "[Name]\r\n"
                                                 "FontName = Verdana\r\n"
                                                 "Extra=kept\r\n"
                                                 "  text\t= Edam\r\n"
                                                 "; note\r\n"
                                                 "\r\n"
                                                 "[Ring1]\r\n"
                                                 "Use=0\r\n"));
}

void TstIniFile::writeAddsKeyAndSection_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("key at end of its section, before the blank line")
        << QByteArray("[Name]\nText=Gouda\n\n[Ring1]\nUse=1\n")
        << QByteArray("[Name]\nText=Gouda\nFontSize=40\n\n[Ring1]\nUse=1\nColor=clRed\n\n[Back]\nTrans=10\n");
    QTest::newRow("several blank lines stay below the added keys")
        << QByteArray("[Name]\nText=Gouda\n \n\t\n\n[Ring1]\nUse=1\n\n\n")
        << QByteArray("[Name]\nText=Gouda\nFontSize=40\n \n\t\n\n[Ring1]\nUse=1\nColor=clRed\n\n\n[Back]\nTrans=10\n");
    QTest::newRow("crlf file gets crlf lines")
        << QByteArray("[Name]\r\nText=Gouda\r\n[Ring1]\r\nUse=1\r\n")
        << QByteArray("[Name]\r\nText=Gouda\r\nFontSize=40\r\n[Ring1]\r\nUse=1\r\nColor=clRed\r\n\r\n"
                      "[Back]\r\nTrans=10\r\n");
    QTest::newRow("last line without line end")
        << QByteArray("[Ring1]\nUse=1")
        << QByteArray("[Ring1]\nUse=1\nColor=clRed\n\n[Name]\nFontSize=40\n\n[Back]\nTrans=10\n");
    QTest::newRow("section given twice: key goes to the first")
        << QByteArray("[Name]\nText=Gouda\n[Ring1]\nUse=1\n[Name]\nFontName=Arial\n")
        << QByteArray("[Name]\nText=Gouda\nFontSize=40\n[Ring1]\nUse=1\nColor=clRed\n[Name]\nFontName=Arial\n"
                      "\n[Back]\nTrans=10\n");
    QTest::newRow("empty file") << QByteArray()
        << QByteArray("[Name]\nFontSize=40\n\n[Ring1]\nColor=clRed\n\n[Back]\nTrans=10\n");
    QTest::newRow("comment before the first section")
        << QByteArray("; only a comment")
        << QByteArray("; only a comment\n\n[Name]\nFontSize=40\n\n[Ring1]\nColor=clRed\n\n[Back]\nTrans=10\n");
}

void TstIniFile::writeAddsKeyAndSection()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    QVERIFY(WriteAll(Path("a.ini"), before));
    TIniFile ini(Path("a.ini"));
    ini.WriteInteger("Name", "FontSize", 40);
    ini.WriteString("Ring1", "Color", "clRed");
    ini.WriteInteger("Back", "Trans", 10);
    QCOMPARE(ini.Contents(), after);
    QCOMPARE(ini.ReadInteger("Name", "FontSize", 0), 40);
    QCOMPARE(ini.ReadString("Ring1", "Color", QString()), QStringLiteral("clRed"));
    QCOMPARE(ini.ReadInteger("Back", "Trans", 0), 10);
    QCOMPARE(ini.Commit(), QString());
    QCOMPARE(ReadAll(Path("a.ini")), after);
}

void TstIniFile::duplicateKeysFirstWins()
{
    QVERIFY(WriteAll(Path("a.ini"), "[Name]\nText=first\ntext=second\n[Name]\nTEXT=third\n"));
    TIniFile ini(Path("a.ini"));
    QCOMPARE(ini.ReadString("Name", "Text", QString()), QStringLiteral("first"));
    ini.WriteString("Name", "Text", "new");
    QCOMPARE(ini.ReadString("Name", "Text", QString()), QStringLiteral("new"));
    QCOMPARE(ini.Contents(), QByteArray("[Name]\nText=new\ntext=second\n[Name]\nTEXT=third\n"));
}

void TstIniFile::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("empty") << "";
    QTest::newRow("leading blank") << " Gouda";
    QTest::newRow("trailing blank") << "Gouda ";
    QTest::newRow("only blanks") << "   ";
    QTest::newRow("double-quoted") << "\"Gouda\"";
    QTest::newRow("single-quoted") << "'Gouda'";
    QTest::newRow("single quote alone") << "\"";
    QTest::newRow("quote at one end") << "'t Kaasje";
    QTest::newRow("equals sign") << "a = b";
    QTest::newRow("looks like a comment") << "; not a comment";
    QTest::newRow("looks like a section") << "[Ring1]";
    QTest::newRow("windows path") << "C:\\Kaas\\foto's\\gouda.jpg";
    QTest::newRow("non-latin text") << QString::fromUtf8("\u0141\u00F3d\u017A \u20AC \U0001F9C0");
    QTest::newRow("percent signs") << "%1 %s 100%";
}

void TstIniFile::valuesRoundTrip()
{
    QFETCH(QString, value);
    {
        TIniFile ini(Path("a.ini"));
        ini.WriteString("Name", "Text", value);
        QCOMPARE(ini.Commit(), QString());
    }
    const TIniFile ini(Path("a.ini"));
    QCOMPARE(ini.ReadString("Name", "Text", QStringLiteral("<default>")), value);
}

void TstIniFile::lineBreakInValueStaysOneLine()
{
    TIniFile ini(Path("a.ini"));
    ini.WriteString("Name", "Text", "Gouda\n[Ring1]\r\nUse=0");
    QCOMPARE(ini.Commit(), QString());
    const TIniFile reread(Path("a.ini"));
    QCOMPARE(reread.ReadString("Name", "Text", QString()), QStringLiteral("Gouda [Ring1]  Use=0"));
    QVERIFY(!reread.HasKey("Ring1", "Use"));
}

void TstIniFile::windows1252Fallback()
{
    // 0xE8 è, 0x80 €, 0x96 en dash, 0x9F Ÿ; and a UTF-8 sequence cut off at the end.
    QVERIFY(WriteAll(Path("a.ini"), "[Name]\nText=Gruy\xE8re \x80\x96\x9F\n"));
    QVERIFY(WriteAll(Path("b.ini"), "[Name]\nText=Gruy\xC3"));
    const TIniFile a(Path("a.ini"));
    QCOMPARE(a.ReadString("Name", "Text", QString()), QString::fromUtf8("Gruy\u00E8re \u20AC\u2013\u0178"));
    const TIniFile b(Path("b.ini"));
    QCOMPARE(b.ReadString("Name", "Text", QString()), QString::fromUtf8("Gruy\u00C3"));
}

void TstIniFile::windows1252WriteKeepsEncoding()
{
    QVERIFY(WriteAll(Path("a.ini"), "[Name]\r\nText=Gruy\xE8re\r\n"));
    TIniFile ini(Path("a.ini"));
    ini.WriteString("Type", "Text", QString::fromUtf8("\u20AC 4,50"));
    QCOMPARE(ini.Commit(), QString());
    QCOMPARE(ReadAll(Path("a.ini")), QByteArray("[Name]\r\nText=Gruy\xE8re\r\n\r\n[Type]\r\nText=\x80 4,50\r\n"));
}

void TstIniFile::windows1252WriteSwitchesToUtf8WhenNeeded()
{
    QVERIFY(WriteAll(Path("a.ini"), "[Name]\nText=Gruy\xE8re\n"));
    TIniFile ini(Path("a.ini"));
    ini.WriteString("Type", "Text", QString::fromUtf8("\u0141\u00F3d\u017A"));
    QCOMPARE(ini.Commit(), QString());
    QCOMPARE(ReadAll(Path("a.ini")), QByteArray("[Name]\nText=Gruy\xC3\xA8re\n\n[Type]\nText=\xC5\x81\xC3\xB3" "d\xC5\xBA\n"));
}

void TstIniFile::missingFile()
{
    TIniFile ini(Path("missing.ini"));
    QVERIFY(!ini.Exists());
    QVERIFY(ini.ReadError().isEmpty());
    QCOMPARE(ini.ReadString("Name", "Text", "x"), QStringLiteral("x"));
    QCOMPARE(ini.ReadInteger("Name", "FontSize", 40), 40);
    QVERIFY(!QFile::exists(Path("missing.ini")));  // opening creates nothing
}

void TstIniFile::folderIsNoFile()
{
    QVERIFY(QDir(FDir->path()).mkdir("folder.ini"));
    TIniFile ini(Path("folder.ini"));
    QVERIFY(!ini.ReadError().isEmpty());
    QVERIFY2(ini.ReadError().contains(Path("folder.ini")), qPrintable(ini.ReadError()));
    QCOMPARE(ini.ReadInteger("Name", "FontSize", 40), 40);
    ini.WriteInteger("Name", "FontSize", 12);
    QCOMPARE(ini.Commit(), QStringLiteral("Unable to write to %1").arg(Path("folder.ini")));
    QVERIFY(QFileInfo(Path("folder.ini")).isDir());
}

void TstIniFile::largeFile()
{
    // About 10 MB of unknown keys with the wanted ones at the very end.
    QByteArray contents;
    contents.reserve(11 * 1024 * 1024);
    for (int i = 0; contents.size() < 10 * 1024 * 1024; ++i)
        contents += "[Junk" + QByteArray::number(i % 1000) + "]\nKey" + QByteArray::number(i) + "=some value\n";
    contents += "[Name]\nText=Gouda\n";
    QVERIFY(WriteAll(Path("big.ini"), contents));

    TIniFile ini(Path("big.ini"));
    QCOMPARE(ini.ReadString("Name", "Text", QString()), QStringLiteral("Gouda"));
    QCOMPARE(ini.ReadString("Junk7", "Key7", QString()), QStringLiteral("some value"));
    for (int i = 0; i < 50; ++i)
        ini.WriteInteger("Junk" + QString::number(i), "New", i);
    QCOMPARE(ini.Commit(), QString());
    const TIniFile reread(Path("big.ini"));
    QCOMPARE(reread.ReadInteger("Junk49", "New", -1), 49);
    QCOMPARE(reread.ReadString("Name", "Text", QString()), QStringLiteral("Gouda"));
}

void TstIniFile::longLine()
{
    const QByteArray value(1024 * 1024, 'k');
    QVERIFY(WriteAll(Path("a.ini"), "[Name]\nText=" + value + "\nFontSize=12\n" + value + "\n"));
    const TIniFile ini(Path("a.ini"));
    QCOMPARE(ini.ReadString("Name", "Text", QString()).size(), value.size());
    QCOMPARE(ini.ReadInteger("Name", "FontSize", 40), 12);
}

void TstIniFile::binaryGarbage()
{
    QByteArray garbage(256 * 1024, Qt::Uninitialized);
    QRandomGenerator random(20240312);
    for (char& c : garbage)
        c = static_cast<char>(random.bounded(256));
    QVERIFY(WriteAll(Path("garbage.lbl"), garbage));

    TIniFile ini(Path("garbage.lbl"));
    QVERIFY(ini.ReadError().isEmpty());
    QCOMPARE(ini.ReadInteger("Name", "FontSize", 40), 40);
    ini.WriteInteger("Name", "FontSize", 12);
    QCOMPARE(ini.Commit(), QString());
    // Whatever was there is kept byte for byte; the key is added after it.
    const QByteArray after = ReadAll(Path("garbage.lbl"));
    QVERIFY(after.startsWith(garbage));
    QCOMPARE(TIniFile(Path("garbage.lbl")).ReadInteger("Name", "FontSize", 40), 12);
}

void TstIniFile::refusedWrite_data()
{
    QTest::addColumn<QString>("target");  // relative to the temporary folder

    QTest::newRow("path under a regular file") << "plain.txt/label.lbl";
    QTest::newRow("target is a folder") << "folder.lbl";
    QTest::newRow("folder does not exist") << "no/such/folder/label.lbl";
}

void TstIniFile::refusedWrite()
{
    QFETCH(QString, target);
    QVERIFY(WriteAll(Path("plain.txt"), "old"));
    QVERIFY(QDir(FDir->path()).mkdir("folder.lbl"));
    const QStringList before = QDir(FDir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    TIniFile ini(Path(target));
    ini.WriteString("Name", "Text", "Gouda");
    QCOMPARE(ini.Commit(), QStringLiteral("Unable to write to %1").arg(Path(target)));
    QCOMPARE(ReadAll(Path("plain.txt")), QByteArray("old"));
    QVERIFY(QFileInfo(Path("folder.lbl")).isDir());
    QCOMPARE(QDir(FDir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void TstIniFile::fileSizeLimitKeepsOldFile()
{
    const QByteArray old = "[Name]\nText=old\n";
    QVERIFY(WriteAll(Path("a.lbl"), old));
    const QString path = Path("a.lbl");

    // The limit holds for root as well; it is set in a child so this process keeps writing.
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        TIniFile ini(path);
        ini.WriteString("Name", "Text", QString(8192, QLatin1Char('x')));
        const bool refused = ini.Commit() == QStringLiteral("Unable to write to %1").arg(path);
        _exit(refused ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status), "the writing process did not end normally");
    QVERIFY2(WEXITSTATUS(status) == 0, "the refused write was not reported");
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files), QStringList{"a.lbl"});
}

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_ini_file.moc"

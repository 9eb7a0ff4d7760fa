// The label model: integer and colour texts, the INI reader/writer and the
// label document on top of it.
#include "label/colors.h"
#include "label/ini_file.h"
#include "label/label_document.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& aPath, const QByteArray& aBytes)
{
    QFile file(aPath);
    return file.open(QIODevice::WriteOnly) && file.write(aBytes) == aBytes.size();
}

QStringList Entries(const QString& aDir)
{
    return QDir(aDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

// aText as UTF-16 in either byte order, with or without its byte-order mark.
QByteArray Utf16(const QString& aText, bool aBigEndian, bool aBom = true)
{
    QStringEncoder encoder(aBigEndian ? QStringEncoder::Utf16BE : QStringEncoder::Utf16LE,
                           aBom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    return encoder.encode(aText);
}

QByteArray Picture(const char* aFormat)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, aFormat);
    return bytes;
}

} // namespace

class TstLabelModel : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> FDir;

    QString Path(const QString& aName) const { return FDir->filePath(aName); }

    // The file aDoc writes from scratch; it holds every field, each under its own key.
    QByteArray Saved(const TLabelDocument& aDoc) const
    {
        QFile::remove(Path("saved.lbl"));
        return FileProblemText(aDoc.SaveToFile(Path("saved.lbl"))).isEmpty() ? ReadAll(Path("saved.lbl")) : QByteArray();
    }

    // A label with a value other than the default in every field; its two pictures
    // exist, and its texts need quoting or are not Latin.
    TLabelDocument FilledDocument() const
    {
        WriteAll(Path("photo.jpg"), "x");
        WriteAll(Path("middle.png"), "x");
        const QString texts[] = {" Gouda ", "\"Gouda\"", "'Gouda'", "\"", QStringLiteral("C:\\\u0141\u00F3d\u017A \U0001F9C0")};
        TLabelDocument doc;
        for (int tag = 1; tag <= 5; ++tag) {
            TLabelText& text = *doc.TextByTag(tag);
            text.Text = texts[tag - 1];
            text.FontName = QStringLiteral("Font %1").arg(tag);
            text.FontSize = 10 + tag;
            text.FontColor = 0x00010203u * static_cast<uint32_t>(tag);
        }
        doc.FLabelDate.FontColor = 0xFF000000;
        TLabelImage& back = doc.FLabelBg;
        back.FileName = Path("photo.jpg");
        back.PngFile = Path("middle.png");
        std::tie(back.Color, back.UseColor, back.UsePng, back.Effect, back.Trans) = std::tuple(0x000080FFu, false, true, 2, 40);
        std::tie(back.BgPosX, back.BgPosY, back.PngPosX, back.PngPosY, back.PngWidth) = std::tuple(17, -3, -120, 88, 46);
        const uint32_t ringColors[] = {0x000000FF, 0x00123456, 0xFF00000F, 0x0000FFFF};
        for (int tag = 1; tag <= 4; ++tag) {
            doc.RingByTag(tag)->Use = tag == 2;
            doc.RingByTag(tag)->Color = ringColors[tag - 1];
        }
        return doc;
    }

private slots:
    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
    }

    void integerAndColorTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("written");  // the colour text written for value; empty: not checked
        const auto valid = [](const char* aRow, const QString& aText, uint aValue, const char* aWritten = "") {
            QTest::newRow(aRow) << aText << true << aValue << QString::fromLatin1(aWritten);
        };
        const auto invalid = [](const char* aRow, const QString& aText) {
            QTest::newRow(aRow) << aText << false << 0u << QString();
        };

        // One identifier of each kind and those at the edges of the gap in the system colours.
        const std::pair<const char*, uint> identifiers[] = {
            {"clBlack", 0x00000000}, {"clMaroon", 0x00000080}, {"clYellow", 0x0000FFFF}, {"clSkyBlue", 0x00F0CAA6},
            {"clMoneyGreen", 0x00C0DCC0}, {"clNone", 0x1FFFFFFF}, {"clDefault", 0x20000000},
            {"clScrollBar", 0xFF000000}, {"clBtnFace", 0xFF00000F}, {"clInfoBk", 0xFF000018},
            {"clHotLight", 0xFF00001A}, {"clMenuBar", 0xFF00001E}};
        for (const auto& [name, value] : identifiers)
            valid(name, name, value, name);

        valid("leading zeros are decimal, not octal", "007", 7);
        valid("sign after leading spaces", "  -12", uint(-12));
        valid("int32 maximum", "2147483647", 0x7FFFFFFF);
        valid("int32 minimum", "-2147483648", 0x80000000);
        valid("decimal 65535", "65535", 0xFFFF, "clYellow");
        valid("$FFFF", "$FFFF", 0xFFFF, "clYellow");
        valid("0xFFFF", "0xFFFF", 0xFFFF, "clYellow");
        valid("plus sign, bare x hex", "+xFF", 0xFF);
        valid("hex bit pattern needing all 32 bits", "$FFFFFFFF", 0xFFFFFFFF, "$FFFFFFFF");
        valid("$000080FF has no identifier", "$000080FF", 0x000080FF, "$000080FF");
        valid("written zero-padded in upper case", "$abcde", 0x000ABCDE, "$000ABCDE");
        invalid("prefix without digits", "$");
        invalid("leading tab", "\t5");
        invalid("trailing blank", "12 ");
        invalid("hex digit in decimal", "1F");
        invalid("int32 maximum plus one", "2147483648");
        invalid("int32 minimum minus one", "-2147483649");
        invalid("decimal overflowing 64 bits", "99999999999999999999999");
        invalid("hex wider than 32 bits", "$100000000");
        invalid("digits of another script", QString::fromUtf8("\u0661\u0662"));
        invalid("identifier with a suffix", "clYellowish");
        invalid("percent placeholder stays in the message", "%1");
    }

    void integerAndColorTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(uint, value);
        QFETCH(QString, written);
        for (const QString& spelling : {text, text.toUpper(), text.toLower()}) {
            const TColorConversion conversion = StringToColor(spelling);
            QVERIFY2(conversion.Ok == valid, qPrintable(spelling));
            if (valid)
                QCOMPARE(conversion.Value, value);
        }
        if (!valid)
            QCOMPARE(StringToColor(text).Error, "''" + text + "'' is not a valid integer value");
        if (!written.isEmpty())
            QCOMPARE(ColorToString(value), written);
    }

    void readIntegerAndBool_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("integer");   // read with default 40
        QTest::addColumn<bool>("boolean");  // read with default false; with default true, only a number gives false

        QTest::newRow("zero is false") << QByteArray("0") << 0 << false;
        QTest::newRow("two is true") << QByteArray("2") << 2 << true;
        QTest::newRow("quoted, blanks around") << QByteArray("  \"7\"  ") << 7 << true;
        QTest::newRow("word takes the default") << QByteArray("true") << 40 << false;
    }

    void readIntegerAndBool()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, integer);
        QFETCH(bool, boolean);
        QVERIFY(WriteAll(Path("a.ini"), "[S]\nK=" + value + "\n"));
        const TIniFile ini(Path("a.ini"));
        QCOMPARE(ini.ReadInteger("S", "K", 40), integer);
        QCOMPARE(ini.ReadBool("S", "K", false), boolean);
        QCOMPARE(ini.ReadBool("S", "K", true), boolean || integer == 40);
    }

    void readValues_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("expected");  // "<default>" when the key must be missing

        QTest::newRow("blanks around header, key and value")
            << QByteArray("  [ nAME ]  \n\t TEXT \t=  Oude Gouda \t\n") << "Oude Gouda";
        QTest::newRow("byte-order mark, mixed line ends")
            << QByteArray("\xEF\xBB\xBF[Name]\r\nText=Gouda\n[Type]\r\n") << "Gouda";
        QTest::newRow("windows-1252, undefined byte kept") << QByteArray("[Name]\r\nText=Gruy\xE8re \x80\x96\x81\r\n")
                                                           << QString::fromUtf8("Gruy\u00E8re \u20AC\u2013\u0081");
        QTest::newRow("utf-8 with one windows-1252 line, each line read in its own")
            << QByteArray("; caf\xE9\n[Name]\nText=Gruy\xC3\xA8re\n") << QString::fromUtf8("Gruy\u00E8re");
        QTest::newRow("utf-16 le with byte-order mark")
            << Utf16(QString::fromUtf8("[Name]\r\nText=Gruy\u00E8re \u20AC\r\n"), false) << QString::fromUtf8("Gruy\u00E8re \u20AC");
        QTest::newRow("utf-16 be with byte-order mark")
            << Utf16(QString::fromUtf8("[Name]\nText=\u0141\u00F3d\u017A \U0001F9C0"), true)
            << QString::fromUtf8("\u0141\u00F3d\u017A \U0001F9C0");
        QTest::newRow("cr-only line ends") << QByteArray("[Type]\rText=Edam\r[Name]\rText=Gouda\r") << "Gouda";
        QTest::newRow("utf-8 sequence cut off at the end is windows-1252")
            << QByteArray("[Name]\nText=Gruy\xC3") << QString::fromUtf8("Gruy\u00C3");
        QTest::newRow("empty value is empty, not the default") << QByteArray("[Name]\nText=\n") << "";
        QTest::newRow("value holding an equals sign") << QByteArray("[Name]\nText=a=b\n") << "a=b";
        QTest::newRow("quotes keep blanks") << QByteArray("[Name]\nText=\" Gouda \"\n") << " Gouda ";
        QTest::newRow("lone quote kept") << QByteArray("[Name]\nText='t Kaasje\n") << "'t Kaasje";
        QTest::newRow("key in another section") << QByteArray("[Type]\nText=Gouda\n") << "<default>";
        QTest::newRow("header without closing bracket") << QByteArray("[Name]\n[Type\nText=Gouda\n") << "Gouda";
        QTest::newRow("section given twice") << QByteArray("[Name]\n[Type]\n[Name]\nText=Gouda\n") << "Gouda";
    }

    void readValues()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, expected);
        QVERIFY(WriteAll(Path("a.ini"), contents));
        TIniFile ini(Path("a.ini"));
        QVERIFY(ini.Exists() && ini.ReadError().isEmpty());
        QCOMPARE(ini.ReadString("Name", "Text", "<default>"), expected);
        QCOMPARE(ini.HasKey("Name", "Text"), expected != "<default>");
        if (ini.HasKey("Name", "Text")) {
            // Writing back the value read changes no byte: encoding, line ends and blanks stay.
            ini.WriteString("Name", "Text", expected);
            QCOMPARE(ini.Contents(), contents);
        }
    }

    void writeAddsKeyAndSection_data()
    {
        QTest::addColumn<QByteArray>("before");  // empty: no file yet
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("new file")
            << QByteArray() << QByteArray("[Name]\nFontSize=40\n\n[Ring1]\nColor=clRed\n\n[Back]\nTrans=10\n");
        QTest::newRow("keys go above a section's blank lines")
            << QByteArray("[Name]\nText=Gouda\n \n\t\n\n[Ring1]\nUse=1\n\n\n")
            << QByteArray("[Name]\nText=Gouda\nFontSize=40\n \n\t\n\n[Ring1]\nUse=1\nColor=clRed\n\n\n[Back]\nTrans=10\n");
        QTest::newRow("crlf file gets crlf lines")
            << QByteArray("[Name]\r\nText=Gouda\r\n[Ring1]\r\nUse=1\r\n")
            << QByteArray("[Name]\r\nText=Gouda\r\nFontSize=40\r\n[Ring1]\r\nUse=1\r\nColor=clRed\r\n\r\n[Back]\r\nTrans=10\r\n");
        QTest::newRow("last line without line end")
            << QByteArray("[Ring1]\nUse=1")
            << QByteArray("[Ring1]\nUse=1\nColor=clRed\n\n[Name]\nFontSize=40\n\n[Back]\nTrans=10\n");
        QTest::newRow("only a comment without line end")
            << QByteArray("; by hand") << QByteArray("; by hand\n\n[Name]\nFontSize=40\n\n[Ring1]\nColor=clRed\n\n[Back]\nTrans=10\n");
        QTest::newRow("duplicate keys: the first is read and written")
            << QByteArray("[Name]\nFontSize=1\nfontsize=2\n[Name]\nFONTSIZE=3\n")
            << QByteArray("[Name]\nFontSize=40\nfontsize=2\n[Name]\nFONTSIZE=3\n\n[Ring1]\nColor=clRed\n\n[Back]\nTrans=10\n");
        QTest::newRow("utf-16 file gets utf-16 lines")
            << Utf16("[Name]\r\nText=Gouda\r\n", true)
            << Utf16("[Name]\r\nText=Gouda\r\nFontSize=40\r\n\r\n[Ring1]\r\nColor=clRed\r\n\r\n[Back]\r\nTrans=10\r\n", true);
        QTest::newRow("cr-only file gets cr-only lines")
            << QByteArray("[Name]\rText=Gouda\r")
            << QByteArray("[Name]\rText=Gouda\rFontSize=40\r\r[Ring1]\rColor=clRed\r\r[Back]\rTrans=10\r");
        QTest::newRow("utf-8 file keeps its windows-1252 line")
            << QByteArray("; caf\xE9\n[Name]\nText=Gruy\xC3\xA8re\n")
            << QByteArray("; caf\xE9\n[Name]\nText=Gruy\xC3\xA8re\nFontSize=40\n\n[Ring1]\nColor=clRed\n\n[Back]\nTrans=10\n");
        QTest::newRow("section given twice: key goes to the first")
            << QByteArray("[Name]\nText=Gouda\n[Ring1]\n[Name]\nFontName=Arial\n")
            << QByteArray("[Name]\nText=Gouda\nFontSize=40\n[Ring1]\nColor=clRed\n[Name]\nFontName=Arial\n\n[Back]\nTrans=10\n");
    }

    void writeAddsKeyAndSection()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        if (!before.isEmpty())
            QVERIFY(WriteAll(Path("a.ini"), before));
        TIniFile ini(Path("a.ini"));
        ini.WriteInteger("Name", "FontSize", 40);
        ini.WriteString("Ring1", "Color", "clRed");
        ini.WriteInteger("Back", "Trans", 10);
        QCOMPARE(ini.ReadInteger("Name", "FontSize", 0), 40);
        QCOMPARE(QFile::exists(Path("a.ini")), !before.isEmpty());  // nothing reaches the disk before Commit()
        QCOMPARE(FileProblemText(ini.Commit()), QString());
        QCOMPARE(ReadAll(Path("a.ini")), after);
    }

    void lineBreakInValueStaysOneLine()
    {
        TIniFile ini(Path("a.ini"));
        ini.WriteString("Name", "Text", "Gouda\n[Ring1]\r\nUse=0");
        QCOMPARE(FileProblemText(ini.Commit()), QString());
        const TIniFile reread(Path("a.ini"));
        QCOMPARE(reread.ReadString("Name", "Text", QString()), QStringLiteral("Gouda [Ring1]  Use=0"));
        QVERIFY(!reread.HasKey("Ring1", "Use"));
    }

    void windows1252BecomesUtf8WhenACharacterDoesNotFit()
    {
        QVERIFY(WriteAll(Path("a.ini"), "[Name]\nText=Gruy\xE8re\n"));
        TIniFile ini(Path("a.ini"));
        ini.WriteString("Type", "Text", QString::fromUtf8("\u0141\u00F3d\u017A"));
        QCOMPARE(FileProblemText(ini.Commit()), QString());
        QCOMPARE(ReadAll(Path("a.ini")), QByteArray("[Name]\nText=Gruy\xC3\xA8re\n\n[Type]\nText=\xC5\x81\xC3\xB3" "d\xC5\xBA\n"));
    }

    void awkwardFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("textSize");  // of Name/Text

        // Files are read up to 1 MB; these leave room for the key written.
        QByteArray big;
        for (int i = 0; big.size() < 1024 * 1024 - 64; ++i)
            big += "[Junk" + QByteArray::number(i % 1000) + "]\nKey" + QByteArray::number(i) + "=v\n";
        QTest::newRow("1 MB, wanted key at the end") << big + "[Name]\nText=Gouda\n" << 5;
        const QByteArray line(1024 * 1024 - 64, 'k');
        QTest::newRow("one line of nearly 1 MB") << "[Name]\nText=" + line + "\n" << int(line.size());
        QByteArray garbage(256 * 1024, Qt::Uninitialized);
        QRandomGenerator(20240312).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        garbage.replace('\0', 'x');  // NUL bytes would make it binary data, not text
        QTest::newRow("garbage bytes") << garbage << 0;
    }

    void awkwardFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, textSize);
        QVERIFY(WriteAll(Path("a.lbl"), contents));
        TIniFile ini(Path("a.lbl"));
        QVERIFY(ini.ReadError().isEmpty());
        QCOMPARE(ini.ReadString("Name", "Text", QString()).size(), textSize);
        ini.WriteInteger("Name", "FontSize", 12);
        QCOMPARE(FileProblemText(ini.Commit()), QString());
        // Whatever was there is kept byte for byte; the key is added after it.
        QVERIFY(ReadAll(Path("a.lbl")).startsWith(contents));
        QCOMPARE(TIniFile(Path("a.lbl")).ReadInteger("Name", "FontSize", 40), 12);
    }

    void refusedAndWarnedFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("refusal");  // what follows "Unable to read <file>: "; empty: read
        QTest::addColumn<bool>("warning");     // holds none of the label's sections

        const QString notALabel = QStringLiteral("not a label file");
        for (const char* format : {"jpg", "png", "bmp", "tiff", "webp"})
            QTest::addRow("%s picture", format) << Picture(format) << notALabel << false;
        QTest::newRow("gif picture") << QByteArray::fromHex("47494638396101000100800000ffffff00000021f904010000000"
                                                            "02c00000000010001000002024401003b") << notALabel << false;
        QTest::newRow("text holding a NUL byte") << QByteArray("[Name]\nText=Gou\0da\n", 19) << notALabel << false;
        QTest::newRow("utf-16 without byte-order mark") << Utf16("[Name]\nText=Gouda\n", false, false) << notALabel << false;
        QTest::newRow("over 1 MB") << "[Name]\nText=" + QByteArray(1024 * 1024, 'k') << "too large to be a label file" << false;
        QTest::newRow("text without the label's sections")
            << QByteArray("Gouda, 48+ belegen\n[Kaas]\nText=Gouda\n") << QString() << true;
        QTest::newRow("empty file") << QByteArray() << QString() << true;
        QTest::newRow("one of the label's sections") << QByteArray("[ring3]\nUse=0\n") << QString() << false;
    }

    void refusedAndWarnedFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, refusal);
        QFETCH(bool, warning);
        const QString path = Path("a.lbl");
        QVERIFY(WriteAll(path, contents));
        TLabelDocument doc = FilledDocument();
        const TLoadReport report = doc.LoadFromFile(path);
        QVERIFY(report.FileFound);
        QVERIFY2(refusal.isEmpty() ? FileProblemText(report.ReadError).isEmpty()
                                   : FileProblemText(report.ReadError).startsWith("Unable to read " + path + ": " + refusal),
                 qPrintable(FileProblemText(report.ReadError)));
        QCOMPARE(report.Ok(), refusal.isEmpty());
        QCOMPARE(report.Warnings.size(), warning ? 1 : 0);
        QCOMPARE(doc.FLabelName.FontSize, 40);  // every key its default
        if (!refusal.isEmpty()) {
            // Nothing is written over what is not a label.
            const QString error = FileProblemText(doc.SaveToFile(path));
            QVERIFY2(error.startsWith("Unable to write to " + path + ": " + refusal), qPrintable(error));
            QCOMPARE(ReadAll(path), contents);
        }
    }

    void writePastTheSizeLimitIsRefused()
    {
        // A file that could not be read again is not written.
        const QByteArray before = "[Name]\nText=" + QByteArray(TIniFile::MaxFileSize - 100, 'k') + "\n";
        QVERIFY(WriteAll(Path("a.lbl"), before));
        TIniFile ini(Path("a.lbl"));
        ini.WriteString("Type", "Text", QString(200, QLatin1Char('x')));
        QCOMPARE(FileProblemText(ini.Commit()), "Unable to write to " + Path("a.lbl") + ": too large to be a label file (over 1 MB)");
        QCOMPARE(ReadAll(Path("a.lbl")), before);
    }

    void firstStartDefaults()
    {
        // Whatever the elements held, a missing file leaves the defaults, and
        // saving them writes every default value.
        TLabelDocument doc = FilledDocument();
        const TLoadReport report = doc.LoadFromFile(Path("merovik.ini"));
        QVERIFY(!report.FileFound && report.Ok());
        QVERIFY(!QFile::exists(Path("merovik.ini")));
        QCOMPARE(FileProblemText(doc.SaveToFile(Path("a.lbl"))), QString());
        QByteArray expected;
        for (const char* text : {"Name", "Type", "Sub1", "Sub2", "Date"})
            expected += QByteArray("[") + text + "]\nFontName=Arial\nFontSize=40\nFontColor=0\nText=\n\n";
        expected += "[Back]\nFileName=\nUseColor=1\nColor=clYellow\nEffect=0\nTrans=0\nPngFile=\nUsePng=0\n"
                    "BgPosX=0\nBgPosY=0\nPngPosX=0\nPngPosY=0\nPngWidth=20\n";
        for (const char* ring : {"Ring1", "Ring2", "Ring3", "Ring4"})
            expected += QByteArray("\n[") + ring + "]\nUse=1\nColor=clBlack\n";
        QCOMPARE(ReadAll(Path("a.lbl")), expected);
    }

    void roundTripEveryKey()
    {
        const QByteArray written = Saved(FilledDocument());
        for (const char* line : {"\nColor=$000080FF\n", "\nColor=clBtnFace\n", "\nUse=0\n", "\nFontColor=-16777216\n"})
            QVERIFY2(written.contains(line), line);

        TLabelDocument loaded;
        const TLoadReport report = loaded.LoadFromFile(Path("saved.lbl"));
        QVERIFY2(report.FileFound && report.Ok(), qPrintable(LoadProblemTexts(report.Errors).join('\n') + FileProblemText(report.ReadError)));
        QCOMPARE(Saved(loaded), written);
    }

    void inPlaceUpdateKeepsHandEdits()
    {
        QVERIFY(QFile::copy(MEROVIK_TEST_DATA "/label_hand_edited.lbl", Path("a.lbl")));
        TLabelDocument doc;
        QVERIFY(doc.LoadFromFile(Path("a.lbl")).Ok());
        doc.FLabelName.Text = QStringLiteral("Jonge kaas");
        QCOMPARE(FileProblemText(doc.SaveToFile(Path("a.lbl"))), QString());
        // Comments, unknown keys and spelling stay; missing keys go at the end of their own section.
        const QByteArray saved = ReadAll(Path("a.lbl"));
        QVERIFY(saved.startsWith("; Kaaslabel voor de markt\n; bewerkt met de hand\n\n[name]\ntext = Jonge kaas\n"
                                 "fontsize=44\nNotitie=niet weggooien\nFontName=Arial\nFontColor=0\n\n[Onbekend]\n"
                                 "Sleutel=waarde\n\n[Back]\n# kleur van de achtergrond\nColor = clSkyBlue\n"));
        QVERIFY(saved.contains("\n[Ring1]\nColor=clRed\nUse=0\n"));
        TLabelDocument reloaded;
        QVERIFY(reloaded.LoadFromFile(Path("a.lbl")).Ok());
        QCOMPARE(Saved(reloaded), Saved(doc));
    }

    void unreadableColorTakesDefaultAndReadingGoesOn()
    {
        QCOMPARE(FileProblemText(FilledDocument().SaveToFile(Path("a.lbl"))), QString());
        TIniFile ini(Path("a.lbl"));
        ini.WriteString("Back", "Color", "orange");
        ini.WriteString("Ring2", "Color", "");
        QCOMPARE(FileProblemText(ini.Commit()), QString());

        TLabelDocument loaded;
        loaded.FLabelBg.Color = loaded.FLabelRing2.Color = 0x00ABCDEF;
        const TLoadReport report = loaded.LoadFromFile(Path("a.lbl"));
        // Each says where: section and key.
        QCOMPARE(LoadProblemTexts(report.Errors), QStringList({"[Back] Color: ''orange'' is not a valid integer value",
                                             "[Ring2] Color: '''' is not a valid integer value"}));
        TLabelDocument expected = FilledDocument();
        expected.FLabelBg.Color = 0x0000FFFF;
        expected.FLabelRing2.Color = 0;
        QCOMPARE(Saved(loaded), Saved(expected));
    }

    void pictureChecks_data()
    {
        QTest::addColumn<QString>("fileName");  // "<dir>" stands for the temporary folder
        QTest::addColumn<QString>("useColor");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<bool>("expectedUseColor");

        QTest::newRow("existing photo in use") << "<dir>/photo.jpg" << "0" << true << false;
        QTest::newRow("existing photo, colour chosen") << "<dir>/photo.jpg" << "1" << true << true;
        QTest::newRow("photo moved away") << "<dir>/gone.jpg" << "0" << false << true;
        QTest::newRow("folder instead of a photo") << "<dir>/folder" << "0" << false << true;
    }

    void pictureChecks()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, useColor);
        QFETCH(bool, kept);
        QFETCH(bool, expectedUseColor);
        QVERIFY(WriteAll(Path("photo.jpg"), "x"));
        QVERIFY(QDir(FDir->path()).mkdir("folder"));
        fileName.replace("<dir>", FDir->path());
        // The middle picture gets the same name, so both checks see the same case.
        QVERIFY(WriteAll(Path("a.lbl"), QStringLiteral("[Back]\nFileName=%1\nUseColor=%2\nPngFile=%1\nUsePng=1\n")
                                            .arg(fileName, useColor).toUtf8()));
        TLabelDocument doc;
        QVERIFY(doc.LoadFromFile(Path("a.lbl")).Ok());
        QCOMPARE(doc.FLabelBg.FileName, kept ? fileName : QString());
        QCOMPARE(doc.FLabelBg.UseColor, expectedUseColor);
        QCOMPARE(doc.FLabelBg.PngFile, kept ? fileName : QString());
        QCOMPARE(doc.FLabelBg.UsePng, kept);
    }

    void windows1252CrlfFixture()
    {
        QVERIFY(QFile::copy(MEROVIK_TEST_DATA "/label_windows1252.lbl", Path("a.lbl")));
        QFile::setPermissions(Path("a.lbl"), QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray original = ReadAll(Path("a.lbl"));
        QVERIFY2(original.contains("\r\n") && original.contains('\xE8'), "fixture lost its CRLF or its encoding");

        TLabelDocument doc;
        QVERIFY(doc.LoadFromFile(Path("a.lbl")).Ok());
        QCOMPARE(doc.FLabelSub2.Text, QString::fromUtf8("Prijs \u20AC 4,50"));
        // Every key is written back in place, so any value read wrongly shows;
        // only the pictures change, as their Windows paths name no file here.
        QCOMPARE(FileProblemText(doc.SaveToFile(Path("a.lbl"))), QString());
        QByteArray expected = original;
        expected.replace("FileName=C:\\Kaas\\achtergrond.jpg\r\nUseColor=0", "FileName=\r\nUseColor=1");
        expected.replace("PngFile=C:\\Kaas\\logo.png\r\nUsePng=1", "PngFile=\r\nUsePng=0");
        QCOMPARE(ReadAll(Path("a.lbl")), expected);
    }

    void unusablePath_data()
    {
        QTest::addColumn<QString>("target");  // both refusals hold for root too
        QTest::addColumn<bool>("readError");
        QTest::addColumn<QString>("reason");

        QTest::newRow("path under a regular file") << "old.lbl/new.lbl" << false << QString::fromLocal8Bit(strerror(ENOTDIR));
        QTest::newRow("a folder as the file") << "folder.lbl" << true << QStringLiteral("it is a folder");
    }

    void unusablePath()
    {
        QFETCH(QString, target);
        QFETCH(bool, readError);
        QFETCH(QString, reason);
        QVERIFY(WriteAll(Path("old.lbl"), "old"));
        QVERIFY(QDir(FDir->path()).mkdir("folder.lbl"));
        TLabelDocument doc = FilledDocument();
        const TLoadReport report = doc.LoadFromFile(Path(target));
        QCOMPARE(FileProblemText(report.ReadError).contains(Path(target)), readError);
        QVERIFY(report.Errors.isEmpty());
        QCOMPARE(doc.FLabelName.FontSize, 40);

        const QStringList before = Entries(FDir->path());
        QCOMPARE(FileProblemText(doc.SaveToFile(Path(target))), "Unable to write to " + Path(target) + ": " + reason);
        QCOMPARE(ReadAll(Path("old.lbl")), QByteArray("old"));
        QCOMPARE(Entries(FDir->path()), before);
        QVERIFY(Entries(Path("folder.lbl")).isEmpty());
    }

    void fileSizeLimitKeepsOldFile()
    {
        const QString path = Path("a.lbl");
        QVERIFY(WriteAll(path, "old"));
        // The limit holds for root as well; it is set in a child so this process keeps writing.
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1024, 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
            TLabelDocument doc;
            doc.FLabelName.Text = QString(8192, QLatin1Char('x'));
            _exit(FileProblemText(doc.SaveToFile(path)) == "Unable to write to " + path + ": " + strerror(EFBIG) ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the refused write was not reported");
        QCOMPARE(ReadAll(path), QByteArray("old"));
        QCOMPARE(Entries(FDir->path()), QStringList{"a.lbl"});
    }
};

QTEST_GUILESS_MAIN(TstLabelModel)
#include "tst_label_model.moc"

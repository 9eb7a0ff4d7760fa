#include "label/colors.h"
#include "label/ini_file.h"
#include "label/label_document.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

QString Fixture(const QString& aName)
{
    return QStringLiteral(MEROVIK_TEST_DATA "/") + aName;
}

// "Section/Key" of every key line, in file order.
QStringList KeyOrder(const QByteArray& aContents)
{
    QStringList keys;
    QString section;
    for (const QByteArray& line : aContents.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith(QLatin1Char('[')))
            section = text.mid(1, text.size() - 2);
        else if (text.contains(QLatin1Char('=')))
            keys.append(section + QLatin1Char('/') + text.left(text.indexOf(QLatin1Char('='))));
    }
    return keys;
}

void FillText(TLabelText& aText, int aSeed)
{
    aText.Text = QStringLiteral("Tekst %1 \u00E9\u20AC").arg(aSeed);
    aText.FontName = QStringLiteral("Font %1").arg(aSeed);
    aText.FontSize = 10 + aSeed;
    aText.FontColor = 0x00010203u * static_cast<uint32_t>(aSeed);
}

void CompareText(const TLabelText& aActual, const TLabelText& aExpected)
{
    QCOMPARE(aActual.Id, aExpected.Id);
    QCOMPARE(aActual.Text, aExpected.Text);
    QCOMPARE(aActual.FontName, aExpected.FontName);
    QCOMPARE(aActual.FontSize, aExpected.FontSize);
    QCOMPARE(aActual.FontColor, aExpected.FontColor);
}

void CompareImage(const TLabelImage& aActual, const TLabelImage& aExpected)
{
    QCOMPARE(aActual.FileName, aExpected.FileName);
    QCOMPARE(aActual.Color, aExpected.Color);
    QCOMPARE(aActual.UseColor, aExpected.UseColor);
    QCOMPARE(aActual.Effect, aExpected.Effect);
    QCOMPARE(aActual.Trans, aExpected.Trans);
    QCOMPARE(aActual.PngFile, aExpected.PngFile);
    QCOMPARE(aActual.UsePng, aExpected.UsePng);
    QCOMPARE(aActual.BgPosX, aExpected.BgPosX);
    QCOMPARE(aActual.BgPosY, aExpected.BgPosY);
    QCOMPARE(aActual.PngPosX, aExpected.PngPosX);
    QCOMPARE(aActual.PngPosY, aExpected.PngPosY);
    QCOMPARE(aActual.PngWidth, aExpected.PngWidth);
}

void CompareRing(const TLabelItem& aActual, const TLabelItem& aExpected)
{
    QCOMPARE(aActual.Id, aExpected.Id);
    QCOMPARE(aActual.Use, aExpected.Use);
    QCOMPARE(aActual.Color, aExpected.Color);
}

void CompareDocuments(const TLabelDocument& aActual, const TLabelDocument& aExpected)
{
    CompareText(aActual.FLabelName, aExpected.FLabelName);
    CompareText(aActual.FLabelType, aExpected.FLabelType);
    CompareText(aActual.FLabelSub1, aExpected.FLabelSub1);
    CompareText(aActual.FLabelSub2, aExpected.FLabelSub2);
    CompareText(aActual.FLabelDate, aExpected.FLabelDate);
    CompareImage(aActual.FLabelBg, aExpected.FLabelBg);
    CompareRing(aActual.FLabelRing1, aExpected.FLabelRing1);
    CompareRing(aActual.FLabelRing2, aExpected.FLabelRing2);
    CompareRing(aActual.FLabelRing3, aExpected.FLabelRing3);
    CompareRing(aActual.FLabelRing4, aExpected.FLabelRing4);
}

} // namespace

class TstLabelDocument : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void newElementsAreEmpty();
    void firstStartDefaults();
    void roundTripEveryKey();
    void newFileOrder();
    void writtenValueForms_data();
    void writtenValueForms();
    void inPlaceUpdateKeepsHandEdits();
    void unreadableColorTakesDefaultAndReadingGoesOn();
    void pictureOffsetsDefaultToCentre();
    void pictureChecks_data();
    void pictureChecks();
    void valueEdgeCases_data();
    void valueEdgeCases();
    void windows1252CrlfFile();
    void folderAsLabelFile();
    void refusedSaveKeepsOldFile_data();
    void refusedSaveKeepsOldFile();
    void elementsByTag();

private:
    QString Path(const QString& aName) const { return FDir->filePath(aName); }
    // A label with a value other than the default in every field.
    TLabelDocument FilledDocument() const;

    std::unique_ptr<QTemporaryDir> FDir;
};

void TstLabelDocument::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
}

TLabelDocument TstLabelDocument::FilledDocument() const
{
    TLabelDocument doc;
    FillText(doc.FLabelName, 1);
    FillText(doc.FLabelType, 2);
    FillText(doc.FLabelSub1, 3);
    FillText(doc.FLabelSub2, 4);
    FillText(doc.FLabelDate, 5);
    doc.FLabelBg.FileName = Path("photo.jpg");
    doc.FLabelBg.Color = 0x000080FF;
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.Effect = 2;
    doc.FLabelBg.Trans = 40;
    doc.FLabelBg.PngFile = Path("middle.png");
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.BgPosX = 17;
    doc.FLabelBg.BgPosY = -3;
    doc.FLabelBg.PngPosX = -120;
    doc.FLabelBg.PngPosY = 88;
    doc.FLabelBg.PngWidth = 46;
    doc.FLabelRing1.Use = false;
    doc.FLabelRing1.Color = 0x000000FF;
    doc.FLabelRing2.Use = true;
    doc.FLabelRing2.Color = 0x00123456;
    doc.FLabelRing3.Use = false;
    doc.FLabelRing3.Color = 0xFF00000F;
    doc.FLabelRing4.Use = false;
    doc.FLabelRing4.Color = 0x0000FFFF;
    return doc;
}

void TstLabelDocument::newElementsAreEmpty()
{
    const TLabelText text(QStringLiteral("Name"));
    QCOMPARE(text.Id, QStringLiteral("Name"));
    QVERIFY(text.Text.isEmpty() && text.FontName.isEmpty());
    QCOMPARE(text.FontSize, 0);
    QCOMPARE(text.FontColor, 0u);

    const TLabelImage image(QStringLiteral("Back"));
    QVERIFY(image.FileName.isEmpty() && image.PngFile.isEmpty());
    QVERIFY(!image.UseColor && !image.UsePng);
    QCOMPARE(image.Color, 0u);
    QCOMPARE(image.Effect + image.Trans + image.BgPosX + image.BgPosY + image.PngPosX + image.PngPosY
                 + image.PngWidth, 0);

    const TLabelItem ring(QStringLiteral("Ring1"));
    QVERIFY(!ring.Use);
    QCOMPARE(ring.Color, 0u);
}

void TstLabelDocument::firstStartDefaults()
{
    // Whatever the elements held before, a missing file leaves only defaults.
    TLabelDocument doc = FilledDocument();
    const TLoadReport report = doc.LoadFromFile(Path("merovik.ini"));
    QVERIFY(!report.FileFound);
    QVERIFY(report.Ok());
    QVERIFY(!QFile::exists(Path("merovik.ini")));

    for (int tag = 1; tag <= 5; ++tag) {
        const TLabelText* text = doc.TextByTag(tag);
        QVERIFY(text->Text.isEmpty());
        QCOMPARE(text->FontName, QStringLiteral("Arial"));
        QCOMPARE(text->FontSize, 40);
        QCOMPARE(text->FontColor, 0u);
    }
    const TLabelImage& back = doc.FLabelBg;
    QVERIFY(back.FileName.isEmpty());
    QVERIFY(back.UseColor);
    QCOMPARE(back.Color, ColorYellow);
    QCOMPARE(back.Effect, 0);
    QCOMPARE(back.Trans, 0);
    QVERIFY(back.PngFile.isEmpty());
    QVERIFY(!back.UsePng);
    QCOMPARE(back.BgPosX, 0);
    QCOMPARE(back.BgPosY, 0);
    QCOMPARE(back.PngPosX, 0);
    QCOMPARE(back.PngPosY, 0);
    QCOMPARE(back.PngWidth, 20);
    for (int tag = 1; tag <= 4; ++tag) {
        QVERIFY(doc.RingByTag(tag)->Use);
        QCOMPARE(doc.RingByTag(tag)->Color, ColorBlack);
    }
}

void TstLabelDocument::roundTripEveryKey()
{
    QVERIFY(WriteAll(Path("photo.jpg"), "not decoded while reading"));
    QVERIFY(WriteAll(Path("middle.png"), "not decoded while reading"));
    const TLabelDocument saved = FilledDocument();
    QCOMPARE(saved.SaveToFile(Path("a.lbl")), QString());

    TLabelDocument loaded;
    const TLoadReport report = loaded.LoadFromFile(Path("a.lbl"));
    QVERIFY(report.FileFound);
    QVERIFY2(report.Ok(), qPrintable(report.Errors.join('\n') + report.ReadError));
    CompareDocuments(loaded, saved);

    // write, read, write: the same bytes, and saving over it changes nothing.
    QCOMPARE(loaded.SaveToFile(Path("b.lbl")), QString());
    QCOMPARE(ReadAll(Path("b.lbl")), ReadAll(Path("a.lbl")));
    const QByteArray before = ReadAll(Path("a.lbl"));
    QCOMPARE(loaded.SaveToFile(Path("a.lbl")), QString());
    QCOMPARE(ReadAll(Path("a.lbl")), before);
}

void TstLabelDocument::newFileOrder()
{
    QCOMPARE(TLabelDocument().SaveToFile(Path("a.lbl")), QString());
    QStringList expected;
    for (const char* text : {"Name", "Type", "Sub1", "Sub2", "Date"}) {
        for (const char* key : {"FontName", "FontSize", "FontColor", "Text"})
            expected << QStringLiteral("%1/%2").arg(text, key);
    }
    for (const char* key : {"FileName", "UseColor", "Color", "Effect", "Trans", "PngFile", "UsePng", "BgPosX",
                            "BgPosY", "PngPosX", "PngPosY", "PngWidth"})
        expected << QStringLiteral("Back/%1").arg(key);
    for (const char* ring : {"Ring1", "Ring2", "Ring3", "Ring4"}) {
        expected << QStringLiteral("%1/Use").arg(ring) << QStringLiteral("%1/Color").arg(ring);
    }
    const QByteArray contents = ReadAll(Path("a.lbl"));
    QCOMPARE(KeyOrder(contents), expected);
    QVERIFY(!contents.contains('\r'));
    QVERIFY(!contents.startsWith("\xEF\xBB\xBF"));
}

void TstLabelDocument::writtenValueForms_data()
{
    QTest::addColumn<uint>("fontColor");
    QTest::addColumn<uint>("ringColor");
    QTest::addColumn<bool>("use");
    QTest::addColumn<QString>("fontColorText");
    QTest::addColumn<QString>("ringColorText");
    QTest::addColumn<QString>("useText");

    QTest::newRow("black text, yellow ring, on") << 0x0u << 0x0000FFFFu << true << "0" << "clYellow" << "1";
    QTest::newRow("red text, orange ring, off") << 0xFFu << 0x000080FFu << false << "255" << "$000080FF" << "0";
    QTest::newRow("text colour with top byte, system ring colour")
        << 0xFF000000u << 0xFF00000Fu << true << "-16777216" << "clBtnFace" << "1";
}

void TstLabelDocument::writtenValueForms()
{
    QFETCH(uint, fontColor);
    QFETCH(uint, ringColor);
    QFETCH(bool, use);
    QFETCH(QString, fontColorText);
    QFETCH(QString, ringColorText);
    QFETCH(QString, useText);

    TLabelDocument doc;
    doc.FLabelType.FontColor = fontColor;
    doc.FLabelRing3.Color = ringColor;
    doc.FLabelRing3.Use = use;
    QCOMPARE(doc.SaveToFile(Path("a.lbl")), QString());

    const TIniFile ini(Path("a.lbl"));
    QCOMPARE(ini.ReadString("Type", "FontColor", QString()), fontColorText);
    QCOMPARE(ini.ReadString("Ring3", "Color", QString()), ringColorText);
    QCOMPARE(ini.ReadString("Ring3", "Use", QString()), useText);

    TLabelDocument loaded;
    QVERIFY(loaded.LoadFromFile(Path("a.lbl")).Ok());
    QCOMPARE(loaded.FLabelType.FontColor, fontColor);
    QCOMPARE(loaded.FLabelRing3.Color, ringColor);
    QCOMPARE(loaded.FLabelRing3.Use, use);
}

void TstLabelDocument::inPlaceUpdateKeepsHandEdits()
{
    QVERIFY(QFile::copy(Fixture("label_hand_edited.lbl"), Path("a.lbl")));
    const QByteArray original = ReadAll(Path("a.lbl"));

    TLabelDocument doc;
    QVERIFY(doc.LoadFromFile(Path("a.lbl")).Ok());
    QCOMPARE(doc.FLabelName.Text, QStringLiteral("Boerenkaas"));
    QCOMPARE(doc.FLabelName.FontSize, 44);
    QCOMPARE(doc.FLabelBg.Color, 0x00F0CAA6u);
    QVERIFY(!doc.FLabelRing1.Use);
    QCOMPARE(doc.FLabelRing1.Color, 0x000000FFu);

    doc.FLabelName.Text = QStringLiteral("Jonge kaas");
    QCOMPARE(doc.SaveToFile(Path("a.lbl")), QString());
    const QByteArray saved = ReadAll(Path("a.lbl"));

    // Every line of the hand-made file is still there and in its order, the
    // changed value in its own place; the lines between are added keys.
    QList<QByteArray> expected = original.split('\n');
    expected.replace(expected.indexOf("text = Boerenkaas"), "text = Jonge kaas");
    const QList<QByteArray> lines = saved.split('\n');
    qsizetype next = 0;
    QStringList added;
    for (const QByteArray& line : lines) {
        if (next < expected.size() && line == expected[next])
            ++next;
        else
            added << QString::fromUtf8(line);
    }
    QVERIFY2(next == expected.size(), qPrintable("lost: " + QString::fromUtf8(expected.value(next))));
    for (const QString& line : added)
        QVERIFY2(line.isEmpty() || line.startsWith('[') || line.contains('='), qPrintable(line));

    const TIniFile ini(Path("a.lbl"));
    QCOMPARE(ini.ReadString("Name", "Notitie", QString()), QStringLiteral("niet weggooien"));
    QCOMPARE(ini.ReadString("Onbekend", "Sleutel", QString()), QStringLiteral("waarde"));
    // Added keys land in their own section, not in the one that follows.
    QVERIFY(saved.indexOf("FontColor=0") < saved.indexOf("[Onbekend]"));

    TLabelDocument reloaded;
    QVERIFY(reloaded.LoadFromFile(Path("a.lbl")).Ok());
    CompareDocuments(reloaded, doc);
}

void TstLabelDocument::unreadableColorTakesDefaultAndReadingGoesOn()
{
    QVERIFY(WriteAll(Path("photo.jpg"), "x"));
    QVERIFY(WriteAll(Path("middle.png"), "x"));
    const TLabelDocument saved = FilledDocument();
    QCOMPARE(saved.SaveToFile(Path("a.lbl")), QString());
    {
        TIniFile ini(Path("a.lbl"));
        ini.WriteString("Back", "Color", "orange");
        ini.WriteString("Ring2", "Color", "");
        QCOMPARE(ini.Commit(), QString());
    }

    TLabelDocument loaded = FilledDocument();
    loaded.FLabelBg.Color = 0x00ABCDEF;
    loaded.FLabelRing2.Color = 0x00ABCDEF;
    const TLoadReport report = loaded.LoadFromFile(Path("a.lbl"));
    QVERIFY(!report.Ok());
    QCOMPARE(report.Errors, QStringList({QStringLiteral("''orange'' is not a valid integer value"),
                                         QStringLiteral("'''' is not a valid integer value")}));

    // The bad keys take their defaults; every other key of every element is read.
    TLabelDocument expected = FilledDocument();
    expected.FLabelBg.Color = ColorYellow;
    expected.FLabelRing2.Color = ColorBlack;
    CompareDocuments(loaded, expected);
}

void TstLabelDocument::pictureOffsetsDefaultToCentre()
{
    QVERIFY(WriteAll(Path("a.lbl"), "[Back]\nPngWidth=30\n"));
    TLabelDocument doc;
    doc.FLabelBg.PngPosX = 600;
    doc.FLabelBg.PngPosY = 600;
    QVERIFY(doc.LoadFromFile(Path("a.lbl")).Ok());
    QCOMPARE(doc.FLabelBg.PngPosX, 0);
    QCOMPARE(doc.FLabelBg.PngPosY, 0);
    QCOMPARE(doc.FLabelBg.PngWidth, 30);
}

void TstLabelDocument::pictureChecks_data()
{
    QTest::addColumn<QString>("fileName");  // "<dir>" stands for the temporary folder
    QTest::addColumn<QString>("useColor");
    QTest::addColumn<bool>("photoKept");
    QTest::addColumn<bool>("expectedUseColor");

    QTest::newRow("existing photo in use") << "<dir>/photo.jpg" << "0" << true << false;
    QTest::newRow("existing photo, colour chosen") << "<dir>/photo.jpg" << "1" << true << true;
    QTest::newRow("photo moved away") << "<dir>/gone.jpg" << "0" << false << true;
    QTest::newRow("photo background without a photo") << "" << "0" << false << true;
    QTest::newRow("folder instead of a photo") << "<dir>/folder" << "0" << false << true;
    QTest::newRow("folder with a trailing slash") << "<dir>/folder/" << "0" << false << true;
}

void TstLabelDocument::pictureChecks()
{
    QFETCH(QString, fileName);
    QFETCH(QString, useColor);
    QFETCH(bool, photoKept);
    QFETCH(bool, expectedUseColor);

    QVERIFY(WriteAll(Path("photo.jpg"), "x"));
    QVERIFY(QDir(FDir->path()).mkdir("folder"));
    fileName.replace("<dir>", FDir->path());
    // The middle picture gets the same name, so both checks see the same case.
    TIniFile ini(Path("a.lbl"));
    ini.WriteString("Back", "FileName", fileName);
    ini.WriteString("Back", "UseColor", useColor);
    ini.WriteString("Back", "PngFile", fileName);
    ini.WriteBool("Back", "UsePng", true);
    QCOMPARE(ini.Commit(), QString());

    TLabelDocument doc;
    QVERIFY(doc.LoadFromFile(Path("a.lbl")).Ok());
    QCOMPARE(doc.FLabelBg.FileName, photoKept ? fileName : QString());
    QCOMPARE(doc.FLabelBg.UseColor, expectedUseColor);
    QCOMPARE(doc.FLabelBg.PngFile, photoKept ? fileName : QString());
    QCOMPARE(doc.FLabelBg.UsePng, photoKept);
}

void TstLabelDocument::valueEdgeCases_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ring Use 2 reads as on") << QByteArray("[Ring2]\nUse=2\n") << "Ring2.Use" << "1";
    QTest::newRow("ring Use word takes default on") << QByteArray("[Ring2]\nUse=nee\n") << "Ring2.Use" << "1";
    QTest::newRow("UsePng word takes default off") << QByteArray("[Back]\nUsePng=ja\n") << "Back.UsePng" << "0";
    QTest::newRow("empty Text is empty") << QByteArray("[Name]\nText=\n") << "Name.Text" << "";
    QTest::newRow("empty FontSize is 40") << QByteArray("[Name]\nFontSize=\n") << "Name.FontSize" << "40";
    QTest::newRow("empty FontName is empty") << QByteArray("[Name]\nFontName=\n") << "Name.FontName" << "";
    QTest::newRow("FontSize overflow is 40") << QByteArray("[Date]\nFontSize=99999999999\n") << "Date.FontSize" << "40";
    QTest::newRow("hex FontColor") << QByteArray("[Sub1]\nFontColor=$FF\n") << "Sub1.FontColor" << "255";
    QTest::newRow("Effect 7 stored as is") << QByteArray("[Back]\nEffect=7\n") << "Back.Effect" << "7";
    QTest::newRow("Trans 150 stored as is") << QByteArray("[Back]\nTrans=150\n") << "Back.Trans" << "150";
    QTest::newRow("PngWidth 5 stored as is") << QByteArray("[Back]\nPngWidth=5\n") << "Back.PngWidth" << "5";
    QTest::newRow("negative offsets") << QByteArray("[Back]\npngposx = -600\n") << "Back.PngPosX" << "-600";
    QTest::newRow("colour in lower case") << QByteArray("[Ring4]\ncolor=clyellow\n") << "Ring4.Color" << "65535";
    QTest::newRow("colour as decimal") << QByteArray("[Back]\nColor=65535\n") << "Back.Color" << "65535";
    QTest::newRow("other section's key ignored") << QByteArray("[Ring1]\nColor=clRed\n") << "Ring2.Color" << "0";
}

void TstLabelDocument::valueEdgeCases()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    QVERIFY(WriteAll(Path("a.lbl"), contents));
    TLabelDocument doc;
    const TLoadReport report = doc.LoadFromFile(Path("a.lbl"));
    QVERIFY2(report.Ok(), qPrintable(report.Errors.join('\n')));
    const QHash<QString, QString> fields = {
        {"Ring2.Use", QString::number(doc.FLabelRing2.Use)},
        {"Ring2.Color", QString::number(doc.FLabelRing2.Color)},
        {"Ring4.Color", QString::number(doc.FLabelRing4.Color)},
        {"Back.UsePng", QString::number(doc.FLabelBg.UsePng)},
        {"Back.Effect", QString::number(doc.FLabelBg.Effect)},
        {"Back.Trans", QString::number(doc.FLabelBg.Trans)},
        {"Back.PngWidth", QString::number(doc.FLabelBg.PngWidth)},
        {"Back.PngPosX", QString::number(doc.FLabelBg.PngPosX)},
        {"Back.Color", QString::number(doc.FLabelBg.Color)},
        {"Name.Text", doc.FLabelName.Text},
        {"Name.FontSize", QString::number(doc.FLabelName.FontSize)},
        {"Name.FontName", doc.FLabelName.FontName},
        {"Date.FontSize", QString::number(doc.FLabelDate.FontSize)},
        {"Sub1.FontColor", QString::number(doc.FLabelSub1.FontColor)},
    };
    QVERIFY2(fields.contains(field), qPrintable(field));
    QCOMPARE(fields.value(field), expected);
}

void TstLabelDocument::windows1252CrlfFile()
{
    QVERIFY(QFile::copy(Fixture("label_windows1252.lbl"), Path("a.lbl")));
    QFile::setPermissions(Path("a.lbl"), QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray original = ReadAll(Path("a.lbl"));
    QVERIFY2(original.contains("\r\n") && original.contains('\xE8'), "fixture lost its CRLF or its encoding");

    TLabelDocument doc;
    const TLoadReport report = doc.LoadFromFile(Path("a.lbl"));
    QVERIFY(report.Ok());
    QCOMPARE(doc.FLabelName.Text, QString::fromUtf8("Gruy\u00E8re d'Alpage"));
    QCOMPARE(doc.FLabelName.FontName, QStringLiteral("Times New Roman"));
    QCOMPARE(doc.FLabelName.FontSize, 48);
    QCOMPARE(doc.FLabelName.FontColor, 128u);
    QCOMPARE(doc.FLabelType.Text, QString::fromUtf8("Belegen \u2013 48+"));
    QCOMPARE(doc.FLabelSub1.Text, QString::fromUtf8("Kaasboerderij \u00C6r\u00F8"));
    QCOMPARE(doc.FLabelSub2.Text, QString::fromUtf8("Prijs \u20AC 4,50"));
    QCOMPARE(doc.FLabelDate.FontColor, 0x00FF0000u);
    // The Windows paths name no file here: photo and middle picture are dropped.
    QVERIFY(doc.FLabelBg.FileName.isEmpty());
    QVERIFY(doc.FLabelBg.UseColor);
    QVERIFY(doc.FLabelBg.PngFile.isEmpty());
    QVERIFY(!doc.FLabelBg.UsePng);
    QCOMPARE(doc.FLabelBg.Color, 0x00F0FBFFu);
    QCOMPARE(doc.FLabelBg.Effect, 1);
    QCOMPARE(doc.FLabelBg.Trans, 30);
    QCOMPARE(doc.FLabelBg.BgPosX, 12);
    QCOMPARE(doc.FLabelBg.BgPosY, 34);
    QCOMPARE(doc.FLabelBg.PngPosX, -20);
    QCOMPARE(doc.FLabelBg.PngPosY, 40);
    QCOMPARE(doc.FLabelBg.PngWidth, 30);
    QCOMPARE(doc.FLabelRing1.Color, 0x000080FFu);
    QVERIFY(!doc.FLabelRing2.Use);
    QCOMPARE(doc.FLabelRing2.Color, 0x00800000u);
    QCOMPARE(doc.FLabelRing3.Color, 0x00C0DCC0u);
    QCOMPARE(doc.FLabelRing4.Color, 0x00123456u);

    // Saved back: still CRLF and Windows-1252, and only the dropped picture lines changed.
    QCOMPARE(doc.SaveToFile(Path("a.lbl")), QString());
    const QByteArray saved = ReadAll(Path("a.lbl"));
    QCOMPARE(saved.count("\r\n"), saved.count('\n'));
    QVERIFY(saved.contains("Text=Prijs \x80 4,50\r\n"));
    QByteArray expected = original;
    expected.replace("FileName=C:\\Kaas\\achtergrond.jpg\r\nUseColor=0", "FileName=\r\nUseColor=1");
    expected.replace("PngFile=C:\\Kaas\\logo.png\r\nUsePng=1", "PngFile=\r\nUsePng=0");
    QCOMPARE(saved, expected);
}

void TstLabelDocument::folderAsLabelFile()
{
    QVERIFY(QDir(FDir->path()).mkdir("folder.lbl"));
    TLabelDocument doc = FilledDocument();
    const TLoadReport report = doc.LoadFromFile(Path("folder.lbl"));
    QVERIFY(!report.ReadError.isEmpty());
    QVERIFY(!report.Ok());
    QVERIFY(report.Errors.isEmpty());
    QCOMPARE(doc.FLabelName.FontSize, 40);
    QCOMPARE(doc.FLabelBg.Color, ColorYellow);
}

void TstLabelDocument::refusedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");

    QTest::newRow("target is a folder") << "folder.lbl";
    QTest::newRow("path under a regular file") << "old.lbl/new.lbl";
}

void TstLabelDocument::refusedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    const QByteArray old = "[Name]\nText=oud\n";
    QVERIFY(WriteAll(Path("old.lbl"), old));
    QVERIFY(QDir(FDir->path()).mkdir("folder.lbl"));

    QCOMPARE(FilledDocument().SaveToFile(Path(target)), QStringLiteral("Unable to write to %1").arg(Path(target)));
    QCOMPARE(ReadAll(Path("old.lbl")), old);
    QVERIFY(QDir(Path("folder.lbl")).isEmpty());
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files), QStringList{"old.lbl"});
}

void TstLabelDocument::elementsByTag()
{
    TLabelDocument doc;
    QStringList ids;
    for (int tag = 0; tag <= 6; ++tag)
        ids << (doc.TextByTag(tag) ? doc.TextByTag(tag)->Id : QStringLiteral("-"));
    QCOMPARE(ids, QStringList({"-", "Name", "Type", "Sub1", "Sub2", "Date", "-"}));
    ids.clear();
    for (int tag = 0; tag <= 5; ++tag)
        ids << (doc.RingByTag(tag) ? doc.RingByTag(tag)->Id : QStringLiteral("-"));
    QCOMPARE(ids, QStringList({"-", "Ring1", "Ring2", "Ring3", "Ring4", "-"}));
}

QTEST_GUILESS_MAIN(TstLabelDocument)
#include "tst_label_document.moc"

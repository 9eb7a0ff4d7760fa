// Merge tables: the reader on tables as spreadsheets save them, the errors a
// broken table gives, a row's label against the label file with its values,
// and the output pictures' names.
#include "label/atomic_file.h"
#include "merge/label_pool.h"
#include "merge/merge_table.h"
#include "merge/picture_batch.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"
#include "tools/merge_text.h"

#include <QDir>
#include <numeric>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <random>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool WriteAll(const QString& aPath, const QByteArray& aBytes)
{
    QDir().mkpath(QFileInfo(aPath).path());
    QFile file(aPath);
    return file.open(QIODevice::WriteOnly) && file.write(aBytes) == aBytes.size();
}

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A row as "r<row> Column=value ...", the fields it sets only (an empty one
// as "Column="); pictures by file name.
QString Describe(const TMergeRow& aRow)
{
    static const char* const texts[] = {"Name", "Type", "Sub1", "Sub2", "Date"};
    QString text = QStringLiteral("r%1").arg(aRow.SourceRow);
    for (int i = 0; i < 5; ++i)
        if (aRow.Texts[size_t(i)])
            text += QStringLiteral(" %1=%2").arg(QLatin1String(texts[i]), *aRow.Texts[size_t(i)]);
    if (aRow.FileName)
        text += QStringLiteral(" FileName=") + QFileInfo(*aRow.FileName).fileName();
    if (aRow.PngFile)
        text += QStringLiteral(" PngFile=") + QFileInfo(*aRow.PngFile).fileName();
    if (aRow.Copies != 1)
        text += QStringLiteral(" Copies=%1").arg(aRow.Copies);
    if (!aRow.File.isEmpty())
        text += QStringLiteral(" File=") + aRow.File;
    return text;
}

// Every field of a document, one "Id.Field=value" each, so a difference shows by name.
QStringList Fields(const TLabelDocument& aDoc)
{
    QStringList fields;
    for (const TLabelText* text : {&aDoc.FLabelName, &aDoc.FLabelType, &aDoc.FLabelSub1, &aDoc.FLabelSub2, &aDoc.FLabelDate})
        fields << text->Id + ".Text=" + text->Text << text->Id + ".Font=" + text->FontName
               << QStringLiteral("%1.Size=%2 Color=%3").arg(text->Id).arg(text->FontSize).arg(text->FontColor);
    const TLabelImage& bg = aDoc.FLabelBg;
    fields << "FileName=" + bg.FileName << "PngFile=" + bg.PngFile
           << QStringLiteral("Color=%1 UseColor=%2 UsePng=%3 Effect=%4 Trans=%5 Bg=%6,%7 Png=%8,%9,%10")
                  .arg(bg.Color).arg(bg.UseColor).arg(bg.UsePng).arg(bg.Effect).arg(bg.Trans)
                  .arg(bg.BgPosX).arg(bg.BgPosY).arg(bg.PngPosX).arg(bg.PngPosY).arg(bg.PngWidth);
    for (const TLabelItem* ring : {&aDoc.FLabelRing1, &aDoc.FLabelRing2, &aDoc.FLabelRing3, &aDoc.FLabelRing4})
        fields << QStringLiteral("%1 Use=%2 Color=%3").arg(ring->Id).arg(ring->Use).arg(ring->Color);
    return fields << "Folder=" + aDoc.Folder;
}

// A sepia photo with a middle picture, all texts set, two rings.
const char* const Design =
    "[Name]\nFontName=DejaVu Sans\nFontSize=44\nFontColor=128\nText=Kaasmakerij\n"
    "[Type]\nText=Gouda\n[Sub1]\nText=Huisgemaakt\n[Sub2]\nText=door P.\n[Date]\nText=1 mei\n"
    "[Back]\nUseColor=%1\nColor=clSkyBlue\nFileName=%2\nEffect=1\nTrans=30\nPngFile=%3\nUsePng=%4\n"
    "PngWidth=30\nPngPosX=40\nPngPosY=-20\n[Ring1]\nColor=clMaroon\n[Ring2]\nUse=0\n[Ring3]\nUse=0\n";

}  // namespace

class TstMergeTable : public QObject
{
    Q_OBJECT

    QTemporaryDir FDir;

    QString Path(const QString& aName) const { return FDir.filePath(aName); }

    TMergeRead ReadTable(const QByteArray& aContents, const QString& aName = QStringLiteral("table.csv")) const
    {
        return WriteAll(Path(aName), aContents) ? TMergeTable::Read(Path(aName)) : TMergeRead{};
    }

private slots:
    void initTestCase();
    void readsSpreadsheetShapes_data();
    void readsSpreadsheetShapes();
    void rejectsBrokenTables_data();
    void rejectsBrokenTables();
    void errorNamesFileRowAndColumn();
    void rowEqualsLabelFile_data();
    void rowEqualsLabelFile();
    void outputFiles_data();
    void outputFiles();
    void poolDeliversInOrder_data();
    void poolDeliversInOrder();
    void mergeDecodesThePhotoOnce();
    void batchPictureReplacesWhole_data();
    void batchPictureReplacesWhole();
    void outputIsInput_data();
    void outputIsInput();
    void batchFailsRowsNotTheRun();
};

void TstMergeTable::initTestCase()
{
    QVERIFY(FDir.isValid());
    QImage photo(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x / 2, y / 2, (x + y) % 256));
    QVERIFY(photo.save(Path("foto.jpg"), "JPEG", 90));
    QVERIFY(QDir().mkpath(Path("fotos")));
    QVERIFY(photo.mirrored(true, false).save(Path("fotos/geit.png"), "PNG"));
    QVERIFY(photo.scaled(100, 50).save(Path("midden.png"), "PNG"));
    QVERIFY(WriteAll(Path("notes.txt"), "no picture"));
}

void TstMergeTable::readsSpreadsheetShapes_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("labels");

    QTest::newRow("Dutch spreadsheet: semicolons, Windows-1252, CRLF, quotes, a blank row")
        << ReadAll(MEROVIK_TEST_DATA "/merge_dutch.csv") << "dutch.csv"
        << QStringList{"r2 Name=Boerenkaas Type=Jong belegen Sub1=Kaasboerderij De Vries Date=12-03-2024 Copies=2",
                       "r3 Name=Geitenkaas; biologisch Type=Extra belegen Sub1=Boerderij 't Gein Date=19-03-2024",
                       "r4 Name=Komijnekaas Type=Oud \"1 jaar\" Sub1= Date=26-03-2024 Copies=3 File=komijn",
                       QStringLiteral("r6 Name=Cr\u00e8me de Bri\u00e9 Type=Zacht Sub1= Date=02-04-2024 File=cr\u00e8me")}
        << 7;
    QTest::newRow("commas, quoted commas and line breaks, UTF-8 with BOM")
        << QByteArray("\xEF\xBB\xBFName,Date\n\"Gouda, jong\",\"1\r\nmei\"\nBr\xC3\xA9\xC3\xA9,2 mei\n") << "t.csv"
        << QStringList{"r2 Name=Gouda, jong Date=1 mei", QStringLiteral("r3 Name=Br\u00e9\u00e9 Date=2 mei")} << 2;
    QTest::newRow("tabs in a .tsv, even with commas and semicolons in the header's cells")
        << QByteArray("Name\tType\nA;1\tB,2\n") << "t.tsv" << QStringList{"r2 Name=A;1 Type=B,2"} << 1;
    QTest::newRow("tabs told by the header of a .txt, UTF-16 from a Windows spreadsheet")
        << QByteArray("\xFF\xFEN\0a\0m\0e\0\t\0C\0o\0p\0i\0e\0s\0\n\0K\0\xE4\0\t\0\x34\0\n\0", 36) << "t.txt"
        << QStringList{QStringLiteral("r2 Name=K\u00e4 Copies=4")} << 4;
    QTest::newRow("one column: commas and semicolons are text")
        << QByteArray("Name\nGouda, jong; belegen\n") << "t.csv" << QStringList{"r2 Name=Gouda, jong; belegen"} << 1;
    QTest::newRow("short rows, empty cells, blank lines and blanks around cells")
        << QByteArray("Name;Date;Copies\n\nA\n;  5 mei ; 2 \n\n;;\nB;;\n") << "t.csv"
        << QStringList{"r3 Name=A Date=", "r4 Name= Date=5 mei Copies=2", "r7 Name=B Date="} << 4;
    QTest::newRow("empty cells empty the texts and pictures; only missing columns keep the design's")
        << QByteArray("Name;Sub2;FileName;PngFile;Copies;File\nA;;;;;\n") << "t.csv"
        << QStringList{"r2 Name=A Sub2= FileName= PngFile="} << 1;
    QTest::newRow("Dutch column names, any case")
        << QByteArray("aantal;Achtergrond foto;FOTO MIDDEN;Bestand\n2;foto.jpg;midden.png;week 3\n") << "t.csv"
        << QStringList{"r2 FileName=foto.jpg PngFile=midden.png Copies=2 File=week 3"} << 2;
    QTest::newRow("Excel's sep= line names the separator and is no row")
        << QByteArray("sep=,\r\nName\r\nA,\r\n") << "t.csv" << QStringList{"r2 Name=A"} << 1;
    QTest::newRow("a quote inside a field without quotes is a character; rows padded with empty fields")
        << QByteArray("Name;Type\n12\" kaas;\"Oud \"\"1\"\"\";;\n  \"B\" ;5 \"mei\";\t;\n") << "t.csv"
        << QStringList{"r2 Name=12\" kaas Type=Oud \"1\"", "r3 Name=B Type=5 \"mei\""} << 2;
    QTest::newRow("a million blank rows are counted, not kept; the row limit counts filled rows")
        << QByteArray("Name;Date;;;;;;\n") + QByteArray(";;;;;;;\n").repeated(1000000)
               + QByteArray("A;1\n").repeated(10000) << "t.csv"
        << QStringList{"r1000002 Name=A Date=1", "r1010001 Name=A Date=1"} << 10000;
    QTest::newRow("captions and names in any case, old Mac line ends")
        << QByteArray("NAAM KAAS,type,productie 2,  SUB1 ,datum PRODUCTIE\rA,B,C,D,E\r") << "t.csv"
        << QStringList{"r2 Name=A Type=B Sub1=D Sub2=C Date=E"} << 1;
    QTest::newRow("pictures relative to the table's folder or absolute; a stray empty column")
        << QByteArray("FileName;PngFile;;File\nfotos/../fotos/geit.png;" + Path("midden.png").toUtf8()
                      + ";;week 12.PNG\nfoto.jpg;;;\n") << "t.csv"
        << QStringList{"r2 FileName=geit.png PngFile=midden.png File=week 12", "r3 FileName=foto.jpg PngFile="} << 2;
}

void TstMergeTable::readsSpreadsheetShapes()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, name);
    QFETCH(QStringList, rows);
    QFETCH(int, labels);
    const TMergeRead read = ReadTable(contents, name);
    QVERIFY2(read.Ok(), qPrintable(MergeErrorLines(read.Errors).join('\n')));
    QStringList described;
    for (int i = 0; i < read.Table->RowCount(); ++i)
        described << Describe(read.Table->Row(i));
    if (described.size() > rows.size())
        described = QStringList{described.first(), described.last()};
    QCOMPARE(described, rows);
    QCOMPARE(read.Table->LabelCount(), labels);
    if (read.Table->RowCount() > 0 && read.Table->Row(0).FileName.value_or(QString()).contains("geit"))
        QCOMPARE(read.Table->Row(0).FileName, Path("fotos/geit.png"));
}

void TstMergeTable::rejectsBrokenTables_data()
{
    QTest::addColumn<QByteArray>("contents");
    // "row:column:part of the message" for each error, in order.
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("unknown column")
        << QByteArray("Name;Datum;Copies\nA;1;1\n") << QStringList{"1:2:unknown column \"Datum\""};
    QTest::newRow("a text under both of its names")
        << QByteArray("Name,Sub1,naam kaas\n") << QStringList{"1:3:\"naam kaas\" is the same column as column A"};
    QTest::newRow("the first row blank") << QByteArray("\nName\nA\n") << QStringList{"1:0:the first row must name"};
    QTest::newRow("more fields than the header with a value; empty ones are padding")
        << QByteArray("Name;Date\nA;B;C\nD;E;\nF;G;;x;\n")
        << QStringList{"2:3:the row has 3 fields, but the first row names only 2", "4:3:the row has 4 fields"};
    QTest::newRow("a value in a column without a name")
        << QByteArray("Name;;Date\nA;x;B\n") << QStringList{"2:2:\"x\" stands in a column without a name"};
    QTest::newRow("copies that are no whole number from 1 to 1000")
        << QByteArray("Copies\n0\ndrie\n2.5\n1001\n-1\n")
        << QStringList{"2:1:\"0\" is not a whole number from 1 to 1000", "3:1:\"drie\"", "4:1:\"2.5\"", "5:1:\"1001\"", "6:1:\"-1\""};
    QTest::newRow("pictures missing, a folder, not a picture")
        << QByteArray("FileName;PngFile\nfotos/gait.png;fotos\nnotes.txt;midden.png\n")
        << QStringList{"2:1:no such picture file \"" + Path("fotos/gait.png") + '"',
                       "2:2:\"" + Path("fotos") + "\" is not a picture file",
                       "3:1:\"" + Path("notes.txt") + "\" is not a picture that can be read"};
    QTest::newRow("output names with a folder or a character no disk takes")
        << QByteArray("File\n../Gouda\nsub/a.jpg\nC:\\a\nwhat?\n.png\n")
        << QStringList{"2:1:\"../Gouda\" must be a file name without a folder", "3:1:without a folder",
                       "4:1:without a folder", "5:1:cannot be in a file name", "6:1:not a file name that can be used"};
    QTest::newRow("text after a closing quote") << QByteArray("Name;Date\nA;\"5\" mei\n")
                                                << QStringList{"2:2:a double quote out of place"};
    QTest::newRow("a text after a closing quote, on the row the field began")
        << QByteArray("Name;Date\nA;B\n\"C\nD\"x;E\n") << QStringList{"3:1:a double quote out of place"};
    QTest::newRow("a quote never closed") << QByteArray("Name,Date\nA,\"5 mei\nB,C\n")
                                          << QStringList{"2:2:a double quote begins a field that is never closed"};
    QTest::newRow("an empty file") << QByteArray() << QStringList{"0:0:the table is empty"};
    QTest::newRow("no data rows, only blank ones") << QByteArray("Name;Date\r\n;\r\n\r\n")
                                                   << QStringList{"0:0:the table has no data rows"};
    QTest::newRow("a spreadsheet's own file") << QByteArray("PK\x03\x04\x14\0\x06\0", 8)
                                              << QStringList{"0:0:not a text table; save the spreadsheet as CSV"};
    QTest::newRow("UTF-16 without a byte order mark")
        << QByteArray("N\0a\0m\0e\0\n\0K\0a\0a\0s\0\n\0", 20)
        << QStringList{"0:0:UTF-16 text without a byte order mark; save it with one"};
    QTest::newRow("output names too long for their temporary name")
        << QByteArray("File\n") + QByteArray(224, 'a') + "\n" + QByteArray(223, 'b') + "\n" + QByteArray(244, 'c') + ".jpg\n"
        << QStringList{"2:1:is too long for a file name: at most 223 bytes", "4:1:is too long"};
    QTest::newRow("more labels than one table may give")
        << QByteArray("Copies\n") + QByteArray("1000\n").repeated(101)
        << QStringList{"0:0:the table gives 101000 labels, more than the 100000"};
    QTest::newRow("too many rows") << QByteArray("Name\n") + QByteArray("A\n").repeated(10001)
                                   << QStringList{"0:0:the table has more than 10000 rows"};
    QStringList many;
    for (int row = 2; row <= 21; ++row)
        many << QStringLiteral("%1:1:\"x\" is not a whole number").arg(row);
    QTest::newRow("many errors, the first twenty shown")
        << QByteArray("Copies\n") + QByteArray("x\n").repeated(25) << many + QStringList{"0:0:and 5 more errors"};
}

void TstMergeTable::rejectsBrokenTables()
{
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, errors);
    const TMergeRead read = ReadTable(contents);
    QVERIFY(!read.Table);
    QVERIFY2(read.Errors.size() == errors.size(), qPrintable(MergeErrorLines(read.Errors).join('\n')));
    for (int i = 0; i < errors.size(); ++i) {
        const TMergeError& error = read.Errors[i];
        QCOMPARE(QStringLiteral("%1:%2").arg(error.Row).arg(error.Column), errors[i].section(':', 0, 1));
        const QString part = errors[i].section(':', 2);
        const QString text = MergeErrorLines({error}).first();
        QVERIFY2(text.startsWith(Path("table.csv")) && text.contains(part), qPrintable(text + " lacks " + part));
    }
}

// The whole message, as merovik-render shows it; the column as its header
// names it; the accepted names listed once after all errors about columns.
void TstMergeTable::errorNamesFileRowAndColumn()
{
    const TMergeRead read = ReadTable("Naam kaas;COPIES\nA;\"drie\"\n", "kaas.csv");
    QCOMPARE(MergeErrorLines(read.Errors),
             QStringList{Path("kaas.csv") + ", row 2, column B (COPIES): \"drie\" is not a whole number from 1 to 1000"});
    QCOMPARE(MergeErrorLines(TMergeTable::Read(Path("nothing.csv")).Errors),
             QStringList{Path("nothing.csv") + ": no such table file"});
    const QStringList columns = MergeErrorLines(ReadTable("Naam;Name;Datum\nA;B;C\n", "kaas.csv").Errors);
    QCOMPARE(columns.size(), 3);
    QVERIFY2(columns[0].endsWith("column A: unknown column \"Naam\"") && columns[1].endsWith("unknown column \"Datum\""),
             qPrintable(columns.join('\n')));
    QVERIFY2(columns[2].startsWith("the columns are Name (Naam kaas), Type (Type kaas)")
                 && columns[2].contains("Copies (Aantal), File (Bestand)"),
             qPrintable(columns[2]));
    QCOMPARE(TMergeTable::ColumnLetters(28), QStringLiteral("AB"));
}

void TstMergeTable::rowEqualsLabelFile_data()
{
    QTest::addColumn<bool>("designPhoto");  // the design draws its photo and middle picture
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QByteArray>("values");  // the same values as label file keys

    QTest::newRow("photo and middle picture replaced, texts kept where their column is missing")
        << true << QByteArray("Naam kaas;FileName;PngFile\nBoerenkaas;fotos/geit.png;midden.png\n")
        << "[Name]\nText=Boerenkaas\n[Back]\nFileName=" + Path("fotos/geit.png").toUtf8() + "\nPngFile="
               + Path("midden.png").toUtf8() + '\n';
    QTest::newRow("empty cells: no production line, the colour background, no middle picture")
        << true << QByteArray("Naam kaas;Productie 2;FileName;PngFile\nGeitenkaas;;;\n")
        << QByteArray("[Name]\nText=Geitenkaas\n[Sub2]\nText=\n[Back]\nUseColor=1\nFileName=\nUsePng=0\nPngFile=\n");
    QTest::newRow("texts only over the design's pictures")
        << true << QByteArray("Type,Sub2,Date\n\"Oud, 1 jaar\",\"door\nJan\",12-03-2024\n")
        << QByteArray("[Type]\nText=Oud, 1 jaar\n[Sub2]\nText=door Jan\n[Date]\nText=12-03-2024\n");
    QTest::newRow("a plain design shows the row's photo and middle picture")
        << false << QByteArray("FileName;PngFile\nfoto.jpg;midden.png\n")
        << "[Back]\nUseColor=0\nUsePng=1\nFileName=" + Path("foto.jpg").toUtf8() + "\nPngFile="
               + Path("midden.png").toUtf8() + '\n';
}

// The document a row gives is the one its label file loads, and draws the
// same raster pixel for pixel.
void TstMergeTable::rowEqualsLabelFile()
{
    QFETCH(bool, designPhoto);
    QFETCH(QByteArray, table);
    QFETCH(QByteArray, values);
    const QByteArray design = QString::fromLatin1(Design)
                                  .arg(designPhoto ? "0" : "1", Path("foto.jpg"), Path("fotos/geit.png"),
                                       designPhoto ? "1" : "0")
                                  .toUtf8();
    // The values' sections come first, where the reader finds them before the design's.
    QVERIFY(WriteAll(Path("design.lbl"), design) && WriteAll(Path("row.lbl"), values + design));
    TLabelDocument designDoc, expected;
    QVERIFY(designDoc.LoadFromFile(Path("design.lbl")).Ok() && expected.LoadFromFile(Path("row.lbl")).Ok());
    const TMergeRead read = ReadTable(table);
    QVERIFY2(read.Ok(), qPrintable(MergeErrorLines(read.Errors).join('\n')));
    const TLabelDocument merged = read.Table->Document(0, designDoc);
    QCOMPARE(Fields(merged), Fields(expected));
    QVERIFY(Fields(merged) != Fields(designDoc));

    TLabelRenderer fromRow, fromFile;
    fromRow.SetLabelSize(0);
    fromFile.SetLabelSize(0);
    fromRow.DrawLabel(merged);
    fromFile.DrawLabel(expected);
    QVERIFY(fromRow.Raster() == fromFile.Raster());
}

void TstMergeTable::outputFiles_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("expected");  // file names, or "row:column:" of the errors

    QTest::newRow("numbered rows, at least three digits")
        << QByteArray("Name\nA\n\nB\n") << "Gouda_10" << "jpg" << QStringList{"Gouda_10-001.jpg", "Gouda_10-002.jpg"};
    QTest::newRow("named rows; their extension follows the format")
        << QByteArray("Name;File\nA;week 12.JPG\nB;\nC;lot.7\n") << "Gouda" << "png"
        << QStringList{"week 12.png", "Gouda-002.png", "lot.7.png"};
    QTest::newRow("no design name") << QByteArray("Name\nA\n") << "" << "jpg" << QStringList{"label-001.jpg"};
    QTest::newRow("two rows name the same file")
        << QByteArray("Name;File\nA;x.jpg\nB;y\nC;x.png\n") << "G" << "jpg" << QStringList{"4:2:"};
    QTest::newRow("a name that is a numbered row's")
        << QByteArray("File;Name\nG-002;A\n;B\n") << "G" << "png" << QStringList{"3:0:"};
    QTest::newRow("a numbered name too long for its temporary name")
        << QByteArray("Name\nA\n") << QString(220, 'G') << "jpg" << QStringList{"2:0:"};
    QTest::newRow("names that differ only in case") << QByteArray("File\nGouda\ngouda\n") << "G" << "jpg"
                                                     << QStringList{"3:1:"};
    QTest::newRow("a thousand rows: four digits, so they sort in table order")
        << QByteArray("Name\n") + QByteArray("A\n").repeated(1000) << "G" << "jpg"
        << QStringList{"G-0001.jpg", "G-1000.jpg"};
}

void TstMergeTable::outputFiles()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, base);
    QFETCH(QString, format);
    QFETCH(QStringList, expected);
    const TMergeRead read = ReadTable(table);
    QVERIFY2(read.Ok(), qPrintable(MergeErrorLines(read.Errors).join('\n')));
    const TMergeOutputs outputs = read.Table->OutputFiles(Path("out/../pictures"), base, format);
    if (expected.first().endsWith(':')) {
        QVERIFY(outputs.Files.isEmpty());
        QCOMPARE(outputs.Errors.size(), 1);
        QCOMPARE(QStringLiteral("%1:%2:").arg(outputs.Errors[0].Row).arg(outputs.Errors[0].Column), expected.first());
        QCOMPARE(outputs.Errors[0].Kind,
                 base.size() > 200 ? TMergeError::TKind::NameTooLong : TMergeError::TKind::SameOutput);
        return;
    }
    QStringList files = outputs.Files;
    QVERIFY2(outputs.Ok(), qPrintable(MergeErrorLines(outputs.Errors).join('\n')));
    QCOMPARE(files.size(), read.Table->RowCount());
    for (const QString& file : files)
        QCOMPARE(QFileInfo(file).path(), Path("pictures"));
    if (files.size() > expected.size())
        files = QStringList{files.first(), files.last()};
    QCOMPARE(files.replaceInStrings(Path("pictures") + '/', QString()), expected);
}

void TstMergeTable::poolDeliversInOrder_data()
{
    QTest::addColumn<int>("jobs");
    QTest::addColumn<int>("stopAfter");  // deliveries before the caller cancels; -1 never
    QTest::newRow("one worker") << 1 << -1;
    QTest::newRow("four workers, uneven times") << 4 << -1;
    QTest::newRow("cancelled after ten") << 3 << 10;
}

// Results come back in the labels' order whatever the workers' timing, and a
// cancelled run delivers nothing more.
void TstMergeTable::poolDeliversInOrder()
{
    QFETCH(int, jobs);
    QFETCH(int, stopAfter);
    TLabelPool pool(jobs, 0);
    QCOMPARE(pool.Jobs(), jobs);
    QList<int> delivered;
    const bool completed = pool.Run(
        40,
        [](int aIndex, TLabelRenderer&) {
            thread_local std::minstd_rand random(std::random_device{}());
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 7));
            TLabelResult result;
            result.Bytes = QByteArray::number(aIndex);
            return result;
        },
        [&](int aIndex, const TLabelResult& aResult) {
            delivered << (aResult.Bytes.toInt() == aIndex ? aIndex : -1);
            return stopAfter < 0 || delivered.size() < stopAfter;
        });
    QList<int> expected(stopAfter < 0 ? 40 : stopAfter);
    std::iota(expected.begin(), expected.end(), 0);
    QCOMPARE(delivered, expected);
    QCOMPARE(completed, stopAfter < 0);
}

// A hundred rows over one photo decode it once on all the workers; each
// row's picture is the one its label alone gives.
void TstMergeTable::mergeDecodesThePhotoOnce()
{
    QByteArray table("Name;Copies\n");
    for (int i = 1; i <= 100; ++i)
        table += "Kaas " + QByteArray::number(i) + ";2\n";
    const TMergeRead read = ReadTable(table, QStringLiteral("hundred.csv"));
    QVERIFY2(read.Ok(), qPrintable(MergeErrorLines(read.Errors).join('\n')));
    QVERIFY(WriteAll(Path("hundred.lbl"), QString::fromLatin1(Design).arg("0", Path("foto.jpg"), Path("midden.png"), "1").toUtf8()));
    TLabelDocument design;
    QVERIFY(design.LoadFromFile(Path("hundred.lbl")).Ok());
    const TMergeOutputs outputs = read.Table->OutputFiles(Path("hundred-out"), QStringLiteral("hundred"), "jpg");
    QVERIFY(outputs.Ok() && QDir().mkpath(Path("hundred-out")));
    QList<TPictureJob> jobs;
    for (int row = 0; row < read.Table->RowCount(); ++row)
        jobs.append({QStringLiteral("hundred.csv"), row + 2, QString(), read.Table->Document(row, design), outputs.Files[row], {}});
    TLabelPool pool(3, 0);
    QStringList problems;
    const TBatchCallbacks callbacks{[&](const TBatchMessage& aWarning) { problems << BatchMessageText(aWarning, jobs); },
                                    [&](const TBatchMessage& aError) { problems << BatchMessageText(aError, jobs); }, {}};
    const TBatchResult result = RenderPictures(pool, jobs, QStringLiteral("jpg"), 98, callbacks);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QCOMPARE(result.Written, 100);
    QCOMPARE(pool.Pictures().DecodeCount(), 2);  // the photo and the middle picture
    QCOMPARE(QDir(Path("hundred-out")).entryList(QDir::Files).size(), 100);
    for (const int row : {0, 57}) {
        TLabelRenderer alone;
        alone.SetLabelSize(0);
        alone.DrawLabel(jobs[row].Document);
        const TEncodedPicture expected = EncodeRaster(alone.Raster(), QStringLiteral("jpg"), 98);
        QVERIFY2(ReadAll(outputs.Files[row]) == expected.Bytes, qPrintable(outputs.Files[row]));
    }
}

void TstMergeTable::batchPictureReplacesWhole_data()
{
    QTest::addColumn<int>("earlierMode");  // 0: no earlier picture
    QTest::addColumn<bool>("link");        // the output is a link to the picture
    QTest::addColumn<int>("nameBytes");    // of the picture's name; 0: a short one
    QTest::newRow("new picture as any new file") << 0 << false << 0;
    QTest::newRow("replaced picture readable by its owner only") << 0600 << false << 0;
    QTest::newRow("replaced picture readable by the group") << 0640 << false << 0;
    QTest::newRow("a link replaced, its target kept") << 0644 << true << 0;
    QTest::newRow("a name of 255 bytes, too long for the temporary name whole") << 0 << false << 255;
}

// A batch picture replaces its file whole, with the permissions a saved file
// would have, and leaves nothing beside it.
void TstMergeTable::batchPictureReplacesWhole()
{
    QFETCH(int, earlierMode);
    QFETCH(bool, link);
    QFETCH(int, nameBytes);
    QTemporaryDir dir;
    const QString picture =
        dir.filePath(nameBytes > 0 ? QString(nameBytes - 6, u'\u00e9').left((nameBytes - 4) / 2) + QString((nameBytes - 4) % 2, 'e') + ".jpg"
                                   : QStringLiteral("etiket.jpg"));
    QCOMPARE(int(QFileInfo(picture).fileName().toUtf8().size()), nameBytes > 0 ? nameBytes : 10);
    const QString output = link ? dir.filePath(QStringLiteral("link.jpg")) : picture;
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QVERIFY(WriteAll(plain, "made as any new file"));
    if (earlierMode != 0) {
        QVERIFY(WriteAll(picture, "earlier"));
        QVERIFY(::chmod(QFile::encodeName(picture).constData(), mode_t(earlierMode)) == 0);
    }
    if (link)
        QVERIFY(QFile::link(picture, output));

    TFolderSync sync(dir.path());
    QVERIFY(WriteFileForBatch(output, "picture").Ok());
    QVERIFY(sync.Sync().IsNone());
    QCOMPARE(ReadAll(output), QByteArray("picture"));
    QVERIFY(!QFileInfo(output).isSymLink());
    if (link)
        QCOMPARE(ReadAll(picture), QByteArray("earlier"));
    struct stat written = {};
    struct stat fresh = {};
    QVERIFY(::stat(QFile::encodeName(output).constData(), &written) == 0);
    QVERIFY(::stat(QFile::encodeName(plain).constData(), &fresh) == 0);
    QCOMPARE(int(written.st_mode & 07777), earlierMode != 0 && !link ? earlierMode : int(fresh.st_mode & 07777));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), link ? 3 : 2);
}

void TstMergeTable::outputIsInput_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("folder");  // of the outputs, in the test's folder
    QTest::addColumn<QString>("input");   // a file of the design, or none
    QTest::addColumn<QString>("error");   // "row:column" of the error; empty: none

    QTest::newRow("a row's output is the photo the rows read")
        << QByteArray("Name;FileName;File\nA;foto.jpg;foto\nB;foto.jpg;b\n") << "" << "" << "2:3";
    QTest::newRow("the same by another path to the folder")
        << QByteArray("Name;FileName;File\nA;midden.png;b\nB;;foto\n") << "fotos/.." << "" << "";
    QTest::newRow("a numbered output is the design's picture")
        << QByteArray("Name\nA\n") << "" << "G-001.jpg" << "2:0";
    QTest::newRow("a hard link to the photo") << QByteArray("FileName;File\nfoto.jpg;hard\n") << "" << "" << "2:2";
    QTest::newRow("a symbolic link to the photo is replaced, not written through")
        << QByteArray("FileName;File\nfoto.jpg;soft\n") << "" << "" << "";
}

// No output may replace a file the run reads: the user's photo would be lost
// and the later rows would draw the label instead.
void TstMergeTable::outputIsInput()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, folder);
    QFETCH(QString, input);
    QFETCH(QString, error);
    if (!QFileInfo::exists(Path("hard.jpg")))
        QVERIFY(::link(QFile::encodeName(Path("foto.jpg")).constData(), QFile::encodeName(Path("hard.jpg")).constData()) == 0);
    if (!QFileInfo(Path("soft.jpg")).isSymLink())
        QVERIFY(QFile::link(Path("foto.jpg"), Path("soft.jpg")));
    if (!input.isEmpty())
        QVERIFY(WriteAll(Path(input), "a design's picture"));
    const TMergeRead read = ReadTable(table);
    QVERIFY2(read.Ok(), qPrintable(MergeErrorLines(read.Errors).join('\n')));
    const TMergeOutputs outputs =
        read.Table->OutputFiles(Path(folder), "G", "jpg", input.isEmpty() ? QStringList() : QStringList{Path(input)});
    if (error.isEmpty()) {
        QVERIFY2(outputs.Ok(), qPrintable(MergeErrorLines(outputs.Errors).join('\n')));
    } else {
        QCOMPARE(outputs.Errors.size(), 1);
        QCOMPARE(outputs.Errors[0].Kind, TMergeError::TKind::OutputIsInput);
        QCOMPARE(QStringLiteral("%1:%2").arg(outputs.Errors[0].Row).arg(outputs.Errors[0].Column), error);
    }
    // A merged PDF in the table's place is refused too.
    QVERIFY(read.Table->OutputIsInput(Path("fotos/../table.csv")));
    QVERIFY(!read.Table->OutputIsInput(Path("table.pdf")));
}

// A row whose named picture cannot be drawn, and a row whose output a folder
// is in the way of, fail alone; the other rows are written, and the leftovers
// of a killed run are removed, never those of a run still writing.
void TstMergeTable::batchFailsRowsNotTheRun()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray photo = ReadAll(Path("foto.jpg"));
    QVERIFY(WriteAll(dir.filePath("cut.jpg"), photo.left(photo.size() / 2)));
    QVERIFY(QDir().mkpath(dir.filePath("out/in-the-way.jpg")));
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    QVERIFY(gone > 0 && ::waitpid(gone, nullptr, 0) == gone);
    const QString leftover = dir.filePath(QStringLiteral("out/.a.jpg.merovik-%1-x1").arg(gone));
    const QString running = dir.filePath(QStringLiteral("out/.b.jpg.merovik-%1-x2").arg(::getpid()));
    QVERIFY(WriteAll(leftover, "killed") && WriteAll(running, "still writing"));

    TLabelDocument good;
    TLabelDocument damaged;
    damaged.FLabelBg.UseColor = false;
    damaged.FLabelBg.FileName = dir.filePath("cut.jpg");
    const QList<TPictureJob> jobs{
        {"t.csv", 2, QString(), damaged, dir.filePath("out/damaged.jpg"), {dir.filePath("cut.jpg")}},
        {"t.csv", 3, QString(), good, dir.filePath("out/in-the-way.jpg"), {}},
        {"t.csv", 4, QString(), good, dir.filePath("out/good.jpg"), {}},
    };
    TLabelPool pool(2, 0);
    QStringList errors;
    const TBatchResult result =
        RenderPictures(pool, jobs, "jpg", 90, {{}, [&](const TBatchMessage& aError) { errors << BatchMessageText(aError, jobs); }, {}});
    QCOMPARE(result.Written, 1);
    QCOMPARE(result.Failed, 2);
    QVERIFY(result.Stopped.IsNone());
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors[0].startsWith("t.csv, row 2: \"" + dir.filePath("cut.jpg") + "\" cannot be drawn (damaged)"),
             qPrintable(errors[0]));
    QVERIFY2(errors[1].contains("in-the-way.jpg"), qPrintable(errors[1]));
    QVERIFY(!QFileInfo::exists(dir.filePath("out/damaged.jpg")) && QFileInfo::exists(dir.filePath("out/good.jpg")));
    QVERIFY(!QFileInfo::exists(leftover));
    QVERIFY(QFileInfo::exists(running));
}

QTEST_MAIN(TstMergeTable)
#include "tst_merge_table.moc"

// Where the editor keeps its files, the error box text, and the Dutch
// wording of a merge table's errors.
#include "editor/dialogs.h"
#include "editor/merge_messages.h"
#include "editor/messages.h"
#include "editor/program_paths.h"

#include <cerrno>
#include <functional>

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TstEditorParts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void settingsFileName_data();
    void settingsFileName();
    void programPathsFallBackToPerUser_data();
    void programPathsFallBackToPerUser();
    void errorBoxText_data();
    void errorBoxText();
    void mergeErrorsInDutch_data();
    void mergeErrorsInDutch();
    void messagesInDutch_data();
    void messagesInDutch();
    void quotedMessagesStay();
};

void TstEditorParts::initTestCase()
{
    // Per-user locations under a test folder, never the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Merovik"));
}

void TstEditorParts::settingsFileName_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("settings");
    QTest::newRow("no extension gets .ini") << "/opt/merovik/merovik" << "/opt/merovik/merovik.ini";
    QTest::newRow("only the last extension replaced") << "/opt/m/merovik.v2.exe" << "/opt/m/merovik.v2.ini";
    QTest::newRow("dot in a folder name is no extension") << "/home/a.b/merovik" << "/home/a.b/merovik.ini";
}

void TstEditorParts::settingsFileName()
{
    QFETCH(QString, executable);
    QFETCH(QString, settings);
    QCOMPARE(SettingsFileFor(executable), settings);
}

void TstEditorParts::programPathsFallBackToPerUser_data()
{
    QTest::addColumn<QString>("folder");  // %1 is a writable test folder
    QTest::addColumn<bool>("beside");
    QTest::newRow("writable folder keeps both beside the program") << "%1" << true;
    // A folder that does not exist cannot be written by anyone, root included.
    QTest::newRow("folder that does not exist") << "/nonexistent/merovik-bin" << false;
    // Root can write these: the program must still not fill them.
    QTest::newRow("installed by the package") << "/usr/bin" << false;
    QTest::newRow("installed by make install") << "/usr/local/bin" << false;
}

void TstEditorParts::programPathsFallBackToPerUser()
{
    QFETCH(QString, folder);
    QFETCH(bool, beside);
    QTemporaryDir dir;
    folder.replace(QStringLiteral("%1"), dir.path());

    const TProgramPaths paths = TProgramPaths::ForExecutable(folder + QStringLiteral("/merovik"));
    if (beside) {
        QCOMPARE(paths.SettingsFile, folder + "/merovik.ini");
        QCOMPARE(paths.LabelsFolder, folder + "/labels");
    } else {
        QCOMPARE(paths.SettingsFile,
                 QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/merovik.ini");
        QCOMPARE(paths.LabelsFolder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/labels");
    }
}

void TstEditorParts::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter gets a full stop") << "''geel'' is not a valid integer value"
                                             << "''geel'' is not a valid integer value.";
    QTest::newRow("digit sorts after . and gets one") << "fout 2" << "fout 2.";
    QTest::newRow("full stop kept single") << "Klaar." << "Klaar.";
    QTest::newRow("! sorts before . and gets none") << "Let op!" << "Let op!";
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("each line of several") << "''a'' is not valid\n''b'' is not valid"
                                          << "''a'' is not valid.\n''b'' is not valid.";
}

void TstEditorParts::errorBoxText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorBoxText(message), shown);
}

void TstEditorParts::mergeErrorsInDutch_data()
{
    using TKind = TMergeError::TKind;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("value");  // what the message must quote or name; empty: nothing
    QTest::addColumn<QString>("said");   // a part of the message
    const QList<std::tuple<TKind, const char*, const char*>> kinds{
        {TKind::NoSuchTable, "", "bestaat niet"},
        {TKind::TableIsFolder, "", "map"},
        {TKind::TableNotAFile, "", "geen gewoon bestand"},
        {TKind::TableTooLarge, "", "groter dan 16 MB"},
        {TKind::TableUnreadable, "Toegang geweigerd", "kan niet gelezen worden"},
        {TKind::NotText, "", "sla het rekenblad op als CSV"},
        {TKind::Utf16WithoutBom, "", "UTF-16"},
        {TKind::OutOfMemory, "", "geheugen"},
        {TKind::QuoteOutOfPlace, "", "aanhalingsteken"},
        {TKind::QuoteNotClosed, "", "nergens gesloten"},
        {TKind::Empty, "", "leeg"},
        {TKind::NoHeader, "", "eerste rij"},
        {TKind::UnknownColumn, "Datum", "De kolommen zijn: Naam kaas (Name)"},
        {TKind::SameColumn, "naam kaas", "dezelfde kolom als kolom C"},
        {TKind::TooManyFields, "", "7 velden"},
        {TKind::ValueWithoutColumn, "x9", "zonder naam"},
        {TKind::NoSuchPicture, "/kaas/geit.png", "bestaat niet"},
        {TKind::NotAPictureFile, "/kaas/fotos", "geen afbeeldingsbestand"},
        {TKind::UnreadablePicture, "/kaas/notities.txt", "gelezen"},
        {TKind::BadCopies, "drie", "van 1 tot en met 1000"},
        {TKind::NameWithFolder, "../Gouda", "zonder map"},
        {TKind::BadNameCharacter, "wat?", "teken"},
        {TKind::UnusableName, ".png", "bruikbare"},
        {TKind::NameTooLong, "aaaa", "hoogstens 223 bytes"},
        {TKind::NoDataRows, "", "geen gegevens"},
        {TKind::TooManyRows, "", "meer dan 10000 rijen"},
        {TKind::TooManyLabels, "", "101000 labels"},
        {TKind::MoreErrors, "", "en nog 7 fouten"},
        {TKind::SameOutput, "kaas.jpg", "ook dat van rij 3"},
        {TKind::OutputIsInput, "/kaas/foto.jpg", "kies een andere map of naam"},
    };
    for (const auto& [kind, value, said] : kinds)
        QTest::newRow(said) << int(kind) << QString::fromUtf8(value) << QString::fromUtf8(said);
}

// Every kind of table error in Dutch, with the file, row and column it is
// about and its value, and no English word.
void TstEditorParts::mergeErrorsInDutch()
{
    QFETCH(int, kind);
    QFETCH(QString, value);
    QFETCH(QString, said);
    TMergeError error;
    error.Kind = TMergeError::TKind(kind);
    error.File = QStringLiteral("/kaas/tabel.csv");
    error.Row = 4;
    error.Column = 2;
    error.ColumnName = QStringLiteral("Aantal");
    error.Value = value;
    error.Count = error.Kind == TMergeError::TKind::TooManyLabels ? 101000 : 7;
    error.Limit = error.Kind == TMergeError::TKind::TooManyRows       ? 10000
                  : error.Kind == TMergeError::TKind::TableTooLarge ? 16 * 1024 * 1024
                  : error.Kind == TMergeError::TKind::NameTooLong   ? 223
                                                                     : 1000;
    error.Other = 3;
    const QString text = MergeErrorLines({error}).join('\n');
    QVERIFY2(text.startsWith(QStringLiteral("/kaas/tabel.csv, rij 4, kolom B (Aantal): ")), qPrintable(text));
    QVERIFY2(text.contains(said) && text.contains(value), qPrintable(text));
    static const QRegularExpression english(
        QStringLiteral("\\b(the|row|column|file|not|no|is not|picture|table|must|with|and|more|than|empty|quote|"
                       "name|folder|cannot|such|errors?|out of|labels? may)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    // The column names are the table's own words, English among them.
    QString words = text;
    words.remove(QRegularExpression(QStringLiteral("\\((Name|Type|Sub1|Sub2|Date|FileName|PngFile|Copies|File)\\)")));
    const QRegularExpressionMatch match = english.match(words);
    QVERIFY2(!match.hasMatch(), qPrintable(match.captured() + " in: " + text));
}

void TstEditorParts::messagesInDutch_data()
{
    using TFile = TFileProblem::TKind;
    using TPicture = TPictureProblem::TKind;
    const QString label = QStringLiteral("/kazen/gouda.lbl");
    const auto file = [&](TFile aKind, bool aWriting, const QString& aDetail = {}) {
        return FileProblemMessage(TFileProblem::Of(aKind, label, aWriting, aDetail));
    };
    const auto system = [&](int aCode) { return FileProblemMessage(TFileProblem::FromCode(label, false, aCode)); };
    const auto picture = [](TPicture aKind, const QString& aDetail = {}) {
        return PrintWarningMessage({0, false, QStringLiteral("foto.jpg"), {aKind, QSize(9000, 9000), aDetail}});
    };
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("names");  // what it still names
    QTest::newRow("no space") << system(ENOSPC) << label;
    QTest::newRow("quota") << system(EDQUOT) << label;
    QTest::newRow("permission") << system(EACCES) << label;
    QTest::newRow("not permitted") << system(EPERM) << label;
    QTest::newRow("read-only") << system(EROFS) << label;
    QTest::newRow("not found") << system(ENOENT) << label;
    QTest::newRow("name too long") << system(ENAMETOOLONG) << label;
    QTest::newRow("file too large") << system(EFBIG) << label;
    QTest::newRow("is a folder") << system(EISDIR) << label;
    QTest::newRow("system text matched") << FileProblemMessage(TFileProblem::FromText(label, true, qt_error_string(ENOSPC)))
                                         << label;
    QTest::newRow("no such file") << NoSuchFileMessage(label) << label;
    QTest::newRow("folder") << file(TFile::Folder, true) << label;
    QTest::newRow("device") << file(TFile::NotRegularFile, false) << label;
    QTest::newRow("too large") << file(TFile::TooLarge, false) << label;
    QTest::newRow("binary data") << file(TFile::NotLabelFile, false) << label;
    QTest::newRow("encoder") << file(TFile::Encoder, true, QStringLiteral("JPEG")) << label;
    QTest::newRow("delete") << DeleteFailedMessage(label, EACCES, qt_error_string(EACCES)) << label;
    QTest::newRow("missing photo") << LoadProblemMessage({TLoadProblem::TKind::MissingBackground, {}, {}, {}, label})
                                   << label;
    QTest::newRow("missing middle") << LoadProblemMessage({TLoadProblem::TKind::MissingMiddle, {}, {}, {}, label})
                                    << label;
    QTest::newRow("no sections") << LoadProblemMessage({TLoadProblem::TKind::NoSections, {}, {}, {}, label}) << label;
    QTest::newRow("picture not found") << picture(TPicture::NotFound) << "foto.jpg";
    QTest::newRow("picture unreadable") << picture(TPicture::Unreadable, qt_error_string(EACCES)) << "foto.jpg";
    QTest::newRow("not a picture") << picture(TPicture::NotAPicture) << "foto.jpg";
    QTest::newRow("damaged") << picture(TPicture::Damaged) << "foto.jpg";
    QTest::newRow("picture too large") << picture(TPicture::TooLarge) << "9000";
    QTest::newRow("paper refused") << PrintErrorMessage({TPrintError::TKind::PaperRefused, QSizeF(210.5, 297), 0, {}, {}})
                                   << "210,5";
    QTest::newRow("cannot start") << PrintErrorMessage({TPrintError::TKind::CannotStart, {}, 0, {}, {}}) << "";
    QTest::newRow("page") << PrintErrorMessage({TPrintError::TKind::CannotStartPage, {}, 3, {}, {}}) << "3";
    QTest::newRow("print-shop marks") << PrintErrorMessage({TPrintError::TKind::PrintShopMarks, {}, 0, {}, QStringLiteral("#9 xref")})
                                      << "#9 xref";
    QTest::newRow("pdf file") << PrintErrorMessage({TPrintError::TKind::File, {}, 0, TFileProblem::FromCode(label, true, EROFS), {}})
                              << label;
    TMergeError unreadable;
    unreadable.Kind = TMergeError::TKind::TableUnreadable;
    unreadable.File = QStringLiteral("/kazen/tabel.csv");
    unreadable.Value = qt_error_string(EACCES);
    unreadable.Other = EACCES;
    QTest::newRow("table unreadable") << MergeErrorLines({unreadable}).join('\n') << "/kazen/tabel.csv";

    // A picture batch's messages name the table and row, or the label file.
    using TBatch = TBatchMessage::TKind;
    const QList<TPictureJob> jobs{{QStringLiteral("kazen.csv"), 3, {}, {}, QStringLiteral("/uit/kaas-3.jpg"), {}},
                                  {label, 0, label, {}, QStringLiteral("/uit/gouda.jpg"), {}}};
    const auto batch = [&](TBatch aKind, int aJob, const std::function<void(TBatchMessage&)>& aFill = {}) {
        TBatchMessage message = TBatchMessage::Of(aKind, aJob);
        message.PictureFile = QStringLiteral("foto.jpg");
        message.Picture.Kind = TPicture::Damaged;
        if (aFill)
            aFill(message);
        return BatchMessageText(message, jobs);
    };
    QTest::newRow("batch: label value") << batch(TBatch::LabelValue, 1, [&](TBatchMessage& aMessage) {
        aMessage.Value = {TLoadProblem::TKind::MissingMiddle, {}, {}, {}, QStringLiteral("midden.png")};
    }) << label + ": Foto midden \"midden.png\"";
    QTest::newRow("batch: photo left out") << batch(TBatch::PictureLeftOut, 0) << "kazen.csv, rij 3: achtergrondfoto \"foto.jpg\"";
    QTest::newRow("batch: middle left out") << batch(TBatch::PictureLeftOut, 0, [](TBatchMessage& aMessage) {
        aMessage.Middle = true;
    }) << "foto midden \"foto.jpg\": beschadigd";
    QTest::newRow("batch: picture the row names") << batch(TBatch::PictureRequired, 0) << "/uit/kaas-3.jpg";
    QTest::newRow("batch: label file unread") << batch(TBatch::LabelUnread, 1, [&](TBatchMessage& aMessage) {
        aMessage.File = TFileProblem::Of(TFile::NotFound, label, false);
    }) << label;
    QTest::newRow("batch: disk full") << batch(TBatch::NotWritten, 0, [](TBatchMessage& aMessage) {
        aMessage.File = TFileProblem::FromCode(QStringLiteral("/uit/kaas-3.jpg"), true, ENOSPC);
    }) << "/uit/kaas-3.jpg: de schijf is vol";
    QTest::newRow("batch: folder not synced") << batch(TBatch::NotWritten, -1, [](TBatchMessage& aMessage) {
        aMessage.File = TFileProblem::FromCode(QStringLiteral("/uit"), true, EIO);
    }) << "/uit";
    QTest::newRow("product files") << CatalogueWarningMessage({{label, 3, QStringLiteral("Premature end of document")},
                                                              {label, 0, QStringLiteral("Permission denied")}})
                                   << label;
    QTest::newRow("batch: not drawn") << batch(TBatch::NotDrawn, 0) << "kazen.csv, rij 3";
}

void TstEditorParts::messagesInDutch()
{
    QFETCH(QString, message);
    QFETCH(QString, names);
    QVERIFY2(message.contains(names), qPrintable(message));
    // Words of the system's English texts and of the English wording.
    static const QRegularExpression english(QStringLiteral(
        "\\b(unable|the|file|not|found|no|such|space|left|permission|denied|read|write|folder|too|large|"
        "device|damaged|picture|photo|cannot|page|system|error|to|row|drawn|written|rendered|middle|background)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = english.match(message);
    QVERIFY2(!match.hasMatch(), qPrintable(message + QStringLiteral(" [") + match.captured() + ']'));
}

// The texts the program has always used for a label or settings file it
// could not write, and for a colour it could not read, stay as they were;
// their reasons are Dutch all the same.
void TstEditorParts::quotedMessagesStay()
{
    const QString label = QStringLiteral("/kazen/gouda.lbl");
    QCOMPARE(LabelWriteMessage(TFileProblem::FromCode(label, true, ENOSPC)),
             QStringLiteral("Unable to write to /kazen/gouda.lbl: de schijf is vol"));
    QCOMPARE(LoadProblemMessage({TLoadProblem::TKind::BadColor, QStringLiteral("Back"), QStringLiteral("Color"),
                                 QStringLiteral("oranje"), {}}),
             QStringLiteral("[Back] Color: ''oranje'' is not a valid integer value"));
    // An error number without a wording of its own keeps the system's text.
    QCOMPARE(SystemReasonText(EXDEV, QStringLiteral("Invalid cross-device link")),
             QStringLiteral("Invalid cross-device link"));
}

QTEST_MAIN(TstEditorParts)
#include "tst_editor_parts.moc"

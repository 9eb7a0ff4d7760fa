#include "merge/merge_table.h"

#include "label/text_file.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>

#include <csv.h>

#include <algorithm>

namespace {

struct TColumnName
{
    const char* Name;
    TMergeColumn Column;
};

// The texts by their element identifiers and by the captions the editor shows them under.
constexpr TColumnName ColumnNames[] = {
    {"Name", TMergeColumn::Name},
    {"Type", TMergeColumn::Type},
    {"Sub1", TMergeColumn::Sub1},
    {"Sub2", TMergeColumn::Sub2},
    {"Date", TMergeColumn::Date},
    {"Naam kaas", TMergeColumn::Name},
    {"Type kaas", TMergeColumn::Type},
    {"Productie 1", TMergeColumn::Sub1},
    {"Productie 2", TMergeColumn::Sub2},
    {"Datum productie", TMergeColumn::Date},
    {"FileName", TMergeColumn::FileName},
    {"PngFile", TMergeColumn::PngFile},
    {"Copies", TMergeColumn::Copies},
    {"File", TMergeColumn::File},
};

const char* const AllowedColumns =
    "Name, Type, Sub1, Sub2, Date (or Naam kaas, Type kaas, Productie 1, Productie 2, Datum productie), "
    "FileName, PngFile, Copies and File";

std::optional<TMergeColumn> ColumnByName(const QString& aName)
{
    for (const TColumnName& entry : ColumnNames) {
        if (aName.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0)
            return entry.Column;
    }
    return std::nullopt;
}

// A cell's value as shown in a message: quoted, and cut short when long.
QString Quoted(const QString& aValue)
{
    constexpr int MaxShown = 60;
    QString shown = aValue.size() > MaxShown ? aValue.left(MaxShown) + QStringLiteral("...") : aValue;
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// One record of the file: a spreadsheet row, which a quoted line break does not end.
struct TRecord
{
    int Row = 0;
    QStringList Fields;

    bool IsBlank() const
    {
        return std::all_of(Fields.begin(), Fields.end(), [](const QString& aField) { return aField.trimmed().isEmpty(); });
    }
};

// What libcsv's callbacks build up.
struct TParse
{
    QList<TRecord> Records;
    QStringList Fields;       // of the record being read
    int Row = 1;              // the spreadsheet row of the record being read
    bool FieldSeen = false;   // since the last end of a record
    bool EndedWithCr = false; // the last record ended with a carriage return
    int FilledRecords = 0;    // records that are not blank, the header included
};

void FieldRead(void* aData, size_t aSize, void* aParse)
{
    auto* parse = static_cast<TParse*>(aParse);
    parse->Fields.append(QString::fromUtf8(static_cast<const char*>(aData), qsizetype(aSize)));
    parse->FieldSeen = true;
}

void RecordEnded(int aTerminator, void* aParse)
{
    auto* parse = static_cast<TParse*>(aParse);
    // Every line end is reported, so that blank lines keep the rows counted
    // as a spreadsheet counts them; the LF of a CRLF only ends the CR's row.
    if (aTerminator == CSV_LF && !parse->FieldSeen && parse->EndedWithCr) {
        parse->EndedWithCr = false;
        return;
    }
    TRecord record{parse->Row, std::move(parse->Fields)};
    if (!record.IsBlank())
        ++parse->FilledRecords;
    parse->Records.append(std::move(record));
    parse->Fields = QStringList();
    ++parse->Row;
    parse->FieldSeen = false;
    parse->EndedWithCr = aTerminator == CSV_CR;
}

// The separator: a tab for .tsv and .tab files, otherwise the one of tab,
// semicolon and comma that the header row uses most outside quotes; a tie
// can only come from a header that names no allowed column anyway. A header
// of one column gets a byte that never occurs in UTF-8, so that a comma in a
// value of a one-column table stays text.
constexpr unsigned char NoSeparator = 0xFF;

unsigned char Separator(const QByteArray& aUtf8, const QString& aFileName)
{
    const QString suffix = QFileInfo(aFileName).suffix().toLower();
    if (suffix == QLatin1String("tsv") || suffix == QLatin1String("tab"))
        return CSV_TAB;
    int tabs = 0, semicolons = 0, commas = 0;
    bool quoted = false;
    for (const char c : aUtf8) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == '\t')
            ++tabs;
        else if (!quoted && c == ';')
            ++semicolons;
        else if (!quoted && c == ',')
            ++commas;
    }
    if (semicolons >= commas && semicolons >= tabs && semicolons > 0)
        return ';';
    if (tabs > commas)
        return CSV_TAB;
    return commas > 0 ? CSV_COMMA : NoSeparator;
}

// The table's text as UTF-8, whatever it was saved in (UTF-16 is what a
// Windows spreadsheet saves as "Unicode text"); nothing for what is no text.
std::optional<QByteArray> TableText(const QByteArray& aBytes)
{
    const bool utf16 = aBytes.startsWith("\xFF\xFE") || aBytes.startsWith("\xFE\xFF");
    // A spreadsheet's own file (a zip archive) or any other binary file.
    if (!utf16 && aBytes.contains('\0'))
        return std::nullopt;
    const std::optional<QString> text = DecodeText(aBytes);
    if (!text || text->contains(QChar(0)))
        return std::nullopt;
    return text->toUtf8();
}

// What reading found: the rows when there are no errors.
struct TReadResult
{
    QList<TMergeError> Errors;
    QList<std::optional<TMergeColumn>> Columns;
    QList<TMergeRow> Rows;
    qint64 Labels = 0;
};

class TReader
{
public:
    explicit TReader(const QString& aFileName) : FFileName(aFileName), FFolder(QFileInfo(aFileName).absoluteDir()) {}

    TReadResult Read();

private:
    void Check();
    void Fail(int aRow, int aColumn, const QString& aMessage);
    bool ReadRecords(const QByteArray& aUtf8, TParse& aParse);
    bool ReadHeader(const TRecord& aHeader);
    void ReadRow(const TRecord& aRecord);
    QString Picture(int aRow, int aColumn, const QString& aValue);
    std::optional<int> Copies(int aRow, int aColumn, const QString& aValue);
    std::optional<QString> OutputName(int aRow, int aColumn, const QString& aValue);

    QString FFileName;
    QDir FFolder;
    TReadResult FResult;
    QList<std::optional<TMergeColumn>>& FColumns = FResult.Columns;
    QStringList FHeaderNames;
    QHash<QString, QString> FPictureProblems;  // by absolute path; empty: a readable picture
};

void TReader::Fail(int aRow, int aColumn, const QString& aMessage)
{
    QString where = FFileName;
    if (aRow > 0)
        where += QStringLiteral(", row %1").arg(aRow);
    if (aColumn > 0) {
        where += QStringLiteral(", column ") + TMergeTable::ColumnLetters(aColumn);
        // Named as the header names it, for a data row.
        if (aRow > 1 && aColumn <= FColumns.size() && FColumns[aColumn - 1])
            where += QStringLiteral(" (%1)").arg(FHeaderNames[aColumn - 1]);
    }
    FResult.Errors.append(TMergeError{aRow, aColumn, where + QStringLiteral(": ") + aMessage});
}

bool TReader::ReadRecords(const QByteArray& aUtf8, TParse& aParse)
{
    // libcsv: RFC 4180 quoting with line breaks inside quotes, any one-byte
    // separator, a strict mode that refuses a stray quote instead of
    // guessing, and every line end reported (CSV_REPALL_NL), from which the
    // rows are counted as a spreadsheet counts them. It reports no position;
    // the callbacks' counts give the row and the field.
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
        Fail(0, 0, QStringLiteral("out of memory"));
        return false;
    }
    csv_set_delim(&parser, Separator(aUtf8, FFileName));
    // Parsed in pieces, so that a file of endless rows stops early.
    constexpr qsizetype Piece = 64 * 1024;
    bool ok = true;
    for (qsizetype start = 0; start < aUtf8.size() && ok; start += Piece) {
        const size_t size = size_t(std::min(Piece, aUtf8.size() - start));
        ok = csv_parse(&parser, aUtf8.constData() + start, size, FieldRead, RecordEnded, &aParse) == size;
        if (aParse.FilledRecords > TMergeTable::MaxRows + 1) {
            Fail(0, 0, QStringLiteral("the table has more than %1 rows; split it into smaller tables")
                           .arg(TMergeTable::MaxRows));
            csv_free(&parser);
            return false;
        }
    }
    // At the end only a quoted field left open can fail.
    const bool atEnd = ok;
    if (ok)
        ok = csv_fini(&parser, FieldRead, RecordEnded, &aParse) == 0 && csv_error(&parser) == CSV_SUCCESS;
    const int error = csv_error(&parser);
    csv_free(&parser);
    if (ok)
        return true;
    const int column = int(aParse.Fields.size()) + 1;
    if (error != CSV_EPARSE)
        Fail(aParse.Row, column, QStringLiteral("out of memory"));
    else if (atEnd)
        Fail(aParse.Row, column, QStringLiteral("a double quote begins a field that is never closed"));
    else
        Fail(aParse.Row, column,
             QStringLiteral("a double quote out of place: a field with quotes must begin and end with one, "
                            "and a quote inside it must be doubled"));
    return false;
}

bool TReader::ReadHeader(const TRecord& aHeader)
{
    if (aHeader.IsBlank()) {
        Fail(1, 0, QStringLiteral("the first row must name the columns, e.g. Name;Date;Copies"));
        return false;
    }
    QHash<TMergeColumn, int> seen;
    bool ok = true;
    for (const QString& field : aHeader.Fields) {
        const QString name = field.trimmed();
        FHeaderNames.append(name);
        const int column = int(FColumns.size()) + 1;
        if (name.isEmpty()) {
            FColumns.append(std::nullopt);
            continue;
        }
        const std::optional<TMergeColumn> known = ColumnByName(name);
        FColumns.append(known);
        if (!known) {
            Fail(1, column, QStringLiteral("unknown column %1; the columns are %2")
                                .arg(Quoted(name), QLatin1String(AllowedColumns)));
            ok = false;
        } else if (seen.contains(*known)) {
            Fail(1, column, QStringLiteral("%1 is the same column as column %2")
                                .arg(Quoted(name), TMergeTable::ColumnLetters(seen.value(*known))));
            ok = false;
        } else {
            seen.insert(*known, column);
        }
    }
    return ok;
}

QString TReader::Picture(int aRow, int aColumn, const QString& aValue)
{
    const QString path = QDir::cleanPath(FFolder.absoluteFilePath(aValue));
    auto found = FPictureProblems.constFind(path);
    if (found == FPictureProblems.constEnd()) {
        // Checked once per picture, by its header only: the renderer decodes it.
        const QFileInfo info(path);
        QString problem;
        if (!info.exists())
            problem = QStringLiteral("no such picture file %1").arg(Quoted(path));
        else if (!info.isFile())
            problem = QStringLiteral("%1 is not a picture file").arg(Quoted(path));
        else if (QImageReader::imageFormat(path).isEmpty())
            problem = QStringLiteral("%1 is not a picture that can be read").arg(Quoted(path));
        found = FPictureProblems.insert(path, problem);
    }
    if (!found->isEmpty()) {
        Fail(aRow, aColumn, *found);
        return {};
    }
    return path;
}

std::optional<int> TReader::Copies(int aRow, int aColumn, const QString& aValue)
{
    bool digitsOnly = aValue.size() <= 9;
    for (const QChar c : aValue)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int copies = digitsOnly ? aValue.toInt() : 0;
    if (copies < 1 || copies > TMergeTable::MaxCopies) {
        Fail(aRow, aColumn, QStringLiteral("%1 is not a whole number from 1 to %2")
                                .arg(Quoted(aValue)).arg(TMergeTable::MaxCopies));
        return std::nullopt;
    }
    return copies;
}

std::optional<QString> TReader::OutputName(int aRow, int aColumn, const QString& aValue)
{
    if (aValue.contains(QLatin1Char('/')) || aValue.contains(QLatin1Char('\\'))) {
        Fail(aRow, aColumn, QStringLiteral("%1 must be a file name without a folder").arg(Quoted(aValue)));
        return std::nullopt;
    }
    for (const QChar c : aValue) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringView(u":*?\"<>|").contains(c)) {
            Fail(aRow, aColumn, QStringLiteral("%1 holds a character that cannot be in a file name: %2")
                                    .arg(Quoted(aValue), QStringLiteral("\\ / : * ? \" < > |")));
            return std::nullopt;
        }
    }
    QString name = aValue;
    for (const char* extension : {".jpg", ".jpeg", ".png"}) {
        if (name.endsWith(QLatin1String(extension), Qt::CaseInsensitive)) {
            name.chop(qsizetype(qstrlen(extension)));
            break;
        }
    }
    // With the longest extension, ".jpg" or ".png", within the 255 bytes most file systems allow.
    if (name.trimmed().isEmpty() || name.toUtf8().size() + 4 > 255) {
        Fail(aRow, aColumn, QStringLiteral("%1 is not a file name that can be used").arg(Quoted(aValue)));
        return std::nullopt;
    }
    return name;
}

void TReader::ReadRow(const TRecord& aRecord)
{
    const int row = aRecord.Row;
    if (aRecord.Fields.size() > FColumns.size()) {
        Fail(row, int(FColumns.size()) + 1,
             QStringLiteral("the row has %1 fields, but the first row names only %2 columns")
                 .arg(aRecord.Fields.size()).arg(FColumns.size()));
        return;
    }
    TMergeRow merged;
    merged.SourceRow = row;
    for (int i = 0; i < aRecord.Fields.size(); ++i) {
        QString value = aRecord.Fields[i].trimmed();
        if (value.isEmpty())
            continue;
        const int column = i + 1;
        if (!FColumns[i]) {
            Fail(row, column, QStringLiteral("%1 stands in a column without a name in the first row").arg(Quoted(value)));
            continue;
        }
        switch (*FColumns[i]) {
        case TMergeColumn::Name:
        case TMergeColumn::Type:
        case TMergeColumn::Sub1:
        case TMergeColumn::Sub2:
        case TMergeColumn::Date:
            // A label text is one line; a spreadsheet cell may hold several.
            value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
            value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
            merged.Texts[size_t(*FColumns[i])] = value;
            break;
        case TMergeColumn::FileName:
            merged.FileName = Picture(row, column, value);
            break;
        case TMergeColumn::PngFile:
            merged.PngFile = Picture(row, column, value);
            break;
        case TMergeColumn::Copies:
            merged.Copies = Copies(row, column, value).value_or(1);
            break;
        case TMergeColumn::File:
            merged.File = OutputName(row, column, value).value_or(QString());
            break;
        }
    }
    FResult.Labels += merged.Copies;
    FResult.Rows.append(std::move(merged));
}

TReadResult TReader::Read()
{
    Check();
    if (FResult.Errors.size() > TMergeTable::MaxErrors) {
        const qsizetype more = FResult.Errors.size() - TMergeTable::MaxErrors;
        FResult.Errors.resize(TMergeTable::MaxErrors);
        FResult.Errors.append(TMergeError{0, 0, QStringLiteral("%1: and %2 more errors").arg(FFileName).arg(more)});
    }
    return std::move(FResult);
}

void TReader::Check()
{
    if (!QFileInfo::exists(FFileName)) {
        Fail(0, 0, QStringLiteral("no such table file"));
        return;
    }
    const TFileBytes file = ReadFileBytes(FFileName, TMergeTable::MaxFileBytes);
    if (!file.Error.isEmpty()) {
        FResult.Errors.append(TMergeError{0, 0, file.Error});
        return;
    }
    const std::optional<QByteArray> text = TableText(file.Bytes);
    if (!text) {
        Fail(0, 0, QStringLiteral("not a text table; save the spreadsheet as CSV"));
        return;
    }
    TParse parse;
    if (!ReadRecords(*text, parse))
        return;
    if (parse.Records.isEmpty()) {
        Fail(0, 0, QStringLiteral("the table is empty"));
        return;
    }
    if (!ReadHeader(parse.Records.first()))
        return;
    if (parse.FilledRecords < 2)
        Fail(0, 0, QStringLiteral("the table has no data rows: below the first row, each row gives one label"));
    for (qsizetype i = 1; i < parse.Records.size(); ++i) {
        if (!parse.Records[i].IsBlank())
            ReadRow(parse.Records[i]);
    }
    if (FResult.Labels > TMergeTable::MaxLabels)
        Fail(0, 0, QStringLiteral("the table gives %1 labels, more than the %2 one table may give")
                       .arg(FResult.Labels).arg(TMergeTable::MaxLabels));
}

QStringList Texts(const QList<TMergeError>& aErrors)
{
    QStringList texts;
    for (const TMergeError& error : aErrors)
        texts.append(error.Text);
    return texts;
}

}  // namespace

QStringList TMergeRead::Messages() const
{
    return Texts(Errors);
}

QStringList TMergeOutputs::Messages() const
{
    return Texts(Errors);
}

TMergeRead TMergeTable::Read(const QString& aFileName)
{
    TReadResult read = TReader(aFileName).Read();
    TMergeRead result;
    result.Errors = std::move(read.Errors);
    if (result.Errors.isEmpty()) {
        TMergeTable table;
        table.FFileName = aFileName;
        table.FColumns = std::move(read.Columns);
        table.FRows = std::move(read.Rows);
        table.FLabelCount = int(read.Labels);
        result.Table = std::move(table);
    }
    return result;
}

QString TMergeTable::ColumnLetters(int aColumn)
{
    QString letters;
    for (int rest = aColumn; rest > 0; rest = (rest - 1) / 26)
        letters.prepend(QChar(u'A' + (rest - 1) % 26));
    return letters;
}

TLabelDocument TMergeTable::Document(int aRow, const TLabelDocument& aDesign) const
{
    const TMergeRow& row = FRows[aRow];
    TLabelDocument doc = aDesign;
    for (int tag = 1; tag <= 5; ++tag) {
        if (!row.Texts[size_t(tag - 1)].isEmpty())
            doc.TextByTag(tag)->Text = row.Texts[size_t(tag - 1)];
    }
    // A row that names a picture wants it on its label, as if its switch
    // were on in the design too.
    if (!row.FileName.isEmpty()) {
        doc.FLabelBg.FileName = row.FileName;
        doc.FLabelBg.UseColor = false;
    }
    if (!row.PngFile.isEmpty()) {
        doc.FLabelBg.PngFile = row.PngFile;
        doc.FLabelBg.UsePng = true;
    }
    return doc;
}

TMergeOutputs TMergeTable::OutputFiles(const QString& aFolder, const QString& aDesignBaseName,
                                       const QString& aFormat) const
{
    TMergeOutputs outputs;
    const QString extension = aFormat.compare(QLatin1String("png"), Qt::CaseInsensitive) == 0
                                  ? QStringLiteral(".png") : QStringLiteral(".jpg");
    const QString base = aDesignBaseName.isEmpty() ? QStringLiteral("label") : aDesignBaseName;
    // Enough digits for the last row, so the files sort in table order.
    const int digits = std::max(3, int(QString::number(RowCount()).size()));
    const QDir folder(aFolder);
    const qsizetype fileColumn = FColumns.indexOf(std::optional<TMergeColumn>(TMergeColumn::File));
    QHash<QString, int> rowsByFile;
    for (int i = 0; i < RowCount(); ++i) {
        const TMergeRow& row = FRows[i];
        const QString name = row.File.isEmpty()
                                 ? QStringLiteral("%1-%2").arg(base).arg(i + 1, digits, 10, QLatin1Char('0'))
                                 : row.File;
        const QString path = QDir::cleanPath(folder.absoluteFilePath(name + extension));
        // Case folded: on a USB stick or a Windows share one would overwrite the other.
        const QString key = path.toCaseFolded();
        if (const auto earlier = rowsByFile.constFind(key); earlier != rowsByFile.constEnd()) {
            const int column = row.File.isEmpty() || fileColumn < 0 ? 0 : int(fileColumn) + 1;
            QString where = QStringLiteral("%1, row %2").arg(FFileName).arg(row.SourceRow);
            if (column > 0)
                where += QStringLiteral(", column %1 (File)").arg(ColumnLetters(column));
            outputs.Errors.append(TMergeError{row.SourceRow, column,
                                              QStringLiteral("%1: the output file %2 is also row %3's")
                                                  .arg(where, Quoted(QFileInfo(path).fileName()))
                                                  .arg(FRows[*earlier].SourceRow)});
            continue;
        }
        rowsByFile.insert(key, i);
        outputs.Files.append(path);
    }
    if (!outputs.Errors.isEmpty())
        outputs.Files.clear();
    return outputs;
}

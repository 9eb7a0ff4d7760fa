#include "merge/merge_table.h"

#include "label/atomic_file.h"
#include "label/text_file.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QSet>

#include <csv.h>

#include <algorithm>

#include <sys/stat.h>

namespace {

struct TColumnName
{
    const char* Name;
    TMergeColumn Column;
};

// Each column by its English name (the texts by their element identifiers)
// and its Dutch one (the texts by the captions the editor shows them under).
struct TColumnNames
{
    const char* English;
    const char* Dutch;
    TMergeColumn Column;
};

constexpr TColumnNames ColumnNameTable[] = {
    {"Name", "Naam kaas", TMergeColumn::Name},
    {"Type", "Type kaas", TMergeColumn::Type},
    {"Sub1", "Productie 1", TMergeColumn::Sub1},
    {"Sub2", "Productie 2", TMergeColumn::Sub2},
    {"Date", "Datum productie", TMergeColumn::Date},
    {"FileName", "Achtergrond foto", TMergeColumn::FileName},
    {"PngFile", "Foto midden", TMergeColumn::PngFile},
    {"Copies", "Aantal", TMergeColumn::Copies},
    {"File", "Bestand", TMergeColumn::File},
};

std::optional<TMergeColumn> ColumnByName(const QString& aName)
{
    for (const TColumnNames& entry : ColumnNameTable) {
        if (aName.compare(QLatin1String(entry.English), Qt::CaseInsensitive) == 0
            || aName.compare(QString::fromUtf8(entry.Dutch), Qt::CaseInsensitive) == 0)
            return entry.Column;
    }
    return std::nullopt;
}

// The quote byte libcsv is given: one that never occurs in UTF-8, so that a
// double quote the quoting does not use stays a character (see MarkQuotes).
constexpr unsigned char QuoteByte = 0xFE;

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

// What libcsv's callbacks build up: the records that hold something, while
// blank ones are only counted, so that a spreadsheet's million empty rows
// cost no memory.
struct TParse
{
    QList<TRecord> Records;
    QStringList Fields;       // of the record being read
    int Row = 1;              // the spreadsheet row of the record being read
    bool FieldSeen = false;   // since the last end of a record
    bool EndedWithCr = false; // the last record ended with a carriage return
    bool AnyRecord = false;   // a record was read, blank or not
    bool HeaderBlank = false; // the first record was blank
    int FilledRecords = 0;    // records that are not blank, the header included
};

void FieldRead(void* aData, size_t aSize, void* aParse)
{
    auto* parse = static_cast<TParse*>(aParse);
    QByteArray bytes(static_cast<const char*>(aData), qsizetype(aSize));
    bytes.replace(char(QuoteByte), '"');
    parse->Fields.append(QString::fromUtf8(bytes));
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
    if (!record.IsBlank()) {
        ++parse->FilledRecords;
        // Past the limit only the count matters: the reader stops at the next piece.
        if (parse->FilledRecords <= TMergeTable::MaxRows + 1)
            parse->Records.append(std::move(record));
    } else if (!parse->AnyRecord) {
        parse->HeaderBlank = true;
    }
    parse->AnyRecord = true;
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

// Excel's first line "sep=;" names the separator and is no row: it is taken
// off aUtf8, and the separator returned.
std::optional<unsigned char> TakeSeparatorLine(QByteArray& aUtf8)
{
    if (aUtf8.size() < 5 || !aUtf8.startsWith("sep=") || aUtf8[4] == '\n' || aUtf8[4] == '\r')
        return std::nullopt;
    qsizetype end = 5;
    if (end < aUtf8.size() && aUtf8[end] == '\r')
        ++end;
    if (end < aUtf8.size() && aUtf8[end] == '\n')
        ++end;
    if (end != aUtf8.size() && end == 5)
        return std::nullopt;  // more on the line: a header that begins "sep="
    const unsigned char separator = static_cast<unsigned char>(aUtf8[4]);
    aUtf8.remove(0, end);
    return separator;
}

// libcsv's strict mode refuses a quote inside a field without quotes, which
// spreadsheets take as a character (12" kaas), and its lenient mode reads
// text after a closing quote as part of a field that then runs on to the
// next quote. So the quotes that quote are told here, by the same rules
// libcsv follows, and marked with QuoteByte; libcsv quotes with that byte in
// strict mode, and the others stay characters.
void MarkQuotes(QByteArray& aUtf8, unsigned char aSeparator)
{
    enum class TState { Start, Plain, Quoted, AfterQuote } state = TState::Start;
    for (char& c : aUtf8) {
        const bool ends = static_cast<unsigned char>(c) == aSeparator || c == '\n' || c == '\r';
        const bool blank = c == ' ' || c == '\t';
        switch (state) {
        case TState::Start:
            if (c == '"') {
                c = char(QuoteByte);
                state = TState::Quoted;
            } else if (!ends && !blank) {
                state = TState::Plain;
            }
            break;
        case TState::Plain:
            if (ends)
                state = TState::Start;
            break;
        case TState::Quoted:
            if (c == '"') {
                c = char(QuoteByte);
                state = TState::AfterQuote;
            }
            break;
        case TState::AfterQuote:
            if (c == '"') {
                c = char(QuoteByte);  // a doubled quote
                state = TState::Quoted;
            } else if (ends) {
                state = TState::Start;
            } else if (!blank) {
                state = TState::Plain;  // libcsv refuses what follows a closing quote
            }
            break;
        }
    }
}

// Text whose every other byte is mostly zero and the others mostly printable:
// UTF-16 saved without its byte order mark, as far as it can be told from
// other binary data.
bool LooksLikeUtf16(const QByteArray& aBytes)
{
    const qsizetype pairs = aBytes.size() / 2;
    if (pairs < 2)
        return false;
    const auto printable = [](char c) { return static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r'; };
    qsizetype zeros[2] = {0, 0}, printables[2] = {0, 0};
    for (qsizetype i = 0; i + 1 < aBytes.size(); i += 2) {
        for (int half = 0; half < 2; ++half) {
            zeros[half] += aBytes[i + half] == '\0';
            printables[half] += printable(aBytes[i + half]);
        }
    }
    for (int half = 0; half < 2; ++half) {
        const int other = 1 - half;
        if (zeros[half] * 10 >= pairs * 9 && printables[other] * 10 >= pairs * 9)
            return true;
    }
    return false;
}

// The table's text as UTF-8, whatever it was saved in (UTF-16 is what a
// Windows spreadsheet saves as "Unicode text"); otherwise why it is no text.
std::optional<QByteArray> TableText(const QByteArray& aBytes, TMergeError::TKind& aProblem)
{
    const bool utf16 = aBytes.startsWith("\xFF\xFE") || aBytes.startsWith("\xFE\xFF");
    aProblem = TMergeError::TKind::NotText;
    // A spreadsheet's own file (a zip archive) or any other binary file.
    if (!utf16 && aBytes.contains('\0')) {
        if (LooksLikeUtf16(aBytes))
            aProblem = TMergeError::TKind::Utf16WithoutBom;
        return std::nullopt;
    }
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
    QStringList HeaderNames;
    QList<TMergeRow> Rows;
    qint64 Labels = 0;
};

using TKind = TMergeError::TKind;

class TReader
{
public:
    explicit TReader(const QString& aFileName) : FFileName(aFileName), FFolder(QFileInfo(aFileName).absoluteDir()) {}

    TReadResult Read();

private:
    void Check();
    TMergeError& Fail(TKind aKind, int aRow = 0, int aColumn = 0);
    bool ReadRecords(const QByteArray& aUtf8, unsigned char aSeparator, TParse& aParse);
    bool ReadHeader(const TRecord& aHeader);
    void ReadRow(const TRecord& aRecord);
    QString Picture(int aRow, int aColumn, const QString& aValue);
    std::optional<int> Copies(int aRow, int aColumn, const QString& aValue);
    std::optional<QString> OutputName(int aRow, int aColumn, const QString& aValue);

    QString FFileName;
    QDir FFolder;
    TReadResult FResult;
    QList<std::optional<TMergeColumn>>& FColumns = FResult.Columns;
    QStringList& FHeaderNames = FResult.HeaderNames;
    QHash<QString, std::optional<TKind>> FPictureProblems;  // by absolute path; nothing: a readable picture
};

TMergeError& TReader::Fail(TKind aKind, int aRow, int aColumn)
{
    TMergeError error;
    error.Kind = aKind;
    error.File = FFileName;
    error.Row = aRow;
    error.Column = aColumn;
    // Named as the header names it, for a data row.
    if (aRow > 1 && aColumn > 0 && aColumn <= FColumns.size() && FColumns[aColumn - 1])
        error.ColumnName = FHeaderNames[aColumn - 1];
    FResult.Errors.append(std::move(error));
    return FResult.Errors.last();
}

bool TReader::ReadRecords(const QByteArray& aUtf8, unsigned char aSeparator, TParse& aParse)
{
    // libcsv: RFC 4180 quoting with line breaks inside quotes, any one-byte
    // separator, a strict mode that refuses a stray quote instead of
    // guessing, and every line end reported (CSV_REPALL_NL), from which the
    // rows are counted as a spreadsheet counts them. It reports no position;
    // the callbacks' counts give the row and the field.
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
        Fail(TKind::OutOfMemory);
        return false;
    }
    csv_set_delim(&parser, aSeparator);
    csv_set_quote(&parser, QuoteByte);
    // Parsed in pieces, so that a file of endless rows stops early.
    constexpr qsizetype Piece = 64 * 1024;
    bool ok = true;
    for (qsizetype start = 0; start < aUtf8.size() && ok; start += Piece) {
        const size_t size = size_t(std::min(Piece, aUtf8.size() - start));
        ok = csv_parse(&parser, aUtf8.constData() + start, size, FieldRead, RecordEnded, &aParse) == size;
        if (aParse.FilledRecords > TMergeTable::MaxRows + 1) {
            Fail(TKind::TooManyRows).Limit = TMergeTable::MaxRows;
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
    if (ok) {
        if (aParse.FilledRecords > TMergeTable::MaxRows + 1) {
            Fail(TKind::TooManyRows).Limit = TMergeTable::MaxRows;
            return false;
        }
        return true;
    }
    const int column = int(aParse.Fields.size()) + 1;
    if (error != CSV_EPARSE)
        Fail(TKind::OutOfMemory, aParse.Row, column);
    else
        Fail(atEnd ? TKind::QuoteNotClosed : TKind::QuoteOutOfPlace, aParse.Row, column);
    return false;
}

bool TReader::ReadHeader(const TRecord& aHeader)
{
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
            Fail(TKind::UnknownColumn, 1, column).Value = name;
            ok = false;
        } else if (seen.contains(*known)) {
            TMergeError& error = Fail(TKind::SameColumn, 1, column);
            error.Value = name;
            error.Other = seen.value(*known);
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
        // Checked once per picture, by its header only: the renderer decodes
        // it, and a row whose picture it cannot draw is not written.
        const QFileInfo info(path);
        std::optional<TKind> problem;
        if (!info.exists())
            problem = TKind::NoSuchPicture;
        else if (!info.isFile())
            problem = TKind::NotAPictureFile;
        else if (QImageReader::imageFormat(path).isEmpty())
            problem = TKind::UnreadablePicture;
        found = FPictureProblems.insert(path, problem);
    }
    if (*found) {
        Fail(**found, aRow, aColumn).Value = path;
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
        TMergeError& error = Fail(TKind::BadCopies, aRow, aColumn);
        error.Value = aValue;
        error.Limit = TMergeTable::MaxCopies;
        return std::nullopt;
    }
    return copies;
}

std::optional<QString> TReader::OutputName(int aRow, int aColumn, const QString& aValue)
{
    if (aValue.contains(QLatin1Char('/')) || aValue.contains(QLatin1Char('\\'))) {
        Fail(TKind::NameWithFolder, aRow, aColumn).Value = aValue;
        return std::nullopt;
    }
    for (const QChar c : aValue) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringView(u":*?\"<>|").contains(c)) {
            Fail(TKind::BadNameCharacter, aRow, aColumn).Value = aValue;
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
    if (name.trimmed().isEmpty()) {
        Fail(TKind::UnusableName, aRow, aColumn).Value = aValue;
        return std::nullopt;
    }
    // With the longest extension, ".jpg" or ".png", and room for the
    // temporary name it is written under: checked now, not after rendering.
    if (name.toUtf8().size() + 4 > MaxWrittenNameBytes) {
        TMergeError& error = Fail(TKind::NameTooLong, aRow, aColumn);
        error.Value = aValue;
        error.Limit = MaxWrittenNameBytes - 4;
        return std::nullopt;
    }
    return name;
}

void TReader::ReadRow(const TRecord& aRecord)
{
    const int row = aRecord.Row;
    // Spreadsheets pad rows with empty fields; only a value there is an error.
    qsizetype fields = aRecord.Fields.size();
    while (fields > FColumns.size() && aRecord.Fields[fields - 1].trimmed().isEmpty())
        --fields;
    if (fields > FColumns.size()) {
        TMergeError& error = Fail(TKind::TooManyFields, row, int(FColumns.size()) + 1);
        error.Count = fields;
        error.Limit = FColumns.size();
        return;
    }
    TMergeRow merged;
    merged.SourceRow = row;
    // Every column the table has sets its value, an empty or missing cell too.
    for (int i = 0; i < FColumns.size(); ++i) {
        QString value = i < fields ? aRecord.Fields[i].trimmed() : QString();
        const int column = i + 1;
        if (!FColumns[i]) {
            if (!value.isEmpty())
                Fail(TKind::ValueWithoutColumn, row, column).Value = value;
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
            merged.FileName = value.isEmpty() ? QString() : Picture(row, column, value);
            break;
        case TMergeColumn::PngFile:
            merged.PngFile = value.isEmpty() ? QString() : Picture(row, column, value);
            break;
        case TMergeColumn::Copies:
            if (!value.isEmpty())
                merged.Copies = Copies(row, column, value).value_or(1);
            break;
        case TMergeColumn::File:
            if (!value.isEmpty())
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
        Fail(TKind::MoreErrors).Count = more;
    }
    return std::move(FResult);
}

void TReader::Check()
{
    const QFileInfo info(FFileName);
    if (!info.exists()) {
        Fail(TKind::NoSuchTable);
        return;
    }
    if (info.isDir()) {
        Fail(TKind::TableIsFolder);
        return;
    }
    if (!info.isFile()) {
        Fail(TKind::TableNotAFile);
        return;
    }
    if (info.size() > TMergeTable::MaxFileBytes) {
        Fail(TKind::TableTooLarge).Limit = TMergeTable::MaxFileBytes;
        return;
    }
    QFile file(FFileName);
    const auto unreadable = [&](const QString& aReason) {
        TMergeError& error = Fail(TKind::TableUnreadable);
        error.Value = aReason;
        error.Other = SystemErrorCode(aReason);
    };
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable(file.errorString());
        return;
    }
    file.close();
    const TFileBytes bytes = ReadFileBytes(FFileName, TMergeTable::MaxFileBytes);
    // Changed since the checks above: grown past the limit, replaced, or failing while read.
    switch (bytes.Problem.Kind) {
    case TFileProblem::TKind::None: break;
    case TFileProblem::TKind::TooLarge: Fail(TKind::TableTooLarge).Limit = TMergeTable::MaxFileBytes; return;
    case TFileProblem::TKind::Folder: Fail(TKind::TableIsFolder); return;
    case TFileProblem::TKind::NotRegularFile: Fail(TKind::TableNotAFile); return;
    default: unreadable(FileProblemReason(bytes.Problem)); return;
    }
    TKind notText = TKind::NotText;
    std::optional<QByteArray> text = TableText(bytes.Bytes, notText);
    if (!text) {
        Fail(notText);
        return;
    }
    const std::optional<unsigned char> named = TakeSeparatorLine(*text);
    const unsigned char separator = named ? *named : Separator(*text, FFileName);
    MarkQuotes(*text, separator);
    TParse parse;
    if (!ReadRecords(*text, separator, parse))
        return;
    if (!parse.AnyRecord) {
        Fail(TKind::Empty);
        return;
    }
    if (parse.HeaderBlank) {
        Fail(TKind::NoHeader, 1);
        return;
    }
    if (!ReadHeader(parse.Records.first()))
        return;
    if (parse.FilledRecords < 2)
        Fail(TKind::NoDataRows);
    for (qsizetype i = 1; i < parse.Records.size(); ++i)
        ReadRow(parse.Records[i]);
    if (FResult.Labels > TMergeTable::MaxLabels) {
        TMergeError& error = Fail(TKind::TooManyLabels);
        error.Count = FResult.Labels;
        error.Limit = TMergeTable::MaxLabels;
    }
}

// A file on the disk, however it is named: by another path, through a link
// or, on a disk that ignores case, in other letters.
struct TFileId
{
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const TFileId&) const = default;
};

std::optional<TFileId> FileId(const QString& aPath, bool aFollowLink)
{
    struct stat status = {};
    const QByteArray name = QFile::encodeName(aPath);
    if ((aFollowLink ? ::stat(name.constData(), &status) : ::lstat(name.constData(), &status)) != 0)
        return std::nullopt;
    // A link in the output's place is replaced, not written through.
    if (S_ISLNK(status.st_mode))
        return std::nullopt;
    return TFileId{status.st_dev, status.st_ino};
}

// The files a run reads, to tell an output that would replace one of them.
class TInputs
{
public:
    TInputs(const QString& aTable, const QList<TMergeRow>& aRows, const QStringList& aOthers)
    {
        Add(aTable);
        for (const QString& input : aOthers)
            Add(input);
        for (const TMergeRow& row : aRows) {
            for (const QString& picture : row.Pictures())
                Add(picture);
        }
    }

    bool Contains(const QString& aOutput) const
    {
        if (FPaths.contains(QDir::cleanPath(aOutput)))
            return true;
        const std::optional<TFileId> id = FileId(aOutput, false);
        return id && FIds.contains(*id);
    }

private:
    void Add(const QString& aPath)
    {
        if (aPath.isEmpty())
            return;
        const QString path = QDir::cleanPath(QFileInfo(aPath).absoluteFilePath());
        if (FPaths.contains(path))
            return;
        FPaths.insert(path);
        if (const std::optional<TFileId> id = FileId(path, true))
            FIds.append(*id);
    }

    QSet<QString> FPaths;
    QList<TFileId> FIds;
};

}  // namespace

QStringList TMergeRow::Pictures() const
{
    QStringList pictures;
    for (const std::optional<QString>& picture : {FileName, PngFile}) {
        if (picture && !picture->isEmpty())
            pictures << *picture;
    }
    return pictures;
}

QList<std::pair<QString, QString>> TMergeTable::ColumnNames()
{
    QList<std::pair<QString, QString>> names;
    for (const TColumnNames& entry : ColumnNameTable)
        names.append({QLatin1String(entry.English), QString::fromUtf8(entry.Dutch)});
    return names;
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
        table.FHeaderNames = std::move(read.HeaderNames);
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
        if (const std::optional<QString>& text = row.Texts[size_t(tag - 1)])
            doc.TextByTag(tag)->Text = *text;
    }
    // A row that names a picture wants it on its label, as if its switch
    // were on in the design too; an empty cell wants none.
    if (row.FileName) {
        doc.FLabelBg.FileName = *row.FileName;
        doc.FLabelBg.UseColor = row.FileName->isEmpty();
    }
    if (row.PngFile) {
        doc.FLabelBg.PngFile = *row.PngFile;
        doc.FLabelBg.UsePng = !row.PngFile->isEmpty();
    }
    return doc;
}

std::optional<TMergeError> TMergeTable::OutputIsInput(const QString& aOutput, const QStringList& aInputs) const
{
    const TInputs inputs(FFileName, FRows, aInputs);
    const QString output = QDir::cleanPath(QFileInfo(aOutput).absoluteFilePath());
    if (!inputs.Contains(output))
        return std::nullopt;
    TMergeError error;
    error.Kind = TMergeError::TKind::OutputIsInput;
    error.File = FFileName;
    error.Value = output;
    return error;
}

TMergeOutputs TMergeTable::OutputFiles(const QString& aFolder, const QString& aDesignBaseName,
                                       const QString& aFormat, const QStringList& aInputs) const
{
    TMergeOutputs outputs;
    const QString extension = aFormat.compare(QLatin1String("png"), Qt::CaseInsensitive) == 0
                                  ? QStringLiteral(".png") : QStringLiteral(".jpg");
    const QString base = aDesignBaseName.isEmpty() ? QStringLiteral("label") : aDesignBaseName;
    // Enough digits for the last row, so the files sort in table order.
    const int digits = std::max(3, int(QString::number(RowCount()).size()));
    const QDir folder(aFolder);
    const qsizetype fileColumn = FColumns.indexOf(std::optional<TMergeColumn>(TMergeColumn::File));
    // Every file the run reads: writing one would lose the user's file and
    // change the labels of the rows after it.
    const TInputs inputs(FFileName, FRows, aInputs);
    QHash<QString, int> rowsByFile;
    for (int i = 0; i < RowCount(); ++i) {
        const TMergeRow& row = FRows[i];
        const QString name = row.File.isEmpty()
                                 ? QStringLiteral("%1-%2").arg(base).arg(i + 1, digits, 10, QLatin1Char('0'))
                                 : row.File;
        const QString path = QDir::cleanPath(folder.absoluteFilePath(name + extension));
        const auto fail = [&](TMergeError::TKind aKind) -> TMergeError& {
            TMergeError error;
            error.Kind = aKind;
            error.File = FFileName;
            error.Row = row.SourceRow;
            if (!row.File.isEmpty() && fileColumn >= 0) {
                error.Column = int(fileColumn) + 1;
                error.ColumnName = FHeaderNames.value(fileColumn);
            }
            outputs.Errors.append(std::move(error));
            return outputs.Errors.last();
        };
        if (inputs.Contains(path)) {
            fail(TMergeError::TKind::OutputIsInput).Value = path;
            continue;
        }
        // A numbered name grows with the design's name, which no cell checked.
        if (row.File.isEmpty() && (name + extension).toUtf8().size() > MaxWrittenNameBytes) {
            TMergeError& error = fail(TMergeError::TKind::NameTooLong);
            error.Value = name + extension;
            error.Limit = MaxWrittenNameBytes - 4;
            continue;
        }
        // Case folded: on a USB stick or a Windows share one would overwrite the other.
        const QString key = path.toCaseFolded();
        if (const auto earlier = rowsByFile.constFind(key); earlier != rowsByFile.constEnd()) {
            TMergeError& error = fail(TMergeError::TKind::SameOutput);
            error.Value = QFileInfo(path).fileName();
            error.Other = FRows[*earlier].SourceRow;
            continue;
        }
        rowsByFile.insert(key, i);
        outputs.Files.append(path);
    }
    if (!outputs.Errors.isEmpty())
        outputs.Files.clear();
    return outputs;
}

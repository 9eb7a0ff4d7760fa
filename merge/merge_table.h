#pragma once

#include "label/label_document.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <utility>

// What one cell of a merge table replaces.
enum class TMergeColumn {
    Name, Type, Sub1, Sub2, Date,  // the five label texts
    FileName,                      // the background photo
    PngFile,                       // the middle picture
    Copies,                        // labels of this row (print and PDF)
    File,                          // the row's output picture
};

// A problem with a table, found before anything is rendered or written: what
// it is and the values a message needs. The editor words it in Dutch,
// merovik-render in English.
struct TMergeError
{
    enum class TKind {
        NoSuchTable,        // the table file does not exist
        TableIsFolder,
        TableNotAFile,      // a device or pipe
        TableTooLarge,      // Limit: the bytes a table may have
        TableUnreadable,    // Value: the system's reason; Other: its error number, 0 when unknown
        NotText,            // a spreadsheet's own file or other binary data
        Utf16WithoutBom,    // UTF-16 text that does not say so
        OutOfMemory,
        QuoteOutOfPlace,    // text after a closing quote
        QuoteNotClosed,
        Empty,              // nothing in the file
        NoHeader,           // the first row is blank
        UnknownColumn,      // Value: the name; TMergeTable::ColumnNames() the accepted ones
        SameColumn,         // Value: the name; Other: the column it repeats
        TooManyFields,      // Count: the row's fields; Limit: the header's columns
        ValueWithoutColumn, // Value: the cell
        NoSuchPicture,      // Value: the absolute path
        NotAPictureFile,    // Value: the absolute path (a folder, a device)
        UnreadablePicture,  // Value: the absolute path
        BadCopies,          // Value: the cell; Limit: TMergeTable::MaxCopies
        NameWithFolder,     // Value: the cell
        BadNameCharacter,   // Value: the cell
        UnusableName,       // Value: the cell (blank, or only an extension)
        NameTooLong,        // Value: the cell; Limit: the bytes a name may have
        NoDataRows,
        TooManyRows,        // Limit: TMergeTable::MaxRows
        TooManyLabels,      // Count: the labels; Limit: TMergeTable::MaxLabels
        MoreErrors,         // Count: the errors not listed
        SameOutput,         // Value: the output's file name; Other: the earlier row
        OutputIsInput,      // Value: the output's path, which the run reads
    };

    TKind Kind = TKind::NoSuchTable;
    QString File;        // the table file, as given to Read
    int Row = 0;         // 1-based, as a spreadsheet shows it (the header is row 1); 0: the whole table
    int Column = 0;      // 1-based (column A is 1); 0: the whole row or table
    QString ColumnName;  // the column as the header names it, for an error in a data row
    QString Value;
    qint64 Count = 0;
    qint64 Limit = 0;
    int Other = 0;
};

// One data row, as read. A text or picture is set when the table has its
// column, empty when the cell is: only a column the table lacks leaves the
// design's value.
struct TMergeRow
{
    int SourceRow = 0;                               // the row's number in the table, for messages
    std::array<std::optional<QString>, 5> Texts;     // Name, Type, Sub1, Sub2, Date
    std::optional<QString> FileName;                 // absolute path of the background photo; empty: none
    std::optional<QString> PngFile;                  // absolute path of the middle picture; empty: none
    int Copies = 1;
    QString File;                                    // output file name without extension; empty: numbered

    // The pictures the row names, which its label must show.
    QStringList Pictures() const;
};

struct TMergeRead;

// The output pictures of a table, one per row in table order.
struct TMergeOutputs
{
    QStringList Files;  // absolute paths in the output folder; empty when Errors is not
    QList<TMergeError> Errors;

    bool Ok() const { return Errors.isEmpty(); }
};

// A merge table: one design, one label per row. Read from a CSV or TSV file
// as spreadsheets save them:
// - comma, semicolon or tab separated, told by the header row (a .tsv or
//   .tab file is always tab separated) or by a first line "sep=;" as Excel
//   writes it; fields in double quotes may hold separators, line breaks and
//   doubled quotes; a quote inside a field without quotes is a character
//   (12" kaas), as spreadsheets read it;
// - UTF-8 with or without byte order mark, UTF-16 with byte order mark
//   ("Unicode text"), otherwise Windows-1252; CRLF, LF or CR line ends.
// The first row names the columns (any case, blanks around ignored), each by
// its English or Dutch name: Name or "Naam kaas", Type or "Type kaas", Sub1
// or "Productie 1", Sub2 or "Productie 2", Date or "Datum productie",
// FileName or "Achtergrond foto", PngFile or "Foto midden", Copies or
// "Aantal", File or "Bestand". Rules:
// - An unknown name, a column named twice (also under both of its names)
//   and a header without any name are errors; a column without a name is
//   allowed only when all its cells are empty (a spreadsheet's stray column).
// - Cells are taken without the blanks around them. An empty cell gives an
//   empty text, no photo (the colour background), no middle picture; only a
//   column the table lacks keeps the design's value. An empty Copies is 1,
//   an empty File the numbered name. A line break inside a text becomes a
//   space: label texts are single lines.
// - A row with fewer fields than the header has its missing cells empty;
//   empty fields past the header's columns (spreadsheets pad rows) are
//   ignored, a value there is an error. Rows whose cells are all empty are
//   counted, not kept, and are no data rows.
// - FileName and PngFile name a picture, relative to the table's folder or
//   absolute; it must exist and be a picture Qt can read, so that a typo
//   never prints a label without it. A row that names a picture shows it:
//   the photo becomes the background, the middle picture is switched on.
// - Copies is a whole number from 1 to MaxCopies.
// - File is a bare file name: no folder part and none of the characters
//   \ / : * ? " < > | or control characters, so that no row can write
//   outside the chosen folder nor fail on a disk of another system; a
//   ".jpg", ".jpeg" or ".png" at its end is replaced by the format's; with
//   the extension at most MaxWrittenNameBytes bytes (atomic_file.h).
// - At least one data row, at most MaxRows, at most MaxLabels labels in all,
//   and a file of at most MaxFileBytes.
// Errors name the file, the row and the column as a spreadsheet shows them;
// all errors of a table are reported at once, up to MaxErrors.
class TMergeTable
{
public:
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
    static constexpr int MaxRows = 10000;
    static constexpr int MaxCopies = 1000;
    static constexpr int MaxLabels = 100000;
    static constexpr int MaxErrors = 20;

    static TMergeRead Read(const QString& aFileName);

    // The table file as given to Read.
    const QString& FileName() const { return FFileName; }
    // The columns in the file's order; nothing for a column without a name.
    const QList<std::optional<TMergeColumn>>& Columns() const { return FColumns; }

    // Data rows, in table order; aRow counts from 0.
    int RowCount() const { return int(FRows.size()); }
    const TMergeRow& Row(int aRow) const { return FRows[aRow]; }
    int Copies(int aRow) const { return FRows[aRow].Copies; }
    // Labels of all rows with their copies: what a print or PDF gives.
    int LabelCount() const { return FLabelCount; }

    // The design with row aRow's values: the document that loading a label
    // file holding the design and those values gives, so its picture equals
    // that file's pixel for pixel. Touches nothing shared: workers may call
    // it at the same time.
    TLabelDocument Document(int aRow, const TLabelDocument& aDesign) const;

    // The accepted column names, English and Dutch, in the order messages list them.
    static QList<std::pair<QString, QString>> ColumnNames();

    // One picture per row in aFolder: the row's File, or aDesignBaseName
    // (e.g. "Gouda_10" for Gouda_10.lbl; "label" when empty) followed by "-"
    // and the data row's number counted from 1, with at least three digits
    // (Gouda_10-001.jpg). The extension is ".png" for the format "png",
    // ".jpg" otherwise. Two rows with the same file (compared without regard
    // to case, as on a disk of another system) are an error, and so is an
    // output that is a file the run reads: the table, a picture a row names,
    // or one of aInputs (the design file and its pictures).
    TMergeOutputs OutputFiles(const QString& aFolder, const QString& aDesignBaseName, const QString& aFormat,
                              const QStringList& aInputs = {}) const;

    // The error that aOutput (e.g. a merged PDF) is a file the run reads, or
    // nothing; aInputs as for OutputFiles.
    std::optional<TMergeError> OutputIsInput(const QString& aOutput, const QStringList& aInputs = {}) const;

    // Spreadsheet letters of a 1-based column number: 1 is "A", 27 is "AA".
    static QString ColumnLetters(int aColumn);

private:
    QString FFileName;
    QList<std::optional<TMergeColumn>> FColumns;
    QStringList FHeaderNames;
    QList<TMergeRow> FRows;
    int FLabelCount = 0;
};

struct TMergeRead
{
    std::optional<TMergeTable> Table;  // set exactly when Errors is empty
    QList<TMergeError> Errors;

    bool Ok() const { return Errors.isEmpty(); }
};

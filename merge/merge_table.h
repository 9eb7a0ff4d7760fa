#pragma once

#include "label/label_document.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// What one cell of a merge table replaces.
enum class TMergeColumn {
    Name, Type, Sub1, Sub2, Date,  // the five label texts
    FileName,                      // the background photo
    PngFile,                       // the middle picture
    Copies,                        // labels of this row (print and PDF)
    File,                          // the row's output picture
};

// A problem with a table, found before anything is rendered or written.
struct TMergeError
{
    int Row = 0;     // 1-based, as a spreadsheet shows it (the header is row 1); 0: the whole table
    int Column = 0;  // 1-based (column A is 1); 0: the whole row or table
    QString Text;    // the message, naming the table file, row and column
};

// One data row, as read; empty fields leave the design's value.
struct TMergeRow
{
    int SourceRow = 0;                // the row's number in the table, for messages
    std::array<QString, 5> Texts;     // Name, Type, Sub1, Sub2, Date; empty: the design's
    QString FileName;                 // absolute path of the background photo; empty: the design's
    QString PngFile;                  // absolute path of the middle picture; empty: the design's
    int Copies = 1;
    QString File;                     // output file name without extension; empty: numbered
};

struct TMergeRead;

// The output pictures of a table, one per row in table order.
struct TMergeOutputs
{
    QStringList Files;  // absolute paths in the output folder; empty when Errors is not
    QList<TMergeError> Errors;

    bool Ok() const { return Errors.isEmpty(); }
    QStringList Messages() const;
};

// A merge table: one design, one label per row. Read from a CSV or TSV file
// as spreadsheets save them:
// - comma, semicolon or tab separated, told by the header row (a .tsv or
//   .tab file is always tab separated); fields in double quotes may hold
//   separators, line breaks and doubled quotes;
// - UTF-8 with or without byte order mark, UTF-16 with byte order mark
//   ("Unicode text"), otherwise Windows-1252; CRLF, LF or CR line ends.
// The first row names the columns (any case, blanks around ignored): Name,
// Type, Sub1, Sub2, Date or the editor's captions of those texts ("Naam
// kaas", "Type kaas", "Productie 1", "Productie 2", "Datum productie"),
// FileName, PngFile, Copies, File. Rules:
// - An unknown name, a column named twice (also under both of its names)
//   and a header without any name are errors; a column without a name is
//   allowed only when all its cells are empty (a spreadsheet's stray column).
// - Cells are taken without the blanks around them; an empty cell leaves the
//   design's value. A line break inside a text becomes a space: label texts
//   are single lines.
// - A row with fewer fields than the header has its missing cells empty; a
//   row with more is an error. Rows whose cells are all empty are skipped and
//   do not count as data rows.
// - FileName and PngFile name a picture, relative to the table's folder or
//   absolute; it must exist and be a picture Qt can read, so that a typo
//   never prints a label without it. A row that names a picture shows it:
//   the photo becomes the background, the middle picture is switched on.
// - Copies is a whole number from 1 to MaxCopies; empty means 1.
// - File is a bare file name: no folder part and none of the characters
//   \ / : * ? " < > | or control characters, so that no row can write
//   outside the chosen folder nor fail on a disk of another system; a
//   ".jpg", ".jpeg" or ".png" at its end is replaced by the format's.
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

    // One picture per row in aFolder: the row's File, or aDesignBaseName
    // (e.g. "Gouda_10" for Gouda_10.lbl; "label" when empty) followed by "-"
    // and the data row's number counted from 1, with at least three digits
    // (Gouda_10-001.jpg). The extension is ".png" for the format "png",
    // ".jpg" otherwise. Two rows with the same file (compared without regard
    // to case, as on a disk of another system) are an error.
    TMergeOutputs OutputFiles(const QString& aFolder, const QString& aDesignBaseName, const QString& aFormat) const;

    // Spreadsheet letters of a 1-based column number: 1 is "A", 27 is "AA".
    static QString ColumnLetters(int aColumn);

private:
    QString FFileName;
    QList<std::optional<TMergeColumn>> FColumns;
    QList<TMergeRow> FRows;
    int FLabelCount = 0;
};

struct TMergeRead
{
    std::optional<TMergeTable> Table;  // set exactly when Errors is empty
    QList<TMergeError> Errors;

    bool Ok() const { return Errors.isEmpty(); }
    QStringList Messages() const;
};

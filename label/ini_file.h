#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// An INI file that keeps every line it does not write.
//
// QSettings rewrites whole files, reorders keys and escapes values; a label
// file edited by hand must keep its comments, unknown keys and order, so
// this small reader/writer edits the lines in place instead.
//
// Opening reads the file if it exists; writes change the lines in memory and
// reach the disk, atomically, only in Commit().
class TIniFile
{
public:
    explicit TIniFile(const QString& aFileName);

    const QString& FileName() const { return FFileName; }
    // False when no file of that name existed at opening (every key then reads its default).
    bool Exists() const { return FExists; }
    // Non-empty when the file exists but could not be read (a folder, an I/O error).
    const QString& ReadError() const { return FReadError; }

    bool HasKey(const QString& aSection, const QString& aKey) const;
    QString ReadString(const QString& aSection, const QString& aKey, const QString& aDefault) const;
    int32_t ReadInteger(const QString& aSection, const QString& aKey, int32_t aDefault) const;
    bool ReadBool(const QString& aSection, const QString& aKey, bool aDefault) const;

    void WriteString(const QString& aSection, const QString& aKey, const QString& aValue);
    void WriteInteger(const QString& aSection, const QString& aKey, int32_t aValue);
    void WriteBool(const QString& aSection, const QString& aKey, bool aValue);

    // Writes the file atomically (temporary file, then rename). Returns an
    // empty string on success, else "Unable to write to <file>: <reason>".
    QString Commit();

    // Serialised contents as Commit() would write them.
    QByteArray Contents() const;

private:
    // One line of the file, kept as read so that a write changes nothing else.
    struct TLine
    {
        QString Text;         // without its line end
        QString Ending;       // "\n", "\r\n", or empty for a last line without one
        qsizetype ValueStart = -1;  // where the value begins on a key line, else -1
    };

    // The lines from one section header up to the next; the lines before the
    // first header form a section without a header that no lookup reaches.
    struct TSection
    {
        std::vector<TLine> Lines;
        // The blank lines at the end of the section, split off at the first
        // added key so that new keys go before them without moving them.
        std::vector<TLine> Trailer;
        bool TrailerSplit = false;
    };

    struct TPosition
    {
        int Section = -1;
        int Line = -1;
    };

    enum class TEncoding { Utf8, Windows1252 };

    void SetReadError(const QString& aReason);
    void Parse(const QString& aText);
    int AddSection(const QString& aSection);
    TLine& LastLine();
    const TLine* FindKey(const QString& aSection, const QString& aKey) const;
    void SetValue(const QString& aSection, const QString& aKey, const QString& aText);

    QString FFileName;
    bool FExists = false;
    QString FReadError;
    QString FReadReason;  // FReadError without the file name
    QString FNewline = QStringLiteral("\n");
    bool FBom = false;
    TEncoding FEncoding = TEncoding::Utf8;
    bool FChanged = false;
    std::vector<TSection> FSections;
    // Lookups by case-folded name, so that a large file is not searched line
    // by line for each of the keys a label reads and writes.
    QHash<QString, int> FSectionIndex;
    QHash<QString, TPosition> FKeyIndex;
};

// Reads a 32-bit integer literal: optional leading spaces, optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X",
// and nothing after the digits. Hexadecimal literals that need all 32 bits
// are taken as the bit pattern. Anything else gives no value.
std::optional<int32_t> ParseIntegerLiteral(const QString& aText);

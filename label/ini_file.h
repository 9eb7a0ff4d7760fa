#pragma once

#include <QByteArray>
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
    // empty string on success, else "Unable to write to <file>".
    QString Commit();

    // Serialised contents as Commit() would write them.
    QByteArray Contents() const;

private:
    struct Line
    {
        QString Text;      // the line as read or written, without line end
        QString Section;   // lower-cased section this line belongs to
        QString Key;       // lower-cased key, empty for non-key lines
        bool IsHeader = false;
    };

    int FindKeyLine(const QString& aSection, const QString& aKey) const;
    void Parse(const QString& aText);

    QString FFileName;
    bool FExists = false;
    QString FReadError;
    bool FCrlf = false;
    bool FBom = false;
    bool FChanged = false;
    std::vector<Line> FLines;
};

// Reads a 32-bit integer literal: optional leading spaces, optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X",
// and nothing after the digits. Hexadecimal literals that need all 32 bits
// are taken as the bit pattern. Anything else gives no value.
std::optional<int32_t> ParseIntegerLiteral(const QString& aText);

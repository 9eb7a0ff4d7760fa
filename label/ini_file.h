#pragma once

#include "label/file_problem.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <map>
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
//
// Reading: UTF-16 (little or big endian) when the file starts with its
// byte-order mark; otherwise each line is UTF-8 when it is valid UTF-8 and
// Windows-1252 when not, so one stray byte garbles one line, not the file.
// Lines end in LF, CR LF or CR alone. Not read at all ("not a label file"):
// a picture, or binary data (NUL characters); nor a file over MaxFileSize.
//
// Writing: lines not written keep their bytes. Written and added lines use
// the file's encoding: UTF-16 with its byte-order mark; Windows-1252 for a
// file all of whose lines were Windows-1252 or ASCII, as long as every
// character fits (otherwise the whole file becomes UTF-8, so it still reads
// back the same); UTF-8 for the rest, a byte-order mark kept.
class TIniFile
{
public:
    // No label or settings file comes near; a larger file is refused unread.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    explicit TIniFile(const QString& aFileName);

    const QString& FileName() const { return FFileName; }
    // False when no file of that name existed at opening (every key then reads its default).
    bool Exists() const { return FExists; }
    // A problem when the file exists but was not read: a folder, a system
    // error, not a label file (a picture, binary data), too large. Every key
    // then reads its default and Commit() refuses to write over the file.
    const TFileProblem& ReadProblem() const { return FReadProblem; }
    // ReadProblem() in English ("Unable to read <file>: <reason>"), or empty.
    QString ReadError() const { return FileProblemText(FReadProblem); }

    bool HasSection(const QString& aSection) const;
    bool HasKey(const QString& aSection, const QString& aKey) const;
    QString ReadString(const QString& aSection, const QString& aKey, const QString& aDefault) const;
    int32_t ReadInteger(const QString& aSection, const QString& aKey, int32_t aDefault) const;
    bool ReadBool(const QString& aSection, const QString& aKey, bool aDefault) const;

    void WriteString(const QString& aSection, const QString& aKey, const QString& aValue);
    void WriteInteger(const QString& aSection, const QString& aKey, int32_t aValue);
    void WriteBool(const QString& aSection, const QString& aKey, bool aValue);

    // Writes the file atomically (temporary file, then rename). Returns no
    // problem on success, else the file and why it was not written.
    TFileProblem Commit();

    // Serialised contents as Commit() would write them.
    QByteArray Contents() const;

private:
    enum class TEncoding { Utf8, Windows1252, Utf16Le, Utf16Be };

    // A case-folded name's hash and what it names (a header's ordinal or a
    // line). Sorted by hash and then by place, so the first of duplicate
    // names comes first; a match is confirmed on the line itself.
    struct TIndexEntry
    {
        uint32_t Hash = 0;
        uint32_t Where = 0;

        auto operator<=>(const TIndexEntry&) const = default;
    };

    // A section this object added after the lines of the file.
    struct TAddedSection
    {
        QString Header;
        std::vector<QString> Lines;
        bool BlankAfter = false;  // the blank line before the section added after it
    };

    // Where an added key's line is: in added section Section, or, when
    // Section is -1, among the lines added after line AfterLine of the file.
    struct TAddedKey
    {
        int Section = -1;
        uint32_t AfterLine = 0;
        int Index = 0;
    };

    void SetReadProblem(TFileProblem::TKind aKind, const QString& aDetail = {});
    void Decode(const QByteArray& aBytes);
    void Parse();

    uint32_t LineCount() const { return uint32_t(FLineStarts.size() - 1); }
    QStringView LineWithEnding(uint32_t aLine) const;
    QStringView OriginalLine(uint32_t aLine) const;  // as read, without its line end
    QStringView Ending(uint32_t aLine) const;        // empty for a last line without one
    QStringView CurrentLine(uint32_t aLine) const;   // as written since, or as read
    QString HeaderName(uint32_t aHeader) const;      // case-folded
    uint32_t LastNonBlankLine(uint32_t aHeader) const;
    int FindSection(const QString& aFolded) const;   // the first header of that name, or -1
    std::optional<uint32_t> FindFileKey(const QString& aFoldedSection, const QString& aFoldedKey) const;
    std::optional<QStringView> FindKey(const QString& aSection, const QString& aKey) const;
    std::optional<QString> Value(const QString& aSection, const QString& aKey) const;
    const QString& AddedLine(const TAddedKey& aKey) const;
    QString& AddedLine(const TAddedKey& aKey);
    int AddSection(const QString& aSection);
    void SetValue(const QString& aSection, const QString& aKey, const QString& aText);
    TEncoding WriteEncoding() const;

    QString FFileName;
    bool FExists = false;
    TFileProblem FReadProblem;
    TEncoding FEncoding = TEncoding::Utf8;
    bool FBom = false;  // a UTF-8 file that began with a byte-order mark
    QString FNewline = QStringLiteral("\n");
    bool FChanged = false;

    // The file as read: its text and where each line starts (one entry more,
    // at the end), with indexes of its headers and keys. Kept this compact
    // (a few bytes a line besides the text) so that reading a file costs a
    // small multiple of its size.
    QString FText;
    std::vector<uint32_t> FLineStarts;
    std::vector<uint32_t> FHeaders;           // the header lines, in order
    std::vector<TIndexEntry> FSectionIndex;   // Where: a header's ordinal
    std::vector<TIndexEntry> FKeyIndex;       // Where: the key's line
    std::vector<uint32_t> FWindows1252Lines;  // of a UTF-8 file, in order

    // What was written since: changed key lines, keys added after a line of
    // the file, and sections added after the file.
    QHash<uint32_t, QString> FChangedLines;
    std::map<uint32_t, std::vector<QString>> FAddedAfter;
    bool FBlankAfterFile = false;
    std::vector<TAddedSection> FAddedSections;
    QHash<QString, int> FAddedSectionIndex;  // by case-folded name
    QHash<QString, TAddedKey> FAddedKeys;    // by case-folded section and key
};

// Reads a 32-bit integer literal: optional leading spaces, optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X",
// and nothing after the digits. Hexadecimal literals that need all 32 bits
// are taken as the bit pattern. Anything else gives no value.
std::optional<int32_t> ParseIntegerLiteral(const QString& aText);

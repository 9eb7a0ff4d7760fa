#pragma once

#include <QString>

// Why a file could not be read or written, as a value: the editor and the
// command-line renderer word it, each in its own language.
struct TFileProblem
{
    enum class TKind {
        None,
        System,          // Code: the system's error number, Detail: the system's own text
        NotFound,        // reading: no such file
        Folder,          // the name is a folder
        NotRegularFile,  // a device or pipe
        TooLarge,        // larger than a label file can be (TIniFile::MaxFileSize)
        NotLabelFile,    // Detail: the kind of picture it is ("JPEG image"), empty for binary data
        Encoder,         // a picture could not be encoded; Detail: the encoder's text
    };

    TKind Kind = TKind::None;
    bool Writing = false;  // false: reading
    QString File;
    int Code = 0;
    QString Detail;

    bool IsNone() const { return Kind == TKind::None; }
    bool operator==(const TFileProblem&) const = default;

    // A problem of aKind other than System.
    static TFileProblem Of(TKind aKind, const QString& aFile, bool aWriting, const QString& aDetail = {});
    // The system's error aCode (errno) met reading or writing aFile.
    static TFileProblem FromCode(const QString& aFile, bool aWriting, int aCode);
    // As FromCode, from the text Qt gives for a failure (QFileDevice::errorString()):
    // the error number whose text it is, else the text alone.
    static TFileProblem FromText(const QString& aFile, bool aWriting, const QString& aText);
};

// The system's error number whose text (qt_error_string) is aText, for the
// reasons a user can act on; 0 for any other text.
int SystemErrorCode(const QString& aText);

// In English, as merovik-render prints it: "Unable to read <file>: <reason>",
// "Unable to write to <file>: <reason>".
QString FileProblemText(const TFileProblem& aProblem);
// The reason alone, in English: "it is a folder", "No space left on device".
QString FileProblemReason(const TFileProblem& aProblem);

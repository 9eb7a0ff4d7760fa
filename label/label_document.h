#pragma once

#include "label/file_problem.h"
#include "label/label_elements.h"

#include <QString>
#include <QStringList>

// What reading a label or settings file found.
struct TLoadReport
{
    bool FileFound = false;  // false: no such file; every key took its default
    // A problem when the file exists but was not read at all: a folder, a
    // system error, not a label file (a picture, binary data), too large.
    // Every key took its default; callers refuse such a file rather than use
    // the defaults.
    TFileProblem ReadError;
    // Colour values that could not be read, each with its section, key and
    // text. Those keys took their defaults.
    QList<TLoadProblem> Errors;
    // Notices that do not stop the label from being used: a picture that is
    // not there, a file that holds none of the label's sections.
    QList<TLoadProblem> Warnings;

    // The file was read and every value in it taken; warnings do not count.
    bool Ok() const { return ReadError.IsNone() && Errors.isEmpty(); }
};

struct TLabelRead;

// The ten elements of one label design. Widget-free: the editor window, the
// command-line renderer and the tests all use it.
class TLabelDocument
{
public:
    TLabelText FLabelName{QStringLiteral("Name")};
    TLabelText FLabelType{QStringLiteral("Type")};
    TLabelText FLabelSub1{QStringLiteral("Sub1")};
    TLabelText FLabelSub2{QStringLiteral("Sub2")};
    TLabelText FLabelDate{QStringLiteral("Date")};
    TLabelImage FLabelBg{QStringLiteral("Back")};
    TLabelItem FLabelRing1{QStringLiteral("Ring1")};
    TLabelItem FLabelRing2{QStringLiteral("Ring2")};
    TLabelItem FLabelRing3{QStringLiteral("Ring3")};
    TLabelItem FLabelRing4{QStringLiteral("Ring4")};

    // The folder of the file the document was read from, where relative
    // picture paths are looked for first; not stored in any file.
    QString Folder;

    // aPath (a picture path of the document) as a path to open.
    QString PicturePath(const QString& aPath) const { return ResolvePicturePath(aPath, Folder); }

    // Reads every element from aFile and sets Folder to its folder. A missing
    // file, section or key gives the defaults; a colour that cannot be read
    // takes its default and is reported, and reading goes on.
    TLoadReport LoadFromFile(const QString& aFile);

    // Writes every element into aFile, keeping every other line of an existing
    // file; atomic. Returns no problem, or the file and why it was not written.
    TFileProblem SaveToFile(const QString& aFile) const;

    // Text element by the tag of its controls: 1 Name, 2 Type, 3 Sub1, 4 Sub2, 5 Date;
    // nullptr for any other tag.
    TLabelText* TextByTag(int aTag);
    // Ring by its number 1 to 4; nullptr for any other number.
    TLabelItem* RingByTag(int aTag);

    // Every field of every element, so an edit that changes nothing can be told apart.
    bool operator==(const TLabelDocument&) const = default;
};

// A label file read to be rendered: Problem says why the file is not there
// or cannot be used at all (a folder, not a label file, too large), and the
// label is then not to be rendered; the report's colour errors and warnings
// are to be told but do not stop it.
struct TLabelRead
{
    TFileProblem Problem;
    TLoadReport Report;

    bool Ok() const { return Problem.IsNone(); }
    // The report's colour errors and warnings, in English as merovik-render prints them.
    QStringList WarningTexts() const;
};
// In English: "<file>: no such label file", "<file>: not a label file" for a
// folder or device, otherwise as FileProblemText.
QString LabelReadErrorText(const TFileProblem& aProblem);
TLabelRead ReadLabelToRender(const QString& aFile, TLabelDocument& aDoc);

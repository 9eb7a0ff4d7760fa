#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

class TIniFile;

// A value of a label file that could not be used, as a value: the editor and
// merovik-render word it.
struct TLoadProblem
{
    enum class TKind {
        BadColor,           // Section, Key, Value: a colour that cannot be read; it took its default
        MissingBackground,  // File: the background photo in use is not there; the plain colour shows
        MissingMiddle,      // File: the middle picture in use is not there; it is left out
        NoSections,         // the file holds none of the label's sections: every value is the default
    };

    TKind Kind = TKind::BadColor;
    QString Section;
    QString Key;
    QString Value;
    QString File;

    bool operator==(const TLoadProblem&) const = default;
};

// In English, as merovik-render prints it: "[Back] Color: ''orange'' is not
// a valid integer value", "background photo "x.jpg": not found".
QString LoadProblemText(const TLoadProblem& aProblem);
QStringList LoadProblemTexts(const QList<TLoadProblem>& aProblems);

// A picture path as stored in a label file, as a path to open: a relative
// path is looked for in aFolder (the folder of the file it was read from)
// first, then in the current folder.
QString ResolvePicturePath(const QString& aPath, const QString& aFolder);

// One text of the label.
class TLabelText
{
public:
    explicit TLabelText(const QString& aId) : Id(aId) {}

    QString Id;
    QString Text;
    QString FontName;
    int32_t FontSize = 0;
    uint32_t FontColor = 0;

    // Reads the section Id; conversion errors are appended to aErrors.
    void LoadFromFile(const TIniFile& aFile, QList<TLoadProblem>& aErrors);
    void SaveToFile(TIniFile& aFile) const;

    bool operator==(const TLabelText&) const = default;
};

// The background of the label and the picture in its middle.
class TLabelImage
{
public:
    explicit TLabelImage(const QString& aId) : Id(aId) {}

    QString Id;
    QString FileName;
    uint32_t Color = 0;
    bool UseColor = false;
    int32_t Effect = 0;
    int32_t Trans = 0;
    QString PngFile;
    bool UsePng = false;
    int32_t BgPosX = 0;
    int32_t BgPosY = 0;
    int32_t PngPosX = 0;
    int32_t PngPosY = 0;
    int32_t PngWidth = 0;

    // As the other elements; a picture that is not there is named in aWarnings.
    void LoadFromFile(const TIniFile& aFile, QList<TLoadProblem>& aErrors, QList<TLoadProblem>& aWarnings);
    void SaveToFile(TIniFile& aFile) const;

    bool operator==(const TLabelImage&) const = default;
};

// One ring.
class TLabelItem
{
public:
    explicit TLabelItem(const QString& aId) : Id(aId) {}

    QString Id;
    bool Use = false;
    uint32_t Color = 0;

    void LoadFromFile(const TIniFile& aFile, QList<TLoadProblem>& aErrors);
    void SaveToFile(TIniFile& aFile) const;

    bool operator==(const TLabelItem&) const = default;
};

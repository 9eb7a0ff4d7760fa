#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class TIniFile;

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
    void LoadFromFile(const TIniFile& aFile, QStringList& aErrors);
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
    void LoadFromFile(const TIniFile& aFile, QStringList& aErrors, QStringList& aWarnings);
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

    void LoadFromFile(const TIniFile& aFile, QStringList& aErrors);
    void SaveToFile(TIniFile& aFile) const;

    bool operator==(const TLabelItem&) const = default;
};

#include "label/label_elements.h"

#include "label/colors.h"
#include "label/ini_file.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A colour that cannot be read takes its default and is reported with its
// section and key ("[Back] Color: ..."), so the user finds the line; the
// caller goes on with the other keys, so one bad value does not leave half a label.
uint32_t ReadColor(const TIniFile& aFile, const QString& aSection, const QString& aKey,
                   uint32_t aDefault, QList<TLoadProblem>& aErrors)
{
    if (!aFile.HasKey(aSection, aKey))
        return aDefault;
    const QString text = aFile.ReadString(aSection, aKey, QString());
    const TColorConversion conversion = StringToColor(text);
    if (!conversion.Ok) {
        aErrors.append({TLoadProblem::TKind::BadColor, aSection, aKey, text, {}});
        return aDefault;
    }
    return conversion.Value;
}

// A folder does not count, nor does an empty name.
bool IsExistingFile(const QString& aPath)
{
    return !aPath.isEmpty() && QFileInfo(aPath).isFile();
}

} // namespace

QString LoadProblemText(const TLoadProblem& aProblem)
{
    switch (aProblem.Kind) {
    case TLoadProblem::TKind::BadColor:
        return QStringLiteral("[%1] %2: ").arg(aProblem.Section, aProblem.Key) + InvalidIntegerMessage(aProblem.Value);
    case TLoadProblem::TKind::MissingBackground:
        return QStringLiteral("background photo \"%1\": not found").arg(aProblem.File);
    case TLoadProblem::TKind::MissingMiddle:
        return QStringLiteral("middle picture \"%1\": not found").arg(aProblem.File);
    case TLoadProblem::TKind::NoSections:
        return QStringLiteral("the file holds none of the label's sections ([%1]): every value is the default")
            .arg(QStringLiteral("Name], [Type], [Sub1], [Sub2], [Date], [Back], [Ring1], [Ring2], [Ring3], [Ring4"));
    }
    return {};
}

QStringList LoadProblemTexts(const QList<TLoadProblem>& aProblems)
{
    QStringList texts;
    for (const TLoadProblem& problem : aProblems)
        texts << LoadProblemText(problem);
    return texts;
}

QString ResolvePicturePath(const QString& aPath, const QString& aFolder)
{
    if (aPath.isEmpty() || aFolder.isEmpty() || QDir::isAbsolutePath(aPath))
        return aPath;
    const QString beside = QDir(aFolder).filePath(aPath);
    return QFileInfo(beside).isFile() ? beside : aPath;
}

void TLabelText::LoadFromFile(const TIniFile& aFile, QList<TLoadProblem>& aErrors)
{
    Q_UNUSED(aErrors);  // a text has no colour key; FontColor is a plain integer
    FontName = aFile.ReadString(Id, QStringLiteral("FontName"), QStringLiteral("Arial"));
    FontSize = aFile.ReadInteger(Id, QStringLiteral("FontSize"), 40);
    FontColor = static_cast<uint32_t>(aFile.ReadInteger(Id, QStringLiteral("FontColor"), 0));
    Text = aFile.ReadString(Id, QStringLiteral("Text"), QString());
}

void TLabelText::SaveToFile(TIniFile& aFile) const
{
    aFile.WriteString(Id, QStringLiteral("FontName"), FontName);
    aFile.WriteInteger(Id, QStringLiteral("FontSize"), FontSize);
    aFile.WriteInteger(Id, QStringLiteral("FontColor"), static_cast<int32_t>(FontColor));
    aFile.WriteString(Id, QStringLiteral("Text"), Text);
}

void TLabelImage::LoadFromFile(const TIniFile& aFile, QList<TLoadProblem>& aErrors, QList<TLoadProblem>& aWarnings)
{
    const QString folder = QFileInfo(aFile.FileName()).absolutePath();
    FileName = aFile.ReadString(Id, QStringLiteral("FileName"), QString());
    UseColor = aFile.ReadBool(Id, QStringLiteral("UseColor"), true);
    // A photo that has gone, or was never chosen, leaves the plain colour;
    // one that was in use is named, so its loss does not go unnoticed.
    if (!IsExistingFile(ResolvePicturePath(FileName, folder))) {
        if (!FileName.isEmpty() && !UseColor)
            aWarnings.append({TLoadProblem::TKind::MissingBackground, Id, QStringLiteral("FileName"), {}, FileName});
        FileName.clear();
        UseColor = true;
    }
    Color = ReadColor(aFile, Id, QStringLiteral("Color"), ColorYellow, aErrors);
    Effect = aFile.ReadInteger(Id, QStringLiteral("Effect"), 0);
    Trans = aFile.ReadInteger(Id, QStringLiteral("Trans"), 0);
    BgPosX = aFile.ReadInteger(Id, QStringLiteral("BgPosX"), 0);
    BgPosY = aFile.ReadInteger(Id, QStringLiteral("BgPosY"), 0);
    // 0 is the centred picture; half the raster width would put it in the corner.
    PngPosX = aFile.ReadInteger(Id, QStringLiteral("PngPosX"), 0);
    PngPosY = aFile.ReadInteger(Id, QStringLiteral("PngPosY"), 0);
    PngWidth = aFile.ReadInteger(Id, QStringLiteral("PngWidth"), 20);
    PngFile = aFile.ReadString(Id, QStringLiteral("PngFile"), QString());
    UsePng = aFile.ReadBool(Id, QStringLiteral("UsePng"), false);
    if (!IsExistingFile(ResolvePicturePath(PngFile, folder))) {
        if (!PngFile.isEmpty() && UsePng)
            aWarnings.append({TLoadProblem::TKind::MissingMiddle, Id, QStringLiteral("PngFile"), {}, PngFile});
        PngFile.clear();
        UsePng = false;
    }
}

void TLabelImage::SaveToFile(TIniFile& aFile) const
{
    aFile.WriteString(Id, QStringLiteral("FileName"), FileName);
    aFile.WriteBool(Id, QStringLiteral("UseColor"), UseColor);
    aFile.WriteString(Id, QStringLiteral("Color"), ColorToString(Color));
    aFile.WriteInteger(Id, QStringLiteral("Effect"), Effect);
    aFile.WriteInteger(Id, QStringLiteral("Trans"), Trans);
    aFile.WriteString(Id, QStringLiteral("PngFile"), PngFile);
    aFile.WriteBool(Id, QStringLiteral("UsePng"), UsePng);
    aFile.WriteInteger(Id, QStringLiteral("BgPosX"), BgPosX);
    aFile.WriteInteger(Id, QStringLiteral("BgPosY"), BgPosY);
    aFile.WriteInteger(Id, QStringLiteral("PngPosX"), PngPosX);
    aFile.WriteInteger(Id, QStringLiteral("PngPosY"), PngPosY);
    aFile.WriteInteger(Id, QStringLiteral("PngWidth"), PngWidth);
}

void TLabelItem::LoadFromFile(const TIniFile& aFile, QList<TLoadProblem>& aErrors)
{
    Use = aFile.ReadBool(Id, QStringLiteral("Use"), true);
    Color = ReadColor(aFile, Id, QStringLiteral("Color"), ColorBlack, aErrors);
}

void TLabelItem::SaveToFile(TIniFile& aFile) const
{
    aFile.WriteBool(Id, QStringLiteral("Use"), Use);
    aFile.WriteString(Id, QStringLiteral("Color"), ColorToString(Color));
}

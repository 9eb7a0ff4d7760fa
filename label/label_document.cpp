#include "label/label_document.h"

#include "label/ini_file.h"

#include <QFileInfo>

#include <algorithm>

TLoadReport TLabelDocument::LoadFromFile(const QString& aFile)
{
    const TIniFile file(aFile);
    TLoadReport report;
    report.FileFound = file.Exists();
    report.ReadError = file.ReadProblem();
    Folder = QFileInfo(aFile).absolutePath();
    // A file that cannot be read reads as empty: every key takes its default.
    FLabelName.LoadFromFile(file, report.Errors);
    FLabelType.LoadFromFile(file, report.Errors);
    FLabelSub1.LoadFromFile(file, report.Errors);
    FLabelSub2.LoadFromFile(file, report.Errors);
    FLabelBg.LoadFromFile(file, report.Errors, report.Warnings);
    FLabelDate.LoadFromFile(file, report.Errors);
    FLabelRing1.LoadFromFile(file, report.Errors);
    FLabelRing2.LoadFromFile(file, report.Errors);
    FLabelRing3.LoadFromFile(file, report.Errors);
    FLabelRing4.LoadFromFile(file, report.Errors);

    // A text of some other kind reads as a label of defaults; say so.
    const QStringList sections = {FLabelName.Id, FLabelType.Id, FLabelSub1.Id, FLabelSub2.Id, FLabelDate.Id,
                                  FLabelBg.Id, FLabelRing1.Id, FLabelRing2.Id, FLabelRing3.Id, FLabelRing4.Id};
    if (file.Exists() && report.ReadError.IsNone()
        && std::none_of(sections.begin(), sections.end(), [&](const QString& aId) { return file.HasSection(aId); }))
        report.Warnings.append({TLoadProblem::TKind::NoSections, {}, {}, {}, aFile});
    return report;
}

TFileProblem TLabelDocument::SaveToFile(const QString& aFile) const
{
    TIniFile file(aFile);
    FLabelName.SaveToFile(file);
    FLabelType.SaveToFile(file);
    FLabelSub1.SaveToFile(file);
    FLabelSub2.SaveToFile(file);
    FLabelDate.SaveToFile(file);
    FLabelBg.SaveToFile(file);
    FLabelRing1.SaveToFile(file);
    FLabelRing2.SaveToFile(file);
    FLabelRing3.SaveToFile(file);
    FLabelRing4.SaveToFile(file);
    return file.Commit();
}

TLabelText* TLabelDocument::TextByTag(int aTag)
{
    switch (aTag) {
    case 1: return &FLabelName;
    case 2: return &FLabelType;
    case 3: return &FLabelSub1;
    case 4: return &FLabelSub2;
    case 5: return &FLabelDate;
    default: return nullptr;
    }
}

TLabelItem* TLabelDocument::RingByTag(int aTag)
{
    switch (aTag) {
    case 1: return &FLabelRing1;
    case 2: return &FLabelRing2;
    case 3: return &FLabelRing3;
    case 4: return &FLabelRing4;
    default: return nullptr;
    }
}

QString LabelReadErrorText(const TFileProblem& aProblem)
{
    switch (aProblem.Kind) {
    case TFileProblem::TKind::NotFound: return QStringLiteral("%1: no such label file").arg(aProblem.File);
    case TFileProblem::TKind::Folder:
    case TFileProblem::TKind::NotRegularFile: return QStringLiteral("%1: not a label file").arg(aProblem.File);
    default: return FileProblemText(aProblem);
    }
}

TLabelRead ReadLabelToRender(const QString& aFile, TLabelDocument& aDoc)
{
    TLabelRead read;
    const QFileInfo info(aFile);
    if (info.exists() && !info.isFile()) {
        read.Report.FileFound = true;
        read.Report.ReadError = TFileProblem::Of(
            info.isDir() ? TFileProblem::TKind::Folder : TFileProblem::TKind::NotRegularFile, aFile, false);
        read.Problem = read.Report.ReadError;
    } else {
        read.Report = aDoc.LoadFromFile(aFile);
        // Not read at all (not a label file, too large): refused rather than
        // rendered from defaults.
        read.Problem = read.Report.FileFound ? read.Report.ReadError
                                             : TFileProblem::Of(TFileProblem::TKind::NotFound, aFile, false);
    }
    return read;
}

QStringList TLabelRead::WarningTexts() const
{
    return LoadProblemTexts(Report.Errors) + LoadProblemTexts(Report.Warnings);
}

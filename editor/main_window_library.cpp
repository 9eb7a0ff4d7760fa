// The toolbar commands: a new label, the label library (load, save, delete)
// and the JPEG export.
#include "editor/main_window.h"

#include "editor/dialogs.h"
#include "editor/messages.h"
#include "editor/radio_group.h"
#include "render/raster_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <utility>

#include <sys/stat.h>

namespace {

// A "/" would make the suggested name a path into a folder.
QString OneFileName(QString aText)
{
    return aText.replace(QLatin1Char('/'), QLatin1Char('-'));
}

// aOutput is the file aInput, by this or another name (a hard link, other
// letters on a disk that ignores case). A link in aOutput's place is not:
// the export replaces the link, not the file it points at.
bool SameFile(const QString& aOutput, const QString& aInput)
{
    struct stat output = {};
    struct stat input = {};
    return ::lstat(QFile::encodeName(aOutput).constData(), &output) == 0 && S_ISREG(output.st_mode)
           && ::stat(QFile::encodeName(aInput).constData(), &input) == 0 && output.st_dev == input.st_dev
           && output.st_ino == input.st_ino;
}

}  // namespace

QString SuggestedLabelName(const QString& aCheeseType, int aSizeIndex)
{
    static const char* const Suffixes[] = {"_6", "_10", "_14"};
    const QString suffix = aSizeIndex >= 0 && aSizeIndex < 3 ? QLatin1String(Suffixes[aSizeIndex]) : QString();
    return OneFileName(aCheeseType) + suffix + QStringLiteral(".lbl");
}

QString SuggestedPictureName(const QString& aCheeseType)
{
    return OneFileName(aCheeseType) + QStringLiteral(".jpg");
}

QString TFrmMain::LabelsFolder() const
{
    // Made anew before every dialog; if it cannot be made the dialog opens
    // wherever it chooses.
    QDir().mkpath(FPaths.LabelsFolder);
    return FPaths.LabelsFolder;
}

void TFrmMain::btnNewClick()
{
    TLabelDocument doc = FDocument;
    doc.FLabelName.Text = QStringLiteral("Naam kaasmerk");
    doc.FLabelType.Text = QStringLiteral("Type van de kaas");
    doc.FLabelSub1.Text = QStringLiteral("plaats productie");
    doc.FLabelSub2.Text = QStringLiteral("naam producent");
    doc.FLabelDate.Text = QStringLiteral("datum");
    doc.FLabelBg.FileName.clear();
    doc.FLabelBg.UseColor = true;
    doc.FLabelBg.Color = 0x00FFFFFF;
    for (TLabelItem* ring : {&doc.FLabelRing1, &doc.FLabelRing2, &doc.FLabelRing3, &doc.FLabelRing4})
        ring->Use = false;
    // The controls show the new label too; under FLoading their handlers
    // only copy the values back and draw nothing.
    const QString fileBefore = FFileName;
    ShowDocument(doc);
    // No file holds the new label yet.
    SetFileName(QString());
    RecordStep(-1, 0, &fileBefore);
}

void TFrmMain::btnLoadClick()
{
    const QString file = FDialogs.OpenLabel(this, LabelsFolder());
    if (file.isEmpty())
        return;
    HandleIniFile(file, false);
}

void TFrmMain::btnSaveLblClick()
{
    const QString name = SuggestedLabelName(FDocument.FLabelType.Text, rdgLabelSize->ItemIndex());
    const QString file = FDialogs.SaveLabel(this, LabelsFolder(), name);
    if (file.isEmpty())
        return;
    HandleIniFile(file, true);
}

void TFrmMain::btnDelClick()
{
    const QString file = FDialogs.OpenLabel(this, LabelsFolder());
    if (file.isEmpty())
        return;
    const QString question = QStringLiteral("Wilt u \"%1\" verwijderen?").arg(QFileInfo(file).fileName());
    if (!FDialogs.Confirm(this, question))
        return;
    // The label on screen stays as it is, also when it came from this file.
    QFile label(file);
    errno = 0;
    if (!label.remove()) {
        const int code = qt_error_string(errno) == label.errorString() ? errno : SystemErrorCode(label.errorString());
        ShowErrors({DeleteFailedMessage(file, code, label.errorString())});
    }
}

void TFrmMain::btnSaveClick()
{
    const QString name = SuggestedPictureName(FDocument.FLabelType.Text);
    const QString file = FDialogs.SavePicture(this, LabelsFolder(), name);
    if (file.isEmpty())
        return;
    // A picture the label draws is never replaced by the label's picture.
    for (const auto& [picture, what] : {std::pair(FDocument.FLabelBg.FileName, QStringLiteral("de achtergrondfoto")),
                                        std::pair(FDocument.FLabelBg.PngFile, QStringLiteral("de middenfoto"))}) {
        if (!picture.isEmpty() && SameFile(file, FDocument.PicturePath(picture))) {
            ShowErrors({QStringLiteral("De afbeelding is niet opgeslagen: %1 is %2 van het label; kies een andere naam")
                            .arg(QDir::toNativeSeparators(file), what)});
            return;
        }
    }
    // The full raster with every change, also the typing of the last moment,
    // not the scaled picture on screen.
    DrawPending();
    const TFileProblem error = WriteJpeg(FRenderer.ExportImage(), file, 98);
    if (!error.IsNone())
        ShowErrors({FileProblemMessage(error)});
}

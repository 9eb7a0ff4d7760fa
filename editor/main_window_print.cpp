// Printing, and the print settings kept in the settings file.
#include "editor/main_window.h"

#include "editor/dialogs.h"
#include "editor/print_dialog.h"
#include "editor/radio_group.h"
#include "label/ini_file.h"

#include <QFileInfo>

void TFrmMain::btnPrintClick()
{
    // Typing not drawn yet is drawn first, so the window shows what prints.
    DrawPending();
    TPrintDialog dlg(FDialogs, FPrintPreferences, rdgLabelSize->ItemIndex(), LabelsFolder(), FPictures, this);
    dlg.SetJobs({TPrintJob{FDocument, 1}});
    // A table is looked for beside the label file, or in the labels folder.
    dlg.SetDesign(FDocument, DesignBaseName(FFileName, FDocument.FLabelType.Text),
                  FFileName.isEmpty() ? LabelsFolder() : QFileInfo(FFileName).absolutePath());
    FDialogs.RunPrintDialog(dlg);
    // What the user set stays, also after closing without printing.
    FPrintPreferences = dlg.Preferences();
}

void TFrmMain::LoadPrintSettings(const QString& aFile)
{
    FPrintPreferences = LoadPrintPreferences(TIniFile(aFile));
}

TFileProblem TFrmMain::SavePrintSettings(const QString& aFile) const
{
    // After the ten label sections, which SaveToFile wrote just now.
    TIniFile file(aFile);
    SavePrintPreferences(file, FPrintPreferences);
    return file.Commit();
}

// Undo and redo: every change of the document made in the window is a step
// holding the document before and after it.
#include "editor/main_window.h"

#include "editor/undo.h"

#include <QAction>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>

void TFrmMain::RecordStep(int aMergeId, qint64 aMergeKey, const QString* aFileBefore)
{
    // Filling the controls runs their handlers; the step is the whole fill.
    if (FLoading)
        return;
    // Any other change ends a burst of typing.
    if (aMergeId < TypingStep || aMergeId >= MoveStep)
        ++FTypingBurst;
    const bool fileChanged = aFileBefore && *aFileBefore != FFileName;
    if (FDocument == FUndoBase && !fileChanged)
        return;
    auto* step = new TDocumentCommand(
        FUndoBase, FDocument,
        [this](const TLabelDocument& aDocument, const QString* aFileName) { ApplyStep(aDocument, aFileName); },
        aMergeId, aMergeKey);
    if (aFileBefore)
        step->SetFileNames(*aFileBefore, FFileName);
    FUndo->push(step);
    FUndoBase = FDocument;
}

void TFrmMain::ApplyStep(const TLabelDocument& aDocument, const QString* aFileName)
{
    ShowDocument(aDocument);
    if (aFileName)
        SetFileName(*aFileName);
    ResetUndoBase();
}

void TFrmMain::ResetUndoBase()
{
    FUndoBase = FDocument;
    // What comes next is a step of its own.
    ++FTypingBurst;
    ++FMovePress;
    FMoveHeld = false;
}

void TFrmMain::actUndoClick()
{
    FUndo->undo();
}

void TFrmMain::actRedoClick()
{
    FUndo->redo();
}

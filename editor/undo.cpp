#include "editor/undo.h"

#include <utility>

TDocumentCommand::TDocumentCommand(const TLabelDocument& aBefore, const TLabelDocument& aAfter, TApply aApply,
                                   int aMergeId, qint64 aMergeKey)
    : FBefore(aBefore), FAfter(aAfter), FApply(std::move(aApply)), FMergeId(aMergeId), FMergeKey(aMergeKey)
{
}

void TDocumentCommand::SetFileNames(const QString& aBefore, const QString& aAfter)
{
    FFileBefore = aBefore;
    FFileAfter = aAfter;
}

void TDocumentCommand::undo()
{
    FDone = false;
    FApply(FBefore, FFileBefore ? &*FFileBefore : nullptr);
}

void TDocumentCommand::redo()
{
    // QUndoStack::push() calls redo() on a change that is already on screen.
    if (FDone)
        return;
    FDone = true;
    FApply(FAfter, FFileAfter ? &*FFileAfter : nullptr);
}

bool TDocumentCommand::mergeWith(const QUndoCommand* aOther)
{
    const auto* other = dynamic_cast<const TDocumentCommand*>(aOther);
    if (!other || other->FMergeId != FMergeId || other->FMergeKey != FMergeKey || other->FFileAfter)
        return false;
    FAfter = other->FAfter;
    setObsolete(FAfter == FBefore && !FFileAfter);
    return true;
}

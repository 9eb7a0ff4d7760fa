#pragma once

#include "label/label_document.h"

#include <QString>
#include <QUndoCommand>
#include <functional>
#include <optional>

// One undoable change of the label: the whole document before and after it.
// The document is ten small elements, so a snapshot is simpler and safer than
// a command per field. A load or a new label also carries the label file
// named in the title before and after.
class TDocumentCommand : public QUndoCommand
{
public:
    // Shows a document (and, when given, the label file it belongs to).
    using TApply = std::function<void(const TLabelDocument& aDocument, const QString* aFileName)>;

    // Pushed once the change is made: the stack's first redo() does nothing.
    // Commands of one aMergeId (not -1) and one aMergeKey in a row become one
    // step, the burst of typing in one edit or the repeats of one press.
    TDocumentCommand(const TLabelDocument& aBefore, const TLabelDocument& aAfter, TApply aApply,
                     int aMergeId = -1, qint64 aMergeKey = 0);

    void SetFileNames(const QString& aBefore, const QString& aAfter);

    const TLabelDocument& Before() const { return FBefore; }
    const TLabelDocument& After() const { return FAfter; }

    void undo() override;
    void redo() override;
    int id() const override { return FMergeId; }
    // Takes aOther's after-state; a step that ends where it began is
    // obsolete, and the stack drops it.
    bool mergeWith(const QUndoCommand* aOther) override;

private:
    TLabelDocument FBefore;
    TLabelDocument FAfter;
    std::optional<QString> FFileBefore;
    std::optional<QString> FFileAfter;
    TApply FApply;
    int FMergeId = -1;
    qint64 FMergeKey = 0;
    bool FDone = true;
};

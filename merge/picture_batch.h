#pragma once

#include "label/label_document.h"
#include "merge/batch_message.h"

#include <QList>
#include <QStringList>
#include <QString>

#include <functional>

class TLabelPool;

// One picture of a batch: a label, and the file its picture goes to.
struct TPictureJob
{
    QString Source;           // what messages name: the label file, or the table file with Row
    int Row = 0;              // the table's row, as a spreadsheet numbers it; 0: not a table's
    QString LabelFile;        // a label file, read on a worker; empty: Document is the label
    TLabelDocument Document;  // the label itself, e.g. a merge table's row
    QString Output;           // the picture file
    // Pictures the label must show, e.g. those a merge table's row names: a
    // label that cannot draw one of them is not written.
    QStringList RequiredPictures;
};

// How a batch talks to its caller, always on the thread that runs it.
struct TBatchCallbacks
{
    // Something the user should know that did not stop a picture: a picture
    // of the label that is missing, a colour that could not be read.
    std::function<void(const TBatchMessage& aMessage)> Warning;
    // A picture that could not be made or written; the batch goes on. A
    // refusal of the disk or the folder is TBatchResult::Stopped instead.
    std::function<void(const TBatchMessage& aMessage)> Error;
    // aDone of aTotal pictures are written (or failed); false cancels the rest.
    std::function<bool(int aDone, int aTotal)> Progress;
};

struct TBatchResult
{
    int Written = 0;
    int Failed = 0;
    bool Cancelled = false;
    // Why the disk or the folder refused a picture (full, read-only, no
    // permission, the file-size limit): the batch stopped there, keeping what
    // it wrote before. None when it did not stop.
    TFileProblem Stopped;
};

// Renders every job on the pool's workers and writes the pictures in job
// order, each replacing its file whole, through the same encoders as the
// editor's export; they reach the disk together at the end of the batch.
// A label that cannot be read or written is reported and the rest go on; a
// refusal of the disk or the folder stops the batch. Each folder's temporary
// files that killed runs left behind are removed first.
TBatchResult RenderPictures(TLabelPool& aPool, const QList<TPictureJob>& aJobs, const QString& aFormat,
                            int aQuality, const TBatchCallbacks& aCallbacks);

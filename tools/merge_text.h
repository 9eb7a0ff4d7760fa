#pragma once

// merovik-render's English wording of a merge table's errors.
#include "merge/merge_table.h"
#include "merge/picture_batch.h"

#include <QList>
#include <QStringList>

// One line for each error, naming the table file, row and column; a list of
// the accepted column names follows once after errors about columns.
QStringList MergeErrorLines(const QList<TMergeError>& aErrors);

// What a batch of pictures tells about the job aJobs[aMessage.Job] (or, with
// Job -1, about a folder), naming the label file or the table's row.
QString BatchMessageText(const TBatchMessage& aMessage, const QList<TPictureJob>& aJobs);

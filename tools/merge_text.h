#pragma once

// merovik-render's English wording of a merge table's errors.
#include "merge/merge_table.h"

#include <QList>
#include <QStringList>

// One line for each error, naming the table file, row and column; a list of
// the accepted column names follows once after errors about columns.
QStringList MergeErrorLines(const QList<TMergeError>& aErrors);

#pragma once

#include "label/file_problem.h"

#include <QByteArrayView>
#include <QString>

// Writes aBytes to aFileName through a temporary file that replaces it only
// when every byte is written, so a failure leaves an earlier file as it was
// and nothing beside it. Returns no problem on success, otherwise the file
// and the system's error (no space left, file too large, permission denied).
TFileProblem WriteFileAtomically(const QString& aFileName, QByteArrayView aBytes);

// "Unable to write to <file>: <reason>"
QString WriteFailure(const QString& aFileName, const QString& aReason);

// As WriteFileAtomically, without waiting for the disk: the file is still
// replaced whole (whoever reads it sees the earlier file or the new one), but
// it reaches the disk with the next Sync() of a TFolderSync for its folder.
// For batches: QSaveFile's sync of every file cost a merge of hundreds of
// pictures most of its writing time, one sync at the end does the same work
// once. Keeps the permissions of the file it replaces and, like QSaveFile,
// leaves a file the user may not write as it is.
QString WriteFileForBatch(const QString& aFileName, QByteArrayView aBytes);

// Brings what a batch wrote into one folder to the disk in one go.
class TFolderSync
{
public:
    // Opens aFolder before the batch writes into it, so that a write the disk
    // fails in between is reported by Sync().
    explicit TFolderSync(const QString& aFolder);
    ~TFolderSync();

    TFolderSync(const TFolderSync&) = delete;
    TFolderSync& operator=(const TFolderSync&) = delete;

    // Waits until the files written since are on the disk. Empty, or
    // WriteFailure(folder, reason) when the system could not write them.
    QString Sync();

private:
    QString FFolder;
    int FHandle = -1;
};

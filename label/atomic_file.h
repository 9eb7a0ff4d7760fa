#pragma once

#include "label/file_problem.h"

#include <QByteArrayView>
#include <QString>

// Writes aBytes to aFileName through a temporary file that replaces it only
// when every byte is on the disk, so a failure leaves an earlier file as it
// was and nothing beside it. Like any editor's save, a link is written
// through: the file it points at is replaced. Returns no problem on success,
// otherwise the file and the system's error (no space left, file too large,
// permission denied).
TFileProblem WriteFileAtomically(const QString& aFileName, QByteArrayView aBytes);

// As WriteFileAtomically, but a link named aFileName is replaced by the file
// rather than written through: for pictures a program makes, whose output
// folder may hold a link to anywhere.
TFileProblem WriteFileReplacingLinks(const QString& aFileName, QByteArrayView aBytes);

// What writing one file of a batch gave.
struct TBatchWrite
{
    TFileProblem Problem;     // the file and the system's error; none on success
    bool StopsBatch = false;  // a fault of the disk or the folder, which every later file would meet too

    bool Ok() const { return Problem.IsNone(); }
};

// As WriteFileReplacingLinks, without waiting for the disk: the file is still
// replaced whole (whoever reads it sees the earlier file or the new one), but
// it reaches the disk with the next Sync() of a TFolderSync for its folder.
// For batches: a sync of every file cost a merge of hundreds of pictures most
// of its writing time, one sync at the end does the same work once. Keeps the
// permissions of the file it replaces and leaves a file the user may not
// write as it is.
TBatchWrite WriteFileForBatch(const QString& aFileName, QByteArrayView aBytes);

// The temporary files are hidden, named after the file they become and the
// process writing them: ".<name>.merovik-<pid>-<random>". A name of at most
// MaxWrittenNameBytes bytes leaves room for that within the 255 bytes most
// file systems allow; a longer one is shortened in the temporary name.
inline constexpr int MaxTemporaryExtraBytes = 1 + 9 + 10 + 1 + 7;  // ".", ".merovik-", pid, "-", random
inline constexpr int MaxWrittenNameBytes = 255 - MaxTemporaryExtraBytes;

// Removes the temporary files in aFolder that a writer left when it was
// killed: those whose process is gone, never those of a process still
// running. Returns how many were removed.
int RemoveTemporaryLeftovers(const QString& aFolder);

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

    // Waits until the files written since are on the disk. No problem, or the
    // folder and the system's error when the system could not write them.
    TFileProblem Sync();

private:
    QString FFolder;
    int FHandle = -1;
};

#include "label/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens aFolder for syncing its file system; -1 when it cannot be opened.
int OpenFolder(const QByteArray& aFolder)
{
    return ::open(aFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

const QLatin1String TemporaryMark(".merovik-");

// Faults every later file of a batch would meet as well: the disk is full or
// failing, the folder or the file system refuses writing, the file-size
// limit is reached.
bool IsFaultOfTheDisk(int aCode)
{
    return aCode == ENOSPC || aCode == EDQUOT || aCode == EROFS || aCode == EFBIG || aCode == EIO;
}

// Written with the system's calls rather than QSaveFile, which always syncs,
// always writes through links and names its temporary file so that no later
// run can tell it from the user's files.
TBatchWrite WriteReplacing(const QString& aFileName, QByteArrayView aBytes, bool aFollowLinks, bool aSync)
{
    TBatchWrite result;
    const auto fail = [&](int aCode, bool aStops) {
        result.Problem = TFileProblem::FromCode(aFileName, true, aCode);
        result.StopsBatch = aStops || IsFaultOfTheDisk(aCode);
        return result;
    };
    const QFileInfo info(aFileName);
    const QString finalName = aFollowLinks && info.isSymLink() && info.exists() ? info.canonicalFilePath()
                                                                                 : info.absoluteFilePath();
    const QByteArray target = QFile::encodeName(finalName);
    struct stat earlier = {};
    const bool exists = ::lstat(target.constData(), &earlier) == 0;
    const bool replacesFile = exists && S_ISREG(earlier.st_mode);
    if (exists && S_ISDIR(earlier.st_mode))
        return fail(EISDIR, false);
    // A file the user may not write stays as it is, as an editor leaves it.
    if (replacesFile && ::access(target.constData(), W_OK) != 0)
        return fail(errno, false);

    // In the file's own folder, so the rename stays on one file system and
    // replaces a link rather than its target; 0666 lets the user's umask
    // decide a new file's permissions, as for any other file.
    const QFileInfo finalInfo(finalName);
    const QByteArray folder = QFile::encodeName(finalInfo.absolutePath());
    // A name near the file system's 255 bytes is shortened in the temporary
    // name, at a character's start, rather than make the write fail.
    QByteArray name = QFile::encodeName(finalInfo.fileName());
    if (name.size() > MaxWrittenNameBytes) {
        qsizetype keep = MaxWrittenNameBytes;
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
            --keep;
        name.truncate(keep);
    }
    const QByteArray prefix = folder + "/." + name + TemporaryMark.data() + QByteArray::number(qint64(::getpid())) + '-';
    QByteArray temporary;
    int handle = -1;
    for (int attempt = 0; handle < 0 && attempt < 16; ++attempt) {
        temporary = prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        handle = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle < 0 && errno != EEXIST)
            break;
    }
    if (handle < 0) {
        const int code = errno;
        // The folder refuses new files, or is gone: so it does for every file.
        return fail(code, code == EACCES || code == EPERM || code == ENOENT || code == ENOTDIR);
    }

    int error = 0;
    qsizetype written = 0;
    while (written < aBytes.size()) {
        const ssize_t count = ::write(handle, aBytes.data() + written, size_t(aBytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            error = count < 0 ? errno : ENOSPC;
            break;
        }
        written += count;
    }
    if (error == 0 && replacesFile && ::fchmod(handle, earlier.st_mode & 0777) != 0)
        error = errno;
    if (error == 0 && aSync && ::fsync(handle) != 0)
        error = errno;
    // Some file systems (NFS) report a failed write only here.
    if (::close(handle) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());  // the earlier file stays as it was
        return fail(error, false);
    }
    if (aSync) {
        // The rename itself reaches the disk with the folder.
        const int folderHandle = OpenFolder(folder);
        if (folderHandle >= 0) {
            const bool synced = ::fsync(folderHandle) == 0;
            const int code = errno;
            ::close(folderHandle);
            if (!synced && code != EINVAL)
                return fail(code, false);
        }
    }
    return result;
}

// A write's failure as the problem the editor and the tool word.
TFileProblem Problem(const QString& aFileName, const TBatchWrite& aWrite)
{
    if (aWrite.Problem.Code == EISDIR)
        return TFileProblem::Of(TFileProblem::TKind::Folder, aFileName, true);
    return aWrite.Problem;
}

}  // namespace

TFileProblem WriteFileAtomically(const QString& aFileName, QByteArrayView aBytes)
{
    return Problem(aFileName, WriteReplacing(aFileName, aBytes, true, true));
}

TFileProblem WriteFileReplacingLinks(const QString& aFileName, QByteArrayView aBytes)
{
    return Problem(aFileName, WriteReplacing(aFileName, aBytes, false, true));
}

TBatchWrite WriteFileForBatch(const QString& aFileName, QByteArrayView aBytes)
{
    return WriteReplacing(aFileName, aBytes, false, false);
}

int RemoveTemporaryLeftovers(const QString& aFolder)
{
    static const QRegularExpression leftover(QStringLiteral("^\\..+\\.merovik-([0-9]{1,10})-[0-9a-z]{1,7}$"));
    const QDir folder(aFolder);
    int removed = 0;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch match = leftover.match(name);
        if (!match.hasMatch())
            continue;
        const qint64 process = match.captured(1).toLongLong();
        // Only a process that is gone for certain: one of another user's
        // answers EPERM and keeps its file.
        if (process <= 0 || process > std::numeric_limits<pid_t>::max() || ::kill(pid_t(process), 0) == 0
            || errno != ESRCH)
            continue;
        if (::unlink(QFile::encodeName(folder.filePath(name)).constData()) == 0)
            ++removed;
    }
    return removed;
}

TFolderSync::TFolderSync(const QString& aFolder) : FFolder(aFolder), FHandle(OpenFolder(QFile::encodeName(aFolder)))
{
}

TFolderSync::~TFolderSync()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

TFileProblem TFolderSync::Sync()
{
    if (FHandle < 0)
        FHandle = OpenFolder(QFile::encodeName(FFolder));
    if (FHandle < 0)
        return {};  // a folder that cannot be opened holds nothing the batch wrote
    // One flush of the folder's file system writes the whole batch with one
    // journal commit, and reports a write the disk failed since the opening.
    if (::syncfs(FHandle) != 0)
        return TFileProblem::FromCode(FFolder, true, errno);
    return {};
}

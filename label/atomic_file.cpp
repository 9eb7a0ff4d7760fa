#include "label/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens aFolder for syncing its file system; -1 when it cannot be opened.
int OpenFolder(const QString& aFolder)
{
    return ::open(QFile::encodeName(aFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

QString WriteFailure(const QString& aFileName, const QString& aReason)
{
    return QStringLiteral("Unable to write to %1: %2").arg(aFileName, aReason);
}

TFileProblem WriteFileAtomically(const QString& aFileName, QByteArrayView aBytes)
{
    // Qt words its failures without the error number; the number is read
    // right after the failing call, and matched against the text it gave.
    const auto failure = [&aFileName](const QFileDevice& aFile, int aError) {
        const QString text = aFile.errorString();
        if (aError != 0 && qt_error_string(aError) == text)
            return TFileProblem::FromCode(aFileName, true, aError);
        return TFileProblem::FromText(aFileName, true, text);
    };
    const QFileInfo info(aFileName);
    if (info.isDir())
        return TFileProblem::Of(TFileProblem::TKind::Folder, aFileName, true);
    // QSaveFile words a file it may not replace in a text of its own.
    const QByteArray target = QFile::encodeName(aFileName);
    if (info.exists() && ::access(target.constData(), W_OK) != 0)
        return TFileProblem::FromCode(aFileName, true, errno);
    QSaveFile file(aFileName);
    // Unbuffered: what QFileDevice's write buffer still holds at commit() is
    // written by close(), whose failure QSaveFile does not see (Qt 6.4), so a
    // full disk would leave a cut-off file and report success.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(file, errno);
    // A write cut short by a full disk or a file-size limit returns the count
    // written and sets no error (errorString() says "Unknown error"); writing
    // the rest then fails at once with the system's reason.
    qint64 written = 0;
    while (written < aBytes.size()) {
        errno = 0;
        const qint64 count = file.write(aBytes.data() + written, aBytes.size() - written);
        if (count <= 0) {
            const TFileProblem problem = failure(file, errno);
            file.cancelWriting();  // the temporary file goes, the earlier file stays
            return problem;
        }
        written += count;
    }
    errno = 0;
    if (!file.commit())
        return failure(file, errno);
    return {};
}

// Written with the system's calls rather than QSaveFile, whose commit() always
// syncs, or QTemporaryFile, which makes files only their owner can read.
QString WriteFileForBatch(const QString& aFileName, QByteArrayView aBytes)
{
    // Like QSaveFile: through a link to the file it points at.
    const QFileInfo info(aFileName);
    const QString finalName = info.isSymLink() && info.exists() ? info.canonicalFilePath() : aFileName;
    const QByteArray target = QFile::encodeName(finalName);
    struct stat earlier = {};
    const bool replaces = ::stat(target.constData(), &earlier) == 0;
    if (replaces && ::access(target.constData(), W_OK) != 0)
        return WriteFailure(aFileName, qt_error_string(errno));

    // Beside the file, so the rename stays on one file system; 0666 lets the
    // user's umask decide a new file's permissions, as for any other file.
    QByteArray temporary;
    int handle = -1;
    for (int attempt = 0; handle < 0 && attempt < 16; ++attempt) {
        temporary = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        handle = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle < 0 && errno != EEXIST)
            break;
    }
    if (handle < 0)
        return WriteFailure(aFileName, qt_error_string(errno));

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
    if (error == 0 && replaces && ::fchmod(handle, earlier.st_mode & 0777) != 0)
        error = errno;
    // Some file systems (NFS) report a failed write only here.
    if (::close(handle) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());  // the earlier file stays as it was
        return WriteFailure(aFileName, qt_error_string(error));
    }
    return {};
}

TFolderSync::TFolderSync(const QString& aFolder) : FFolder(aFolder), FHandle(OpenFolder(aFolder))
{
}

TFolderSync::~TFolderSync()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

QString TFolderSync::Sync()
{
    if (FHandle < 0)
        FHandle = OpenFolder(FFolder);
    if (FHandle < 0)
        return {};  // a folder that cannot be opened holds nothing the batch wrote
    // One flush of the folder's file system writes the whole batch with one
    // journal commit, and reports a write the disk failed since the opening.
    if (::syncfs(FHandle) != 0)
        return WriteFailure(FFolder, qt_error_string(errno));
    return {};
}

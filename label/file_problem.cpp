#include "label/file_problem.h"

#include <QtGlobal>

#include <array>
#include <cerrno>

namespace {

// The reasons a user meets and can do something about; the wording of each
// is the caller's, so these are the ones told apart.
constexpr std::array KnownCodes = {ENOSPC, EDQUOT, EACCES, EPERM, EROFS, ENOENT, ENOTDIR,
                                   ENAMETOOLONG, EFBIG, EISDIR, EIO, EMFILE, ENOMEM, EEXIST};

}  // namespace

TFileProblem TFileProblem::Of(TKind aKind, const QString& aFile, bool aWriting, const QString& aDetail)
{
    return {aKind, aWriting, aFile, 0, aDetail};
}

TFileProblem TFileProblem::FromCode(const QString& aFile, bool aWriting, int aCode)
{
    return {TKind::System, aWriting, aFile, aCode, qt_error_string(aCode)};
}

TFileProblem TFileProblem::FromText(const QString& aFile, bool aWriting, const QString& aText)
{
    return {TKind::System, aWriting, aFile, SystemErrorCode(aText), aText};
}

int SystemErrorCode(const QString& aText)
{
    if (aText.isEmpty())
        return 0;
    for (const int code : KnownCodes)
        if (qt_error_string(code).compare(aText, Qt::CaseInsensitive) == 0)
            return code;
    return 0;
}

QString FileProblemReason(const TFileProblem& aProblem)
{
    using TKind = TFileProblem::TKind;
    switch (aProblem.Kind) {
    case TKind::None: return {};
    case TKind::System: return aProblem.Detail.isEmpty() ? qt_error_string(aProblem.Code) : aProblem.Detail;
    case TKind::NotFound: return QStringLiteral("no such file");
    case TKind::Folder: return QStringLiteral("it is a folder");
    case TKind::NotRegularFile: return QStringLiteral("it is not a regular file");
    case TKind::TooLarge: return QStringLiteral("too large to be a label file (over 1 MB)");
    case TKind::NotLabelFile:
        return aProblem.Detail.isEmpty() ? QStringLiteral("not a label file (it holds binary data)")
                                         : QStringLiteral("not a label file (it is a %1)").arg(aProblem.Detail);
    case TKind::Encoder: return aProblem.Detail;
    }
    return {};
}

QString FileProblemText(const TFileProblem& aProblem)
{
    if (aProblem.IsNone())
        return {};
    return (aProblem.Writing ? QStringLiteral("Unable to write to %1: %2") : QStringLiteral("Unable to read %1: %2"))
        .arg(aProblem.File, FileProblemReason(aProblem));
}

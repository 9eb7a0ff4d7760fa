#include "label/atomic_file.h"

#include <QSaveFile>

QString WriteFailure(const QString& aFileName, const QString& aReason)
{
    return QStringLiteral("Unable to write to %1: %2").arg(aFileName, aReason);
}

QString WriteFileAtomically(const QString& aFileName, QByteArrayView aBytes)
{
    QSaveFile file(aFileName);
    // Unbuffered: what QFileDevice's write buffer still holds at commit() is
    // written by close(), whose failure QSaveFile does not see (Qt 6.4), so a
    // full disk would leave a cut-off file and report success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return WriteFailure(aFileName, file.errorString());
    // A write cut short by a full disk or a file-size limit returns the count
    // written and sets no error (errorString() says "Unknown error"); writing
    // the rest then fails at once with the system's reason.
    qint64 written = 0;
    while (written < aBytes.size()) {
        const qint64 count = file.write(aBytes.data() + written, aBytes.size() - written);
        if (count <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();  // the temporary file goes, the earlier file stays
            return WriteFailure(aFileName, reason);
        }
        written += count;
    }
    if (!file.commit())
        return WriteFailure(aFileName, file.errorString());
    return {};
}

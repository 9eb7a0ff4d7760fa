#include "editor/program_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString SettingsFileFor(const QString& aPath)
{
    const qsizetype slash = aPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = aPath.lastIndexOf(QLatin1Char('.'));
    if (dot > slash)
        return aPath.left(dot) + QStringLiteral(".ini");
    return aPath + QStringLiteral(".ini");
}

namespace {

// /usr holds what the system's packages and `make install` put there, never a
// user's files; root may write it, but a program run as root must not leave
// its settings and labels beside /usr/bin/merovik.
bool IsSystemFolder(const QString& aFolder)
{
    const QString canonical = QFileInfo(aFolder).canonicalFilePath();
    const QString folder = canonical.isEmpty() ? QDir::cleanPath(aFolder) : canonical;
    return folder == QLatin1String("/usr") || folder.startsWith(QLatin1String("/usr/"));
}

}  // namespace

TProgramPaths TProgramPaths::ForExecutable(const QString& aExePath)
{
    const QFileInfo exe(aExePath);
    const QString folder = exe.absolutePath();
    if (QFileInfo(folder).isWritable() && !IsSystemFolder(folder))
        return InFolder(folder, exe.fileName());

    // Installed where the user cannot or must not write: keep the same file
    // names, but in the user's own locations.
    TProgramPaths paths;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    paths.SettingsFile = QDir(config).filePath(SettingsFileFor(exe.fileName()));
    paths.LabelsFolder = QDir(data).filePath(QStringLiteral("labels"));
    return paths;
}

TProgramPaths TProgramPaths::InFolder(const QString& aFolder, const QString& aExeName)
{
    const QDir dir(aFolder);
    TProgramPaths paths;
    paths.SettingsFile = dir.filePath(SettingsFileFor(aExeName));
    paths.LabelsFolder = dir.filePath(QStringLiteral("labels"));
    return paths;
}

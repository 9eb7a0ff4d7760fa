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

TProgramPaths TProgramPaths::ForExecutable(const QString& aExePath)
{
    const QFileInfo exe(aExePath);
    const QString folder = exe.absolutePath();
    if (QFileInfo(folder).isWritable())
        return InFolder(folder, exe.fileName());

    // Installed where the user cannot write: keep the same file names, but
    // in the user's own locations.
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

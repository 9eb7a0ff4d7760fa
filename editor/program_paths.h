#pragma once

#include <QString>

// Where the program keeps its settings file and its label library.
struct TProgramPaths
{
    QString SettingsFile;  // full path of the settings file
    QString LabelsFolder;  // full path of the "labels" folder

    // Beside the executable: "<exe without extension>.ini" and "labels". When
    // the executable's folder cannot be written or lies in /usr (a system-wide
    // install), the per-user configuration and data locations instead.
    static TProgramPaths ForExecutable(const QString& aExePath);

    // Both inside aFolder, named as beside an executable called aExeName.
    static TProgramPaths InFolder(const QString& aFolder, const QString& aExeName = QStringLiteral("merovik"));
};

// aPath with its extension replaced by ".ini". The extension starts at the
// last "." after the last "/"; a name without one gets ".ini" appended.
QString SettingsFileFor(const QString& aPath);

// Where the editor keeps its files, and the error box text.
#include "editor/dialogs.h"
#include "editor/program_paths.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TstEditorParts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void settingsFileName_data();
    void settingsFileName();
    void programPathsFallBackToPerUser_data();
    void programPathsFallBackToPerUser();
    void errorBoxText_data();
    void errorBoxText();
};

void TstEditorParts::initTestCase()
{
    // Per-user locations under a test folder, never the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Merovik"));
}

void TstEditorParts::settingsFileName_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("settings");
    QTest::newRow("no extension gets .ini") << "/opt/merovik/merovik" << "/opt/merovik/merovik.ini";
    QTest::newRow("only the last extension replaced") << "/opt/m/merovik.v2.exe" << "/opt/m/merovik.v2.ini";
    QTest::newRow("dot in a folder name is no extension") << "/home/a.b/merovik" << "/home/a.b/merovik.ini";
}

void TstEditorParts::settingsFileName()
{
    QFETCH(QString, executable);
    QFETCH(QString, settings);
    QCOMPARE(SettingsFileFor(executable), settings);
}

void TstEditorParts::programPathsFallBackToPerUser_data()
{
    QTest::addColumn<QString>("folder");  // %1 is a writable test folder
    QTest::addColumn<bool>("beside");
    QTest::newRow("writable folder keeps both beside the program") << "%1" << true;
    // A folder that does not exist cannot be written by anyone, root included.
    QTest::newRow("folder that does not exist") << "/nonexistent/merovik-bin" << false;
    // Root can write these: the program must still not fill them.
    QTest::newRow("installed by the package") << "/usr/bin" << false;
    QTest::newRow("installed by make install") << "/usr/local/bin" << false;
}

void TstEditorParts::programPathsFallBackToPerUser()
{
    QFETCH(QString, folder);
    QFETCH(bool, beside);
    QTemporaryDir dir;
    folder.replace(QStringLiteral("%1"), dir.path());

    const TProgramPaths paths = TProgramPaths::ForExecutable(folder + QStringLiteral("/merovik"));
    if (beside) {
        QCOMPARE(paths.SettingsFile, folder + "/merovik.ini");
        QCOMPARE(paths.LabelsFolder, folder + "/labels");
    } else {
        QCOMPARE(paths.SettingsFile,
                 QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/merovik.ini");
        QCOMPARE(paths.LabelsFolder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/labels");
    }
}

void TstEditorParts::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter gets a full stop") << "''geel'' is not a valid integer value"
                                             << "''geel'' is not a valid integer value.";
    QTest::newRow("digit sorts after . and gets one") << "fout 2" << "fout 2.";
    QTest::newRow("full stop kept single") << "Klaar." << "Klaar.";
    QTest::newRow("! sorts before . and gets none") << "Let op!" << "Let op!";
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("each line of several") << "''a'' is not valid\n''b'' is not valid"
                                          << "''a'' is not valid.\n''b'' is not valid.";
}

void TstEditorParts::errorBoxText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorBoxText(message), shown);
}

QTEST_MAIN(TstEditorParts)
#include "tst_editor_parts.moc"

#include "editor/dialogs.h"
#include "editor/main_window.h"
#include "editor/program_paths.h"
#include "kit/icons.h"
#include "kit/visual_style.h"
#include "print/label_catalogue.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <csignal>

int main(int argc, char* argv[])
{
    // Under a file-size limit a save past it then fails with EFBIG and shows
    // its message, instead of the signal ending the program with the design.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Merovik"));
    QApplication::setApplicationVersion(QStringLiteral(MEROVIK_VERSION));
    // The installed menu entry and icon, so that the desktop groups the
    // window under them; the compiled-in icon serves without an install too.
    QApplication::setDesktopFileName(QStringLiteral("nl.merovik.Merovik"));
    QApplication::setWindowIcon(QIcon(MerovikProgramIconPath()));
    // The label catalogue is read while the window opens, so that the print
    // dialog need not wait for it.
    StartReadingInstalledCatalogue();

    // The program speaks Dutch whatever the desktop's language, and so do
    // Qt's own dialogs and buttons. Without the translations they stay English.
    // Numbers and the names of file kinds too, under any system locale.
    QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_nl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    // "merovik LABEL.lbl", as a file manager's "Open with" starts it.
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("label"), QStringLiteral("A label file to open."),
                                 QStringLiteral("[LABEL.lbl]"));
    parser.process(app);
    const QStringList files = parser.positionalArguments();

    TQtDialogs dialogs;
    QString styleError;
    if (!ApplyVisualStyle(app, &styleError))
        dialogs.ShowError(nullptr, styleError);  // and go on with the standard look

    TFrmMain window(dialogs, TProgramPaths::ForExecutable(QCoreApplication::applicationFilePath()));
    window.CenterOnScreen();
    window.show();
    // Read after the settings, once the window is up, so an error box has
    // the window behind it.
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&window, file = files.first()] { window.OpenLabelFile(file); });
    return app.exec();
}

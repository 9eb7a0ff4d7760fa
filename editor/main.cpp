#include "editor/dialogs.h"
#include "editor/main_window.h"
#include "editor/program_paths.h"
#include "kit/icons.h"
#include "kit/visual_style.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Merovik"));
    QApplication::setApplicationVersion(QStringLiteral(MEROVIK_VERSION));
    // The installed menu entry and icon, so that the desktop groups the
    // window under them; the compiled-in icon serves without an install too.
    QApplication::setDesktopFileName(QStringLiteral("merovik"));
    QApplication::setWindowIcon(QIcon(MerovikProgramIconPath()));

    TQtDialogs dialogs;
    QString styleError;
    if (!ApplyVisualStyle(app, &styleError))
        dialogs.ShowError(nullptr, styleError);  // and go on with the standard look

    TFrmMain window(dialogs, TProgramPaths::ForExecutable(QCoreApplication::applicationFilePath()));
    window.CenterOnScreen();
    window.show();
    return app.exec();
}

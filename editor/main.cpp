#include "editor/dialogs.h"
#include "editor/main_window.h"
#include "editor/program_paths.h"
#include "kit/visual_style.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Merovik"));

    TQtDialogs dialogs;
    QString styleError;
    if (!ApplyVisualStyle(app, &styleError))
        dialogs.ShowError(nullptr, styleError);  // and go on with the standard look

    TFrmMain window(dialogs, TProgramPaths::ForExecutable(QCoreApplication::applicationFilePath()));
    window.CenterOnScreen();
    window.show();
    return app.exec();
}

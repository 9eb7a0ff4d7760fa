#include "editor/manual_window.h"

#include <QUrl>

TManualWindow::TManualWindow(QWidget* aParent) : QTextBrowser(aParent)
{
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Handleiding \u2013 Merovik"));
    setOpenExternalLinks(true);
    setSource(QUrl(QStringLiteral("qrc") + Resource));
    resize(640, 720);
}

#pragma once

#include <QString>

class QApplication;

// The program's look, "Aqua Light Slate": Fusion, a light slate-blue palette
// and the style sheet compiled in as a resource.
inline const QString VisualStyleResource = QStringLiteral(":/style/aqua_light_slate.qss");

// Applies the look to the whole application. When the style sheet cannot be
// read it changes nothing, puts the reason into aError (if given) and returns
// false; the caller reports it and goes on with the standard look.
bool ApplyVisualStyle(QApplication& aApp, QString* aError);

// The same with the style sheet read from aPath.
bool ApplyVisualStyleFrom(QApplication& aApp, const QString& aPath, QString* aError);

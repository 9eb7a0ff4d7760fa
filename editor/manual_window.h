#pragma once

#include <QTextBrowser>

// The short manual (resources/manual), in a window of its own beside the
// editor, so the label stays in view while reading.
class TManualWindow : public QTextBrowser
{
    Q_OBJECT

public:
    static inline const QString Resource = QStringLiteral(":/manual/handleiding.html");

    explicit TManualWindow(QWidget* aParent = nullptr);
};

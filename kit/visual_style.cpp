#include "kit/visual_style.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace
{
// Widgets the style sheet does not reach (the colour dialog's innards, the
// combo box lists, Fusion's indicators) take their colours from here.
QPalette SlatePalette()
{
    const QColor window(0xE4, 0xE9, 0xF0);
    const QColor text(0x1F, 0x2A, 0x3A);
    const QColor greyText(0x9A, 0xA3, 0xAF);

    QPalette pal;
    pal.setColor(QPalette::Window, window);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::AlternateBase, QColor(0xEE, 0xF2, 0xF7));
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::PlaceholderText, greyText);
    pal.setColor(QPalette::Button, QColor(0xE9, 0xEE, 0xF5));
    pal.setColor(QPalette::ButtonText, text);
    pal.setColor(QPalette::BrightText, Qt::white);
    pal.setColor(QPalette::Light, Qt::white);
    pal.setColor(QPalette::Midlight, QColor(0xF1, 0xF4, 0xF8));
    pal.setColor(QPalette::Mid, QColor(0xB4, 0xBF, 0xCE));
    pal.setColor(QPalette::Dark, QColor(0x8D, 0x9C, 0xB3));
    pal.setColor(QPalette::Shadow, QColor(0x4A, 0x55, 0x66));
    pal.setColor(QPalette::Highlight, QColor(0x5B, 0x7D, 0xB1));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::Link, QColor(0x2A, 0x5A, 0x9C));
    pal.setColor(QPalette::LinkVisited, QColor(0x5E, 0x4A, 0x8C));
    pal.setColor(QPalette::ToolTipBase, QColor(0xF6, 0xF8, 0xFC));
    pal.setColor(QPalette::ToolTipText, text);

    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, greyText);
    pal.setColor(QPalette::Disabled, QPalette::Base, QColor(0xEE, 0xF0, 0xF3));
    pal.setColor(QPalette::Disabled, QPalette::Button, QColor(0xEC, 0xEE, 0xF1));
    pal.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xB8, 0xC0, 0xCC));
    return pal;
}
}

bool ApplyVisualStyle(QApplication& aApp, QString* aError)
{
    return ApplyVisualStyleFrom(aApp, VisualStyleResource, aError);
}

bool ApplyVisualStyleFrom(QApplication& aApp, const QString& aPath, QString* aError)
{
    auto fail = [aError](const QString& aMessage) {
        if (aError)
            *aError = aMessage;
        return false;
    };

    QFile file(aPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(QStringLiteral("De stijl \"Aqua Light Slate\" kan niet worden geladen uit %1: %2")
                        .arg(aPath, file.errorString()));
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.trimmed().isEmpty())
        return fail(QStringLiteral("De stijl \"Aqua Light Slate\" in %1 is leeg").arg(aPath));

    QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (!fusion)
        return fail(QStringLiteral("De basisstijl Fusion ontbreekt"));
    QApplication::setStyle(fusion);
    QApplication::setPalette(SlatePalette());
    aApp.setStyleSheet(sheet);
    return true;
}

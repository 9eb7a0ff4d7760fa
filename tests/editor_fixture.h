#pragma once

// A main window on a temporary program folder, with scripted dialogs.
#include "editor/main_window.h"
#include "label/label_document.h"
#include "scripted_dialogs.h"

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

struct TFixture
{
    QTemporaryDir Dir;
    TScriptedDialogs Dialogs;
    std::unique_ptr<TFrmMain> Window;

    TProgramPaths Paths() const { return TProgramPaths::InFolder(Dir.path()); }

    TFrmMain& Open()
    {
        Window = std::make_unique<TFrmMain>(Dialogs, Paths());
        Window->show();
        if (!QTest::qWaitForWindowExposed(Window.get()))
            qWarning("window not exposed");
        return *Window;
    }

    static void WriteFile(const QString& aPath, const QByteArray& aContents)
    {
        QFile file(aPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(aContents) != aContents.size())
            qFatal("cannot write the fixture %s", qPrintable(aPath));
    }

    void WriteSettings(const QByteArray& aIni) const { WriteFile(Paths().SettingsFile, aIni); }

    // A small picture for the middle of the label.
    QString Picture() const
    {
        const QString path = Dir.filePath(QStringLiteral("middle.png"));
        if (!QFile::exists(path)) {
            QImage picture(40, 40, QImage::Format_RGB32);
            picture.fill(Qt::blue);
            picture.save(path);
        }
        return path;
    }
};

inline void Click(QAbstractButton* aButton)
{
    // Check boxes and radio buttons take clicks on their box and caption
    // only, which need not reach the middle of a stretched widget.
    const bool indicator = qobject_cast<QCheckBox*>(aButton) || qobject_cast<QRadioButton*>(aButton);
    const QPoint at = indicator ? QPoint(8, aButton->height() / 2) : aButton->rect().center();
    QTest::mouseClick(aButton, Qt::LeftButton, Qt::NoModifier, at);
}

// The ids of the elements whose stored fields differ.
inline QStringList Differences(const TLabelDocument& aA, const TLabelDocument& aB)
{
    QStringList diffs;
    const auto text = [&](const TLabelText& a, const TLabelText& b) {
        if (a.Text != b.Text || a.FontName != b.FontName || a.FontSize != b.FontSize || a.FontColor != b.FontColor)
            diffs << a.Id;
    };
    text(aA.FLabelName, aB.FLabelName);
    text(aA.FLabelType, aB.FLabelType);
    text(aA.FLabelSub1, aB.FLabelSub1);
    text(aA.FLabelSub2, aB.FLabelSub2);
    text(aA.FLabelDate, aB.FLabelDate);
    const TLabelImage& a = aA.FLabelBg;
    const TLabelImage& b = aB.FLabelBg;
    if (a.FileName != b.FileName || a.Color != b.Color || a.UseColor != b.UseColor || a.Effect != b.Effect
        || a.Trans != b.Trans || a.PngFile != b.PngFile || a.UsePng != b.UsePng || a.BgPosX != b.BgPosX
        || a.BgPosY != b.BgPosY || a.PngPosX != b.PngPosX || a.PngPosY != b.PngPosY || a.PngWidth != b.PngWidth)
        diffs << a.Id;
    const auto ring = [&](const TLabelItem& a, const TLabelItem& b) {
        if (a.Use != b.Use || a.Color != b.Color)
            diffs << a.Id;
    };
    ring(aA.FLabelRing1, aB.FLabelRing1);
    ring(aA.FLabelRing2, aB.FLabelRing2);
    ring(aA.FLabelRing3, aB.FLabelRing3);
    ring(aA.FLabelRing4, aB.FLabelRing4);
    return diffs;
}

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
#include <tuple>

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

    // A small picture for the middle of the label, made on first use.
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
    const auto text = [](const TLabelText& t) { return std::tie(t.Text, t.FontName, t.FontSize, t.FontColor); };
    for (auto field : {&TLabelDocument::FLabelName, &TLabelDocument::FLabelType, &TLabelDocument::FLabelSub1,
                       &TLabelDocument::FLabelSub2, &TLabelDocument::FLabelDate})
        if (text(aA.*field) != text(aB.*field))
            diffs << (aA.*field).Id;
    const auto bg = [](const TLabelImage& i) {
        return std::tie(i.FileName, i.Color, i.UseColor, i.Effect, i.Trans, i.PngFile, i.UsePng, i.BgPosX, i.BgPosY,
                        i.PngPosX, i.PngPosY, i.PngWidth);
    };
    if (bg(aA.FLabelBg) != bg(aB.FLabelBg))
        diffs << aA.FLabelBg.Id;
    const auto ring = [](const TLabelItem& r) { return std::tie(r.Use, r.Color); };
    for (auto field : {&TLabelDocument::FLabelRing1, &TLabelDocument::FLabelRing2, &TLabelDocument::FLabelRing3,
                       &TLabelDocument::FLabelRing4})
        if (ring(aA.*field) != ring(aB.*field))
            diffs << (aA.*field).Id;
    return diffs;
}

#pragma once

#include "editor/dialogs.h"

#include <QPrinter>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

// Answers the window's dialogs from scripts and records what was asked.
// An answer list that has run dry answers like a user who cancels.
class TScriptedDialogs : public TDialogs
{
public:
    struct TFileRequest
    {
        QString Folder;
        QString FileName;
    };
    // A progress shown: what it said, its steps and how far it came.
    struct TProgressRun
    {
        QString Text;
        int Total = 0;
        int Done = 0;
    };

    std::deque<QString> OpenLabelAnswers;
    std::deque<QString> SaveLabelAnswers;
    std::deque<QString> OpenPictureAnswers;
    std::deque<QString> SavePictureAnswers;
    std::deque<std::optional<TFontChoice>> FontAnswers;
    std::deque<bool> ConfirmAnswers;
    std::deque<QString> SavePdfAnswers;
    std::deque<QString> OpenTableAnswers;
    std::deque<QString> FolderAnswers;
    // The user cancels a progress once it has reached this step; never when negative.
    int CancelProgressAt = -1;
    // The PDF file a chosen printer writes to; an empty one cancels.
    std::deque<QString> PrinterAnswers;
    bool PrinterInstalled = true;
    // Runs in place of a user working in the print dialog.
    std::function<void(TPrintDialog&)> PrintDialogScript;

    QList<TFileRequest> OpenLabelRequests;
    QList<TFileRequest> SaveLabelRequests;
    QStringList OpenPictureRequests;
    QList<TFileRequest> SavePictureRequests;
    QList<TFontChoice> FontRequests;
    QList<TFileRequest> SavePdfRequests;
    QStringList OpenTableRequests;  // the folder each dialog opened in
    QStringList FolderRequests;
    QList<TProgressRun> ProgressRuns;
    QStringList PrinterRequests;  // the document name of each printer offered
    int PrintDialogRuns = 0;
    QStringList Questions;
    QStringList Errors;
    QList<QUrl> Links;

    QString OpenLabel(QWidget*, const QString& aFolder) override
    {
        return Next(OpenLabelAnswers, OpenLabelRequests, {aFolder, QString()});
    }
    QString SaveLabel(QWidget*, const QString& aFolder, const QString& aFileName) override
    {
        return Next(SaveLabelAnswers, SaveLabelRequests, {aFolder, aFileName});
    }
    QString OpenPicture(QWidget*, const QString& aFileName) override
    {
        return Next(OpenPictureAnswers, OpenPictureRequests, aFileName);
    }
    QString SavePicture(QWidget*, const QString& aFolder, const QString& aFileName) override
    {
        return Next(SavePictureAnswers, SavePictureRequests, {aFolder, aFileName});
    }
    QString SavePdf(QWidget*, const QString& aFolder, const QString& aFileName) override
    {
        return Next(SavePdfAnswers, SavePdfRequests, {aFolder, aFileName});
    }
    QString OpenTable(QWidget*, const QString& aFolder) override
    {
        return Next(OpenTableAnswers, OpenTableRequests, aFolder);
    }
    QString ChooseFolder(QWidget*, const QString& aFolder) override
    {
        return Next(FolderAnswers, FolderRequests, aFolder);
    }
    std::unique_ptr<TProgress> StartProgress(QWidget*, const QString& aText, int aTotal) override
    {
        ProgressRuns.append({aText, aTotal, 0});
        return std::make_unique<TScriptedProgress>(*this, int(ProgressRuns.size()) - 1);
    }
    bool HasPrinter() override { return PrinterInstalled; }
    bool ChoosePrinter(QWidget*, QPrinter& aPrinter) override
    {
        const QString file = Next(PrinterAnswers, PrinterRequests, aPrinter.docName());
        if (file.isEmpty())
            return false;
        aPrinter.setOutputFormat(QPrinter::PdfFormat);
        aPrinter.setOutputFileName(file);
        return true;
    }
    void RunPrintDialog(TPrintDialog& aDlg) override
    {
        ++PrintDialogRuns;
        if (PrintDialogScript)
            PrintDialogScript(aDlg);
    }
    std::optional<TFontChoice> ChooseFont(QWidget*, const TFontChoice& aInitial, const QString&) override
    {
        return Next(FontAnswers, FontRequests, aInitial);
    }
    bool Confirm(QWidget*, const QString& aQuestion) override { return Next(ConfirmAnswers, Questions, aQuestion); }
    void ShowError(QWidget*, const QString& aMessage) override { Errors.append(aMessage); }
    void OpenLink(const QUrl& aUrl) override { Links.append(aUrl); }

private:
    struct TScriptedProgress : TProgress
    {
        TScriptedProgress(TScriptedDialogs& aDialogs, int aRun) : Dialogs(aDialogs), Run(aRun) {}
        bool Step(int aDone) override
        {
            Dialogs.ProgressRuns[Run].Done = aDone;
            return Dialogs.CancelProgressAt < 0 || aDone < Dialogs.CancelProgressAt;
        }
        TScriptedDialogs& Dialogs;
        int Run = 0;
    };

    // Records the request; returns the next answer, or the cancelling one
    // ({}: empty, nullopt, false) when the script has run dry.
    template <typename T, typename TRequests>
    static T Next(std::deque<T>& aAnswers, TRequests& aRequests, const typename TRequests::value_type& aRequest)
    {
        aRequests.append(aRequest);
        if (aAnswers.empty())
            return {};
        const T answer = aAnswers.front();
        aAnswers.pop_front();
        return answer;
    }
};

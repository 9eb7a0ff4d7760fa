#pragma once

#include "editor/dialogs.h"

#include <QStringList>
#include <QUrl>
#include <deque>
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

    std::deque<QString> OpenLabelAnswers;
    std::deque<QString> SaveLabelAnswers;
    std::deque<QString> OpenPictureAnswers;
    std::deque<QString> SavePictureAnswers;
    std::deque<std::optional<TFontChoice>> FontAnswers;
    std::deque<bool> ConfirmAnswers;

    QList<TFileRequest> OpenLabelRequests;
    QList<TFileRequest> SaveLabelRequests;
    QStringList OpenPictureRequests;
    QList<TFileRequest> SavePictureRequests;
    QList<TFontChoice> FontRequests;
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
    std::optional<TFontChoice> ChooseFont(QWidget*, const TFontChoice& aInitial, const QString&) override
    {
        return Next(FontAnswers, FontRequests, aInitial);
    }
    bool Confirm(QWidget*, const QString& aQuestion) override { return Next(ConfirmAnswers, Questions, aQuestion); }
    void ShowError(QWidget*, const QString& aMessage) override { Errors.append(aMessage); }
    void OpenLink(const QUrl& aUrl) override { Links.append(aUrl); }

private:
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

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
    // What a file dialog was opened with.
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
        OpenLabelRequests.append({aFolder, QString()});
        return Next(OpenLabelAnswers);
    }

    QString SaveLabel(QWidget*, const QString& aFolder, const QString& aFileName) override
    {
        SaveLabelRequests.append({aFolder, aFileName});
        return Next(SaveLabelAnswers);
    }

    QString OpenPicture(QWidget*, const QString& aFileName) override
    {
        OpenPictureRequests.append(aFileName);
        return Next(OpenPictureAnswers);
    }

    QString SavePicture(QWidget*, const QString& aFolder, const QString& aFileName) override
    {
        SavePictureRequests.append({aFolder, aFileName});
        return Next(SavePictureAnswers);
    }

    std::optional<TFontChoice> ChooseFont(QWidget*, const TFontChoice& aInitial, const QString&) override
    {
        FontRequests.append(aInitial);
        if (FontAnswers.empty())
            return std::nullopt;
        const std::optional<TFontChoice> answer = FontAnswers.front();
        FontAnswers.pop_front();
        return answer;
    }

    bool Confirm(QWidget*, const QString& aQuestion) override
    {
        Questions.append(aQuestion);
        if (ConfirmAnswers.empty())
            return false;
        const bool answer = ConfirmAnswers.front();
        ConfirmAnswers.pop_front();
        return answer;
    }

    void ShowError(QWidget*, const QString& aMessage) override { Errors.append(aMessage); }

    void OpenLink(const QUrl& aUrl) override { Links.append(aUrl); }

private:
    static QString Next(std::deque<QString>& aAnswers)
    {
        if (aAnswers.empty())
            return {};
        QString answer = aAnswers.front();
        aAnswers.pop_front();
        return answer;
    }
};

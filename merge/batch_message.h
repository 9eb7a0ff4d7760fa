#pragma once

#include "label/file_problem.h"
#include "label/label_elements.h"
#include "render/picture_cache.h"

#include <QString>

// What a batch of pictures tells about one of its labels, as a value: the
// editor and merovik-render word it, each in its own language.
struct TBatchMessage
{
    enum class TKind {
        None,
        LabelValue,       // Value: a value of the job's label file that could not be used; drawn with its default
        PictureLeftOut,   // Middle, PictureFile, Picture: the label is drawn without this picture
        PictureRequired,  // as PictureLeftOut, for a picture the job names: its picture is not written
        LabelUnread,      // File: the job's label file could not be read
        NotWritten,       // File: the picture was not written; with Job -1 a folder's pictures did not reach the disk
        NotDrawn,         // Detail: why drawing the label failed, empty when nothing says
    };

    TKind Kind = TKind::None;
    int Job = -1;  // the index of the job it is about
    TLoadProblem Value;
    bool Middle = false;  // the middle picture, else the background photo
    QString PictureFile;  // as the label holds it
    TPictureProblem Picture;
    TFileProblem File;
    QString Detail;

    bool IsNone() const { return Kind == TKind::None; }

    static TBatchMessage Of(TKind aKind, int aJob = -1)
    {
        TBatchMessage message;
        message.Kind = aKind;
        message.Job = aJob;
        return message;
    }
};

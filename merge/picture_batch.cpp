#include "merge/picture_batch.h"

#include "label/atomic_file.h"
#include "merge/label_pool.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"

#include <QFileInfo>

#include <map>
#include <tuple>
#include <utility>

namespace {

// The label of aJob, read from its file when it names one; false after
// setting aResult's error when it cannot be used.
bool JobDocument(int aIndex, const TPictureJob& aJob, TLabelDocument& aDocument, TLabelResult& aResult)
{
    if (aJob.LabelFile.isEmpty()) {
        aDocument = aJob.Document;
        return true;
    }
    const TLabelRead read = ReadLabelToRender(aJob.LabelFile, aDocument);
    if (!read.Ok()) {
        aResult.Error = TBatchMessage::Of(TBatchMessage::TKind::LabelUnread, aIndex);
        aResult.Error.File = read.Problem;
        return false;
    }
    for (const QList<TLoadProblem>* problems : {&read.Report.Errors, &read.Report.Warnings}) {
        for (const TLoadProblem& problem : *problems) {
            TBatchMessage warning = TBatchMessage::Of(TBatchMessage::TKind::LabelValue, aIndex);
            warning.Value = problem;
            aResult.Warnings << warning;
        }
    }
    return true;
}

}  // namespace

TBatchResult RenderPictures(TLabelPool& aPool, const QList<TPictureJob>& aJobs, const QString& aFormat,
                            int aQuality, const TBatchCallbacks& aCallbacks)
{
    TBatchResult result;
    // Each folder the batch writes into, with the pictures written there: they
    // reach the disk together at the end.
    struct TFolder
    {
        explicit TFolder(const QString& aPath) : Sync(aPath) {}
        TFolderSync Sync;
        int Written = 0;
    };
    std::map<QString, TFolder> folders;
    const auto work = [&](int aIndex, TLabelRenderer& aRenderer) {
        const TPictureJob& job = aJobs[aIndex];
        TLabelResult made;
        TLabelDocument document;
        if (!JobDocument(aIndex, job, document, made))
            return made;
        aRenderer.DrawLabel(document);
        const TRenderReport& report = aRenderer.Report();
        QList<TBatchMessage> leftOut;
        for (const auto& [middle, file, problem] : {std::tuple(false, report.BackgroundFile, report.Background),
                                                    std::tuple(true, report.MiddleFile, report.Middle)}) {
            if (problem.IsNone())
                continue;
            // A picture the job names must be on its label: without it the label is wrong.
            const bool required = job.RequiredPictures.contains(file);
            TBatchMessage message = TBatchMessage::Of(
                required ? TBatchMessage::TKind::PictureRequired : TBatchMessage::TKind::PictureLeftOut, aIndex);
            message.Middle = middle;
            message.PictureFile = file;
            message.Picture = problem;
            if (required) {
                made.Error = message;
                return made;
            }
            leftOut << message;
        }
        // The label is drawn without what it could not use; the user hears why.
        made.Warnings << leftOut;
        TEncodedPicture picture = EncodeRaster(aRenderer.Raster(), aFormat, aQuality);
        if (!picture.Error.isEmpty()) {
            made.Error = TBatchMessage::Of(TBatchMessage::TKind::NotWritten, aIndex);
            made.Error.File = TFileProblem::Of(TFileProblem::TKind::Encoder, job.Output, true, picture.Error);
        }
        made.Bytes = std::move(picture.Bytes);
        return made;
    };
    const auto deliver = [&](int aIndex, const TLabelResult& aMade) {
        for (const TBatchMessage& warning : aMade.Warnings)
            if (aCallbacks.Warning)
                aCallbacks.Warning(warning);
        const QString& output = aJobs[aIndex].Output;
        TBatchMessage failure = aMade.Error;
        if (failure.IsNone()) {
            const QString path = QFileInfo(output).absolutePath();
            const auto [entry, added] = folders.try_emplace(path, path);
            if (added)
                RemoveTemporaryLeftovers(path);
            const TBatchWrite write = WriteFileForBatch(output, aMade.Bytes);
            if (write.Ok()) {
                ++result.Written;
                ++entry->second.Written;
                return !aCallbacks.Progress || aCallbacks.Progress(aIndex + 1, int(aJobs.size()));
            }
            // Every later picture would be refused the same way, after its rendering.
            if (write.StopsBatch) {
                ++result.Failed;
                result.Stopped = write.Problem;
                return false;
            }
            failure = TBatchMessage::Of(TBatchMessage::TKind::NotWritten, aIndex);
            failure.File = write.Problem;
        }
        ++result.Failed;
        if (aCallbacks.Error)
            aCallbacks.Error(failure);
        return !aCallbacks.Progress || aCallbacks.Progress(aIndex + 1, int(aJobs.size()));
    };
    result.Cancelled = !aPool.Run(int(aJobs.size()), work, deliver) && result.Stopped.IsNone();
    for (auto& [path, folder] : folders) {
        const TFileProblem problem = folder.Sync.Sync();
        if (problem.IsNone() || folder.Written == 0)
            continue;
        // The system lost some of them and does not say which.
        result.Written -= folder.Written;
        result.Failed += folder.Written;
        if (aCallbacks.Error) {
            TBatchMessage message = TBatchMessage::Of(TBatchMessage::TKind::NotWritten);
            message.File = problem;
            aCallbacks.Error(message);
        }
    }
    return result;
}

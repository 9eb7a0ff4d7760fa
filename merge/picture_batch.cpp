#include "merge/picture_batch.h"

#include "label/atomic_file.h"
#include "merge/label_pool.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"

#include <QFileInfo>

#include <map>
#include <utility>

namespace {

// The label of aJob, read from its file when it names one; false after
// setting aResult's error when it cannot be used.
bool JobDocument(const TPictureJob& aJob, TLabelDocument& aDocument, TLabelResult& aResult)
{
    if (aJob.LabelFile.isEmpty()) {
        aDocument = aJob.Document;
        return true;
    }
    const TLabelRead read = ReadLabelToRender(aJob.LabelFile, aDocument);
    aResult.Error = read.Error;
    for (const QString& problem : read.Warnings)
        aResult.Warnings << QStringLiteral("%1: %2").arg(aJob.Source, problem);
    return read.Ok();
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
        if (!JobDocument(job, document, made))
            return made;
        aRenderer.DrawLabel(document);
        const TRenderReport& report = aRenderer.Report();
        // A picture the job names must be on its label: without it the label is wrong.
        for (const auto& [file, problem] : {std::pair(report.BackgroundFile, report.Background),
                                            std::pair(report.MiddleFile, report.Middle)}) {
            if (!problem.IsNone() && job.RequiredPictures.contains(file)) {
                made.Error = QStringLiteral("%1: \"%2\" cannot be drawn (%3); %4 is not written")
                                 .arg(job.Source, file, problem.Reason(), job.Output);
                return made;
            }
        }
        // The label is drawn without what it could not use; the user hears why.
        for (const QString& problem : report.Warnings())
            made.Warnings << QStringLiteral("%1: %2").arg(job.Source, problem);
        TEncodedPicture picture = EncodeRaster(aRenderer.Raster(), aFormat, aQuality);
        if (!picture.Error.isEmpty())
            made.Error = WriteFailure(job.Output, picture.Error);
        made.Bytes = std::move(picture.Bytes);
        return made;
    };
    const auto deliver = [&](int aIndex, const TLabelResult& aMade) {
        for (const QString& warning : aMade.Warnings)
            if (aCallbacks.Warning)
                aCallbacks.Warning(warning);
        const QString& output = aJobs[aIndex].Output;
        TBatchWrite write{aMade.Error};
        TFolder* folder = nullptr;
        if (write.Ok()) {
            const QString path = QFileInfo(output).absolutePath();
            const auto [entry, added] = folders.try_emplace(path, path);
            if (added)
                RemoveTemporaryLeftovers(path);
            folder = &entry->second;
            write = WriteFileForBatch(output, aMade.Bytes);
        }
        if (write.Ok()) {
            ++result.Written;
            ++folder->Written;
        } else {
            ++result.Failed;
            // Every later picture would be refused the same way, after its rendering.
            if (write.StopsBatch) {
                result.Stopped = write.Failure;
                return false;
            }
            if (aCallbacks.Error)
                aCallbacks.Error(write.Failure);
        }
        return !aCallbacks.Progress || aCallbacks.Progress(aIndex + 1, int(aJobs.size()));
    };
    result.Cancelled = !aPool.Run(int(aJobs.size()), work, deliver) && result.Stopped.isEmpty();
    for (auto& [path, folder] : folders) {
        const QString error = folder.Sync.Sync();
        if (error.isEmpty() || folder.Written == 0)
            continue;
        // The system lost some of them and does not say which.
        result.Written -= folder.Written;
        result.Failed += folder.Written;
        if (aCallbacks.Error)
            aCallbacks.Error(error);
    }
    return result;
}

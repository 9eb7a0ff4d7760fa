#include "merge/picture_batch.h"

#include "label/atomic_file.h"
#include "merge/label_pool.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"

#include <QFileInfo>

#include <map>

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
        // The label is drawn without what it could not use; the user hears why.
        for (const QString& problem : aRenderer.Report().Warnings())
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
        QString error = aMade.Error;
        TFolder* folder = nullptr;
        if (error.isEmpty()) {
            const QString path = QFileInfo(output).absolutePath();
            folder = &folders.try_emplace(path, path).first->second;
            error = WriteFileForBatch(output, aMade.Bytes);
        }
        if (error.isEmpty()) {
            ++result.Written;
            ++folder->Written;
        } else {
            ++result.Failed;
            if (aCallbacks.Error)
                aCallbacks.Error(error);
        }
        return !aCallbacks.Progress || aCallbacks.Progress(aIndex + 1, int(aJobs.size()));
    };
    result.Cancelled = !aPool.Run(int(aJobs.size()), work, deliver);
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

#include "merge/picture_batch.h"

#include "label/atomic_file.h"
#include "merge/label_pool.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"

#include <QFileInfo>

namespace {

// The label of aJob, read from its file when it names one; false after
// setting aResult's error when it cannot be used.
bool JobDocument(const TPictureJob& aJob, TLabelDocument& aDocument, TLabelResult& aResult)
{
    if (aJob.LabelFile.isEmpty()) {
        aDocument = aJob.Document;
        return true;
    }
    const QFileInfo info(aJob.LabelFile);
    if (info.exists() && !info.isFile()) {
        aResult.Error = QStringLiteral("%1: not a label file").arg(aJob.Source);
        return false;
    }
    const TLoadReport report = aDocument.LoadFromFile(aJob.LabelFile);
    if (!report.FileFound) {
        aResult.Error = QStringLiteral("%1: no such label file").arg(aJob.Source);
        return false;
    }
    // Not read at all (not a label file, too large): refused rather than
    // rendered from defaults. The message names the file.
    if (!report.ReadError.isEmpty()) {
        aResult.Error = report.ReadError;
        return false;
    }
    for (const QString& problem : report.Errors + report.Warnings)
        aResult.Warnings << QStringLiteral("%1: %2").arg(aJob.Source, problem);
    return true;
}

}  // namespace

TBatchResult RenderPictures(TLabelPool& aPool, const QList<TPictureJob>& aJobs, const QString& aFormat,
                            int aQuality, const TBatchCallbacks& aCallbacks)
{
    TBatchResult result;
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
        QString error = aMade.Error;
        if (error.isEmpty())
            error = WriteFileAtomically(aJobs[aIndex].Output, aMade.Bytes);
        if (error.isEmpty()) {
            ++result.Written;
        } else {
            ++result.Failed;
            if (aCallbacks.Error)
                aCallbacks.Error(error);
        }
        return !aCallbacks.Progress || aCallbacks.Progress(aIndex + 1, int(aJobs.size()));
    };
    result.Cancelled = !aPool.Run(int(aJobs.size()), work, deliver);
    return result;
}

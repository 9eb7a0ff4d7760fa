#include "print/pdf_writer.h"

#include "label/atomic_file.h"

#include <QBuffer>
#include <QPdfWriter>

#include <functional>

namespace {

// Paints with aPaint on a PDF writer into aBytes.
TPrintResult MakePdf(QByteArray& aBytes, const QString& aTitle,
                     const std::function<TPrintResult(QPagedPaintDevice&)>& aPaint)
{
    aBytes.clear();
    TPrintResult result;
    {
        QBuffer buffer(&aBytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(aTitle);
        writer.setCreator(QStringLiteral("Merovik"));
        result = aPaint(writer);
    }
    if (!result.Ok())
        aBytes.clear();
    return result;
}

TPrintResult WritePdf(const QString& aFileName, const QString& aTitle,
                      const std::function<TPrintResult(QPagedPaintDevice&)>& aPaint)
{
    QByteArray bytes;
    TPrintResult result = MakePdf(bytes, aTitle, aPaint);
    if (result.Ok())
        if (TFileProblem failure = WriteFileAtomically(aFileName, bytes); !failure.IsNone())
            result.Error = {TPrintError::TKind::File, {}, 0, std::move(failure)};
    return result;
}

QString Title(const QList<TPrintJob>& aJobs)
{
    return aJobs.isEmpty() ? QString() : aJobs.first().Document.FLabelName.Text;
}

}  // namespace

TPrintResult LabelsPdf(QByteArray& aBytes, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                       TLabelRenderer& aRenderer, const TPrintProgress& aProgress)
{
    return MakePdf(aBytes, Title(aJobs), [&](QPagedPaintDevice& aDevice) {
        return PrintLabels(aDevice, aJobs, aSettings, aRenderer, aProgress);
    });
}

TPrintResult WriteLabelsPdf(const QString& aFileName, const QList<TPrintJob>& aJobs,
                            const TPrintSettings& aSettings, TLabelRenderer& aRenderer,
                            const TPrintProgress& aProgress)
{
    return WritePdf(aFileName, Title(aJobs), [&](QPagedPaintDevice& aDevice) {
        return PrintLabels(aDevice, aJobs, aSettings, aRenderer, aProgress);
    });
}

TPrintResult WriteCalibrationPdf(const QString& aFileName, const TPrintSettings& aSettings)
{
    return WritePdf(aFileName, QStringLiteral("Kalibratiepagina"), [&](QPagedPaintDevice& aDevice) {
        return PrintCalibrationPage(aDevice, aSettings);
    });
}

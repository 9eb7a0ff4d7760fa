#include "print/pdf_writer.h"

#include "label/atomic_file.h"
#include "print/print_shop_pdf.h"

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
            result.Error = {TPrintError::TKind::File, {}, 0, std::move(failure), {}};
    return result;
}

QString Title(const QList<TPrintJob>& aJobs)
{
    return aJobs.isEmpty() ? QString() : aJobs.first().Document.FLabelName.Text;
}

// The labels as PrintLabels paints them, then what a print shop asks for
// that Qt does not write, added to the finished PDF in memory.
TPrintResult PrintLabelsForShop(QByteArray& aBytes, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                                TLabelRenderer& aRenderer, const TPrintProgress& aProgress)
{
    TPrintResult result = MakePdf(aBytes, Title(aJobs), [&](QPagedPaintDevice& aDevice) {
        return PrintLabels(aDevice, aJobs, aSettings, aRenderer, aProgress);
    });
    // Sheets with a bleed alone need nothing Qt did not write.
    const TPrintShop& shop = aSettings.Shop;
    const bool boxes = aSettings.Layout.Paper == TPaper::Label && shop.Bleed > 0;
    if (!result.Ok() || !(boxes || shop.CutContour || shop.CropMarks))
        return result;
    QList<QList<int>> pages(result.Pages);
    for (const TPlacement& placement : PlaceLabels(aJobs, aSettings)) {
        if (placement.Page < pages.size())
            pages[placement.Page] << placement.Position;
    }
    const QString error = AddPrintShopMarks(aBytes, aSettings, pages);
    if (!error.isEmpty()) {
        aBytes.clear();
        result.Error = {TPrintError::TKind::PrintShopMarks, {}, 0, {}, error};
    }
    return result;
}

}  // namespace

TPrintResult LabelsPdf(QByteArray& aBytes, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                       TLabelRenderer& aRenderer, const TPrintProgress& aProgress)
{
    return PrintLabelsForShop(aBytes, aJobs, aSettings, aRenderer, aProgress);
}

TPrintResult WriteLabelsPdf(const QString& aFileName, const QList<TPrintJob>& aJobs,
                            const TPrintSettings& aSettings, TLabelRenderer& aRenderer,
                            const TPrintProgress& aProgress)
{
    QByteArray bytes;
    TPrintResult result = PrintLabelsForShop(bytes, aJobs, aSettings, aRenderer, aProgress);
    if (result.Ok())
        if (TFileProblem failure = WriteFileAtomically(aFileName, bytes); !failure.IsNone())
            result.Error = {TPrintError::TKind::File, {}, 0, std::move(failure), {}};
    return result;
}

TPrintResult WriteCalibrationPdf(const QString& aFileName, const TPrintSettings& aSettings)
{
    return WritePdf(aFileName, QStringLiteral("Kalibratiepagina"), [&](QPagedPaintDevice& aDevice) {
        return PrintCalibrationPage(aDevice, aSettings);
    });
}

#include "tools/thumbnail.h"

#include "label/label_document.h"
#include "render/label_renderer.h"
#include "render/raster_writer.h"

#include <QCommandLineParser>
#include <QFile>
#include <QPainter>

#include <filesystem>
#include <system_error>

namespace {

constexpr int MinSize = 16;
constexpr int MaxSize = 1024;

// The label round and clear around it, aSize pixels square, from the square
// raster aRaster of label width aWidth.
QImage RoundThumbnail(const QImage& aRaster, int aWidth, int aSize)
{
    const QImage scaled = aRaster.scaled(aSize, aSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage thumbnail(aSize, aSize, QImage::Format_ARGB32_Premultiplied);
    if (scaled.isNull() || thumbnail.isNull())
        return {};
    thumbnail.fill(Qt::transparent);
    QPainter painter(&thumbnail);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(scaled));
    // Cut along the pass's label circle (centre W/2 + 1/2 and radius
    // (W - 2)/2 on the raster), so no rim of the raster's white shows around
    // a coloured label.
    const double scale = double(aSize) / aWidth;
    const double centre = (aWidth / 2.0 + 0.5) * scale;
    const double radius = (aWidth - 2) / 2.0 * scale;
    painter.drawEllipse(QPointF(centre, centre), radius, radius);
    painter.end();
    return thumbnail;
}

}  // namespace

QCommandLineOption ThumbnailOption()
{
    return QCommandLineOption(QStringLiteral("thumbnail"),
                              QStringLiteral("Write a PNG thumbnail of LABEL.lbl to OUTPUT, whatever its "
                                             "extension: SIZE pixels square (16 to 1024), clear outside the "
                                             "label. Pictures that cannot be read are left out without a "
                                             "word. Takes no other option."),
                              QStringLiteral("SIZE"));
}

int RenderThumbnail(const QCommandLineParser& aParser, const QCommandLineOption& aOption,
                    const std::function<int(const QString& aProblem)>& aUsageError,
                    const std::function<void(const QString& aMessage)>& aError)
{
    for (const QString& name : aParser.optionNames())
        if (!aOption.names().contains(name))
            return aUsageError(QStringLiteral("--%1 does not go with --thumbnail").arg(name));
    bool sizeOk = false;
    const int size = aParser.value(aOption).toInt(&sizeOk);
    if (!sizeOk || size < MinSize || size > MaxSize)
        return aUsageError(QStringLiteral("--thumbnail must be a whole number from %1 to %2, not \"%3\"")
                               .arg(MinSize)
                               .arg(MaxSize)
                               .arg(aParser.value(aOption)));
    const QStringList arguments = aParser.positionalArguments();
    if (arguments.size() != 2)
        return aUsageError(QStringLiteral("--thumbnail takes one label file and one output file"));
    // Any OUTPUT is written as a PNG, so one that is the label (by another
    // name or a link too) would replace the design with its picture.
    std::error_code sameError;
    if (std::filesystem::equivalent(QFile::encodeName(arguments[0]).toStdString(),
                                    QFile::encodeName(arguments[1]).toStdString(), sameError))
        return aUsageError(QStringLiteral("%1: the thumbnail would replace the label file").arg(arguments[1]));

    TLabelDocument document;
    const TLabelRead read = ReadLabelToRender(arguments[0], document);
    if (!read.Ok()) {
        aError(LabelReadErrorText(read.Problem));
        return 1;
    }
    // The warnings stay unsaid: a file manager shows no messages, and in its
    // sandbox the pictures beside the label are never there to read.

    // The smallest raster that holds SIZE pixels, so nothing is enlarged.
    TLabelRenderer renderer;
    renderer.SetLabelSize(size <= TLabelRenderer::WidthForSize(0) ? 0 : 1);
    renderer.DrawLabel(document);
    const QImage thumbnail = RoundThumbnail(renderer.Raster(), renderer.LabelWidth(), size);
    if (thumbnail.isNull()) {
        aError(QStringLiteral("%1: no memory for the thumbnail").arg(arguments[0]));
        return 1;
    }
    if (const TFileProblem problem = WritePng(thumbnail, arguments[1]); !problem.IsNone()) {
        aError(FileProblemText(problem));
        return 1;
    }
    return 0;
}

#include "render/raster_writer.h"

#include "label/atomic_file.h"

#include <QBuffer>
#include <QImageWriter>

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>

#include <jpeglib.h>

namespace {

constexpr int LabelDpi = 300;
constexpr int LabelDotsPerMeter = 11811;  // 300 dpi

struct JpegError
{
    jpeg_error_mgr Manager{};  // first member: libjpeg hands back a pointer to it
    std::jmp_buf Jump{};
    char Message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void JpegErrorExit(j_common_ptr aInfo)
{
    auto* error = reinterpret_cast<JpegError*>(aInfo->err);
    (*aInfo->err->format_message)(aInfo, error->Message);
    std::longjmp(error->Jump, 1);
}

// Everything the encoder changes lives outside the function that calls
// setjmp, so nothing is left indeterminate after a longjmp.
struct JpegJob
{
    jpeg_compress_struct Info{};
    JpegError Error;
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;

    ~JpegJob() { std::free(Buffer); }  // jpeg_mem_dest allocates with malloc
};

bool EncodeJpeg(JpegJob& aJob, const QImage& aImage, int aQuality)
{
    jpeg_compress_struct& info = aJob.Info;
    info.err = jpeg_std_error(&aJob.Error.Manager);
    aJob.Error.Manager.error_exit = JpegErrorExit;
    if (setjmp(aJob.Error.Jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &aJob.Buffer, &aJob.Size);
    info.image_width = JDIMENSION(aImage.width());
    info.image_height = JDIMENSION(aImage.height());
    if (aImage.format() == QImage::Format_RGB888) {
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
    } else {
        // RGB32 rows are 0xffRRGGBB words; libjpeg-turbo reads them as they are.
        info.input_components = 4;
        info.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    }
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, aQuality, TRUE);
    for (int i = 0; i < info.num_components; ++i) {
        info.comp_info[i].h_samp_factor = 1;
        info.comp_info[i].v_samp_factor = 1;
    }
    info.write_JFIF_header = TRUE;
    info.density_unit = 1;  // dots per inch
    info.X_density = LabelDpi;
    info.Y_density = LabelDpi;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg only reads the rows; its API is not const-correct.
        JSAMPROW row = const_cast<JSAMPROW>(aImage.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

QString WriteJpeg(const QImage& aImage, const QString& aFileName, int aQuality)
{
    if (aImage.isNull())
        return WriteFailure(aFileName, QStringLiteral("the picture is empty"));
    const bool direct = aImage.format() == QImage::Format_RGB32 || aImage.format() == QImage::Format_RGB888;
    const QImage source = direct ? aImage : aImage.convertToFormat(QImage::Format_RGB32);
    JpegJob job;
    if (!EncodeJpeg(job, source, qBound(1, aQuality, 100)))
        return WriteFailure(aFileName, QString::fromLocal8Bit(job.Error.Message));
    return WriteFileAtomically(aFileName, QByteArrayView(job.Buffer, qsizetype(job.Size)));
}

QString WritePng(const QImage& aImage, const QString& aFileName)
{
    if (aImage.isNull())
        return WriteFailure(aFileName, QStringLiteral("the picture is empty"));
    QImage image = aImage;  // shares the pixels; only differing metadata detaches
    if (image.dotsPerMeterX() != LabelDotsPerMeter)
        image.setDotsPerMeterX(LabelDotsPerMeter);
    if (image.dotsPerMeterY() != LabelDotsPerMeter)
        image.setDotsPerMeterY(LabelDotsPerMeter);
    // Encoded in memory first: the encoder's many small writes would go
    // through the write buffer that hides a failed write (see WriteFileAtomically).
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return WriteFailure(aFileName, writer.errorString());
    return WriteFileAtomically(aFileName, bytes);
}

QString WriteRaster(const QImage& aImage, const QString& aFileName, const QString& aFormat, int aQuality)
{
    const QString format = aFormat.toLower();
    if (format == QLatin1String("jpg") || format == QLatin1String("jpeg"))
        return WriteJpeg(aImage, aFileName, aQuality);
    if (format == QLatin1String("png"))
        return WritePng(aImage, aFileName);
    return WriteFailure(aFileName, QStringLiteral("unsupported picture format \"%1\"").arg(aFormat));
}

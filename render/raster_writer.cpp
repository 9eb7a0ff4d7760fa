#include "render/raster_writer.h"

#include "label/atomic_file.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <png.h>

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

// PNG through libpng rather than QImageWriter: Qt's writer leaves libpng's
// adaptive row filtering on, which tries all five filters on every row and
// costs as much as zlib at its default level 6, and offers no way to choose
// the filter; even at zlib level 0 it is only twice as fast. Unfiltered rows
// at zlib level 2 write a 6 cm label more than three times as fast (a photo
// label six times) for files at most about a fifth larger: most of a label
// is flat colour, which the short match search of a low level catches as
// well as level 6 does (the plain label's file even gets smaller), and only
// photo detail loses a little. A fixed "up" filter gives plain labels up to
// a third larger files; levels above 2 slow photo labels down sharply.
constexpr int PngZlibLevel = 2;
constexpr int PngFilter = PNG_FILTER_NONE;

struct PngJob
{
    std::vector<unsigned char> Bytes;
    char Message[200] = {};
};

[[noreturn]] void PngErrorExit(png_structp aPng, png_const_charp aMessage)
{
    auto* job = static_cast<PngJob*>(png_get_error_ptr(aPng));
    std::snprintf(job->Message, sizeof job->Message, "%s", aMessage);
    png_longjmp(aPng, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngWriteBytes(png_structp aPng, png_bytep aData, size_t aSize)
{
    auto* job = static_cast<PngJob*>(png_get_io_ptr(aPng));
    // No C++ exception may cross libpng's C frames; its own error path may.
    try {
        job->Bytes.insert(job->Bytes.end(), aData, aData + aSize);
    } catch (...) {
        png_error(aPng, "out of memory");
    }
}

void PngFlush(png_structp) {}

// Everything libpng changes lives outside the function that calls setjmp.
struct PngWriteStruct
{
    png_structp Png = nullptr;
    png_infop Info = nullptr;

    ~PngWriteStruct() { png_destroy_write_struct(&Png, &Info); }
};

bool EncodeRows(PngJob& aJob, PngWriteStruct& aWrite, const QImage& aImage)
{
    png_structp png = aWrite.Png;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &aJob, PngWriteBytes, PngFlush);
    png_set_compression_level(png, PngZlibLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PngFilter);
    const bool alpha = aImage.format() == QImage::Format_RGBA8888;
    png_set_IHDR(png, aWrite.Info, png_uint_32(aImage.width()), png_uint_32(aImage.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_pHYs(png, aWrite.Info, LabelDotsPerMeter, LabelDotsPerMeter, PNG_RESOLUTION_METER);
    png_write_info(png, aWrite.Info);
    if (aImage.format() == QImage::Format_RGB32) {
        // 0xffRRGGBB words: B, G, R, X in memory on little-endian machines.
        if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            png_set_bgr(png);
            png_set_filler(png, 0, PNG_FILLER_AFTER);
        } else {
            png_set_filler(png, 0, PNG_FILLER_BEFORE);
        }
    }
    for (int y = 0; y < aImage.height(); ++y) {
        // libpng only reads the rows; its API is not const-correct.
        png_write_row(png, const_cast<png_bytep>(aImage.constScanLine(y)));
    }
    png_write_end(png, aWrite.Info);
    return true;
}

bool EncodePng(PngJob& aJob, const QImage& aImage)
{
    // The label raster (RGB32) and its 24-bit copy go to libpng as they are;
    // anything else is converted to bytes in PNG's own order.
    QImage source = aImage;
    if (source.format() != QImage::Format_RGB32 && source.format() != QImage::Format_RGB888)
        source = aImage.convertToFormat(aImage.hasAlphaChannel() ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (source.isNull()) {
        std::snprintf(aJob.Message, sizeof aJob.Message, "out of memory");
        return false;
    }
    PngWriteStruct write;
    write.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &aJob, PngErrorExit, PngWarning);
    if (write.Png)
        write.Info = png_create_info_struct(write.Png);
    if (!write.Png || !write.Info) {
        std::snprintf(aJob.Message, sizeof aJob.Message, "out of memory");
        return false;
    }
    // Room for a typical label, so the buffer seldom grows while writing.
    aJob.Bytes.reserve(size_t(source.width()) * size_t(source.height()) / 2);
    return EncodeRows(aJob, write, source);
}

TEncodedPicture JpegBytes(const QImage& aImage, int aQuality)
{
    if (aImage.isNull())
        return {{}, QStringLiteral("the picture is empty")};
    const bool direct = aImage.format() == QImage::Format_RGB32 || aImage.format() == QImage::Format_RGB888;
    const QImage source = direct ? aImage : aImage.convertToFormat(QImage::Format_RGB32);
    JpegJob job;
    if (!EncodeJpeg(job, source, qBound(1, aQuality, 100)))
        return {{}, QString::fromLocal8Bit(job.Error.Message)};
    return {QByteArray(reinterpret_cast<const char*>(job.Buffer), qsizetype(job.Size)), {}};
}

TEncodedPicture PngBytes(const QImage& aImage)
{
    if (aImage.isNull())
        return {{}, QStringLiteral("the picture is empty")};
    PngJob job;
    if (!EncodePng(job, aImage))
        return {{}, QString::fromLocal8Bit(job.Message)};
    return {QByteArray(reinterpret_cast<const char*>(job.Bytes.data()), qsizetype(job.Bytes.size())), {}};
}

TFileProblem Save(const QString& aFileName, const TEncodedPicture& aPicture)
{
    if (!aPicture.Error.isEmpty())
        return TFileProblem::Of(TFileProblem::TKind::Encoder, aFileName, true, aPicture.Error);
    // A picture the program makes never writes through a link in its folder.
    return WriteFileReplacingLinks(aFileName, aPicture.Bytes);
}

}  // namespace

TFileProblem WriteJpeg(const QImage& aImage, const QString& aFileName, int aQuality)
{
    return Save(aFileName, JpegBytes(aImage, aQuality));
}

TFileProblem WritePng(const QImage& aImage, const QString& aFileName)
{
    return Save(aFileName, PngBytes(aImage));
}

TEncodedPicture EncodeRaster(const QImage& aImage, const QString& aFormat, int aQuality)
{
    const QString format = aFormat.toLower();
    if (format == QLatin1String("jpg") || format == QLatin1String("jpeg"))
        return JpegBytes(aImage, aQuality);
    if (format == QLatin1String("png"))
        return PngBytes(aImage);
    return {{}, QStringLiteral("unsupported picture format \"%1\"").arg(aFormat)};
}

TFileProblem WriteRaster(const QImage& aImage, const QString& aFileName, const QString& aFormat, int aQuality)
{
    return Save(aFileName, EncodeRaster(aImage, aFormat, aQuality));
}

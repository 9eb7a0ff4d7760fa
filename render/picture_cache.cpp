#include "render/picture_cache.h"

#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QTransform>

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>
#include <jerror.h>

namespace {

qint64 DecodedBytes(const QSize& aSize)
{
    return qint64(aSize.width()) * qint64(aSize.height()) * 4;
}

// The steps QImageReader::setAutoTransform takes: mirror, then turn.
QImage Upright(const QImage& aImage, QImageIOHandler::Transformations aOrientation)
{
    if (aOrientation == QImageIOHandler::TransformationNone)
        return aImage;
    if (aOrientation == QImageIOHandler::TransformationRotate270)
        return aImage.transformed(QTransform().rotate(270));
    QImage result = aImage.mirrored(aOrientation.testFlag(QImageIOHandler::TransformationMirror),
                                    aOrientation.testFlag(QImageIOHandler::TransformationFlip));
    if (aOrientation.testFlag(QImageIOHandler::TransformationRotate90))
        result = result.transformed(QTransform().rotate(90));
    return result;
}

// JPEGs are decoded with libjpeg directly rather than through QImageReader:
// Qt's reader pads a truncated file with grey and reports success, while here
// the premature end is seen and the picture skipped; and libjpeg-turbo can
// scale inside the inverse DCT and write RGB32 rows without a conversion.
struct JpegError
{
    jpeg_error_mgr Manager{};  // first member: libjpeg hands back a pointer to it
    std::jmp_buf Jump{};
    bool Truncated = false;
};

[[noreturn]] void JpegErrorExit(j_common_ptr aInfo)
{
    std::longjmp(reinterpret_cast<JpegError*>(aInfo->err)->Jump, 1);
}

void JpegMessage(j_common_ptr aInfo, int aLevel)
{
    // Only the premature end matters; other warnings (stray bytes before a
    // marker and the like) are common in good photos and stay silent.
    if (aLevel < 0 && aInfo->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<JpegError*>(aInfo->err)->Truncated = true;
}

enum class JpegResult { Ok, Failed, NotHandled };

// Everything the decode changes lives outside the function that calls
// setjmp, so nothing is left indeterminate after a longjmp.
struct JpegJob
{
    jpeg_decompress_struct Info{};
    JpegError Error;
    QImage Image;
    TPictureCache* Cache = nullptr;  // memory from its Recycled() when set
};

QImage NewImage(TPictureCache* aCache, const QSize& aSize, QImage::Format aFormat)
{
    return aCache ? aCache->Recycled(aSize, aFormat) : QImage(aSize, aFormat);
}

JpegResult DecodeJpeg(JpegJob& aJob, const uchar* aData, qint64 aSize, int aMinSide)
{
    jpeg_decompress_struct& info = aJob.Info;
    info.err = jpeg_std_error(&aJob.Error.Manager);
    aJob.Error.Manager.error_exit = JpegErrorExit;
    aJob.Error.Manager.emit_message = JpegMessage;
    if (setjmp(aJob.Error.Jump)) {
        jpeg_destroy_decompress(&info);
        aJob.Image = QImage();
        return JpegResult::Failed;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, aData, static_cast<unsigned long>(aSize));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        // libjpeg cannot turn these into RGB; Qt's reader can.
        jpeg_destroy_decompress(&info);
        return JpegResult::NotHandled;
    }
    if (DecodedBytes(QSize(int(info.image_width), int(info.image_height)))
        > TPictureCache::MaxDecodedBytes) {
        jpeg_destroy_decompress(&info);
        return JpegResult::Failed;
    }
    // The smallest scale of 1/2, 1/4 or 1/8 that keeps the shorter side at
    // aMinSide or more. libjpeg-turbo's other eighths take the plain C inverse
    // DCT and decode no faster than the full picture.
    const qint64 shortSide = std::min(info.image_width, info.image_height);
    int num = 8;
    while (num > 1 && (shortSide * (num / 2) + 7) / 8 >= aMinSide)
        num /= 2;
    info.scale_num = unsigned(num);
    info.scale_denom = 8;
    info.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_start_decompress(&info);
    aJob.Image = NewImage(aJob.Cache, QSize(int(info.output_width), int(info.output_height)), QImage::Format_RGB32);
    if (aJob.Image.isNull()) {
        jpeg_destroy_decompress(&info);
        return JpegResult::Failed;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = aJob.Image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (aJob.Error.Truncated) {
        aJob.Image = QImage();
        return JpegResult::Failed;
    }
    return JpegResult::Ok;
}

QSize UprightSize(const QSize& aStored, QImageIOHandler::Transformations aOrientation)
{
    return aOrientation.testFlag(QImageIOHandler::TransformationRotate90) ? aStored.transposed() : aStored;
}

}  // namespace

TPictureCache::TPicture TPictureCache::Decode(const QString& aPath, int aMinSide)
{
    return DecodeInto(aPath, aMinSide, nullptr);
}

TPictureCache::TPicture TPictureCache::DecodeInto(const QString& aPath, int aMinSide, TPictureCache* aCache)
{
    QImageReader reader(aPath);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isValid() && DecodedBytes(stored) > MaxDecodedBytes)
        return {};
    const QImageIOHandler::Transformations orientation = reader.transformation();

    TPicture result;
    if (reader.format() == "jpeg") {
        QFile file(aPath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        // Read, not mapped: a photo that is saved over in place (truncated and
        // written anew) while it is decoded would end a mapping with SIGBUS;
        // a read sees a short file, which the decoder turns away.
        const QByteArray contents = file.readAll();
        if (contents.isEmpty())
            return {};
        JpegJob job;
        job.Cache = aCache;
        switch (DecodeJpeg(job, reinterpret_cast<const uchar*>(contents.constData()), contents.size(), aMinSide)) {
        case JpegResult::Ok:
            result.FullSize = UprightSize(QSize(int(job.Info.image_width), int(job.Info.image_height)), orientation);
            result.Image = Upright(job.Image, orientation);
            return result;
        case JpegResult::Failed:
            return {};
        case JpegResult::NotHandled:
            break;
        }
    }

    // Qt refuses images above its allocation limit (128 MB by default), which
    // would turn away a 50 MP PNG; the size was checked above where known.
    QImageReader::setAllocationLimit(int(MaxDecodedBytes / (1024 * 1024)));
    // Qt's readers decode into an image of the right size and format as given.
    QImage image;
    if (aCache && stored.isValid() && reader.imageFormat() != QImage::Format_Invalid)
        image = aCache->Recycled(stored, reader.imageFormat());
    if (!reader.read(&image) || image.isNull())
        return {};
    result.FullSize = image.size();
    // In place where the depth allows, as from ARGB32.
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    // Formats that cannot decode at reduced size are reduced once here, so the
    // cache does not hold a huge picture for the whole session.
    const int shortSide = std::min(image.width(), image.height());
    if (aMinSide > 0 && shortSide >= 2 * aMinSide)
        image = image.scaled(result.FullSize.scaled(aMinSide, aMinSide, Qt::KeepAspectRatioByExpanding),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.Image = image;
    return result;
}

TPictureCache::Entry* TPictureCache::Current(const QString& aPath)
{
    const QFileInfo info(aPath);
    if (aPath.isEmpty() || !info.isFile()) {
        FEntries.remove(aPath);
        return nullptr;
    }
    const Stamp stamp{info.size(), info.lastModified(), info.metadataChangeTime()};
    auto found = FEntries.find(aPath);
    if (found == FEntries.end()) {
        if (FEntries.size() >= MaxEntries) {
            auto oldest = std::min_element(FEntries.begin(), FEntries.end(),
                                           [](const Entry& a, const Entry& b) { return a.LastUse < b.LastUse; });
            Recycle(std::move(*oldest));
            FEntries.erase(oldest);
        }
        found = FEntries.insert(aPath, Entry{});
        found->FileStamp = stamp;
    } else if (!(found->FileStamp == stamp)) {
        Recycle(std::move(*found));
        *found = Entry{};
        found->FileStamp = stamp;
    }
    found->LastUse = ++FUseCounter;
    return &*found;
}

TPictureCache::TPicture TPictureCache::Picture(const QString& aPath)
{
    Entry* entry = Current(aPath);
    if (!entry)
        return {};
    if (!entry->DecodeTried) {
        entry->DecodeTried = true;
        ++FDecodeCount;
        entry->DecodedPicture = DecodeInto(aPath, MinDecodedSide, this);
    }
    return entry->DecodedPicture;
}

QImage TPictureCache::Derived(const QString& aPath, const QString& aKey)
{
    Entry* entry = Current(aPath);
    if (!entry)
        return {};
    const auto found = entry->DerivedImages.find(aKey);
    if (found == entry->DerivedImages.end())
        return {};
    found->LastUse = ++FUseCounter;
    return found->Image;
}

void TPictureCache::StoreDerived(const QString& aPath, const QString& aKey, const QImage& aImage)
{
    Entry* entry = Current(aPath);
    if (!entry)
        return;
    auto& derived = entry->DerivedImages;
    if (!derived.contains(aKey) && derived.size() >= MaxDerivedPerEntry) {
        auto oldest = std::min_element(derived.begin(), derived.end(), [](const DerivedImage& a, const DerivedImage& b) {
            return a.LastUse < b.LastUse;
        });
        Recycle(std::move(oldest->Image));
        derived.erase(oldest);
    }
    derived.insert(aKey, DerivedImage{aImage, ++FUseCounter});
}

QImage TPictureCache::Recycled(const QSize& aSize, QImage::Format aFormat)
{
    for (qsizetype i = 0; i < FRecycled.size(); ++i) {
        if (FRecycled[i].size() == aSize && FRecycled[i].format() == aFormat) {
            QImage image = std::move(FRecycled[i]);
            FRecycled.removeAt(i);
            return image;
        }
    }
    return QImage(aSize, aFormat);
}

void TPictureCache::Recycle(QImage&& aImage)
{
    // Only memory no one else holds; a copy still in use stays untouched.
    if (!aImage.isNull() && aImage.isDetached())
        FRecycled.append(std::move(aImage));
}

void TPictureCache::Recycle(Entry&& aEntry)
{
    Recycle(std::move(aEntry.DecodedPicture.Image));
    for (DerivedImage& derived : aEntry.DerivedImages)
        Recycle(std::move(derived.Image));
}

void TPictureCache::Clear()
{
    FEntries.clear();
    FRecycled.clear();
}

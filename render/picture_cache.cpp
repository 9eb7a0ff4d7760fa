#include "render/picture_cache.h"

#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <mutex>
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
    if (aLevel >= 0)
        return;
    // A premature end means the picture is cut off. Data that stops at a
    // marker early in the first scan is a picture mostly missing, which
    // libjpeg would fill with grey; later in a photo it is a blemish that
    // viewers show, and so does the label. Other warnings (stray bytes
    // before a marker and the like) are common in good photos.
    auto* error = reinterpret_cast<JpegError*>(aInfo->err);
    if (aInfo->err->msg_code == JWRN_JPEG_EOF) {
        error->Truncated = true;
    } else if (aInfo->err->msg_code == JWRN_HIT_MARKER && aInfo->is_decompressor) {
        const auto* info = reinterpret_cast<j_decompress_ptr>(aInfo);
        if (info->input_scan_number <= 1 && info->input_iMCU_row * 10 < info->total_iMCU_rows * 9)
            error->Truncated = true;
    }
}

enum class JpegResult { Ok, Damaged, TooLarge, NoMemory, NotHandled };

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
        return JpegResult::Damaged;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, aData, static_cast<unsigned long>(aSize));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        // libjpeg cannot turn these into RGB; Qt's reader can.
        jpeg_destroy_decompress(&info);
        return JpegResult::NotHandled;
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
    // The limit applies to what is decoded: a 100 MP camera photo decodes at
    // a quarter of its sides and fits well.
    jpeg_calc_output_dimensions(&info);
    if (DecodedBytes(QSize(int(info.output_width), int(info.output_height))) > TPictureCache::MaxDecodedBytes) {
        jpeg_destroy_decompress(&info);
        return JpegResult::TooLarge;
    }
    jpeg_start_decompress(&info);
    aJob.Image = NewImage(aJob.Cache, QSize(int(info.output_width), int(info.output_height)), QImage::Format_RGB32);
    if (aJob.Image.isNull()) {
        jpeg_destroy_decompress(&info);
        return JpegResult::NoMemory;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = aJob.Image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (aJob.Error.Truncated) {
        aJob.Image = QImage();
        return JpegResult::Damaged;
    }
    return JpegResult::Ok;
}

TPictureCache::TPicture Failed(TPictureProblem::TKind aKind, const QSize& aSize = {}, const QString& aDetail = {})
{
    TPictureCache::TPicture picture;
    picture.Problem.Kind = aKind;
    picture.Problem.Size = aSize;
    picture.Problem.Detail = aDetail;
    return picture;
}

// Qt refuses images above its allocation limit (128 MB by default), which
// would turn away a 50 MP PNG that the cache's own limit admits. A setting of
// the whole process: made once, before any decode, never while others decode.
void SetImageAllocationLimit()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(int(TPictureCache::MaxDecodedBytes / (1024 * 1024))); });
}

QSize UprightSize(const QSize& aStored, QImageIOHandler::Transformations aOrientation)
{
    return aOrientation.testFlag(QImageIOHandler::TransformationRotate90) ? aStored.transposed() : aStored;
}

// Nearest integer, ties to even, in single precision as the downsample rule
// asks; std::nearbyint follows the default rounding mode, which is exactly that.
qint64 RoundToEven(float aValue)
{
    return qint64(std::nearbyint(aValue));
}

QImage ScaleTo(const QImage& aImage, const QSize& aSize)
{
    if (aImage.isNull() || !aSize.isValid())
        return {};
    if (aImage.size() == aSize)
        return aImage;
    return aImage.scaled(aSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A stretch of the scaled photo's axis and the stretch of the decoded
// picture's axis that scales onto it; empty when the label shows none of it.
struct TAxisCut
{
    int SourceFrom = 0;
    int SourceTo = 0;
    int TargetFrom = 0;
    int TargetTo = 0;

    bool IsEmpty() const { return TargetTo <= TargetFrom; }
};

// The stretch [aFrom, aTo) of a scaled axis, clamped to it and widened to
// points where a whole number of decoded pixels meets a whole number of
// scaled ones. When reducing, Qt's smooth scaler averages each target pixel
// over its own source stretch, in steps that depend only on the ratio, so
// that part of the picture scaled alone gives the pixels the whole picture
// scaled would: a 12 MP photo is scaled for the label's square, not for its
// full width. Enlarging interpolates across neighbours: the whole axis.
TAxisCut AlignedCut(int aDecoded, int aScaled, qint64 aFrom, qint64 aTo)
{
    const qint64 from = std::clamp<qint64>(aFrom, 0, aScaled);
    const qint64 to = std::clamp<qint64>(aTo, from, aScaled);
    if (from >= to)
        return {};
    if (aScaled >= aDecoded)
        return {0, aDecoded, 0, aScaled};
    const qint64 divisor = std::gcd(aDecoded, aScaled);
    const qint64 sourceStep = aDecoded / divisor;
    const qint64 targetStep = aScaled / divisor;
    const qint64 first = from / targetStep;
    const qint64 last = (to + targetStep - 1) / targetStep;
    return {int(first * sourceStep), int(last * sourceStep), int(first * targetStep), int(last * targetStep)};
}

// aRect of a 32-bit image without copying its pixels; the result must not
// outlive aImage.
QImage SubImage(const QImage& aImage, const QRect& aRect)
{
    if (aRect == aImage.rect() || aImage.depth() != 32)
        return aImage.copy(aRect);
    return QImage(aImage.constScanLine(aRect.y()) + qsizetype(aRect.x()) * 4, aRect.width(), aRect.height(),
                  aImage.bytesPerLine(), aImage.format());
}


// The colour matrix of the background: the transparency in the alpha
// column, then sepia or grey in the colour rows.
void BackgroundMatrix(int aEffect, int aTrans, float aMatrix[5][5])
{
    const float t = 1.0f - float(aTrans) / 100.0f;
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 5; ++column)
            aMatrix[row][column] = row == column ? 1.0f : 0.0f;
    aMatrix[3][3] = t;
    if (aEffect == 1) {
        static constexpr float Sepia[4][3] = {
            {0.5f, 0.45f, 0.38f},
            {0.769f, 0.686f, 0.534f},
            {0.189f, 0.168f, 0.131f},
            {-0.1f, -0.1f, -0.1f},  // the constant row
        };
        for (int column = 0; column < 3; ++column) {
            aMatrix[0][column] = Sepia[0][column];
            aMatrix[1][column] = Sepia[1][column];
            aMatrix[2][column] = Sepia[2][column];
            aMatrix[4][column] = Sepia[3][column];
        }
    } else if (aEffect == 2) {
        static constexpr float Weights[3] = {0.299f, 0.587f, 0.114f};
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                aMatrix[row][column] = Weights[row];
    }
}

// An image of aSide x aSide whose pixel (x, y) is aRegion's pixel at
// (x + aOffset.x(), y + aOffset.y()) clamped into aBounds, aRegion's own
// coordinates: the photo's edge repeats where the photo ends.
QImage EdgeExtended(const QImage& aRegion, QPoint aOffset, const QRect& aBounds, int aSide)
{
    QImage out(aSide, aSide, aRegion.format());
    if (out.isNull())
        return out;
    QList<int> columns(aSide);
    for (int x = 0; x < aSide; ++x)
        columns[x] = std::clamp(x + aOffset.x(), aBounds.left(), aBounds.right());
    for (int y = 0; y < aSide; ++y) {
        const int sourceY = std::clamp(y + aOffset.y(), aBounds.top(), aBounds.bottom());
        const auto* in = reinterpret_cast<const QRgb*>(aRegion.constScanLine(sourceY));
        auto* target = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < aSide; ++x)
            target[x] = in[columns[x]];
    }
    return out;
}

}  // namespace

QSize DownsampleSize(const QSize& aSize, int aWidth)
{
    if (aSize.isEmpty() || aWidth <= 0)
        return {};
    const float ratio = float(aSize.width()) / float(aSize.height());
    const float longSide = float(aWidth) * (ratio > 1.0f ? ratio : 1.0f / ratio);
    if (!(longSide < 1e9f))
        return {};
    const qint64 other = std::max<qint64>(1, RoundToEven(longSide));
    if (other * aWidth * 4 > TPictureCache::MaxDecodedBytes)
        return {};
    return ratio > 1.0f ? QSize(int(other), aWidth) : QSize(aWidth, int(other));
}

QImage Downsample(const QImage& aImage, int aWidth)
{
    return ScaleTo(aImage, DownsampleSize(aImage.size(), aWidth));
}

QList<TRowSpan> LabelCircleRows(int aWidth)
{
    QList<TRowSpan> rows(aWidth);
    const double centre = aWidth / 2.0 + 0.5;
    const double radius = (aWidth - 2) / 2.0 + 2;
    for (int y = 0; y < aWidth; ++y) {
        const double dy = std::max({0.0, centre - (y + 1), y - centre});
        if (dy >= radius)
            continue;
        const double half = std::sqrt(radius * radius - dy * dy);
        rows[y] = {std::clamp(int(std::floor(centre - half)), 0, aWidth),
                   std::clamp(int(std::ceil(centre + half)), 0, aWidth)};
    }
    return rows;
}


QString TPictureProblem::Reason() const
{
    switch (Kind) {
    case TKind::None:
        return {};
    case TKind::NotFound:
        return QStringLiteral("not found");
    case TKind::Unreadable:
        return Detail.isEmpty() ? QStringLiteral("cannot be read") : QStringLiteral("cannot be read: %1").arg(Detail);
    case TKind::NotAPicture:
        return QStringLiteral("not a picture");
    case TKind::Damaged:
        return QStringLiteral("damaged");
    case TKind::TooLarge:
        return QStringLiteral("too large: %1 \u00d7 %2").arg(Size.width()).arg(Size.height());
    }
    return {};
}

TPictureCache::TPictureCache()
{
    SetImageAllocationLimit();
}

TPictureCache::TPicture TPictureCache::Decode(const QString& aPath, int aMinSide)
{
    return DecodeInto(aPath, aMinSide, nullptr);
}

TPictureCache::TPicture TPictureCache::DecodeInto(const QString& aPath, int aMinSide, TPictureCache* aCache)
{
    SetImageAllocationLimit();
    const QFileInfo info(aPath);
    if (aPath.isEmpty() || !info.isFile())
        return Failed(TPictureProblem::TKind::NotFound);
    QFile file(aPath);
    if (!file.open(QIODevice::ReadOnly))
        return Failed(TPictureProblem::TKind::Unreadable, {}, file.errorString());
    if (file.size() == 0)
        return Failed(TPictureProblem::TKind::NotAPicture);

    QImageReader reader(aPath);
    reader.setAutoTransform(true);
    // Asked first: a header that cannot be read leaves the reader without a format.
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return Failed(TPictureProblem::TKind::NotAPicture);
    const QSize stored = reader.size();
    const QImageIOHandler::Transformations orientation = reader.transformation();

    TPicture result;
    if (format == "jpeg") {
        // Read, not mapped: a photo that is saved over in place (truncated and
        // written anew) while it is decoded would end a mapping with SIGBUS;
        // a read sees a short file, which the decoder turns away.
        const QByteArray contents = file.readAll();
        if (contents.isEmpty())
            return Failed(TPictureProblem::TKind::Damaged);
        JpegJob job;
        job.Cache = aCache;
        switch (DecodeJpeg(job, reinterpret_cast<const uchar*>(contents.constData()), contents.size(), aMinSide)) {
        case JpegResult::Ok:
            result.FullSize = UprightSize(QSize(int(job.Info.image_width), int(job.Info.image_height)), orientation);
            result.Image = Upright(job.Image, orientation);
            if (result.Image.isNull())
                return Failed(TPictureProblem::TKind::TooLarge, result.FullSize);
            return result;
        case JpegResult::Damaged:
            return Failed(TPictureProblem::TKind::Damaged);
        case JpegResult::TooLarge:
        case JpegResult::NoMemory:
            return Failed(TPictureProblem::TKind::TooLarge,
                          UprightSize(QSize(int(job.Info.image_width), int(job.Info.image_height)), orientation));
        case JpegResult::NotHandled:
            break;
        }
    }

    // Other formats decode at full size only.
    if (stored.isValid() && DecodedBytes(stored) > MaxDecodedBytes)
        return Failed(TPictureProblem::TKind::TooLarge, UprightSize(stored, orientation));
    // Qt's readers decode into an image of the right size and format as given.
    QImage image;
    if (aCache && stored.isValid() && reader.imageFormat() != QImage::Format_Invalid)
        image = aCache->Recycled(stored, reader.imageFormat());
    if (!reader.read(&image) || image.isNull()) {
        if (reader.error() == QImageReader::DeviceError)
            return Failed(TPictureProblem::TKind::Unreadable, {}, reader.errorString());
        // Too large for the memory at hand, or broken data: the format was
        // recognised, so it is a picture.
        if (stored.isValid() && DecodedBytes(stored) > qint64(QImageReader::allocationLimit()) * 1024 * 1024)
            return Failed(TPictureProblem::TKind::TooLarge, UprightSize(stored, orientation));
        return Failed(TPictureProblem::TKind::Damaged);
    }
    result.FullSize = image.size();
    // In place where the depth allows, as from ARGB32.
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    // Formats that cannot decode at reduced size are reduced once here, so the
    // cache does not hold a huge picture for the whole session.
    const int shortSide = std::min(image.width(), image.height());
    if (aMinSide > 0 && shortSide >= 2 * aMinSide)
        image = image.scaled(result.FullSize.scaled(aMinSide, aMinSide, Qt::KeepAspectRatioByExpanding),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.isNull())
        return Failed(TPictureProblem::TKind::TooLarge, result.FullSize);
    result.Image = image;
    return result;
}

TPictureCache::Entry* TPictureCache::Current(const QString& aPath, const Lock&)
{
    const QFileInfo info(aPath);
    if (aPath.isEmpty() || !info.isFile()) {
        const auto found = FEntries.find(aPath);
        if (found != FEntries.end()) {
            Recycle(std::move(*found));
            FEntries.erase(found);
        }
        return nullptr;
    }
    const Stamp stamp{info.size(), info.lastModified(), info.metadataChangeTime()};
    auto found = FEntries.find(aPath);
    if (found == FEntries.end()) {
        if (FEntries.size() >= MaxEntries) {
            // The least recently used that no one is decoding or deriving from.
            auto oldest = FEntries.end();
            for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
                if (it->Decoding || !it->DerivedBeingMade.isEmpty())
                    continue;
                if (oldest == FEntries.end() || it->LastUse < oldest->LastUse)
                    oldest = it;
            }
            if (oldest != FEntries.end()) {
                Recycle(std::move(*oldest));
                FEntries.erase(oldest);
            }
        }
        found = FEntries.insert(aPath, Entry{});
        found->FileStamp = stamp;
        found->Generation = ++FGenerations;
    } else if (!(found->FileStamp == stamp)) {
        Recycle(std::move(*found));
        *found = Entry{};
        found->FileStamp = stamp;
        found->Generation = ++FGenerations;
    }
    found->LastUse = ++FUseCounter;
    return &*found;
}

TPictureCache::Entry* TPictureCache::Same(const QString& aPath, quint64 aGeneration)
{
    const auto found = FEntries.find(aPath);
    return found != FEntries.end() && found->Generation == aGeneration ? &*found : nullptr;
}

TPictureCache::TPicture TPictureCache::Picture(const QString& aPath)
{
    Lock lock(FMutex);
    Entry* entry = Current(aPath, lock);
    while (entry && entry->Decoding) {
        // Another renderer decodes it: wait for its picture.
        const quint64 generation = entry->Generation;
        FDone.wait(lock);
        entry = Same(aPath, generation);
        if (!entry)
            entry = Current(aPath, lock);
    }
    if (!entry)
        return Failed(TPictureProblem::TKind::NotFound);
    if (entry->DecodeTried)
        return entry->DecodedPicture;

    entry->Decoding = true;
    const quint64 generation = entry->Generation;
    ++FDecodeCount;
    lock.unlock();
    const TPicture picture = DecodeInto(aPath, MinDecodedSide, this);
    lock.lock();
    if (Entry* same = Same(aPath, generation)) {
        same->Decoding = false;
        same->DecodeTried = true;
        same->DecodedPicture = picture;
    }
    FDone.notify_all();
    return picture;
}

TPictureCache::TPicture TPictureCache::Picture(const QString& aPath, const TReduction& aReduce)
{
    TPicture picture = Picture(aPath);
    if (picture.IsNull())
        return picture;
    const QSize decoded = picture.Image.size();
    const QSize reduced = aReduce(picture.FullSize, decoded);
    if (!reduced.isValid() || reduced.width() >= decoded.width() || reduced.height() >= decoded.height())
        return picture;
    const QString key = QStringLiteral("reduced %1x%2").arg(reduced.width()).arg(reduced.height());
    const QImage image = Derived(aPath, key, [&] {
        return picture.Image.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    });
    if (!image.isNull())
        picture.Image = image;
    return picture;
}

QImage TPictureCache::Derived(const QString& aPath, const QString& aKey)
{
    Lock lock(FMutex);
    Entry* entry = Current(aPath, lock);
    if (!entry)
        return {};
    const auto found = entry->DerivedImages.find(aKey);
    if (found == entry->DerivedImages.end())
        return {};
    found->LastUse = ++FUseCounter;
    return found->Image;
}

QImage TPictureCache::Derived(const QString& aPath, const QString& aKey, const std::function<QImage()>& aMake)
{
    Lock lock(FMutex);
    Entry* entry = Current(aPath, lock);
    while (entry) {
        const auto found = entry->DerivedImages.find(aKey);
        if (found != entry->DerivedImages.end()) {
            found->LastUse = ++FUseCounter;
            return found->Image;
        }
        if (!entry->DerivedBeingMade.contains(aKey))
            break;
        const quint64 generation = entry->Generation;
        FDone.wait(lock);
        entry = Same(aPath, generation);
        if (!entry)
            entry = Current(aPath, lock);
    }
    if (!entry)
        return {};

    entry->DerivedBeingMade.insert(aKey);
    const quint64 generation = entry->Generation;
    lock.unlock();
    QImage image;
    // Whatever aMake does, the key is not left marked as being made.
    struct Done
    {
        TPictureCache& Cache;
        Lock& Held;
        const QString& Path;
        const QString& Key;
        quint64 Generation;
        QImage& Image;
        ~Done()
        {
            if (!Held.owns_lock())
                Held.lock();
            if (Entry* same = Cache.Same(Path, Generation)) {
                same->DerivedBeingMade.remove(Key);
                if (!Image.isNull())
                    Cache.StoreDerivedLocked(*same, Key, Image);
            }
            Cache.FDone.notify_all();
        }
    } done{*this, lock, aPath, aKey, generation, image};
    image = aMake();
    // A copy: "return image" would move the picture out before Done stores it.
    const QImage made = image;
    return made;
}

void TPictureCache::StoreDerivedLocked(Entry& aEntry, const QString& aKey, const QImage& aImage)
{
    auto& derived = aEntry.DerivedImages;
    if (!derived.contains(aKey) && derived.size() >= MaxDerivedPerEntry) {
        auto oldest = std::min_element(derived.begin(), derived.end(), [](const DerivedImage& a, const DerivedImage& b) {
            return a.LastUse < b.LastUse;
        });
        Recycle(std::move(oldest->Image));
        derived.erase(oldest);
    }
    derived.insert(aKey, DerivedImage{aImage, ++FUseCounter});
}

int TPictureCache::DecodeCount() const
{
    const std::lock_guard<std::mutex> lock(FMutex);
    return FDecodeCount;
}

QImage TPictureCache::Recycled(const QSize& aSize, QImage::Format aFormat)
{
    {
        const std::lock_guard<std::mutex> lock(FMutex);
        for (qsizetype i = 0; i < FRecycled.size(); ++i) {
            if (FRecycled[i].size() == aSize && FRecycled[i].format() == aFormat) {
                QImage image = std::move(FRecycled[i]);
                FRecycled.removeAt(i);
                return image;
            }
        }
    }
    // Allocated outside the lock: others need not wait for the page faults.
    return QImage(aSize, aFormat);
}

void TPictureCache::ReleaseRecycled()
{
    QList<QImage> released;
    const std::lock_guard<std::mutex> lock(FMutex);
    released.swap(FRecycled);
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
    const std::lock_guard<std::mutex> lock(FMutex);
    // Entries being decoded or derived from stay, so their makers can store.
    for (auto it = FEntries.begin(); it != FEntries.end();) {
        if (it->Decoding || !it->DerivedBeingMade.isEmpty())
            ++it;
        else
            it = FEntries.erase(it);
    }
    FRecycled.clear();
}

TTexture TPictureCache::Texture(const QString& aPath, const TTextureRequest& aRequest)
{
    TTextureRequest request = aRequest;
    // A hand-edited file may hold any transparency; beyond 0 to 100 the
    // colour matrix would turn the photo's alpha negative or above one.
    request.Transparency = std::clamp(request.Transparency, 0, 100);
    if (request.Effect != 1 && request.Effect != 2)
        request.Effect = 0;
    request.Margin = std::max(request.Margin, 0);
    const int full = request.Width + 2 * request.Margin;
    if (request.Side <= 0 || request.Side >= full)
        request.Side = 0;
    const QString key = QStringLiteral("texture %1 %2 %3 %4 %5 %6 %7")
                            .arg(request.Width)
                            .arg(request.Margin)
                            .arg(request.Effect)
                            .arg(request.Transparency)
                            .arg(request.Position.x())
                            .arg(request.Position.y())
                            .arg(request.Side);
    TTexture texture;
    texture.Problem = {TPictureProblem::TKind::NotFound, {}, {}};
    texture.Image = Derived(aPath, key, [&] { return MakeTexture(aPath, request, texture.Problem); });
    if (!texture.Image.isNull())
        texture.Problem = {};
    return texture;
}

QImage TPictureCache::MakeTexture(const QString& aPath, const TTextureRequest& aRequest, TPictureProblem& aProblem)
{
    const TPicture picture = Picture(aPath);
    aProblem = picture.Problem;
    if (picture.IsNull())
        return {};
    const int width = aRequest.Width;
    const int margin = aRequest.Margin;
    const int full = width + 2 * margin;
    const auto tooLarge = [&] {
        aProblem = {TPictureProblem::TKind::TooLarge, picture.FullSize, {}};
        return QImage();
    };
    // The size follows the photo's full resolution, so a photo decoded at
    // reduced size is cut exactly as a full decode would be.
    const QSize scaledSize = DownsampleSize(picture.FullSize, width);
    if (!scaledSize.isValid() || width <= 0)
        return tooLarge();
    // The stretch [aFrom, aFrom + aLength) of both axes of the scaled photo,
    // scaled alone; aOffset set to the stretch's start on the region. Null
    // when the stretch misses the photo, or cannot be had.
    bool failed = false;
    const auto scaledRegion = [&](qint64 aLeft, qint64 aTop, int aLength, bool aAtLeastAPixel, QPoint& aOffset) {
        const auto cut = [&](int aDecoded, int aScaled, qint64 aFrom) {
            if (!aAtLeastAPixel)
                return AlignedCut(aDecoded, aScaled, aFrom, aFrom + aLength);
            const qint64 from = std::clamp<qint64>(aFrom, 0, aScaled - 1);
            return AlignedCut(aDecoded, aScaled, from, std::clamp<qint64>(aFrom + aLength, from + 1, aScaled));
        };
        const TAxisCut columns = cut(picture.Image.width(), scaledSize.width(), aLeft);
        const TAxisCut rows = cut(picture.Image.height(), scaledSize.height(), aTop);
        if (columns.IsEmpty() || rows.IsEmpty())
            return QImage();
        const QRect source(columns.SourceFrom, rows.SourceFrom, columns.SourceTo - columns.SourceFrom,
                           rows.SourceTo - rows.SourceFrom);
        const QImage region = ScaleTo(SubImage(picture.Image, source),
                                      QSize(columns.TargetTo - columns.TargetFrom, rows.TargetTo - rows.TargetFrom));
        failed = region.isNull();
        aOffset = QPoint(int(aLeft - columns.TargetFrom), int(aTop - rows.TargetFrom));
        return region;
    };
    float matrix[5][5];
    BackgroundMatrix(aRequest.Effect, aRequest.Transparency, matrix);

    // The label's circle: only what it shows of the photo, white where the photo ends.
    QPoint offset;
    const QImage region = scaledRegion(aRequest.Position.x(), aRequest.Position.y(), width, false, offset);
    QImage label = failed ? QImage() : Recycled(QSize(width, width), QImage::Format_RGB32);
    if (label.isNull())
        return tooLarge();
    const QList<TRowSpan> circle = LabelCircleRows(width);
    ApplyColorMatrixOverWhite(region, offset, matrix, circle, label);
    QImage made = label;
    if (margin > 0) {
        // The margin: the photo around it, its edge repeated where it ends.
        // Scaled apart from the circle's, whose pixels stay as they are.
        QPoint around;
        const QImage wider = scaledRegion(qint64(aRequest.Position.x()) - margin,
                                          qint64(aRequest.Position.y()) - margin, full, true, around);
        const QImage extended = wider.isNull() ? QImage() : EdgeExtended(wider, around, wider.rect(), full);
        made = extended.isNull() ? QImage() : Recycled(QSize(full, full), QImage::Format_RGB32);
        if (made.isNull())
            return tooLarge();
        ApplyColorMatrixOverWhite(extended, {}, matrix, QList<TRowSpan>(full, TRowSpan{0, full}), made);
        for (int y = 0; y < width; ++y) {
            const auto [from, to] = circle[y];
            if (from < to)
                std::memcpy(reinterpret_cast<QRgb*>(made.scanLine(y + margin)) + margin + from,
                            reinterpret_cast<const QRgb*>(label.constScanLine(y)) + from,
                            std::size_t(to - from) * sizeof(QRgb));
        }
    }
    if (aRequest.Side > 0) {
        // For a printed page: no finer than it needs, scaled once here.
        QImage print = made.scaled(aRequest.Side, aRequest.Side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (print.isNull())
            return tooLarge();
        made = print;
    }
    if (made.cacheKey() != label.cacheKey()) {
        const std::lock_guard<std::mutex> lock(FMutex);
        Recycle(std::move(label));
    }
    return made;
}

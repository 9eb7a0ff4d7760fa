#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// Decoded pictures by path, and pictures derived from them (scaled,
// colour-processed). A picture is decoded again only when its file's size or
// time stamps changed, so a pass whose files did not change decodes nothing,
// while a file replaced on disk shows at the next pass.
class TPictureCache
{
public:
    struct TPicture
    {
        // Format_RGB32 when opaque, else Format_ARGB32_Premultiplied; upright
        // (EXIF orientation applied). May be smaller than FullSize for a large
        // photo that could be decoded at reduced size.
        QImage Image;
        // Size of the upright picture at full resolution: the geometry of the
        // drawing steps is computed from it, so a reduced decode moves nothing.
        QSize FullSize;

        bool IsNull() const { return Image.isNull(); }
    };

    // The widest label raster: a reduced decode keeps its shorter side at
    // least this long, so every label size still draws from enough pixels.
    static constexpr int MinDecodedSide = 1650;
    // Pictures whose full decode would take more memory than this are skipped.
    static constexpr qint64 MaxDecodedBytes = qint64(256) * 1024 * 1024;

    // The picture of aPath, or a null picture when the file is missing, cannot
    // be decoded or would be too large. A failed decode is remembered too, so
    // an unchanged broken file is not decoded again on every pass.
    TPicture Picture(const QString& aPath);

    // A picture derived from the current contents of aPath and stored under
    // aKey; null when none is stored or the file changed since.
    QImage Derived(const QString& aPath, const QString& aKey);
    void StoreDerived(const QString& aPath, const QString& aKey, const QImage& aImage);

    // How many decodes have run; for tests and benchmarks.
    int DecodeCount() const { return FDecodeCount; }

    // An image of aSize and aFormat, its pixels undefined: the memory of a
    // picture the cache dropped since the last ReleaseRecycled() when one
    // fits, else new. A photo replaced on disk is decoded into the memory of
    // its previous version, for fresh memory costs a page fault every 4 KB:
    // some 20 ms for a 12 MP photo. Null when the memory cannot be had.
    QImage Recycled(const QSize& aSize, QImage::Format aFormat);
    // Frees the dropped pictures no one took; the render pass calls it at its end.
    void ReleaseRecycled() { FRecycled.clear(); }

    void Clear();

    // Decodes aPath upright; a JPEG whose shorter side is well above aMinSide
    // is decoded at reduced size. Null for an unreadable, truncated or too
    // large picture.
    static TPicture Decode(const QString& aPath, int aMinSide = MinDecodedSide);

private:
    struct Stamp
    {
        qint64 Size = -1;
        QDateTime Modified;
        QDateTime Changed;

        bool operator==(const Stamp&) const = default;
    };

    struct DerivedImage
    {
        QImage Image;
        quint64 LastUse = 0;
    };

    struct Entry
    {
        Stamp FileStamp;
        bool DecodeTried = false;
        TPicture DecodedPicture;
        QHash<QString, DerivedImage> DerivedImages;
        quint64 LastUse = 0;
    };

    // The entry of aPath with the file's current stamp; a changed file drops
    // what was cached for it. Null when aPath names no file.
    Entry* Current(const QString& aPath);
    // Keeps the memory of what the cache no longer needs for Recycled().
    void Recycle(QImage&& aImage);
    void Recycle(Entry&& aEntry);
    // Decode with its memory from Recycled() when aCache is given.
    static TPicture DecodeInto(const QString& aPath, int aMinSide, TPictureCache* aCache);

    // Few pictures are in use at once (a background and a middle picture);
    // these bounds keep memory flat while the user tries picture after picture.
    static constexpr int MaxEntries = 4;
    static constexpr int MaxDerivedPerEntry = 4;

    QHash<QString, Entry> FEntries;
    QList<QImage> FRecycled;
    quint64 FUseCounter = 0;
    int FDecodeCount = 0;
};

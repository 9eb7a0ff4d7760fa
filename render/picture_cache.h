#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSet>
#include <QSize>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>

// Why a picture file could not be used.
struct TPictureProblem
{
    enum class TKind { None, NotFound, Unreadable, NotAPicture, Damaged, TooLarge };

    TKind Kind = TKind::None;
    QSize Size;      // TooLarge: the picture's size
    QString Detail;  // Unreadable: the system's reason

    bool IsNone() const { return Kind == TKind::None; }
    // "not found", "cannot be read: <reason>", "not a picture", "damaged",
    // "too large: W × H".
    QString Reason() const;

    bool operator==(const TPictureProblem&) const = default;
};

// Decoded pictures by path, and pictures derived from them (scaled,
// colour-processed). A picture is decoded again only when its file's size or
// time stamps changed, so a pass whose files did not change decodes nothing,
// while a file replaced on disk shows at the next pass.
//
// Safe to share between renderers on several threads: a picture that several
// of them ask for at once is decoded once, the others waiting for it, and so
// is each derived picture.
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
        // Why Image is null.
        TPictureProblem Problem;

        bool IsNull() const { return Image.isNull(); }
    };

    // The widest label raster: a reduced decode keeps its shorter side at
    // least this long, so every label size still draws from enough pixels.
    static constexpr int MinDecodedSide = 1650;
    // Pictures whose decode would take more memory than this are refused.
    static constexpr qint64 MaxDecodedBytes = qint64(256) * 1024 * 1024;

    TPictureCache();

    // The picture of aPath, or a null picture with its problem when the file
    // is missing, cannot be decoded or would be too large. A failed decode is
    // remembered too, so an unchanged broken file is not decoded again on
    // every pass.
    TPicture Picture(const QString& aPath);

    // A picture derived from the current contents of aPath and stored under
    // aKey; null when none is stored or the file changed since.
    QImage Derived(const QString& aPath, const QString& aKey);
    // The picture derived under aKey, made by aMake when it is not stored yet;
    // others asking for it meanwhile wait for this one. A null result is not
    // stored. Null too when aPath names no file.
    QImage Derived(const QString& aPath, const QString& aKey, const std::function<QImage()>& aMake);

    // How many decodes have run; for tests and benchmarks.
    int DecodeCount() const;

    // An image of aSize and aFormat, its pixels undefined: the memory of a
    // picture the cache dropped since the last ReleaseRecycled() when one
    // fits, else new. A photo replaced on disk is decoded into the memory of
    // its previous version, for fresh memory costs a page fault every 4 KB:
    // some 20 ms for a 12 MP photo. Null when the memory cannot be had.
    QImage Recycled(const QSize& aSize, QImage::Format aFormat);
    // Frees the dropped pictures no one took; the render pass calls it at its end.
    void ReleaseRecycled();

    void Clear();

    // Decodes aPath upright; a JPEG whose shorter side is well above aMinSide
    // is decoded at reduced size. Null, with the problem, for a missing,
    // unreadable, truncated or too large picture.
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
        quint64 Generation = 0;  // new for every version of the file
        bool DecodeTried = false;
        bool Decoding = false;
        TPicture DecodedPicture;
        QHash<QString, DerivedImage> DerivedImages;
        QSet<QString> DerivedBeingMade;
        quint64 LastUse = 0;
    };

    using Lock = std::unique_lock<std::mutex>;

    // The entry of aPath with the file's current stamp; a changed file drops
    // what was cached for it. Null when aPath names no file.
    Entry* Current(const QString& aPath, const Lock& aLock);
    // The entry of aPath if it is still the version aGeneration.
    Entry* Same(const QString& aPath, quint64 aGeneration);
    // Keeps the memory of what the cache no longer needs for Recycled().
    void Recycle(QImage&& aImage);
    void Recycle(Entry&& aEntry);
    QImage RecycledLocked(const QSize& aSize, QImage::Format aFormat);
    void StoreDerivedLocked(Entry& aEntry, const QString& aKey, const QImage& aImage);
    // Decode with its memory from Recycled() when aCache is given.
    static TPicture DecodeInto(const QString& aPath, int aMinSide, TPictureCache* aCache);

    // Few pictures are in use at once (a background and a middle picture);
    // these bounds keep memory flat while the user tries picture after picture.
    static constexpr int MaxEntries = 4;
    static constexpr int MaxDerivedPerEntry = 4;

    mutable std::mutex FMutex;
    std::condition_variable FDone;  // a decode or a derived picture has finished
    QHash<QString, Entry> FEntries;
    QList<QImage> FRecycled;
    quint64 FUseCounter = 0;
    quint64 FGenerations = 0;
    int FDecodeCount = 0;
};

#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSet>
#include <QSize>
#include <QString>

#include "render/color_matrix.h"

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

// What the label's background asks of a photo: the square of the photo
// scaled to the label, the effect and transparency applied, over white.
struct TTextureRequest
{
    int Width = 0;         // W: the label square in label pixels
    int Margin = 0;        // label pixels the texture reaches past the square on every side
    int Effect = 0;        // 1 sepia, 2 grey, anything else none
    int Transparency = 0;  // percent; clamped to 0 to 100
    QPoint Position;       // the square's top-left corner on the photo scaled to W
    int Side = 0;          // the texture's side in pixels when smaller than W + 2 Margin; 0: full

    bool operator==(const TTextureRequest&) const = default;
};

// The finished background texture, or a null image and why.
struct TTexture
{
    QImage Image;
    TPictureProblem Problem;
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
    // The picture of aPath, its Image reduced (smoothly, once, then kept) to
    // the size aReduce gives for its full and decoded sizes when that is
    // valid and smaller than decoded on both sides.
    using TReduction = std::function<QSize(const QSize& aFullSize, const QSize& aDecodedSize)>;
    TPicture Picture(const QString& aPath, const TReduction& aReduce);

    // A picture derived from the current contents of aPath and stored under
    // aKey; null when none is stored or the file changed since.
    QImage Derived(const QString& aPath, const QString& aKey);
    // The picture derived under aKey, made by aMake when it is not stored yet;
    // others asking for it meanwhile wait for this one. A null result is not
    // stored. Null too when aPath names no file.
    QImage Derived(const QString& aPath, const QString& aKey, const std::function<QImage()>& aMake);

    // The background texture of aPath for aRequest, made in one pipeline
    // (decode, scale, effect, transparency, texture) and kept. Format_RGB32,
    // W + 2 Margin pixels square (or Side); pixel (x, y) shows label pixel
    // (x - Margin, y - Margin). Inside the label circle it shows the photo
    // where it reaches and white elsewhere; in the margin outside the circle
    // the photo continues, its edge repeated where it ends.
    TTexture Texture(const QString& aPath, const TTextureRequest& aRequest);

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
    QImage MakeTexture(const QString& aPath, const TTextureRequest& aRequest, TPictureProblem& aProblem);

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

// Size of a picture of aSize scaled so that its shorter side is aWidth (ties
// to even); invalid when it could not reasonably be allocated.
QSize DownsampleSize(const QSize& aSize, int aWidth);
// aImage scaled smoothly to DownsampleSize(); null for a null image or a
// size that cannot be allocated.
QImage Downsample(const QImage& aImage, int aWidth);

// For each row of a W x W label raster, the pixels the fill of the label
// circle can touch (centre W/2 + 1/2, radius (W - 2)/2, two pixels to spare).
QList<TRowSpan> LabelCircleRows(int aWidth);

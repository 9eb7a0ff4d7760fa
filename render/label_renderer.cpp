#include "render/label_renderer.h"

#include "render/strip_fill.h"

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

constexpr int LabelDotsPerMeter = 11811;  // 300 dpi
constexpr int ReferenceWidth = 1200;      // the 10 cm label every length is given for

// Nearest integer, ties to even, in single precision as the downsample rule
// asks; std::nearbyint follows the default rounding mode, which is exactly that.
qint64 RoundToEven(float aValue)
{
    return qint64(std::nearbyint(aValue));
}

// Size of a picture of aSize scaled so that its shorter side is aWidth;
// invalid when it could not reasonably be allocated.
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

QImage ScaleTo(const QImage& aImage, const QSize& aSize)
{
    if (aImage.isNull() || !aSize.isValid())
        return {};
    if (aImage.size() == aSize)
        return aImage;
    return aImage.scaled(aSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The colour matrix as lookup tables: each output channel is a sum of one
// table entry per input channel plus a constant, in 12-bit fixed point on the
// 0..255 scale. Cheaper than float arithmetic per pixel, and exact to well
// under a level.
struct ColorTables
{
    static constexpr int Shift = 12;
    int32_t Table[4][4][256];  // [input channel][output channel][value]
    int32_t Constant[4];
    int32_t OpaqueConstant[4];  // with the alpha row at 255 and the rounding folded in

    explicit ColorTables(const float aMatrix[5][5])
    {
        for (int in = 0; in < 4; ++in)
            for (int out = 0; out < 4; ++out)
                for (int value = 0; value < 256; ++value)
                    Table[in][out][value] = int32_t(std::lround(double(aMatrix[in][out]) * value * (1 << Shift)));
        for (int out = 0; out < 4; ++out) {
            Constant[out] = int32_t(std::lround(double(aMatrix[4][out]) * 255 * (1 << Shift)));
            OpaqueConstant[out] = Constant[out] + Table[3][out][255] + (1 << (Shift - 1));
        }
    }

    // The same for an opaque pixel, one lookup fewer.
    int OpaqueChannel(int aOut, int aR, int aG, int aB) const
    {
        const int32_t sum = Table[0][aOut][aR] + Table[1][aOut][aG] + Table[2][aOut][aB] + OpaqueConstant[aOut];
        return std::clamp(sum >> Shift, 0, 255);
    }

    int Channel(int aOut, int aR, int aG, int aB, int aA) const
    {
        const int32_t sum = Table[0][aOut][aR] + Table[1][aOut][aG] + Table[2][aOut][aB] + Table[3][aOut][aA]
                            + Constant[aOut] + (1 << (Shift - 1));
        return std::clamp(sum >> Shift, 0, 255);
    }
};

// Pixel (x, y) of the result is pixel (aCropX + x, aCropY + y) of aScaled with
// the colour matrix applied to its straight (not premultiplied) values, or
// transparent where that lies outside aScaled, so that part stays unpainted
// (a texture brush would tile the photo there instead).
QImage ApplyColorMatrix(const QImage& aScaled, qint64 aCropX, qint64 aCropY, int aWidth, const float aMatrix[5][5])
{
    const qint64 left = std::clamp<qint64>(-aCropX, 0, aWidth);
    const qint64 top = std::clamp<qint64>(-aCropY, 0, aWidth);
    const qint64 right = std::clamp<qint64>(aScaled.width() - aCropX, left, aWidth);
    const qint64 bottom = std::clamp<qint64>(aScaled.height() - aCropY, top, aWidth);
    const bool covered = left == 0 && top == 0 && right == aWidth && bottom == aWidth;

    const bool sourceOpaque = !aScaled.hasAlphaChannel();
    const bool keepsAlpha = aMatrix[0][3] == 0 && aMatrix[1][3] == 0 && aMatrix[2][3] == 0 && aMatrix[4][3] == 0
                            && aMatrix[3][3] >= 1.0f;
    const bool opaque = covered && sourceOpaque && keepsAlpha;

    QImage result(aWidth, aWidth, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return {};
    if (!covered)
        result.fill(Qt::transparent);
    const ColorTables tables(aMatrix);
    // An opaque photo whose alpha column ignores the colours gets one alpha
    // for every pixel: the common case, worth its own cheaper loop.
    const bool constantAlpha = sourceOpaque && aMatrix[0][3] == 0 && aMatrix[1][3] == 0 && aMatrix[2][3] == 0;
    const int alpha = tables.Channel(3, 0, 0, 0, 255);
    for (qint64 y = top; y < bottom; ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(aScaled.constScanLine(int(aCropY + y))) + aCropX;
        auto* target = reinterpret_cast<QRgb*>(result.scanLine(int(y)));
        if (constantAlpha) {
            for (qint64 x = left; x < right; ++x) {
                const int r = qRed(source[x]), g = qGreen(source[x]), b = qBlue(source[x]);
                const QRgb color = qRgba(tables.OpaqueChannel(0, r, g, b), tables.OpaqueChannel(1, r, g, b),
                                         tables.OpaqueChannel(2, r, g, b), alpha);
                target[x] = opaque ? color : qPremultiply(color);
            }
            continue;
        }
        for (qint64 x = left; x < right; ++x) {
            const QRgb pixel = sourceOpaque ? source[x] : qUnpremultiply(source[x]);
            const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel), a = qAlpha(pixel);
            target[x] = qPremultiply(qRgba(tables.Channel(0, r, g, b, a), tables.Channel(1, r, g, b, a),
                                           tables.Channel(2, r, g, b, a), tables.Channel(3, r, g, b, a)));
        }
    }
    return result;
}

// A wide stroke as the painter would draw it, its outline filled in strips
// (see strip_fill.h): a ring spans the whole label.
void StrokeWide(QPainter& aPainter, const QPainterPath& aPath, const QPen& aPen)
{
    FillPathInStrips(aPainter, QPainterPathStroker(aPen).createStroke(aPath), aPen.brush());
}

// Inset pen on a closed ellipse: the stroke covers r − p to r, the same as a
// centred pen of width p on the ellipse shrunk by p/2.
void StrokeInset(QPainter& aPainter, const QRectF& aEllipse, const QPen& aPen)
{
    const qreal half = aPen.widthF() / 2;
    const QRectF centreLine = aEllipse.adjusted(half, half, -half, -half);
    // A one-pixel pen takes Qt's own thin-line stroker.
    if (aPen.widthF() <= 1) {
        aPainter.setPen(aPen);
        aPainter.drawEllipse(centreLine);
        return;
    }
    QPainterPath ellipse;
    ellipse.addEllipse(centreLine);
    StrokeWide(aPainter, ellipse, aPen);
}

// An open arc, its stroke centred on the ellipse. The angles are degrees from
// 3 o'clock, clockwise on the raster (y down); Qt counts counter-clockwise,
// so both change sign.
void StrokeArc(QPainter& aPainter, const QRectF& aEllipse, float aStart, float aSweep, const QPen& aPen)
{
    QPainterPath path;
    path.arcMoveTo(aEllipse, -aStart);
    path.arcTo(aEllipse, -aStart, -aSweep);
    StrokeWide(aPainter, path, aPen);
}

QRectF InsetSquare(int aWidth, float aInset)
{
    return QRectF(aInset, aInset, float(aWidth) - 2 * aInset, float(aWidth) - 2 * aInset);
}

}  // namespace

TLabelRenderer::TLabelRenderer()
{
    MakeRaster(ReferenceWidth);
}

int TLabelRenderer::WidthForSize(int aItemIndex)
{
    switch (aItemIndex) {
    case 0:
        return 750;
    case 2:
        return 1650;
    default:
        return ReferenceWidth;
    }
}

void TLabelRenderer::SetLabelSize(int aItemIndex)
{
    MakeRaster(WidthForSize(aItemIndex));
}

void TLabelRenderer::MakeRaster(int aWidth)
{
    FBmp = QImage(aWidth, aWidth, QImage::Format_RGB32);
    FBmp.setDotsPerMeterX(LabelDotsPerMeter);
    FBmp.setDotsPerMeterY(LabelDotsPerMeter);
    FBmp.fill(Qt::white);
    FFactor = float(aWidth) / float(ReferenceWidth);
    ImgWidth = aWidth;
}

void TLabelRenderer::DrawLabel(const TLabelDocument& aDoc)
{
    FBmp.fill(Qt::white);
    QPainter painter(&FBmp);
    // FGr lives only for this pass, whichever way the steps end.
    struct PassEnd
    {
        QPainter*& Gr;
        ~PassEnd() { Gr = nullptr; }
    } passEnd{FGr};
    FGr = &painter;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    // The label's geometry puts pixel centres at integer coordinates; Qt puts
    // them at +0.5.
    painter.translate(0.5, 0.5);

    DrawBackground(aDoc);
    DrawOther(aDoc);
    DrawOuterCircle(aDoc);
    DrawInnerCircle(aDoc);
    DrawCheeseName(aDoc);
    DrawProduction(aDoc);
    DrawCheeseType(aDoc);
    DrawCheeseDate(aDoc);
}

QImage TLabelRenderer::ExportImage() const
{
    QImage image = FBmp.convertToFormat(QImage::Format_RGB888);
    image.setDotsPerMeterX(LabelDotsPerMeter);
    image.setDotsPerMeterY(LabelDotsPerMeter);
    return image;
}

QRgb TLabelRenderer::ColorRefToARGB(uint32_t aColor)
{
    return qRgb(int(aColor & 0xFF), int((aColor >> 8) & 0xFF), int((aColor >> 16) & 0xFF));
}

QImage TLabelRenderer::gdi_Downsample(const QImage& BmpIn, int width)
{
    return ScaleTo(BmpIn, DownsampleSize(BmpIn.size(), width));
}

void TLabelRenderer::SetTransparency(int32_t aTrans)
{
    const float t = 1.0f - float(aTrans) / 100.0f;
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 5; ++column)
            ColorMatrix[row][column] = row == column ? 1.0f : 0.0f;
    ColorMatrix[3][3] = t;
}

void TLabelRenderer::SetSepia()
{
    static constexpr float Sepia[4][3] = {
        {0.5f, 0.45f, 0.38f},
        {0.769f, 0.686f, 0.534f},
        {0.189f, 0.168f, 0.131f},
        {-0.1f, -0.1f, -0.1f},  // the constant row
    };
    for (int column = 0; column < 3; ++column) {
        ColorMatrix[0][column] = Sepia[0][column];
        ColorMatrix[1][column] = Sepia[1][column];
        ColorMatrix[2][column] = Sepia[2][column];
        ColorMatrix[4][column] = Sepia[3][column];
    }
}

void TLabelRenderer::SetGrayScale()
{
    static constexpr float Weights[3] = {0.299f, 0.587f, 0.114f};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            ColorMatrix[row][column] = Weights[row];
}

QImage TLabelRenderer::BackgroundTexture(const TLabelImage& aBg, int aWidth)
{
    SetTransparency(aBg.Trans);
    int effect = 0;
    if (aBg.Effect == 1) {
        SetSepia();
        effect = 1;
    } else if (aBg.Effect == 2) {
        SetGrayScale();
        effect = 2;
    }

    const QString key = QStringLiteral("texture %1 %2 %3 %4 %5")
                            .arg(aWidth)
                            .arg(effect)
                            .arg(aBg.Trans)
                            .arg(aBg.BgPosX)
                            .arg(aBg.BgPosY);
    QImage texture = FPictures.Derived(aBg.FileName, key);
    if (!texture.isNull())
        return texture;

    const TPictureCache::TPicture picture = FPictures.Picture(aBg.FileName);
    if (picture.IsNull())
        return {};
    const QString scaledKey = QStringLiteral("downsampled %1").arg(aWidth);
    QImage scaled = FPictures.Derived(aBg.FileName, scaledKey);
    if (scaled.isNull()) {
        // The size follows the photo's full resolution, so a photo decoded at
        // reduced size is cut exactly as a full decode would be.
        scaled = ScaleTo(picture.Image, DownsampleSize(picture.FullSize, aWidth));
        if (scaled.isNull())
            return {};
        FPictures.StoreDerived(aBg.FileName, scaledKey, scaled);
    }
    texture = ApplyColorMatrix(scaled, aBg.BgPosX, aBg.BgPosY, aWidth, ColorMatrix);
    if (!texture.isNull())
        FPictures.StoreDerived(aBg.FileName, key, texture);
    return texture;
}

void TLabelRenderer::DrawBackground(const TLabelDocument& aDoc)
{
    const TLabelImage& bg = aDoc.FLabelBg;
    const int w = FBmp.width();
    // Photo mode without a usable photo (none chosen yet, vanished, not a
    // picture) keeps the colour, as loading a label whose photo is missing does.
    QBrush brush{QColor::fromRgb(ColorRefToARGB(bg.Color))};
    if (!bg.UseColor) {
        const QImage texture = BackgroundTexture(bg, w);
        if (!texture.isNull()) {
            brush = QBrush(texture);
            // The texture starts at the raster's origin: undo the pass's
            // half-pixel shift, so photo pixels land on raster pixels unfiltered.
            brush.setTransform(QTransform::fromTranslate(-0.5, -0.5));
        }
    }
    QPainterPath circle;
    circle.addEllipse(QRectF(1, 1, w - 2, w - 2));
    FillPathInStrips(*FGr, circle, brush);
}

QImage TLabelRenderer::MiddlePicture(const QString& aPath, const QImage& aDecoded, const QSizeF& aDrawnSize)
{
    // The painter filters bilinearly, which leaves a much larger picture
    // aliased; a smooth reduction to twice the drawn size keeps it clean. Not
    // to the drawn size itself: Qt blits an unscaled image at a rounded pixel
    // position with hard edges, while a scaled one keeps its fractional place.
    const QSize reduced(std::max(1, int(std::ceil(2 * aDrawnSize.width()))),
                        std::max(1, int(std::ceil(2 * aDrawnSize.height()))));
    if (reduced.width() >= aDecoded.width() || reduced.height() >= aDecoded.height())
        return aDecoded;
    const QString key = QStringLiteral("middle %1x%2").arg(reduced.width()).arg(reduced.height());
    QImage image = FPictures.Derived(aPath, key);
    if (image.isNull()) {
        image = aDecoded.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        FPictures.StoreDerived(aPath, key, image);
    }
    return image;
}

void TLabelRenderer::DrawOther(const TLabelDocument& aDoc)
{
    const TLabelImage& bg = aDoc.FLabelBg;
    if (!bg.UsePng)
        return;
    const TPictureCache::TPicture picture = FPictures.Picture(bg.PngFile);
    if (picture.IsNull())
        return;

    const float sw = float(picture.FullSize.width());
    const float sh = float(picture.FullSize.height());
    const float ratio = sw / sh;
    const int percWidth = bg.PngWidth > 0 ? bg.PngWidth : 20;
    const int w = FBmp.width();
    const float tw = float(w) / (100.0f / float(percWidth));
    const float tx = (float(ImgWidth) - tw) / 2 + float(bg.PngPosX) * FFactor;
    // A portrait picture keeps its aspect ratio too, PngWidth setting its width.
    const float th = sw == sh ? tw : tw / ratio;
    const float ty = (float(ImgWidth) - th) / 2 + float(bg.PngPosY) * FFactor;

    // Only the part over the raster (with a margin for the filter) is drawn:
    // a picture that a hand-edited file puts far away costs nothing and never
    // meets the rasteriser's coordinate limits.
    const QRectF target(tx, ty, tw, th);
    const QRectF visible = target.intersected(QRectF(-2, -2, w + 4, w + 4));
    if (visible.isEmpty())
        return;
    const QImage image = MiddlePicture(bg.PngFile, picture.Image, target.size());
    const qreal scaleX = image.width() / target.width();
    const qreal scaleY = image.height() / target.height();
    const QRectF source((visible.left() - target.left()) * scaleX, (visible.top() - target.top()) * scaleY,
                        visible.width() * scaleX, visible.height() * scaleY);
    FGr->drawImage(visible, image, source);
}

void TLabelRenderer::DrawOuterCircle(const TLabelDocument& aDoc)
{
    const int w = FBmp.width();
    FGr->save();
    FGr->setBrush(Qt::NoBrush);
    QPen pen(QColor(0x80, 0x80, 0x80), 1.0, Qt::SolidLine, Qt::RoundCap);
    const QRectF circle(1, 1, w - 2, w - 2);
    StrokeInset(*FGr, circle, pen);  // the outline, whatever the rings do
    if (aDoc.FLabelRing1.Use) {
        pen.setWidthF(30 * FFactor);
        pen.setColor(ColorRefToARGB(aDoc.FLabelRing1.Color));
        StrokeInset(*FGr, circle, pen);
    }
    if (aDoc.FLabelRing2.Use) {
        pen.setWidthF(10 * FFactor);
        pen.setColor(ColorRefToARGB(aDoc.FLabelRing2.Color));
        StrokeInset(*FGr, InsetSquare(w, 40 * FFactor), pen);
    }
    FGr->restore();
}

void TLabelRenderer::DrawInnerCircle(const TLabelDocument& aDoc)
{
    const int w = FBmp.width();
    FGr->save();
    QPen pen(Qt::black, 20 * FFactor, Qt::SolidLine, Qt::RoundCap);
    // Each ring is an arc over the top and one under the bottom, leaving 40°
    // open around 3 and 9 o'clock; each arc is a stroke of its own.
    if (aDoc.FLabelRing3.Use) {
        pen.setColor(ColorRefToARGB(aDoc.FLabelRing3.Color));
        const QRectF ellipse = InsetSquare(w, 200 * FFactor);
        StrokeArc(*FGr, ellipse, -20, -140, pen);
        StrokeArc(*FGr, ellipse, 20, 140, pen);
    }
    if (aDoc.FLabelRing4.Use) {
        pen.setWidthF(10 * FFactor);
        pen.setColor(ColorRefToARGB(aDoc.FLabelRing4.Color));
        const QRectF ellipse = InsetSquare(w, 220 * FFactor);
        StrokeArc(*FGr, ellipse, -20, -140, pen);
        StrokeArc(*FGr, ellipse, 20, 140, pen);
    }
    FGr->restore();
}

#include "render/label_renderer.h"

#include "render/color_matrix.h"
#include "render/strip_fill.h"

#include <QBrush>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {

constexpr int LabelDotsPerMeter = 11811;  // 300 dpi
constexpr int ReferenceWidth = 1200;      // the 10 cm label every length is given for

// aOver at coverage aCover over aUnder, rounded as Qt's raster engine rounds.
QRgb Interpolate(QRgb aOver, uint aCover, QRgb aUnder)
{
    const uint rest = 255 - aCover;
    uint t = (aOver & 0xff00ff) * aCover + (aUnder & 0xff00ff) * rest;
    t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint u = ((aOver >> 8) & 0xff00ff) * aCover + ((aUnder >> 8) & 0xff00ff) * rest;
    u = (u + ((u >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return t | u;
}

// A wide stroke as the painter would draw it, its outline filled in strips
// (see strip_fill.h): a ring spans the whole label. Elsewhere than on a
// raster the device strokes it itself, which a PDF holds as one short path.
void StrokeWide(QPainter& aPainter, const QPainterPath& aPath, const QPen& aPen)
{
    if (aPainter.paintEngine() && aPainter.paintEngine()->type() != QPaintEngine::Raster) {
        aPainter.strokePath(aPath, aPen);
        return;
    }
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

QString PictureWarningText(bool aMiddle, const QString& aFile, const TPictureProblem& aProblem)
{
    return (aMiddle ? QStringLiteral("middle picture \"%1\": %2") : QStringLiteral("background photo \"%1\": %2"))
        .arg(aFile, aProblem.Reason());
}

QStringList TRenderReport::Warnings() const
{
    QStringList warnings;
    if (!Background.IsNone())
        warnings << PictureWarningText(false, BackgroundFile, Background);
    if (!Middle.IsNone())
        warnings << PictureWarningText(true, MiddleFile, Middle);
    return warnings;
}

TLabelRenderer::TLabelRenderer(std::shared_ptr<TPictureCache> aPictures)
    : FPictures(aPictures ? std::move(aPictures) : std::make_shared<TPictureCache>())
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
    FWidth = aWidth;
}

void TLabelRenderer::DrawLabel(const TLabelDocument& aDoc)
{
    FBmp.fill(Qt::white);
    QPainter painter(&FBmp);
    // The label's geometry puts pixel centres at integer coordinates; Qt puts
    // them at +0.5.
    painter.translate(0.5, 0.5);
    Paint(painter, aDoc);
}

void TLabelRenderer::Paint(QPainter& aPainter, const TLabelDocument& aDoc, TRenderSteps aSteps)
{
    // FGr lives only for this pass, whichever way the steps end; so do the
    // pictures the cache dropped and the pass did not reuse.
    struct PassEnd
    {
        QPainter& Painter;
        QPainter*& Gr;
        TPictureCache& Pictures;
        ~PassEnd()
        {
            Painter.restore();
            Gr = nullptr;
            Pictures.ReleaseRecycled();
        }
    } passEnd{aPainter, FGr, *FPictures};
    aPainter.save();
    FGr = &aPainter;
    FReport = {};
    aPainter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);

    if (aSteps & TRenderStep::Background)
        DrawBackground(aDoc);
    if (aSteps & TRenderStep::MiddlePicture)
        DrawOther(aDoc);
    if (aSteps & TRenderStep::OuterRings)
        DrawOuterCircle(aDoc);
    if (aSteps & TRenderStep::InnerRings)
        DrawInnerCircle(aDoc);
    if (aSteps & TRenderStep::CheeseName)
        DrawCheeseName(aDoc);
    if (aSteps & TRenderStep::Production)
        DrawProduction(aDoc);
    if (aSteps & TRenderStep::CheeseType)
        DrawCheeseType(aDoc);
    if (aSteps & TRenderStep::CheeseDate)
        DrawCheeseDate(aDoc);
}

QTransform TLabelRenderer::SquareTransform(const QRectF& aTarget) const
{
    // The raster's pixel x covers label coordinates x - 1/2 to x + 1/2.
    const double scaleX = aTarget.width() / FWidth;
    const double scaleY = aTarget.height() / FWidth;
    return QTransform::fromTranslate(0.5, 0.5) * QTransform::fromScale(scaleX, scaleY)
           * QTransform::fromTranslate(aTarget.left(), aTarget.top());
}

bool TLabelRenderer::OnRaster() const
{
    return FGr && FGr->paintEngine() && FGr->paintEngine()->type() == QPaintEngine::Raster;
}

double TLabelRenderer::PrintPixelsPerLabelPixel() const
{
    const QPaintDevice* device = FGr ? FGr->device() : nullptr;
    if (!device || device->logicalDpiX() <= 0)
        return 0;
    const QTransform transform = FGr->deviceTransform();
    const double devicePixels = std::max(std::hypot(transform.m11(), transform.m12()),
                                         std::hypot(transform.m21(), transform.m22()));
    return devicePixels * 300.0 / device->logicalDpiX();
}

void TLabelRenderer::ClearCaches()
{
    FPictures->Clear();
    FFonts.Clear();
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
    return Downsample(BmpIn, width);
}

QImage TLabelRenderer::BackgroundTexture(const QString& aPath, const TLabelImage& aBg, int aMargin, int aSide)
{
    TTextureRequest request;
    request.Width = FWidth;
    request.Margin = aMargin;
    request.Effect = aBg.Effect;
    request.Transparency = aBg.Trans;
    request.Position = QPoint(aBg.BgPosX, aBg.BgPosY);
    request.Side = aSide;
    const TTexture texture = FPictures->Texture(aPath, request);
    if (texture.Image.isNull())
        FReport.Background = texture.Problem;
    return texture.Image;
}

void TLabelRenderer::DrawBackground(const TLabelDocument& aDoc)
{
    const TLabelImage& bg = aDoc.FLabelBg;
    const int w = FWidth;
    // The bleed reaches past the label circle, measured from the label's
    // square (the circle sits half a pixel off its centre and a pixel inside).
    const double bleed = OnRaster() ? 0 : std::max(FBleed, 0.0);
    QPainterPath circle;
    if (bleed > 0)
        circle.addEllipse(QPointF(w / 2.0, w / 2.0), w / 2.0 + 0.5 + bleed, w / 2.0 + 0.5 + bleed);
    else
        circle.addEllipse(QRectF(1, 1, w - 2, w - 2));
    // Photo mode without a usable photo (none chosen yet, vanished, not a
    // picture) keeps the colour, as loading a label whose photo is missing does.
    QBrush brush{QColor::fromRgb(ColorRefToARGB(bg.Color))};
    // No photo chosen yet is no problem to report.
    if (!bg.UseColor && !bg.FileName.isEmpty()) {
        FReport.BackgroundFile = bg.FileName;
        const QString path = aDoc.PicturePath(bg.FileName);
        if (!OnRaster()) {
            DrawClippedPicture(path, bg, circle, bleed > 0 ? int(std::ceil(bleed)) + 1 : 0);
            if (FReport.Background.IsNone())
                return;
        } else if (const QImage texture = BackgroundTexture(path, bg, 0, 0); !texture.isNull()) {
            if (DrawTexturedCircle(circle, texture))
                return;
            brush = QBrush(texture);
            // The texture starts at the raster's origin: undo the pass's
            // half-pixel shift, so photo pixels land on raster pixels unfiltered.
            brush.setTransform(QTransform::fromTranslate(-0.5, -0.5));
        }
    }
    FillPathInStrips(*FGr, circle, brush);
}

void TLabelRenderer::DrawClippedPicture(const QString& aPath, const TLabelImage& aBg, const QPainterPath& aCircle,
                                        int aMargin)
{
    // Once, as one image through the circle: a texture brush would become a
    // tiling pattern, which viewers draw slowly and printers may tile with seams.
    // No finer than 300 dpi of the printed size.
    const int full = FWidth + 2 * aMargin;
    const double perPixel = PrintPixelsPerLabelPixel();
    const int needed = int(std::ceil(FWidth * perPixel));
    const int side = perPixel > 0 && needed < FWidth ? int(std::ceil(full * perPixel)) : 0;
    const QImage image = BackgroundTexture(aPath, aBg, aMargin, side);
    if (image.isNull())
        return;
    FGr->save();
    FGr->setClipPath(aCircle, Qt::IntersectClip);
    FGr->drawImage(QRectF(-0.5 - aMargin, -0.5 - aMargin, full, full), image);
    FGr->restore();
}

bool TLabelRenderer::DrawTexturedCircle(const QPainterPath& aCircle, const QImage& aTexture)
{
    // Only straight onto a label raster, with the painter set up as DrawLabel
    // does: the circle's place below assumes its half-pixel shift.
    const QTransform world = FGr->worldTransform();
    QPaintDevice* device = FGr->device();
    if (!OnRaster() || !device || device->devType() != QInternal::Image)
        return false;
    QImage& raster = *static_cast<QImage*>(device);
    if (FGr->hasClipping() || FGr->opacity() != 1.0 || FGr->compositionMode() != QPainter::CompositionMode_SourceOver
        || FGr->deviceTransform() != QTransform::fromTranslate(0.5, 0.5) || aTexture.size() != raster.size()
        || aTexture.format() != QImage::Format_RGB32 || raster.format() != QImage::Format_RGB32)
        return false;
    // Premultiplied ARGB, not an 8-bit format: Qt fills those by its generic
    // path, which it spreads over its pool thread as it does textures.
    if (FCoverage.size() != raster.size())
        FCoverage = QImage(raster.size(), QImage::Format_ARGB32_Premultiplied);
    if (FCoverage.isNull())
        return false;

    // The pass's circle on the raster: centre W/2 + 1/2, radius (W - 2)/2.
    // Pixels two pixels inside it lie wholly inside Qt's flattened curve.
    const int w = FWidth;
    const double centre = w / 2.0 + 0.5;
    const double inner = (w - 2) / 2.0 - 2;
    const auto inside = [centre, inner](int aTop, int aBottom) {
        const double dy = std::max(std::abs(aTop - centre), std::abs(aBottom - centre));
        if (dy >= inner)
            return QRect();
        const double half = std::sqrt(inner * inner - dy * dy);
        const int left = int(std::ceil(centre - half));
        const int right = int(std::floor(centre + half));
        return QRect(left, aTop, right - left, aBottom - aTop);
    };

    // The rows' spans the fill can touch, split where the inside is known to
    // be wholly covered.
    const QList<TRowSpan> rows = LabelCircleRows(w);
    QList<TRowSpan> wholeRows(rows.size());
    for (int y = 0; y < rows.size(); ++y) {
        const auto [from, to] = rows[y];
        const QRect whole = inside(y, y + 1);
        const int wholeFrom = whole.isEmpty() ? to : std::clamp(whole.left(), from, to);
        wholeRows[y] = {wholeFrom, whole.isEmpty() ? to : std::clamp(whole.left() + whole.width(), wholeFrom, to)};
        auto* cover = reinterpret_cast<QRgb*>(FCoverage.scanLine(y));
        std::fill(cover + from, cover + wholeRows[y].first, 0);
        std::fill(cover + wholeRows[y].second, cover + to, 0);
    }
    // The coverage of the circle's edge, from Qt's rasteriser as for any
    // fill, in the alpha of white.
    {
        QPainter coverage(&FCoverage);
        coverage.setRenderHints(FGr->renderHints());
        coverage.setTransform(world);
        FillPathInStrips(coverage, aCircle, QBrush(Qt::white), inside);
    }
    // The texture drawn through it as Qt blends an opaque texture: copied
    // where covered, mixed with what is below by the coverage on the edge. Qt
    // hands texture blending to its pool thread a batch of spans at a time
    // and waits; here the inside is a memcpy a row.
    for (int y = 0; y < raster.height(); ++y) {
        const auto [from, to] = rows[y];
        if (from >= to)
            continue;
        const auto [wholeFrom, wholeTo] = wholeRows[y];
        const auto* cover = reinterpret_cast<const QRgb*>(FCoverage.constScanLine(y));
        const auto* source = reinterpret_cast<const QRgb*>(aTexture.constScanLine(y));
        auto* target = reinterpret_cast<QRgb*>(raster.scanLine(y));
        std::memcpy(target + wholeFrom, source + wholeFrom, std::size_t(wholeTo - wholeFrom) * sizeof(QRgb));
        for (int x = from; x < to; ++x) {
            if (x == wholeFrom)
                x = wholeTo;
            if (x >= to)
                break;
            const uint alpha = qAlpha(cover[x]);
            if (alpha != 0)
                target[x] = alpha == 255 ? source[x] : Interpolate(source[x], alpha, target[x]);
        }
    }
    return true;
}

QSize TLabelRenderer::MiddleSize(const QSize& aDecoded, const QSizeF& aDrawnSize) const
{
    // The painter filters bilinearly, which leaves a much larger picture
    // aliased; a smooth reduction to twice the drawn size keeps it clean. Not
    // to the drawn size itself: Qt blits an unscaled image at a rounded pixel
    // position with hard edges, while a scaled one keeps its fractional place.
    // On a printer or PDF, 300 dpi of the printed size is enough.
    // Compared before converting: a hand-edited width can make the drawn size
    // far larger than an int holds.
    const double perPixel = OnRaster() ? 2.0 : PrintPixelsPerLabelPixel();
    if (!(perPixel > 0))
        return {};
    const double wide = std::ceil(perPixel * aDrawnSize.width());
    const double high = std::ceil(perPixel * aDrawnSize.height());
    if (!(wide < aDecoded.width() && high < aDecoded.height()))
        return {};
    return QSize(std::max(1, int(wide)), std::max(1, int(high)));
}

void TLabelRenderer::DrawOther(const TLabelDocument& aDoc)
{
    const TLabelImage& bg = aDoc.FLabelBg;
    if (!bg.UsePng || bg.PngFile.isEmpty())
        return;
    FReport.MiddleFile = bg.PngFile;
    const QString path = aDoc.PicturePath(bg.PngFile);
    const int w = FWidth;
    QRectF target;
    // The geometry follows the picture's full size; the cache hands over the
    // picture reduced for it.
    const TPictureCache::TPicture picture =
        FPictures->Picture(path, [&](const QSize& aFullSize, const QSize& aDecoded) {
            const float sw = float(aFullSize.width());
            const float sh = float(aFullSize.height());
            const float ratio = sw / sh;
            const int percWidth = bg.PngWidth > 0 ? bg.PngWidth : 20;
            const float tw = float(w) / (100.0f / float(percWidth));
            const float tx = (float(w) - tw) / 2 + float(bg.PngPosX) * FFactor;
            // A portrait picture keeps its aspect ratio too, PngWidth setting its width.
            const float th = sw == sh ? tw : tw / ratio;
            const float ty = (float(w) - th) / 2 + float(bg.PngPosY) * FFactor;
            target = QRectF(tx, ty, tw, th);
            return MiddleSize(aDecoded, target.size());
        });
    if (picture.IsNull()) {
        FReport.Middle = picture.Problem;
        return;
    }

    // Only the part over the label (with a margin for the filter) is drawn:
    // a picture that a hand-edited file puts far away costs nothing and never
    // meets the rasteriser's coordinate limits.
    const QRectF area(-2, -2, w + 4, w + 4);
    const QRectF visible = target.intersected(area);
    if (visible.isEmpty())
        return;
    const QImage& image = picture.Image;
    // Elsewhere than on the raster the whole picture is drawn, so every label
    // of a sheet draws the very same image and a PDF holds it once.
    if (!OnRaster() && area.adjusted(-w, -w, w, w).contains(target)) {
        FGr->drawImage(target, image);
        return;
    }
    const qreal scaleX = image.width() / target.width();
    const qreal scaleY = image.height() / target.height();
    const QRectF source((visible.left() - target.left()) * scaleX, (visible.top() - target.top()) * scaleY,
                        visible.width() * scaleX, visible.height() * scaleY);
    FGr->drawImage(visible, image, source);
}

void TLabelRenderer::DrawOuterCircle(const TLabelDocument& aDoc)
{
    const int w = FWidth;
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
    const int w = FWidth;
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

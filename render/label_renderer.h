#pragma once

#include "label/label_document.h"
#include "render/curved_text.h"
#include "render/picture_cache.h"

#include <QFlags>
#include <QImage>
#include <QRgb>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <memory>

class QPainter;
class QRectF;

// The pictures a render pass could not draw, and why; the label is drawn
// all the same, with the colour background or without the middle picture.
struct TRenderReport
{
    QString BackgroundFile;  // as the document holds it
    TPictureProblem Background;
    QString MiddleFile;
    TPictureProblem Middle;

    // One message for each picture that could not be drawn, naming it.
    QStringList Warnings() const;
};

// In English, as merovik-render prints it: "background photo "x.jpg": not
// found", "middle picture "y.png": damaged".
QString PictureWarningText(bool aMiddle, const QString& aFile, const TPictureProblem& aProblem);

// The eight steps of the render pass, in the order they run.
enum class TRenderStep {
    Background = 0x01,
    MiddlePicture = 0x02,
    OuterRings = 0x04,
    InnerRings = 0x08,
    CheeseName = 0x10,
    Production = 0x20,
    CheeseType = 0x40,
    CheeseDate = 0x80,
};
Q_DECLARE_FLAGS(TRenderSteps, TRenderStep)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRenderSteps)
inline constexpr TRenderSteps AllRenderSteps = TRenderSteps::fromInt(0xFF);

// Draws a label document. Widget-free: the editor window owns one and shows
// its raster; the command-line renderer, the PDF and print pages and the
// tests use it headless.
//
// The label is drawn in its own pixel space: the label at the chosen size is
// W × W pixels (750, 1200, 1650) with pixel centres at whole coordinates, so
// the label circle is centred on (W/2, W/2) less half a pixel's shift.
// DrawLabel() paints it into the renderer's own raster; Paint() draws it
// through any painter (a PDF writer, a printer) the caller has set up.
class TLabelRenderer
{
public:
    // Decoded pictures come from aPictures, which renderers working side by
    // side may share; a renderer of its own is made when none is given.
    explicit TLabelRenderer(std::shared_ptr<TPictureCache> aPictures = {});

    // Raster width for the label size item 0, 1, 2 ("6 cm", "10 cm", "14 cm").
    static int WidthForSize(int aItemIndex);

    // Sizes the renderer for the label size item: the raster, the width W
    // and the factor W / 1200 every length is scaled by. Draws nothing.
    void SetLabelSize(int aItemIndex);
    int LabelWidth() const { return FWidth; }
    float Factor() const { return FFactor; }

    // Paints aDoc (the steps in aSteps) with aPainter in the label's pixel
    // space; the caller sets up the painter's transform and clip. On the
    // raster the pass takes its raster-only shortcuts; on any other paint
    // engine everything is drawn as vector paths and each picture once as an
    // image, at no more than 300 dpi of its printed size.
    void Paint(QPainter& aPainter, const TLabelDocument& aDoc, TRenderSteps aSteps = AllRenderSteps);
    // The bleed of the following passes in label pixels: off the raster the
    // background (colour or photo) reaches this far past the label's square
    // all round, as a circle; the rest of the label stays as it is. Never on
    // the raster, whose picture is the label's square.
    void SetBleed(double aPixels) { FBleed = aPixels; }
    double Bleed() const { return FBleed; }

    // The render pass into the raster: clears it to white and paints.
    void DrawLabel(const TLabelDocument& aDoc);

    // The raster as last drawn: Format_RGB32, W × W, 300 dpi.
    const QImage& Raster() const { return FBmp; }
    // The raster as a 24-bit RGB image, 300 dpi, for export.
    QImage ExportImage() const;

    // Maps the label's pixel space so that the raster's square lands on aTarget
    // (in the painter's coordinates before this transform).
    QTransform SquareTransform(const QRectF& aTarget) const;

    // Opaque ARGB of a 0x00BBGGRR colour value; the top byte is ignored.
    static QRgb ColorRefToARGB(uint32_t aColor);

    // Scales aBmpIn so that its shorter side is aWidth pixels (ties to even);
    // a null image for a null input or a size that cannot be allocated.
    static QImage gdi_Downsample(const QImage& BmpIn, int width);

    TPictureCache& Pictures() { return *FPictures; }
    // Forgets every picture (also for the renderers sharing the cache), face
    // and outline kept between passes; the next pass reads and shapes afresh.
    void ClearCaches();

    // What the last pass could not draw.
    const TRenderReport& Report() const { return FReport; }

private:
    // The eight steps, in the order the pass runs them, drawing through FGr.
    void DrawBackground(const TLabelDocument& aDoc);
    void DrawOther(const TLabelDocument& aDoc);
    void DrawOuterCircle(const TLabelDocument& aDoc);
    void DrawInnerCircle(const TLabelDocument& aDoc);
    // -- text steps (render/label_texts.cpp) --
    void DrawCheeseName(const TLabelDocument& aDoc);
    void DrawProduction(const TLabelDocument& aDoc);
    void DrawCheeseType(const TLabelDocument& aDoc);
    void DrawCheeseDate(const TLabelDocument& aDoc);
    // The element's font, bold, at FontSize × FFactor pixels; null when
    // FontSize is not positive.
    TLabelFont TextFont(const TLabelText& aText);
    // A straight text whose first line is centred aOffset below the middle line.
    void DrawStraightText(const TLabelText& aText, float aOffset);
    // -- end of text steps --

    void MakeRaster(int aWidth);
    // True while FGr paints on a raster, where the raster-only shortcuts
    // apply; false on a PDF, a printer or a recording.
    bool OnRaster() const;
    // Device pixels per label pixel over 300 dpi: how many image pixels a
    // label pixel needs at most on FGr's device; 0 where it cannot be told.
    double PrintPixelsPerLabelPixel() const;
    // The background photo's texture from the picture cache (see
    // TPictureCache::Texture), aMargin pixels past the square and aSide
    // pixels wide (0: at label resolution); null, the problem reported, when
    // the photo cannot be used.
    QImage BackgroundTexture(const QString& aPath, const TLabelImage& aBg, int aMargin, int aSide);
    // Draws the photo's texture, reaching aMargin pixels past the square,
    // once as an image clipped to aCircle, at no more than 300 dpi of its
    // printed size.
    void DrawClippedPicture(const QString& aPath, const TLabelImage& aBg, const QPainterPath& aCircle, int aMargin);
    // Draws aTexture through aCircle onto the raster itself, the painter's
    // fill done by hand; false, drawing nothing, when the painter is not set
    // up as the pass sets it up on a label raster.
    bool DrawTexturedCircle(const QPainterPath& aCircle, const QImage& aTexture);
    // The size the middle picture, decoded at aDecoded, is reduced to ahead
    // of drawing when it is drawn at aDrawnSize; invalid when it is not.
    QSize MiddleSize(const QSize& aDecoded, const QSizeF& aDrawnSize) const;

    std::shared_ptr<TPictureCache> FPictures;
    TFontCache FFonts;  // faces, advances and outlines, kept between passes
    float FFactor = 1.0f;
    double FBleed = 0;        // label pixels the background reaches past the label off the raster
    int FWidth = 1200;        // W, the label width the renderer was sized to
    QPainter* FGr = nullptr;  // exists only inside a pass
    QImage FBmp;              // Format_RGB32, 300 dpi
    QImage FCoverage;         // scratch: the label circle's edge coverage, drawn anew every pass
    TRenderReport FReport;
};

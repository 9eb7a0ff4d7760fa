#pragma once

#include "label/label_document.h"
#include "render/curved_text.h"
#include "render/picture_cache.h"

#include <QImage>
#include <QRgb>
#include <QSizeF>
#include <QString>
#include <cstdint>

class QPainter;

// Draws a label document into the square label raster. Widget-free: the
// editor window owns one and shows its raster; the command-line renderer and
// the tests use it headless.
class TLabelRenderer
{
public:
    TLabelRenderer();

    // Raster width for the label size item 0, 1, 2 ("6 cm", "10 cm", "14 cm").
    static int WidthForSize(int aItemIndex);

    // Replaces the raster by one of the size item's width and sets FFactor
    // and ImgWidth; draws nothing.
    void SetLabelSize(int aItemIndex);

    // The render pass: clears the raster to white and runs the eight steps.
    void DrawLabel(const TLabelDocument& aDoc);

    // The raster as a 24-bit RGB image, 300 dpi, for export.
    QImage ExportImage() const;

    // Opaque ARGB of a 0x00BBGGRR colour value; the top byte is ignored.
    static QRgb ColorRefToARGB(uint32_t aColor);

    // Scales aBmpIn so that its shorter side is aWidth pixels (ties to even);
    // a null image for a null input or a size that cannot be allocated.
    static QImage gdi_Downsample(const QImage& BmpIn, int width);

    // Colour matrix operations of the background step; SetSepia and
    // SetGrayScale rely on SetTransparency having run first.
    void SetTransparency(int32_t aTrans);
    void SetSepia();
    void SetGrayScale();

    // Drawing state.
    float ColorMatrix[5][5] = {};
    float FFactor = 1.0f;
    QPainter* FGr = nullptr;  // exists only inside DrawLabel
    QImage FBmp;              // Format_RGB32, 300 dpi
    int ImgWidth = 1200;      // always FBmp's width

    TPictureCache& Pictures() { return FPictures; }

    // The eight steps, in the order DrawLabel runs them.
    void DrawBackground(const TLabelDocument& aDoc);
    void DrawOther(const TLabelDocument& aDoc);
    void DrawOuterCircle(const TLabelDocument& aDoc);
    void DrawInnerCircle(const TLabelDocument& aDoc);
    // -- text steps (render/label_texts.cpp) --
    void DrawCheeseName(const TLabelDocument& aDoc);
    void DrawProduction(const TLabelDocument& aDoc);
    void DrawCheeseType(const TLabelDocument& aDoc);
    void DrawCheeseDate(const TLabelDocument& aDoc);

private:
    // The element's font, bold, at FontSize × FFactor pixels; null when
    // FontSize is not positive.
    TLabelFont TextFont(const TLabelText& aText);
    // A straight text whose first line is centred aOffset below the middle line.
    void DrawStraightText(const TLabelText& aText, float aOffset);

    TFontCache FFonts;  // faces, advances and outlines, kept between passes
    // -- end of text steps --

private:
    void MakeRaster(int aWidth);
    // The W x W square of the scaled photo that fills the label circle, with
    // the colour matrix applied and drawn over white, so opaque; null when the
    // photo cannot be used.
    QImage BackgroundTexture(const TLabelImage& aBg, int aWidth);
    // Draws aTexture through aCircle onto the raster itself, the painter's
    // fill done by hand; false, drawing nothing, when the painter is not the
    // pass's on the raster.
    bool DrawTexturedCircle(const QPainterPath& aCircle, const QImage& aTexture);
    // The middle picture, reduced ahead of drawing when it is drawn smaller.
    QImage MiddlePicture(const QString& aPath, const QImage& aDecoded, const QSizeF& aDrawnSize);

    TPictureCache FPictures;
    QImage FCoverage;  // scratch: the label circle's edge coverage, drawn anew every pass
};

// The four text steps of the render pass: the cheese name curved along the
// top, the production lines curved along the bottom, the cheese type and the
// date straight across the middle.
#include "render/label_renderer.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QRectF>

#include <numbers>

namespace {

QBrush SolidBrush(uint32_t aColor)
{
    return QBrush(QColor::fromRgb(TLabelRenderer::ColorRefToARGB(aColor)));
}

}  // namespace

TLabelFont TLabelRenderer::TextFont(const TLabelText& aText)
{
    // Single precision, like every other length of the steps.
    const float emSize = float(aText.FontSize) * FFactor;
    return FFonts.Font(aText.FontName, emSize);
}

void TLabelRenderer::DrawCheeseName(const TLabelDocument& aDoc)
{
    const TLabelText& name = aDoc.FLabelName;
    const TLabelFont Fnt = TextFont(name);
    if (Fnt.IsNull() || name.Text.isEmpty())
        return;
    const int W = FWidth;
    const QPoint centre(W / 2, W / 2);
    const int degrees = 0;
    const double rads = degrees * std::numbers::pi / 180;
    const float b = 120 * FFactor;
    const float charHeight = MeasureFnt(Fnt).height();
    // The glyphs stand outside this circle, so their band is centred on
    // W/2 - b. A font taller than the label leaves no circle; nothing is drawn.
    const double RadiusToText = centre.x() - b - charHeight / 2;
    DrawCurvedTextOrg(FGr, name.Text, centre, RadiusToText, rads, Fnt, SolidBrush(name.FontColor),
                      false);
}

void TLabelRenderer::DrawProduction(const TLabelDocument& aDoc)
{
    // Both lines are drawn in the first line's font and colour.
    const TLabelText& first = aDoc.FLabelSub1;
    const TLabelFont Fnt = TextFont(first);
    if (Fnt.IsNull())
        return;
    const int W = FWidth;
    const QPoint centre(W / 2, W / 2);
    const int degrees = 180;
    const double rads = degrees * std::numbers::pi / 180;
    const float b = 80 * FFactor;
    // The glyphs hang inside this circle; no font height enters it.
    const double RadiusToText = centre.x() - b;
    QString txt = first.Text;
    if (!aDoc.FLabelSub2.Text.isEmpty())
        txt = first.Text + QLatin1Char(' ') + aDoc.FLabelSub2.Text;
    DrawCurvedTextOrg(FGr, txt, centre, RadiusToText, rads, Fnt, SolidBrush(first.FontColor), true);
}

void TLabelRenderer::DrawCheeseType(const TLabelDocument& aDoc)
{
    DrawStraightText(aDoc.FLabelType, 0);
}

void TLabelRenderer::DrawCheeseDate(const TLabelDocument& aDoc)
{
    const float b = 100 * FFactor;
    DrawStraightText(aDoc.FLabelDate, b);
}

void TLabelRenderer::DrawStraightText(const TLabelText& aText, float aOffset)
{
    const TLabelFont Fnt = TextFont(aText);
    if (!FGr || Fnt.IsNull() || aText.Text.isEmpty())
        return;
    const float CharHeight = MeasureFnt(Fnt).height();
    const float w = float(FWidth);
    // Two lines high, the first one centred on the line aOffset below the
    // middle; a larger font grows equally up and down.
    const QRectF CheeseTypeBox(0, (w - CharHeight) / 2 + aOffset, w, 2 * CharHeight);
    DrawTextInBox(FGr, aText.Text, CheeseTypeBox, Fnt, SolidBrush(aText.FontColor));
}

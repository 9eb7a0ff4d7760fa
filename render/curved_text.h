#pragma once

#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QPainterPath>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTransform>
#include <memory>

class QBrush;
class QPainter;

class TFontFace;

// A bold font at a pixel em size that may be fractional. Qt rounds pixel
// sizes to whole pixels and turns point sizes into pixels with the paint
// device's dpi, so every measurement and outline is taken from the face at a
// reference pixel size (its units per em, where the metrics are whole design
// units) and scaled by EmSize / reference size. Cheap to copy.
class TLabelFont
{
public:
    TLabelFont() = default;

    bool IsNull() const { return !FFace; }
    double EmSize() const { return FEmSize; }
    // Pixels per reference unit.
    double Scale() const;
    // The family the name resolved to.
    QString Family() const;

    // Advance width of one grapheme cluster in pixels, without kerning. The
    // lone space U+0020 is one third of the em.
    double Advance(const QString& aCluster) const;
    // Line height: ascent + descent + line gap.
    double LineSpacing() const;
    double Ascent() const;

    // Outline of one cluster in reference units, its line box's top left
    // corner at the origin (baseline at the ascent).
    QPainterPath ReferenceOutline(const QString& aCluster) const;

    // Outline of aText in reference units, broken at word boundaries (or
    // anywhere inside a word too long) into lines at most aWidth pixels wide,
    // each centred on aWidth / 2; the first line box's top at 0, the lines
    // LineSpacing apart. Only lines whose top lies above aHeight pixels are
    // laid out.
    QPainterPath ReferenceWrappedOutline(const QString& aText, double aWidth,
                                         double aHeight) const;

    // The same two as glyph runs, placed as the outlines are.
    QList<QGlyphRun> ReferenceRuns(const QString& aCluster) const;
    QList<QGlyphRun> ReferenceWrappedRuns(const QString& aText, double aWidth, double aHeight) const;

private:
    friend class TFontCache;
    TLabelFont(std::shared_ptr<TFontFace> aFace, double aEmSize);

    std::shared_ptr<TFontFace> FFace;
    double FEmSize = 0;
};

// Faces by font name, kept between render passes with their measured
// advances and outlines, so a pass that draws the same texts again shapes
// nothing.
class TFontCache
{
public:
    // The font named aName (system matching with substitutes, so "Arial"
    // gives its metric-compatible substitute; a name that matches nothing
    // gives the default sans-serif), bold, at aEmSize pixels. A null font
    // when aEmSize is not a positive size that the raster can hold.
    TLabelFont Font(const QString& aName, double aEmSize);

    void Clear() { FFaces.clear(); }

    // Em sizes above this are not drawn: glyph coordinates would leave the
    // range the rasteriser's fixed-point arithmetic covers.
    static constexpr double MaxEmSize = 1.0e6;

private:
    QHash<QString, std::shared_ptr<TFontFace>> FFaces;
};

// The user-perceived characters of aText, in order; at most aMaxCount of
// them when aMaxCount is not negative.
QStringList SplitGraphemes(const QString& aText, qsizetype aMaxCount = -1);

// A curved text lays out at most this many characters. More would circle
// the smallest label's name many times over, illegibly, and a hand-edited
// file with a huge text would make every redraw crawl.
inline constexpr qsizetype MaxCurvedCharacters = 1000;

// Where one character of a curved text goes.
struct TCharacterPlacement
{
    double Radians = 0;          // its centre, from 12 o'clock, clockwise
    double RotationDegrees = 0;  // turn of the glyph, clockwise on the raster
    QPointF OnCircle;            // its centre on the circle, raster pixels
};

// Places characters of the advance widths aWidths along the circle: the
// first centre at the start of the span the text takes, each next one half
// the sum of two neighbouring widths further as arc length; clockwise when
// TopInside is false, counter-clockwise when true. Empty for a radius that
// is not positive.
QList<TCharacterPlacement> PlaceCharacters(const QList<double>& aWidths, QPoint Centre,
                                           double distanceFromCentreToBaseOfText,
                                           double radiansToTextCentre, bool TopInside);

// Maps an outline in pixels whose line box's top left corner is at the
// origin so that the point aBoundsWidth / 2 right of it on the line box's
// bottom edge lands on the circle and the bottom edge is tangent there.
QTransform CharacterTransform(const TCharacterPlacement& aPlace, double aBoundsWidth,
                              double characterHeight);

// Advance widths of the grapheme clusters aText into wa (resized to match);
// returns their sum.
double GetCharacterWidths(const QStringList& aText, const TLabelFont& aFont, QList<double>& wa);

// Height of a line of aFnt (Width is always 0).
QSizeF MeasureFnt(const TLabelFont& aFnt);

// Draws text in aBox: centred lines broken at word boundaries, the first
// line box's top at the box's top, nothing shown outside the box.
void DrawTextInBox(QPainter* aGr, const QString& aText, const QRectF& aBox,
                   const TLabelFont& aFnt, const QBrush& aBrush);

// Lays text along the circle of radius distanceFromCentreToBaseOfText about
// Centre, centred on radiansToTextCentre. TopInside false: glyph tops point
// outwards and the text runs clockwise (reads at the top); true: tops point
// inwards and it runs counter-clockwise (reads at the bottom).
void DrawCurvedTextOrg(QPainter* Gr, const QString& text, QPoint Centre,
                       double distanceFromCentreToBaseOfText, double radiansToTextCentre,
                       const TLabelFont& Fnt, const QBrush& Brush, bool TopInside);

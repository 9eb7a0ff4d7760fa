#include "render/curved_text.h"

#include "render/strip_fill.h"

#include <QBrush>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace {

// Beyond these the caches start afresh rather than grow without bound, for
// a hand-edited file may hold any amount of text.
constexpr qsizetype MaxCachedClusters = 4096;
constexpr qsizetype MaxCachedLayouts = 64;
constexpr qsizetype MaxCachedFaces = 32;

QFont MakeFont(const QString& aName, int aPixelSize)
{
    QFont font(aName);
    // A name that matches nothing falls back to the default sans-serif.
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    // Characters are advanced one by one, by their own widths.
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPixelSize(aPixelSize);
    return font;
}

// A PDF (and a printer, which is fed one) takes texts as text in the
// embedded font: a few bytes a character where the outlines take hundreds,
// and a text the reader can search and copy.
bool WritesText(const QPainter& aPainter)
{
    const QPaintEngine* engine = aPainter.paintEngine();
    return engine && engine->type() == QPaintEngine::Pdf;
}

// Draws glyph runs in one brush, each set of them mapped into the painter's
// coordinates by a transform of its own; the painter's state is kept.
class TRunWriter
{
public:
    TRunWriter(QPainter& aPainter, const QBrush& aBrush) : FPainter(aPainter), FWorld(aPainter.worldTransform())
    {
        FPainter.save();
        // Text is drawn with the pen's brush.
        FPainter.setPen(QPen(aBrush, 1));
        FPainter.setBrush(Qt::NoBrush);
    }
    ~TRunWriter() { FPainter.restore(); }
    TRunWriter(const TRunWriter&) = delete;
    TRunWriter& operator=(const TRunWriter&) = delete;

    void Draw(const QList<QGlyphRun>& aRuns, const QTransform& aToPainter)
    {
        FPainter.setWorldTransform(aToPainter * FWorld);
        for (const QGlyphRun& run : aRuns)
            FPainter.drawGlyphRun(QPointF(), run);
    }

private:
    QPainter& FPainter;
    const QTransform FWorld;
};

// The value kept under aKey, made by aMake when there is none yet. Past
// aLimit entries the cache starts afresh rather than grow without bound.
template <typename T, typename Make>
T Cached(QHash<QString, T>& aCache, const QString& aKey, qsizetype aLimit, const Make& aMake)
{
    const auto found = aCache.constFind(aKey);
    if (found != aCache.cend())
        return *found;
    if (aCache.size() >= aLimit)
        aCache.clear();
    T value = aMake();
    aCache.insert(aKey, value);
    return value;
}

QString LayoutKey(const QString& aText, double aWidth, double aHeight)
{
    return QString::number(aWidth, 'g', 17) + QLatin1Char('|') + QString::number(aHeight, 'g', 17)
           + QLatin1Char('|') + aText;
}

}  // namespace

// One resolved face at its reference pixel size, with what was measured of it.
class TFontFace
{
public:
    explicit TFontFace(const QString& aName)
    {
        Font = MakeFont(aName, 2048);
        // At the units per em every metric is a whole number of design units,
        // so neither hinting nor rounding can bend them.
        const int unitsPerEm = QRawFont::fromFont(Font).unitsPerEm();
        const int referenceSize = std::clamp(unitsPerEm > 0 ? unitsPerEm : 2048, 256, 16384);
        if (referenceSize != 2048)
            Font = MakeFont(aName, referenceSize);
        ReferenceSize = referenceSize;
        Metrics = QFontMetricsF(Font);
        Ascent = Metrics.ascent();
        LineSpacing = Metrics.lineSpacing();
        Family = QFontInfo(Font).family();
    }

    double Advance(const QString& aCluster)
    {
        return Cached(FAdvances, aCluster, MaxCachedClusters, [&] { return Metrics.horizontalAdvance(aCluster); });
    }

    QPainterPath Outline(const QString& aCluster)
    {
        return Cached(FOutlines, aCluster, MaxCachedClusters, [&] {
            QPainterPath outline;
            // addText takes the baseline; the line box's top goes to the origin.
            outline.addText(QPointF(0, Ascent), Font, aCluster);
            outline.setFillRule(Qt::OddEvenFill);
            outline.boundingRect();  // computed once, shared by every copy
            return outline;
        });
    }

    // The glyphs of one cluster as positioned runs, baseline at the ascent
    // like the outline: what a PDF shows as text in an embedded font.
    QList<QGlyphRun> Runs(const QString& aCluster)
    {
        return Cached(FRuns, aCluster, MaxCachedClusters, [&] {
            QTextLayout layout(aCluster, Font);
            layout.beginLayout();
            QTextLine line = layout.createLine();
            if (line.isValid())
                line.setPosition(QPointF(0, 0));
            layout.endLayout();
            return LineRuns(layout);
        });
    }

    QList<QGlyphRun> WrappedRuns(const QString& aText, double aWidth, double aHeight)
    {
        return Cached(FWrappedRuns, LayoutKey(aText, aWidth, aHeight), MaxCachedLayouts, [&] {
            QTextLayout layout(aText, Font);
            QTextOption option(Qt::AlignHCenter);
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            // Only lines that can show are laid out, so a very long text costs
            // no more than two lines of it.
            for (double top = 0; top < aHeight; top += LineSpacing) {
                QTextLine line = layout.createLine();
                if (!line.isValid())
                    break;
                line.setLineWidth(aWidth);
                line.setPosition(QPointF(0, top));
            }
            layout.endLayout();
            return LineRuns(layout);
        });
    }

    QPainterPath WrappedOutline(const QString& aText, double aWidth, double aHeight)
    {
        return Cached(FLayouts, LayoutKey(aText, aWidth, aHeight), MaxCachedLayouts, [&] {
            QPainterPath outline;
            outline.setFillRule(Qt::WindingFill);
            for (const QGlyphRun& run : WrappedRuns(aText, aWidth, aHeight)) {
                const QRawFont rawFont = run.rawFont();
                const QList<quint32> glyphs = run.glyphIndexes();
                const QList<QPointF> positions = run.positions();
                for (qsizetype g = 0; g < glyphs.size() && g < positions.size(); ++g) {
                    QPainterPath glyph = rawFont.pathForGlyph(glyphs[g]);
                    glyph.translate(positions[g]);
                    outline.addPath(glyph);
                }
            }
            return outline;
        });
    }

    QFont Font;
    QFontMetricsF Metrics{QFont()};
    double ReferenceSize = 2048;
    double Ascent = 0;
    double LineSpacing = 0;
    QString Family;

private:
    QHash<QString, double> FAdvances;
    QHash<QString, QPainterPath> FOutlines;
    QHash<QString, QPainterPath> FLayouts;
    QHash<QString, QList<QGlyphRun>> FRuns;
    QHash<QString, QList<QGlyphRun>> FWrappedRuns;

    // The glyph runs of every line of aLayout. Every line keeps the face's
    // own baseline, even where a fallback font with a taller ascent takes
    // part in it.
    QList<QGlyphRun> LineRuns(const QTextLayout& aLayout) const
    {
        QList<QGlyphRun> all;
        for (int i = 0; i < aLayout.lineCount(); ++i) {
            const QTextLine line = aLayout.lineAt(i);
            const double shift = line.y() + Ascent - (line.y() + line.ascent());
            const QList<QGlyphRun> runs = line.glyphRuns();
            for (QGlyphRun run : runs) {
                QList<QPointF> positions = run.positions();
                for (QPointF& position : positions)
                    position.ry() += shift;
                run.setPositions(positions);
                all.append(run);
            }
        }
        return all;
    }
};

TLabelFont::TLabelFont(std::shared_ptr<TFontFace> aFace, double aEmSize)
    : FFace(std::move(aFace)), FEmSize(aEmSize)
{
}

double TLabelFont::Scale() const
{
    return FFace ? FEmSize / FFace->ReferenceSize : 0.0;
}

QString TLabelFont::Family() const
{
    return FFace ? FFace->Family : QString();
}

double TLabelFont::Advance(const QString& aCluster) const
{
    if (!FFace)
        return 0;
    // A lone space is a third of the em wide, whatever the face's own space:
    // the word gap that curved label texts have always had.
    if (aCluster == QLatin1String(" "))
        return FEmSize / 3;
    return FFace->Advance(aCluster) * Scale();
}

double TLabelFont::LineSpacing() const
{
    return FFace ? FFace->LineSpacing * Scale() : 0.0;
}

double TLabelFont::Ascent() const
{
    return FFace ? FFace->Ascent * Scale() : 0.0;
}

QPainterPath TLabelFont::ReferenceOutline(const QString& aCluster) const
{
    return FFace ? FFace->Outline(aCluster) : QPainterPath();
}

QPainterPath TLabelFont::ReferenceWrappedOutline(const QString& aText, double aWidth,
                                                 double aHeight) const
{
    if (!FFace || aText.isEmpty())
        return {};
    return FFace->WrappedOutline(aText, aWidth / Scale(), aHeight / Scale());
}

QList<QGlyphRun> TLabelFont::ReferenceRuns(const QString& aCluster) const
{
    return FFace ? FFace->Runs(aCluster) : QList<QGlyphRun>();
}

QList<QGlyphRun> TLabelFont::ReferenceWrappedRuns(const QString& aText, double aWidth, double aHeight) const
{
    if (!FFace || aText.isEmpty())
        return {};
    return FFace->WrappedRuns(aText, aWidth / Scale(), aHeight / Scale());
}

TLabelFont TFontCache::Font(const QString& aName, double aEmSize)
{
    if (!(aEmSize > 0) || !(aEmSize <= MaxEmSize))
        return {};
    auto face = FFaces.value(aName);
    if (!face) {
        if (FFaces.size() >= MaxCachedFaces)
            FFaces.clear();
        face = std::make_shared<TFontFace>(aName);
        FFaces.insert(aName, face);
    }
    return TLabelFont(face, aEmSize);
}

QStringList SplitGraphemes(const QString& aText, qsizetype aMaxCount)
{
    QStringList clusters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, aText);
    qsizetype start = 0;
    while ((aMaxCount < 0 || clusters.size() < aMaxCount) && finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        clusters.append(aText.mid(start, end - start));
        start = end;
    }
    return clusters;
}

QList<TCharacterPlacement> PlaceCharacters(const QList<double>& aWidths, QPoint Centre,
                                           double distanceFromCentreToBaseOfText,
                                           double radiansToTextCentre, bool TopInside)
{
    QList<TCharacterPlacement> places;
    // A circle of no size has no circumference to lay the text along.
    if (aWidths.isEmpty() || !(distanceFromCentreToBaseOfText > 0)
        || !std::isfinite(distanceFromCentreToBaseOfText) || !std::isfinite(radiansToTextCentre))
        return places;

    constexpr double pi = std::numbers::pi;
    const double circleCircumference = 2 * pi * distanceFromCentreToBaseOfText;
    double textLength = 0;
    for (double width : aWidths)
        textLength += width;
    const double fractionOfCircumference = textLength / circleCircumference;
    // The first centre sits at the very start of the span.
    double currentCharacterRadians = TopInside ? radiansToTextCentre + pi * fractionOfCircumference
                                               : radiansToTextCentre - pi * fractionOfCircumference;

    places.reserve(aWidths.size());
    for (qsizetype i = 0; i < aWidths.size(); ++i) {
        TCharacterPlacement place;
        place.Radians = currentCharacterRadians;
        place.OnCircle = QPointF(Centre.x() + std::sin(currentCharacterRadians) * distanceFromCentreToBaseOfText,
                                 Centre.y() - std::cos(currentCharacterRadians) * distanceFromCentreToBaseOfText);
        // Tops inwards means the glyph is turned half a turn further.
        place.RotationDegrees = currentCharacterRadians * 180 / pi - (TopInside ? 180 : 0);
        places.append(place);

        if (i + 1 < aWidths.size()) {
            const double distanceToNextChar = (aWidths[i] + aWidths[i + 1]) / 2;
            const double charFractionOfCircumference = distanceToNextChar / circleCircumference;
            currentCharacterRadians += (TopInside ? -2 : 2) * pi * charFractionOfCircumference;
        }
    }
    return places;
}

QTransform CharacterTransform(const TCharacterPlacement& aPlace, double aBoundsWidth,
                              double characterHeight)
{
    // Each call prepends, so a point is first moved by the last translation,
    // then turned (clockwise on the raster), then moved onto the circle.
    QTransform transform;
    transform.translate(aPlace.OnCircle.x(), aPlace.OnCircle.y());
    transform.rotate(aPlace.RotationDegrees);
    transform.translate(-aBoundsWidth / 2, -characterHeight);
    return transform;
}

double GetCharacterWidths(const QStringList& aText, const TLabelFont& aFont, QList<double>& wa)
{
    wa.resize(aText.size());
    double sum = 0;
    for (qsizetype i = 0; i < aText.size(); ++i) {
        wa[i] = aFont.Advance(aText[i]);
        sum += wa[i];
    }
    return sum;
}

QSizeF MeasureFnt(const TLabelFont& aFnt)
{
    return QSizeF(0, aFnt.LineSpacing());
}

void DrawCurvedTextOrg(QPainter* Gr, const QString& text, QPoint Centre,
                       double distanceFromCentreToBaseOfText, double radiansToTextCentre,
                       const TLabelFont& Fnt, const QBrush& Brush, bool TopInside)
{
    if (!Gr || Fnt.IsNull() || text.isEmpty())
        return;
    const QStringList characters = SplitGraphemes(text, MaxCurvedCharacters);
    QList<double> characterWidths;
    GetCharacterWidths(characters, Fnt, characterWidths);
    const QList<TCharacterPlacement> places =
        PlaceCharacters(characterWidths, Centre, distanceFromCentreToBaseOfText,
                        radiansToTextCentre, TopInside);
    const double characterHeight = MeasureFnt(Fnt).height();
    const double scale = Fnt.Scale();
    const QTransform toPixels = QTransform::fromScale(scale, scale);
    // A PDF or a printer takes the whole text as one path: one fill instead
    // of a change of the drawing state for every character. Glyph contours
    // turn as TrueType has them, so winding fills them as their own rule
    // does, also where neighbours touch.
    const bool asText = WritesText(*Gr);
    const bool onePath = !asText && Gr->paintEngine() && Gr->paintEngine()->type() != QPaintEngine::Raster;
    QPainterPath whole;
    whole.setFillRule(Qt::WindingFill);
    std::optional<TRunWriter> writer;
    if (asText)
        writer.emplace(*Gr, Brush);

    for (qsizetype i = 0; i < places.size(); ++i) {
        const QPainterPath characterPath = Fnt.ReferenceOutline(characters[i]);
        if (characterPath.isEmpty())
            continue;
        // Only the bounds' width enters the placement, not their left edge.
        const double boundsWidth = characterPath.boundingRect().width() * scale;
        const QTransform transform =
            toPixels * CharacterTransform(places[i], boundsWidth, characterHeight);
        if (asText)
            writer->Draw(Fnt.ReferenceRuns(characters[i]), transform);
        else if (onePath)
            whole.addPath(transform.map(characterPath));
        else
            FillPath(*Gr, transform.map(characterPath), Brush);
    }
    if (onePath && !whole.isEmpty())
        FillPath(*Gr, whole, Brush);
}

void DrawTextInBox(QPainter* aGr, const QString& aText, const QRectF& aBox,
                   const TLabelFont& aFnt, const QBrush& aBrush)
{
    if (!aGr || aFnt.IsNull() || aText.isEmpty() || !aBox.isValid())
        return;
    // Lines wrap a sixth of the em short of either edge of the box, so the
    // overhang of a bold glyph at a line's end stays inside it.
    const double lineWidth = std::max(0.0, aBox.width() - aFnt.EmSize() / 3);
    const QPainterPath outline = aFnt.ReferenceWrappedOutline(aText, lineWidth, aBox.height());
    if (outline.isEmpty())
        return;
    const double scale = aFnt.Scale();
    const QTransform transform = QTransform::fromScale(scale, scale)
        * QTransform::fromTranslate(aBox.center().x() - lineWidth / 2, aBox.top());
    const QPainterPath path = transform.map(outline);
    if (WritesText(*aGr)) {
        aGr->save();
        if (!aBox.contains(path.controlPointRect()))
            aGr->setClipRect(aBox, Qt::IntersectClip);
        TRunWriter(*aGr, aBrush).Draw(aFnt.ReferenceWrappedRuns(aText, lineWidth, aBox.height()), transform);
        aGr->restore();
        return;
    }

    aGr->save();
    // Clipping costs a little, so only a text that reaches out of its box pays it.
    if (!aBox.contains(path.controlPointRect()))
        aGr->setClipRect(aBox, Qt::IntersectClip);
    // A line of text spans the label: filled in strips (see strip_fill.h).
    FillPathInStrips(*aGr, path, aBrush);
    aGr->restore();
}

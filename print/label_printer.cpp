#include "print/label_printer.h"

#include "render/label_renderer.h"

#include <QFont>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double MillimetresPerInch = 25.4;

bool InRange(double aValue, double aMin, double aMax)
{
    return aValue >= aMin && aValue <= aMax;  // false for NaN
}

int TotalCopies(const QList<TPrintJob>& aJobs)
{
    qint64 total = 0;
    for (const TPrintJob& job : aJobs)
        total += std::max(job.Copies, 0);
    return int(std::min<qint64>(total, std::numeric_limits<int>::max()));
}

// Sets the paper and no margins. Full-page mode puts the painter's origin on
// the paper's corner, also on a printer that cannot print there.
TPrintError PreparePaper(QPagedPaintDevice& aDevice, const TPrintSettings& aSettings)
{
    const TSheetLayout& layout = aSettings.Layout;
    const QSizeF paper = PrintPaperSize(aSettings);
    const QPageSize size = layout.Paper == TPaper::Label
                               ? QPageSize(paper, QPageSize::Millimeter, QString(), QPageSize::ExactMatch)
                               : layout.PageSize();
    QPageLayout page(size, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter);
    page.setMode(QPageLayout::FullPageMode);
    if (!aDevice.setPageLayout(page))
        return {TPrintError::TKind::PaperRefused, paper, 0, {}, {}};
    return {};
}

// Page millimetres (from the paper's top-left corner) to the device
// coordinates of a painter on aDevice, the calibration last.
QTransform PageTransform(const QPagedPaintDevice& aDevice, const TPrintSettings& aSettings)
{
    const QPageLayout page = aDevice.pageLayout();
    const QRectF paint = page.paintRect(QPageLayout::Millimeter);
    const QTransform toDevice = QTransform::fromTranslate(-paint.left(), -paint.top())
                                * QTransform::fromScale(aDevice.logicalDpiX() / MillimetresPerInch,
                                                        aDevice.logicalDpiY() / MillimetresPerInch);
    return LayoutToPage(aSettings, page.fullRect(QPageLayout::Millimeter).size()) * toDevice;
}

// Starts painting on aDevice with its paper set; no error on success.
TPrintError BeginPages(QPainter& aPainter, QPagedPaintDevice& aDevice, const TPrintSettings& aSettings)
{
    const TPrintError paper = PreparePaper(aDevice, aSettings);
    if (!paper.IsNone())
        return paper;
    if (!aPainter.begin(&aDevice))
        return {TPrintError::TKind::CannotStart, {}, 0, {}, {}};
    return {};
}

QString Number(double aValue)
{
    return QLocale(QLocale::Dutch).toString(aValue, 'f', 1);
}

// Fonts have whole pixel sizes: text is drawn at ten times its size, scaled down.
constexpr double TextOversize = 10;

// Saves aPainter and sets it up for text of aHeight mm from aAt, in units of
// 1 / TextOversize mm; the caller restores it.
void BeginText(QPainter& aPainter, const QPointF& aAt, double aHeight)
{
    aPainter.save();
    aPainter.translate(aAt);
    aPainter.scale(1 / TextOversize, 1 / TextOversize);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, int(std::lround(aHeight * TextOversize))));
    aPainter.setFont(font);
}

// Text in mm: a font of aHeight mm whose baseline starts at aAt.
void DrawText(QPainter& aPainter, const QPointF& aAt, double aHeight, const QString& aText)
{
    BeginText(aPainter, aAt, aHeight);
    aPainter.drawText(QPointF(0, 0), aText);
    aPainter.restore();
}

// A ruler along x (aHorizontal) or y, aAcross mm from the other edge, its
// ticks from aFrom to aTo mm from the paper's edge (inside the printable
// area) on the side away from that edge, numbered every 10 mm with their
// distance from the edge, so that 0 is the edge itself.
void DrawRuler(QPainter& aPainter, int aFrom, int aTo, double aAcross, bool aHorizontal)
{
    const auto at = [&](double aAlong, double aOff) {
        return aHorizontal ? QPointF(aAlong, aAcross + aOff) : QPointF(aAcross + aOff, aAlong);
    };
    aPainter.drawLine(at(aFrom, 0), at(aTo, 0));
    for (int mm = aFrom; mm <= aTo; ++mm) {
        const double tick = mm % 10 == 0 ? 4 : mm % 5 == 0 ? 2.5 : 1.5;
        aPainter.drawLine(at(mm, 0), at(mm, tick));
        // The corner's number is the horizontal ruler's.
        if (mm % 10 == 0 && (aHorizontal || mm > aFrom)) {
            const QString label = mm == aTo ? QStringLiteral("%1 mm").arg(mm) : QString::number(mm);
            DrawText(aPainter, aHorizontal ? at(mm + 0.5, 6.5) : at(mm - 0.5, 4.8), 2.2, label);
        }
    }
}

// aText wrapped into aWidth mm from aTopLeft, on white so that outlines do
// not cross it, in a font of aHeight mm; the height it took.
double DrawParagraph(QPainter& aPainter, const QPointF& aTopLeft, double aWidth, double aHeight, const QString& aText)
{
    BeginText(aPainter, aTopLeft, aHeight);
    const QRectF box(0, 0, aWidth * TextOversize, 1e6);
    const QRectF used = aPainter.boundingRect(box, Qt::TextWordWrap, aText);
    aPainter.fillRect(used.adjusted(-5, -3, 5, 3), Qt::white);
    aPainter.drawText(box, Qt::TextWordWrap, aText);
    aPainter.restore();
    return used.height() / TextOversize;
}

// The die-cut of each position on page aPage, faint, for a preview; the
// positions before the start greyed on the first page, as used.
void DrawOutlines(QPainter& aPainter, const QTransform& aTransform, const TPrintSettings& aSettings, int aPage)
{
    const TSheetLayout& layout = aSettings.Layout;
    const double cut = layout.DieCutDiameter > 0 ? layout.DieCutDiameter : layout.Diameter;
    aPainter.save();
    aPainter.setTransform(aTransform);
    aPainter.setRenderHint(QPainter::Antialiasing);
    for (int position = 1; position <= layout.Positions(); ++position) {
        const bool used = aPage == 0 && position < aSettings.Start;
        aPainter.setPen(QPen(QColor(150, 150, 150), 0.3, used ? Qt::DashLine : Qt::SolidLine));
        aPainter.setBrush(used ? QBrush(QColor(0, 0, 0, 30)) : QBrush(Qt::NoBrush));
        aPainter.drawEllipse(layout.Centre(position), cut / 2, cut / 2);
    }
    aPainter.restore();
}

// The highest band across the page, between aTop and aBottom, that no
// cross (with its number) reaches, for the calibration page's words: its
// top and bottom in mm.
std::pair<double, double> FreeBand(const TSheetLayout& aLayout, double aTop, double aBottom, double aArm)
{
    QList<std::pair<double, double>> taken;
    for (int position = 1; position <= aLayout.Positions(); ++position) {
        const double y = aLayout.Centre(position).y();
        taken.append({y - aArm - 1, y + aArm + 1});
    }
    std::sort(taken.begin(), taken.end());
    std::pair<double, double> best{aTop, aTop};
    double free = aTop;
    taken.append({aBottom, aBottom});
    for (const auto& [top, bottom] : taken) {
        const double end = std::min(top, aBottom);
        if (end - free > best.second - best.first)
            best = {free, end};
        free = std::max(free, bottom);
    }
    return best;
}
// The die lines and crop marks of a page for a preview, in page
// millimetres: hairlines, the die line in magenta.
void PaintPrintShopMarks(QPainter& aPainter, const TPrintSettings& aSettings, const QList<int>& aPositions)
{
    const TPrintShopMarks marks = PrintShopMarks(aSettings, aPositions);
    aPainter.save();
    aPainter.setRenderHint(QPainter::Antialiasing);
    aPainter.setBrush(Qt::NoBrush);
    aPainter.setPen(QPen(QColor::fromCmykF(0, 1, 0, 0), 0));
    const double radius = marks.CutDiameter / 2;
    for (const QPointF& centre : marks.CutCentres)
        aPainter.drawEllipse(centre, radius, radius);
    aPainter.setPen(QPen(Qt::black, 0));
    aPainter.drawLines(marks.CropMarks);
    aPainter.restore();
}

TPrintResult PaintLabels(QPagedPaintDevice& aDevice, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                         TLabelRenderer& aRenderer, const TPrintProgress& aProgress, bool aMarks);

}  // namespace

double CutDiameter(const TSheetLayout& aLayout)
{
    return aLayout.DieCutDiameter > 0 ? aLayout.DieCutDiameter : aLayout.Diameter;
}

double SmallestGap(const TSheetLayout& aLayout)
{
    // Every pair: offset grids put the nearest neighbour on a diagonal.
    double nearest = std::numeric_limits<double>::infinity();
    const int positions = aLayout.Positions();
    for (int a = 1; a <= positions; ++a) {
        const QPointF centre = aLayout.Centre(a);
        for (int b = a + 1; b <= positions; ++b) {
            const QPointF apart = aLayout.Centre(b) - centre;
            nearest = std::min(nearest, std::hypot(apart.x(), apart.y()));
        }
    }
    return nearest - CutDiameter(aLayout);
}

QSizeF PrintPaperSize(const TPrintSettings& aSettings)
{
    const TSheetLayout& layout = aSettings.Layout;
    if (layout.Paper != TPaper::Label)
        return layout.PaperSize();
    const TPrintShop& shop = aSettings.Shop;
    double margin = std::max(shop.Bleed, 0.0);
    if (shop.CropMarks)
        margin += TPrintShop::CropMarkGap + TPrintShop::CropMarkLength;
    return layout.PaperSize() + QSizeF(2 * margin, 2 * margin);
}

QTransform LayoutToPage(const TPrintSettings& aSettings, const QSizeF& aPaper)
{
    // One label a page sits in the middle of its page: Qt keeps page sizes
    // in whole points, up to half a point off the size asked for, and the
    // page may be grown by the bleed and the crop marks.
    QTransform centre;
    const TSheetLayout& layout = aSettings.Layout;
    if (layout.Paper == TPaper::Label) {
        const QSizeF nominal = layout.PaperSize();
        centre.translate((aPaper.width() - nominal.width()) / 2, (aPaper.height() - nominal.height()) / 2);
    }
    return centre * aSettings.Calibration.Transform();
}

TPrintShopMarks PrintShopMarks(const TPrintSettings& aSettings, const QList<int>& aPositions)
{
    TPrintShopMarks marks;
    const TSheetLayout& layout = aSettings.Layout;
    const TPrintShop& shop = aSettings.Shop;
    marks.CutDiameter = CutDiameter(layout);
    if (shop.CutContour) {
        for (int position : aPositions)
            marks.CutCentres << layout.Centre(position);
    }
    if (layout.Paper != TPaper::Label || aPositions.isEmpty())
        return marks;
    marks.Trim = layout.Square(aPositions.first());
    const double bleed = std::max(shop.Bleed, 0.0);
    marks.Bleed = marks.Trim.adjusted(-bleed, -bleed, bleed, bleed);
    const QSizeF margin = (PrintPaperSize(aSettings) - marks.Trim.size()) / 2;
    marks.Media = marks.Trim.adjusted(-margin.width(), -margin.height(), margin.width(), margin.height());
    if (shop.CropMarks) {
        // Two at each corner, along the trim's edges, starting past the bleed.
        const double from = bleed + TPrintShop::CropMarkGap;
        const double to = from + TPrintShop::CropMarkLength;
        const QRectF& trim = marks.Trim;
        for (const QPointF& corner : {trim.topLeft(), trim.topRight(), trim.bottomLeft(), trim.bottomRight()}) {
            const double outX = corner.x() < trim.center().x() ? -1 : 1;
            const double outY = corner.y() < trim.center().y() ? -1 : 1;
            marks.CropMarks << QLineF(corner + QPointF(outX * from, 0), corner + QPointF(outX * to, 0));
            marks.CropMarks << QLineF(corner + QPointF(0, outY * from), corner + QPointF(0, outY * to));
        }
    }
    return marks;
}

QString PrintErrorText(const TPrintError& aError)
{
    switch (aError.Kind) {
    case TPrintError::TKind::None: return {};
    case TPrintError::TKind::PaperRefused:
        return QStringLiteral("the printer does not take paper of %1 × %2 mm")
            .arg(aError.Paper.width())
            .arg(aError.Paper.height());
    case TPrintError::TKind::CannotStart: return QStringLiteral("cannot start printing");
    case TPrintError::TKind::CannotStartPage: return QStringLiteral("cannot start page %1").arg(aError.Page);
    case TPrintError::TKind::File: return FileProblemText(aError.File);
    case TPrintError::TKind::PrintShopMarks:
        return QStringLiteral("cannot add the print-shop marks: %1").arg(aError.Detail);
    }
    return {};
}

QString PrintWarningText(const TPrintWarning& aWarning)
{
    return PictureWarningText(aWarning.Middle, aWarning.File, aWarning.Problem);
}

QTransform TCalibration::Transform() const
{
    return QTransform(ScaleX / 100, 0, 0, ScaleY / 100, OffsetX, OffsetY);
}

TPrintProblem CheckSettings(const TPrintSettings& aSettings)
{
    using TKind = TPrintProblem::TKind;
    const TPrintProblem layout = CheckLayout(aSettings.Layout);
    if (!layout.IsNone())
        return layout;
    const int positions = aSettings.Layout.Positions();
    if (aSettings.Start < 1 || aSettings.Start > positions)
        return {TKind::StartOutOfRange, 0, 0, aSettings.Start, positions};
    const TCalibration& c = aSettings.Calibration;
    for (const auto& [value, horizontal] : {std::pair{c.OffsetX, true}, std::pair{c.OffsetY, false}}) {
        if (!InRange(value, TCalibration::MinOffset, TCalibration::MaxOffset))
            return {TKind::OffsetOutOfRange, value, 0, 0, 0, horizontal};
    }
    for (const auto& [value, horizontal] : {std::pair{c.ScaleX, true}, std::pair{c.ScaleY, false}}) {
        if (!InRange(value, TCalibration::MinScale, TCalibration::MaxScale))
            return {TKind::ScaleOutOfRange, value, 0, 0, 0, horizontal};
    }
    const TPrintShop& shop = aSettings.Shop;
    if (!InRange(shop.Bleed, 0, TPrintShop::MaxBleed))
        return {TKind::BleedOutOfRange, shop.Bleed};
    if (aSettings.Layout.Paper != TPaper::Label) {
        if (shop.CropMarks)
            return {TKind::CropMarksOnSheet};
        // Wider, a label's bleed would print over its neighbour's.
        const double half = SmallestGap(aSettings.Layout) / 2;
        if (shop.Bleed > half)
            return {TKind::BleedTooWide, shop.Bleed, std::max(half, 0.0)};
    }
    return {};
}

QList<TPlacement> PlaceLabels(const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings)
{
    QList<TPlacement> placements;
    placements.reserve(TotalCopies(aJobs));
    const int positions = std::max(aSettings.Layout.Positions(), 1);
    int page = 0;
    int position = std::clamp(aSettings.Start, 1, positions);
    for (int job = 0; job < aJobs.size(); ++job) {
        for (int copy = 0; copy < aJobs[job].Copies; ++copy) {
            if (position > positions) {
                ++page;
                position = 1;
            }
            placements.append({job, page, position});
            ++position;
        }
    }
    return placements;
}

TPrintResult PrintLabels(QPagedPaintDevice& aDevice, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                         TLabelRenderer& aRenderer, const TPrintProgress& aProgress)
{
    return PaintLabels(aDevice, aJobs, aSettings, aRenderer, aProgress, false);
}

TPrintResult PreviewLabels(QPagedPaintDevice& aDevice, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                           TLabelRenderer& aRenderer, const TPrintProgress& aProgress)
{
    return PaintLabels(aDevice, aJobs, aSettings, aRenderer, aProgress, true);
}

namespace {

TPrintResult PaintLabels(QPagedPaintDevice& aDevice, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                         TLabelRenderer& aRenderer, const TPrintProgress& aProgress, bool aMarks)
{
    TPrintResult result;
    result.Problem = CheckSettings(aSettings);
    if (!result.Problem.IsNone())
        return result;
    const QList<TPlacement> placements = PlaceLabels(aJobs, aSettings);
    if (placements.isEmpty()) {
        result.Problem = {TPrintProblem::TKind::NothingToPrint};
        return result;
    }

    QPainter painter;
    result.Error = BeginPages(painter, aDevice, aSettings);
    if (!result.Error.IsNone())
        return result;
    const QTransform page = PageTransform(aDevice, aSettings);
    // The background reaches the bleed past the cut, which on a product may
    // lie outside the printed circle; in the renderer's pixels. Without a
    // bleed the label prints as it always did, its background at its circle.
    const TSheetLayout& layout = aSettings.Layout;
    const double bleed = std::max(aSettings.Shop.Bleed, 0.0);
    const double reach = bleed > 0 ? bleed + std::max(CutDiameter(layout) - layout.Diameter, 0.0) / 2 : 0;
    struct TBleedScope
    {
        TLabelRenderer& Renderer;
        double Kept;
        ~TBleedScope() { Renderer.SetBleed(Kept); }
    } bleedScope{aRenderer, aRenderer.Bleed()};
    aRenderer.SetBleed(reach > 0 ? reach * aRenderer.LabelWidth() / layout.Diameter : 0);
    QList<int> pagePositions;
    const auto finishPage = [&] {
        if (aMarks && !pagePositions.isEmpty()) {
            painter.setTransform(page);
            PaintPrintShopMarks(painter, aSettings, pagePositions);
        }
        pagePositions.clear();
    };
    result.Pages = 1;
    if (aSettings.Outlines)
        DrawOutlines(painter, page, aSettings, 0);
    for (const TPlacement& placement : placements) {
        if (placement.Page + 1 > result.Pages) {
            finishPage();
            if (!aDevice.newPage()) {
                result.Error = {TPrintError::TKind::CannotStartPage, {}, placement.Page + 1, {}, {}};
                break;
            }
            result.Pages = placement.Page + 1;
            if (aSettings.Outlines)
                DrawOutlines(painter, page, aSettings, placement.Page);
        }
        painter.setTransform(aRenderer.SquareTransform(aSettings.Layout.Square(placement.Position)) * page);
        aRenderer.Paint(painter, aJobs[placement.Job].Document);
        pagePositions << placement.Position;
        ++result.Labels;
        const TRenderReport& report = aRenderer.Report();
        for (const TPrintWarning& warning : {TPrintWarning{placement.Job, false, report.BackgroundFile, report.Background},
                                             TPrintWarning{placement.Job, true, report.MiddleFile, report.Middle}})
            if (!warning.Problem.IsNone() && !result.Warnings.contains(warning))
                result.Warnings << warning;
        if (aProgress && !aProgress(result.Labels, int(placements.size()))) {
            result.Cancelled = true;
            break;
        }
    }
    finishPage();
    painter.end();
    return result;
}

}  // namespace

TPrintResult PrintCalibrationPage(QPagedPaintDevice& aDevice, const TPrintSettings& aSettings)
{
    TPrintResult result;
    // The start position plays no part on this page.
    TPrintSettings settings = aSettings;
    settings.Start = 1;
    // Nor do the print shop's values.
    settings.Shop = {};
    result.Problem = CheckSettings(settings);
    if (!result.Problem.IsNone())
        return result;

    QPainter painter;
    result.Error = BeginPages(painter, aDevice, settings);
    if (!result.Error.IsNone())
        return result;
    result.Pages = 1;
    const TSheetLayout& layout = aSettings.Layout;
    painter.setTransform(PageTransform(aDevice, settings));
    painter.setRenderHint(QPainter::Antialiasing);

    // The die-cuts (or the printed circles on plain paper) the crosses belong in.
    const double cut = layout.DieCutDiameter > 0 ? layout.DieCutDiameter : layout.Diameter;
    painter.setPen(QPen(QColor(120, 120, 120), 0.2));
    for (int position = 1; position <= layout.Positions(); ++position)
        painter.drawEllipse(layout.Centre(position), cut / 2, cut / 2);

    painter.setPen(QPen(Qt::black, 0.2, Qt::SolidLine, Qt::FlatCap));
    const double arm = std::min(5.0, layout.Diameter / 4);
    for (int position = 1; position <= layout.Positions(); ++position) {
        const QPointF centre = layout.Centre(position);
        painter.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
        painter.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
        DrawText(painter, centre + QPointF(1, -1), 2.5, QString::number(position));
    }

    // The rulers keep away from the edge a printer may not reach.
    const QSizeF paper = layout.PaperSize();
    const int margin = layout.Paper == TPaper::Label ? 5 : 10;
    const auto rulerEnd = [margin](double aSide) {
        return margin + int(std::min(100.0, std::floor((aSide - 2 * margin) / 10) * 10));
    };
    painter.setPen(QPen(Qt::black, 0.15, Qt::SolidLine, Qt::FlatCap));
    if (const int end = rulerEnd(paper.width()); end - margin >= 10)
        DrawRuler(painter, margin, end, margin, true);
    if (const int end = rulerEnd(paper.height()); end - margin >= 10)
        DrawRuler(painter, margin, end, margin, false);

    if (layout.Paper != TPaper::Label) {
        const TCalibration& c = aSettings.Calibration;
        const QString values = QStringLiteral("Kalibratiepagina: verschuiving x %1 mm, y %2 mm; schaal x %3 %, y %4 %")
                                   .arg(Number(c.OffsetX), Number(c.OffsetY), Number(c.ScaleX), Number(c.ScaleY));
        DrawText(painter, QPointF(margin, paper.height() - margin + 2), 3, values);
        const QString steps = QStringLiteral(
            "Zo meet u uw printer na\n"
            "1. Druk deze pagina af op gewoon papier en leg hem tegen het licht op een vel labels, of druk hem af "
            "op een echt vel.\n"
            "2. Elk kruis hoort precies in het midden van zijn cirkel (het label) te staan. Meet hoeveel mm het "
            "ernaast staat.\n"
            "3. Vul dat in bij Verschuiving: staat het kruis te ver naar rechts, dan x min dat aantal mm; te ver "
            "naar links: plus. Te laag: y min; te hoog: y plus.\n"
            "4. Meet op de linialen van 10 tot 110: de afstand hoort 100 mm te zijn. Is hij anders, vul dan bij "
            "Schaal in: de schaal nu × 100 / de gemeten mm.\n"
            "5. Druk de pagina opnieuw af tot elk kruis in het midden staat.");
        const double left = margin + 18;
        const double width = paper.width() - left - margin;
        const std::pair<double, double> band = FreeBand(layout, margin + 12, paper.height() - margin - 4, arm + 3);
        DrawParagraph(painter, QPointF(left, band.first + 1), width, 2.6, steps);
    }
    painter.end();
    return result;
}

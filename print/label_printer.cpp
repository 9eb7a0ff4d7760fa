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
TPrintError PreparePaper(QPagedPaintDevice& aDevice, const TSheetLayout& aLayout)
{
    QPageLayout page(aLayout.PageSize(), QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter);
    page.setMode(QPageLayout::FullPageMode);
    if (!aDevice.setPageLayout(page))
        return {TPrintError::TKind::PaperRefused, aLayout.PaperSize(), 0, {}};
    return {};
}

// Page millimetres (from the paper's top-left corner) to the device
// coordinates of a painter on aDevice, the calibration last.
QTransform PageTransform(const QPagedPaintDevice& aDevice, const TSheetLayout& aLayout,
                         const TCalibration& aCalibration)
{
    const QPageLayout page = aDevice.pageLayout();
    const QRectF paint = page.paintRect(QPageLayout::Millimeter);
    const QTransform toDevice = QTransform::fromTranslate(-paint.left(), -paint.top())
                                * QTransform::fromScale(aDevice.logicalDpiX() / MillimetresPerInch,
                                                        aDevice.logicalDpiY() / MillimetresPerInch);
    // Qt keeps page sizes in whole points: a page of one label is up to half
    // a point larger or smaller than D, and the label sits in its middle.
    QTransform centre;
    if (aLayout.Paper == TPaper::Label) {
        const QSizeF paper = page.fullRect(QPageLayout::Millimeter).size();
        const QSizeF nominal = aLayout.PaperSize();
        centre.translate((paper.width() - nominal.width()) / 2, (paper.height() - nominal.height()) / 2);
    }
    return centre * aCalibration.Transform() * toDevice;
}

// Starts painting on aDevice with its paper set; no error on success.
TPrintError BeginPages(QPainter& aPainter, QPagedPaintDevice& aDevice, const TSheetLayout& aLayout)
{
    const TPrintError paper = PreparePaper(aDevice, aLayout);
    if (!paper.IsNone())
        return paper;
    if (!aPainter.begin(&aDevice))
        return {TPrintError::TKind::CannotStart, {}, 0, {}};
    return {};
}

QString Number(double aValue)
{
    return QLocale(QLocale::Dutch).toString(aValue, 'f', 1);
}

// Text in mm: a font of aHeight mm whose baseline starts at aAt.
void DrawText(QPainter& aPainter, const QPointF& aAt, double aHeight, const QString& aText)
{
    // Fonts have whole pixel sizes: draw at ten times the size, scaled down.
    constexpr double Oversize = 10;
    aPainter.save();
    aPainter.translate(aAt);
    aPainter.scale(1 / Oversize, 1 / Oversize);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, int(std::lround(aHeight * Oversize))));
    aPainter.setFont(font);
    aPainter.drawText(QPointF(0, 0), aText);
    aPainter.restore();
}

// A ruler of aLength mm from aOrigin along x (aHorizontal) or y, its ticks
// on the side away from the paper's edge, numbered every 10 mm; the last
// number says "mm" when aRoom (mm beyond the ruler's end) holds it.
void DrawRuler(QPainter& aPainter, const QPointF& aOrigin, int aLength, bool aHorizontal, double aRoom)
{
    const auto at = [&](double aAlong, double aAcross) {
        return aHorizontal ? aOrigin + QPointF(aAlong, aAcross) : aOrigin + QPointF(aAcross, aAlong);
    };
    aPainter.drawLine(at(0, 0), at(aLength, 0));
    for (int mm = 0; mm <= aLength; ++mm) {
        const double tick = mm % 10 == 0 ? 4 : mm % 5 == 0 ? 2.5 : 1.5;
        aPainter.drawLine(at(mm, 0), at(mm, tick));
        if (mm % 10 == 0 && mm > 0) {
            const bool unit = mm == aLength && aRoom >= 10;
            const QString label = unit ? QStringLiteral("%1 mm").arg(mm) : QString::number(mm);
            DrawText(aPainter, aHorizontal ? at(mm + 0.5, 6.5) : at(mm - 0.5, 4.8), 2.2, label);
        }
    }
}

}  // namespace

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
    }
    return {};
}

QString PrintWarningText(const TPrintWarning& aWarning)
{
    return (aWarning.Middle ? QStringLiteral("middle picture \"%1\": %2") : QStringLiteral("background photo \"%1\": %2"))
        .arg(aWarning.File, aWarning.Problem.Reason());
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
    result.Error = BeginPages(painter, aDevice, aSettings.Layout);
    if (!result.Error.IsNone())
        return result;
    const QTransform page = PageTransform(aDevice, aSettings.Layout, aSettings.Calibration);
    result.Pages = 1;
    for (const TPlacement& placement : placements) {
        if (placement.Page + 1 > result.Pages) {
            if (!aDevice.newPage()) {
                result.Error = {TPrintError::TKind::CannotStartPage, {}, placement.Page + 1, {}};
                break;
            }
            result.Pages = placement.Page + 1;
        }
        painter.setTransform(aRenderer.SquareTransform(aSettings.Layout.Square(placement.Position)) * page);
        aRenderer.Paint(painter, aJobs[placement.Job].Document);
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
    painter.end();
    return result;
}

TPrintResult PrintCalibrationPage(QPagedPaintDevice& aDevice, const TPrintSettings& aSettings)
{
    TPrintResult result;
    // The start position plays no part on this page.
    TPrintSettings settings = aSettings;
    settings.Start = 1;
    result.Problem = CheckSettings(settings);
    if (!result.Problem.IsNone())
        return result;

    QPainter painter;
    result.Error = BeginPages(painter, aDevice, aSettings.Layout);
    if (!result.Error.IsNone())
        return result;
    result.Pages = 1;
    const TSheetLayout& layout = aSettings.Layout;
    painter.setTransform(PageTransform(aDevice, layout, aSettings.Calibration));
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setPen(QPen(Qt::black, 0.2, Qt::SolidLine, Qt::FlatCap));
    const double arm = std::min(5.0, layout.Diameter / 4);
    for (int position = 1; position <= layout.Positions(); ++position) {
        const QPointF centre = layout.Centre(position);
        painter.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
        painter.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
        DrawText(painter, centre + QPointF(1, -1), 2.5, QString::number(position));
    }

    // The rulers start at one corner, away from the edge a printer may not reach.
    const QSizeF paper = layout.PaperSize();
    const double margin = layout.Paper == TPaper::Label ? 5 : 10;
    const auto rulerLength = [margin](double aSide) {
        return int(std::min(100.0, std::floor((aSide - 2 * margin) / 10) * 10));
    };
    painter.setPen(QPen(Qt::black, 0.15, Qt::SolidLine, Qt::FlatCap));
    const QPointF origin(margin, margin);
    if (const int length = rulerLength(paper.width()); length >= 10)
        DrawRuler(painter, origin, length, true, paper.width() - margin - length);
    if (const int length = rulerLength(paper.height()); length >= 10)
        DrawRuler(painter, origin, length, false, paper.width() - margin);

    if (layout.Paper != TPaper::Label) {
        const TCalibration& c = aSettings.Calibration;
        const QString text = QStringLiteral("Kalibratiepagina: verschuiving x %1 mm, y %2 mm; schaal x %3 %, y %4 %")
                                 .arg(Number(c.OffsetX), Number(c.OffsetY), Number(c.ScaleX), Number(c.ScaleY));
        DrawText(painter, QPointF(margin, paper.height() - margin + 2), 3, text);
    }
    painter.end();
    return result;
}

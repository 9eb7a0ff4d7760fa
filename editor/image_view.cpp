#include "editor/image_view.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

QImage ScaleForDisplay(const QImage& aRaster, const QSize& aTarget, qreal aDpr)
{
    const int side = std::min(aTarget.width(), aTarget.height());
    if (aRaster.isNull() || side <= 0 || aDpr <= 0)
        return {};
    const int devicePixels = std::max(1, int(std::lround(side * aDpr)));
    QImage scaled = aRaster.scaled(devicePixels, devicePixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(aDpr);
    return scaled;
}

TImageView::TImageView(QWidget* aParent) : QWidget(aParent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TImageView::SetRaster(const QImage* aRaster)
{
    FRaster = aRaster;
    if (!FRaster) {
        FHasPicture = false;
        FShown = QImage();
        update();
    }
}

void TImageView::RasterChanged()
{
    FHasPicture = FRaster != nullptr;
    Rescale();
}

void TImageView::Rescale()
{
    if (!FHasPicture || !FRaster)
        return;
    FShown = ScaleForDisplay(*FRaster, size(), devicePixelRatioF());
    update();
}

void TImageView::paintEvent(QPaintEvent*)
{
    // Moved to a screen of another pixel ratio: scale again for it.
    if (!FShown.isNull() && !qFuzzyCompare(FShown.devicePixelRatio(), devicePixelRatioF()))
        FShown = ScaleForDisplay(*FRaster, size(), devicePixelRatioF());
    if (FShown.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), FShown);
}

void TImageView::resizeEvent(QResizeEvent* aEvent)
{
    QWidget::resizeEvent(aEvent);
    Rescale();
}

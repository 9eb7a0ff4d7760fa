#pragma once

#include <QImage>
#include <QWidget>

// The largest square that fits aTarget (logical pixels), as a smoothly
// scaled copy of aRaster for a screen of device pixel ratio aDpr. A null
// image when either side is empty.
QImage ScaleForDisplay(const QImage& aRaster, const QSize& aTarget, qreal aDpr);

// Shows the label raster scaled proportionally to fit, anchored top-left.
//
// The raster belongs to the renderer; the view keeps a pointer to it, not a
// copy: a shared copy held here would make the next render pass detach and
// copy the whole raster. It scales once per change and per resize instead.
class TImageView : public QWidget
{
    Q_OBJECT

public:
    explicit TImageView(QWidget* aParent = nullptr);

    // The raster to show; it must outlive the view or be reset to nullptr.
    void SetRaster(const QImage* aRaster);
    // The raster was redrawn (or replaced): show it.
    void RasterChanged();

    // What is on screen; null until the first RasterChanged().
    const QImage& Shown() const { return FShown; }

protected:
    void paintEvent(QPaintEvent* aEvent) override;
    void resizeEvent(QResizeEvent* aEvent) override;

private:
    void Rescale();

    const QImage* FRaster = nullptr;
    bool FHasPicture = false;
    QImage FShown;
};

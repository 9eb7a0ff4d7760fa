#include "editor/image_view.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// For each target pixel of one axis, the first of the source pixels its area
// covers and their shares of it in 256ths, which add up to 256. Taps per
// pixel are fixed for the axis; those past the area weigh nothing.
struct TAreaWeights
{
    int Taps = 0;
    std::vector<int> First;
    std::vector<uint16_t> Weights;  // Taps per target pixel
};

TAreaWeights AreaWeights(int aSource, int aTarget)
{
    TAreaWeights axis;
    const double step = double(aSource) / aTarget;
    // An area of length step starting anywhere touches at most this many pixels.
    axis.Taps = int(std::ceil(step)) + 1;
    axis.First.resize(aTarget);
    axis.Weights.assign(std::size_t(aTarget) * axis.Taps, 0);
    for (int i = 0; i < aTarget; ++i) {
        const double from = i * step;
        const double to = std::min<double>(aSource, (i + 1) * step);
        const int first = std::min(aSource - 1, int(std::floor(from)));
        const int last = std::clamp(int(std::ceil(to)), first + 1, std::min(aSource, first + axis.Taps));
        axis.First[i] = first;
        // Rounded running sums, so the shares add up to exactly 256.
        int before = 0;
        for (int k = first; k < last; ++k) {
            const int upTo = k + 1 == last ? 256 : int(std::lround(256 * (std::min<double>(k + 1, to) - from) / step));
            axis.Weights[std::size_t(i) * axis.Taps + (k - first)] = uint16_t(upTo - before);
            before = upTo;
        }
    }
    return axis;
}

// One target row from Taps source rows, channel by channel, into 16-bit
// lanes (a sum of at most 128 + 256 * 255, shifted back to 0..255), four
// lanes to a pixel: the layout the horizontal pass multiplies whole. Blocks
// of 16 bytes with the taps unrolled, for the vectoriser: a few instructions
// a block.
template <int Taps>
void BlendRows(const uchar* const* aRows, const uint16_t* aWeights, int aBytes, uint16_t* __restrict aLanes)
{
    static_assert(Taps >= 2 && Taps <= 4);
    const uchar* __restrict r0 = aRows[0];
    const uchar* __restrict r1 = aRows[1];
    const uchar* __restrict r2 = aRows[Taps > 2 ? 2 : 1];
    const uchar* __restrict r3 = aRows[Taps > 3 ? 3 : 1];
    const uint16_t w0 = aWeights[0], w1 = aWeights[1];
    const uint16_t w2 = Taps > 2 ? aWeights[2] : 0, w3 = Taps > 3 ? aWeights[3] : 0;
    const auto lane = [=](int i) {
        if constexpr (Taps == 2)
            return uint16_t(uint16_t(128 + w0 * r0[i] + w1 * r1[i]) >> 8);
        else if constexpr (Taps == 3)
            return uint16_t(uint16_t(128 + w0 * r0[i] + w1 * r1[i] + w2 * r2[i]) >> 8);
        else
            return uint16_t(uint16_t(128 + w0 * r0[i] + w1 * r1[i] + w2 * r2[i] + w3 * r3[i]) >> 8);
    };
    int b = 0;
    for (; b + 16 <= aBytes; b += 16)
        for (int i = b; i < b + 16; ++i)
            aLanes[i] = lane(i);
    for (; b < aBytes; ++b)
        aLanes[b] = lane(b);
}

void BlendRows(int aTaps, const uchar* const* aRows, const uint16_t* aWeights, int aBytes, uint16_t* aLanes)
{
    switch (aTaps) {
    case 2:
        return BlendRows<2>(aRows, aWeights, aBytes, aLanes);
    case 3:
        return BlendRows<3>(aRows, aWeights, aBytes, aLanes);
    case 4:
        return BlendRows<4>(aRows, aWeights, aBytes, aLanes);
    default:
        for (int b = 0; b < aBytes; ++b) {
            uint32_t sum = 128;
            for (int k = 0; k < aTaps; ++k)
                sum += uint32_t(aWeights[k]) * aRows[k][b];
            aLanes[b] = uint16_t(sum >> 8);
        }
    }
}

// Four 16-bit lanes holding 0..255 each back to a 32-bit pixel.
inline uint32_t Pack(uint64_t aLanes)
{
    const uint64_t pairs = aLanes | (aLanes >> 8);
    return uint32_t(pairs & 0xffffu) | uint32_t((pairs >> 16) & 0xffff0000u);
}

// One target row from the blended lanes; one multiply weighs the four
// channels of a pixel (256 * 255 fits a lane).
template <int Taps>
void ReduceRow(const uint64_t* aLanes, const TAreaWeights& aColumns, int aWidth, uint32_t* aOut)
{
    const int taps = Taps > 0 ? Taps : aColumns.Taps;
    for (int x = 0; x < aWidth; ++x) {
        const uint64_t* in = aLanes + aColumns.First[x];
        const uint16_t* w = aColumns.Weights.data() + std::size_t(x) * taps;
        uint64_t sum = 0x0080008000800080ull;
        if constexpr (Taps == 2) {
            sum += in[0] * w[0] + in[1] * w[1];
        } else if constexpr (Taps == 3) {
            sum += in[0] * w[0] + in[1] * w[1] + in[2] * w[2];
        } else if constexpr (Taps == 4) {
            sum += in[0] * w[0] + in[1] * w[1] + in[2] * w[2] + in[3] * w[3];
        } else {
            for (int k = 0; k < taps; ++k)
                sum += in[k] * w[k];
        }
        aOut[x] = Pack((sum >> 8) & 0x00ff00ff00ff00ffull);
    }
}

// Area averaging, as Qt's smooth scaling does, in two passes of a few taps
// each, where Qt weighs every source pixel of a target pixel's area on its
// own: some 3 ms for the 14 cm label on the window, on one core.
QImage ReduceByArea(const QImage& aImage, int aWidth, int aHeight)
{
    QImage result(aWidth, aHeight, aImage.format());
    if (result.isNull())
        return {};
    const TAreaWeights columns = AreaWeights(aImage.width(), aWidth);
    const TAreaWeights rows = AreaWeights(aImage.height(), aHeight);
    const int bytes = aImage.width() * 4;
    // Taps past the last row read a row of zeros, taps past the last column
    // zero lanes; both weigh nothing.
    const std::vector<uchar> zeroRow(bytes, 0);
    std::vector<const uchar*> sourceRows(rows.Taps);
    std::vector<uint64_t> lanes(std::size_t(aImage.width()) + columns.Taps, 0);
    for (int y = 0; y < aHeight; ++y) {
        for (int k = 0; k < rows.Taps; ++k) {
            const int row = rows.First[y] + k;
            sourceRows[k] = row < aImage.height() ? aImage.constScanLine(row) : zeroRow.data();
        }
        BlendRows(rows.Taps, sourceRows.data(), rows.Weights.data() + std::size_t(y) * rows.Taps, bytes,
                  reinterpret_cast<uint16_t*>(lanes.data()));
        auto* out = reinterpret_cast<uint32_t*>(result.scanLine(y));
        switch (columns.Taps) {
        case 2:
            ReduceRow<2>(lanes.data(), columns, aWidth, out);
            break;
        case 3:
            ReduceRow<3>(lanes.data(), columns, aWidth, out);
            break;
        case 4:
            ReduceRow<4>(lanes.data(), columns, aWidth, out);
            break;
        default:
            ReduceRow<0>(lanes.data(), columns, aWidth, out);
        }
    }
    return result;
}

}  // namespace

QImage ScaleForDisplay(const QImage& aRaster, const QSize& aTarget, qreal aDpr)
{
    const int side = std::min(aTarget.width(), aTarget.height());
    if (aRaster.isNull() || side <= 0 || aDpr <= 0)
        return {};
    const int devicePixels = std::max(1, int(std::lround(side * aDpr)));
    // Averaging premultiplied or opaque pixels channel by channel is right;
    // other formats and enlargements take Qt's scaler.
    const bool reducible = (aRaster.format() == QImage::Format_RGB32
                            || aRaster.format() == QImage::Format_ARGB32_Premultiplied)
                           && devicePixels <= aRaster.width() && devicePixels <= aRaster.height();
    QImage scaled = reducible ? ReduceByArea(aRaster, devicePixels, devicePixels)
                              : aRaster.scaled(devicePixels, devicePixels, Qt::IgnoreAspectRatio,
                                               Qt::SmoothTransformation);
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

#include "render/color_matrix.h"

#include <QRgb>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The colour matrix as lookup tables: each output channel is a sum of one
// table entry per input channel plus a constant, in 12-bit fixed point on the
// 0..255 scale; exact to well under a level.
struct ColorTables
{
    static constexpr int Shift = 12;
    int32_t Table[4][4][256];  // [input channel][output channel][value]
    int32_t Constant[4];
    int32_t OpaqueConstant[4];  // with the alpha row at 255 and the rounding folded in

    explicit ColorTables(const float aMatrix[5][5])
    {
        for (int in = 0; in < 4; ++in)
            for (int out = 0; out < 4; ++out)
                for (int value = 0; value < 256; ++value)
                    Table[in][out][value] = int32_t(std::lround(double(aMatrix[in][out]) * value * (1 << Shift)));
        for (int out = 0; out < 4; ++out) {
            Constant[out] = int32_t(std::lround(double(aMatrix[4][out]) * 255 * (1 << Shift)));
            OpaqueConstant[out] = Constant[out] + Table[3][out][255] + (1 << (Shift - 1));
        }
    }

    int OpaqueChannel(int aOut, int aR, int aG, int aB) const
    {
        const int32_t sum = Table[0][aOut][aR] + Table[1][aOut][aG] + Table[2][aOut][aB] + OpaqueConstant[aOut];
        return std::clamp(sum >> Shift, 0, 255);
    }

    int Channel(int aOut, int aR, int aG, int aB, int aA) const
    {
        const int32_t sum = Table[0][aOut][aR] + Table[1][aOut][aG] + Table[2][aOut][aB] + Table[3][aOut][aA]
                            + Constant[aOut] + (1 << (Shift - 1));
        return std::clamp(sum >> Shift, 0, 255);
    }
};

// One table of ColorTables as arithmetic, so that a loop over pixels needs no
// lookups and vectorises: entry(v) = ±((Magnitude * v + Bias) >> Shift).
struct ExactTerm
{
    uint32_t Magnitude = 0;
    uint32_t Bias = 0;
    uint32_t Shift = 0;
    int32_t Sign = 0;  // 0 or -1: the entry is (value ^ Sign) - Sign

    int32_t operator()(uint32_t aValue) const
    {
        return int32_t(((Magnitude * aValue + Bias) >> Shift) ^ uint32_t(Sign)) - Sign;
    }
};

// The terms for a coefficient aFactor whose table is aTable: the table holds
// round(aFactor * v * 4096), half away from zero, and aFactor, a float, is a
// 24-bit integer times a power of two, so the product is that integer times
// v, shifted with rounding. False when that does not fit 32 bits; every
// entry is checked against the table.
bool MakeExactTerm(float aFactor, const int32_t aTable[256], ExactTerm& aTerm)
{
    aTerm = ExactTerm();
    if (aFactor != 0) {
        int exponent = 0;
        const double fraction = std::frexp(std::abs(double(aFactor)), &exponent);
        uint64_t magnitude = uint64_t(std::ldexp(fraction, 24));
        int shift = 24 - exponent - ColorTables::Shift;
        while (shift > 0 && (magnitude & 1) == 0) {
            magnitude >>= 1;
            --shift;
        }
        if (shift < 0) {
            if (shift < -8)
                return false;
            magnitude <<= -shift;
            shift = 0;
        }
        if (shift > 31)
            return false;
        const uint64_t bias = shift > 0 ? uint64_t(1) << (shift - 1) : 0;
        if (magnitude * 255 + bias >= (uint64_t(1) << 32))
            return false;
        aTerm.Magnitude = uint32_t(magnitude);
        aTerm.Bias = uint32_t(bias);
        aTerm.Shift = uint32_t(shift);
        aTerm.Sign = aFactor < 0 ? -1 : 0;
    }
    for (uint32_t value = 0; value < 256; ++value)
        if (aTerm(value) != aTable[value])
            return false;
    return true;
}

// The colour matrix of an opaque source whose alpha output ignores the
// colours: one alpha for every pixel.
struct OpaqueMatrix
{
    ExactTerm Terms[3][3];  // [input channel][output channel]
    int32_t Constant[3];
    uint32_t Alpha;
};

// The premultiplication of Qt's qPremultiply, channel by channel, then the
// white below showing through 255 - alpha: what drawing the premultiplied
// pixel over white gives.
inline uint32_t OverWhite(uint32_t aChannel, uint32_t aAlpha)
{
    uint32_t t = aChannel * aAlpha;
    t = (t + (t >> 8) + 0x80) >> 8;
    return t + 255 - aAlpha;
}

inline uint32_t OpaquePixel(uint32_t aPixel, const OpaqueMatrix& aMatrix)
{
    const uint32_t r = (aPixel >> 16) & 0xff;
    const uint32_t g = (aPixel >> 8) & 0xff;
    const uint32_t b = aPixel & 0xff;
    uint32_t result = 0xff000000u;
    for (int out = 0; out < 3; ++out) {
        const int32_t sum = aMatrix.Terms[0][out](r) + aMatrix.Terms[1][out](g) + aMatrix.Terms[2][out](b)
                            + aMatrix.Constant[out];
        const uint32_t channel = uint32_t(std::clamp(sum >> ColorTables::Shift, 0, 255));
        result |= OverWhite(channel, aMatrix.Alpha) << (16 - 8 * out);
    }
    return result;
}

// Written for the vectoriser: blocks of eight pixels with no lookups or
// branches become a few vector instructions each, where the table loop
// costs nine dependent loads per pixel. Built for AVX2 as well where the
// compiler can dispatch on the processor. Not under AddressSanitizer or
// ThreadSanitizer: the clones' resolver runs before the sanitizer's own
// start-up and crashes the program.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__) \
    && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("avx2", "default")))
#endif
void OpaqueRow(const uint32_t* __restrict aSource, uint32_t* __restrict aTarget, int aCount,
               const OpaqueMatrix& aMatrix)
{
    const OpaqueMatrix matrix = aMatrix;
    int x = 0;
    for (; x + 8 <= aCount; x += 8)
        for (int k = 0; k < 8; ++k)
            aTarget[x + k] = OpaquePixel(aSource[x + k], matrix);
    for (; x < aCount; ++x)
        aTarget[x] = OpaquePixel(aSource[x], matrix);
}

// Any source and matrix, pixel by pixel through the tables.
void GeneralRow(const QRgb* aSource, QRgb* aTarget, int aCount, bool aSourceOpaque, const ColorTables& aTables)
{
    for (int x = 0; x < aCount; ++x) {
        const QRgb pixel = aSourceOpaque ? aSource[x] : qUnpremultiply(aSource[x]);
        const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel), a = qAlpha(pixel);
        const QRgb premultiplied = qPremultiply(qRgba(aTables.Channel(0, r, g, b, a), aTables.Channel(1, r, g, b, a),
                                                      aTables.Channel(2, r, g, b, a), aTables.Channel(3, r, g, b, a)));
        const uint32_t white = 255 - uint32_t(qAlpha(premultiplied));
        aTarget[x] = qRgb(int(qRed(premultiplied) + white), int(qGreen(premultiplied) + white),
                          int(qBlue(premultiplied) + white));
    }
}

}  // namespace

void ApplyColorMatrixOverWhite(const QImage& aSource, QPoint aOffset, const float aMatrix[5][5],
                               const QList<TRowSpan>& aRows, QImage& aTarget)
{
    aTarget.fill(Qt::white);
    if (aSource.isNull())
        return;
    const QImage source = aSource.format() == QImage::Format_RGB32 || aSource.format() == QImage::Format_ARGB32_Premultiplied
                              ? aSource
                              : aSource.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const bool sourceOpaque = !source.hasAlphaChannel();
    const ColorTables tables(aMatrix);

    OpaqueMatrix opaque{};
    bool exact = sourceOpaque && aMatrix[0][3] == 0 && aMatrix[1][3] == 0 && aMatrix[2][3] == 0;
    for (int in = 0; in < 3 && exact; ++in)
        for (int out = 0; out < 3 && exact; ++out)
            exact = MakeExactTerm(aMatrix[in][out], tables.Table[in][out], opaque.Terms[in][out]);
    for (int out = 0; out < 3; ++out)
        opaque.Constant[out] = tables.OpaqueConstant[out];
    opaque.Alpha = uint32_t(tables.Channel(3, 0, 0, 0, 255));

    // Pixel (x, y) of the target shows (x + dx, y + dy) of the source.
    const qint64 dx = aOffset.x();
    const qint64 dy = aOffset.y();
    const int rows = std::min<qsizetype>(aRows.size(), aTarget.height());
    for (int y = 0; y < rows; ++y) {
        const qint64 sourceY = y + dy;
        if (sourceY < 0 || sourceY >= source.height())
            continue;
        const qint64 from = std::max<qint64>({aRows[y].first, -dx, 0});
        const qint64 to = std::min<qint64>({aRows[y].second, source.width() - dx, aTarget.width()});
        if (from >= to)
            continue;
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(int(sourceY))) + (from + dx);
        auto* out = reinterpret_cast<QRgb*>(aTarget.scanLine(y)) + from;
        if (exact)
            OpaqueRow(in, out, int(to - from), opaque);
        else
            GeneralRow(in, out, int(to - from), sourceOpaque, tables);
    }
}

// Separable area-average and linear scaling of a 24-bit picture into display rows, compiled for
// every instruction set the build supports.
#include "view/smooth_scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "view/smooth_scale.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

constexpr uint32_t kHalfUnit = kScaleUnit / 2;

// One output row from the picture rows it covers, byte by byte: out = sum weight x byte.
void BlendRows(const uint8_t* const* rows, const uint32_t* weights, size_t weightStep,
               int32_t count, size_t bytes, uint8_t* HWY_RESTRICT out) {
    const hn::ScalableTag<uint16_t> d16;
    const hn::Rebind<uint8_t, decltype(d16)> d8;
    const hn::RebindToSigned<decltype(d16)> di16;
    const size_t lanes = hn::Lanes(d16);
    const auto half = hn::Set(d16, kHalfUnit);
    size_t b = 0;
    for (; b + lanes <= bytes; b += lanes) {
        auto sum = half;
        for (int32_t k = 0; k < count; ++k) {
            const auto w = hn::Set(d16, static_cast<uint16_t>(weights[size_t(k) * weightStep]));
            sum = hn::Add(sum, hn::Mul(hn::PromoteTo(d16, hn::LoadU(d8, rows[k] + b)), w));
        }
        // At most 255 after the shift: signed 16-bit lanes narrow to bytes unchanged.
        const auto narrow = hn::BitCast(di16, hn::ShiftRight<kScaleUnitBits>(sum));
        hn::StoreU(hn::DemoteTo(d8, narrow), d8, out + b);
    }
    for (; b < bytes; ++b) {
        uint32_t sum = kHalfUnit;
        for (int32_t k = 0; k < count; ++k) sum += weights[size_t(k) * weightStep] * rows[k][b];
        out[b] = static_cast<uint8_t>(sum >> kScaleUnitBits);
    }
}

// The output pixels of one row from the blended row: each pixel's taps gathered four bytes at
// a time (blue, green, red and the next byte, which is masked off).
void BlendColumns(const uint8_t* row, const ScaleTaps& taps, uint32_t* HWY_RESTRICT out) {
    const hn::ScalableTag<uint32_t> d32;
    const hn::RebindToSigned<decltype(d32)> di32;
    const size_t lanes = hn::Lanes(d32);
    const size_t size = static_cast<size_t>(taps.size);
    const auto byteMask = hn::Set(d32, 0xffu);
    const auto half = hn::Set(d32, kHalfUnit);
    const auto opaque = hn::Set(d32, 0xff000000u);
    const uint32_t* words = reinterpret_cast<const uint32_t*>(row);
    size_t x = 0;
    for (; x + lanes <= size; x += lanes) {
        auto blue = half;
        auto green = half;
        auto red = half;
        for (int32_t k = 0; k < taps.most; ++k) {
            const size_t at = size_t(k) * size + x;
            const auto pixel = hn::GatherOffset(d32, words, hn::LoadU(di32, &taps.byteOffsets[at]));
            const auto w = hn::LoadU(d32, &taps.weights[at]);
            blue = hn::Add(blue, hn::Mul(hn::And(pixel, byteMask), w));
            green = hn::Add(green, hn::Mul(hn::And(hn::ShiftRight<8>(pixel), byteMask), w));
            red = hn::Add(red, hn::Mul(hn::And(hn::ShiftRight<16>(pixel), byteMask), w));
        }
        const auto rgb = hn::Or(hn::ShiftLeft<16>(hn::ShiftRight<kScaleUnitBits>(red)),
                                hn::Or(hn::ShiftLeft<8>(hn::ShiftRight<kScaleUnitBits>(green)),
                                       hn::ShiftRight<kScaleUnitBits>(blue)));
        hn::StoreU(hn::Or(rgb, opaque), d32, out + x);
    }
    for (; x < size; ++x) {
        uint32_t blue = kHalfUnit;
        uint32_t green = kHalfUnit;
        uint32_t red = kHalfUnit;
        for (int32_t k = 0; k < taps.most; ++k) {
            const size_t at = size_t(k) * size + x;
            const uint8_t* p = row + taps.byteOffsets[at];
            blue += taps.weights[at] * p[0];
            green += taps.weights[at] * p[1];
            red += taps.weights[at] * p[2];
        }
        out[x] = 0xff000000u | (red >> kScaleUnitBits) << 16 | (green >> kScaleUnitBits) << 8 |
                 (blue >> kScaleUnitBits);
    }
}

void ScaleImpl(const FrameBuffer& picture, bool bottomUp, const ScaleTaps& across,
               const ScaleTaps& down, uint8_t* row, uint32_t* out, size_t outStride) {
    const size_t rowBytes = 3 * static_cast<size_t>(picture.width);
    const uint8_t* rows[64];
    for (int32_t y = 0; y < down.size; ++y) {
        const int32_t count = std::min(down.count[size_t(y)], 64);
        for (int32_t k = 0; k < count; ++k) {
            const int32_t shown = down.first[size_t(y)] + k;
            const int32_t stored = bottomUp ? picture.height - 1 - shown : shown;
            rows[k] = picture.data + size_t{picture.stride} * static_cast<size_t>(stored);
        }
        BlendRows(rows, &down.weights[size_t(y)], static_cast<size_t>(down.size), count, rowBytes,
                  row);
        BlendColumns(row, across, out + outStride * static_cast<size_t>(y));
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {
namespace {

// Weights that add up to exactly kScaleUnit: the rounding left over goes to the largest.
void RoundWeights(std::vector<double>& exact, std::vector<uint32_t>& rounded) {
    rounded.clear();
    int32_t total = 0;
    size_t largest = 0;
    for (size_t k = 0; k < exact.size(); ++k) {
        rounded.push_back(static_cast<uint32_t>(std::lround(exact[k] * kScaleUnit)));
        total += static_cast<int32_t>(rounded.back());
        if (exact[k] > exact[largest]) largest = k;
    }
    rounded[largest] =
        static_cast<uint32_t>(static_cast<int32_t>(rounded[largest]) + kScaleUnit - total);
}

}  // namespace

HWY_EXPORT(ScaleImpl);

void MakeScaleTaps(int32_t source, int32_t size, ScaleTaps& taps) {
    if (taps.source == source && taps.size == size) return;
    const size_t n = static_cast<size_t>(size);
    taps.source = source;
    taps.size = size;
    taps.first.assign(n, 0);
    taps.count.assign(n, 0);
    std::vector<std::vector<uint32_t>> weights(n);
    const double step = double(source) / size;  // source pixels per output pixel
    std::vector<double> exact;
    taps.most = 1;
    for (size_t i = 0; i < n; ++i) {
        exact.clear();
        int32_t first = 0;
        if (size < source) {
            // Shrinking: the share of each source pixel in [i, i + 1) x step.
            const double begin = double(i) * step;
            const double end = std::min(double(i + 1) * step, double(source));
            first = static_cast<int32_t>(std::floor(begin));
            for (int32_t j = first; j < end; ++j) {
                exact.push_back((std::min(end, j + 1.0) - std::max(begin, double(j))) / step);
            }
        } else {
            // Enlarging: between the two source pixels around the output pixel's centre.
            const double centre = (double(i) + 0.5) * step - 0.5;
            const double below = std::floor(centre);
            first = std::clamp(static_cast<int32_t>(below), 0, source - 1);
            const int32_t second = std::clamp(static_cast<int32_t>(below) + 1, 0, source - 1);
            exact.push_back(second == first ? 1.0 : 1.0 - (centre - below));
            if (second != first) exact.push_back(centre - below);
        }
        taps.first[i] = first;
        taps.count[i] = static_cast<int32_t>(exact.size());
        taps.most = std::max(taps.most, taps.count[i]);
        RoundWeights(exact, weights[i]);
    }
    const size_t most = static_cast<size_t>(taps.most);
    taps.weights.assign(most * n, 0);
    taps.byteOffsets.assign(most * n, 0);
    for (size_t k = 0; k < most; ++k) {
        for (size_t i = 0; i < n; ++i) {
            const bool used = k < weights[i].size();
            const int32_t pixel = std::min(taps.first[i] + static_cast<int32_t>(k), source - 1);
            taps.weights[k * n + i] = used ? weights[i][k] : 0;
            taps.byteOffsets[k * n + i] = 3 * pixel;
        }
    }
}

void SmoothScaler::Scale(const FrameBuffer& picture, bool bottomUp, uint32_t* out, int32_t outWidth,
                         int32_t outHeight, size_t outStride) {
    if (!picture.data || picture.width <= 0 || picture.height <= 0 || outWidth <= 0 ||
        outHeight <= 0) {
        return;
    }
    MakeScaleTaps(picture.width, outWidth, across_);
    MakeScaleTaps(picture.height, outHeight, down_);
    // Spare bytes: a pixel is gathered as four bytes, and vectors may run one word past.
    row_.resize(3 * static_cast<size_t>(picture.width) + 4);
    HWY_DYNAMIC_DISPATCH(ScaleImpl)(picture, bottomUp, across_, down_, row_.data(), out, outStride);
}

}  // namespace kelpa
#endif  // HWY_ONCE

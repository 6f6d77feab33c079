// Vector forms of AddHistogram and SumGuide (chain_kernels.h). The histogram itself is counted
// one pixel at a time into four interleaved tables (consecutive equal levels would otherwise
// wait on each other's stores); the vector code prepares the levels and the row maxima.
#include <algorithm>
#include <cstring>

#include "processing/chain_kernels.h"
#include "processing/chain_kernels_detail.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "processing/kernels_measure.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

// Counts `count` levels into four tables.
HWY_INLINE void CountLevels(const uint8_t* levels, int32_t count, uint32_t (&tables)[4][256]) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        ++tables[0][levels[i]];
        ++tables[1][levels[i + 1]];
        ++tables[2][levels[i + 2]];
        ++tables[3][levels[i + 3]];
    }
    for (; i < count; ++i) ++tables[0][levels[i]];
}

// Counts levels two at a time into a table of level pairs (index: the two bytes as they lie in
// memory), so one increment serves two pixels; a run of eight equal levels is one addition.
// A sky spends most of its pixels on a few dozen levels, whose pairs stay in the first-level
// cache. `singles` takes runs and the odd tail.
HWY_INLINE void CountPairs(const uint8_t* levels, int32_t count, uint32_t* pairs,
                           uint32_t* singles) {
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t v;
        std::memcpy(&v, levels + i, sizeof v);
        if (v == (v & 0xFF) * 0x0101010101010101ull) {
            singles[v & 0xFF] += 8;
            continue;
        }
        ++pairs[v & 0xFFFF];
        ++pairs[(v >> 16) & 0xFFFF];
        ++pairs[(v >> 32) & 0xFFFF];
        ++pairs[v >> 48];
    }
    for (; i < count; ++i) ++singles[levels[i]];
}

void MergeTables(const uint32_t (&tables)[4][256], uint32_t* histogram) {
    for (int32_t b = 0; b < 256; ++b) {
        histogram[b] += tables[0][b] + tables[1][b] + tables[2][b] + tables[3][b];
    }
}

// Adds each pair's count to both of its levels and clears the table for the next use.
void FoldPairsImpl(uint32_t* pairs, uint32_t* histogram) {
    uint32_t columns[256] = {};
    for (int32_t hi = 0; hi < 256; ++hi) {
        uint32_t* row = pairs + 256 * hi;
        uint32_t rowSum = 0;
        for (int32_t lo = 0; lo < 256; ++lo) {
            columns[lo] += row[lo];
            rowSum += row[lo];
        }
        histogram[hi] += rowSum;
        std::memset(row, 0, 256 * sizeof(uint32_t));
    }
    for (int32_t lo = 0; lo < 256; ++lo) histogram[lo] += columns[lo];
}

#if HWY_TARGET == HWY_SCALAR

void HistogramImpl(const PixelView& view, const Rect& rect, uint32_t* histogram, uint16_t* rowMax,
                   uint32_t* /*pairs*/) {
    for (int32_t r = 0; r < rect.h; ++r) {
        const uint8_t* p = view.At(rect.x0, rect.y0 + r);
        uint32_t top = 0;
        for (int32_t x = 0; x < rect.w; ++x, p += view.bytesPerPixel) {
            ++histogram[detail::HistogramBin(view, p)];
            top = std::max(top, detail::ViewValue(view, p));
        }
        if (rowMax) rowMax[r] = static_cast<uint16_t>(top);
    }
}

GuideMoments GuideImpl(const PixelView& view, const Rect& rect, int32_t level,
                       const uint16_t* rowMax) {
    GuideMoments m;
    const int64_t threshold = view.colour ? 3 * int64_t{level} : level;
    for (int32_t r = 0; r < rect.h; ++r) {
        if (rowMax && rowMax[r] <= threshold) continue;
        const uint8_t* p = view.At(rect.x0, rect.y0 + r);
        for (int32_t c = 0; c < rect.w; ++c, p += view.bytesPerPixel) {
            const int64_t w = int64_t{detail::ViewValue(view, p)} - threshold;
            if (w <= 0) continue;
            m.sumW += w;
            m.sumX += w * c;
            m.sumY += w * r;
        }
    }
    return m;
}

#else

namespace hn = hwy::HWY_NAMESPACE;

using D8 = hn::ScalableTag<uint8_t>;
using D16 = hn::Repartition<uint16_t, D8>;
using D32 = hn::Repartition<uint32_t, D8>;
using DH8 = hn::Half<D8>;
using DH16 = hn::Half<D16>;
using V8 = hn::Vec<D8>;
using V16 = hn::Vec<D16>;
using V32 = hn::Vec<D32>;

// Pixels per chunk of levels prepared before counting.
constexpr int32_t kChunk = 1024;

// The values of n pixels in pixel order as two 16-bit halves (first byte, or B + G + R).
HWY_INLINE void LoadValues(const PixelView& view, const uint8_t* p, V16& lo, V16& hi) {
    const D8 d8;
    const D16 d16;
    const DH8 dh;
    if (view.bytesPerPixel == 1) {
        const V8 v = hn::LoadU(d8, p);
        lo = hn::PromoteTo(d16, hn::LowerHalf(dh, v));
        hi = hn::PromoteTo(d16, hn::UpperHalf(dh, v));
        return;
    }
    V8 b, g, r;
    hn::LoadInterleaved3(d8, p, b, g, r);
    lo = hn::PromoteTo(d16, hn::LowerHalf(dh, b));
    hi = hn::PromoteTo(d16, hn::UpperHalf(dh, b));
    if (view.colour) {
        lo = hn::Add(lo, hn::Add(hn::PromoteTo(d16, hn::LowerHalf(dh, g)),
                                 hn::PromoteTo(d16, hn::LowerHalf(dh, r))));
        hi = hn::Add(hi, hn::Add(hn::PromoteTo(d16, hn::UpperHalf(dh, g)),
                                 hn::PromoteTo(d16, hn::UpperHalf(dh, r))));
    }
}

// (s + 1) / 3 for sums up to 765: mulhi by 43691 and a shift by 1, exact below 2^17 / 1.
HWY_INLINE V16 ColourBin(V16 sum) {
    const D16 d;
    return hn::ShiftRight<1>(hn::MulHigh(hn::Add(sum, hn::Set(d, 1)), hn::Set(d, 43691)));
}

HWY_INLINE V8 Narrow(V16 lo, V16 hi) {
    const DH8 dh;
    const hn::Repartition<int16_t, D8> di;
    return hn::Combine(D8(), hn::DemoteTo(dh, hn::BitCast(di, hi)),
                       hn::DemoteTo(dh, hn::BitCast(di, lo)));
}

// Levels of one row segment into `levels`; returns the largest value.
uint32_t RowLevels(const PixelView& view, const uint8_t* p, int32_t count, uint8_t* levels) {
    const D8 d8;
    const D16 d16;
    const int32_t n = static_cast<int32_t>(hn::Lanes(d8));
    V16 top = hn::Zero(d16);
    int32_t x = 0;
    for (; x + n <= count; x += n, p += size_t(n) * view.bytesPerPixel) {
        V16 lo, hi;
        LoadValues(view, p, lo, hi);
        top = hn::Max(top, hn::Max(lo, hi));
        if (view.colour) {
            hn::StoreU(Narrow(ColourBin(lo), ColourBin(hi)), d8, levels + x);
        } else {
            hn::StoreU(Narrow(lo, hi), d8, levels + x);
        }
    }
    uint32_t best = hn::GetLane(hn::MaxOfLanes(d16, top));
    for (; x < count; ++x, p += view.bytesPerPixel) {
        levels[x] = static_cast<uint8_t>(detail::HistogramBin(view, p));
        best = std::max(best, detail::ViewValue(view, p));
    }
    return best;
}

// The largest of a row segment of plane bytes.
uint32_t PlaneMax(const uint8_t* p, int32_t count) {
    const D8 d8;
    const D16 d16;
    const int32_t n = static_cast<int32_t>(hn::Lanes(d8));
    V8 best = hn::Zero(d8);
    int32_t i = 0;
    for (; i + n <= count; i += n) best = hn::Max(best, hn::LoadU(d8, p + i));
    // The larger of the even and odd bytes, reduced as 16-bit lanes.
    const V16 wide = hn::BitCast(d16, best);
    const V16 pairMax = hn::Max(hn::And(wide, hn::Set(d16, 0xFF)), hn::ShiftRight<8>(wide));
    uint32_t top = hn::GetLane(hn::MaxOfLanes(d16, pairMax));
    for (; i < count; ++i) top = std::max<uint32_t>(top, p[i]);
    return top;
}

void HistogramImpl(const PixelView& view, const Rect& rect, uint32_t* histogram, uint16_t* rowMax,
                   uint32_t* pairs) {
    if (rect.w <= 0 || rect.h <= 0) return;
    uint32_t tables[4][256];
    std::memset(tables, 0, sizeof tables);
    HWY_ALIGN uint8_t levels[kChunk];
    for (int32_t r = 0; r < rect.h; ++r) {
        uint32_t top = 0;
        for (int32_t x = 0; x < rect.w; x += kChunk) {
            const int32_t count = std::min(kChunk, rect.w - x);
            const uint8_t* p = view.At(rect.x0 + x, rect.y0 + r);
            const uint8_t* counted = levels;
            if (view.bytesPerPixel == 1) {
                top = std::max(top, PlaneMax(p, count));
                counted = p;  // the plane's bytes are the levels already
            } else {
                top = std::max(top, RowLevels(view, p, count, levels));
            }
            if (pairs) {
                CountPairs(counted, count, pairs, histogram);
            } else {
                CountLevels(counted, count, tables);
            }
        }
        if (rowMax) rowMax[r] = static_cast<uint16_t>(top);
    }
    if (!pairs) MergeTables(tables, histogram);
}

// Moments of one row: sum of w and of w * column, columns counted from the row start.
void RowMoments(const PixelView& view, const uint8_t* p, int32_t count, uint32_t threshold,
                int64_t& sumW, int64_t& sumX) {
    const D8 d8;
    const D16 d16;
    const D32 d32;
    const DH16 dh;
    const int32_t n = static_cast<int32_t>(hn::Lanes(d8));
    const int32_t n32 = static_cast<int32_t>(hn::Lanes(d32));
    const V16 level = hn::Set(d16, static_cast<uint16_t>(threshold));
    const V32 step = hn::Set(d32, static_cast<uint32_t>(n32));
    int32_t x = 0;
    // Lane sums stay below 2^32 over chunks of kChunk pixels (w <= 765, column < kChunk).
    while (x + n <= count) {
        const int32_t end = std::min(count, x + kChunk) - n;
        V32 w32 = hn::Zero(d32);
        V32 wx32 = hn::Zero(d32);
        V32 column = hn::Iota(d32, 0);
        const int32_t chunkStart = x;
        for (; x <= end; x += n, p += size_t(n) * view.bytesPerPixel) {
            V16 lo, hi;
            LoadValues(view, p, lo, hi);
            const V16 halves[2] = {hn::SaturatedSub(lo, level), hn::SaturatedSub(hi, level)};
            for (const V16& w : halves) {
                for (const V32 q : {hn::PromoteTo(d32, hn::LowerHalf(dh, w)),
                                    hn::PromoteTo(d32, hn::UpperHalf(dh, w))}) {
                    w32 = hn::Add(w32, q);
                    wx32 = hn::Add(wx32, hn::Mul(q, column));
                    column = hn::Add(column, step);
                }
            }
        }
        const int64_t chunkW = hn::GetLane(hn::SumOfLanes(d32, w32));
        sumW += chunkW;
        sumX += int64_t{hn::GetLane(hn::SumOfLanes(d32, wx32))} + chunkW * chunkStart;
    }
    for (; x < count; ++x, p += view.bytesPerPixel) {
        const int64_t w = int64_t{detail::ViewValue(view, p)} - threshold;
        if (w <= 0) continue;
        sumW += w;
        sumX += w * x;
    }
}

GuideMoments GuideImpl(const PixelView& view, const Rect& rect, int32_t level,
                       const uint16_t* rowMax) {
    GuideMoments m;
    if (rect.w <= 0 || rect.h <= 0 || level < 0) return m;
    const uint32_t threshold = static_cast<uint32_t>(view.colour ? 3 * level : level);
    if (threshold > 65535) return m;
    for (int32_t r = 0; r < rect.h; ++r) {
        if (rowMax && rowMax[r] <= threshold) continue;
        int64_t w = 0;
        int64_t wx = 0;
        RowMoments(view, view.At(rect.x0, rect.y0 + r), rect.w, threshold, w, wx);
        m.sumW += w;
        m.sumX += wx;
        m.sumY += w * r;
    }
    return m;
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {

HWY_EXPORT(HistogramImpl);
HWY_EXPORT(FoldPairsImpl);

void FoldPairs(uint32_t* pairs, uint32_t* histogram) {
    HWY_DYNAMIC_DISPATCH(FoldPairsImpl)(pairs, histogram);
}
HWY_EXPORT(GuideImpl);

void AddHistogram(const PixelView& view, const Rect& rect, uint32_t* histogram, uint16_t* rowMax,
                  uint32_t* pairs) {
    HWY_DYNAMIC_DISPATCH(HistogramImpl)(view, rect, histogram, rowMax, pairs);
}

GuideMoments SumGuide(const PixelView& view, const Rect& rect, int32_t level,
                      const uint16_t* rowMax) {
    return HWY_DYNAMIC_DISPATCH(GuideImpl)(view, rect, level, rowMax);
}

}  // namespace kelpa
#endif

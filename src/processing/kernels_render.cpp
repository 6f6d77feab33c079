// Vector forms of RenderRect and AddAverageHistogram (chain_kernels.h).
//
// Two row paths:
// - a fast path for a sum of one frame that is never stored (the common "every frame renders"
//   case): the bytes of a vector split into even and odd 16-bit lanes, the value and the level
//   are computed there with the 16-bit plan of level_plan.h, and the two halves join again with
//   one shift and one OR, without any lane shuffle;
// - an ordered path for everything that touches the accumulator: values widen in pixel order
//   to 32-bit lanes, meet the accumulator words, and narrow back through the 16-bit plan when
//   the clamped words fit it, else through the 32-bit plan.
// Row tails, and parameters for which no plan is exact, go through the plain per-pixel code.
#include <algorithm>
#include <cstring>

#include "processing/chain_kernels.h"
#include "processing/chain_kernels_detail.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "processing/kernels_render.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

#if HWY_TARGET == HWY_SCALAR

void RenderRectImpl(const RenderJob& job) { detail::RenderRectPlain(job); }

void AverageImpl(const AverageJob& job, uint32_t* histogram) {
    for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
        detail::AverageSpan(job, y, job.rect.x0, job.rect.x0 + job.rect.w, histogram);
    }
}

#else

namespace hn = hwy::HWY_NAMESPACE;

using D8 = hn::ScalableTag<uint8_t>;
using D16 = hn::Repartition<uint16_t, D8>;
using DI16 = hn::Repartition<int16_t, D8>;
using D32 = hn::Repartition<uint32_t, D8>;
using DI32 = hn::Repartition<int32_t, D8>;
using DF32 = hn::Repartition<float, D8>;
using DH8 = hn::Half<D8>;
using DH16 = hn::Half<D16>;
using DHI16 = hn::Half<DI16>;
using V8 = hn::Vec<D8>;
using V16 = hn::Vec<D16>;
using VI16 = hn::Vec<DI16>;
using V32 = hn::Vec<D32>;
using VI32 = hn::Vec<DI32>;

// ---- Values -----------------------------------------------------------------------------------

// (114 B + 587 G + 299 R) / 100 in 16-bit lanes: S / 4 = 28 B + 146 G + 74 R + (2 B + 3 G +
// 3 R) / 4 is at most 63750, and / 25 is two divisions by 5, each a mulhi by 52429 and a shift
// by 2, exact for every 16-bit numerator.
HWY_INLINE V16 GreyValue(V16 b, V16 g, V16 r) {
    const D16 d;
    const V16 x = hn::Add(hn::Add(hn::Mul(b, hn::Set(d, 28)), hn::Mul(g, hn::Set(d, 146))),
                          hn::Mul(r, hn::Set(d, 74)));
    const V16 gr = hn::Add(g, r);
    const V16 y = hn::Add(hn::Add(b, b), hn::Add(hn::Add(gr, gr), gr));
    const V16 quarter = hn::Add(x, hn::ShiftRight<2>(y));
    const V16 fifth = hn::ShiftRight<2>(hn::MulHigh(quarter, hn::Set(d, 52429)));
    return hn::ShiftRight<2>(hn::MulHigh(fifth, hn::Set(d, 52429)));
}

template <PixelKind K>
HWY_INLINE V16 ValueOf16(V16 b, V16 g, V16 r) {
    if constexpr (K == PixelKind::kGrey) {
        return GreyValue(b, g, r);
    } else if constexpr (K == PixelKind::kSummary) {
        return hn::Add(hn::Add(b, g), r);
    } else if constexpr (K == PixelKind::kGreen) {
        return g;
    } else if constexpr (K == PixelKind::kRed) {
        return r;
    } else {
        return b;
    }
}

HWY_INLINE V16 EvenBytes(V8 v) {
    const D16 d;
    return hn::And(hn::BitCast(d, v), hn::Set(d, 0xFF));
}
HWY_INLINE V16 OddBytes(V8 v) { return hn::ShiftRight<8>(hn::BitCast(D16(), v)); }
// Inverse of EvenBytes/OddBytes for lanes holding 0 ... 255.
HWY_INLINE V8 JoinBytes(V16 even, V16 odd) {
    return hn::BitCast(D8(), hn::Or(even, hn::ShiftLeft<8>(odd)));
}

// ---- Levels -----------------------------------------------------------------------------------

// The 16-bit plan with its shape fixed at compile time (the fast path's inner loop); a simple
// plan skips the clamps and the offset, which cannot change its results.
template <bool kAmp128, LevelPlan16::Divide kDivide, bool kSimple = false>
HWY_INLINE VI16 Level16T(const LevelPlan16& p, V16 a) {
    const D16 d;
    const DI16 di;
    if constexpr (!kSimple) a = hn::Min(a, hn::Set(d, p.aClamp));
    V16 t = a;
    if constexpr (!kAmp128) {
        t = hn::MulHigh(hn::ShiftLeftSame(a, p.shiftA), hn::Set(d, p.ampMul));
    }
    V16 n = hn::Add(t, hn::Set(d, p.half));
    if constexpr (!kSimple) n = hn::Min(n, hn::Set(d, p.nClamp));
    V16 q = n;
    if constexpr (kDivide == LevelPlan16::Divide::kShift) {
        q = hn::ShiftRightSame(n, p.divShift);
    } else if constexpr (kDivide == LevelPlan16::Divide::kMultiply) {
        q = hn::ShiftRightSame(hn::MulHigh(n, hn::Set(d, p.divMul)), p.divShift);
    }
    if constexpr (kSimple) return hn::BitCast(di, q);
    return hn::Add(hn::BitCast(di, q), hn::Set(di, p.offset));
}

HWY_INLINE VI16 Level16(const LevelPlan16& p, V16 a) {
    using Divide = LevelPlan16::Divide;
    if (p.divide == Divide::kMultiply) {
        return p.ampIs128 ? Level16T<true, Divide::kMultiply>(p, a)
                          : Level16T<false, Divide::kMultiply>(p, a);
    }
    if (p.divide == Divide::kShift) {
        return p.ampIs128 ? Level16T<true, Divide::kShift>(p, a)
                          : Level16T<false, Divide::kShift>(p, a);
    }
    return p.ampIs128 ? Level16T<true, Divide::kNone>(p, a) : Level16T<false, Divide::kNone>(p, a);
}

HWY_INLINE VI32 Level32(const LevelPlan32& p, V32 a) {
    const D32 d;
    const DI32 di;
    const DF32 df;
    const VI32 clamped = hn::BitCast(di, hn::Min(a, hn::Set(d, p.aClamp)));
    const VI32 t = hn::ShiftRight<7>(hn::Mul(clamped, hn::Set(di, p.amp)));
    const VI32 n = hn::Min(hn::Add(t, hn::Set(di, p.half)), hn::Set(di, p.nClamp));
    if (p.divisor == 1) return hn::Add(n, hn::Set(di, p.offset));
    VI32 q = hn::ConvertTo(di, hn::Mul(hn::ConvertTo(df, n), hn::Set(df, p.recip)));
    const VI32 r = hn::Sub(n, hn::Mul(q, hn::Set(di, p.divisor)));
    q = hn::Add(q, hn::VecFromMask(di, hn::Lt(r, hn::Zero(di))));
    q = hn::Sub(q, hn::VecFromMask(di, hn::Gt(r, hn::Set(di, p.divisor - 1))));
    return hn::Add(q, hn::Set(di, p.offset));
}

// Counts levels above 255, keeps the largest level below 255 (levels of 0 and below leave the
// zero it starts from alone, so that is the largest of 1 ... 254) and clamps to 0 ... 255.
template <class DI, class VI = hn::Vec<DI>>
HWY_INLINE VI FinishLevels(DI di, VI level, VI& saturated, VI& maxInRange) {
    const VI k255 = hn::Set(di, 255);
    saturated = hn::Sub(saturated, hn::VecFromMask(di, hn::Gt(level, k255)));
    maxInRange = hn::Max(maxInRange, hn::IfThenElseZero(hn::Lt(level, k255), level));
    return hn::Min(hn::Max(level, hn::Zero(di)), k255);
}

// Per-row peak lanes, folded into OutputPeaks at the end of each row.
struct RowPeaks {
    uint32_t maxSum = 0;
    uint64_t saturated = 0;
    int32_t maxLevel = 0;  // largest level of 1 ... 254 seen by the vector code
};

HWY_INLINE uint64_t SumCounts(VI16 counts) {
    const DI32 d32;
    const DHI16 dh;
    const VI32 lo = hn::PromoteTo(d32, hn::LowerHalf(dh, counts));
    const VI32 hi = hn::PromoteTo(d32, hn::UpperHalf(dh, counts));
    return static_cast<uint64_t>(hn::GetLane(hn::SumOfLanes(d32, hn::Add(lo, hi))));
}

// ---- Writing levels ---------------------------------------------------------------------------

// N levels of grey pixels (bpp 1 or 3) or N channel bytes of As Is.
template <bool kSamples>
HWY_INLINE void WriteLevels(V8 v, uint8_t* dst, int32_t bytesPerPixel) {
    const D8 d8;
    if (kSamples || bytesPerPixel == 1) {
        hn::StoreU(v, d8, dst);
    } else {
        hn::StoreInterleaved3(v, v, v, d8, dst);
    }
}

// The vector code writes clamped levels; a table other than the identity is applied after.
void ApplyTone(const uint8_t* tone, uint8_t* dst, int32_t count, int32_t step, int32_t copies) {
    for (int32_t i = 0; i < count; ++i, dst += step) {
        const uint8_t v = tone[dst[0]];
        for (int32_t k = 0; k < copies; ++k) dst[k] = v;
    }
}

// ---- Fast path: one frame, not stored ----------------------------------------------------------

// Levels of a simple plan lie in 0 ... 255 already: only the largest below 255 is kept.
HWY_INLINE VI16 FinishSimpleLevels(VI16 level, VI16& maxInRange) {
    const DI16 di;
    maxInRange = hn::Max(maxInRange, hn::IfThenElseZero(hn::Lt(level, hn::Set(di, 255)), level));
    return level;
}

template <bool kAmp128, LevelPlan16::Divide kDivide, bool kSimple>
HWY_INLINE V8 FastLevels(const LevelPlan16& plan, V16 even, V16 odd, V16& maxSum,
                         VI16& saturated, VI16& maxInRange) {
    const DI16 di;
    const D16 d16;
    maxSum = hn::Max(maxSum, hn::Max(even, odd));
    const VI16 le = Level16T<kAmp128, kDivide, kSimple>(plan, even);
    const VI16 lo = Level16T<kAmp128, kDivide, kSimple>(plan, odd);
    if constexpr (kSimple) {
        return JoinBytes(hn::BitCast(d16, FinishSimpleLevels(le, maxInRange)),
                         hn::BitCast(d16, FinishSimpleLevels(lo, maxInRange)));
    }
    return JoinBytes(hn::BitCast(d16, FinishLevels(di, le, saturated, maxInRange)),
                     hn::BitCast(d16, FinishLevels(di, lo, saturated, maxInRange)));
}

// Pixels [x0, x0 + blocks * N) of row y; returns the row's peaks.
template <PixelKind K, bool kAmp128, LevelPlan16::Divide kDivide, bool kSimple>
RowPeaks FastRowT(const RenderJob& job, const LevelPlan16& planRef, int32_t y, int32_t blocks) {
    const LevelPlan16 plan = planRef;  // a local copy: output stores cannot alias it
    const D8 d8;
    const D16 d16;
    const DI16 di;
    const size_t n = hn::Lanes(d8);
    constexpr bool kSamples = K == PixelKind::kAsIs;
    const uint8_t* src = job.input + size_t{job.inputStride} * y + 3 * size_t(job.rect.x0);
    uint8_t* dst = job.out + size_t{job.outStride} * (y - job.outOriginY) +
                   size_t(job.outBytesPerPixel) * (job.rect.x0 - job.outOriginX);
    const int32_t bpp = job.outBytesPerPixel;
    V16 maxSum = hn::Zero(d16);
    VI16 saturated = hn::Zero(di);
    VI16 maxInRange = hn::Zero(di);
    for (int32_t i = 0; i < blocks; ++i, src += 3 * n) {
        if constexpr (kSamples) {
            for (size_t k = 0; k < 3; ++k) {
                const V8 v = hn::LoadU(d8, src + k * n);
                const V8 out = FastLevels<kAmp128, kDivide, kSimple>(plan, EvenBytes(v), OddBytes(v),
                                                            maxSum, saturated, maxInRange);
                WriteLevels<true>(out, dst + 3 * n * size_t(i) + k * n, bpp);
            }
        } else {
            V8 b, g, r;
            hn::LoadInterleaved3(d8, src, b, g, r);
            const V16 even = ValueOf16<K>(EvenBytes(b), EvenBytes(g), EvenBytes(r));
            const V16 odd = ValueOf16<K>(OddBytes(b), OddBytes(g), OddBytes(r));
            const V8 out =
                FastLevels<kAmp128, kDivide, kSimple>(plan, even, odd, maxSum, saturated, maxInRange);
            WriteLevels<false>(out, dst + size_t(bpp) * n * size_t(i), bpp);
        }
    }
    RowPeaks peaks;
    peaks.maxSum = hn::GetLane(hn::MaxOfLanes(d16, maxSum));
    peaks.saturated = SumCounts(saturated);
    peaks.maxLevel = hn::GetLane(hn::MaxOfLanes(di, maxInRange));
    return peaks;
}

template <PixelKind K, bool kSimple>
RowPeaks FastRowShaped(const RenderJob& job, const LevelPlan16& plan, int32_t y, int32_t blocks) {
    using Divide = LevelPlan16::Divide;
    if (plan.divide == Divide::kMultiply) {
        return plan.ampIs128 ? FastRowT<K, true, Divide::kMultiply, kSimple>(job, plan, y, blocks)
                             : FastRowT<K, false, Divide::kMultiply, kSimple>(job, plan, y, blocks);
    }
    if (plan.divide == Divide::kShift) {
        return plan.ampIs128 ? FastRowT<K, true, Divide::kShift, kSimple>(job, plan, y, blocks)
                             : FastRowT<K, false, Divide::kShift, kSimple>(job, plan, y, blocks);
    }
    return plan.ampIs128 ? FastRowT<K, true, Divide::kNone, kSimple>(job, plan, y, blocks)
                         : FastRowT<K, false, Divide::kNone, kSimple>(job, plan, y, blocks);
}

template <PixelKind K>
RowPeaks FastRow(const RenderJob& job, const LevelPlan16& plan, int32_t y, int32_t blocks) {
    return plan.simple ? FastRowShaped<K, true>(job, plan, y, blocks)
                       : FastRowShaped<K, false>(job, plan, y, blocks);
}

// ---- Ordered path: sums that meet the accumulator ----------------------------------------------

// Four 32-bit quarters of one vector of values, in pixel order.
HWY_INLINE void Quarters(V16 lo, V16 hi, V32 (&q)[4]) {
    const D32 d32;
    const DH16 dh;
    q[0] = hn::PromoteTo(d32, hn::LowerHalf(dh, lo));
    q[1] = hn::PromoteTo(d32, hn::UpperHalf(dh, lo));
    q[2] = hn::PromoteTo(d32, hn::LowerHalf(dh, hi));
    q[3] = hn::PromoteTo(d32, hn::UpperHalf(dh, hi));
}

template <PixelKind K>
HWY_INLINE void PixelValues(const uint8_t* src, V32 (&q)[4]) {
    const D8 d8;
    const D16 d16;
    const DH8 dh;
    V8 b, g, r;
    hn::LoadInterleaved3(d8, src, b, g, r);
    const V16 lo = ValueOf16<K>(hn::PromoteTo(d16, hn::LowerHalf(dh, b)),
                                hn::PromoteTo(d16, hn::LowerHalf(dh, g)),
                                hn::PromoteTo(d16, hn::LowerHalf(dh, r)));
    const V16 hi = ValueOf16<K>(hn::PromoteTo(d16, hn::UpperHalf(dh, b)),
                                hn::PromoteTo(d16, hn::UpperHalf(dh, g)),
                                hn::PromoteTo(d16, hn::UpperHalf(dh, r)));
    Quarters(lo, hi, q);
}

HWY_INLINE void SampleValues(const uint8_t* src, V32 (&q)[4]) {
    const D8 d8;
    const D16 d16;
    const DH8 dh;
    const V8 v = hn::LoadU(d8, src);
    Quarters(hn::PromoteTo(d16, hn::LowerHalf(dh, v)), hn::PromoteTo(d16, hn::UpperHalf(dh, v)),
             q);
}

// Peak lanes of the ordered path, in the lane width of its plan.
struct OrderedLanes16 {
    VI16 saturated;
    VI16 maxInRange;
};

HWY_INLINE V16 Narrow32To16(V32 a, V32 b, uint32_t clamp) {
    const D16 d16;
    const DH16 dh;
    const DI32 di32;
    const V32 c = hn::Set(D32(), clamp);
    return hn::Combine(d16, hn::DemoteTo(dh, hn::BitCast(di32, hn::Min(b, c))),
                       hn::DemoteTo(dh, hn::BitCast(di32, hn::Min(a, c))));
}

HWY_INLINE V8 Narrow16To8(V16 lo, V16 hi) {
    const D8 d8;
    const DH8 dh;
    const DI16 di;
    return hn::Combine(d8, hn::DemoteTo(dh, hn::BitCast(di, hi)),
                       hn::DemoteTo(dh, hn::BitCast(di, lo)));
}

HWY_INLINE V8 OrderedLevels16(const LevelPlan16& plan, const V32 (&a)[4], VI16& saturated,
                              VI16& maxInRange) {
    const DI16 di;
    const D16 d16;
    const V16 lo = Narrow32To16(a[0], a[1], plan.aClamp);
    const V16 hi = Narrow32To16(a[2], a[3], plan.aClamp);
    const V16 l0 = hn::BitCast(d16, FinishLevels(di, Level16(plan, lo), saturated, maxInRange));
    const V16 l1 = hn::BitCast(d16, FinishLevels(di, Level16(plan, hi), saturated, maxInRange));
    return Narrow16To8(l0, l1);
}

HWY_INLINE V8 OrderedLevels32(const LevelPlan32& plan, const V32 (&a)[4], VI32& saturated,
                              VI32& maxInRange) {
    const DI32 di;
    const DHI16 dh;
    const DI16 d16;
    VI32 l[4];
    for (int k = 0; k < 4; ++k) l[k] = FinishLevels(di, Level32(plan, a[k]), saturated, maxInRange);
    const VI16 lo = hn::Combine(d16, hn::DemoteTo(dh, l[1]), hn::DemoteTo(dh, l[0]));
    const VI16 hi = hn::Combine(d16, hn::DemoteTo(dh, l[3]), hn::DemoteTo(dh, l[2]));
    return Narrow16To8(hn::BitCast(D16(), lo), hn::BitCast(D16(), hi));
}

enum class OrderedMode { kAccumulateOnly, kPlan16, kPlan32 };

// The sums of one vector of values (N pixels or samples) at acc: loads, adds, stores.
HWY_INLINE void Sums(const RenderJob& job, uint32_t* acc, V32 (&q)[4]) {
    const D32 d32;
    const size_t n32 = hn::Lanes(d32);
    for (size_t k = 0; k < 4; ++k) {
        if (job.source == SumSource::kAccumulator) {
            q[k] = hn::LoadU(d32, acc + k * n32);
        } else if (job.source == SumSource::kAccumulate) {
            if (!job.first) q[k] = hn::Add(q[k], hn::LoadU(d32, acc + k * n32));
            if (job.writeAcc) hn::StoreU(q[k], d32, acc + k * n32);
        }
    }
}

template <PixelKind K, OrderedMode M>
RowPeaks OrderedRow(const RenderJob& job, const LevelPlan16& p16, const LevelPlan32& p32,
                    int32_t y, int32_t blocks) {
    const D8 d8;
    const D32 d32;
    const DI16 di16;
    const DI32 di32;
    const size_t n = hn::Lanes(d8);
    constexpr bool kSamples = K == PixelKind::kAsIs;
    constexpr size_t kVectorsPerBlock = kSamples ? 3 : 1;
    const uint8_t* src = job.input ? job.input + size_t{job.inputStride} * y + 3 * size_t(job.rect.x0)
                                   : nullptr;
    uint32_t* acc = job.acc ? job.acc + size_t{job.accRowWords} * y +
                                  kVectorsPerBlock * size_t(job.rect.x0)
                            : nullptr;
    uint8_t* dst = nullptr;
    if (job.out) {
        dst = job.out + size_t{job.outStride} * (y - job.outOriginY) +
              size_t(job.outBytesPerPixel) * (job.rect.x0 - job.outOriginX);
    }
    const int32_t bpp = job.outBytesPerPixel;
    V32 maxSum = hn::Zero(d32);
    VI16 sat16 = hn::Zero(di16);
    VI16 max16 = hn::Zero(di16);
    VI32 sat32 = hn::Zero(di32);
    VI32 max32 = hn::Zero(di32);
    for (int32_t i = 0; i < blocks; ++i) {
        for (size_t k = 0; k < kVectorsPerBlock; ++k) {
            const size_t sample = (size_t(i) * kVectorsPerBlock + k) * n;  // words from x0
            V32 q[4];
            if (job.source != SumSource::kAccumulator) {
                if constexpr (kSamples) {
                    SampleValues(src + sample, q);
                } else {
                    PixelValues<K>(src + 3 * sample, q);
                }
            }
            Sums(job, acc + sample, q);
            if constexpr (M == OrderedMode::kAccumulateOnly) continue;
            for (const V32& v : q) maxSum = hn::Max(maxSum, v);
            V8 out;
            if constexpr (M == OrderedMode::kPlan16) {
                out = OrderedLevels16(p16, q, sat16, max16);
            } else {
                out = OrderedLevels32(p32, q, sat32, max32);
            }
            WriteLevels<kSamples>(out, dst + (kSamples ? sample : size_t(bpp) * sample), bpp);
        }
    }
    RowPeaks peaks;
    if constexpr (M != OrderedMode::kAccumulateOnly) {
        peaks.maxSum = hn::GetLane(hn::MaxOfLanes(d32, maxSum));
        if constexpr (M == OrderedMode::kPlan16) {
            peaks.saturated = SumCounts(sat16);
            peaks.maxLevel = hn::GetLane(hn::MaxOfLanes(di16, max16));
        } else {
            peaks.saturated = static_cast<uint64_t>(hn::GetLane(hn::SumOfLanes(di32, sat32)));
            peaks.maxLevel = hn::GetLane(hn::MaxOfLanes(di32, max32));
        }
    }
    return peaks;
}

// ---- Driver -------------------------------------------------------------------------------------

enum class RowPath { kPlain, kFast, kOrdered16, kOrdered32, kAccumulateOnly };

template <PixelKind K>
void RenderRows(const RenderJob& job, RowPath path, const LevelPlan16& p16,
                const LevelPlan32& p32, bool toneIdentity) {
    const int32_t n = static_cast<int32_t>(hn::Lanes(D8()));
    const int32_t blocks = job.rect.w / n;
    const int32_t simdEnd = job.rect.x0 + blocks * n;
    const bool samples = K == PixelKind::kAsIs;
    OutputPeaks total;
    int32_t maxLevel = 0;
    for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
        RowPeaks row;
        switch (path) {
            case RowPath::kFast: row = FastRow<K>(job, p16, y, blocks); break;
            case RowPath::kOrdered16:
                row = OrderedRow<K, OrderedMode::kPlan16>(job, p16, p32, y, blocks);
                break;
            case RowPath::kOrdered32:
                row = OrderedRow<K, OrderedMode::kPlan32>(job, p16, p32, y, blocks);
                break;
            default:
                row = OrderedRow<K, OrderedMode::kAccumulateOnly>(job, p16, p32, y, blocks);
                break;
        }
        total.maxSum = std::max(total.maxSum, row.maxSum);
        total.saturated += row.saturated;
        maxLevel = std::max(maxLevel, row.maxLevel);
        if (job.out && !toneIdentity && blocks > 0) {
            uint8_t* dst = job.out + size_t{job.outStride} * (y - job.outOriginY) +
                           size_t(job.outBytesPerPixel) * (job.rect.x0 - job.outOriginX);
            if (samples) {
                ApplyTone(job.tone, dst, 3 * blocks * n, 1, 1);
            } else {
                ApplyTone(job.tone, dst, blocks * n, job.outBytesPerPixel, job.outBytesPerPixel);
            }
        }
        detail::RenderSpan(job, y, simdEnd, job.rect.x0 + job.rect.w, &total);
    }
    if (job.peaks && job.out) {
        OutputPeaks& p = *job.peaks;
        p.maxSum = std::max(p.maxSum, total.maxSum);
        p.saturated += total.saturated;
        // The table is monotone, so the largest output of the levels seen is that of the
        // largest level.
        p.maxOutput = std::max<int32_t>({p.maxOutput, total.maxOutput, job.tone[maxLevel]});
    }
}

RowPath ChoosePath(const RenderJob& job, const LevelPlan16& p16, const LevelPlan32& p32) {
    if (!job.out) return RowPath::kAccumulateOnly;
    if (!detail::ToneMonotone(job.tone)) return RowPath::kPlain;
    if (job.source == SumSource::kInput && p16.valid) return RowPath::kFast;
    if (p16.valid) return RowPath::kOrdered16;
    if (p32.valid) return RowPath::kOrdered32;
    return RowPath::kPlain;
}

void RenderRectImpl(const RenderJob& job) {
    if (job.rect.w <= 0 || job.rect.h <= 0) return;
    const uint64_t bound = job.source == SumSource::kInput ? detail::MaxValueOf(job.kind)
                                                           : uint64_t{UINT32_MAX};
    LevelPlan16 p16;
    LevelPlan32 p32;
    if (job.out) {
        p16 = PlanLevels16(job.level, bound);
        if (!p16.valid) p32 = PlanLevels32(job.level, bound);
    }
    const RowPath path = ChoosePath(job, p16, p32);
    if (path == RowPath::kPlain) {
        detail::RenderRectPlain(job);
        return;
    }
    const bool identity = !job.out || detail::ToneIdentity(job.tone);
    switch (job.kind) {
        case PixelKind::kGrey: RenderRows<PixelKind::kGrey>(job, path, p16, p32, identity); break;
        case PixelKind::kSummary:
            RenderRows<PixelKind::kSummary>(job, path, p16, p32, identity);
            break;
        case PixelKind::kBlue: RenderRows<PixelKind::kBlue>(job, path, p16, p32, identity); break;
        case PixelKind::kGreen:
            RenderRows<PixelKind::kGreen>(job, path, p16, p32, identity);
            break;
        case PixelKind::kRed: RenderRows<PixelKind::kRed>(job, path, p16, p32, identity); break;
        case PixelKind::kAsIs: RenderRows<PixelKind::kAsIs>(job, path, p16, p32, identity); break;
    }
}

// ---- Average histogram ("AcRB") ----------------------------------------------------------------

// min(A / weight, 255) of 32-bit lanes, exact by AverageDivider's bounds.
HWY_INLINE VI32 AverageLevel(const AverageDivider& div, V32 a) {
    const DI32 di;
    const DF32 df;
    const VI32 n = hn::BitCast(di, hn::Min(a, hn::Set(D32(), div.aClamp)));
    VI32 q = hn::ConvertTo(di, hn::Mul(hn::ConvertTo(df, n), hn::Set(df, div.recip)));
    const VI32 r = hn::Sub(n, hn::Mul(q, hn::Set(di, div.divisor)));
    q = hn::Add(q, hn::VecFromMask(di, hn::Lt(r, hn::Zero(di))));
    return hn::Sub(q, hn::VecFromMask(di, hn::Gt(r, hn::Set(di, div.divisor - 1))));
}

template <PixelKind K>
void AverageRows(const AverageJob& job, const AverageDivider& div, uint32_t* histogram) {
    const D8 d8;
    const D32 d32;
    const DI32 di32;
    const size_t n = hn::Lanes(d8);
    const size_t n32 = hn::Lanes(d32);
    constexpr bool kSamples = K == PixelKind::kAsIs;
    constexpr size_t kWords = kSamples ? 3 : 1;
    const int32_t blocks = job.rect.w / static_cast<int32_t>(n);
    HWY_ALIGN int32_t levels[3 * HWY_MAX_BYTES];
    for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
        const uint8_t* src = job.input ? job.input + size_t{job.inputStride} * y : nullptr;
        const uint32_t* acc = job.acc ? job.acc + size_t{job.accRowWords} * y : nullptr;
        for (int32_t i = 0; i < blocks; ++i) {
            const size_t first = kWords * (size_t(job.rect.x0) + size_t(i) * n);  // word index
            for (size_t k = 0; k < kWords; ++k) {
                const size_t word = first + k * n;
                V32 q[4];
                if (job.source == SumSource::kAccumulator) {
                    for (size_t j = 0; j < 4; ++j) q[j] = hn::LoadU(d32, acc + word + j * n32);
                } else if constexpr (kSamples) {
                    SampleValues(src + word, q);
                } else {
                    PixelValues<K>(src + 3 * word, q);
                }
                for (size_t j = 0; j < 4; ++j) {
                    hn::Store(AverageLevel(div, q[j]), di32, levels + k * n + j * n32);
                }
            }
            for (size_t p = 0; p < n; ++p) {
                if constexpr (kSamples) {
                    ++histogram[(levels[3 * p] + levels[3 * p + 1] + levels[3 * p + 2]) / 3];
                } else {
                    ++histogram[levels[p]];
                }
            }
        }
        detail::AverageSpan(job, y, job.rect.x0 + blocks * static_cast<int32_t>(n),
                            job.rect.x0 + job.rect.w, histogram);
    }
}

void AverageImpl(const AverageJob& job, uint32_t* histogram) {
    if (job.rect.w <= 0 || job.rect.h <= 0) return;
    const AverageDivider div = PlanAverage(job.weight);
    if (!div.valid) {
        for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
            detail::AverageSpan(job, y, job.rect.x0, job.rect.x0 + job.rect.w, histogram);
        }
        return;
    }
    switch (job.kind) {
        case PixelKind::kGrey: AverageRows<PixelKind::kGrey>(job, div, histogram); break;
        case PixelKind::kSummary: AverageRows<PixelKind::kSummary>(job, div, histogram); break;
        case PixelKind::kBlue: AverageRows<PixelKind::kBlue>(job, div, histogram); break;
        case PixelKind::kGreen: AverageRows<PixelKind::kGreen>(job, div, histogram); break;
        case PixelKind::kRed: AverageRows<PixelKind::kRed>(job, div, histogram); break;
        case PixelKind::kAsIs: AverageRows<PixelKind::kAsIs>(job, div, histogram); break;
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {

HWY_EXPORT(RenderRectImpl);
HWY_EXPORT(AverageImpl);

void RenderRect(const RenderJob& job) { HWY_DYNAMIC_DISPATCH(RenderRectImpl)(job); }

void AddAverageHistogram(const AverageJob& job, uint32_t* histogram) {
    HWY_DYNAMIC_DISPATCH(AverageImpl)(job, histogram);
}

}  // namespace kelpa
#endif

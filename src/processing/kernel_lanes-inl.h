// Lane helpers shared by the render and average kernels: the per-pixel values in 16-bit lanes,
// the split of bytes into even and odd 16-bit lanes and back, the lane plans of the output
// formula (level_plan.h) and the widening of values to 32-bit lanes in pixel order. Included
// once per instruction set by the kernels' foreach_target passes.

// Per-target include guard (Highway's convention for code compiled once per target).
#if defined(KELPA_PROCESSING_KERNEL_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef KELPA_PROCESSING_KERNEL_LANES_INL_H_
#undef KELPA_PROCESSING_KERNEL_LANES_INL_H_
#else
#define KELPA_PROCESSING_KERNEL_LANES_INL_H_
#endif

#include "hwy/highway.h"
#include "processing/chain_kernels.h"
#include "processing/level_plan.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

#if HWY_TARGET != HWY_SCALAR

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
HWY_INLINE V16 GreyQuarter(V16 b, V16 g, V16 r) {
    const D16 d;
    const V16 x = hn::Add(hn::Add(hn::Mul(b, hn::Set(d, 28)), hn::Mul(g, hn::Set(d, 146))),
                          hn::Mul(r, hn::Set(d, 74)));
    const V16 gr = hn::Add(g, r);
    const V16 y = hn::Add(hn::Add(b, b), hn::Add(hn::Add(gr, gr), gr));
    return hn::Add(x, hn::ShiftRight<2>(y));
}

HWY_INLINE V16 GreyValue(V16 b, V16 g, V16 r) {
    const D16 d;
    const V16 quarter = GreyQuarter(b, g, r);
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
HWY_INLINE V16 OddBytes(V8 v) {
    return hn::ShiftRight<8>(hn::BitCast(D16(), v));
}
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

// ---- Values in pixel order, in 32-bit lanes ----------------------------------------------------

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
    Quarters(hn::PromoteTo(d16, hn::LowerHalf(dh, v)), hn::PromoteTo(d16, hn::UpperHalf(dh, v)), q);
}

#endif  // HWY_TARGET != HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#endif  // KELPA_PROCESSING_KERNEL_LANES_INL_H_

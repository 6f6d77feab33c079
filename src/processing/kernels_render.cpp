// Vector form of RenderRect (chain_kernels.h).
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
#include "processing/kernel_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

#if HWY_TARGET == HWY_SCALAR

void RenderRectImpl(const RenderJob& job) {
    detail::RenderRectPlain(job);
}

#else

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

// A non-simple plan's levels are clamped to 0 ... 255 and the ones above counted; a simple
// plan's levels are final.
template <bool kSimple>
HWY_INLINE V16 FastFinish(VI16 level, VI16& saturated) {
    const D16 d16;
    if constexpr (kSimple) {
        return hn::BitCast(d16, level);
    } else {
        const DI16 di;
        const VI16 k255 = hn::Set(di, 255);
        saturated = hn::Sub(saturated, hn::VecFromMask(di, hn::Gt(level, k255)));
        return hn::BitCast(d16, hn::Min(hn::Max(level, hn::Zero(di)), k255));
    }
}

// The grey level of a one-frame sum at gain 1 and weight 10: ((S / 100) + 5) / 10 is
// (S + 500) / 1000 = (S / 4 + 125) / 250, and for numerators up to 63875 the division by 250
// is mulhi(x >> 1, 33555) >> 6.
HWY_INLINE V16 GreyDirectLevel(V16 quarter) {
    const D16 d;
    const V16 x = hn::ShiftRight<1>(hn::Add(quarter, hn::Set(d, 125)));
    return hn::ShiftRight<6>(hn::MulHigh(x, hn::Set(d, 33555)));
}

// The largest byte of a vector, as the larger of its even and odd bytes in 16-bit lanes.
HWY_INLINE uint32_t MaxByte(V8 v) {
    const D16 d16;
    const V16 wide = hn::BitCast(d16, v);
    return hn::GetLane(
        hn::MaxOfLanes(d16, hn::Max(hn::And(wide, hn::Set(d16, 0xFF)), hn::ShiftRight<8>(wide))));
}

// The largest level below 255 among written bytes (needed only when a row reached 255).
uint32_t MaxBelow255(const uint8_t* p, size_t count) {
    uint32_t best = 0;
    for (size_t i = 0; i < count; ++i) {
        if (p[i] < 255) best = std::max<uint32_t>(best, p[i]);
    }
    return best;
}

// Pixels [x0, x0 + blocks * N) of row y; returns the row's peaks. The largest level below 255
// comes from the row's largest output byte (levels of 0 and below show as 0).
template <PixelKind K, bool kAmp128, LevelPlan16::Divide kDivide, bool kSimple, bool kGreyDirect>
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
    V8 top = hn::Zero(d8);
    for (int32_t i = 0; i < blocks; ++i, src += 3 * n) {
        if constexpr (kSamples) {
            for (size_t k = 0; k < 3; ++k) {
                const V8 v = hn::LoadU(d8, src + k * n);
                const V16 even = EvenBytes(v);
                const V16 odd = OddBytes(v);
                maxSum = hn::Max(maxSum, hn::Max(even, odd));
                const V8 out = JoinBytes(
                    FastFinish<kSimple>(Level16T<kAmp128, kDivide, kSimple>(plan, even), saturated),
                    FastFinish<kSimple>(Level16T<kAmp128, kDivide, kSimple>(plan, odd), saturated));
                top = hn::Max(top, out);
                WriteLevels<true>(out, dst + 3 * n * size_t(i) + k * n, bpp);
            }
        } else {
            V8 b, g, r;
            hn::LoadInterleaved3(d8, src, b, g, r);
            V8 out;
            if constexpr (kGreyDirect) {
                const V16 even = GreyQuarter(EvenBytes(b), EvenBytes(g), EvenBytes(r));
                const V16 odd = GreyQuarter(OddBytes(b), OddBytes(g), OddBytes(r));
                maxSum = hn::Max(maxSum, hn::Max(even, odd));
                out = JoinBytes(GreyDirectLevel(even), GreyDirectLevel(odd));
            } else {
                const V16 even = ValueOf16<K>(EvenBytes(b), EvenBytes(g), EvenBytes(r));
                const V16 odd = ValueOf16<K>(OddBytes(b), OddBytes(g), OddBytes(r));
                maxSum = hn::Max(maxSum, hn::Max(even, odd));
                out = JoinBytes(
                    FastFinish<kSimple>(Level16T<kAmp128, kDivide, kSimple>(plan, even), saturated),
                    FastFinish<kSimple>(Level16T<kAmp128, kDivide, kSimple>(plan, odd), saturated));
            }
            top = hn::Max(top, out);
            WriteLevels<false>(out, dst + size_t(bpp) * n * size_t(i), bpp);
        }
    }
    RowPeaks peaks;
    peaks.maxSum = hn::GetLane(hn::MaxOfLanes(d16, maxSum));
    if constexpr (kGreyDirect) peaks.maxSum /= 25;  // the largest quarter S / 4 to S / 100
    peaks.saturated = SumCounts(saturated);
    const uint32_t topByte = MaxByte(top);
    peaks.maxLevel = static_cast<int32_t>(
        topByte < 255 ? topByte : MaxBelow255(dst, size_t(blocks) * n * (kSamples ? 3 : bpp)));
    return peaks;
}

template <PixelKind K, bool kSimple>
RowPeaks FastRowShaped(const RenderJob& job, const LevelPlan16& plan, int32_t y, int32_t blocks) {
    using Divide = LevelPlan16::Divide;
    if (plan.divide == Divide::kMultiply) {
        return plan.ampIs128
                   ? FastRowT<K, true, Divide::kMultiply, kSimple, false>(job, plan, y, blocks)
                   : FastRowT<K, false, Divide::kMultiply, kSimple, false>(job, plan, y, blocks);
    }
    if (plan.divide == Divide::kShift) {
        return plan.ampIs128
                   ? FastRowT<K, true, Divide::kShift, kSimple, false>(job, plan, y, blocks)
                   : FastRowT<K, false, Divide::kShift, kSimple, false>(job, plan, y, blocks);
    }
    return plan.ampIs128 ? FastRowT<K, true, Divide::kNone, kSimple, false>(job, plan, y, blocks)
                         : FastRowT<K, false, Divide::kNone, kSimple, false>(job, plan, y, blocks);
}

template <PixelKind K>
RowPeaks FastRow(const RenderJob& job, const LevelPlan16& plan, int32_t y, int32_t blocks) {
    if constexpr (K == PixelKind::kGrey) {
        // The default grey settings: gain 1, one frame (weight 10, half 5).
        if (plan.simple && plan.ampIs128 && plan.half == 5 && plan.divisor == 10) {
            using Divide = LevelPlan16::Divide;
            return FastRowT<K, true, Divide::kMultiply, true, true>(job, plan, y, blocks);
        }
    }
    return plan.simple ? FastRowShaped<K, true>(job, plan, y, blocks)
                       : FastRowShaped<K, false>(job, plan, y, blocks);
}

// ---- Ordered path: sums that meet the accumulator ----------------------------------------------

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
RowPeaks OrderedRow(const RenderJob& job, const LevelPlan16& p16, const LevelPlan32& p32, int32_t y,
                    int32_t blocks) {
    const D8 d8;
    const D32 d32;
    const DI16 di16;
    const DI32 di32;
    const size_t n = hn::Lanes(d8);
    constexpr bool kSamples = K == PixelKind::kAsIs;
    constexpr size_t kVectorsPerBlock = kSamples ? 3 : 1;
    const uint8_t* src =
        job.input ? job.input + size_t{job.inputStride} * y + 3 * size_t(job.rect.x0) : nullptr;
    uint32_t* acc =
        job.acc ? job.acc + size_t{job.accRowWords} * y + kVectorsPerBlock * size_t(job.rect.x0)
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
void RenderRows(const RenderJob& job, RowPath path, const LevelPlan16& p16, const LevelPlan32& p32,
                bool toneIdentity) {
    const int32_t n = static_cast<int32_t>(hn::Lanes(D8()));
    const int32_t blocks = job.rect.w / n;
    const int32_t simdEnd = job.rect.x0 + blocks * n;
    const bool samples = K == PixelKind::kAsIs;
    OutputPeaks total;
    int32_t maxLevel = 0;
    constexpr int32_t kRowsPerCall = 8;
    int32_t reported = job.rect.y0;
    for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
        RowPeaks row;
        switch (path) {
            case RowPath::kFast:
                row = FastRow<K>(job, p16, y, blocks);
                break;
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
        if (job.rowsDone &&
            (y + 1 - reported == kRowsPerCall || y + 1 == job.rect.y0 + job.rect.h)) {
            job.rowsDone(job.rowsContext, reported, y + 1);
            reported = y + 1;
        }
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
    const uint64_t bound =
        job.source == SumSource::kInput ? detail::MaxValueOf(job.kind) : uint64_t{UINT32_MAX};
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
        case PixelKind::kGrey:
            RenderRows<PixelKind::kGrey>(job, path, p16, p32, identity);
            break;
        case PixelKind::kSummary:
            RenderRows<PixelKind::kSummary>(job, path, p16, p32, identity);
            break;
        case PixelKind::kBlue:
            RenderRows<PixelKind::kBlue>(job, path, p16, p32, identity);
            break;
        case PixelKind::kGreen:
            RenderRows<PixelKind::kGreen>(job, path, p16, p32, identity);
            break;
        case PixelKind::kRed:
            RenderRows<PixelKind::kRed>(job, path, p16, p32, identity);
            break;
        case PixelKind::kAsIs:
            RenderRows<PixelKind::kAsIs>(job, path, p16, p32, identity);
            break;
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {

HWY_EXPORT(RenderRectImpl);

void RenderRect(const RenderJob& job) {
    HWY_DYNAMIC_DISPATCH(RenderRectImpl)(job);
}

}  // namespace kelpa
#endif

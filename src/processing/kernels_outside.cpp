// Vector form of RenderUnroundedGrey (chain_kernels.h): at gain 1 the level in 16-bit lanes,
// else the grey sum of every pixel in 32-bit lanes through the 32-bit lane plan; clamped to a
// byte and written to all three bytes; a tone table other than the identity is applied to the
// written bytes after.
#include <algorithm>

#include "processing/chain_kernels.h"
#include "processing/chain_kernels_detail.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "processing/kernels_outside.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
#include "processing/kernel_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

#if HWY_TARGET == HWY_SCALAR

void UnroundedGreyImpl(const RenderJob& job) {
    for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
        detail::UnroundedGreySpan(job, y, job.rect.x0, job.rect.x0 + job.rect.w);
    }
}

#else

HWY_INLINE V32 GreySum(V32 b, V32 g, V32 r) {
    const D32 d;
    return hn::Add(hn::Add(hn::Mul(b, hn::Set(d, 114)), hn::Mul(g, hn::Set(d, 587))),
                   hn::Mul(r, hn::Set(d, 299)));
}

// 114 B + 587 G + 299 R of the pixels of one 16-bit half, in two 32-bit halves.
HWY_INLINE void GreySums(V16 b, V16 g, V16 r, V32& lo, V32& hi) {
    const D32 d32;
    const DH16 dh;
    lo = GreySum(hn::PromoteTo(d32, hn::LowerHalf(dh, b)), hn::PromoteTo(d32, hn::LowerHalf(dh, g)),
                 hn::PromoteTo(d32, hn::LowerHalf(dh, r)));
    hi = GreySum(hn::PromoteTo(d32, hn::UpperHalf(dh, b)), hn::PromoteTo(d32, hn::UpperHalf(dh, g)),
                 hn::PromoteTo(d32, hn::UpperHalf(dh, r)));
}

// At gain 1 (amp 128) the level is (S + 500) / 1000 = (S / 4 + 125) / 250 with S / 4
// truncated: the remainder of S / 4 (at most 3 quarters) can never carry the quotient over a
// multiple of 250. S / 4 fits 16 bits, and / 250 is a halving and three exact divisions by 5.
HWY_INLINE V16 GreyLevelAtGainOne(V16 b, V16 g, V16 r, VI16 black) {
    const D16 d;
    const DI16 di;
    V16 m = hn::ShiftRight<1>(hn::Add(GreyQuarter(b, g, r), hn::Set(d, 125)));
    for (int i = 0; i < 3; ++i) m = hn::ShiftRight<2>(hn::MulHigh(m, hn::Set(d, 52429)));
    const VI16 level = hn::Add(hn::BitCast(di, m), black);
    return hn::BitCast(d, hn::Min(hn::Max(level, hn::Zero(di)), hn::Set(di, 255)));
}

// Levels of four 32-bit quarters, clamped to 0 ... 255, as bytes in pixel order.
HWY_INLINE V8 LevelBytes(const LevelPlan32& plan, const V32 (&sums)[4]) {
    const DI32 di32;
    const DI16 di16;
    const DHI16 dhi16;
    const D8 d8;
    const DH8 dh8;
    VI32 l[4];
    for (int k = 0; k < 4; ++k) {
        l[k] = hn::Min(hn::Max(Level32(plan, sums[k]), hn::Zero(di32)), hn::Set(di32, 255));
    }
    const VI16 lo = hn::Combine(di16, hn::DemoteTo(dhi16, l[1]), hn::DemoteTo(dhi16, l[0]));
    const VI16 hi = hn::Combine(di16, hn::DemoteTo(dhi16, l[3]), hn::DemoteTo(dhi16, l[2]));
    return hn::Combine(d8, hn::DemoteTo(dh8, hi), hn::DemoteTo(dh8, lo));
}

void UnroundedGreyImpl(const RenderJob& job) {
    if (job.rect.w <= 0 || job.rect.h <= 0) return;
    const LevelFormula& f = job.level;
    const bool gainOne = f.amp == 128 && f.half == 500 && f.divisor == 1000;
    const LevelPlan32 plan = gainOne ? LevelPlan32{} : PlanLevels32(f, 255000);
    // Levels lie in 0 ... 255, so an offset beyond +-256 clamps exactly as +-256 does.
    const VI16 black =
        hn::Set(DI16(), static_cast<int16_t>(std::clamp<int64_t>(f.offset, -256, 256)));
    const D8 d8;
    const D16 d16;
    const DH8 dh8;
    const int32_t n = static_cast<int32_t>(hn::Lanes(d8));
    const int32_t blocks = gainOne || plan.valid ? job.rect.w / n : 0;
    const int32_t vectorEnd = job.rect.x0 + blocks * n;
    const bool identity = detail::ToneIdentity(job.tone);
    for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
        const uint8_t* src = job.input + size_t{job.inputStride} * y + 3 * size_t(job.rect.x0);
        uint8_t* const row = job.out + size_t{job.outStride} * y + 3 * size_t(job.rect.x0);
        uint8_t* dst = row;
        for (int32_t i = 0; i < blocks; ++i, src += 3 * size_t(n), dst += 3 * size_t(n)) {
            V8 b, g, r;
            hn::LoadInterleaved3(d8, src, b, g, r);
            if (gainOne) {
                const V8 v =
                    JoinBytes(GreyLevelAtGainOne(EvenBytes(b), EvenBytes(g), EvenBytes(r), black),
                              GreyLevelAtGainOne(OddBytes(b), OddBytes(g), OddBytes(r), black));
                hn::StoreInterleaved3(v, v, v, d8, dst);
                continue;
            }
            V32 sums[4];
            GreySums(hn::PromoteTo(d16, hn::LowerHalf(dh8, b)),
                     hn::PromoteTo(d16, hn::LowerHalf(dh8, g)),
                     hn::PromoteTo(d16, hn::LowerHalf(dh8, r)), sums[0], sums[1]);
            GreySums(hn::PromoteTo(d16, hn::UpperHalf(dh8, b)),
                     hn::PromoteTo(d16, hn::UpperHalf(dh8, g)),
                     hn::PromoteTo(d16, hn::UpperHalf(dh8, r)), sums[2], sums[3]);
            const V8 v = LevelBytes(plan, sums);
            hn::StoreInterleaved3(v, v, v, d8, dst);
        }
        if (!identity) {
            for (uint8_t* p = row; p < dst; p += 3) p[0] = p[1] = p[2] = job.tone[p[0]];
        }
        detail::UnroundedGreySpan(job, y, vectorEnd, job.rect.x0 + job.rect.w);
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {

HWY_EXPORT(UnroundedGreyImpl);

void RenderUnroundedGrey(const RenderJob& job) {
    HWY_DYNAMIC_DISPATCH(UnroundedGreyImpl)(job);
}

}  // namespace kelpa
#endif

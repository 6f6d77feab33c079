// Vector form of AddAverageHistogram (chain_kernels.h): the average frame of the
// Subtracter-Adder, each sum divided by its weight with a float reciprocal corrected by one
// exact step, counted one pixel at a time.
#include <algorithm>

#include "processing/chain_kernels.h"
#include "processing/chain_kernels_detail.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "processing/kernels_average.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
#include "processing/kernel_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

#if HWY_TARGET == HWY_SCALAR

void AverageImpl(const AverageJob& job, uint32_t* histogram) {
    for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
        detail::AverageSpan(job, y, job.rect.x0, job.rect.x0 + job.rect.w, histogram);
    }
}

#else

// ---- Average histogram ("AcRB") ----------------------------------------------------------------

// min((A + weight / 2) / weight, 255) of 32-bit lanes, exact by AverageDivider's bounds.
HWY_INLINE VI32 AverageLevel(const AverageDivider& div, V32 a) {
    const DI32 di;
    const DF32 df;
    const VI32 n =
        hn::Add(hn::BitCast(di, hn::Min(a, hn::Set(D32(), div.aClamp))), hn::Set(di, div.half));
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
                    ++histogram[(levels[3 * p] + levels[3 * p + 1] + levels[3 * p + 2] + 1) / 3];
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
        case PixelKind::kGrey:
            AverageRows<PixelKind::kGrey>(job, div, histogram);
            break;
        case PixelKind::kSummary:
            AverageRows<PixelKind::kSummary>(job, div, histogram);
            break;
        case PixelKind::kBlue:
            AverageRows<PixelKind::kBlue>(job, div, histogram);
            break;
        case PixelKind::kGreen:
            AverageRows<PixelKind::kGreen>(job, div, histogram);
            break;
        case PixelKind::kRed:
            AverageRows<PixelKind::kRed>(job, div, histogram);
            break;
        case PixelKind::kAsIs:
            AverageRows<PixelKind::kAsIs>(job, div, histogram);
            break;
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {

HWY_EXPORT(AverageImpl);

void AddAverageHistogram(const AverageJob& job, uint32_t* histogram) {
    HWY_DYNAMIC_DISPATCH(AverageImpl)(job, histogram);
}

}  // namespace kelpa
#endif

// Vector forms of the dark-frame kernels (dark_kernels.h). Subtraction is one saturating byte
// subtraction per lane, unrolled so that loads of the picture and the dark overlap; the take's
// sums widen the picture's bytes to the sum's lanes. Tails shorter than a vector are done byte
// by byte: an overlapping last vector would subtract twice.
#include "video/dark_kernels.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "video/dark_kernels.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

template <typename Sum>
void DarkAccumulatePlain(Sum* sum, const uint8_t* picture, size_t begin, size_t bytes) {
    for (size_t i = begin; i < bytes; ++i) sum[i] = static_cast<Sum>(sum[i] + picture[i]);
}

void DarkSubtractPlain(uint8_t* picture, const uint8_t* dark, size_t begin, size_t bytes) {
    for (size_t i = begin; i < bytes; ++i) {
        picture[i] = picture[i] > dark[i] ? static_cast<uint8_t>(picture[i] - dark[i]) : 0;
    }
}

#if HWY_TARGET == HWY_SCALAR

void DarkSubtractImpl(uint8_t* picture, const uint8_t* dark, size_t bytes) {
    DarkSubtractPlain(picture, dark, 0, bytes);
}
void DarkAccumulate16Impl(uint16_t* sum, const uint8_t* picture, size_t bytes) {
    DarkAccumulatePlain(sum, picture, 0, bytes);
}
void DarkAccumulate32Impl(uint32_t* sum, const uint8_t* picture, size_t bytes) {
    DarkAccumulatePlain(sum, picture, 0, bytes);
}

#else

namespace hn = hwy::HWY_NAMESPACE;

void DarkSubtractImpl(uint8_t* HWY_RESTRICT picture, const uint8_t* HWY_RESTRICT dark,
                      size_t bytes) {
    const hn::ScalableTag<uint8_t> d;
    const size_t n = hn::Lanes(d);
    size_t i = 0;
    for (; i + 4 * n <= bytes; i += 4 * n) {
        const auto a0 = hn::LoadU(d, picture + i);
        const auto a1 = hn::LoadU(d, picture + i + n);
        const auto a2 = hn::LoadU(d, picture + i + 2 * n);
        const auto a3 = hn::LoadU(d, picture + i + 3 * n);
        const auto b0 = hn::LoadU(d, dark + i);
        const auto b1 = hn::LoadU(d, dark + i + n);
        const auto b2 = hn::LoadU(d, dark + i + 2 * n);
        const auto b3 = hn::LoadU(d, dark + i + 3 * n);
        hn::StoreU(hn::SaturatedSub(a0, b0), d, picture + i);
        hn::StoreU(hn::SaturatedSub(a1, b1), d, picture + i + n);
        hn::StoreU(hn::SaturatedSub(a2, b2), d, picture + i + 2 * n);
        hn::StoreU(hn::SaturatedSub(a3, b3), d, picture + i + 3 * n);
    }
    for (; i + n <= bytes; i += n) {
        hn::StoreU(hn::SaturatedSub(hn::LoadU(d, picture + i), hn::LoadU(d, dark + i)), d,
                   picture + i);
    }
    DarkSubtractPlain(picture, dark, i, bytes);
}

template <typename Sum>
void DarkAccumulateLanes(Sum* HWY_RESTRICT sum, const uint8_t* HWY_RESTRICT picture, size_t bytes) {
    const hn::ScalableTag<Sum> ds;
    const hn::Rebind<uint8_t, decltype(ds)> d8;
    const size_t n = hn::Lanes(ds);
    size_t i = 0;
    for (; i + n <= bytes; i += n) {
        const auto v = hn::PromoteTo(ds, hn::LoadU(d8, picture + i));
        hn::StoreU(hn::Add(hn::LoadU(ds, sum + i), v), ds, sum + i);
    }
    DarkAccumulatePlain(sum, picture, i, bytes);
}

void DarkAccumulate16Impl(uint16_t* sum, const uint8_t* picture, size_t bytes) {
    DarkAccumulateLanes(sum, picture, bytes);
}
void DarkAccumulate32Impl(uint32_t* sum, const uint8_t* picture, size_t bytes) {
    DarkAccumulateLanes(sum, picture, bytes);
}

#endif

int64_t DarkTargetImpl() {
    return HWY_TARGET;
}

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {
namespace {

template <typename Sum>
void Average(uint8_t* dark, const Sum* sum, size_t bytes, uint32_t frames) {
    const uint64_t half = frames / 2;
    for (size_t i = 0; i < bytes; ++i) {
        dark[i] = static_cast<uint8_t>((sum[i] + half) / frames);
    }
}

}  // namespace

HWY_EXPORT(DarkSubtractImpl);
HWY_EXPORT(DarkAccumulate16Impl);
HWY_EXPORT(DarkAccumulate32Impl);
HWY_EXPORT(DarkTargetImpl);

void SubtractDark(uint8_t* picture, const uint8_t* dark, size_t bytes) {
    HWY_DYNAMIC_DISPATCH(DarkSubtractImpl)(picture, dark, bytes);
}

void AccumulateDark16(uint16_t* sum, const uint8_t* picture, size_t bytes) {
    HWY_DYNAMIC_DISPATCH(DarkAccumulate16Impl)(sum, picture, bytes);
}

void AccumulateDark32(uint32_t* sum, const uint8_t* picture, size_t bytes) {
    HWY_DYNAMIC_DISPATCH(DarkAccumulate32Impl)(sum, picture, bytes);
}

// Once per take, on the GUI thread: plain division is exact and fast enough.
void AverageDark16(uint8_t* dark, const uint16_t* sum, size_t bytes, uint32_t frames) {
    Average(dark, sum, bytes, frames);
}

void AverageDark32(uint8_t* dark, const uint32_t* sum, size_t bytes, uint32_t frames) {
    Average(dark, sum, bytes, frames);
}

int64_t DarkKernelTargets() {
    return HWY_TARGETS;
}

int64_t DarkKernelTarget() {
    return HWY_DYNAMIC_DISPATCH(DarkTargetImpl)();
}

}  // namespace kelpa
#endif  // HWY_ONCE

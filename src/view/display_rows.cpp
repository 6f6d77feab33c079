// Display rows with portable SIMD, compiled for every instruction set the build supports; the
// best one for the running processor is chosen at the first call.
#include "view/display_rows.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "view/display_rows.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

// Shared by every compiled target: this file is included once per instruction set.
#ifndef KELPA_VIEW_DISPLAY_ROWS_DETAIL
#define KELPA_VIEW_DISPLAY_ROWS_DETAIL
namespace kelpa {
namespace display_detail {

inline const uint8_t* SourceRow(const FrameBuffer& picture, bool bottomUp, int32_t row) {
    const int32_t stored = bottomUp ? picture.height - 1 - row : row;
    return picture.data + size_t{picture.stride} * static_cast<size_t>(stored);
}

inline uint32_t DisplayWord(const uint8_t* bgr) {
    return 0xff000000u | uint32_t{bgr[2]} << 16 | uint32_t{bgr[1]} << 8 | bgr[0];
}

}  // namespace display_detail
}  // namespace kelpa
#endif  // KELPA_VIEW_DISPLAY_ROWS_DETAIL

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

void ToDisplayRowsImpl(const FrameBuffer& picture, bool bottomUp, uint32_t* out, size_t outStride) {
    const hn::ScalableTag<uint8_t> d8;
    const size_t lanes = hn::Lanes(d8);
    const auto opaque = hn::Set(d8, 0xff);
    const size_t width = static_cast<size_t>(picture.width);
    for (int32_t row = 0; row < picture.height; ++row) {
        const uint8_t* src = display_detail::SourceRow(picture, bottomUp, row);
        uint32_t* dst = out + outStride * static_cast<size_t>(row);
        uint8_t* dstBytes = reinterpret_cast<uint8_t*>(dst);
        size_t x = 0;
        for (; x + lanes <= width; x += lanes) {
            hn::Vec<decltype(d8)> blue, green, red;
            hn::LoadInterleaved3(d8, src + 3 * x, blue, green, red);
            hn::StoreInterleaved4(blue, green, red, opaque, d8, dstBytes + 4 * x);
        }
        for (; x < width; ++x) dst[x] = display_detail::DisplayWord(src + 3 * x);
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {

HWY_EXPORT(ToDisplayRowsImpl);

void ToDisplayRows(const FrameBuffer& picture, bool bottomUp, uint32_t* out, size_t outStride) {
    if (!picture.data || picture.width <= 0 || picture.height <= 0) return;
    HWY_DYNAMIC_DISPATCH(ToDisplayRowsImpl)(picture, bottomUp, out, outStride);
}

namespace reference {

void ToDisplayRows(const FrameBuffer& picture, bool bottomUp, uint32_t* out, size_t outStride) {
    if (!picture.data || picture.width <= 0 || picture.height <= 0) return;
    for (int32_t row = 0; row < picture.height; ++row) {
        const uint8_t* src = display_detail::SourceRow(picture, bottomUp, row);
        uint32_t* dst = out + outStride * static_cast<size_t>(row);
        for (int32_t x = 0; x < picture.width; ++x)
            dst[x] = display_detail::DisplayWord(src + 3 * x);
    }
}

}  // namespace reference
}  // namespace kelpa
#endif  // HWY_ONCE

// The smoothing stretch of the processed window: a picture scaled to the window's size with
// every output pixel the weighted average of the picture pixels it covers (an area average when
// shrinking, so that a one-pixel star never drops out between output pixels; a linear blend
// between neighbours when enlarging). Separable: the rows an output row covers are blended
// first, then the columns, both with portable SIMD. Tables and work rows are kept while the
// sizes stay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/frame_buffer.h"

namespace kelpa {

// The taps of one axis: for each output pixel the first source pixel and the weights of the
// following ones, in units of 1/kScaleUnit, summing to kScaleUnit. Eight bits keep a blended
// byte within 16 bits; the rounding stays within one level.
inline constexpr int32_t kScaleUnitBits = 8;
inline constexpr int32_t kScaleUnit = 1 << kScaleUnitBits;

struct ScaleTaps {
    int32_t source = 0;
    int32_t size = 0;
    int32_t most = 1;            // the largest number of taps of an output pixel
    std::vector<int32_t> first;  // per output pixel
    std::vector<int32_t> count;  // per output pixel
    // Tap k of output pixel i at [k * size + i], for k < most; taps past an output pixel's count
    // weigh 0 and point at a pixel inside the picture.
    std::vector<uint32_t> weights;
    std::vector<int32_t> byteOffsets;  // 3 x the source pixel of the tap
};

// The taps for `source` pixels shown as `size`; kept when both are unchanged.
void MakeScaleTaps(int32_t source, int32_t size, ScaleTaps& taps);

class SmoothScaler {
  public:
    // `picture`: 24-bit blue-green-red rows (bottom row first when `bottomUp`); `out` receives
    // outHeight rows of outWidth words 0xffRRGGBB, `outStride` words apart, top row first.
    void Scale(const FrameBuffer& picture, bool bottomUp, uint32_t* out, int32_t outWidth,
               int32_t outHeight, size_t outStride);

  private:
    ScaleTaps across_;
    ScaleTaps down_;
    std::vector<uint8_t> row_;  // one blended row, with spare bytes past its end
};

}  // namespace kelpa

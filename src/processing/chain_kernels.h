// The vector kernels of the hot stages: accumulate and render, histograms, guide-star moments and
// banding sums and corrections. Each is written once with portable SIMD, compiled for every
// instruction set the build supports, and the best one for the running processor is chosen at
// the first call. Results equal the plain formulas bit for bit: each kernel falls back to them
// for row tails and for parameters its lanes cannot hold exactly.
//
// Rectangles are in frame coordinates and must lie inside the pictures they address.
#pragma once

#include <cstddef>
#include <cstdint>

#include "processing/level_plan.h"

namespace kelpa {

// A picture to read levels from: the processed picture (3 bytes a pixel) or the engine's grey
// work plane (1 byte a pixel). `data` addresses the pixel (originX, originY).
struct PixelView {
    const uint8_t* data = nullptr;
    uint32_t stride = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t bytesPerPixel = 3;  // 1 or 3
    bool colour = false;        // a pixel's value is B + G + R; else its first byte

    const uint8_t* At(int32_t x, int32_t y) const {
        return data + static_cast<size_t>(y - originY) * stride +
               static_cast<size_t>(x - originX) * static_cast<size_t>(bytesPerPixel);
    }
};

struct Rect {
    int32_t x0 = 0;
    int32_t y0 = 0;
    int32_t w = 0;
    int32_t h = 0;
};

enum class PixelKind : uint8_t { kGrey, kSummary, kBlue, kGreen, kRed, kAsIs };

// Where the sums A of a render come from.
enum class SumSource : uint8_t {
    kAccumulate,   // A = (first ? 0 : acc) + value(input); stored back when writeAcc
    kAccumulator,  // A = acc
    kInput,        // A = value(input): a sum of one frame that was never stored
};

// What an output stage records for the automatic control.
struct OutputPeaks {
    uint32_t maxSum = 0;
    uint64_t saturated = 0;  // levels above 255 (words, not pixels)
    int32_t maxOutput = 0;   // largest table output of the levels 1 ... 254
};

struct RenderJob {
    PixelKind kind = PixelKind::kGrey;
    SumSource source = SumSource::kAccumulator;
    bool first = false;
    bool writeAcc = false;
    Rect rect;
    const uint8_t* input = nullptr;  // frame picture, 3 bytes a pixel
    uint32_t inputStride = 0;
    uint32_t* acc = nullptr;  // frame-sized accumulator
    uint32_t accRowWords = 0;
    // Output, or nothing for a plain accumulation. A grey processor writes its level to every
    // byte of an output pixel of `outBytesPerPixel` bytes; As Is writes its three channels.
    uint8_t* out = nullptr;
    uint32_t outStride = 0;
    int32_t outBytesPerPixel = 3;
    int32_t outOriginX = 0;
    int32_t outOriginY = 0;
    LevelFormula level;
    const uint8_t* tone = nullptr;  // 256 bytes; entry 0 is 0 and entry 255 is 255
    OutputPeaks* peaks = nullptr;
    // Called after every few rows [y0, y1) are done, while they are still in the cache.
    void (*rowsDone)(void* context, int32_t y0, int32_t y1) = nullptr;
    void* rowsContext = nullptr;
};

// Accumulates and/or renders the rectangle.
void RenderRect(const RenderJob& job);

// Renders the input of the rectangle with the grey formula outside the area, which reads the grey
// sum before its division by 100: L = LevelOf(level, 114 B + 587 G + 299 R) through the tone
// table, to all three bytes of each output pixel (3 bytes a pixel, at the input's coordinates).
// Uses rect, input, inputStride, out, outStride, level and tone.
void RenderUnroundedGrey(const RenderJob& job);

// Adds the average frame of the rectangle to a histogram: min((A + weight / 2) / weight, 255),
// one count per pixel (As Is: (sum of its three channel averages + 1) / 3). Rounded, not
// truncated: the Subtracter-Adder takes this background off every frame but one, so a bias of
// half a level would lift its background by half a level per frame.
struct AverageJob {
    PixelKind kind = PixelKind::kGrey;
    SumSource source = SumSource::kAccumulator;  // kAccumulator or kInput
    Rect rect;
    const uint8_t* input = nullptr;
    uint32_t inputStride = 0;
    const uint32_t* acc = nullptr;
    uint32_t accRowWords = 0;
    int64_t weight = 1;
};
void AddAverageHistogram(const AverageJob& job, uint32_t* histogram);

// Adds the levels of the rectangle to a histogram: the first byte for grey, (B + G + R + 1) / 3
// for colour. rowMax (optional) receives each row's largest value (B + G + R for colour).
// With `pairs` (kPairTableSize words, zeroed before the first call) most counts go into that
// table of level pairs, which is faster; FoldPairs then adds it to the histogram and zeroes it.
inline constexpr size_t kPairTableSize = 65536;
void AddHistogram(const PixelView& view, const Rect& rect, uint32_t* histogram, uint16_t* rowMax,
                  uint32_t* pairs = nullptr);
void FoldPairs(uint32_t* pairs, uint32_t* histogram);

// Guide-star moments: for every pixel whose value v exceeds `level` (colour: B + G + R over
// 3 * level), the weight v - level and its products with the column and row inside the rect.
// Rows whose rowMax (optional, from AddHistogram) does not exceed the level are skipped.
struct GuideMoments {
    int64_t sumW = 0;
    int64_t sumX = 0;
    int64_t sumY = 0;
};
GuideMoments SumGuide(const PixelView& view, const Rect& rect, int32_t level,
                      const uint16_t* rowMax);

namespace scalar {
// The guide moments pixel by pixel (the reference of the vector version).
GuideMoments SumGuide(const PixelView& view, const Rect& rect, int32_t level);
}  // namespace scalar

// Banding sums of each row or column of the rectangle, every value cut at `clip` (colour: B + G
// + R at 3 * clip; 0: not cut). The column sums can first take each row's correction off
// (clamp(p - rowCorrection[row], 0, 255) per byte), as the horizontal stage would have.
void ClippedRowSums(const PixelView& view, const Rect& rect, int32_t clip, uint32_t* sums);
void ClippedColumnSums(const PixelView& view, const Rect& rect, int32_t clip,
                       const int16_t* rowCorrection, uint32_t* sums);

// Writes clamp(clamp(p - rowCorrection, 0, 255) - columnCorrection, 0, 255) into the picture.
// Grey: p is the first byte of the source pixel and the result goes to all three bytes; with
// skipZeroRows a row whose correction is 0 and that has no column correction is left alone.
// Colour: every byte on its own. `source` may be the picture itself.
struct CorrectionJob {
    PixelView source;
    uint8_t* out = nullptr;  // the picture at (0, 0), 3 bytes a pixel
    uint32_t outStride = 0;
    Rect rect;
    const int16_t* rowCorrection = nullptr;     // per rect row, or none
    const int16_t* columnCorrection = nullptr;  // per rect column, or none
    bool skipZeroRows = false;
};
void ApplyCorrections(const CorrectionJob& job);

}  // namespace kelpa

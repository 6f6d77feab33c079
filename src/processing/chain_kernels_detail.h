// Plain per-pixel forms of the kernels: the vector code uses them for row tails and for
// parameters its lanes cannot hold, so every path gives the same bytes.
#pragma once

#include <algorithm>
#include <cstdint>

#include "processing/chain_kernels.h"

namespace kelpa::detail {

constexpr int32_t WordsOf(PixelKind kind) {
    return kind == PixelKind::kAsIs ? 3 : 1;
}

// What one input pixel adds to its accumulator word (grey kinds).
inline uint32_t ValueOf(PixelKind kind, const uint8_t* p) {
    switch (kind) {
        case PixelKind::kGrey:
            return (114u * p[0] + 587u * p[1] + 299u * p[2]) / 100u;
        case PixelKind::kSummary:
            return uint32_t{p[0]} + p[1] + p[2];
        case PixelKind::kBlue:
            return p[0];
        case PixelKind::kGreen:
            return p[1];
        case PixelKind::kRed:
            return p[2];
        case PixelKind::kAsIs:
            break;
    }
    return p[0];
}

// The largest word one frame can add.
constexpr uint32_t MaxValueOf(PixelKind kind) {
    return kind == PixelKind::kGrey ? 2550u : kind == PixelKind::kSummary ? 765u : 255u;
}

inline uint8_t ToneOf(const uint8_t* tone, int64_t level) {
    if (level >= 255) return 255;
    if (level <= 0) return 0;
    return tone[level];
}

// One accumulator word through the output formula, with its share of the peaks.
inline uint8_t RenderWord(const RenderJob& job, uint32_t a, OutputPeaks* peaks) {
    const int64_t level = LevelOf(job.level, a);
    const uint8_t v = ToneOf(job.tone, level);
    if (peaks) {
        peaks->maxSum = std::max(peaks->maxSum, a);
        if (level > 255) {
            ++peaks->saturated;
        } else if (level >= 1 && level <= 254) {
            peaks->maxOutput = std::max<int32_t>(peaks->maxOutput, v);
        }
    }
    return v;
}

// Pixels [xBegin, xEnd) of row y, one at a time.
void RenderSpan(const RenderJob& job, int32_t y, int32_t xBegin, int32_t xEnd, OutputPeaks* peaks);
void RenderRectPlain(const RenderJob& job);
// RenderUnroundedGrey for pixels [xBegin, xEnd) of row y, one at a time.
void UnroundedGreySpan(const RenderJob& job, int32_t y, int32_t xBegin, int32_t xEnd);

// min(A / weight, 255) histogram of pixels [xBegin, xEnd) of row y.
void AverageSpan(const AverageJob& job, int32_t y, int32_t xBegin, int32_t xEnd,
                 uint32_t* histogram);

// The level of a view pixel: the first byte, or B + G + R for colour.
inline uint32_t ViewValue(const PixelView& view, const uint8_t* p) {
    return view.colour ? uint32_t{p[0]} + p[1] + p[2] : uint32_t{p[0]};
}
inline uint32_t HistogramBin(const PixelView& view, const uint8_t* p) {
    return view.colour ? (uint32_t{p[0]} + p[1] + p[2] + 1) / 3 : uint32_t{p[0]};
}

// True when no entry of levels 1 ... 254 is below the one before (then the largest output of a
// set of levels is the output of the largest level).
bool ToneMonotone(const uint8_t* tone);
bool ToneIdentity(const uint8_t* tone);

}  // namespace kelpa::detail

// Histogram statistics of the processing area: lowest and highest level, mean and RMS, and the
// background level with its own RMS found by iterative clipping.
#pragma once

#include <cstdint>

#include "image/frame_buffer.h"

namespace kelpa {

inline constexpr int32_t kHistogramBins = 256;

struct AreaStatistics {
    int32_t histMin = 255;
    int32_t histMax = 0;
    float mean = 0.0f;
    float rms = 0.0f;
    float bkgr = 0.0f;
    float bkgrRms = 0.0f;
};

// `pixelCount` is the number of pixels the histogram was built from; 0 gives all zeros.
AreaStatistics ComputeStatistics(const uint32_t (&histogram)[kHistogramBins], uint32_t pixelCount);

// Counts the window's pixels of a picture: the first byte of each pixel for a grey processor,
// (B + G + R + 1) / 3 for the colour one. The window is cut to the picture.
void BuildHistogram(const FrameBuffer& picture, int32_t left, int32_t top, int32_t width,
                    int32_t height, bool colour, uint32_t (&histogram)[kHistogramBins]);

namespace scalar {
// The same, one pixel at a time (the reference of the vector version).
void BuildHistogram(const FrameBuffer& picture, int32_t left, int32_t top, int32_t width,
                    int32_t height, bool colour, uint32_t (&histogram)[kHistogramBins]);
}  // namespace scalar

}  // namespace kelpa

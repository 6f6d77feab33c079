// Banding noise reduction: whole rows or columns of the processed area lifted or lowered by a
// common offset are flattened. Bright objects are kept out of the estimate by a threshold of
// rms-factor x RMS above the mean.
//
// The stages of the registry run the vector kernels; the `scalar` namespace holds the same
// stages pixel by pixel, the reference of the tests.
#pragma once

#include <cstdint>

#include "processing/chain_kernels.h"

namespace kelpa {

class ProcEngine;

// T = round(factor x rms + mean), half away from zero (0, which does nothing, when the inputs
// are not numbers).
int32_t BandingThreshold(float factor, float rms, float mean);

// a / b rounded toward minus infinity, b > 0.
constexpr int64_t FloorDivide(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

void BandingGreyH(ProcEngine& e);
void BandingGreyV(ProcEngine& e);
void BandingColourH(ProcEngine& e);
void BandingColourV(ProcEngine& e);

// The corrections of the horizontal stage for the rows of `rect` (sums: rect.h words of work
// space), and of the vertical stage for its columns after the row corrections (which may be
// null); false when the threshold makes the stage do nothing.
bool RowCorrections(const PixelView& view, const Rect& rect, int32_t threshold, uint32_t* sums,
                    int16_t* corrections);
bool ColumnCorrections(const PixelView& view, const Rect& rect, int32_t threshold,
                       const int16_t* rowCorrections, uint32_t* sums, int16_t* corrections);

namespace scalar {
void BandingGreyH(ProcEngine& e);
void BandingGreyV(ProcEngine& e);
void BandingColourH(ProcEngine& e);
void BandingColourV(ProcEngine& e);
}  // namespace scalar

}  // namespace kelpa

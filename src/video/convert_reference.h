// Plain scalar versions of every converter, written step by step after the conversion rules
// (the planar ones spread and then colour through the clamping table; the 4:2:2 ones use the
// 16-bit fixed-point arithmetic with saturation). They are the truth that the fast converters
// are tested and measured against; the frame path never calls them.
#pragma once

#include <cstdint>

#include "video/convert.h"

namespace kelpa::reference {

// Same contracts as the converters of the same name in convert.h. The planar ones need the
// clamping table (InitClipTable) and convert nothing without it.
void CopyRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void Rgb32ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void Yuy2ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void UyvyToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void I420ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void Yv12ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);

// One row of Rgb32ToRgb24: `width` pixels of 4 bytes to 3 bytes each.
void Rgb32RowToRgb24(uint8_t* dst, const uint8_t* src, int32_t width);

}  // namespace kelpa::reference

// Which instruction sets the vectorised converters were built for and which one a converter
// runs on: for the speed benchmarks and for the tests that check every instruction set.
#pragma once

#include <cstdint>

#include "video/convert.h"

namespace kelpa {

// The Highway targets (HWY_AVX2, HWY_AVX3_DL, ...) the converters were compiled for, as bits.
int64_t ConverterTargets();

// The Highway target the converter would run on if called now (it follows
// hwy::SetSupportedTargetsForTest); 0 for NoConvert, which has no vector code.
int64_t ConverterTarget(Converter convert);

}  // namespace kelpa

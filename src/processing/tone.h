// Gamma curve and tone tables: amplification and black level are applied inline by the stages;
// gamma is applied through a 256-entry table of 4-byte entries (only the first byte is used).
#pragma once

#include <cstdint>

namespace kelpa {

inline constexpr int32_t kToneEntries = 256;

// The curve parameter for a gamma setting v (128 = 1.0, up to 6.0 at 256, down toward 0 at 1).
double GammaFactor(int32_t v);
// Fills entries 1 ... 254 of one table for the factor g; entries 0 and 255 are fixed.
void BuildToneTable(uint32_t* table, double g);

}  // namespace kelpa

// Exact integer arithmetic of the output stages, and the constants that let vector lanes of 16 or
// 32 bits reproduce it bit for bit.
//
// Every output stage turns an accumulator word A into a level
//     L = ((A * amp >> 7) + half) / divisor + offset          (`/` truncating, `>>` arithmetic)
// ("Accm": half = weight / 2, divisor = weight, offset = blackLevel; "AcRB": half = 0, divisor =
// the per-frame divisor, offset = the black offset). Only L inside 0 ... 256 matters exactly: below
// 0 it shows as 0 and above 255 it shows as 255 and counts as saturated. So for amp >= 0 the
// numerator n may be cut to nCap = max(256 - offset, 0) * divisor, and A to the first word that
// reaches nCap, without changing any visible result. That bounds the numbers enough for narrow
// lanes; the division by the runtime divisor is then a multiplication by a reciprocal whose
// exactness over the whole bounded range is checked here, before a plan is marked valid.
#pragma once

#include <cstdint>

namespace kelpa {

struct LevelFormula {
    int64_t amp = 128;
    int64_t half = 0;
    int64_t divisor = 1;  // at least 1
    int64_t offset = 0;
};

// The level of one accumulator word, exactly as the formula is written (64-bit, any amp).
inline int64_t LevelOf(const LevelFormula& f, int64_t a) {
    return ((a * f.amp >> 7) + f.half) / f.divisor + f.offset;
}

// Unsigned 16-bit lanes: A' = min(A, aClamp); t = A' * amp >> 7 computed as
// mulhi(A' << shiftA, ampMul) (or A' when amp is 128); n = min(t + half, nClamp);
// q = n / divisor as n, n >> divShift or mulhi(n, divMul) >> divShift; L = q + offset (signed).
struct LevelPlan16 {
    enum class Divide : uint8_t { kNone, kShift, kMultiply };
    bool valid = false;
    bool ampIs128 = false;
    uint16_t aClamp = 0;
    int32_t shiftA = 0;
    uint16_t ampMul = 0;
    uint16_t half = 0;
    uint16_t nClamp = 0;
    Divide divide = Divide::kNone;
    uint16_t divMul = 0;
    int32_t divShift = 0;
    int32_t divisor = 1;
    int16_t offset = 0;
    // Neither clamp can bite, the offset is 0 and no level can pass 255: the plan reduces to
    // t, n and q (the default settings with a sum of one frame).
    bool simple = false;
};

// Signed 32-bit lanes: A' = min(A, aClamp); t = A' * amp >> 7; n = min(t + half, nClamp);
// q = trunc(float(n) * recip) corrected by one step with an exact remainder; L = q + offset.
struct LevelPlan32 {
    bool valid = false;
    uint32_t aClamp = 0;
    int32_t amp = 0;
    int32_t half = 0;
    int32_t nClamp = 0;
    int32_t divisor = 1;
    float recip = 1.0f;
    int32_t offset = 0;
};

// `maxSum` bounds the words that can occur (UINT32_MAX when nothing better is known).
LevelPlan16 PlanLevels16(const LevelFormula& f, uint64_t maxSum);
LevelPlan32 PlanLevels32(const LevelFormula& f, uint64_t maxSum);

// Lane-exact evaluation of a plan in plain integers, the model the vector code follows; the
// tests prove it equal to LevelOf over whole input ranges. The result is L, or for n cut at
// nCap the level 256 (or the offset when that is already above 255).
int32_t EvaluatePlan16(const LevelPlan16& p, uint32_t a);
int32_t EvaluatePlan32(const LevelPlan32& p, uint32_t a);

// A sum divided by its accumulated weight to the nearest level, clamped to 255 (the "AcRB"
// average frame): min((a + weight / 2) / weight, 255) as (min(a, aClamp) + half) times a float
// reciprocal, corrected by one step.
struct AverageDivider {
    bool valid = false;   // 255 * weight fits the exact float range
    uint32_t aClamp = 0;  // 255 * weight - half: the first sum that averages to 255
    int32_t half = 0;
    int32_t divisor = 1;
    float recip = 1.0f;
};
AverageDivider PlanAverage(int64_t weight);

}  // namespace kelpa

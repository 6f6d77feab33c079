// The lane plans of the output formula against the formula itself, over whole input ranges:
// every accumulator word a plan can see (16-bit plans), and every numerator of the float
// reciprocal's exact range (32-bit plans; other formulas through the kernels' test).
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "processing/level_plan.h"

namespace kelpa {
namespace {

// A plan agrees with the formula when every level up to 255 comes out equal and every level
// above 255 comes out above 255.
void ExpectAgrees(const LevelFormula& f, const LevelPlan16& p, uint32_t a) {
    const int64_t want = LevelOf(f, a);
    const int32_t got = EvaluatePlan16(p, a);
    if (want <= 255 ? got != want : got <= 255) {
        FAIL() << "A " << a << " gave " << got << " for " << want << ": amp " << f.amp << " half "
               << f.half << " divisor " << f.divisor << " offset " << f.offset;
    }
}

TEST(LevelPlanTest, SixteenBitPlansMatchEveryWord) {
    int valid = 0;
    for (int64_t amp : {0, 1, 3, 64, 100, 127, 128, 129, 200, 256, 511, 1000, 2047, 5000}) {
        for (int64_t d : {1, 2, 3, 4, 7, 10, 20, 30, 40, 64, 100, 127, 255, 300, 1290}) {
            for (int64_t half : {int64_t{0}, d / 2}) {
                for (int64_t offset : {0, -1, -30, 200, 255, 300, -700}) {
                    for (uint64_t bound : {255ull, 2550ull, 65535ull, 0xFFFFFFFFull}) {
                        const LevelFormula f{amp, half, d, offset};
                        const LevelPlan16 p = PlanLevels16(f, bound);
                        if (!p.valid) continue;
                        ++valid;
                        // Every word the plan distinguishes, and beyond it the clamp.
                        const uint64_t last = std::min<uint64_t>(bound, uint64_t{p.aClamp} + 300);
                        for (uint64_t a = 0; a <= last; ++a) {
                            ExpectAgrees(f, p, static_cast<uint32_t>(a));
                        }
                        if (bound > 65535) {
                            for (uint32_t a : {100000u, 1u << 24, 0xFFFFFFFFu}) {
                                ExpectAgrees(f, p, a);
                            }
                        }
                        if (HasFatalFailure()) return;
                    }
                }
            }
        }
    }
    EXPECT_GT(valid, 1000);  // the grid exercises the plans, not only the refusals
}

// The float reciprocal with its one correction step divides every numerator below 2^24
// exactly: a plan is made whose cut lies just below 2^24. A quotient off by one either way shows
// next to a multiple of the divisor, so each multiple and the numerator below it are checked.
TEST(LevelPlanTest, ReciprocalDivisionIsExactOverItsWholeRange) {
    // The float reciprocals of 25, 100, 1290 and 65535 round down, those of 5 and 10 up.
    for (int64_t d : {4, 5, 10, 25, 100, 1290, 65535, 999983}) {
        const int64_t quotients = ((int64_t{1} << 24) - 1) / d;
        const LevelFormula f{128, 0, d, 256 - quotients};
        const LevelPlan32 p = PlanLevels32(f, std::numeric_limits<uint32_t>::max());
        ASSERT_TRUE(p.valid) << d;
        ASSERT_GE(p.nClamp, quotients * d);
        for (int64_t a = 0; a <= quotients * d; a += (a % d == d - 1 ? 1 : d - 1)) {
            const int32_t got = EvaluatePlan32(p, static_cast<uint32_t>(a));
            const int64_t want = a / d + f.offset;
            if (got != want) FAIL() << "divisor " << d << " numerator " << a << " gave " << got;
        }
    }
}

// Beyond its limit the float reciprocal is no longer exact, and the kernels must count the
// plain way; a weight of 0 divides by nothing.
TEST(LevelPlanTest, AverageDividerStopsAtItsLimit) {
    EXPECT_TRUE(PlanAverage(65793).valid);
    EXPECT_FALSE(PlanAverage(65794).valid);
    EXPECT_FALSE(PlanAverage(0).valid);
}

}  // namespace
}  // namespace kelpa

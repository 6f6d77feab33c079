// The HFD history of the statistic window's focusing plot: the ring of time slots, their means
// and gaps, and the y axis chosen for them.
#include "view/hfd_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

namespace kelpa {
namespace {

// A measurement a little after the start of slot `slot`.
void AddInSlot(HfdHistory& history, int64_t slot, bool valid, float hfd) {
    history.Add(static_cast<double>(slot) * kHfdSlotSeconds + 0.1 * kHfdSlotSeconds, valid, hfd);
}

TEST(HfdHistoryTest, RingKeepsTheNewestSlotsInOrder) {
    HfdHistory history;
    constexpr int64_t kExtra = 25;
    for (int64_t i = 0; i < static_cast<int64_t>(kHfdSlotCount) + kExtra; ++i) {
        AddInSlot(history, i, true, static_cast<float>(i));
        ASSERT_EQ(history.Size(), std::min<size_t>(static_cast<size_t>(i) + 1, kHfdSlotCount));
    }
    for (size_t k = 0; k < history.Size(); ++k) {
        const HfdSample sample = history.At(k);
        ASSERT_EQ(sample.slot, kExtra + static_cast<int64_t>(k));
        ASSERT_TRUE(sample.valid);
        ASSERT_FLOAT_EQ(sample.hfd, static_cast<float>(kExtra + static_cast<int64_t>(k)));
    }
    EXPECT_EQ(history.FirstInSpan(), 0u);
    history.Clear();
    EXPECT_EQ(history.Size(), 0u);
    AddInSlot(history, 3, true, 1.5f);
    ASSERT_EQ(history.Size(), 1u);
    EXPECT_EQ(history.At(0).slot, 3);
}

// Measurements in one slot give their mean; measurements without a star do not count, and a
// slot that has only those is a gap.
TEST(HfdHistoryTest, SlotsHoldTheMeanOfTheirValidMeasurements) {
    HfdHistory history;
    const double t = 10.0;
    history.Add(t, true, 2.0f);
    history.Add(t + 0.1 * kHfdSlotSeconds, false, 100.0f);
    history.Add(t + 0.2 * kHfdSlotSeconds, true, 4.0f);
    history.Add(t + 0.3 * kHfdSlotSeconds, true, std::numeric_limits<float>::quiet_NaN());
    history.Add(t + kHfdSlotSeconds, false, 3.0f);
    history.Add(t + 2.0 * kHfdSlotSeconds, false, 0.0f);
    history.Add(t + 2.5 * kHfdSlotSeconds, true, 5.0f);
    ASSERT_EQ(history.Size(), 3u);
    EXPECT_TRUE(history.At(0).valid);
    EXPECT_FLOAT_EQ(history.At(0).hfd, 3.0f);
    EXPECT_FALSE(history.At(1).valid);
    EXPECT_TRUE(history.At(2).valid);  // the first measurement had no star, the second had
    EXPECT_FLOAT_EQ(history.At(2).hfd, 5.0f);
    EXPECT_EQ(history.At(1).slot, history.At(0).slot + 1);
}

TEST(HfdHistoryTest, TimeGoingBackStartsAgainAndNonTimesAreIgnored) {
    HfdHistory history;
    AddInSlot(history, 100, true, 2.0f);
    AddInSlot(history, 101, true, 2.0f);
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(), -1e300, 1e300}) {
        history.Add(bad, true, 9.0f);
    }
    ASSERT_EQ(history.Size(), 2u);
    EXPECT_FLOAT_EQ(history.At(1).hfd, 2.0f);
    AddInSlot(history, 7, true, 4.0f);  // the file started again
    ASSERT_EQ(history.Size(), 1u);
    EXPECT_EQ(history.At(0).slot, 7);
}

// The curve joins neighbouring valid slots, also a few seconds apart (long exposures), but not
// across a gap, nor across a long pause.
TEST(HfdHistoryTest, CurveBreaksAtGapsAndPauses) {
    const int64_t perSecond = static_cast<int64_t>(std::lround(1.0 / kHfdSlotSeconds));
    HfdHistory history;
    const struct {
        int64_t slot;
        bool valid;
        bool joins;
    } steps[] = {
        {0, true, false},
        {1, true, true},
        {1 + 5 * perSecond, true, true},  // five seconds later
        {2 + 5 * perSecond, false, false},
        {3 + 5 * perSecond, true, false},   // after the gap
        {3 + 25 * perSecond, true, false},  // twenty seconds later
        {4 + 25 * perSecond, true, true},
    };
    for (const auto& s : steps) AddInSlot(history, s.slot, s.valid, 2.0f);
    ASSERT_EQ(history.Size(), std::size(steps));
    for (size_t i = 0; i < history.Size(); ++i) {
        EXPECT_EQ(history.JoinsPrevious(i), steps[i].joins) << i;
    }
    EXPECT_FALSE(history.JoinsPrevious(history.Size()));
}

TEST(HfdHistoryTest, SpanEndsAtTheNewestSlot) {
    HfdHistory history;
    AddInSlot(history, 0, true, 9.0f);
    AddInSlot(history, 1, true, 9.0f);
    const int64_t newest = static_cast<int64_t>(kHfdSlotCount);
    AddInSlot(history, newest - 1, true, 2.0f);
    AddInSlot(history, newest, true, 3.0f);
    // Slot 1 is the oldest of the span's kHfdSlotCount slots; slot 0 is older.
    EXPECT_EQ(history.FirstInSpan(), 1u);
    const HfdScale scale = ScaleHfd(history);
    EXPECT_GE(scale.high, 9.0f);
    AddInSlot(history, newest + 1, true, 3.0f);
    EXPECT_EQ(history.FirstInSpan(), 2u);
    EXPECT_LT(ScaleHfd(history).high, 9.0f);  // the old values no longer stretch the axis
}

struct ScaleCase {
    std::vector<float> values;
    float low;
    float high;
    int32_t steps;
    int32_t decimals;
};

// The axis runs between round numbers that hold every value, in 2 to 6 round steps.
TEST(HfdScaleTest, AxisHoldsTheValuesBetweenRoundNumbers) {
    const ScaleCase cases[] = {
        {{1.8f, 4.3f, 2.0f}, 1.0f, 5.0f, 4, 0},
        {{2.9f, 3.1f}, 2.6f, 3.4f, 4, 1},  // stretched to half a pixel
        {{3.0f}, 2.6f, 3.4f, 4, 1},
        {{0.1f, 0.2f}, 0.0f, 0.6f, 3, 1},  // never below 0
        {{2.0f, 4.0f}, 2.0f, 4.0f, 4, 1},  // round values are the ends
        {{12.0f, 31.0f}, 10.0f, 35.0f, 5, 0},
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.values));
        HfdHistory history;
        int64_t slot = 0;
        for (const float v : c.values) {
            AddInSlot(history, slot++, true, v);
            AddInSlot(history, slot++, false, 50.0f);  // gaps do not count
        }
        const HfdScale scale = ScaleHfd(history);
        ASSERT_TRUE(scale.any);
        EXPECT_NEAR(scale.low, c.low, 1e-5);
        EXPECT_NEAR(scale.high, c.high, 1e-5);
        EXPECT_EQ(scale.steps, c.steps);
        EXPECT_NEAR(scale.low + scale.steps * scale.step, scale.high, 1e-4);
        EXPECT_EQ(scale.decimals, c.decimals);
        for (const float v : c.values) {
            EXPECT_LE(scale.low, v);
            EXPECT_GE(scale.high, v);
        }
    }
    HfdHistory gaps;
    AddInSlot(gaps, 0, false, 3.0f);
    EXPECT_FALSE(ScaleHfd(gaps).any);
    EXPECT_FALSE(ScaleHfd(HfdHistory{}).any);
}

}  // namespace
}  // namespace kelpa

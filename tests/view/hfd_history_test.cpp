// The HFD history of the statistic window's focusing plot: the ring of time slots, their means
// and gaps.
#include "view/hfd_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

namespace kelpa {
namespace {

// A measurement a little after the start of slot `slot`.
void AddInSlot(HfdHistory& history, int64_t slot, bool valid, float hfd) {
    history.Add(static_cast<double>(slot) * kHfdSlotSeconds + 0.1 * kHfdSlotSeconds, valid, hfd);
}

// The ring keeps the newest kHfdSlotCount slots in order; the span ends at the newest slot, and
// values that have left it no longer stretch the axis.
TEST(HfdHistoryTest, RingKeepsTheNewestSlotsInOrder) {
    HfdHistory history;
    constexpr int64_t kExtra = 25;
    const int64_t count = static_cast<int64_t>(kHfdSlotCount);
    for (int64_t i = 0; i < count + kExtra; ++i) {
        AddInSlot(history, i, true, i == kExtra + 1 ? 900.0f : static_cast<float>(i % 7));
        ASSERT_EQ(history.Size(), std::min<size_t>(static_cast<size_t>(i) + 1, kHfdSlotCount));
    }
    for (size_t k = 0; k < history.Size(); ++k) {
        ASSERT_EQ(history.At(k).slot, kExtra + static_cast<int64_t>(k));
        ASSERT_TRUE(history.At(k).valid);
    }
    EXPECT_EQ(std::pair(history.At(1).hfd, history.FirstInSpan()), std::pair(900.0f, size_t{0}));
    EXPECT_GE(ScaleHfd(history).high, 900.0f);
    // A slot skipped: the oldest kept slot falls out of the span before it leaves the ring.
    AddInSlot(history, count + kExtra + 1, true, 3.0f);
    EXPECT_EQ(std::pair(history.FirstInSpan(), ScaleHfd(history).high < 900.0f),
              std::pair(size_t{1}, true));
}

// Measurements in one slot give their mean; measurements without a star do not count, and a
// slot that has only those is a gap. Time going back starts again; non-times are ignored.
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
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(), -1e300, 1e300}) {
        history.Add(bad, true, 9.0f);
    }
    ASSERT_EQ(history.Size(), 3u);
    EXPECT_EQ(
        std::tuple(history.At(0).valid, history.At(0).hfd, history.At(1).valid,
                   history.At(1).slot - history.At(0).slot, history.At(2).valid, history.At(2).hfd),
        std::tuple(true, 3.0f, false, 1, true, 5.0f));
    AddInSlot(history, 7, true, 4.0f);  // the file started again
    EXPECT_EQ(std::pair(history.Size(), history.At(0).slot), std::pair(size_t{1}, int64_t{7}));
}

}  // namespace
}  // namespace kelpa

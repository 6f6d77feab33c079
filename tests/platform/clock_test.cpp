#include "platform/clock.h"

#include <gtest/gtest.h>

namespace kelpa {
namespace {

TEST(ClockTest, TickAdvancesAcrossASleep) {
    const uint32_t before = GetTickMs();
    SleepMs(20);
    const uint32_t elapsed = GetTickMs() - before;
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 2000u);
}

}  // namespace
}  // namespace kelpa

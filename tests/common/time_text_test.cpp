// Time texts: the formatter's shapes and clamping (the seconds of the delay box and the panel,
// clamped to "59:000", are the main window's and the settings panel's tests'; the parser, which
// only the fuzz target calls, is that target's).
#include "common/time_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kelpa {
namespace {

TEST(TimeTextTest, FormatsEveryShapeAndRefusesShortBuffers) {
    // clang-format off
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "00:000"}, {59'999, "59:999"}, {60'000, "01:00:000"}, {3'599'999, "59:59:999"},
        {3'600'000, "01:00:00:000"}, {86'400'000, "24:00:00:000"},
        {86'400'001, "> 24:00:00:000"}, {0xFFFFFFFFu, "> 24:00:00:000"}};
    // clang-format on
    char out[kMsTimeTextSize];
    for (const auto& [ms, text] : cases) {
        EXPECT_EQ(FormatMsTime(ms, out, sizeof out), static_cast<int>(std::strlen(text)));
        EXPECT_STREQ(out, text);
    }
    EXPECT_LT(FormatMsTime(1, out, kMsTimeTextSize - 1), 0);
    EXPECT_LT(FormatSecMs(1, out, kSecMsTextSize - 1), 0);
}

}  // namespace
}  // namespace kelpa

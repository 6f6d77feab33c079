// Time texts: the formatter's shapes and clamping (the delay box's seconds are the main
// window's tests'), and the parser's field rules.
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
    EXPECT_EQ(FormatSecMs(0xFFFFFFFFu, out, kSecMsTextSize), 6);
    EXPECT_STREQ(out, "59:000");
    std::strcpy(out, "untouched");
    EXPECT_LT(FormatMsTime(1, out, kMsTimeTextSize - 1), 0);
    EXPECT_LT(FormatSecMs(1, out, kSecMsTextSize - 1), 0);
    EXPECT_STREQ(out, "untouched");
}

TEST(TimeTextTest, ParsesTheFieldsOrLeavesTheValueAlone) {
    // clang-format off
    const std::pair<const char*, uint32_t> cases[] = {
        {"1:30:250", 90'250}, {"99:99", 59'099}, {"-5", 5}, {"2:00:00:000", 7'200'000},
        {"1:2:3:4:5", 3'723'004}, {"99:99:99:9999", 215'999'999}, {"4294967300", 999}};
    // clang-format on
    for (const auto& [text, expected] : cases) {
        uint32_t ms = 123;
        bool changed = false;
        ASSERT_TRUE(ParseMsTime(text, &ms, &changed)) << text;
        EXPECT_EQ(ms, expected) << text;
        EXPECT_EQ(changed, expected != 123u) << text;
    }
    for (const char* text : {"", "abc", "::", " - "}) {
        uint32_t ms = 77;
        EXPECT_FALSE(ParseMsTime(text, &ms)) << text;
        EXPECT_EQ(ms, 77u);
    }
}

}  // namespace
}  // namespace kelpa

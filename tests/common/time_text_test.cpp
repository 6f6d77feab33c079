// Time texts: the formatter's three shapes and clamping, and the parser's field rules.
#include "common/clib/time_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kelpa {
namespace {

struct FormatCase {
    uint32_t ms;
    const char* text;
};

class FormatMsTimeTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatMsTimeTest, ProducesTheText) {
    char out[kMsTimeTextSize];
    const int n = FormatMsTime(GetParam().ms, out, sizeof out);
    EXPECT_STREQ(out, GetParam().text);
    EXPECT_EQ(n, static_cast<int>(std::string(GetParam().text).size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatMsTimeTest,
                         ::testing::Values(FormatCase{0, "00:000"}, FormatCase{59'999, "59:999"},
                                           FormatCase{60'000, "01:00:000"},
                                           FormatCase{3'599'999, "59:59:999"},
                                           FormatCase{3'600'000, "01:00:00:000"},
                                           FormatCase{86'400'000, "24:00:00:000"},
                                           FormatCase{86'400'001, "> 24:00:00:000"},
                                           FormatCase{90'000'000, "> 24:00:00:000"},
                                           FormatCase{0xFFFFFFFFu, "> 24:00:00:000"}));

class FormatSecMsTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatSecMsTest, ProducesTheText) {
    char out[kSecMsTextSize];
    const int n = FormatSecMs(GetParam().ms, out, sizeof out);
    EXPECT_STREQ(out, GetParam().text);
    EXPECT_EQ(n, static_cast<int>(std::string(GetParam().text).size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatSecMsTest,
                         ::testing::Values(FormatCase{0, "00:000"}, FormatCase{1'234, "01:234"},
                                           FormatCase{59'999, "59:999"},
                                           FormatCase{60'000, "59:000"},
                                           FormatCase{3'600'000, "59:000"},
                                           FormatCase{0xFFFFFFFFu, "59:000"}));

TEST(TimeTextTest, FormattersRefuseShortOrMissingBuffers) {
    char out[kMsTimeTextSize] = "untouched";
    EXPECT_LT(FormatMsTime(1, out, kMsTimeTextSize - 1), 0);
    EXPECT_LT(FormatMsTime(1, nullptr, kMsTimeTextSize), 0);
    EXPECT_LT(FormatSecMs(1, out, kSecMsTextSize - 1), 0);
    EXPECT_LT(FormatSecMs(1, nullptr, kSecMsTextSize), 0);
    EXPECT_STREQ(out, "untouched");
}

struct ParseCase {
    const char* text;
    uint32_t ms;
};

class ParseMsTimeTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseMsTimeTest, ReadsTheValue) {
    uint32_t ms = 123;
    bool changed = false;
    ASSERT_TRUE(ParseMsTime(GetParam().text, &ms, &changed)) << GetParam().text;
    EXPECT_EQ(ms, GetParam().ms) << GetParam().text;
    EXPECT_EQ(changed, GetParam().ms != 123u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseMsTimeTest,
    ::testing::Values(ParseCase{"1:30:250", 90'250}, ParseCase{"250", 250},
                      ParseCase{"99:99", 59'099}, ParseCase{"-5", 5},
                      ParseCase{"2:00:00:000", 7'200'000}, ParseCase{"123", 123},
                      ParseCase{" + 7: 8", 7'008}, ParseCase{"1::2", 60'002},
                      ParseCase{"1:2:3:4:5", 3'723'004}, ParseCase{"12abc", 12}, ParseCase{"5:", 5},
                      ParseCase{"99:99:99:9999", 215'999'999},
                      ParseCase{"99999999999999999999", 999}, ParseCase{"4294967300", 999},
                      ParseCase{"1:4294967300", 1'999}));

TEST(ParseMsTimeTest, WithoutANumberLeavesTheValueAlone) {
    for (const char* text : {"", "abc", ":", "::", " - ", "+"}) {
        uint32_t ms = 77;
        bool changed = true;
        EXPECT_FALSE(ParseMsTime(text, &ms, &changed)) << '"' << text << '"';
        EXPECT_EQ(ms, 77u);
    }
    uint32_t ms = 1;
    EXPECT_FALSE(ParseMsTime(nullptr, &ms));
    EXPECT_FALSE(ParseMsTime("5", nullptr));
}

TEST(ParseMsTimeTest, ReadsBackEveryFormattedTimeWithinTheDay) {
    for (uint32_t ms : {0u, 999u, 59'999u, 60'000u, 3'599'999u, 3'600'000u, 45'296'789u}) {
        char out[kMsTimeTextSize];
        ASSERT_GT(FormatMsTime(ms, out, sizeof out), 0);
        uint32_t back = 0;
        ASSERT_TRUE(ParseMsTime(out, &back));
        EXPECT_EQ(back, ms) << out;
    }
}

}  // namespace
}  // namespace kelpa

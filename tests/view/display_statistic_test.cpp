// Display rows of a picture, and the statistic window's texts and layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "view/display_rows.h"
#include "view/statistic_layout.h"
#include "view/view_printers.h"

namespace kelpa {
namespace {

using test::TestPicture;

// Odd widths leave vector tails and padded rows; both row orders.
TEST(DisplayRowsTest, FastRowsEqualThePixelByPixelOnesInBothRowOrders) {
    for (int32_t width : {1, 7, 31, 33, 64, 65, 385}) {
        for (bool bottomUp : {false, true}) {
            TestPicture picture(width, 5);
            picture.Randomize(static_cast<uint32_t>(width));
            const size_t outStride = static_cast<size_t>(width) + 3;
            std::vector<uint32_t> fast(outStride * 5, 0u);
            std::vector<uint32_t> slow(outStride * 5, 0u);
            ToDisplayRows(picture.Buffer(), bottomUp, fast.data(), outStride);
            reference::ToDisplayRows(picture.Buffer(), bottomUp, slow.data(), outStride);
            EXPECT_EQ(fast, slow) << width << (bottomUp ? " bottom-up" : " top-down");
            // The padding words past the width are left alone.
            EXPECT_EQ(fast[outStride - 1], 0u);
        }
    }
}

TEST(DisplayRowsTest, WordsAreOpaqueRedGreenBlueAndTheTopRowComesFirst) {
    TestPicture picture(2, 3);
    picture.Pixel(1, 0)[0] = 0x30;  // blue of the first stored row
    picture.Pixel(1, 0)[1] = 0x20;
    picture.Pixel(1, 0)[2] = 0x10;
    std::vector<uint32_t> out(6);
    reference::ToDisplayRows(picture.Buffer(), false, out.data(), 2);
    EXPECT_EQ(out[1], 0xff102030u);
    EXPECT_EQ(out[5], 0xff000000u);
    reference::ToDisplayRows(picture.Buffer(), true, out.data(), 2);
    EXPECT_EQ(out[5], 0xff102030u);  // stored first, shown last
    EXPECT_EQ(out[1], 0xff000000u);
}

TEST(StatisticTextTest, ValuesOfASnapshot) {
    StatisticsSnapshot s;
    s.pixelValue = 0x0a14ff;
    s.histMin = 3;
    s.histMax = 250;
    s.mean = 12.345f;
    s.bkgr = 10.05f;
    s.rms = 2.0f;
    char text[kStatisticTextSize];
    ASSERT_TRUE(FormatStatisticValues(s, text));
    EXPECT_STREQ(text, "(10, 20, 255)\n3\n250\n12.3\n10.1\n2.0");
    // A text that would not fit is not drawn.
    s.mean = 1e38f;
    s.bkgr = 1e38f;
    EXPECT_FALSE(FormatStatisticValues(s, text));
}

TEST(StatisticLayoutTest, ColumnsFollowTheMeasuredTexts) {
    const ScreenSize screen{1280, 800};
    // Labels 36 wide, six lines of 13 plus 1; the sample 88 wide.
    StatisticLayout l = LayOutStatistic({36, 79, 88}, screen);
    EXPECT_EQ(l.labels, (WindowRect{10, 10, 46, 89}));
    EXPECT_EQ(l.values, (WindowRect{64, 10, 152, 89}));
    EXPECT_EQ(std::pair(l.clientWidth, l.clientHeight), std::pair(162, 99));
    // Nothing measured: the first rectangles, the value column 150 wide.
    l = LayOutStatistic({0, 0, 0}, screen);
    EXPECT_EQ(l.labels, (WindowRect{10, 10, 50, 110}));
    EXPECT_EQ(l.values, (WindowRect{68, 10, 218, 110}));
    EXPECT_EQ(std::pair(l.clientWidth, l.clientHeight), std::pair(228, 120));
    // A sample that would pass the screen's edge leaves the column at 150.
    l = LayOutStatistic({36, 79, 400}, {300, 200});
    EXPECT_EQ(l.values.right, 64 + 150);
}

}  // namespace
}  // namespace kelpa

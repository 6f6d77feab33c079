// Display rows of a picture, and the statistic window's texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "support/test_support.h"
#include "view/display_rows.h"
#include "view/smooth_scale.h"
#include "view/statistic_layout.h"

namespace kelpa {
namespace {

using test::TestPicture;

// Odd widths leave vector tails and padded rows; both row orders. (The words' colour order and
// the top row first: the windows' tests in tests/gui check the pixels shown.)
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

// The green byte of output word (x, y).
int Green(const std::vector<uint32_t>& out, int32_t width, int32_t x, int32_t y) {
    return static_cast<int>((out[size_t(y) * width + x] >> 8) & 0xff);
}

std::vector<uint32_t> Smooth(TestPicture& picture, int32_t width, int32_t height,
                             bool bottomUp = false) {
    std::vector<uint32_t> out(size_t(width) * height, 0u);
    SmoothScaler scaler;
    scaler.Scale(picture.Buffer(), bottomUp, out.data(), width, height, size_t(width));
    return out;
}

TEST(SmoothScaleTest, ShrinkingByWholeFactorsAveragesBlocks) {
    // Odd widths leave vector tails; factors 2 and 3 in either direction.
    for (const auto& [w, h, k] :
         {std::tuple(66, 10, 2), std::tuple(99, 27, 3), std::tuple(34, 6, 2)}) {
        TestPicture picture(w, h);
        picture.Randomize(static_cast<uint32_t>(w + h));
        const std::vector<uint32_t> out = Smooth(picture, w / k, h / k);
        for (int32_t y = 0; y < h / k; ++y) {
            for (int32_t x = 0; x < w / k; ++x) {
                double sum = 0;
                for (int32_t j = 0; j < k; ++j)
                    for (int32_t i = 0; i < k; ++i) sum += picture.Pixel(k * x + i, k * y + j)[1];
                ASSERT_NEAR(Green(out, w / k, x, y), sum / (k * k), 1.0)
                    << w << " " << x << "," << y;
                ASSERT_EQ(out[size_t(y) * (w / k) + x] >> 24, 0xffu);
            }
        }
    }
}

TEST(SmoothScaleTest, AOnePixelStarKeepsItsLightAtAnyShrink) {
    for (int32_t size : {37, 50, 61, 99}) {
        TestPicture picture(100, 100);
        picture.Pixel(43, 58)[1] = 255;
        const std::vector<uint32_t> out = Smooth(picture, size, size);
        double light = 0;
        for (int32_t y = 0; y < size; ++y)
            for (int32_t x = 0; x < size; ++x) light += Green(out, size, x, y);
        // The star's light spread over the pixels it falls in, scaled by the area ratio.
        EXPECT_NEAR(light, 255.0 * size * size / 1e4, 3.0) << size;
        EXPECT_GT(*std::max_element(out.begin(), out.end()) & 0xff00u, 0u) << size;
    }
}

// Rows stored bottom first come out top row first; a constant picture stays constant.
TEST(SmoothScaleTest, RowOrderIsKept) {
    TestPicture rows(8, 6);
    rows.Fill(9, 90, 200);
    rows.Pixel(3, 0)[1] = 250;  // stored first: the bottom row when stored bottom first
    const std::vector<uint32_t> upright = Smooth(rows, 8, 6, true);
    EXPECT_EQ(Green(upright, 8, 3, 5), 250);
    EXPECT_EQ(upright[0], 0xffc85a09u);
}

// A text that would not fit is not drawn. (The values and the star's metrics as shown, or "-"
// when they do not hold: the statistic window's test in tests/gui.)
TEST(StatisticTextTest, ATextThatWouldNotFitIsNotMade) {
    StatisticsSnapshot s;
    std::tie(s.guideEnable, s.starMetricsValid) = std::tuple(true, true);
    s.mean = s.bkgr = s.hfd = s.fwhm = s.peak = s.snr = 1e38f;
    char text[kStatisticTextSize];
    EXPECT_FALSE(FormatStatisticValues(s, text));
    EXPECT_FALSE(FormatStarMetrics(s, text));
}

}  // namespace
}  // namespace kelpa

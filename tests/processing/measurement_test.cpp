// Edge cases of the area measurement that guard real faults: windows without pixels, empty
// histograms, exact guide positions, the threshold methods, suppression by the black level,
// the banding threshold's ends, and banding that leaves equal sums alone.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
#include <utility>

#include "processing/banding.h"
#include "processing/engine_fixture.h"

namespace kelpa::test {
namespace {

// An empty histogram has no maximum; one constant level has no spread and is the background.
TEST(MeasurementTest, DegenerateHistograms) {
    AreaStatistics st;
    // Empty, all black, one level.
    for (const auto& [level, count, min, max] :
         {std::tuple(40, 0u, 255, 0), std::tuple(0, 100u, 0, 0), std::tuple(77, 100u, 77, 77)}) {
        uint32_t histogram[kHistogramBins] = {};
        histogram[level] = count;
        st = ComputeStatistics(histogram, 100);
        EXPECT_EQ(std::pair(st.histMin, st.histMax), std::pair(min, max)) << level;
    }
    EXPECT_EQ(std::pair(st.rms, st.bkgr), std::pair(0.0f, 77.0f));
    // An engine whose area is empty measures nothing and divides by nothing.
    EngineFixture f(64, 48);
    f.engine->statisticsWanted.store(true);
    f.engine->SetAreaFractions(0.5f, 0.5f, 0.0f, 0.0f);
    f.engine->MeasureArea();
    EXPECT_FALSE(std::isnan(f.engine->mean.load()));
}

class GuideTest : public ::testing::Test {
  protected:
    GuideTest() : f(80, 60) {
        f.Whole().SetAreaRect(10, 10, 70, 50);
        f.engine->SetGuideEnable(true);
    }
    EngineFixture f;
};

TEST_F(GuideTest, MaximumLevelMethodSubtractsTheBackgroundRms) {
    ProcEngine& e = *f.engine;
    e.histMin.store(10);
    e.histMax.store(180);
    e.bkgr.store(20.0f);
    e.bkgrRms.store(3.0f);
    const float factors[3] = {4.0f, 0.0f, -2.0f};
    // Maximum less twice the RMS, 4 RMS above the background, halfway.
    for (const auto& [method, level] : {std::pair(2, 180 - 6), {0, 32}, {1, (20 + 180) >> 1}}) {
        e.SetStarThresholds(method, factors);
        EXPECT_EQ(e.GuideThresholdLevel(), level) << method;
    }
    // A flat background: only the brightest level counts.
    e.bkgrRms.store(0.0f);
    EXPECT_EQ(e.GuideThresholdLevel(), 179);
    // (Factors out of range or not a number: the guide setup dialog's test in tests/gui.)
}

// A star over a black level below the peak is found. The threshold always leaves the brightest
// level above it, so "no star" needs a picture that does not match its statistics: measured on a
// dark picture, the guide reports none and clears the mark. With every level at or below the
// black level nothing is measured.
TEST_F(GuideTest, NoStarAndSuppressionByTheBlackLevel) {
    ProcEngine& e = *f.engine;
    f.input.Fill(30, 30, 30);
    std::fill_n(f.input.Pixel(40, 30), 3, uint8_t{90});
    e.SetBlackLevel(100);  // every level is now at least 100: histMax = 190 > black
    f.Process();
    ASSERT_NEAR(e.starX.load(), 40.0f, 0.01f);
    ASSERT_GE(e.surf.GuideMarkX(), 0.0f);
    const FrameBuffer& out = e.surf.Picture();
    std::fill(out.data, out.data + out.imageSize, uint8_t{0});
    e.MeasureGuide();
    EXPECT_EQ(std::pair(e.starX.load(), e.surf.GuideMarkX()), std::pair(-1.0f, -1.0f));
    e.SetBlackLevel(200);
    e.SetAmp(0);  // every level is 200: histMax = 200 <= blackLevel
    e.starX.store(-5.0f);
    f.Process();
    EXPECT_EQ(e.starX.load(), -5.0f);
}

// The threshold's ends; with a bright, noisy area (T >= 253) the stage sums unclipped, so a bright
// row is taken down by its whole offset.
TEST(BandingThresholdTest, EndsOfTheThresholdAndTheStageAboveTheTop) {
    EXPECT_EQ(BandingThreshold(2.0f, 0.0f, 0.0f), 0);     // rms = mean = 0: nothing to do
    EXPECT_EQ(BandingThreshold(2.0f, 1.25f, 10.0f), 13);  // 12.5 rounds away from zero
    EXPECT_EQ(BandingThreshold(2.0f, -1.25f, -10.0f), -13);
    EngineFixture f(40, 30);
    ProcEngine& e = f.Whole();
    f.input.Fill(100, 100, 100);
    std::fill_n(f.input.Pixel(0, 5), 3 * 40, uint8_t{130});  // a bright row
    f.Process();
    e.mean.store(200.0f);
    e.rms.store(30.0f);  // T = 260
    BandingGreyH(e);
    // M = 101 a pixel: the bright row comes down by 29 and the others up by 1, all flat.
    EXPECT_EQ(std::pair(int{f.Out(3, 5)[0]}, int{f.Out(3, 6)[0]}), std::pair(101, 101));
}

// Rows and columns whose sums are all equal are left as they are, grey and colour: every row
// and every column of this square holds the same levels (a bright one among them, clipped at
// the threshold), shifted along.
TEST(BandingThresholdTest, EqualSumsAreLeftUnchanged) {
    for (const int32_t channel : {-2, 0}) {
        std::mt19937 rng(static_cast<uint32_t>(channel + 3));
        std::array<std::array<uint8_t, 3>, 48> levels;
        for (auto& pixel : levels) {
            for (uint8_t& v : pixel) v = static_cast<uint8_t>(rng() % 4 ? 30 + rng() % 60 : 250);
        }
        EngineFixture banded(48, 48);
        EngineFixture plain(48, 48);
        for (EngineFixture* f : {&banded, &plain}) {
            f->Whole(channel).SetNR(f == &banded, f == &banded);
            for (int32_t y = 0; y < 48; ++y) {
                for (int32_t x = 0; x < 48; ++x) {
                    std::memcpy(f->input.Pixel(x, y), levels[(x + y) % 48].data(), 3);
                }
            }
            f->Process();
        }
        ASSERT_TRUE(banded.engine->bandingStageH && banded.engine->bandingStageV);
        EXPECT_EQ(0,
                  std::memcmp(banded.Output().data, plain.Output().data, banded.Output().imageSize))
            << "channel " << channel;
    }
}

}  // namespace
}  // namespace kelpa::test

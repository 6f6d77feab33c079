// What the processing is for, proved on synthetic skies of known truth: the Subtracter-Adder
// lifts faint stars while the background stays, the background and its noise are found under the
// stars, bands are flattened without darkening a star's row, and the area follows the guide star.
// (The guide's accuracy: guide_metrics_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "processing/engine_fixture.h"
#include "processing/sky_frames.h"

namespace kelpa::test {
namespace {

// Mean and RMS of the output over a rectangle: of the first bytes, or of the mean of the
// three bytes of each pixel.
struct Spread {
    double mean, rms;
};
Spread Measure(const EngineFixture& f, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               bool threeBytes = false) {
    double s = 0, s2 = 0;
    for (int32_t y = y0; y < y1; ++y) {
        for (int32_t x = x0; x < x1; ++x) {
            const uint8_t* p = f.Out(x, y);
            const double v = threeBytes ? (p[0] + p[1] + p[2]) / 3.0 : p[0];
            s += v;
            s2 += v * v;
        }
    }
    const double n = double(x1 - x0) * (y1 - y0), mean = s / n;
    return {mean, std::sqrt(s2 / n - mean * mean)};
}

SkyScene Sky(double level, double noiseRms, std::vector<StarShape> stars = {},
             bool colour = false) {
    return {.sky = level, .noiseRms = noiseRms, .stars = std::move(stars), .colour = colour};
}

TEST(AstronomyTest, SubtracterAdderKeepsTheBackgroundAndGrowsTheStar) {
    const StarShape faint{40.0, 30.0, 6.0, 1.5};
    for (int32_t frames : {1, 4, 16}) {
        EngineFixture f(80, 60);
        f.Whole(-2, FourCC("AcRB"), frames);
        std::mt19937 rng(frames);
        const SkyScene sky = Sky(40, 1, {faint});
        for (int i = 0; i < frames; ++i) {
            RenderScene(f.input, sky, rng);
            f.Process();
        }
        const Spread background = Measure(f, 0, 0, 20, 20);
        const double peak = f.Out(40, 30)[0] - background.mean;
        // The background stays at the level of one frame.
        EXPECT_NEAR(background.mean, 40.0, 1.5) << frames;
        // The star's light adds up: 6 per frame above the background (the noise of the sum at
        // one pixel has an RMS of sqrt(frames)); the ranges of 1, 4 and 16 frames do not overlap.
        EXPECT_NEAR(peak, 6.0 * frames, 1.5 + 3.0 * std::sqrt(frames)) << frames;
    }
}

TEST(AstronomyTest, BackgroundIsFoundUnderTheStars) {
    EngineFixture f(200, 150);
    f.Whole().statisticsWanted.store(true);
    std::mt19937 rng(4);
    SkyScene sky = Sky(30, 4);
    std::uniform_real_distribution<double> px(10, 190), py(10, 140);
    for (int i = 0; i < 25; ++i) sky.stars.push_back(StarShape{px(rng), py(rng), 150, 2.0});
    RenderScene(f.input, sky, rng);
    f.Process();
    const ProcEngine& e = *f.engine;
    EXPECT_NEAR(e.bkgr.load(), 30.0, 0.6);
    EXPECT_NEAR(e.bkgrRms.load(), 4.0, 0.6);
    EXPECT_GT(e.mean.load(), e.bkgr.load() + 1.0);
    EXPECT_GT(e.rms.load(), e.bkgrRms.load() * 2);
}

// Rows offset by up to +-12 levels (then columns) come out flat; a bright star's row keeps its
// peak because the star adds only the threshold to its row's sum.
TEST(AstronomyTest, BandingIsRemovedWithoutDarkeningAStar) {
    for (bool rows : {true, false}) {
        for (int32_t channel : {-2, 0}) {
            EngineFixture f(160, 120);
            f.Whole(channel).SetNR(rows, !rows);
            std::mt19937 rng(rows ? 6 : 7);
            const bool colour = channel == 0;
            const StarShape star{80.0, 60.0, 150.0, 1.5};
            SkyScene sky = Sky(60, 3, {star}, colour);
            std::uniform_real_distribution<double> offset(-12, 12);
            std::vector<double>& bands = rows ? sky.rowOffset : sky.columnOffset;
            const int32_t lines = rows ? 120 : 160;
            for (int i = 0; i < lines; ++i) bands.push_back(std::round(offset(rng)));
            RenderScene(f.input, sky, rng);
            f.Process();
            const double level = Measure(f, 0, 0, 160, 120, colour).mean;
            for (int i = 0; i < lines; ++i) {
                // Lines through the star carry its light as well.
                if (std::abs(i - (rows ? star.y : star.x)) <= 5) continue;
                const Spread s = rows ? Measure(f, 0, i, 160, i + 1, colour)
                                      : Measure(f, i, 0, i + 1, 120, colour);
                EXPECT_NEAR(s.mean, level, 1.0) << "line " << i << " band " << bands[i] << " rows "
                                                << rows << " channel " << channel;
            }
            // The star's peak loses its band and nothing of its own light.
            const double unbanded = f.input.Pixel(80, 60)[0] - bands[rows ? 60 : 80];
            EXPECT_NEAR(f.Out(80, 60)[0], unbanded, 2.0)
                << "rows " << rows << " channel " << channel;
        }
    }
}

// The auto move: a 10-pixel drift is followed at once; a 100-pixel jump moves the area only
// after it has been seen outside the inner zone for 11 frames.
TEST(AstronomyTest, AutoMoveFollowsDriftsAndWaitsOutJumps) {
    for (bool topDown : {true, false}) {
        // The guide sees only the area: a 300 x 240 area, whose inner zone ends 60 and 48
        // pixels inside its edges, holds the star before and after its jump.
        EngineFixture f(600, 480, topDown);
        f.Whole().SetAreaRect(150, 120, 450, 360);
        f.engine->SetGuideEnable(true);
        f.engine->SetGuideAutoMoveSetting(true);
        std::mt19937 rng(9);
        const ProcArea& a = f.engine->area;
        // After a frame with the star at (x, y) on a flat sky: the star found where it is, and
        // the area's centre.
        auto frameWithStar = [&](double x, double y) {
            RenderScene(f.input, Sky(20, 0, {StarShape{x, y, 180.0, 1.5}}), rng);
            f.Process();
            EXPECT_NEAR(f.engine->starX.load(), x, 0.3);
            EXPECT_NEAR(f.engine->starY.load(), y, 0.3);
            return std::pair((a.x0 + a.x1) / 2.0, (a.y0 + a.y1) / 2.0);
        };
        // Inside the inner zone nothing moves.
        auto [x, y] = frameWithStar(385, 240);
        ASSERT_NEAR(x, 300, 1);
        // A drift of 10 pixels takes it past the zone's edge: the area follows at once.
        std::tie(x, y) = frameWithStar(395, 240);
        EXPECT_NEAR(x, 395, 1.5) << "top-down " << topDown;
        EXPECT_NEAR(y, 240, 1.5);
        // A jump of 100 pixels: the area waits 11 frames, then follows.
        for (int i = 0; i < 11; ++i) {
            std::tie(x, y) = frameWithStar(395, 340);
            ASSERT_NEAR(y, 240, 1.5) << "frame " << i << " top-down " << topDown;
        }
        std::tie(x, y) = frameWithStar(395, 340);
        EXPECT_NEAR(x, 395, 1.5);
        EXPECT_NEAR(y, 340, 1.5) << "top-down " << topDown;
    }
}

}  // namespace
}  // namespace kelpa::test

// The guide step with the star metrics and the finer centre, through the engine and its
// statistics snapshot, on every way a frame reaches the measurement: the fused path's grey work
// plane, the grey picture of the stages one by one, and the colour picture of As Is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <utility>

#include "processing/centroid_refine.h"
#include "processing/engine_fixture.h"
#include "processing/output_stage.h"
#include "processing/sky_frames.h"

namespace kelpa::test {
namespace {

enum class Path { kFusedGrey, kStagesGrey, kAsIs };

// An engine over a 122 x 92 frame whose guide window is the whole area (120 x 90 at 1, 1),
// guiding with method 0 at factor 4 ("Background Level"), the automatic control off.
struct GuideBench {
    GuideBench(Path path, bool refine) : f(122, 92), colour(path == Path::kAsIs) {
        ProcEngine& e = f.Whole(colour ? 0 : -2);
        e.fusedChain = path == Path::kFusedGrey;
        const float factors[3] = {4.0f, 0.0f, -2.0f};
        e.SetStarThresholds(0, factors);
        e.SetGuideRefine(refine);
        e.SetGuideEnable(true);
    }
    // Renders the star over a sky of 20, processes the frame and takes its snapshot.
    StatisticsSnapshot Frame(const StarShape& star, double noise, std::mt19937& rng) {
        RenderStar(f.input, star, 20, noise, rng, colour);
        return Process();
    }
    StatisticsSnapshot Process() {
        f.Process();
        StatisticsSnapshot s;
        ++frame;
        f.engine->PublishStatistics(frame, static_cast<double>(frame) / 25.0, &s);
        return s;
    }
    // A star at a random sub-pixel position `margin` px or more inside the guide window.
    StarShape RandomStar(std::mt19937& rng, double peak, double sigmaX, double sigmaY = 0,
                         double margin = 30) const {
        std::uniform_real_distribution<double> unit(0, 1);
        const PixelWindow& g = f.engine->guideWindow;
        return {g.left + margin + (g.width - 2 * margin) * unit(rng),
                g.top + margin + (g.height - 2 * margin) * unit(rng), peak, sigmaX, sigmaY};
    }
    // The guide's measurement redone here on the processed picture: the centre of the pixels
    // above the threshold, as the guide has always measured it, then the star around it.
    GuideStar Remeasured(bool refine) const {
        const ProcEngine& e = *f.engine;
        const PixelView view = PictureView(e.surf.Picture(), colour);
        const PixelWindow& g = e.guideWindow;
        const Rect w{g.left, g.top, g.width, g.height};
        const GuideMoments m = scalar::SumGuide(view, w, std::max(e.guideThreshold, 0));
        const float x = static_cast<float>(static_cast<double>(m.sumX) / m.sumW) + w.x0;
        const float y = static_cast<float>(static_cast<double>(m.sumY) / m.sumW) + w.y0;
        const GuideStar star = MeasureGuideStar(view, w, x, y, refine);
        EXPECT_TRUE(refine || (star.x == x && star.y == y));
        return star;
    }

    EngineFixture f;
    bool colour;
    uint64_t frame = 0;
};

// Gaussian stars over a sky of 20 with noise 3. The snapshot holds exactly the guide's
// measurement redone on the processed picture: without the refinement the threshold centre bit for
// bit, with it the refined centre, each with its metrics; the surface's guide mark is on it.
// Ordinary stars (sigma 1.5, peak 150; the threshold centre is right to about 0.15 px there), on
// every path: the threshold centre within 0.25 px RMS of the truth, the refined centre within
// 0.05 px, HFD and FWHM on average within 2 % of the star's (each star within 5 % at lower noise,
// sigma 1 to 4 and the SNR: star_metrics_test.cpp). Saturated, elongated and faint stars, and
// stars whose centres lie 0.5 to 3.5 px inside the window's left or top edge: the refined centre
// no worse than the threshold centre.
TEST(GuideMetricsTest, RefinedCentreToFiveHundredthsOfAPixel) {
    // Name, path, peak, sigma x and y, near the edge; the first three are the ordinary stars.
    const std::tuple<const char*, Path, double, double, double, bool> cases[] = {
        {"fused grey", Path::kFusedGrey, 150, 1.5, 0, false},
        {"stages grey", Path::kStagesGrey, 150, 1.5, 0, false},
        {"As Is", Path::kAsIs, 150, 1.5, 0, false},
        {"saturated", Path::kFusedGrey, 400, 1.5, 1.5, false},
        {"elongated", Path::kFusedGrey, 150, 2.5, 1.2, false},
        {"edge", Path::kFusedGrey, 150, 1.5, 1.5, true},
        {"faint", Path::kFusedGrey, 40, 1.5, 1.5, false}};
    for (uint32_t c = 0; c < std::size(cases); ++c) {
        const auto& [name, path, peak, sigmaX, sigmaY, nearEdge] = cases[c];
        SCOPED_TRACE(name);
        const bool ordinary = c < 3;
        const int stars = ordinary ? 60 : 30;
        double squares[2] = {0, 0};
        double sizes[2] = {0, 0};  // mean HFD and FWHM over the star's, both centres together
        GuideBench benches[2] = {{path, false}, {path, true}};
        const PixelWindow& w = benches[0].f.engine->guideWindow;
        std::mt19937 rng(ordinary ? 40 + c : 28 + c);
        std::uniform_real_distribution<double> inside(0.5, 3.5);
        for (int i = 0; i < stars; ++i) {
            StarShape star = benches[0].RandomStar(rng, peak, sigmaX, sigmaY, ordinary ? 30 : 20);
            if (nearEdge) (i % 2 ? star.y : star.x) = (i % 2 ? w.top : w.left) + inside(rng);
            RenderStar(benches[0].f.input, star, 20, 3, rng, benches[0].colour);
            benches[1].f.input.bytes = benches[0].f.input.bytes;
            for (const bool refine : {false, true}) {
                GuideBench& bench = benches[refine];
                const StatisticsSnapshot s = bench.Process();
                const GuideStar want = bench.Remeasured(refine);
                // A snapshot shows no metrics that are not valid (a star cut by the edge).
                const StarMetrics m = want.metrics.valid ? want.metrics : StarMetrics{};
                ASSERT_TRUE(!ordinary || (s.starMetricsValid && s.guideEnable)) << i;
                sizes[0] += s.hfd / (kHfdPerSigma * 1.5) / stars;
                sizes[1] += s.fwhm / (kFwhmPerSigma * 1.5) / stars;
                EXPECT_EQ(
                    std::tuple(s.starX, s.starY, s.starMetricsValid, s.hfd, s.fwhm, s.peak, s.snr),
                    std::tuple(want.x, want.y, m.valid, m.hfd, m.fwhm, m.peak, m.snr))
                    << i;
                const ProcSurf& surf = bench.f.engine->surf;
                EXPECT_EQ(std::pair(surf.GuideMarkX(), surf.GuideMarkY()),
                          std::pair(s.starX, s.starY))
                    << i;
                squares[refine] += std::pow(s.starX - star.x, 2) + std::pow(s.starY - star.y, 2);
            }
        }
        const double threshold = std::sqrt(squares[0] / stars);
        const double refined = std::sqrt(squares[1] / stars);
        EXPECT_LE(refined, threshold);
        if (!ordinary) continue;
        // The figures, for --gtest_output=xml.
        ::testing::Test::RecordProperty(std::string(name) + "_threshold_rms_px",
                                        std::to_string(threshold));
        ::testing::Test::RecordProperty(std::string(name) + "_refined_rms_px",
                                        std::to_string(refined));
        EXPECT_LE(refined, 0.05) << "threshold centre " << threshold;
        EXPECT_LE(threshold, 0.25);
        EXPECT_LT(refined, threshold);
        EXPECT_NEAR(sizes[0] / 2, 1.0, 0.02);
        EXPECT_NEAR(sizes[1] / 2, 1.0, 0.02);
    }
}

// Metrics belong to the measurement they come with: a frame without a star, a star cut by the
// window's edge, a flat window and a guide switched off and on leave none behind from the frame
// before.
TEST(GuideMetricsTest, NoStaleMetrics) {
    for (const auto& [path, name] :
         {std::pair(Path::kFusedGrey, "fused grey"), std::pair(Path::kStagesGrey, "stages grey"),
          std::pair(Path::kAsIs, "As Is")}) {
        SCOPED_TRACE(name);
        GuideBench bench(path, true);
        ProcEngine& e = *bench.f.engine;
        std::mt19937 rng(5);
        const StarShape star = bench.RandomStar(rng, 150, 1.5);
        const StarShape none{60, 45, 0, 1};
        const PixelWindow& g = e.guideWindow;
        // Noise alone (the threshold finds a few noise pixels, which are no star), half a star
        // beyond the window's left edge, every level 20 (the window's centre): each after a
        // frame with a star.
        const std::tuple<StarShape, double, bool> others[] = {
            {none, 3.0, true},
            {StarShape{g.left + 0.2, 45.3, 150, 1.5}, 3.0, false},
            {none, 0.0, false}};
        for (const auto& [other, noise, centreFound] : others) {
            ASSERT_TRUE(bench.Frame(star, 3, rng).starMetricsValid);
            const StatisticsSnapshot s = bench.Frame(other, noise, rng);
            EXPECT_GE(s.starX, 0.0f);  // a centre, but no star to measure
            EXPECT_EQ(std::tuple(s.starMetricsValid, s.hfd, s.fwhm, s.peak, s.snr),
                      std::tuple(false, 0.0f, 0.0f, 0.0f, 0.0f));
        }

        // Switched off and on again, before the next measurement. (Switched off, the statistic
        // window shows no metrics: its test in tests/gui.)
        ASSERT_TRUE(bench.Frame(star, 3, rng).starMetricsValid);
        e.SetGuideEnable(false);
        e.SetGuideEnable(true);
        StatisticsSnapshot s;
        e.PublishStatistics(101, 4.1, &s);
        EXPECT_EQ(std::pair(s.guideEnable, s.starMetricsValid), std::pair(true, false));
    }
}

}  // namespace
}  // namespace kelpa::test
